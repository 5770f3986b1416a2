#pragma once

#include <atomic>
#include <ctime>

#include "platform/Clock.h"
#include "platform/Sleeper.h"

namespace tarnwick::test {

// A clock that moves only when told to, and a sleeper that moves it instead
// of waiting: time-driven code runs through hours in microseconds.
class FakeClock final : public Clock, public Sleeper {
 public:
  explicit FakeClock(std::time_t start = 0) : now_(start) {}

  std::time_t Now() const override { return now_.load(); }
  void Set(std::time_t when) { now_ = when; }
  void Advance(std::time_t seconds) { now_ += seconds; }

  // Whole seconds pass; a remainder below one second is carried over.
  void SleepMs(int milliseconds) override {
    pendingMs_ += milliseconds;
    now_ += pendingMs_ / 1000;
    pendingMs_ %= 1000;
    ++sleeps_;
  }
  int sleeps() const { return sleeps_; }

 private:
  std::atomic<std::time_t> now_;
  long pendingMs_ = 0;
  std::atomic<int> sleeps_{0};
};

}  // namespace tarnwick::test
