#include "dialogs/CEditComputerDlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/CComputerGroup.h"
#include "dialogs/CIpAddressEdit.h"
#include "dialogs/CMailAddressGroup.h"
#include "dialogs/CNotifyGroup.h"
#include "dialogs/CProgramGroup.h"
#include "dialogs/ComputerDialogLayout.h"
#include "dialogs/ComputerForm.h"
#include "dialogs/PageControls.h"
#include "gui/Cp932ByteValidator.h"
#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

// The name as in the add dialog; one byte less for the service and the programs.
constexpr std::size_t kNameLimit = 128;
constexpr std::size_t kServiceLimit = 63;
constexpr std::size_t kProgramLimit = 511;
constexpr std::size_t kPortDigits = 5;

bool IsSet(const std::string& flag) {
  return !flag.empty();
}

// A long text shows its beginning, not the end where setText leaves the
// cursor; a text beyond the limit for typing shows whole.
void Show(QLineEdit* edit, const std::string& text) {
  SetWholeText(edit, FromCp932(text));
  edit->home(false);
}

}  // namespace

CEditComputerDlg::CEditComputerDlg(ComputerListModel& list, int row, ListState& listState,
                                   const AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent),
      list_(list),
      row_(row),
      listState_(listState),
      settings_(settings),
      prompt_(prompt),
      computer_(new CComputerGroup(kNameLimit, false, this)),
      ping_(new QRadioButton(QStringLiteral("PING"), this)),
      service_(new QRadioButton(QStringLiteral("サービス"), this)),
      serviceName_(new QLineEdit(this)),
      port_(new QLineEdit(this)),
      notify_(new CNotifyGroup(QStringLiteral("ダウン時の通知方法"), this)),
      downProgram_(
          new CProgramGroup(QStringLiteral("ダウン時の実行プログラム"), kProgramLimit, this)),
      restoreProgram_(
          new CProgramGroup(QStringLiteral("復帰時の実行プログラム"), kProgramLimit, this)),
      mail_(new CMailAddressGroup(QStringLiteral("デフォルトを使用しない"), prompt, this)) {
  setWindowTitle(QStringLiteral("監視するコンピュータを編集"));
  downProgram_->edit()->setObjectName(QStringLiteral("downProgram"));
  restoreProgram_->edit()->setObjectName(QStringLiteral("restoreProgram"));

  LayOutComputerDialog(*this, {computer_, MakeServiceGroup()},
                       {notify_, downProgram_, restoreProgram_, mail_}, MakeButtons());
  original_ = list_.Entry(row_);
  Fill(original_);
  opened_ = ReadForm();
}

QWidget* CEditComputerDlg::MakeServiceGroup() {
  auto* group = new QGroupBox(QStringLiteral("監視対象"), this);
  ping_->setObjectName(QStringLiteral("ping"));
  service_->setObjectName(QStringLiteral("service"));
  // Each radio button stands in a group of its own: the dialog keeps the two
  // exclusive, and a click on the checked one leaves it checked.
  for (QRadioButton* radio : {ping_, service_})
    radio->setAutoExclusive(false);
  connect(ping_, &QRadioButton::clicked, this, [this] { ChoosePing(true); });
  connect(service_, &QRadioButton::clicked, this, [this] { ChoosePing(false); });
  serviceName_->setObjectName(QStringLiteral("serviceName"));
  serviceName_->setValidator(new Cp932ByteValidator(kServiceLimit, serviceName_));
  port_->setObjectName(QStringLiteral("port"));
  port_->setValidator(new Cp932ByteValidator(kPortDigits, port_, /*digitsOnly=*/true));
  auto* edits = new QFormLayout;
  edits->addRow(QStringLiteral("サービス名"), serviceName_);
  edits->addRow(QStringLiteral("ポート番号"), port_);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(ping_);
  layout->addWidget(service_);
  layout->addLayout(edits);
  return group;
}

