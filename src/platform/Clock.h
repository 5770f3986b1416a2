#pragma once

#include <ctime>

namespace tarnwick {

// The current time, as seconds since the epoch; local time is derived from it
// with the process's time zone. Tests drive it by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

}  // namespace tarnwick
