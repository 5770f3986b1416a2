#pragma once

#include <string_view>

namespace tarnwick {

enum class PromptIcon { None, Information, Exclamation, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
// The values of the Windows dialog results, so logs and tests read the same.
enum class PromptAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// A message box that the core needs to show. The GUI shows a real box on its
// own thread and blocks the caller until the user answers; the console front
// end prints to standard error; tests record. Texts are CP932.
class UserPrompt {
 public:
  virtual ~UserPrompt() = default;
  virtual PromptAnswer Show(std::string_view text, std::string_view caption, PromptIcon icon,
                            PromptButtons buttons = PromptButtons::Ok) = 0;
};

}  // namespace tarnwick
