#pragma once

#include <QDialog>
#include <QString>

#include "platform/StopEvent.h"

class QLabel;
class QPushButton;

namespace tarnwick {

// The small window of slow work that the user may cancel: what is being
// done, and キャンセル. The work watches `stop()` in its waits, so a cancel
// ends them at once, and tells its next step from its own thread.
class WorkProgressWindow : public QDialog {
  Q_OBJECT

 public:
  WorkProgressWindow(const QString& caption, const QString& text, QWidget* parent);

  const StopEvent& stop() const { return stop_; }
  // Safe on any thread: the text shows once the GUI thread runs.
  void Tell(const QString& text);
  bool cancelled() const { return cancelled_; }

  QLabel* textLabel() const { return text_; }
  QPushButton* cancelButton() const { return cancel_; }

 public slots:
  // Escape and the close box cancel as the button does.
  void reject() override;

 private:
  void Cancel();

  StopEvent stop_;
  bool cancelled_ = false;
  QLabel* text_;
  QPushButton* cancel_;
};

}  // namespace tarnwick
