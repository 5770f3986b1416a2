#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "dialogs/CAddComputerDlg.h"
#include "dialogs/CEditComputerDlg.h"
#include "dialogs/CIpAddressEdit.h"
#include "gui/Cp932Text.h"
#include "screens/ScreenShots.h"
#include "support/RecordingPrompt.h"

namespace tarnwick::screens {
namespace {

ComputerEntry MailServerRow() {
  ComputerEntry row;
  row[Field::ComputerName] = ToCp932(QStringLiteral("メールサーバ"));
  row[Field::IpAddress] = "192.168.10.25";
  row[Field::Status] = StatusUpText();
  row[Field::CheckService] = "SMTP";
  row[Field::Port] = "25";
  row[Field::ByMail] = FlagText(true);
  row[Field::ByEventlog] = FlagText(true);
  row[Field::DownProgram] = "/usr/local/bin/page-admin --down";
  row[Field::NoDefaultMail] = FlagText(true);
  row[Field::MailAddress] = "admin@example.co.jp;mail-team@example.co.jp";
  return row;
}

}  // namespace

TARNWICK_SCREENS(dialogs) {
  ComputerListModel list;
  ListState state;
  AppSettings settings;
  settings.MaxNumOfComputer = 100;
  test::RecordingPrompt prompt;

  CAddComputerDlg add(list, state, settings, prompt);
  Shoot(add, QStringLiteral("add-computer"));
  add.findChild<CIpAddressEdit*>()->SetText(QStringLiteral("192.168.10.30"));
  add.findChild<QLineEdit*>(QStringLiteral("computerName"))
      ->setText(QStringLiteral("ファイルサーバ"));
  add.findChild<QRadioButton*>(QStringLiteral("custom"))->click();
  add.findChild<QLineEdit*>(QStringLiteral("serviceName"))->setText(QStringLiteral("SSH"));
  add.findChild<QLineEdit*>(QStringLiteral("port"))->setText(QStringLiteral("22"));
  add.findChild<QCheckBox*>(QStringLiteral("byEventlog"))->setChecked(true);
  Shoot(add, QStringLiteral("add-computer-filled"));
  add.hide();

  list.AppendEntry(MailServerRow());
  CEditComputerDlg edit(list, 0, state, settings, prompt);
  Shoot(edit, QStringLiteral("edit-computer"));
}

}  // namespace tarnwick::screens
