#include "gui/GuiPrompt.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

QMessageBox::Icon BoxIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information:
      return QMessageBox::Information;
    case PromptIcon::Exclamation:
      return QMessageBox::Warning;
    case PromptIcon::Error:
      return QMessageBox::Critical;
    case PromptIcon::Question:
      return QMessageBox::Question;
    case PromptIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

void AddButton(QMessageBox& box, QMessageBox::StandardButton button, const QString& text) {
  box.addButton(button)->setText(text);
}

void AddButtons(QMessageBox& box, PromptButtons buttons) {
  const bool yesNo = buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel;
  if (yesNo) {
    AddButton(box, QMessageBox::Yes, QStringLiteral("はい(&Y)"));
    AddButton(box, QMessageBox::No, QStringLiteral("いいえ(&N)"));
  } else {
    AddButton(box, QMessageBox::Ok, QStringLiteral("OK"));
  }
  if (buttons == PromptButtons::OkCancel || buttons == PromptButtons::YesNoCancel)
    AddButton(box, QMessageBox::Cancel, QStringLiteral("キャンセル"));
}

PromptAnswer AnswerOf(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return PromptAnswer::Yes;
    case QMessageBox::No:
      return PromptAnswer::No;
    case QMessageBox::Cancel:
      return PromptAnswer::Cancel;
    default:
      return PromptAnswer::Ok;
  }
}

}  // namespace

PromptAnswer FirstButton(PromptButtons buttons) {
  return buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel
             ? PromptAnswer::Yes
             : PromptAnswer::Ok;
}

PromptAnswer Ask(UserPrompt& prompt, const QString& text, const QString& caption, PromptIcon icon,
                 PromptButtons buttons) {
  return prompt.Show(ToCp932(text), ToCp932(caption), icon, buttons);
}

GuiPrompt::GuiPrompt(QObject* parent) : QObject(parent) {}

PromptAnswer GuiPrompt::Show(std::string_view text, std::string_view caption, PromptIcon icon,
                             PromptButtons buttons) {
  if (silent_) return FirstButton(buttons);
  const QString boxText = FromCp932(text);
  const QString boxCaption = FromCp932(caption);
  if (QThread::currentThread() == thread())
    return ShowHere(boxText, boxCaption, icon, buttons, /*owned=*/true);
  PromptAnswer answer = FirstButton(buttons);
  QMetaObject::invokeMethod(
      this, [&] { answer = ShowHere(boxText, boxCaption, icon, buttons, /*owned=*/false); },
      Qt::BlockingQueuedConnection);
  return answer;
}

PromptAnswer GuiPrompt::ShowHere(const QString& text, const QString& caption, PromptIcon icon,
                                 PromptButtons buttons, bool owned) {
  if (silent_) return FirstButton(buttons);
  // A box asked for while a dialog is open belongs to that dialog.
  QWidget* owner = QApplication::activeModalWidget();
  if (owner == nullptr && owned) owner = owner_.data();
  QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::NoButton, owner);
  AddButtons(box, buttons);
  if (owned || owner != nullptr)
    box.exec();
  else
    WaitWithoutBlocking(box);
  return AnswerOf(box.standardButton(box.clickedButton()));
}

void GuiPrompt::WaitWithoutBlocking(QMessageBox& box) {
  // The check thread waits for the answer; the main window stays usable
  // meanwhile, so the watch can still be stopped.
  QEventLoop answered;
  connect(&box, &QMessageBox::finished, &answered, &QEventLoop::quit);
  box.setWindowModality(Qt::NonModal);
  box.show();
  box.raise();
  box.activateWindow();
  answered.exec();
}

}  // namespace tarnwick
