#include "console/WatchMetrics.h"

#include <cstdio>
#include <new>
#include <utility>

#include "platform/CodePage.h"
#include "platform/LocalTime.h"

namespace tarnwick {
namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

constexpr std::array<const char*, kAlertChannelCount> kChannelNames = {"mail", "net_send",
                                                                       "event_log", "program"};
constexpr std::array<const char*, 2> kAlertKindNames = {"down", "restore"};

// The epoch seconds of a row's time text ("2026/12/08 07:03:45"); 0 when
// the text is empty or no time.
double TimeOfText(std::string_view text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%d/%d/%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                  &second) != 6) {
    return 0;
  }
  return static_cast<double>(MakeLocalTime(year, month, day, hour, minute, second));
}

std::size_t Index(auto value) {
  return static_cast<std::size_t>(value);
}

MetricFamily Family(const char* name, const char* help, MetricType type) {
  MetricFamily family;
  family.name = name;
  family.help = help;
  family.type = type;
  return family;
}

ClientMetric Sample(std::vector<ClientMetric::Label> labels, double value, MetricType type) {
  ClientMetric metric;
  metric.label = std::move(labels);
  if (type == MetricType::Counter) {
    metric.counter.value = value;
  } else {
    metric.gauge.value = value;
  }
  return metric;
}

}  // namespace

WatchMetrics::WatchMetrics(const std::vector<ComputerEntry>& rows, std::time_t watchStart)
    : rows_(rows.size()), watchStart_(static_cast<double>(watchStart)) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ComputerEntry& entry = rows[i];
    RowFigures& figures = rows_[i];
    figures.name = Utf8FromCp932(entry[Field::ComputerName]);
    figures.address = Utf8FromCp932(entry[Field::IpAddress]);
    figures.service = Utf8FromCp932(entry[Field::CheckService]);
    figures.port = Utf8FromCp932(entry[Field::Port]);
    // Keyed as the cycle will probe it: the address as read, the port as a number.
    const std::string_view address = CutToReadLimit(Field::IpAddress, entry[Field::IpAddress]);
    const int port = entry.Method() == CheckMethod::Ping ? kPingPort : entry.PortNumber();
    rowsByProbe_[ProbeKey(address, port)].push_back(static_cast<int>(i));
  }
}

std::string WatchMetrics::ProbeKey(std::string_view address, int port) {
  std::string key(address);
  key += '\n';
  key += std::to_string(port);
  return key;
}

WatchMetrics::RowFigures* WatchMetrics::Figures(int row) {
  if (row < 0 || Index(row) >= rows_.size()) return nullptr;
  return &rows_[Index(row)];
}

void WatchMetrics::FieldWritten(int row, Field field, std::string_view text, RowState rowState) {
  RowFigures* figures = Figures(row);
  if (figures == nullptr) return;
  State state = State::Unknown;
  switch (field) {
    case Field::Status:
      if (rowState == RowState::Up) state = State::Up;
      if (rowState == RowState::Down) state = State::Down;
      // The attempts' texts leave the settled state as it was.
      if (state == State::Unknown && rowState != RowState::Unknown) return;
      break;
    case Field::LastCheckTime:
    case Field::LastUpTime:
    case Field::LastDownTime:
    case Field::ComputerName:
      break;
    default:
      return;
  }
  // Outside the row's lock: the conversions are the costly part.
  const double time = field == Field::ComputerName ? 0 : TimeOfText(text);
  std::string name = field == Field::ComputerName ? Utf8FromCp932(text) : std::string();

  std::lock_guard lock(figures->mutex);
  switch (field) {
    case Field::Status:
      figures->state = state;
      break;
    case Field::LastCheckTime:
      figures->lastCheck = time;
      break;
    case Field::ComputerName:
      figures->name = std::move(name);
      break;
    default:
      // The cycle writes the up or down time exactly when the state changes.
      if (time > 0) figures->lastChange = time;
      break;
  }
}

void WatchMetrics::ProbeAnswered(std::string_view address, int port,
                                 std::chrono::duration<double> roundTrip) {
  const auto found = rowsByProbe_.find(ProbeKey(address, port));
  if (found == rowsByProbe_.end()) return;
  for (const int row : found->second) {
    RowFigures& figures = rows_[Index(row)];
    std::lock_guard lock(figures.mutex);
    figures.roundTrip = roundTrip.count();
  }
}

void WatchMetrics::AlertBegun() {
  succeededDuringAlert_ = 0;
}

void WatchMetrics::ChannelSucceeded(AlertChannel channel) {
  succeededDuringAlert_ |= 1U << Index(channel);
}

