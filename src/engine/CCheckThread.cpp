#include "engine/CCheckThread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/LogOnlyAlerts.h"
#include "engine/WatchState.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

constexpr long long kMinutesPerDay = 1440;
constexpr int kSecondsPerMinute = 60;
constexpr int kPollStepMs = 1000;
// More probes at once than this only add threads.
constexpr int kMostParallelChecks = 256;

// Before this date the clock cannot be right.
std::time_t EarliestValidTime() {
  return MakeLocalTime(2000, 3, 13);
}

// `pattern` with each "%d" replaced by the next number, in order.
std::string FormatNumbers(std::string_view pattern, std::initializer_list<int> numbers) {
  std::string text;
  auto next = numbers.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd' &&
        next != numbers.end()) {
      text += std::to_string(*next++);
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

void AppendLabelled(std::string& line, Msg label, const std::string& value) {
  line += Text(label);
  line += value;
  line += ':';
}

// The status text of attempt k. The dots stop growing where the status
// column could no longer show them, so an absurd MaxRetry cannot build an
// absurd text.
std::string CheckingText(long long attempt) {
  const int dots = static_cast<int>(
      std::min<long long>(attempt, static_cast<long long>(ReadLimit(Field::Status))));
  return std::string(CutToReadLimit(Field::Status, StatusCheckingText(dots)));
}

void ExitProcessNow(int code) {
  std::fflush(nullptr);
  // The cycle's thread ends the process while the owner's thread still runs:
  // no static destructors may run under its feet.
  std::_Exit(code);
}

}  // namespace

std::string RowLogLine(const ComputerEntry& entry) {
  std::string line;
  AppendLabelled(line, Msg::RowLogIpAddress, entry[Field::IpAddress]);
  AppendLabelled(line, Msg::RowLogComputerName, entry[Field::ComputerName]);
  AppendLabelled(line, Msg::RowLogCheckService, entry[Field::CheckService]);
  AppendLabelled(line, Msg::RowLogPort, entry[Field::Port]);
  AppendLabelled(line, Msg::RowLogByMail, entry[Field::ByMail]);
  AppendLabelled(line, Msg::RowLogByNetsend, entry[Field::ByNetsend]);
  AppendLabelled(line, Msg::RowLogByEventlog, entry[Field::ByEventlog]);
  AppendLabelled(line, Msg::RowLogDownProgram, entry[Field::DownProgram]);
  AppendLabelled(line, Msg::RowLogRestoreProgram, entry[Field::RestoreProgram]);
  return line;
}

bool InDailyWindow(int minuteOfDay, int hour, int minute, int lengthMinutes) {
  const long long now = minuteOfDay;
  const long long start = static_cast<long long>(hour) * 60 + minute;
  long long end = start + lengthMinutes;
  if (end > kMinutesPerDay) end -= kMinutesPerDay;
  if (start < end) return start < now && now < end;
  if (start > end) return now > start || now < end;
  return false;
}

CCheckThread::CCheckThread(CheckCycleServices services, const AlertsFactory& makeAlerts)
    : services_(std::move(services)),
      log_(services_.programDirectory, services_.settings, services_.clock),
      html_(services_.settings, services_.rows, services_.notifier, log_, services_.clock),
      alerts_(makeAlerts ? makeAlerts(log_) : std::make_unique<LogOnlyAlerts>(log_)),
      exitProcess_(ExitProcessNow) {
  log_.AddFailureReport([this](std::string_view text) {
    services_.notifier.WriteEventLog(EventType::Warning, text);
  });
}

CCheckThread::~CCheckThread() {
  if (!thread_.joinable()) return;
  RequestStop();
  thread_.join();
  // The cycle may have ended on its own just before the request: whatever
  // the order, no watch runs now.
  WatchEnded();
}

bool CCheckThread::Start() {
  if (thread_.joinable()) return false;
  ArmWatchStopEvent();
  // Running before the thread exists: a cycle that ends at once must not have
  // its Idle overwritten.
  MonitorState = MonitorStateValue::Running;
  try {
    thread_ = std::thread([this] { RunOnThread(); });
  } catch (const std::system_error&) {
    MonitorState = MonitorStateValue::Idle;
    return false;
  }
  return true;
}

void CCheckThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void CCheckThread::RunOnThread() {
  try {
    Run();
  } catch (...) {
    // Nothing may escape the thread, and the host must still see the end.
    WatchEnded();
  }
}

int CCheckThread::Run() {
  const AppSettings& settings = services_.settings;
  const int rowCount = services_.rows.RowCount();
  const std::time_t runStart = services_.clock.Now();
  // The object may serve several watches; none inherits another's state.
  log_.BeginRun();
  html_.BeginRun();

  services_.notifier.WriteEventLog(EventType::Information, Text(Msg::WatchStartedEvent));
  if (settings.EnableHtml == 1) html_.WritePlaceholderPage();

  for (;;) {
    if (settings.RunningLog == 1) log_.Rotate();
    if (services_.observer != nullptr) services_.observer->PassStarted();
    const int workers = std::min(settings.ParallelChecks, kMostParallelChecks);
    if (workers > 0) {
      if (CheckRowsInParallel(rowCount, workers, runStart) == Outcome::Ended) return 1;
    } else {
      for (int row = 0; row < rowCount; ++row) {
        if (CheckRow(row, runStart) == Outcome::Ended) return 1;
      }
    }
    if (services_.observer != nullptr) services_.observer->PassEnded();
    if (settings.EnableHtml == 1) html_.WriteReportPage();
    if (WaitForNextPass(rowCount) == Outcome::Ended) return 1;
  }
}

CCheckThread::Outcome CCheckThread::CheckRow(int row, std::time_t runStart) {
  if (services_.settings.EnableUnavailableSchedule == 1 && InUnavailableWindow()) {
    LogUnavailableWindow();
    // With no interval and every row paused nothing else would ever look at
    // the flag: look once per paused row.
    if (StopRequested == 1) {
      EndByStopBeforeAttempt();
      return Outcome::Ended;
    }
    return Outcome::Continue;
  }

  const ComputerEntry entry = ReadRowForCheck(row);
  log_.WriteLine(RowLogLine(entry));

  bool answered = false;
  std::string checkTime;
  const long long maxRetry = services_.settings.MaxRetry;
  for (long long attempt = 1;; ++attempt) {
    services_.rows.WriteField(row, Field::Status, CheckingText(attempt));
    const std::time_t now = services_.clock.Now();
    checkTime = FormatLocalTime(now);
    CheckTheClock(now, runStart);
    if (StopRequested == 1) {
      EndByStopBeforeAttempt();
      return Outcome::Ended;
    }
    const ProbeResult result = Probe(entry);
    // A probe cut short by the stop has no result: the stop ends the cycle
    // as if it had come just before this attempt.
    if (result == ProbeResult::Interrupted) {
      EndByStopBeforeAttempt();
      return Outcome::Ended;
    }
    answered = result == ProbeResult::Answered;
    if (answered || attempt > maxRetry) break;
  }

  return FinishRow(row, entry, answered, checkTime);
}

CCheckThread::Outcome CCheckThread::FinishRow(int row, const ComputerEntry& entry, bool answered,
                                              const std::string& checkTime) {
  if (ApplyTransition(row, entry, answered, checkTime) == Outcome::Ended) return Outcome::Ended;
  services_.rows.WriteField(row, Field::LastCheckTime, checkTime);
  services_.rows.RedrawRow(row);
  return Outcome::Continue;
}

// The probes of every row run at once, within `workers`; this thread commits
// each row in order exactly as CheckRow would, waiting only where a row's
// attempt has not come back yet. Which rows the daily pause covers is
// decided as the pass starts.
CCheckThread::Outcome CCheckThread::CheckRowsInParallel(int rowCount, int workers,
                                                        std::time_t runStart) {
  const AppSettings& settings = services_.settings;
  std::vector<bool> paused(static_cast<std::size_t>(rowCount), false);
  std::vector<ComputerEntry> entries;
  std::vector<ProbeTarget> targets;
  for (int row = 0; row < rowCount; ++row) {
    if (settings.EnableUnavailableSchedule == 1 && InUnavailableWindow()) {
      paused[static_cast<std::size_t>(row)] = true;
      continue;
    }
    const ComputerEntry& entry = entries.emplace_back(services_.rows.ReadRow(row));
    targets.push_back({entry[Field::IpAddress], entry.Method(), entry.PortNumber()});
  }

  ParallelProbes probes(services_.notifier, services_.clock, std::move(targets),
                        {.workers = workers,
                         .maxRetry = settings.MaxRetry,
                         .refreshNames = settings.ResolveNameEverytime == 1});
  probes.Start();
  std::size_t index = 0;
  for (int row = 0; row < rowCount; ++row) {
    if (paused[static_cast<std::size_t>(row)]) {
      LogUnavailableWindow();
      if (StopRequested == 1) return EndInParallel(probes);
      continue;
    }
    if (CommitRow(row, entries[index], index, probes, runStart) == Outcome::Ended) {
      return Outcome::Ended;
    }
    ++index;
  }
  return Outcome::Continue;
}

