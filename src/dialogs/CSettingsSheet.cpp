#include "dialogs/CSettingsSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tarnwick {

CSettingsSheet::CSettingsSheet(AppSettings& settings, RegistryFile& registry, UserPrompt& prompt,
                               QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      registry_(registry),
      prompt_(prompt),
      tabs_(new QTabWidget(this)) {
  setWindowTitle(QStringLiteral("設定"));
  for (const QString& title :
       {QStringLiteral("メールで連絡"), QStringLiteral("ピング"),
        QStringLiteral("メッセージ(net send)送信先"), QStringLiteral("HTML出力"),
        QStringLiteral("メッセージ"), QStringLiteral("パラメータ"), QStringLiteral("スケジュール")})
    tabs_->addTab(new QWidget(tabs_), title);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                       QDialogButtonBox::Apply);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  buttons->button(QDialogButtonBox::Apply)->setText(QStringLiteral("適用(&A)"));
  buttons->button(QDialogButtonBox::Apply)->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

}  // namespace tarnwick
