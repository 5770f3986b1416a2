#pragma once

#include <signal.h>

namespace tarnwick {

// SIGINT and SIGTERM as the stop command, taken synchronously (the owner
// decides what a repeated signal means): the
// constructor blocks them in the calling thread, so it must run before any
// other thread starts (threads inherit the mask); the owner then asks for
// them with Wait. No code runs in signal context.
class StopSignals {
 public:
  StopSignals();

  // The signal that arrived within `milliseconds`, or 0.
  int Wait(int milliseconds);

 private:
  sigset_t set_;
};

}  // namespace tarnwick