CCheckThread::Outcome CCheckThread::CommitRow(int row, ComputerEntry& entry, std::size_t index,
                                              ParallelProbes& probes, std::time_t runStart) {
  if (services_.settings.ResolveNameEverytime == 1) {
    entry[Field::ComputerName] =
        std::string(CutToReadLimit(Field::ComputerName, probes.AwaitName(index)));
    services_.rows.WriteField(row, Field::ComputerName, entry[Field::ComputerName]);
  }
  log_.WriteLine(RowLogLine(entry));

  bool answered = false;
  std::string checkTime;
  const long long maxRetry = services_.settings.MaxRetry;
  for (long long attempt = 1;; ++attempt) {
    const std::optional<std::time_t> started = probes.AwaitAttemptStart(index, attempt);
    services_.rows.WriteField(row, Field::Status, CheckingText(attempt));
    const std::time_t now = started.value_or(services_.clock.Now());
    checkTime = FormatLocalTime(now);
    CheckTheClock(now, runStart);
    if (StopRequested == 1 || !started) return EndInParallel(probes);
    const ProbeResult result = probes.AwaitAttemptResult(index, attempt);
    if (result == ProbeResult::Interrupted) return EndInParallel(probes);
    LogProbeResult(entry, result);
    answered = result == ProbeResult::Answered;
    if (answered || attempt > maxRetry) break;
  }
  return FinishRow(row, entry, answered, checkTime);
}

CCheckThread::Outcome CCheckThread::EndInParallel(ParallelProbes& probes) {
  // Before WatchEnded clears the stop event that wakes the probes in flight.
  probes.Cancel();
  EndByStopBeforeAttempt();
  return Outcome::Ended;
}

bool CCheckThread::InUnavailableWindow() const {
  const AppSettings& settings = services_.settings;
  const std::tm local = ToLocalTime(services_.clock.Now());
  return InDailyWindow(local.tm_hour * 60 + local.tm_min, settings.UnavailableHour,
                       settings.UnavailableMinutes, settings.UnavailableInterval);
}

void CCheckThread::LogUnavailableWindow() {
  const AppSettings& settings = services_.settings;
  log_.WriteLine(FormatNumbers(
      Text(Msg::UnavailableWindowLog),
      {settings.UnavailableHour, settings.UnavailableMinutes, settings.UnavailableInterval}));
}

ComputerEntry CCheckThread::ReadRowForCheck(int row) {
  ComputerEntry entry = services_.rows.ReadRow(row);
  if (services_.settings.ResolveNameEverytime == 1) {
    const std::string name = services_.notifier.RefreshComputerName(entry[Field::IpAddress]);
    entry[Field::ComputerName] = std::string(CutToReadLimit(Field::ComputerName, name));
    services_.rows.WriteField(row, Field::ComputerName, entry[Field::ComputerName]);
  }
  return entry;
}

ProbeResult CCheckThread::Probe(const ComputerEntry& entry) {
  const std::string& address = entry[Field::IpAddress];
  const ProbeResult result = entry.Method() == CheckMethod::Ping
                                 ? services_.notifier.PingAttempt(address)
                                 : services_.notifier.PortAttempt(address, entry.PortNumber());
  if (result != ProbeResult::Interrupted) LogProbeResult(entry, result);
  return result;
}

void CCheckThread::LogProbeResult(const ComputerEntry& entry, ProbeResult result) {
  const bool answered = result == ProbeResult::Answered;
  if (entry.Method() == CheckMethod::Ping) {
    log_.WriteLine(Text(answered ? Msg::PingAnswered : Msg::PingNoAnswer));
  } else {
    log_.WriteLine(Text(answered ? Msg::PortConnected : Msg::PortFailed));
  }
}

