#include "dialogs/ModalWork.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <atomic>
#include <thread>

#include "dialogs/WorkProgressWindow.h"

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

// The work's result, false when it threw; the GUI thread runs meanwhile.
bool RunOnHelperThread(const std::function<bool()>& work) {
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
  return result;
}

}  // namespace

ModalWork::ModalWork(QWidget& window) : window_(&window) {}

bool ModalWork::Run(QWidget& window, const std::function<bool()>& work) {
  ModalWork blocker(window);
  qApp->installEventFilter(&blocker);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool result = RunOnHelperThread(work);
  QApplication::restoreOverrideCursor();
  qApp->removeEventFilter(&blocker);
  return result;
}

WorkOutcome ModalWork::RunCancellable(QWidget& window, const QString& caption, const QString& text,
                                      const std::function<bool(WorkProgressWindow&)>& work) {
  ModalWork blocker(window);
  QWidget* blocked = window.window();
  WorkProgressWindow progress(caption, text, blocked);
  qApp->installEventFilter(&blocker);
  // Only the blocked window waits: the cancel button keeps its own cursor.
  blocked->setCursor(Qt::WaitCursor);
  progress.show();
  const bool result = RunOnHelperThread([&] { return work(progress); });
  progress.hide();
  blocked->unsetCursor();
  qApp->removeEventFilter(&blocker);
  if (result) return WorkOutcome::Succeeded;
  return progress.cancelled() ? WorkOutcome::Cancelled : WorkOutcome::Failed;
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
