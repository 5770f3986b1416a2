#include "app/GuiBeeper.h"

#include <QApplication>

namespace tarnwick {

void GuiBeeper::Beep() {
  // Never waits: the check cycle goes on at once.
  QMetaObject::invokeMethod(
      this, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

}  // namespace tarnwick
