#include "dialogs/CMailAddressGroup.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "gui/Cp932ByteValidator.h"
#include "gui/Cp932Text.h"
#include "gui/GuiPrompt.h"

namespace tarnwick {
namespace {

constexpr std::size_t kAddressLimit = 249;

}  // namespace

CMailAddressGroup::CMailAddressGroup(const QString& checkText, UserPrompt& prompt, QWidget* parent)
    : QGroupBox(QStringLiteral("送信先メールアドレス"), parent),
      prompt_(prompt),
      noDefault_(new QCheckBox(checkText, this)),
      address_(new QLineEdit(this)) {
  noDefault_->setObjectName(QStringLiteral("noDefaultMail"));
  address_->setObjectName(QStringLiteral("mailAddress"));
  address_->setValidator(new Cp932ByteValidator(kAddressLimit, address_));
  address_->setEnabled(false);
  // Room for two ordinary addresses side by side.
  address_->setMinimumWidth(
      address_->fontMetrics().horizontalAdvance(QString(44, QLatin1Char('x'))));
  auto* example = new QLabel(QStringLiteral("(例) taro@example.co.jp;hanako@example.co.jp"), this);
  auto* layout = new QFormLayout(this);
  layout->addRow(noDefault_);
  layout->addRow(QStringLiteral("メールアドレス"), address_);
  layout->addRow(QString(), example);
  connect(noDefault_, &QCheckBox::clicked, this, &CMailAddressGroup::OnNoDefaultClicked);
}

void CMailAddressGroup::SetNoDefault(bool on) {
  noDefault_->setChecked(on);
  address_->setEnabled(on);
}

void CMailAddressGroup::OnNoDefaultClicked(bool checked) {
  if (!checked && !address_->text().isEmpty()) {
    if (UserKeepsAddress()) {
      noDefault_->setChecked(true);
      return;
    }
    address_->clear();
  }
  address_->setEnabled(noDefault_->isChecked());
}

bool CMailAddressGroup::UserKeepsAddress() {
  const QString question = QStringLiteral("デフォルトのメールアドレスを使用するため、") +
                           address_->text() + QStringLiteral("は消去します。よろしいですか。");
  return Ask(prompt_, question, UiText(Msg::CaptionConfirm), PromptIcon::Question,
             PromptButtons::YesNo) != PromptAnswer::Yes;
}

}  // namespace tarnwick
