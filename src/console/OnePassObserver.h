#pragma once

#include <atomic>
#include <functional>
#include <utility>

#include "engine/WatchObserver.h"
#include "engine/WatchState.h"

namespace tarnwick {

// Ends a watch after its first complete pass: the stop is requested as the
// pass ends, so the cycle closes in order (closing log line and event log
// entry) instead of waiting for the next pass.
class OnePassObserver final : public WatchObserver {
 public:
  // `onStarted` is told as the pass starts, on the cycle's thread.
  explicit OnePassObserver(std::function<void()> onStarted = {})
      : onStarted_(std::move(onStarted)) {}

  void PassStarted() override {
    if (onStarted_) onStarted_();
  }
  void PassEnded() override {
    passEnded_ = true;
    RequestStop();
  }

  // Whether a whole pass was made (not cut short by a signal or a clock error).
  bool passEnded() const { return passEnded_; }

 private:
  std::function<void()> onStarted_;
  std::atomic<bool> passEnded_{false};
};

}  // namespace tarnwick
