#pragma once

#include <QDialog>

#include "app/ComputerListModel.h"
#include "app/ListState.h"
#include "engine/AppSettings.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

// The add computer dialog: appends rows to the list while it stays open.
class CAddComputerDlg : public QDialog {
  Q_OBJECT

 public:
  CAddComputerDlg(ComputerListModel& list, ListState& listState, const AppSettings& settings,
                  UserPrompt& prompt, QWidget* parent = nullptr);

 private:
  ComputerListModel& list_;
  ListState& listState_;
  const AppSettings& settings_;
  UserPrompt& prompt_;
};

}  // namespace tarnwick
