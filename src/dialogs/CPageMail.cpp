#include "dialogs/CPageMail.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "dialogs/CMailSecurityGroup.h"
#include "dialogs/ModalWork.h"
#include "dialogs/PageControls.h"
#include "dialogs/WorkProgressWindow.h"
#include "gui/Cp932Text.h"
#include "mail/MailAddressList.h"
#include "mail/MailEnvironment.h"
#include "mail/SmtpClient.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"

namespace tarnwick {
namespace {

QLabel* Example(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextInteractionFlags(Qt::NoTextInteraction);
  return label;
}

bool HasSecondAt(const QString& sender) {
  const qsizetype first = sender.indexOf(QLatin1Char('@'));
  return first >= 0 && sender.indexOf(QLatin1Char('@'), first + 1) >= 0;
}

QString PhaseText(MailPhase phase) {
  switch (phase) {
    case MailPhase::Connecting:
      return UiText(Msg::TestMailConnecting);
    case MailPhase::Sending:
      return UiText(Msg::TestMailSending);
    case MailPhase::Closing:
      return UiText(Msg::TestMailClosing);
  }
  return {};
}

}  // namespace

CPageMail::CPageMail(AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : CSettingsPage(QStringLiteral("メールで連絡"), settings, prompt, parent),
      server_(MakeTextEdit(AppSettings::kHostCapacity, this)),
      sender_(MakeTextEdit(AppSettings::kHostCapacity, this)),
      recipients_(MakeTextEdit(AppSettings::kMailToCapacity, this)),
      english_(new QCheckBox(QStringLiteral("メールメッセージには英語を使用する"), this)),
      wait_(new QCheckBox(QStringLiteral("30秒待ってからメールする"), this)),
      test_(new QPushButton(QStringLiteral("テストメールを送信"), this)) {
  auto* fields = new QGridLayout;
  fields->setColumnStretch(1, 1);
  fields->addWidget(new QLabel(QStringLiteral("メールサーバ名"), this), 0, 0);
  fields->addWidget(server_, 0, 1);
  fields->addWidget(Example(QStringLiteral("例) mail.example.co.jp"), this), 1, 1);
  fields->addWidget(new QLabel(QStringLiteral("送信元メールアドレス"), this), 2, 0);
  fields->addWidget(sender_, 2, 1);
  fields->addWidget(Example(QStringLiteral("例) tarnwick@example.co.jp"), this), 3, 1);
  fields->addWidget(new QLabel(QStringLiteral("送信先メールアドレス"), this), 4, 0);
  fields->addWidget(recipients_, 4, 1);
  fields->addWidget(Example(QStringLiteral("例) admin@example.co.jp"), this), 5, 1);
  fields->addWidget(
      Example(QStringLiteral("(注)複数指定する場合にはセミコロン(;)で区切ってください"), this), 6,
      1);
  fields->addWidget(
      Example(QStringLiteral("例) admin@example.co.jp;sato@example.co.jp;suzuki@example.co.jp"),
              this),
      7, 1);
  fields->setRowMinimumHeight(3, fields->verticalSpacing() + 8);

  auto* testRow = new QHBoxLayout;
  testRow->addStretch();
  testRow->addWidget(test_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addSpacing(8);
  layout->addWidget(english_);
  layout->addWidget(wait_);
  security_ = new CMailSecurityGroup(this);
  layout->addWidget(security_);
  layout->addStretch();
  layout->addLayout(testRow);

  for (QLineEdit* edit : {server_, sender_, recipients_})
    MarkChangedOnEdit(edit);
  // The 30-second box leaves Apply as it is; it is still stored by apply.
  MarkChangedOnToggle(english_);
  connect(test_, &QPushButton::clicked, this, &CPageMail::SendTestMail);
  connect(security_, &CMailSecurityGroup::edited, this, [this] { MarkChanged(); });
}

void CPageMail::Fill() {
  SetFieldText(server_, settings().SmtpServer);
  SetFieldText(sender_, settings().MailFrom);
  SetFieldText(recipients_, settings().MailTo);
  english_->setChecked(settings().SendMailByEnglish != 0);
  wait_->setChecked(settings().MailAfter30Minutes != 0);
  security_->Fill(settings());
}

bool CPageMail::EnglishChosen() const {
  return filled() ? english_->isChecked() : settings().SendMailByEnglish != 0;
}

bool CPageMail::Apply() {
  if (!AllFitCp932({{server_, QStringLiteral("メールサーバ名")},
                    {recipients_, QStringLiteral("送信先メールアドレス")},
                    {sender_, QStringLiteral("送信元メールアドレス")}}))
    return false;
  const bool anyEmpty =
      server_->text().isEmpty() || recipients_->text().isEmpty() || sender_->text().isEmpty();
  const bool allEmpty =
      server_->text().isEmpty() && recipients_->text().isEmpty() && sender_->text().isEmpty();
  if (anyEmpty && !allEmpty)
    return Refuse(
        QStringLiteral("メールサーバ名、送信先メールアドレス、送信元メールアドレスの"
                       "すべてを入力してください。"));
  if (HasSecondAt(sender_->text()))
    return Refuse(
        QStringLiteral("送信元メールアドレスが不正です。メールアドレスは一人分のみ指定"
                       "してください。"));
  const std::string recipients = FieldText(recipients_, AppSettings::kMailToCapacity);
  if (!ValidateRecipients(recipients)) return false;
  if (const QString problem = security_->Problem(); !problem.isEmpty()) return Refuse(problem);
  security_->Store(settings());
  settings().SmtpServer = FieldText(server_, AppSettings::kHostCapacity);
  settings().MailFrom = FieldText(sender_, AppSettings::kHostCapacity);
  settings().MailTo = recipients;
  settings().SendMailByEnglish = english_->isChecked() ? 1 : 0;
  settings().MailAfter30Minutes = wait_->isChecked() ? 1 : 0;
  return true;
}

bool CPageMail::ValidateRecipients(const std::string& recipients) {
  if (const auto problem = ValidateMailAddressList(recipients)) return Refuse(UiText(*problem));
  return true;
}

void CPageMail::SendTestMail() {
  // The language is kept even when the sheet is then cancelled.
  settings().SendMailByEnglish = english_->isChecked() ? 1 : 0;
  if (!CheckTestFields(server_->text(), sender_->text(), recipients_->text())) return;
  const std::string server = FieldText(server_, AppSettings::kHostCapacity);
  const std::string sender = FieldText(sender_, AppSettings::kHostCapacity);
  const std::string recipients = FieldText(recipients_, AppSettings::kMailToCapacity);
  if (!ValidateRecipients(recipients)) return;
  if (const QString problem = security_->Problem(); !problem.isEmpty()) {
    Refuse(problem);
    return;
  }
  ConfirmRecipients(recipients_->text());

  const bool english = settings().SendMailByEnglish != 0;
  const std::string subject = ToCp932(english ? QStringLiteral("Tarnwick test mail")
                                              : QStringLiteral("Tarnwick テストメール"));
  const std::string body =
      ToCp932(english ? QStringLiteral("This mail is a test mail for Tarnwick.")
                      : QStringLiteral("これはTarnwick のテストメールです。"));
  AppSettings trial = settings();
  security_->Store(trial);
  const TestMail mail{
      server,
      sender,
      recipients,
      subject,
      body,
      SmtpSubmission::FromSettings(trial.SmtpSecurity, trial.SmtpPort, trial.SmtpUser,
                                   trial.SmtpPassword, trial.SmtpCaFile)};
  const WorkOutcome outcome = ModalWork::RunCancellable(
      *window(), UiText(Msg::TestMailCaption), UiText(Msg::TestMailConnecting),
      [&](WorkProgressWindow& progress) { return DeliverTestMail(mail, progress); });
  // The user ended it and knows: no box.
  if (outcome == WorkOutcome::Cancelled) return;
  const bool delivered = outcome == WorkOutcome::Succeeded;
  if (delivered)
    Inform(QStringLiteral("メール送信に成功しました。"));
  else
    Fail(QStringLiteral("メール送信に失敗しました。詳細はイベントログを参照してください。"));
}

bool CPageMail::DeliverTestMail(const TestMail& mail, WorkProgressWindow& progress) const {
  const EventLog eventLog;
  const SystemClock clock;
  // The window's stop, without the grace that a stop of the watch leaves an
  // alert: a cancel abandons the dialogue at once.
  const MailEnvironment environment{
      .eventLog = eventLog,
      .prompt = prompt(),
      .clock = clock,
      .showMessage = settings().EnableMailDebug == 1,
      .english = settings().SendMailByEnglish != 0,
      .submission = mail.submission,
      .stop = {.event = &progress.stop(), .grace = std::chrono::milliseconds(0)},
      .phaseBegins = [&progress](MailPhase phase) { progress.Tell(PhaseText(phase)); },
  };
  return SmtpClient::SendMail(environment, mail.server, mail.sender, mail.recipients, mail.subject,
                              mail.body) == 1;
}

bool CPageMail::CheckTestFields(const QString& server, const QString& sender,
                                const QString& recipients) {
  if (server.isEmpty())
    return Refuse(QStringLiteral("メールサーバ(SMTPサーバ)名を入力してください。"));
  if (sender.isEmpty()) return Refuse(QStringLiteral("メールの送信元ユーザ名を入力してください。"));
  if (recipients.isEmpty())
    return Refuse(QStringLiteral("メールの送信先ユーザ名を入力してください。"));
  return true;
}

void CPageMail::ConfirmRecipients(const QString& recipients) {
  // Every ';' but a last character becomes a line break; the count is theirs plus one.
  QString lines = recipients;
  int replaced = 0;
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] == QLatin1Char(';')) {
      lines[i] = QLatin1Char('\n');
      ++replaced;
    }
  }
  Inform(lines + QStringLiteral("\n(合計 %1 人)へ送信します。").arg(replaced + 1));
}

}  // namespace tarnwick
