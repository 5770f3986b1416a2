#include "app/CLogoWindow.h"

#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace tarnwick {
namespace {

// 293 x 229 dialog units at the usual 1.5 x 1.75 pixels per unit.
constexpr QSize kLogoSize{440, 400};

}  // namespace

CLogoWindow::CLogoWindow(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setModal(true);
  auto* picture = new QLabel(this);
  picture->setPixmap(QIcon(QStringLiteral(":/logo.svg")).pixmap(kLogoSize));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picture);
  setFixedSize(kLogoSize);
}

void CLogoWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (closeTimer_ == 0) closeTimer_ = startTimer(kShowMs);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  raise();
  activateWindow();
}

void CLogoWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != closeTimer_) return QDialog::timerEvent(event);
  killTimer(closeTimer_);
  reject();
}

void CLogoWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter) return QDialog::keyPressEvent(event);
  accept();
}

}  // namespace tarnwick
