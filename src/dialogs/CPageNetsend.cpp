#include "dialogs/CPageNetsend.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/ModalWork.h"
#include "dialogs/PageControls.h"
#include "dialogs/WorkProgressWindow.h"
#include "gui/Cp932Text.h"
#include "platform/NetMessenger.h"

namespace tarnwick {

CPageNetsend::CPageNetsend(AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : CSettingsPage(QStringLiteral("メッセージ(net send)送信先"), settings, prompt, parent),
      recipient_(MakeTextEdit(AppSettings::kHostCapacity, this)),
      test_(new QPushButton(QStringLiteral("テスト"), this)) {
  auto* row = new QGridLayout;
  row->addWidget(new QLabel(QStringLiteral("メッセージ送信先コンピュータ名"), this), 0, 0, 1, 2);
  row->addWidget(recipient_, 1, 0);
  row->addWidget(test_, 1, 1);
  row->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addStretch();

  MarkChangedOnEdit(recipient_);
  connect(test_, &QPushButton::clicked, this, &CPageNetsend::SendTestMessage);
}

void CPageNetsend::Fill() {
  SetFieldText(recipient_, settings().NetsendTo);
}

bool CPageNetsend::Apply() {
  if (!AllFitCp932({{recipient_, QStringLiteral("メッセージ送信先コンピュータ名")}})) return false;
  settings().NetsendTo = FieldText(recipient_, AppSettings::kHostCapacity);
  return true;
}

void CPageNetsend::SendTestMessage() {
  if (recipient_->text().isEmpty()) {
    Warn(QStringLiteral("テストメッセージを送信するコンピュータ名を入力してください。"));
    return;
  }
  const std::string recipient = FieldText(recipient_, AppSettings::kHostCapacity);
  const std::string text = ToCp932(QStringLiteral("これはテストメッセージです。"));
  NetSendResult result = NetSendResult::NoAnswer;
  const WorkOutcome outcome = ModalWork::RunCancellable(
      *window(), UiText(Msg::TestNetsendCaption), UiText(Msg::TestNetsendSending),
      [&](WorkProgressWindow& progress) {
        // The window's stop, with no grace: a cancel abandons the exchange at once.
        NetMessengerOptions options = NetMessengerOptions::FromEnvironment();
        options.stop = &progress.stop();
        result = NetMessenger(options).Deliver(recipient, text);
        return result == NetSendResult::Sent;
      });
  // The user ended it and knows: no box.
  if (outcome == WorkOutcome::Cancelled) return;
  const bool sent = outcome == WorkOutcome::Succeeded;
  if (sent)
    Inform(QStringLiteral("メッセージの送信に成功しました。"));
  else
    Fail(QStringLiteral("メッセージの送信に失敗しました。\n") +
         FromCp932(NetSendFailureCause(result)));
}

}  // namespace tarnwick
