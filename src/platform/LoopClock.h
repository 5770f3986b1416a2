#pragma once

#include <chrono>
#include <cstdint>
#include <limits>

namespace tarnwick {

// Time for deadlines, in integer nanoseconds on a clock that never goes
// back. The event loops ask it both for the time and for how long they may
// block, so a test clock can let time pass at once instead of waiting.
class LoopClock {
 public:
  virtual ~LoopClock() = default;
  virtual std::int64_t NowNs() const = 0;
  // How many milliseconds a poll may block to wake at `deadlineNs`; never
  // negative. A test clock jumps to the deadline and answers 0.
  virtual int WaitMs(std::int64_t deadlineNs) = 0;
};

class SteadyLoopClock final : public LoopClock {
 public:
  std::int64_t NowNs() const override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  int WaitMs(std::int64_t deadlineNs) override {
    const std::int64_t left = deadlineNs - NowNs();
    if (left <= 0) return 0;
    // Rounded up: waking a little early would only spin once more.
    const std::int64_t ms = (left + 999'999) / 1'000'000;
    return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(ms);
  }
};

}  // namespace tarnwick
