#include "engine/DirectAttempts.h"

namespace tarnwick {

std::string DirectAttempts::FreshName(std::size_t /*index*/, const ComputerEntry& entry) {
  return notifier_.RefreshComputerName(entry[Field::IpAddress]);
}

std::optional<std::time_t> DirectAttempts::AttemptStart(std::size_t /*index*/,
                                                        const ComputerEntry& /*entry*/,
                                                        long long /*attempt*/) {
  return clock_.Now();
}

ProbeResult DirectAttempts::AttemptResult(std::size_t /*index*/, const ComputerEntry& entry,
                                          long long /*attempt*/) {
  const std::string& address = entry[Field::IpAddress];
  if (entry.Method() == CheckMethod::Ping) return notifier_.PingAttempt(address);
  return notifier_.PortAttempt(address, entry.PortNumber());
}

}  // namespace tarnwick
