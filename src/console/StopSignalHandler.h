#pragma once

#include <signal.h>

namespace tarnwick {

// SIGINT and SIGTERM as the stop command of a watch that runs on the main
// thread, which then has no thread left to read them from a signalfd: the
// handler raises the stop itself, as a self-pipe's writer would, with
// nothing but lock-free atomics and a write to the stop event's descriptor.
// The signals stay blocked until Unblock: one that comes before the watch
// runs (when a stop would be refused) waits until it does.
class StopSignalHandler {
 public:
  // Before any other thread starts: threads inherit the blocked mask.
  StopSignalHandler();
  // Puts back the dispositions and the mask found.
  ~StopSignalHandler();
  StopSignalHandler(const StopSignalHandler&) = delete;
  StopSignalHandler& operator=(const StopSignalHandler&) = delete;

  // On the watch's thread, once the watch runs.
  void Unblock() const;

 private:
  sigset_t set_{};
  sigset_t previousMask_{};
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
};

}  // namespace tarnwick
