#include "engine/CCheckThread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/DirectAttempts.h"
#include "engine/LogOnlyAlerts.h"
#include "engine/ProbePass.h"
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
      settings_(services_.settings),
      log_(services_.programDirectory, settings_, services_.clock),
      html_(settings_, services_.rows, services_.channels, log_, services_.clock),
      alerts_(makeAlerts ? makeAlerts(log_, settings_) : std::make_unique<LogOnlyAlerts>(log_)),
      exitProcess_(ExitProcessNow) {
  log_.AddFailureReport([this](std::string_view text) {
    services_.channels.WriteEventLog(EventType::Warning, text);
  });
}

CCheckThread::CCheckThread(CheckCycleServices services, const LogAlertsFactory& makeAlerts)
    : CCheckThread(std::move(services),
                   makeAlerts ? AlertsFactory([&](RunningLog& log, const AppSettings&) {
                     return makeAlerts(log);
                   })
                              : AlertsFactory()) {}

CCheckThread::~CCheckThread() {
  if (!thread_.joinable()) return;
  RequestStop();
  thread_.join();
}

bool CCheckThread::Start() {
  if (thread_.joinable()) return false;
  BeginWatch();
  try {
    thread_ = std::thread([this] { RunToTheEnd(); });
  } catch (const std::system_error&) {
    ReturnLentServices();
    MonitorState = MonitorStateValue::Idle;
    return false;
  }
  return true;
}

bool CCheckThread::RunOnCallingThread() {
  if (thread_.joinable()) return false;
  BeginWatch();
  RunToTheEnd();
  return true;
}

void CCheckThread::BeginWatch() {
  settings_ = services_.settings;
  // Lent for the run only: the host may make the watch before its notifier
  // and channels and keep them after the watch.
  notifierSettings_ = &services_.notifier.UseSettings(settings_);
  notifierProber_ = services_.notifier.UseProber(services_.prober);
  channelSettings_ = &services_.channels.UseSettings(settings_);
  ArmWatchStopEvent();
  // Running before the thread exists: a cycle that ends at once must not have
  // its Idle overwritten.
  MonitorState = MonitorStateValue::Running;
}

void CCheckThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void CCheckThread::RunToTheEnd() {
  try {
    Run();
  } catch (...) {
    // Nothing may escape the cycle's thread; Run has left Idle behind.
  }
  if (onEnded_) onEnded_();
}

int CCheckThread::Run() {
  try {
    RunPasses();
  } catch (...) {
    ReturnLentServices();
    WatchEnded();
    throw;
  }
  ReturnLentServices();
  WatchEnded();
  return 1;
}

// Before Idle: whoever sees Idle may lend the notifier and the channels to
// the next watch. The settings and the prober go back together.
void CCheckThread::ReturnLentServices() {
  if (notifierSettings_ == nullptr) return;
  services_.notifier.UseSettings(*notifierSettings_);
  services_.notifier.UseProber(notifierProber_);
  services_.channels.UseSettings(*channelSettings_);
  notifierSettings_ = nullptr;
  notifierProber_ = nullptr;
  channelSettings_ = nullptr;
}

void CCheckThread::RunPasses() {
  const int rowCount = services_.rows.RowCount();
  const std::time_t runStart = services_.clock.Now();
  // Once per run: working it out asks the system for its time zone file.
  earliestValidTime_ = EarliestValidTime();
  // The object may serve several watches; none inherits another's state.
  log_.BeginRun();
  html_.BeginRun();

  services_.channels.WriteEventLog(EventType::Information, Text(Msg::WatchStartedEvent));
  if (settings_.EnableHtml == 1) html_.WritePlaceholderPage();

  for (;;) {
    if (settings_.RunningLog == 1) log_.Rotate();
    if (services_.observer != nullptr) services_.observer->PassStarted();
    const int workers = std::min(settings_.ParallelChecks, kMostParallelChecks);
    if (workers > 0) {
      if (CheckRowsInParallel(rowCount, workers, runStart) == Outcome::Ended) return;
    } else {
      for (int row = 0; row < rowCount; ++row) {
        if (CheckRow(row, runStart) == Outcome::Ended) return;
      }
    }
    if (services_.observer != nullptr) services_.observer->PassEnded();
    if (settings_.EnableHtml == 1) html_.WriteReportPage();
    if (WaitForNextPass(rowCount) == Outcome::Ended) return;
  }
}

