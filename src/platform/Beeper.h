#pragma once

namespace tarnwick {

// The system's default beep.
class Beeper {
 public:
  virtual ~Beeper() = default;
  virtual void Beep() = 0;
};

}  // namespace tarnwick
