#pragma once

#include <QDialog>

namespace tarnwick {

// The start-up logo: a borderless picture in the middle of the screen that
// closes itself after four seconds (timer 5300), or earlier on Enter or
// Escape.
class CLogoWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTimerNumber = 5300;
  static constexpr int kShowMs = 4000;

  explicit CLogoWindow(QWidget* parent = nullptr);

  // The Qt timer of timer number 5300; its event closes the window.
  int closeTimerId() const { return closeTimer_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  // Enter closes the logo too: it has no button to take it.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int closeTimer_ = 0;
};

}  // namespace tarnwick
