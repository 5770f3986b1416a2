#include "dialogs/CPagePing.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/PageControls.h"

namespace tarnwick {
namespace {

constexpr std::size_t kTimeOutBytes = 5;
constexpr int kShortestTimeOut = 10;

}  // namespace

CPagePing::CPagePing(AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : CSettingsPage(QStringLiteral("ピング"), settings, prompt, parent),
      timeOut_(MakeTextEdit(kTimeOutBytes, this)),
      defaults_(new QPushButton(QStringLiteral("デフォルトに戻す"), this)) {
  timeOut_->setFixedWidth(timeOut_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) +
                          12);
  auto* row = new QGridLayout;
  row->addWidget(new QLabel(QStringLiteral("PING タイムアウト値"), this), 0, 0);
  row->addWidget(timeOut_, 0, 1);
  row->addWidget(new QLabel(QStringLiteral("ミリ秒"), this), 0, 2);
  row->setColumnStretch(3, 1);
  row->addWidget(defaults_, 0, 4);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addSpacing(12);
  layout->addWidget(
      new QLabel(QStringLiteral("(注)ポートのタイムアウト値は、45秒で固定です。"), this));
  layout->addStretch();

  MarkChangedOnEdit(timeOut_);
  connect(defaults_, &QPushButton::clicked, this, &CPagePing::RestoreDefaults);
}

void CPagePing::Fill() {
  SetWholeText(timeOut_, QString::number(settings().PingTimeOut));
}

void CPagePing::RestoreDefaults() {
  // The button's default, not the store's 5000 for a missing value.
  timeOut_->setText(QStringLiteral("3000"));
  MarkChanged();
}

bool CPagePing::Apply() {
  if (!AllFitCp932({{timeOut_, QStringLiteral("PING タイムアウト値")}})) return false;
  const int timeOut = LeadingDecimal(timeOut_->text());
  if (timeOut < kShortestTimeOut)
    return Refuse(QStringLiteral("タイムアウト値は10ミリ秒以上を設定してください。"));
  settings().PingTimeOut = timeOut;
  return true;
}

}  // namespace tarnwick