void CCheckThread::CheckTheClock(std::time_t now, std::time_t runStart) {
  if (now < EarliestValidTime()) {
    services_.prompt.Show(Text(Msg::ClockBeforeValidDate), Text(Msg::CaptionConfirm),
                          PromptIcon::None);
    RaiseStopFromCycle();
  }
  if (runStart > now) {
    services_.prompt.Show(Text(Msg::ClockRanBackwards), Text(Msg::CaptionConfirm),
                          PromptIcon::None);
    RaiseStopFromCycle();
  }
}

CCheckThread::Outcome CCheckThread::ApplyTransition(int row, const ComputerEntry& entry,
                                                    bool answered, const std::string& checkTime) {
  const std::string& previous = entry[Field::Status];
  PreviousState state = PreviousState::Other;
  if (previous == StatusUnknownText()) state = PreviousState::Unknown;
  if (previous == StatusUpText()) state = PreviousState::Up;
  if (previous == StatusDownText()) state = PreviousState::Down;

  RowAccess& rows = services_.rows;
  if (answered) {
    switch (state) {
      case PreviousState::Unknown:
        rows.WriteField(row, Field::Status, StatusUpText());
        rows.WriteField(row, Field::LastUpTime, checkTime);
        return Outcome::Continue;
      case PreviousState::Up:
        rows.WriteField(row, Field::Status, StatusUpText());
        return Outcome::Continue;
      case PreviousState::Down:
        alerts_->RestoreAlert(entry, checkTime);
        rows.WriteField(row, Field::Status, StatusUpText());
        rows.WriteField(row, Field::LastUpTime, checkTime);
        return Outcome::Continue;
      case PreviousState::Other:
        EndByInconsistency();
        return Outcome::Ended;
    }
  }

  BeepIfWanted();
  switch (state) {
    case PreviousState::Unknown:
    case PreviousState::Up:
      log_.WriteLine(Text(Msg::DownDetected));
      alerts_->DownAlert(entry, checkTime);
      rows.WriteField(row, Field::Status, StatusDownText());
      rows.WriteField(row, Field::LastDownTime, checkTime);
      return Outcome::Continue;
    case PreviousState::Down:
      log_.WriteLine(Text(Msg::DownAlreadyNotified));
      rows.WriteField(row, Field::Status, StatusDownText());
      return Outcome::Continue;
    case PreviousState::Other:
      log_.WriteLine(Text(Msg::DownAlreadyNotified));
      EndByInconsistency();
      return Outcome::Ended;
  }
  return Outcome::Continue;
}

void CCheckThread::BeepIfWanted() {
  if (services_.settings.BeepToAlert == 1) services_.beeper.Beep();
}

CCheckThread::Outcome CCheckThread::WaitForNextPass(int rowCount) {
  const long long seconds =
      static_cast<long long>(services_.settings.CheckInterval) * kSecondsPerMinute;
  if (seconds <= 0 && rowCount == 0) {
    // An empty list with no interval would spin without ever looking at the flag.
    if (StopRequested == 1) {
      EndByStopDuringWait();
      return Outcome::Ended;
    }
  }
  for (long long i = 0; i < seconds; ++i) {
    if (StopRequested == 1) {
      EndByStopDuringWait();
      return Outcome::Ended;
    }
    services_.sleeper.SleepMs(kPollStepMs);
  }
  return Outcome::Continue;
}

void CCheckThread::EndByStopBeforeAttempt() {
  services_.notifier.WriteEventLog(EventType::Information, Text(Msg::WatchEndedEvent));
  log_.WriteLine(Text(Msg::WatchEndedEvent));
  WatchEnded();
}

void CCheckThread::EndByStopDuringWait() {
  log_.WriteLine(Text(Msg::WatchEndedLog));
  services_.notifier.WriteEventLog(EventType::Information, Text(Msg::WatchEndedEvent));
  WatchEnded();
}

void CCheckThread::EndByInconsistency() {
  log_.WriteLine(Text(Msg::InconsistencyLog));
  services_.prompt.Show(Text(Msg::InconsistencyBox), Text(Msg::CaptionConfirm), PromptIcon::None);
  exitProcess_(1);
}

}  // namespace tarnwick