CCheckThread::Outcome CCheckThread::CheckRow(int row, std::time_t runStart) {
  if (Paused()) {
    LogUnavailableWindow();
    // With no interval and every row paused nothing else would ever look at
    // the flag: look once per paused row.
    if (StopRequested == 1) return EndByStopBeforeAttempt();
    return Outcome::Continue;
  }
  DirectAttempts attempts(services_.notifier, services_.clock);
  return RunAttempts(row, 0, services_.rows.ReadRow(row), services_.rows.ReadState(row), attempts,
                     runStart);
}

// A row's check, whichever pass runs it: the fresh name, then attempts until
// one answers or MaxRetry + 1 have failed, then the transition. A stop seen
// before an attempt, or one that cut an attempt short, ends the cycle.
CCheckThread::Outcome CCheckThread::RunAttempts(int row, std::size_t index, ComputerEntry entry,
                                                RowState previous, RowAttempts& attempts,
                                                std::time_t runStart) {
  if (settings_.ResolveNameEverytime == 1) {
    const std::string name = attempts.FreshName(index, entry);
    // A look-up that the stop cut short has no name to show.
    if (StopRequested == 1) return EndByStopBeforeAttempt();
    entry[Field::ComputerName] = std::string(CutToReadLimit(Field::ComputerName, name));
    services_.rows.WriteField(row, Field::ComputerName, entry[Field::ComputerName]);
  }
  if (log_.Writing()) log_.WriteLine(RowLogLine(entry));

  bool answered = false;
  std::string checkTime;
  const long long maxRetry = settings_.MaxRetry;
  for (long long attempt = 1;; ++attempt) {
    const std::optional<std::time_t> started = attempts.AttemptStart(index, entry, attempt);
    if (!started || !attempts.ShowsAttemptsItself()) {
      services_.rows.WriteField(row, Field::Status, CheckingText(attempt));
    }
    const std::time_t now = started.value_or(services_.clock.Now());
    checkTime = FormatLocalTime(now);
    CheckTheClock(now, runStart);
    if (StopRequested == 1 || !started) return EndByStopBeforeAttempt();
    const ProbeResult result = attempts.AttemptResult(index, entry, attempt);
    // A probe cut short by the stop has no result: the stop ends the cycle
    // as if it had come just before this attempt.
    if (result == ProbeResult::Interrupted) return EndByStopBeforeAttempt();
    LogProbeResult(entry, result);
    answered = result == ProbeResult::Answered;
    if (answered || attempt > maxRetry) break;
  }
  return FinishRow(row, entry, previous, answered, checkTime);
}

CCheckThread::Outcome CCheckThread::FinishRow(int row, const ComputerEntry& entry,
                                              RowState previous, bool answered,
                                              const std::string& checkTime) {
  if (ApplyTransition(row, entry, previous, answered, checkTime) == Outcome::Ended) {
    return Outcome::Ended;
  }
  services_.rows.WriteField(row, Field::LastCheckTime, checkTime);
  services_.rows.RedrawRow(row);
  return Outcome::Continue;
}

