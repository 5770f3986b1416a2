#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <optional>

#include "platform/UniqueFd.h"

namespace tarnwick {

// How an interruptible wait ended.
enum class WaitResult { Ready, Stopped, TimedOut, Failed };

// A level-triggered wake-up that any number of threads can poll beside their
// own sockets: once signalled, its descriptor stays readable until Reset.
// Without a descriptor (none could be made) it is never readable, and the
// waits that watch it simply run their course.
//
// Every wait that a stop must end goes through Wait, so that a stop reaches
// each of them the same way, and each ends at a deadline on the monotonic
// clock whatever the wall clock does.
class StopEvent {
 public:
  using SteadyClock = std::chrono::steady_clock;
  using Deadline = SteadyClock::time_point;

  StopEvent();

  void Signal() const;
  void Reset() const;
  bool IsSignalled() const;
  // For poll(): readable while signalled; -1 when there is none.
  int fd() const { return fd_.get(); }
  // When the first Signal since the last Reset came; none before.
  std::optional<Deadline> SignalledAt() const;

  // Until `fd` shows one of `events` (what it showed goes to `revents`), the
  // event behind `stopFd` is signalled, or `deadline` passes. A negative
  // `fd` waits for the stop or the deadline only; a negative `stopFd` for
  // the descriptor or the deadline. Signals that interrupt the wait resume it.
  static WaitResult Wait(int fd, short events, int stopFd, Deadline deadline,
                         short* revents = nullptr);
  WaitResult Wait(int fd, short events, Deadline deadline, short* revents = nullptr) const {
    return Wait(fd, events, fd_.get(), deadline, revents);
  }
  // For work that a stop does not cut off at once (an alert already
  // decided): the stop only brings the deadline forward to `grace` after
  // it. Stopped when the grace, not the own deadline, ended the wait.
  WaitResult WaitWithGrace(int fd, short events, Deadline deadline, std::chrono::milliseconds grace,
                           short* revents = nullptr) const;
  // Sleeps until `deadline`; false when the stop came first.
  bool SleepUntil(Deadline deadline) const;

 private:
  UniqueFd fd_;
  // Nanoseconds of the monotonic clock; 0 while not signalled.
  mutable std::atomic<long long> signalledAt_{0};
};

}  // namespace tarnwick
