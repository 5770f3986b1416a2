#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Starts a program from a command line with Windows-style quoting and never
// waits for it. Its result codes are the ones the alert log and the event
// log name: 2 file not found, 3 path not found, 11 not an executable, 0 out
// of resources, above 31 started.
class ProgramLauncher {
 public:
  // Any code above 31 means the program was started.
  static constexpr int kStarted = 33;
  static constexpr int kOutOfResources = 0;
  static constexpr int kFileNotFound = 2;
  static constexpr int kPathNotFound = 3;
  static constexpr int kBadExecutable = 11;
  // ERROR_GEN_FAILURE: whatever has no closer match.
  static constexpr int kGeneralFailure = 31;

  struct Launch {
    int code = kGeneralFailure;
    pid_t pid = -1;  // -1 unless started
  };

  virtual ~ProgramLauncher() = default;

  // Splits `commandLine` as Windows does, starts the program without a shell
  // (searching PATH for a bare name) and returns at once. The child is reaped
  // in the background, so it never lingers as a zombie.
  virtual Launch Start(std::string_view commandLine);

  // The arguments of a command line by the Windows rules: the program name
  // ends at the first blank, or at the closing quote when it starts with one,
  // and takes backslashes literally; in the other arguments 2n backslashes
  // before a quote give n and the quote opens or closes a quoted part, 2n+1
  // give n and a literal quote, and "" inside a quoted part is a literal quote
  // that also ends the part.
  static std::vector<std::string> SplitCommandLine(std::string_view commandLine);

  // The process-wide launcher.
  static ProgramLauncher& System();
};

}  // namespace tarnwick
