#pragma once

#include "platform/StopEvent.h"

namespace tarnwick {

// Blocks the calling thread. Tests replace it with one that advances a fake
// clock instead of waiting.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void SleepMs(int milliseconds) = 0;
  // Sleeps unless `stop` is signalled first, and ends as soon as it is;
  // false when the stop ended it. A test's sleeper that only stands in for
  // SleepMs still sees a stop raised before or during its sleep.
  virtual bool SleepUnlessStopped(int milliseconds, const StopEvent& stop);
};

class ThreadSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override;
  bool SleepUnlessStopped(int milliseconds, const StopEvent& stop) override;
};

}  // namespace tarnwick
