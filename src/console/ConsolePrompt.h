#pragma once

#include <cstdio>
#include <mutex>

#include "platform/UserPrompt.h"

namespace tarnwick {

// Message boxes of a front end without a display: "[caption] text" in UTF-8
// on standard error. Nobody can answer, so the first button counts as
// pressed (OK, or Yes).
class ConsolePrompt final : public UserPrompt {
 public:
  explicit ConsolePrompt(std::FILE* out = stderr) : out_(out) {}

  PromptAnswer Show(std::string_view text, std::string_view caption, PromptIcon icon,
                    PromptButtons buttons = PromptButtons::Ok) override;

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace tarnwick
