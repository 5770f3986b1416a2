#pragma once

#include <string_view>

#include "console/WatchMetrics.h"
#include "platform/ProgramLauncher.h"

namespace tarnwick {

// The system's program launcher, telling the metrics of each alert program
// that started.
class MeteredLauncher final : public ProgramLauncher {
 public:
  explicit MeteredLauncher(WatchMetrics& metrics, ProgramLauncher& launcher = System())
      : metrics_(metrics), launcher_(launcher) {}

  Launch Start(std::string_view commandLine) override;

 private:
  WatchMetrics& metrics_;
  ProgramLauncher& launcher_;
};

}  // namespace tarnwick
