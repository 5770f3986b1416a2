#include "console/StopSignals.h"

#include <pthread.h>

#include <ctime>

namespace tarnwick {

StopSignals::StopSignals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
}

int StopSignals::Wait(int milliseconds) {
  timespec timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  const int signal = sigtimedwait(&set_, nullptr, &timeout);
  return signal > 0 ? signal : 0;
}

}  // namespace tarnwick
