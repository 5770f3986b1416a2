#pragma once

#include "engine/Notifier.h"
#include "engine/RowAttempts.h"
#include "platform/Clock.h"

namespace tarnwick {

// A row's attempts probed on the calling thread, one at a time.
class DirectAttempts final : public RowAttempts {
 public:
  DirectAttempts(Notifier& notifier, const Clock& clock) : notifier_(notifier), clock_(clock) {}

  std::string FreshName(std::size_t index, const ComputerEntry& entry) override;
  std::optional<std::time_t> AttemptStart(std::size_t index, const ComputerEntry& entry,
                                          long long attempt) override;
  ProbeResult AttemptResult(std::size_t index, const ComputerEntry& entry,
                            long long attempt) override;

 private:
  Notifier& notifier_;
  const Clock& clock_;
};

}  // namespace tarnwick
