#include "console/MeteredAlerts.h"

namespace tarnwick {

std::array<bool, kAlertChannelCount> MeteredAlerts::SelectedChannels(const ComputerEntry& row,
                                                                     Field program) {
  std::array<bool, kAlertChannelCount> selected{};
  selected[static_cast<std::size_t>(AlertChannel::Mail)] = !row[Field::ByMail].empty();
  selected[static_cast<std::size_t>(AlertChannel::NetSend)] = !row[Field::ByNetsend].empty();
  selected[static_cast<std::size_t>(AlertChannel::EventLog)] = !row[Field::ByEventlog].empty();
  selected[static_cast<std::size_t>(AlertChannel::Program)] = !row[program].empty();
  return selected;
}

void MeteredAlerts::DownAlert(const ComputerEntry& row, std::string_view checkTime) {
  metrics_.AlertBegun();
  alerts_->DownAlert(row, checkTime);
  metrics_.AlertEnded(AlertKind::Down, SelectedChannels(row, Field::DownProgram));
}

void MeteredAlerts::RestoreAlert(const ComputerEntry& row, std::string_view checkTime) {
  metrics_.AlertBegun();
  alerts_->RestoreAlert(row, checkTime);
  metrics_.AlertEnded(AlertKind::Restore, SelectedChannels(row, Field::RestoreProgram));
}

}  // namespace tarnwick
