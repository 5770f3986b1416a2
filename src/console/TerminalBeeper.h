#pragma once

#include <cstdio>

#include "platform/Beeper.h"

namespace tarnwick {

// The terminal's bell: one BEL character on standard error.
class TerminalBeeper final : public Beeper {
 public:
  explicit TerminalBeeper(std::FILE* out = stderr) : out_(out) {}

  void Beep() override {
    std::fputc('\a', out_);
    std::fflush(out_);
  }

 private:
  std::FILE* out_;
};

}  // namespace tarnwick
