#include "dialogs/ModalWork.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <atomic>
#include <thread>

namespace tarnwick {
namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace

ModalWork::ModalWork(QWidget& window) : window_(&window) {}

bool ModalWork::Run(QWidget& window, const std::function<bool()>& work) {
  ModalWork blocker(window);
  qApp->installEventFilter(&blocker);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::atomic<bool> result{false};
  QEventLoop loop;
  std::thread helper([&] {
    try {
      result = work();
    } catch (...) {
      // Out of memory in the mail client: the work failed, nothing more.
      result = false;
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  helper.join();
  QApplication::restoreOverrideCursor();
  qApp->removeEventFilter(&blocker);
  return result;
}

bool ModalWork::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || window_.isNull() || widget->window() != window_->window()) return false;
  if (event->type() == QEvent::Close) {
    event->ignore();
    return true;
  }
  return IsUserInput(event->type());
}

}  // namespace tarnwick
