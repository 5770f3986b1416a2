#pragma once

#include <cstdio>
#include <optional>

namespace tarnwick {

// The desktop program's command line, read before QApplication exists (and
// so before its platform plugin needs a display): --help and --version are
// answered at once, Qt's own options pass through to QApplication, anything
// else is refused as a usage error.
class AppOptions {
 public:
  // The code to end with at once (after the text is printed), or none to
  // start the program.
  static std::optional<int> AnswerEarly(int argc, const char* const* argv, std::FILE* out = stdout,
                                        std::FILE* err = stderr);
};

}  // namespace tarnwick
