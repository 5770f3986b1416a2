#include "dialogs/CPageHtml.h"

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

constexpr int kReloadDigits = 3;

}  // namespace

CPageHtml::CPageHtml(AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : CSettingsPage(QStringLiteral("HTML出力"), settings, prompt, parent),
      output_(new QCheckBox(QStringLiteral("結果をHTMLで出力する"), this)),
      noDetail_(new QCheckBox(QStringLiteral("詳細を出力しない"), this)),
      file_(MakeTextEdit(AppSettings::kPathCapacity, this)),
      browse_(new QPushButton(QStringLiteral("参照"), this)),
      reload_(MakeDigitsEdit(kReloadDigits, this)),
      noReload_(new QCheckBox(QStringLiteral("HTMLファイルはリロードしない"), this)) {
  auto* controls = new QGridLayout;
  controls->setContentsMargins(24, 0, 0, 0);
  controls->addWidget(noDetail_, 0, 0, 1, 3);
  controls->addWidget(new QLabel(QStringLiteral("HTML出力ファイル"), this), 1, 0, 1, 3);
  controls->addWidget(file_, 2, 0, 1, 2);
  controls->addWidget(browse_, 2, 2);
  auto* reloadRow = new QHBoxLayout;
  reloadRow->addWidget(new QLabel(QStringLiteral("HTMLファイルリロード間隔"), this));
  reloadRow->addWidget(reload_);
  reloadRow->addWidget(new QLabel(QStringLiteral("分"), this));
  reloadRow->addStretch();
  controls->addLayout(reloadRow, 3, 0, 1, 3);
  controls->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(output_);
  layout->addLayout(controls);
  layout->addSpacing(8);
  layout->addWidget(noReload_);
  layout->addStretch();

  // The output box only enables the others; it leaves Apply as it is.
  connect(output_, &QCheckBox::toggled, this, &CPageHtml::EnableOutputControls);
  MarkChangedOnToggle(noDetail_);
  MarkChangedOnEdit(file_);
  MarkChangedOnEdit(reload_);
  MarkChangedOnToggle(noReload_);
  connect(browse_, &QPushButton::clicked, this, &CPageHtml::Browse);
}

void CPageHtml::Fill() {
  EnableOutputControls(settings().EnableHtml == 1);
  output_->setChecked(settings().EnableHtml == 1);
  noDetail_->setChecked(settings().DisableHtmlDetail == 1);
  noReload_->setChecked(settings().DisableHtmlReload == 1);
  SetFieldText(file_, settings().HtmlFile);
  // Kept as text both ways: "005" stays "005".
  SetFieldText(reload_, settings().HtmlReloadMinutes);
}

void CPageHtml::EnableOutputControls(bool enable) {
  for (QWidget* control : std::initializer_list<QWidget*>{file_, reload_, browse_, noDetail_})
    control->setEnabled(enable);
}

void CPageHtml::Browse() {
  const QString path = BrowseForFile(this, FromCp932(settings().HtmlFile),
                                     {QStringLiteral("htmlファイル(*.htm*) (*.htm*)"),
                                      QStringLiteral("すべてのファイル(*.*) (*)")},
                                     /*mustExist=*/false);
  if (!path.isEmpty()) file_->setText(path);
}

bool CPageHtml::Apply() {
  if (!AllFitCp932({{file_, QStringLiteral("HTML出力ファイル")}})) return false;
  const bool output = output_->isChecked();
  const QString reload = reload_->text();
  if (output && (reload.isEmpty() || LeadingDecimal(reload) == 0))
    return Refuse(QStringLiteral("HTMLファイルリロード間隔には1分以上の値を設定してください。"));
  if (output && file_->text().isEmpty())
    return Refuse(QStringLiteral("HTML出力ファイルを指定してください。"));
  settings().EnableHtml = output ? 1 : 0;
  settings().DisableHtmlDetail = noDetail_->isChecked() ? 1 : 0;
  settings().DisableHtmlReload = noReload_->isChecked() ? 1 : 0;
  settings().HtmlFile = FieldText(file_, AppSettings::kPathCapacity);
  settings().HtmlReloadMinutes = FieldText(reload_, AppSettings::kReloadCapacity);
  return true;
}

}  // namespace tarnwick
