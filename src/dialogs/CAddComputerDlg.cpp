#include "dialogs/CAddComputerDlg.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

#include "dialogs/CComputerGroup.h"
#include "dialogs/CIpAddressEdit.h"
#include "dialogs/CMailAddressGroup.h"
#include "dialogs/CNotifyGroup.h"
#include "dialogs/CProgramGroup.h"
#include "dialogs/ComputerDialogLayout.h"
#include "dialogs/ComputerForm.h"
#include "dialogs/NameLookup.h"
#include "gui/Cp932ByteValidator.h"
#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

constexpr std::size_t kNameLimit = 128;
constexpr std::size_t kServiceLimit = 64;
constexpr std::size_t kProgramLimit = 512;
constexpr int kServiceRows = 4;

struct ServiceOption {
  const char* objectName;
  const char* text;
  int portChoice;
  const char* service;  // nullptr: the choice leaves the service as it is
};

constexpr std::array<ServiceOption, 8> kServiceOptions{{
    {"ping", "PING", CAddComputerDlg::kPingChoice, nullptr},
    {"ftp", "FTP(ポート21)", 21, "FTP"},
    {"smtp", "SMTP(ポート25)", 25, "SMTP"},
    {"web", "WEB(ポート80)", 80, "WEB"},
    {"pop2", "POP2(ポート109)", 109, "POP2"},
    {"pop3", "POP3(ポート110)", 110, "POP3"},
    {"notes", "ノーツサーバ(ポート1352)", 1352, "NOTES"},
    {"custom", "カスタム(TCPポート)", CAddComputerDlg::kCustomChoice, nullptr},
}};

constexpr std::size_t kPortDigits = 5;

}  // namespace

CAddComputerDlg::CAddComputerDlg(ComputerListModel& list, ListState& listState,
                                 const AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent),
      list_(list),
      listState_(listState),
      settings_(settings),
      prompt_(prompt),
      computer_(new CComputerGroup(kNameLimit, true, this)) {
  setWindowTitle(QStringLiteral("監視するコンピュータの追加"));
  // The controls are made in reading order, which is the order of Tab.
  QWidget* lookup = MakeLookupGroup();
  QWidget* service = MakeServiceGroup();
  notify_ = new CNotifyGroup(QStringLiteral("ダウン/復帰時の通知方法"), this);
  downProgram_ = new CProgramGroup(QStringLiteral("ダウン時の実行プログラム"), kProgramLimit, this);
  restoreProgram_ =
      new CProgramGroup(QStringLiteral("復帰時の実行プログラム"), kProgramLimit, this);
  mail_ = new CMailAddressGroup(QStringLiteral("デフォルト値を使用しない"), prompt, this);
  downProgram_->edit()->setObjectName(QStringLiteral("downProgram"));
  restoreProgram_->edit()->setObjectName(QStringLiteral("restoreProgram"));
  LayOutComputerDialog(*this, {computer_, lookup, service},
                       {notify_, downProgram_, restoreProgram_, mail_}, MakeButtons());
  // Qt would make the first button the default one when the dialog shows.
  for (auto* button : findChildren<QPushButton*>())
    button->setAutoDefault(false);
}

QWidget* CAddComputerDlg::MakeLookupGroup() {
  auto* group = new QGroupBox(QStringLiteral("入力補助"), this);
  auto* toName = new QPushButton(QStringLiteral("IPアドレスからコンピュータ名を解決"), group);
  auto* toAddress = new QPushButton(QStringLiteral("コンピュータ名からIPアドレスを解決"), group);
  toName->setObjectName(QStringLiteral("resolveName"));
  toAddress->setObjectName(QStringLiteral("resolveAddress"));
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(toName);
  layout->addWidget(toAddress);
  connect(toName, &QPushButton::clicked, this, &CAddComputerDlg::ResolveAddressToName);
  connect(toAddress, &QPushButton::clicked, this, &CAddComputerDlg::ResolveNameToAddress);
  return group;
}

