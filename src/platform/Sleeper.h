#pragma once

namespace tarnwick {

// Blocks the calling thread. Tests replace it with one that advances a fake
// clock instead of waiting.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void SleepMs(int milliseconds) = 0;
};

class ThreadSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override;
};

}  // namespace tarnwick
