#include "platform/Sleeper.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tarnwick {

bool Sleeper::SleepUnlessStopped(int milliseconds, const StopEvent& stop) {
  if (stop.IsSignalled()) return false;
  SleepMs(milliseconds);
  return !stop.IsSignalled();
}

void ThreadSleeper::SleepMs(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool ThreadSleeper::SleepUnlessStopped(int milliseconds, const StopEvent& stop) {
  return stop.SleepUntil(StopEvent::SteadyClock::now() +
                         std::chrono::milliseconds(std::max(milliseconds, 0)));
}

}  // namespace tarnwick
