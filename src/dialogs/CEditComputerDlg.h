#pragma once

#include <QDialog>

#include "app/ComputerListModel.h"
#include "app/ListState.h"
#include "engine/AppSettings.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

// The edit computer dialog: OK rewrites row `row` in place and closes.
class CEditComputerDlg : public QDialog {
  Q_OBJECT

 public:
  CEditComputerDlg(ComputerListModel& list, int row, ListState& listState,
                   const AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

 private:
  ComputerListModel& list_;
  int row_;
  ListState& listState_;
  const AppSettings& settings_;
  UserPrompt& prompt_;
};

}  // namespace tarnwick
