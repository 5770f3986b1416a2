#include "platform/Sleeper.h"

#include <chrono>
#include <thread>

namespace tarnwick {

void ThreadSleeper::SleepMs(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tarnwick