// The probes of every row run at once, within `workers`; this thread commits
// each row in order exactly as CheckRow would, waiting only where a row's
// attempt has not come back yet. Leaving, the probes are cancelled and their
// threads joined while a stop still wakes the attempts in flight.
CCheckThread::Outcome CCheckThread::CheckRowsInParallel(int rowCount, int workers,
                                                        std::time_t runStart) {
  if (services_.prober != nullptr) return CheckRowsOnProber(rowCount, workers, runStart);
  // Without a prober, which rows the daily pause covers is decided as the
  // pass starts.
  std::vector<bool> paused(static_cast<std::size_t>(rowCount), false);
  std::vector<ComputerEntry> entries;
  std::vector<ProbeTarget> targets;
  for (int row = 0; row < rowCount; ++row) {
    if (Paused()) {
      paused[static_cast<std::size_t>(row)] = true;
      continue;
    }
    const ComputerEntry& entry = entries.emplace_back(services_.rows.ReadRow(row));
    targets.push_back({entry[Field::IpAddress], entry.Method(), entry.PortNumber()});
  }

  ParallelProbes probes(services_.notifier, services_.clock, std::move(targets),
                        {.workers = workers,
                         .maxRetry = settings_.MaxRetry,
                         .refreshNames = settings_.ResolveNameEverytime == 1});
  probes.Start();
  std::size_t index = 0;
  for (int row = 0; row < rowCount; ++row) {
    if (paused[static_cast<std::size_t>(row)]) {
      LogUnavailableWindow();
      if (StopRequested == 1) return EndByStopBeforeAttempt();
      continue;
    }
    const RowState previous = services_.rows.ReadState(row);
    if (RunAttempts(row, index, entries[index], previous, probes, runStart) == Outcome::Ended) {
      return Outcome::Ended;
    }
    ++index;
  }
  return Outcome::Continue;
}

// The same on the watch's prober. The pause is decided as each row's probe
// would start and again at its commit, in row order, as a one-at-a-time pass
// decides it when it reaches the row. The prober shows each attempt in the
// row as it starts, so the row's status and previous state come from the
// pass's start, never from its Status now; nothing else in a row changes
// before its commit, which reads it then.
CCheckThread::Outcome CCheckThread::CheckRowsOnProber(int rowCount, int workers,
                                                      std::time_t runStart) {
  std::vector<std::string> statusAtStart;
  std::vector<RowState> previous;
  std::vector<ProbeTarget> targets;
  const auto count = static_cast<std::size_t>(rowCount);
  statusAtStart.reserve(count);
  previous.reserve(count);
  targets.reserve(count);
  RowAccess& rows = services_.rows;
  for (int row = 0; row < rowCount; ++row) {
    statusAtStart.push_back(rows.ReadField(row, Field::Status));
    previous.push_back(rows.ReadState(row));
    targets.push_back({rows.ReadField(row, Field::IpAddress),
                       MethodOfService(rows.ReadField(row, Field::CheckService)),
                       PortNumberOf(rows.ReadField(row, Field::Port))});
  }

  ProbePass probes(*services_.prober, services_.clock, std::move(targets),
                   {.inFlight = workers,
                    .maxRetry = settings_.MaxRetry,
                    .pingTimeoutMs = settings_.PingTimeOut,
                    .portProbeBound = services_.notifier.options().portProbeBound,
                    .refreshNames = settings_.ResolveNameEverytime == 1,
                    .lookUpName =
                        [this](std::string_view address) {
                          return services_.notifier.RefreshComputerName(address);
                        },
                    .mayStart = [this](std::size_t) { return !Paused(); },
                    .attemptStarted =
                        [&rows](std::size_t index, long long attempt) {
                          rows.WriteField(static_cast<int>(index), Field::Status,
                                          CheckingText(attempt));
                        },
                    .attemptAnswered =
                        [this](const ProbeTarget& target, std::chrono::nanoseconds roundTrip) {
                          services_.notifier.ProbeAnswered(target.address, target.method,
                                                           target.port, roundTrip);
                        }});
  probes.Start();
  for (int row = 0; row < rowCount; ++row) {
    const auto index = static_cast<std::size_t>(row);
    if (CommitProbedRow(row, statusAtStart[index], previous[index], probes, runStart) ==
        Outcome::Ended) {
      return Outcome::Ended;
    }
  }
  return Outcome::Continue;
}

