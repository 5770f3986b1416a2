#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick::test {

// The console watcher as a user runs it: a real process, copied into a
// folder of its own so that its running logs land there, with standard
// output and error kept in files of that folder. A process still running
// when this object goes is killed.
class WatchProcess {
 public:
  // `environment`: "NAME=value" entries that replace the inherited ones of
  // the same name (TARNWICK_REGISTRY, TARNWICK_SYSLOG_SOCKET, ...).
  WatchProcess(const TempDir& dir, const std::string& executable,
               std::vector<std::string> environment);
  ~WatchProcess();
  WatchProcess(const WatchProcess&) = delete;
  WatchProcess& operator=(const WatchProcess&) = delete;

  // Copies `executable` into `dir` as tarnwick-watch, with the metrics
  // module beside it when it has one (where the watcher looks first).
  static void CopyInto(const TempDir& dir, const std::string& executable);

  // False (with the reason in stderr of the test) when it could not start.
  // A `launcher` (e.g. {"timeout", "-s", "TERM", "2"}, looked up in PATH)
  // runs the watcher as its child; Exited then gives the launcher's code.
  bool Start(const std::vector<std::string>& arguments,
             const std::vector<std::string>& launcher = {});

  // Waits until standard output holds every text, or `timeout` has passed.
  bool WaitForOutput(const std::vector<std::string>& texts, std::chrono::milliseconds timeout);

  void Signal(int signal) const;

  // The exit code (128 + signal when killed) once it has exited within `timeout`.
  std::optional<int> Exited(std::chrono::milliseconds timeout);

  std::string Stdout() const;
  std::string Stderr() const;

  // The day's running log beside the copied executable, converted to UTF-8;
  // the day is taken at `started` and now, for a run that crosses midnight.
  std::string RunningLogText(std::time_t started) const;

  // A REGEDIT4 registry file holding the watcher's settings key with these
  // values (texts in ASCII).
  static std::string RegistryText(
      const std::vector<std::pair<std::string, std::uint32_t>>& numbers,
      const std::vector<std::pair<std::string, std::string>>& texts = {});

 private:
  const TempDir& dir_;
  std::vector<std::string> environment_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

}  // namespace tarnwick::test
