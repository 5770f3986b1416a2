#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

#include "engine/ComputerEntry.h"
#include "engine/Notifier.h"

namespace tarnwick {

// Where the check cycle gets a row's fresh name and its attempts from: probed
// on the spot for a one-at-a-time pass, or collected from the probing
// threads of a parallel pass. The cycle runs the attempts, retries and
// commits the same way for both. `index` is the row's place in the pass.
class RowAttempts {
 public:
  virtual ~RowAttempts() = default;

  // The reverse look-up's name (ResolveNameEverytime).
  virtual std::string FreshName(std::size_t index, const ComputerEntry& entry) = 0;
  // When attempt `attempt` (from 1) starts; nothing when the row's attempts
  // ended before it (a stop).
  virtual std::optional<std::time_t> AttemptStart(std::size_t index, const ComputerEntry& entry,
                                                  long long attempt) = 0;
  // What that attempt gave.
  virtual ProbeResult AttemptResult(std::size_t index, const ComputerEntry& entry,
                                    long long attempt) = 0;
  // Whether the probing writes each attempt's status into the row itself as
  // the attempt starts, so that the committer must not write an older one.
  virtual bool ShowsAttemptsItself() const { return false; }
};

}  // namespace tarnwick
