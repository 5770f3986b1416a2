#include "dialogs/CSettingsPage.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "gui/Cp932Text.h"
#include "gui/GuiPrompt.h"

namespace tarnwick {

CSettingsPage::CSettingsPage(QString title, AppSettings& settings, UserPrompt& prompt,
                             QWidget* parent)
    : QWidget(parent), title_(std::move(title)), settings_(settings), prompt_(prompt) {}

void CSettingsPage::MarkChanged() {
  if (!filling_) emit modified();
}

void CSettingsPage::MarkChangedOnEdit(QLineEdit* edit) {
  connect(edit, &QLineEdit::textChanged, this, &CSettingsPage::MarkChanged);
}

void CSettingsPage::MarkChangedOnToggle(QAbstractButton* box) {
  connect(box, &QAbstractButton::toggled, this, &CSettingsPage::MarkChanged);
}

bool CSettingsPage::Refuse(const QString& text) {
  Warn(text);
  return false;
}

bool CSettingsPage::AllFitCp932(std::initializer_list<LabelledEdit> edits) {
  for (const LabelledEdit& field : edits) {
    if (!FitsCp932(field.edit->text())) return Refuse(UiText(Msg::InputNotCp932).arg(field.label));
  }
  return true;
}

void CSettingsPage::Warn(const QString& text) {
  Ask(prompt_, text, UiText(Msg::CaptionCaution), PromptIcon::Exclamation);
}

void CSettingsPage::Inform(const QString& text) {
  Ask(prompt_, text, UiText(Msg::CaptionConfirm), PromptIcon::Information);
}

void CSettingsPage::Fail(const QString& text) {
  Ask(prompt_, text, UiText(Msg::CaptionError), PromptIcon::Error);
}

void CSettingsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!filled_) {
    filling_ = true;
    Fill();
    filling_ = false;
    filled_ = true;
  }
  Activate();
}

}  // namespace tarnwick
