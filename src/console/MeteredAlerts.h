#pragma once

#include <memory>
#include <string_view>

#include "console/WatchMetrics.h"
#include "engine/AlertSequences.h"

namespace tarnwick {

// Counts the alerts of another sequence, and the channels each row selected
// that did not deliver (the metered channels and launcher report deliveries).
class MeteredAlerts final : public AlertSequences {
 public:
  MeteredAlerts(std::unique_ptr<AlertSequences> alerts, WatchMetrics& metrics)
      : alerts_(std::move(alerts)), metrics_(metrics) {}

  void DownAlert(const ComputerEntry& row, std::string_view checkTime) override;
  void RestoreAlert(const ComputerEntry& row, std::string_view checkTime) override;

 private:
  static std::array<bool, kAlertChannelCount> SelectedChannels(const ComputerEntry& row,
                                                               Field program);

  std::unique_ptr<AlertSequences> alerts_;
  WatchMetrics& metrics_;
};

}  // namespace tarnwick
