#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/AppSettings.h"
#include "engine/WatchState.h"
#include "platform/Beeper.h"
#include "platform/Sleeper.h"
#include "platform/UserPrompt.h"

// Small pieces that several benchmarks share.
namespace tarnwick::bench {

// Answers every message box at once: a benchmark has nobody to ask.
class SilentPrompt final : public UserPrompt {
 public:
  PromptAnswer Show(std::string_view, std::string_view, PromptIcon, PromptButtons) override {
    return PromptAnswer::Ok;
  }
};

// A folder of its own under the temporary folder, removed afterwards.
class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~BenchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The settings of a timed pass over loopback rows: five retries, a second's
// time-out, the running log on.
inline AppSettings LoopbackPassSettings() {
  AppSettings settings;
  settings.CheckInterval = 1;
  settings.MaxRetry = 5;
  settings.PingTimeOut = 1000;
  settings.RunningLog = 1;
  return settings;
}

// A benchmark rings no bell.
class QuietBeeper final : public Beeper {
 public:
  void Beep() override {}
};

// Ends the watch at the first second of the wait, without waiting: one pass.
class StopAtWaitSleeper final : public Sleeper {
 public:
  void SleepMs(int) override { RequestStop(); }
};

// The loopback address of row `index`: 127.0.0.1 upwards, 256 to a /24.
inline std::string LoopbackAddress(int index) {
  const int n = index + 1;
  return "127." + std::to_string(n / 65536) + "." + std::to_string(n / 256 % 256) + "." +
         std::to_string(n % 256);
}

}  // namespace tarnwick::bench
