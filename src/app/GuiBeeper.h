#pragma once

#include <QObject>

#include "platform/Beeper.h"

namespace tarnwick {

// The default beep, rung on the GUI thread whichever thread asks for it.
class GuiBeeper : public QObject, public Beeper {
  Q_OBJECT

 public:
  using QObject::QObject;
  void Beep() override;
};

}  // namespace tarnwick
