#pragma once

#include <QDialog>

#include "dialogs/ComputerForm.h"
#include "engine/AppSettings.h"
#include "gui/ComputerListModel.h"
#include "gui/ListState.h"
#include "platform/UserPrompt.h"

class QLineEdit;
class QRadioButton;

namespace tarnwick {

class CComputerGroup;
class CMailAddressGroup;
class CNotifyGroup;
class CProgramGroup;

// The edit computer dialog: OK rewrites row `row` in place and closes; the
// row is untouched until then. A row is checked by ping or by a service given
// as a free name and port.
class CEditComputerDlg : public QDialog {
  Q_OBJECT

 public:
  CEditComputerDlg(ComputerListModel& list, int row, ListState& listState,
                   const AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

 private:
  QWidget* MakeServiceGroup();
  QWidget* MakeButtons();
  void Fill(const ComputerEntry& row);
  void ChoosePing(bool ping);
  ComputerForm ReadForm() const;
  void KeepUneditedFields(const ComputerForm& form, ComputerEntry& row) const;
  void Save();

  ComputerListModel& list_;
  int row_;
  ListState& listState_;
  [[maybe_unused]] const AppSettings& settings_;
  UserPrompt& prompt_;

  CComputerGroup* computer_;
  QRadioButton* ping_;
  QRadioButton* service_;
  QLineEdit* serviceName_;
  QLineEdit* port_;
  CNotifyGroup* notify_;
  CProgramGroup* downProgram_;
  CProgramGroup* restoreProgram_;
  CMailAddressGroup* mail_;

  ComputerEntry original_;  // the row as the dialog found it
  ComputerForm opened_;     // the controls as the row filled them
};

}  // namespace tarnwick