QWidget* CAddComputerDlg::MakeServiceGroup() {
  auto* group = new QGroupBox(QStringLiteral("監視対象"), this);
  auto* radios = new QGridLayout;
  auto* buttons = new QButtonGroup(group);
  for (int i = 0; i < static_cast<int>(kServiceOptions.size()); ++i) {
    const ServiceOption& option = kServiceOptions[static_cast<std::size_t>(i)];
    auto* radio = new QRadioButton(QString::fromUtf8(option.text), group);
    radio->setObjectName(QString::fromUtf8(option.objectName));
    buttons->addButton(radio);
    radios->addWidget(radio, i % kServiceRows, i / kServiceRows);
    connect(radio, &QRadioButton::toggled, this, [this, option](bool on) {
      if (on)
        Choose(option.portChoice, option.service ? QString::fromUtf8(option.service) : QString());
    });
  }
  serviceName_ = new QLineEdit(group);
  port_ = new QLineEdit(group);
  serviceName_->setObjectName(QStringLiteral("serviceName"));
  serviceName_->setValidator(new Cp932ByteValidator(kServiceLimit, serviceName_));
  port_->setObjectName(QStringLiteral("port"));
  port_->setValidator(new Cp932ByteValidator(kPortDigits, port_, /*digitsOnly=*/true));
  auto* edits = new QFormLayout;
  edits->addRow(QStringLiteral("サービス名"), serviceName_);
  edits->addRow(QStringLiteral("ポート番号"), port_);
  auto* layout = new QVBoxLayout(group);
  layout->addLayout(radios);
  layout->addLayout(edits);
  buttons->buttons().constFirst()->setChecked(true);
  Choose(kPingChoice, QString());
  return group;
}

QWidget* CAddComputerDlg::MakeButtons() {
  auto* row = new QWidget(this);
  auto* add = new QPushButton(QStringLiteral("追加"), row);
  auto* close = new QPushButton(QStringLiteral("閉じる"), row);
  add->setObjectName(QStringLiteral("add"));
  close->setObjectName(QStringLiteral("close"));
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch();
  layout->addWidget(add);
  layout->addWidget(close);
  connect(add, &QPushButton::clicked, this, &CAddComputerDlg::Add);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  return row;
}

// Selecting never fills or clears the two edits: only custom enables them.
void CAddComputerDlg::Choose(int portChoice, const QString& service) {
  portChoice_ = portChoice;
  if (!service.isEmpty()) serviceChoice_ = service;
  const bool custom = portChoice == kCustomChoice;
  serviceName_->setEnabled(custom);
  port_->setEnabled(custom);
}

void CAddComputerDlg::done(int result) {
  // A look-up holds this dialog's call stack: the dialog ends after it.
  if (!lookingUp_) QDialog::done(result);
}

void CAddComputerDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || event->modifiers() != Qt::NoModifier) {
    QDialog::keyPressEvent(event);
    return;
  }
  // A push button with the focus takes Enter; anywhere else Enter is the
  // dialog's OK action, which is "閉じる".
  if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
    button->click();
    return;
  }
  accept();
}

ComputerForm CAddComputerDlg::ReadForm() const {
  ComputerForm form =
      ComputerForm::Read(*computer_, *notify_, *downProgram_, *restoreProgram_, *mail_);
  if (portChoice_ == kPingChoice) {
    form.check = ComputerForm::Check::Ping;
  } else if (portChoice_ == kCustomChoice) {
    form.check = ComputerForm::Check::TypedService;
    form.service = serviceName_->text();
    form.port = port_->text();
  } else {
    form.check = ComputerForm::Check::FixedService;
    form.service = serviceChoice_;
    form.port = QString::number(portChoice_);
  }
  return form;
}

void CAddComputerDlg::Add() {
  if (list_.rowCount() >= settings_.MaxNumOfComputer) {
    Refuse(prompt_, UiText(Msg::TooManyComputers));
    return;
  }
  const ComputerForm form = ReadForm();
  if (!form.Accept(prompt_, ComputerForm::CommaTest::AfterListCheck)) return;
  if (form.check == ComputerForm::Check::TypedService) serviceChoice_ = form.service;
  list_.AppendEntry(form.ToRow());
  listState_.modified = true;
}

void CAddComputerDlg::ResolveAddressToName() {
  if (computer_->address()->IsZero()) {
    Inform(prompt_, QStringLiteral("解決するＩＰアドレスを入力してください。"));
    return;
  }
  lookingUp_ = true;
  const std::optional<QString> name = NameLookup::NameOf(computer_->address()->Text());
  lookingUp_ = false;
  if (!name) {
    Inform(prompt_, QStringLiteral("このＩＰアドレスは解決できませんでした。"
                                   "手入力でコンピュータ名を入力してください。"));
    return;
  }
  computer_->name()->setText(*name);
}

void CAddComputerDlg::ResolveNameToAddress() {
  const QString name = computer_->name()->text();
  if (name.isEmpty()) {
    Inform(prompt_, QStringLiteral("解決するコンピュータ名を入力してください。"));
    return;
  }
  lookingUp_ = true;
  const QStringList addresses = NameLookup::AddressesOf(name);
  lookingUp_ = false;
  if (addresses.isEmpty()) {
    Inform(prompt_, QStringLiteral("このコンピュータ名は解決できませんでした。"
                                   "手入力でＩＰアドレスを入力してください。"));
    return;
  }
  // Every address goes into the control in turn, so the last one stays.
  for (const QString& address : addresses)
    computer_->address()->SetText(address);
}

}  // namespace tarnwick
