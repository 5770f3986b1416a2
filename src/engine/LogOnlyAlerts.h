#pragma once

#include "engine/AlertSequences.h"
#include "engine/RunningLog.h"

namespace tarnwick {

// Alerts that notify nobody: each sequence leaves only its opening line in
// the running log. For hosts and tests that want the cycle without channels.
class LogOnlyAlerts final : public AlertSequences {
 public:
  explicit LogOnlyAlerts(RunningLog& log) : log_(log) {}

  // The down sequence opens with its channel steps, so nothing is logged.
  void DownAlert(const ComputerEntry& row, std::string_view checkTime) override;
  void RestoreAlert(const ComputerEntry& row, std::string_view checkTime) override;

 private:
  RunningLog& log_;
};

}  // namespace tarnwick
