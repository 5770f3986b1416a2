#include "console/ConsolePrompt.h"

#include <string>

#include "platform/CodePage.h"

namespace tarnwick {

PromptAnswer ConsolePrompt::Show(std::string_view text, std::string_view caption,
                                 PromptIcon /*icon*/, PromptButtons buttons) {
  const std::string line = "[" + Utf8FromCp932(caption) + "] " + Utf8FromCp932(text) + "\n";
  {
    std::lock_guard lock(mutex_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
  }
  const bool yesNo = buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel;
  return yesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

}  // namespace tarnwick
