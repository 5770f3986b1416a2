#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>

#include "platform/UserPrompt.h"

class QMessageBox;

namespace tarnwick {

// The one prompt service of the desktop program: a real message box, shown
// on the GUI thread. Called from the check thread it hops to the GUI thread
// and blocks its caller until the user answers; the GUI thread itself never
// waits for the check thread, so the two cannot deadlock. Such a box has no
// owner window and blocks no window, unless a dialog is open.
class GuiPrompt : public QObject, public UserPrompt {
  Q_OBJECT

 public:
  explicit GuiPrompt(QObject* parent = nullptr);

  // The window that owns the boxes; none before the main window exists.
  void SetOwner(QWidget* owner) { owner_ = owner; }
  // While the program ends in order (SIGTERM), boxes are answered with their
  // first button at once, so the end never waits for a person.
  void SetSilent(bool silent) { silent_ = silent; }

  PromptAnswer Show(std::string_view text, std::string_view caption, PromptIcon icon,
                    PromptButtons buttons = PromptButtons::Ok) override;

 private:
  // `owned`: the box belongs to the main window when no dialog is open.
  PromptAnswer ShowHere(const QString& text, const QString& caption, PromptIcon icon,
                        PromptButtons buttons, bool owned);
  static void WaitWithoutBlocking(QMessageBox& box);

  QPointer<QWidget> owner_;
  std::atomic<bool> silent_{false};
};

// The answer a box gives when nobody is asked: its first button.
PromptAnswer FirstButton(PromptButtons buttons);

// Shows a box with texts of the GUI through any prompt service.
PromptAnswer Ask(UserPrompt& prompt, const QString& text, const QString& caption, PromptIcon icon,
                 PromptButtons buttons = PromptButtons::Ok);

}  // namespace tarnwick
