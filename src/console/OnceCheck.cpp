#include "console/OnceCheck.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "console/ConsolePrompt.h"
#include "console/ConsoleRows.h"
#include "console/ConsoleSettings.h"
#include "console/OnePassObserver.h"
#include "console/StopSignalHandler.h"
#include "console/TerminalBeeper.h"
#include "engine/AlertChannels.h"
#include "engine/CCheckThread.h"
#include "engine/LogOnlyAlerts.h"
#include "engine/MemoryRows.h"
#include "engine/Notifier.h"
#include "engine/Prober.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "platform/Messages.h"
#include "platform/ProgramDirectory.h"
#include "platform/RegistryFile.h"
#include "platform/Sleeper.h"
#include "settings/ListFile.h"
#include "settings/SettingsStore.h"

namespace tarnwick {
namespace {

// The rows that stayed 不明 (a daily pause covered them) are printed too, so
// that every row of the list shows up once.
int PrintUnsettledAndJudge(ConsoleRows& rows) {
  bool anyDown = false;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const RowState state = rows.ReadState(row);
    if (state == RowState::Down) {
      anyDown = true;
    } else if (state != RowState::Up) {
      rows.WriteField(row, Field::Status, Text(Msg::StatusUnknown));
    }
  }
  return anyDown ? OnceCheck::kSomeDown : OnceCheck::kAllUp;
}

// A ping that cannot be sent is not a computer that is down: say so instead.
bool CanProbe(const std::vector<ComputerEntry>& rows, const Prober& prober, UserPrompt& prompt) {
  const bool anyPing = std::any_of(rows.begin(), rows.end(), [](const ComputerEntry& row) {
    return row.Method() == CheckMethod::Ping;
  });
  if (!anyPing || prober.PingAvailable()) return true;
  prompt.Show(Text(Msg::OnceNoIcmpSocket), Text(Msg::CaptionError), PromptIcon::Error);
  return false;
}

}  // namespace

int OnceCheck::Run(const std::string& listFile) {
  // Any signal asks the pass to stop; it then ends within the stop's 50 ms.
  StopSignalHandler signals;
  ConsolePrompt prompt;
  AppSettings settings;
  RegistryFile registry;
  LoadConsoleSettings(settings, registry, prompt);

  ListReadResult list = ReadListFile(listFile, prompt);
  // The whole pass runs on this thread: its commits might as well wait for
  // the probes, and each further thread only adds hand-overs.
  Prober prober({.stopFd = WatchStopEvent().fd(), .ownThread = false});
  if (!list.ok() || !CanProbe(list.rows, prober, prompt)) return kNotChecked;
  // Reset before the rows print anything: only the settled states show.
  MemoryRows staging;
  staging.ReplaceAll(std::move(list.rows));
  if (!PrepareRowsForWatch(staging, prompt)) return kNotChecked;
  ConsoleRows rows(out_, ConsoleRows::Flush::ByStream);
  rows.TakeRowsOf(staging);

  Notifier notifier(settings);
  AlertChannels channels(settings, prompt);
  TerminalBeeper beeper;
  SystemClock clock;
  ThreadSleeper sleeper;
  OnePassObserver observer([&signals] { signals.Unblock(); });
  CCheckThread cycle(
      CheckCycleServices{settings, rows, notifier, channels, prompt, beeper, clock, sleeper,
                         RunningLogFolder(), &observer, &prober},
      [](RunningLog& log, const AppSettings&) { return std::make_unique<LogOnlyAlerts>(log); });
  cycle.RunOnCallingThread();
  if (!observer.passEnded()) return kNotChecked;
  const int judged = PrintUnsettledAndJudge(rows);
  std::fflush(out_);
  return judged;
}

}  // namespace tarnwick
