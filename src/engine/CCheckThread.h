#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/AlertChannels.h"
#include "engine/AlertSequences.h"
#include "engine/AppSettings.h"
#include "engine/ComputerEntry.h"
#include "engine/HtmlReport.h"
#include "engine/Notifier.h"
#include "engine/ParallelProbes.h"
#include "engine/RowAccess.h"
#include "engine/RowAttempts.h"
#include "engine/RunningLog.h"
#include "engine/WatchObserver.h"
#include "platform/Beeper.h"
#include "platform/Clock.h"
#include "platform/Sleeper.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

class Prober;
class ProbePass;

// What a watch works with; all of it belongs to the host and outlives the
// thread. The watch takes a copy of the settings as it starts, so the host
// may change its own at any time.
struct CheckCycleServices {
  const AppSettings& settings;
  RowAccess& rows;
  Notifier& notifier;
  // Where the watch's own event log entries go: its start and end, and a
  // running log or page that could not be written.
  AlertChannels& channels;
  UserPrompt& prompt;
  Beeper& beeper;
  const Clock& clock;
  Sleeper& sleeper;
  // Where the running logs go.
  std::string programDirectory;
  // Told of each pass; none when null.
  WatchObserver* observer = nullptr;
  // The watch's probes on kept sockets: the pings of a one-at-a-time pass
  // and the whole probing of a parallel one. Null: a socket per echo, and a
  // parallel pass probes through the notifier on threads of its own.
  Prober* prober = nullptr;
};

// One run of the watch on a thread of its own: passes over every row, the
// transitions and alerts, the running log and the HTML page, and the wait
// between passes. It ends on StopRequested, a clock error or an exception;
// however it ends, MonitorState is Idle afterwards and then the host is
// told. An inconsistent status ends the process.
class CCheckThread {
 public:
  // Builds the alert sequences on the run's own running log and the watch's
  // copy of the settings. Without one, LogOnlyAlerts is used.
  using AlertsFactory =
      std::function<std::unique_ptr<AlertSequences>(RunningLog& log, const AppSettings& settings)>;
  // The same for alerts that need only the log (the tests' recorders).
  using LogAlertsFactory = std::function<std::unique_ptr<AlertSequences>(RunningLog& log)>;
  // Told on the cycle's thread, as the very last step of a run, that the
  // watch has ended (MonitorState is Idle by then). Must return at once.
  using EndHandler = std::function<void()>;
  // Ends the process; tests put in a hook that returns.
  using ProcessExit = std::function<void(int code)>;

  explicit CCheckThread(CheckCycleServices services, const AlertsFactory& makeAlerts = {});
  CCheckThread(CheckCycleServices services, const LogAlertsFactory& makeAlerts);
  // Asks a cycle that still runs to stop, and waits for it.
  ~CCheckThread();
  CCheckThread(const CCheckThread&) = delete;
  CCheckThread& operator=(const CCheckThread&) = delete;

  void SetProcessExit(ProcessExit exitProcess) { exitProcess_ = std::move(exitProcess); }
  // Before Start.
  void SetEndHandler(EndHandler onEnded) { onEnded_ = std::move(onEnded); }
  // The copy of the settings that the watch works on.
  const AppSettings& settings() const { return settings_; }

  // Sets MonitorState to Running and starts the cycle. False, with
  // MonitorState back to Idle, when no thread could be started or a run
  // still has its thread. After Join the object may start another run.
  bool Start();
  // Waits until the cycle's thread has ended.
  void Join();
  // The same watch as Start gives, run to its end on the calling thread,
  // which becomes the cycle's thread: for a host with nothing to do beside
  // it (a single pass), where a second thread would only add hand-overs.
  // False, with nothing done, when a run still has its thread.
  bool RunOnCallingThread();

  // The whole cycle on the calling thread, ending with WatchEnded; returns
  // the thread's exit code, 1. Every run starts with fresh per-run state:
  // the HTML page's once-per-run failure report and the running log's
  // first-pass rotation.
  int Run();

 private:
  enum class Outcome { Continue, Ended };
  enum class PreviousState { Unknown, Up, Down, Other };

  void BeginWatch();
  void RunToTheEnd();
  void RunPasses();
  void ReturnLentServices();
  Outcome CheckRow(int row, std::time_t runStart);
  Outcome CheckRowsInParallel(int rowCount, int workers, std::time_t runStart);
  Outcome CheckRowsOnProber(int rowCount, int workers, std::time_t runStart);
  Outcome CommitProbedRow(int row, const std::string& statusAtStart, RowState previous,
                          ProbePass& probes, std::time_t runStart);
  Outcome RunAttempts(int row, std::size_t index, ComputerEntry entry, RowState previous,
                      RowAttempts& attempts, std::time_t runStart);
  bool Paused() const;
  Outcome FinishRow(int row, const ComputerEntry& entry, RowState previous, bool answered,
                    const std::string& checkTime);
  bool InUnavailableWindow() const;
  void LogUnavailableWindow();
  void LogProbeResult(const ComputerEntry& entry, ProbeResult result);
  void CheckTheClock(std::time_t now, std::time_t runStart);
  Outcome ApplyTransition(int row, const ComputerEntry& entry, RowState previous, bool answered,
                          const std::string& checkTime);
  void BeepIfWanted();
  Outcome WaitForNextPass(int rowCount);

  Outcome EndByStopBeforeAttempt();
  Outcome EndByStopDuringWait();
  Outcome EndByInconsistency();

  CheckCycleServices services_;
  // Taken afresh at each Start; the log, the page, the alerts, the notifier
  // and the channels read it through references.
  AppSettings settings_;
  RunningLog log_;
  HtmlReport html_;
  std::unique_ptr<AlertSequences> alerts_;
  ProcessExit exitProcess_;
  EndHandler onEnded_;
  // What the notifier and the channels read and probed with before the run
  // lent them the watch's copy and prober.
  const AppSettings* notifierSettings_ = nullptr;
  Prober* notifierProber_ = nullptr;
  const AppSettings* channelSettings_ = nullptr;
  // Before this local time the clock cannot be right.
  std::time_t earliestValidTime_ = 0;
  std::thread thread_;
};

// The log line of a row before its check: each labelled field followed by ":".
std::string RowLogLine(const ComputerEntry& entry);

// Whether the local time of day `minuteOfDay` (hour x 60 + minute) lies in
// the daily pause that starts at hour:minute and lasts `lengthMinutes`; both
// bounds are exclusive.
bool InDailyWindow(int minuteOfDay, int hour, int minute, int lengthMinutes);

}  // namespace tarnwick