CCheckThread::Outcome CCheckThread::CommitProbedRow(int row, const std::string& statusAtStart,
                                                    RowState previous, ProbePass& probes,
                                                    std::time_t runStart) {
  const auto index = static_cast<std::size_t>(row);
  if (Paused()) {
    // An attempt already under way runs on unheeded; the row shows again
    // what it showed before.
    if (probes.LeaveUnprobed(index)) services_.rows.WriteField(row, Field::Status, statusAtStart);
    LogUnavailableWindow();
    if (StopRequested == 1) return EndByStopBeforeAttempt();
    return Outcome::Continue;
  }
  probes.EnsureProbed(index);
  ComputerEntry entry = services_.rows.ReadRow(row);
  entry[Field::Status] = statusAtStart;
  return RunAttempts(row, index, std::move(entry), previous, probes, runStart);
}

bool CCheckThread::Paused() const {
  return settings_.EnableUnavailableSchedule == 1 && InUnavailableWindow();
}

bool CCheckThread::InUnavailableWindow() const {
  const AppSettings& settings = settings_;
  const std::tm local = ToLocalTime(services_.clock.Now());
  return InDailyWindow(local.tm_hour * 60 + local.tm_min, settings.UnavailableHour,
                       settings.UnavailableMinutes, settings.UnavailableInterval);
}

void CCheckThread::LogUnavailableWindow() {
  const AppSettings& settings = settings_;
  log_.WriteLine(FormatNumbers(
      Text(Msg::UnavailableWindowLog),
      {settings.UnavailableHour, settings.UnavailableMinutes, settings.UnavailableInterval}));
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
  if (now < earliestValidTime_) {
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
                                                    RowState previous, bool answered,
                                                    const std::string& checkTime) {
  PreviousState state = PreviousState::Other;
  switch (previous) {
    case RowState::Unknown:
      state = PreviousState::Unknown;
      break;
    case RowState::Up:
      state = PreviousState::Up;
      break;
    case RowState::Down:
      state = PreviousState::Down;
      break;
    case RowState::Checking:
    case RowState::Other:
      break;
  }

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
        return EndByInconsistency();
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
      return EndByInconsistency();
  }
  return Outcome::Continue;
}

void CCheckThread::BeepIfWanted() {
  if (settings_.BeepToAlert == 1) services_.beeper.Beep();
}

CCheckThread::Outcome CCheckThread::WaitForNextPass(int rowCount) {
  const long long seconds = static_cast<long long>(settings_.CheckInterval) * kSecondsPerMinute;
  if (seconds <= 0 && rowCount == 0) {
    // An empty list with no interval would spin without ever looking at the flag.
    if (StopRequested == 1) return EndByStopDuringWait();
  }
  // In one-second steps, each ended at once by a stop: the clock that the
  // daily pause and the time stamps read moves on in step with the wait.
  for (long long i = 0; i < seconds; ++i) {
    if (StopRequested == 1) return EndByStopDuringWait();
    if (!services_.sleeper.SleepUnlessStopped(kPollStepMs, WatchStopEvent())) {
      return EndByStopDuringWait();
    }
  }
  return Outcome::Continue;
}

CCheckThread::Outcome CCheckThread::EndByStopBeforeAttempt() {
  services_.channels.WriteEventLog(EventType::Information, Text(Msg::WatchEndedEvent));
  log_.WriteLine(Text(Msg::WatchEndedEvent));
  return Outcome::Ended;
}

CCheckThread::Outcome CCheckThread::EndByStopDuringWait() {
  log_.WriteLine(Text(Msg::WatchEndedLog));
  services_.channels.WriteEventLog(EventType::Information, Text(Msg::WatchEndedEvent));
  return Outcome::Ended;
}

CCheckThread::Outcome CCheckThread::EndByInconsistency() {
  log_.WriteLine(Text(Msg::InconsistencyLog));
  services_.prompt.Show(Text(Msg::InconsistencyBox), Text(Msg::CaptionConfirm), PromptIcon::None);
  exitProcess_(1);
  return Outcome::Ended;
}

}  // namespace tarnwick
