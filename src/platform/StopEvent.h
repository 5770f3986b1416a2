#pragma once

#include "platform/UniqueFd.h"

namespace tarnwick {

// A level-triggered wake-up that any number of threads can poll beside their
// own sockets: once signalled, its descriptor stays readable until Reset.
// Without a descriptor (none could be made) it is never readable, and the
// waits that watch it simply run their course.
class StopEvent {
 public:
  StopEvent();

  void Signal() const;
  void Reset() const;
  bool IsSignalled() const;
  // For poll(): readable while signalled; -1 when there is none.
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

}  // namespace tarnwick
