#pragma once

#include <QDialog>

#include "engine/AppSettings.h"
#include "gui/ComputerListModel.h"
#include "gui/ListState.h"
#include "platform/UserPrompt.h"

class QLineEdit;
class QPushButton;

namespace tarnwick {

class CComputerGroup;
class CMailAddressGroup;
class CNotifyGroup;
class CProgramGroup;
struct ComputerForm;

// The add computer dialog: each "追加" that passes the checks appends one row
// to the list; the dialog stays open with its controls as they were, so the
// next computer differs only in what the user changes.
class CAddComputerDlg : public QDialog {
  Q_OBJECT

 public:
  // The check method: ping, a service typed by the user, or the fixed port
  // of the chosen service.
  static constexpr int kPingChoice = -1;
  static constexpr int kCustomChoice = -2;

  CAddComputerDlg(ComputerListModel& list, ListState& listState, const AppSettings& settings,
                  UserPrompt& prompt, QWidget* parent = nullptr);

  int portChoice() const { return portChoice_; }
  void done(int result) override;

 protected:
  // Enter outside a push button closes the dialog: no button is the default.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* MakeLookupGroup();
  QWidget* MakeServiceGroup();
  QWidget* MakeButtons();
  void Choose(int portChoice, const QString& service);
  ComputerForm ReadForm() const;
  void Add();
  void ResolveAddressToName();
  void ResolveNameToAddress();

  ComputerListModel& list_;
  ListState& listState_;
  const AppSettings& settings_;
  UserPrompt& prompt_;

  CComputerGroup* computer_;
  QLineEdit* serviceName_ = nullptr;
  QLineEdit* port_ = nullptr;
  CNotifyGroup* notify_ = nullptr;
  CProgramGroup* downProgram_ = nullptr;
  CProgramGroup* restoreProgram_ = nullptr;
  CMailAddressGroup* mail_ = nullptr;

  int portChoice_ = kPingChoice;
  QString serviceChoice_;
  bool lookingUp_ = false;
};

}  // namespace tarnwick
