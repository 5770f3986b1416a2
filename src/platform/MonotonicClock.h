#pragma once

#include "platform/StopEvent.h"

namespace tarnwick {

// The monotonic time that deadlines are counted in. Tests put in one that
// runs ahead, so that bounds of minutes end without waiting for them.
class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual StopEvent::Deadline Now() const = 0;

  // The system's steady clock.
  static const MonotonicClock& System();
};

}  // namespace tarnwick
