#pragma once

#include <string_view>

#include "engine/ComputerEntry.h"

namespace tarnwick {

// The down and restore alerts that the check cycle raises for a row whose
// state changed. `row` holds the fields read for the check; `checkTime` is
// the time of its last attempt.
class AlertSequences {
 public:
  virtual ~AlertSequences() = default;
  virtual void DownAlert(const ComputerEntry& row, std::string_view checkTime) = 0;
  virtual void RestoreAlert(const ComputerEntry& row, std::string_view checkTime) = 0;
};

}  // namespace tarnwick
