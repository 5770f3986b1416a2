#pragma once

#include <cstdio>
#include <string>

namespace tarnwick {

// tarnwick-watch --once: one pass over every row of a list file with the
// registry's retries and time-outs, each row's state printed in list order;
// for scripts, cron and other monitoring systems' check commands. No alert
// goes out (every run starts from 不明, so each would repeat the last one):
// the caller acts on the exit code.
class OnceCheck {
 public:
  static constexpr int kAllUp = 0;
  static constexpr int kSomeDown = 1;
  // The list could not be read, pings could not be sent, or the pass did
  // not complete (a signal, a clock error).
  static constexpr int kNotChecked = 2;

  explicit OnceCheck(std::FILE* out = stdout) : out_(out) {}

  // Checks on the calling thread and returns one of the codes above. Call
  // before any other thread starts: SIGINT and SIGTERM stay blocked in the
  // threads that the check starts, so that the calling thread takes them.
  int Run(const std::string& listFile);

 private:
  std::FILE* out_;
};

}  // namespace tarnwick
