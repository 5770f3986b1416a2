#include "dialogs/CSettingsSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialogs/CPageHtml.h"
#include "dialogs/CPageMail.h"
#include "dialogs/CPageMsg.h"
#include "dialogs/CPageNetsend.h"
#include "dialogs/CPageParameter.h"
#include "dialogs/CPagePing.h"
#include "dialogs/CPageSchedule.h"
#include "settings/SettingsStore.h"

namespace tarnwick {

CSettingsSheet::CSettingsSheet(AppSettings& settings, RegistryFile& registry, UserPrompt& prompt,
                               QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      registry_(registry),
      prompt_(prompt),
      tabs_(new QTabWidget(this)) {
  setWindowTitle(QStringLiteral("設定"));
  // Every tab stays in sight: no scroll buttons hide some of them.
  tabs_->setUsesScrollButtons(false);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                       QDialogButtonBox::Apply);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  apply_ = buttons->button(QDialogButtonBox::Apply);
  apply_->setText(QStringLiteral("適用(&A)"));
  apply_->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, &CSettingsSheet::ApplyShownPages);

  auto* mail = new CPageMail(settings_, prompt_);
  AddPage(mail);
  AddPage(new CPagePing(settings_, prompt_));
  AddPage(new CPageNetsend(settings_, prompt_));
  AddPage(new CPageHtml(settings_, prompt_));
  AddPage(new CPageMsg(settings_, prompt_, *mail));
  AddPage(new CPageParameter(settings_, prompt_));
  AddPage(new CPageSchedule(settings_, prompt_));

  auto* layout = new QVBoxLayout(this);
  // Fixed at the size of the largest page, as a dialog is.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

void CSettingsSheet::AddPage(CSettingsPage* page) {
  tabs_->addTab(page, page->title());
  pages_.push_back(page);
  connect(page, &CSettingsPage::modified, apply_, [this] { apply_->setEnabled(true); });
}

void CSettingsSheet::accept() {
  if (ApplyShownPages()) QDialog::accept();
}

bool CSettingsSheet::ApplyShownPages() {
  // A page never shown holds nothing of the user's: it writes nothing. A
  // refusal leaves the tab in front as it is.
  for (CSettingsPage* page : pages_) {
    if (page->filled() && !page->Apply()) return false;
  }
  SaveSettings(settings_, registry_, prompt_);
  apply_->setEnabled(false);
  return true;
}

}  // namespace tarnwick
