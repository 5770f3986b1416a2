#include "dialogs/CPageSchedule.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/PageControls.h"

namespace tarnwick {
namespace {

constexpr int kHourDigits = 2;
constexpr int kMinuteDigits = 2;
constexpr int kLengthDigits = 3;
constexpr int kShortestPause = 5;
constexpr int kLongestPause = 720;

}  // namespace

CPageSchedule::CPageSchedule(AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : CSettingsPage(QStringLiteral("スケジュール"), settings, prompt, parent),
      enable_(new QCheckBox(QStringLiteral("監視を停止する時間を設定"), this)),
      hour_(MakeDigitsEdit(kHourDigits, this)),
      minute_(MakeDigitsEdit(kMinuteDigits, this)),
      length_(MakeDigitsEdit(kLengthDigits, this)) {
  // One sentence: from hour:minute, watching stops for so many minutes.
  auto* sentence = new QGridLayout;
  sentence->setContentsMargins(24, 0, 0, 0);
  sentence->addWidget(hour_, 0, 0);
  sentence->addWidget(new QLabel(QStringLiteral("時"), this), 0, 1);
  sentence->addWidget(minute_, 0, 2);
  sentence->addWidget(new QLabel(QStringLiteral("分 から"), this), 0, 3);
  sentence->addWidget(length_, 0, 4);
  sentence->addWidget(new QLabel(QStringLiteral("分間は監視を停止"), this), 0, 5);
  sentence->addWidget(new QLabel(QStringLiteral("↑0-23で指定"), this), 1, 0, 1, 2);
  sentence->addWidget(new QLabel(QStringLiteral("↑0-59で指定"), this), 1, 2, 1, 2);
  sentence->addWidget(new QLabel(QStringLiteral("↑5-720で指定"), this), 1, 4, 1, 2);
  sentence->setColumnStretch(6, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enable_);
  layout->addSpacing(4);
  layout->addLayout(sentence);
  layout->addStretch();

  connect(enable_, &QCheckBox::toggled, this, &CPageSchedule::EnableTimeEdits);
  MarkChangedOnToggle(enable_);
  for (QLineEdit* edit : {hour_, minute_, length_})
    MarkChangedOnEdit(edit);
}

void CPageSchedule::Fill() {
  enable_->setChecked(settings().EnableUnavailableSchedule != 0);
  EnableTimeEdits(enable_->isChecked());
  SetWholeText(hour_, QString::number(settings().UnavailableHour));
  SetWholeText(minute_, QString::number(settings().UnavailableMinutes));
  SetWholeText(length_, QString::number(settings().UnavailableInterval));
}

void CPageSchedule::EnableTimeEdits(bool enable) {
  for (QLineEdit* edit : {hour_, minute_, length_})
    edit->setEnabled(enable);
}

bool CPageSchedule::ValidateWindow() {
  if (hour_->text().isEmpty()) return Refuse(QStringLiteral("時間(時)を指定してください。"));
  if (minute_->text().isEmpty()) return Refuse(QStringLiteral("時間(分)を指定してください。"));
  if (length_->text().isEmpty()) return Refuse(QStringLiteral("停止する間隔を指定してください。"));
  const int hour = LeadingDecimal(hour_->text());
  if (hour > 23 || hour < 0) return Refuse(QStringLiteral("0時から23時の間を指定してください。"));
  const int minute = LeadingDecimal(minute_->text());
  if (minute > 59 || minute < 0)
    return Refuse(QStringLiteral("0分から59分の間を指定してください。"));
  const int length = LeadingDecimal(length_->text());
  if (length > kLongestPause || length < kShortestPause)
    return Refuse(QStringLiteral("監視を停止する時間は、5分から720の間を指定してください。"));
  return true;
}

bool CPageSchedule::Apply() {
  if (enable_->isChecked() && !ValidateWindow()) return false;
  settings().EnableUnavailableSchedule = enable_->isChecked() ? 1 : 0;
  settings().UnavailableHour = LeadingDecimal(hour_->text());
  settings().UnavailableMinutes = LeadingDecimal(minute_->text());
  settings().UnavailableInterval = LeadingDecimal(length_->text());
  return true;
}

}  // namespace tarnwick
