#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace tarnwick {

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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit ModalWork(QWidget& window);

  QPointer<QWidget> window_;
};

}  // namespace tarnwick
