#include "dialogs/ComputerForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>
#include <optional>
#include <utility>

#include "dialogs/CComputerGroup.h"
#include "dialogs/CIpAddressEdit.h"
#include "dialogs/CMailAddressGroup.h"
#include "dialogs/CNotifyGroup.h"
#include "dialogs/CProgramGroup.h"
#include "gui/Cp932Text.h"
#include "gui/GuiPrompt.h"
#include "mail/MailAddressList.h"

namespace tarnwick {
namespace {

const QLatin1Char kComma(',');
constexpr int kHighestPort = 65535;

bool HasComma(const QString& text) {
  return text.contains(kComma);
}

// The first text that CP932 cannot hold: it would be stored as "?".
std::optional<QString> FirstUnencodableField(const ComputerForm& form) {
  const QString none;
  const bool typedService = form.check == ComputerForm::Check::TypedService;
  const std::pair<const QString&, const char*> fields[] = {
      {form.name, "コンピュータ名"},
      {typedService ? form.service : none, "サービス名"},
      {form.downProgram, "ダウン時の実行プログラム"},
      {form.restoreProgram, "復帰時の実行プログラム"},
      {form.mailAddress, "メールアドレス"}};
  for (const auto& [text, label] : fields) {
    if (!FitsCp932(text)) return UiText(Msg::InputNotCp932).arg(QString::fromUtf8(label));
  }
  return std::nullopt;
}

// The first of the rules about the name, the address, the notifications and
// the service that the form breaks.
std::optional<QString> FirstEntryFault(const ComputerForm& form) {
  if (form.name.isEmpty())
    return QStringLiteral(
        "コンピュータ名を入力してください。分からない場合には、適当な名前を入力してください"
        "(実際にはこの名前は使用されません)。この名前は後で編集することが可能です。");
  if (HasComma(form.name)) return QStringLiteral("コンピュータ名にカンマを含むことはできません。");
  if (std::all_of(form.octets.begin(), form.octets.end(), [](int octet) { return octet == 0; }))
    return QStringLiteral("IPアドレスを入力してください。");
  if (!form.byMail && !form.byNetsend && !form.byEventlog)
    return QStringLiteral("ダウン/復帰時の通知方法を一種類以上選択してください。");
  if (form.check == ComputerForm::Check::TypedService) {
    if (form.service.isEmpty()) return QStringLiteral("サービス名を入力してください。");
    if (form.port.isEmpty()) return QStringLiteral("ポート番号を入力してください。");
    if (form.port.toInt() > kHighestPort)
      return QStringLiteral("ポート番号には0から65535までの値を設定してください。");
  }
  return std::nullopt;
}

// The list file and the clipboard separate fields by commas without quoting:
// a comma inside one of these fields would shift every later field of the
// row when it is read back.
std::optional<QString> FirstFieldComma(const ComputerForm& form) {
  if (form.check == ComputerForm::Check::TypedService && HasComma(form.service))
    return QStringLiteral("サービス名にカンマを含むことはできません。");
  if (HasComma(form.downProgram))
    return QStringLiteral("ダウン時の実行プログラムにカンマを含むことはできません。");
  if (HasComma(form.restoreProgram))
    return QStringLiteral("復帰時の実行プログラムにカンマを含むことはできません。");
  return std::nullopt;
}

bool AddressMissing(const ComputerForm& form) {
  return form.byMail && form.noDefaultMail && form.mailAddress.isEmpty();
}

bool AddressHasComma(const ComputerForm& form, UserPrompt& prompt) {
  if (!HasComma(form.mailAddress)) return false;
  Refuse(prompt, QStringLiteral("メールアドレスにカンマを含むことはできません。"));
  return true;
}

// The list check shows its own reason first, then the dialog's refusal.
bool AddressListMalformed(const ComputerForm& form, UserPrompt& prompt) {
  const std::optional<Msg> fault = ValidateMailAddressList(ToCp932(form.mailAddress));
  if (!fault) return false;
  Refuse(prompt, UiText(*fault));
  Refuse(prompt, QStringLiteral("メールの連絡先の書式に誤りがあります。"));
  return true;
}

bool AddressRefused(const ComputerForm& form, UserPrompt& prompt,
                    ComputerForm::CommaTest commaTest) {
  if (commaTest == ComputerForm::CommaTest::BeforeListCheck)
    return AddressHasComma(form, prompt) || AddressListMalformed(form, prompt);
  return AddressListMalformed(form, prompt) || AddressHasComma(form, prompt);
}

QString DottedAddress(const std::array<int, 4>& o) {
  return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
}

}  // namespace

void Refuse(UserPrompt& prompt, const QString& text) {
  Ask(prompt, text, UiText(Msg::CaptionCaution), PromptIcon::Exclamation);
}

void Inform(UserPrompt& prompt, const QString& text) {
  Ask(prompt, text, UiText(Msg::CaptionConfirm), PromptIcon::Information);
}

ComputerForm ComputerForm::Read(const CComputerGroup& computer, const CNotifyGroup& notify,
                                const CProgramGroup& down, const CProgramGroup& restore,
                                const CMailAddressGroup& mail) {
  ComputerForm form;
  form.name = computer.name()->text();
  form.octets = computer.address()->Octets();
  form.byMail = notify.byMail()->isChecked();
  form.byNetsend = notify.byNetsend()->isChecked();
  form.byEventlog = notify.byEventlog()->isChecked();
  form.downProgram = down.edit()->text();
  form.restoreProgram = restore.edit()->text();
  form.noDefaultMail = mail.noDefault()->isChecked();
  form.mailAddress = mail.address()->text();
  return form;
}

bool ComputerForm::Accept(UserPrompt& prompt, CommaTest commaTest) const {
  std::optional<QString> fault = FirstUnencodableField(*this);
  if (!fault) fault = FirstEntryFault(*this);
  if (!fault) fault = FirstFieldComma(*this);
  if (!fault && AddressMissing(*this))
    fault = QStringLiteral(
        "送信先メールアドレスを指定してください。デフォルトのメールアドレスを使用するか、"
        "メールアドレスを指定してください。");
  if (fault) {
    Refuse(prompt, *fault);
    return false;
  }
  if (AddressRefused(*this, prompt, commaTest)) return false;
  if (!byMail && noDefaultMail && !mailAddress.isEmpty())
    Refuse(prompt, QStringLiteral("メールアドレスが指定されていますが、「メールで連絡」が指定されて"
                                  "いないため、メールは送信されません。"));
  return true;
}

ComputerEntry ComputerForm::ToRow() const {
  const bool ping = check == Check::Ping;
  ComputerEntry row;
  row[Field::ComputerName] = ToCp932(name);
  row[Field::IpAddress] = ToCp932(DottedAddress(octets));
  row[Field::Status] = StatusUnknownText();
  row[Field::CheckService] = ping ? std::string("PING") : ToCp932(service);
  row[Field::Port] = ping ? std::string() : ToCp932(port);
  row[Field::ByMail] = FlagText(byMail);
  row[Field::ByNetsend] = FlagText(byNetsend);
  row[Field::ByEventlog] = FlagText(byEventlog);
  row[Field::DownProgram] = ToCp932(downProgram);
  row[Field::RestoreProgram] = ToCp932(restoreProgram);
  row[Field::NoDefaultMail] = FlagText(noDefaultMail);
  row[Field::MailAddress] = ToCp932(mailAddress);
  return row;
}

}  // namespace tarnwick
