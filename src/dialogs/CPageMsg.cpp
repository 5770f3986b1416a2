#include "dialogs/CPageMsg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/CPageMail.h"
#include "dialogs/PageControls.h"
#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

struct MessageField {
  QString label;
  Msg defaultText;
  bool subject;
};

const MessageField& TextOf(CPageMsg::Field field) {
  static const std::array<MessageField, CPageMsg::FieldCount> texts{{
      {QStringLiteral("ダウン検出時のメッセージ(日本語)"), Msg::DefaultDownMsgJp, false},
      {QStringLiteral("復帰時のメッセージ(日本語)"), Msg::DefaultRestoreMsgJp, false},
      {QStringLiteral("ダウン検出時のメッセージ(英語)"), Msg::DefaultDownMsgUs, false},
      {QStringLiteral("復帰時のメッセージ(英語)"), Msg::DefaultRestoreMsgUs, false},
      {QStringLiteral("ダウン検出時のメール件名(日本語)"), Msg::DefaultDownSubjectJp, true},
      {QStringLiteral("復帰時のメール件名(日本語)"), Msg::DefaultRestoreSubjectJp, true},
      {QStringLiteral("ダウン検出時のメール件名(英語)"), Msg::DefaultDownSubjectUs, true},
      {QStringLiteral("復帰時のメール件名(英語)"), Msg::DefaultRestoreSubjectUs, true},
  }};
  return texts[field];
}

std::size_t CapacityOf(CPageMsg::Field field) {
  return TextOf(field).subject ? AppSettings::kSubjectCapacity : AppSettings::kMessageCapacity;
}

}  // namespace

CPageMsg::CPageMsg(AppSettings& settings, UserPrompt& prompt, const CPageMail& mailPage,
                   QWidget* parent)
    : CSettingsPage(QStringLiteral("メッセージ"), settings, prompt, parent),
      mailPage_(mailPage),
      defaults_(new QPushButton(QStringLiteral("デフォルトに戻す"), this)) {
  auto* fields = new QGridLayout;
  fields->setColumnStretch(1, 1);
  for (int i = 0; i < FieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    edits_[field] = MakeTextEdit(CapacityOf(field), this);
    fields->addWidget(new QLabel(TextOf(field).label, this), i, 0);
    fields->addWidget(edits_[field], i, 1);
    MarkChangedOnEdit(edits_[field]);
  }
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(
      QStringLiteral("(注意)  %t：時刻   %s：サーバ名    %i：ＩＰアドレス   %c:チェック方法"),
      this));
  bottom->addStretch();
  bottom->addWidget(defaults_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addSpacing(8);
  layout->addLayout(bottom);
  layout->addStretch();

  connect(defaults_, &QPushButton::clicked, this, &CPageMsg::RestoreDefaults);
}

std::string& CPageMsg::Setting(Field field) const {
  AppSettings& s = settings();
  switch (field) {
    case DownMsgJp:
      return s.DownMsgJp;
    case RestoreMsgJp:
      return s.RestoreMsgJp;
    case DownMsgUs:
      return s.DownMsgUs;
    case RestoreMsgUs:
      return s.RestoreMsgUs;
    case DownSubjectJp:
      return s.DownSubjectJp;
    case RestoreSubjectJp:
      return s.RestoreSubjectJp;
    case DownSubjectUs:
      return s.DownSubjectUs;
    case RestoreSubjectUs:
    case FieldCount:
      break;
  }
  return s.RestoreSubjectUs;
}

void CPageMsg::Fill() {
  for (int i = 0; i < FieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    SetFieldText(edits_[field], Setting(field));
  }
}

void CPageMsg::Activate() {
  // The Japanese messages stay usable in both languages: net send and the
  // event log use them too.
  const bool english = mailPage_.EnglishChosen();
  for (Field field : {DownMsgUs, RestoreMsgUs, DownSubjectUs, RestoreSubjectUs})
    edits_[field]->setEnabled(english);
  for (Field field : {DownSubjectJp, RestoreSubjectJp})
    edits_[field]->setEnabled(!english);
}

void CPageMsg::RestoreDefaults() {
  for (int i = 0; i < FieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    edits_[field]->setText(UiText(TextOf(field).defaultText));
  }
  MarkChanged();
}

bool CPageMsg::Apply() {
  for (int i = 0; i < FieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    if (!AllFitCp932({{edits_[field], TextOf(field).label}})) return false;
  }
  // Disabled fields are checked too: the other language may be chosen later.
  for (Field field : {DownMsgJp, DownMsgUs, RestoreMsgJp, RestoreMsgUs}) {
    if (edits_[field]->text().isEmpty())
      return Refuse(TextOf(field).label + QStringLiteral("を入力してください。"));
  }
  for (int i = 0; i < FieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    Setting(field) = FieldText(edits_[field], CapacityOf(field));
  }
  return true;
}

}  // namespace tarnwick
