#pragma once

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/ComputerEntry.h"
#include "engine/WatchObserver.h"

namespace tarnwick {

enum class AlertChannel { Mail, NetSend, EventLog, Program };
inline constexpr std::size_t kAlertChannelCount = 4;
enum class AlertKind { Down, Restore };

// The watch's figures for Prometheus. The check cycle's thread updates them
// through cheap calls (atomics, or one row's own short lock; no I/O), and a
// scrape reads them on the endpoint's thread, so a scrape never holds up a
// pass and a pass never holds up a scrape for more than one row's copy.
class WatchMetrics final : public prometheus::Collectable, public WatchObserver {
 public:
  // `rows`: the list as the watch starts (its row numbers are the cycle's).
  WatchMetrics(const std::vector<ComputerEntry>& rows, std::time_t watchStart);

  // Every field the cycle writes (status, times, a refreshed name), with the
  // row's state as the row store keeps it (read for Status only).
  void FieldWritten(int row, Field field, std::string_view text, RowState state = RowState::Other);
  // An answered probe of `address` (a ping when `port` is kPingPort).
  void ProbeAnswered(std::string_view address, int port, std::chrono::duration<double> roundTrip);
  static constexpr int kPingPort = -1;

  // One alert: its channels report success while it runs; the channels the
  // row selected that did not succeed count as failures when it ends.
  void AlertBegun();
  void ChannelSucceeded(AlertChannel channel);
  void AlertEnded(AlertKind kind, const std::array<bool, kAlertChannelCount>& selected);

  void PassStarted() override;
  void PassEnded() override;

  // Called on the metrics module's threads. Nothing is thrown back into
  // them (the module has a C++ runtime of its own): a scrape that finds no
  // memory gets no figures.
  std::vector<prometheus::MetricFamily> Collect() const override;

 private:
  std::vector<prometheus::MetricFamily> CollectFamilies() const;
  // Unknown until the first settled status of the watch.
  enum class State { Unknown, Up, Down };

  struct RowFigures {
    mutable std::mutex mutex;
    std::string name;
    std::string address;
    std::string service;
    std::string port;
    State state = State::Unknown;
    double lastCheck = 0;  // 0: not yet
    double lastChange = 0;
    double roundTrip = -1;  // negative: no answer yet
  };

  // A copy of one row taken under its lock.
  struct RowCopy {
    std::vector<prometheus::ClientMetric::Label> labels;
    State state;
    double lastCheck;
    double lastChange;
    double roundTrip;
  };

  static std::string ProbeKey(std::string_view address, int port);
  RowFigures* Figures(int row);
  RowCopy CopyRow(const RowFigures& figures) const;
  void AddWatchFamilies(std::vector<prometheus::MetricFamily>& families) const;

  std::vector<RowFigures> rows_;
  // Read-only after construction: which rows a probe's target serves.
  std::unordered_map<std::string, std::vector<int>> rowsByProbe_;
  const double watchStart_;

  std::chrono::steady_clock::time_point passStart_;
  std::atomic<std::uint64_t> passes_{0};
  std::atomic<double> lastPassSeconds_{-1};
  std::array<std::atomic<std::uint64_t>, 2> alerts_{};
  std::array<std::atomic<std::uint64_t>, kAlertChannelCount> channelFailures_{};
  std::atomic<unsigned> succeededDuringAlert_{0};
};

}  // namespace tarnwick
