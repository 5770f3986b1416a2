#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace tarnwick {

class WorkProgressWindow;

// How work that the user may cancel ended.
enum class WorkOutcome { Succeeded, Failed, Cancelled };

// Runs slow work (a mail dialogue, a net send) on a helper thread while the
// GUI thread keeps repainting. The window stays as blocked as if the work ran
// on the GUI thread: its mouse and key input is dropped, it cannot be closed,
// and the wait cursor shows. Boxes that the work shows from its thread
// (through the prompt service) still take input.
class ModalWork : public QObject {
  Q_OBJECT

 public:
  // The work's result; false when it threw.
  static bool Run(QWidget& window, const std::function<bool()>& work);
  // The same, with a small window beside the blocked one that says what is
  // being done (`text` first, then what the work tells it) and offers
  // キャンセル. The work must watch the window's stop in every wait: the
  // call returns once the work has ended, so that work of the same kind can
  // follow at once. Work that succeeded counts as such even when the cancel
  // came too late to stop it.
  static WorkOutcome RunCancellable(QWidget& window, const QString& caption, const QString& text,
                                    const std::function<bool(WorkProgressWindow&)>& work);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit ModalWork(QWidget& window);

  QPointer<QWidget> window_;
};

}  // namespace tarnwick