QWidget* CEditComputerDlg::MakeButtons() {
  auto* row = new QWidget(this);
  auto* ok = new QPushButton(QStringLiteral("OK"), row);
  auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), row);
  ok->setObjectName(QStringLiteral("ok"));
  cancel->setObjectName(QStringLiteral("cancel"));
  ok->setDefault(true);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch();
  layout->addWidget(ok);
  layout->addWidget(cancel);
  connect(ok, &QPushButton::clicked, this, &CEditComputerDlg::Save);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  return row;
}

void CEditComputerDlg::Fill(const ComputerEntry& row) {
  notify_->byMail()->setChecked(IsSet(row[Field::ByMail]));
  notify_->byNetsend()->setChecked(IsSet(row[Field::ByNetsend]));
  notify_->byEventlog()->setChecked(IsSet(row[Field::ByEventlog]));
  mail_->SetNoDefault(IsSet(row[Field::NoDefaultMail]));
  Show(mail_->address(), row[Field::MailAddress]);
  Show(computer_->name(), row[Field::ComputerName]);
  computer_->address()->SetText(FromCp932(row[Field::IpAddress]));
  Show(port_, row[Field::Port]);
  Show(downProgram_->edit(), row[Field::DownProgram]);
  Show(restoreProgram_->edit(), row[Field::RestoreProgram]);
  // Only "PING" exactly is a ping, as for the check cycle.
  const bool ping = row[Field::CheckService] == "PING";
  if (!ping) Show(serviceName_, row[Field::CheckService]);
  ChoosePing(ping);
}

// Neither choice changes the texts of the two edits.
void CEditComputerDlg::ChoosePing(bool ping) {
  ping_->setChecked(ping);
  service_->setChecked(!ping);
  serviceName_->setEnabled(!ping);
  port_->setEnabled(!ping);
}

ComputerForm CEditComputerDlg::ReadForm() const {
  ComputerForm form =
      ComputerForm::Read(*computer_, *notify_, *downProgram_, *restoreProgram_, *mail_);
  form.check = ping_->isChecked() ? ComputerForm::Check::Ping : ComputerForm::Check::TypedService;
  form.service = serviceName_->text();
  form.port = port_->text();
  return form;
}

// What the user left as it was stays byte for byte as the row held it, even
// beyond the limits for typing; status and times change all the same.
void CEditComputerDlg::KeepUneditedFields(const ComputerForm& form, ComputerEntry& row) const {
  const auto keep = [&](Field field, bool unedited) {
    if (unedited) row[field] = original_[field];
  };
  const bool sameCheck = form.check == opened_.check;
  const bool ping = form.check == ComputerForm::Check::Ping;
  keep(Field::ComputerName, form.name == opened_.name);
  keep(Field::IpAddress, form.octets == opened_.octets);
  keep(Field::CheckService, sameCheck && (ping || form.service == opened_.service));
  keep(Field::Port, sameCheck && form.port == opened_.port);
  keep(Field::ByMail, form.byMail == opened_.byMail);
  keep(Field::ByNetsend, form.byNetsend == opened_.byNetsend);
  keep(Field::ByEventlog, form.byEventlog == opened_.byEventlog);
  keep(Field::DownProgram, form.downProgram == opened_.downProgram);
  keep(Field::RestoreProgram, form.restoreProgram == opened_.restoreProgram);
  keep(Field::NoDefaultMail, form.noDefaultMail == opened_.noDefaultMail);
  keep(Field::MailAddress, form.mailAddress == opened_.mailAddress);
}

void CEditComputerDlg::Save() {
  const ComputerForm form = ReadForm();
  if (!form.Accept(prompt_, ComputerForm::CommaTest::BeforeListCheck)) return;
  // A row that is gone (the caller's index out of range) changes nothing.
  if (row_ >= 0 && row_ < list_.rowCount()) {
    ComputerEntry row = form.ToRow();
    KeepUneditedFields(form, row);
    row[Field::LastCheckTime] = list_.StoredField(row_, Field::LastCheckTime);
    list_.ReplaceEntry(row_, row);
    listState_.modified = true;
  }
  accept();
}

}  // namespace tarnwick
