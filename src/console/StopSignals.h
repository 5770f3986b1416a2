#pragma once

#include <signal.h>

#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

namespace tarnwick {

// SIGINT and SIGTERM as the stop command, taken synchronously (the owner
// decides what a repeated signal means): the constructor blocks them in the
// calling thread, so it must run before any other thread starts (threads
// inherit the mask); the owner then polls fd() beside its other waits and
// takes them with Take. No code runs in signal context.
class StopSignals {
 public:
  StopSignals();

  // Readable while a signal is pending; -1 when none could be made (Take
  // then waits on the signal mask itself).
  int fd() const { return fd_.get(); }
  // The pending signal, or 0 when none is.
  int Take();
  // Waits until a stop signal comes (its number) or the watch signals its
  // end on `ended` (0).
  int WaitBeside(const StopEvent& ended);

 private:
  sigset_t set_;
  UniqueFd fd_;
};

}  // namespace tarnwick