void WatchMetrics::AlertEnded(AlertKind kind,
                              const std::array<bool, kAlertChannelCount>& selected) {
  ++alerts_[Index(kind)];
  const unsigned succeeded = succeededDuringAlert_;
  for (std::size_t channel = 0; channel < kAlertChannelCount; ++channel) {
    if (selected[channel] && (succeeded & (1U << channel)) == 0) ++channelFailures_[channel];
  }
}

void WatchMetrics::PassStarted() {
  passStart_ = std::chrono::steady_clock::now();
}

void WatchMetrics::PassEnded() {
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - passStart_;
  lastPassSeconds_ = took.count();
  ++passes_;
}

WatchMetrics::RowCopy WatchMetrics::CopyRow(const RowFigures& figures) const {
  std::lock_guard lock(figures.mutex);
  return {{{"address", figures.address},
           {"name", figures.name},
           {"port", figures.port},
           {"service", figures.service}},
          figures.state,
          figures.lastCheck,
          figures.lastChange,
          figures.roundTrip};
}

std::vector<MetricFamily> WatchMetrics::Collect() const {
  try {
    return CollectFamilies();
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::vector<MetricFamily> WatchMetrics::CollectFamilies() const {
  std::vector<MetricFamily> families;
  MetricFamily up = Family("tarnwick_computer_up",
                           "1 when the computer answered its last check, 0 when it did not; "
                           "absent until its first check",
                           MetricType::Gauge);
  MetricFamily lastCheck = Family("tarnwick_computer_last_check_timestamp_seconds",
                                  "When the computer was last checked", MetricType::Gauge);
  MetricFamily lastChange =
      Family("tarnwick_computer_last_change_timestamp_seconds",
             "When the computer last went up or down in this watch", MetricType::Gauge);
  MetricFamily roundTrip = Family(
      "tarnwick_computer_round_trip_seconds",
      "Round-trip time of the last answered attempt (the ping or the connect)", MetricType::Gauge);

  for (const RowFigures& figures : rows_) {
    RowCopy row = CopyRow(figures);
    if (row.state != State::Unknown) {
      up.metric.push_back(Sample(row.labels, row.state == State::Up ? 1 : 0, MetricType::Gauge));
    }
    if (row.lastCheck > 0) {
      lastCheck.metric.push_back(Sample(row.labels, row.lastCheck, MetricType::Gauge));
    }
    if (row.lastChange > 0) {
      lastChange.metric.push_back(Sample(row.labels, row.lastChange, MetricType::Gauge));
    }
    if (row.roundTrip >= 0) {
      roundTrip.metric.push_back(Sample(std::move(row.labels), row.roundTrip, MetricType::Gauge));
    }
  }
  for (MetricFamily* family : {&up, &lastCheck, &lastChange, &roundTrip}) {
    families.push_back(std::move(*family));
  }
  AddWatchFamilies(families);
  return families;
}

void WatchMetrics::AddWatchFamilies(std::vector<MetricFamily>& families) const {
  MetricFamily started =
      Family("tarnwick_watch_start_time_seconds",
             "When the watch started, in seconds since the epoch", MetricType::Gauge);
  started.metric.push_back(Sample({}, watchStart_, MetricType::Gauge));
  families.push_back(std::move(started));

  MetricFamily passes =
      Family("tarnwick_passes_total", "Passes over the whole list completed", MetricType::Counter);
  passes.metric.push_back(Sample({}, static_cast<double>(passes_.load()), MetricType::Counter));
  families.push_back(std::move(passes));

  const double lastPass = lastPassSeconds_;
  if (lastPass >= 0) {
    MetricFamily duration = Family("tarnwick_pass_duration_seconds",
                                   "How long the last complete pass took", MetricType::Gauge);
    duration.metric.push_back(Sample({}, lastPass, MetricType::Gauge));
    families.push_back(std::move(duration));
  }

  MetricFamily alerts =
      Family("tarnwick_alerts_total", "Down and restore alerts raised", MetricType::Counter);
  for (std::size_t kind = 0; kind < alerts_.size(); ++kind) {
    alerts.metric.push_back(Sample({{"kind", kAlertKindNames[kind]}},
                                   static_cast<double>(alerts_[kind].load()), MetricType::Counter));
  }
  families.push_back(std::move(alerts));

  MetricFamily failures =
      Family("tarnwick_alert_channel_failures_total",
             "Alert channels that a row selected and that did not deliver", MetricType::Counter);
  for (std::size_t channel = 0; channel < kAlertChannelCount; ++channel) {
    failures.metric.push_back(Sample({{"channel", kChannelNames[channel]}},
                                     static_cast<double>(channelFailures_[channel].load()),
                                     MetricType::Counter));
  }
  families.push_back(std::move(failures));
}

}  // namespace tarnwick
