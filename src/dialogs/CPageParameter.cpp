#include "dialogs/CPageParameter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/PageControls.h"
#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

constexpr int kRetryDigits = 2;
constexpr int kIntervalDigits = 3;
constexpr int kParallelDigits = 3;
constexpr int kMostParallelChecks = 256;

int CheckedValue(const QCheckBox* box) {
  return box->isChecked() ? 1 : 0;
}

}  // namespace

CPageParameter::CPageParameter(AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : CSettingsPage(QStringLiteral("パラメータ"), settings, prompt, parent),
      retry_(MakeDigitsEdit(kRetryDigits, this)),
      interval_(MakeDigitsEdit(kIntervalDigits, this)),
      parallel_(MakeDigitsEdit(kParallelDigits, this)),
      beep_(new QCheckBox(QStringLiteral("ダウン検出時にビープ音を鳴らす"), this)),
      noLogo_(new QCheckBox(QStringLiteral("起動時にロゴを表示しない"), this)),
      resolve_(new QCheckBox(QStringLiteral("ホスト名の解決を毎回行う"), this)),
      autoStart_(new QCheckBox(
          QStringLiteral("アプリケーション起動時に自動的に監視を開始する(自動起動)"), this)),
      preload_(MakeTextEdit(AppSettings::kPathCapacity, this)),
      browse_(new QPushButton(QStringLiteral("参照"), this)),
      runningLog_(new QCheckBox(QStringLiteral("動作ログを記録"), this)),
      defaults_(new QPushButton(QStringLiteral("デフォルトに戻す"), this)) {
  auto* numbers = new QGridLayout;
  numbers->addWidget(new QLabel(QStringLiteral("再試行回数"), this), 0, 0);
  numbers->addWidget(retry_, 0, 1);
  numbers->addWidget(new QLabel(QStringLiteral("回"), this), 0, 2);
  numbers->addWidget(new QLabel(QStringLiteral("監視間隔"), this), 1, 0);
  numbers->addWidget(interval_, 1, 1);
  numbers->addWidget(new QLabel(QStringLiteral("分"), this), 1, 2);
  numbers->addWidget(new QLabel(QStringLiteral("同時に確認する台数"), this), 2, 0);
  numbers->addWidget(parallel_, 2, 1);
  numbers->addWidget(new QLabel(QStringLiteral("台 (0は一台ずつ確認)"), this), 2, 2);
  numbers->setColumnStretch(3, 1);
  numbers->addWidget(defaults_, 0, 4);

  auto* preloadRow = new QHBoxLayout;
  preloadRow->addWidget(preload_, 1);
  preloadRow->addWidget(browse_);

  auto* logRow = new QHBoxLayout;
  logRow->addWidget(runningLog_);
  logRow->addSpacing(12);
  logRow->addWidget(new QLabel(QStringLiteral("(注)一週間経過したログは削除されます"), this));
  logRow->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(numbers);
  layout->addSpacing(8);
  for (QCheckBox* box : {beep_, noLogo_, resolve_, autoStart_})
    layout->addWidget(box);
  layout->addSpacing(8);
  layout->addWidget(
      new QLabel(QStringLiteral("起動時に読み込む設定ファイル(プレロードファイル)"), this));
  layout->addLayout(preloadRow);
  layout->addSpacing(8);
  layout->addLayout(logRow);
  layout->addStretch();

  for (QLineEdit* edit : {retry_, interval_, parallel_, preload_})
    MarkChangedOnEdit(edit);
  for (QCheckBox* box : {beep_, noLogo_, resolve_, autoStart_, runningLog_})
    MarkChangedOnToggle(box);
  connect(defaults_, &QPushButton::clicked, this, &CPageParameter::RestoreDefaults);
  connect(browse_, &QPushButton::clicked, this, &CPageParameter::Browse);
}

void CPageParameter::Fill() {
  SetFieldText(preload_, settings().PreloadFile);
  SetWholeText(interval_, QString::number(settings().CheckInterval));
  SetWholeText(retry_, QString::number(settings().MaxRetry));
  SetWholeText(parallel_, QString::number(settings().ParallelChecks));
  autoStart_->setChecked(settings().AutoStart != 0);
  noLogo_->setChecked(settings().DontShowLogo != 0);
  beep_->setChecked(settings().BeepToAlert != 0);
  resolve_->setChecked(settings().ResolveNameEverytime != 0);
  runningLog_->setChecked(settings().RunningLog != 0);
}

void CPageParameter::RestoreDefaults() {
  // The button's own values (the store's default for a missing retry count is 5).
  interval_->setText(QStringLiteral("1"));
  retry_->setText(QStringLiteral("4"));
  parallel_->setText(QStringLiteral("0"));
  resolve_->setChecked(false);
  runningLog_->setChecked(false);
  MarkChanged();
}

void CPageParameter::Browse() {
  // Starts on the stored file, not on what the edit holds now.
  const QString path = BrowseForFile(this, FromCp932(settings().PreloadFile),
                                     {QStringLiteral("コンピュータリスト(*.ls2) (*.ls2)")},
                                     /*mustExist=*/true);
  if (!path.isEmpty()) preload_->setText(path);
}

bool CPageParameter::Apply() {
  if (!AllFitCp932(
          {{preload_, QStringLiteral("起動時に読み込む設定ファイル(プレロードファイル)")}}))
    return false;
  const int interval = LeadingDecimal(interval_->text());
  if (interval == 0 && runningLog_->isChecked())
    return Refuse(
        QStringLiteral("ログがあふれるため、監視間隔が 0分の場合にはログは取得できません。"
                       "1分以上を指定してください。"));
  const int parallel = LeadingDecimal(parallel_->text());
  if (parallel > kMostParallelChecks)
    return Refuse(QStringLiteral("同時に確認する台数には0から256までの値を設定してください。"));
  settings().CheckInterval = interval;
  settings().ParallelChecks = parallel;
  settings().MaxRetry = LeadingDecimal(retry_->text());
  settings().AutoStart = CheckedValue(autoStart_);
  settings().DontShowLogo = CheckedValue(noLogo_);
  settings().BeepToAlert = CheckedValue(beep_);
  settings().ResolveNameEverytime = CheckedValue(resolve_);
  settings().RunningLog = CheckedValue(runningLog_);
  settings().PreloadFile = FieldText(preload_, AppSettings::kPathCapacity);
  return true;
}

}  // namespace tarnwick
