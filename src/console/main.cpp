// tarnwick-watch LISTFILE: watches the computers of a list file without a
// display, with the settings of the registry file, until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "console/ConsolePrompt.h"
#include "console/ConsoleRows.h"
#include "console/StopSignals.h"
#include "console/TerminalBeeper.h"
#include "engine/AlertDispatcher.h"
#include "engine/CCheckThread.h"
#include "engine/Notifier.h"
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

constexpr int kSignalPollMs = 200;

// Waits for the end of the watch, turning the first stop signal into the
// stop command. A supervisor may send SIGTERM more than once (coreutils
// timeout signals the child and then its process group): every SIGTERM is
// the same request. Only a second Ctrl-C (SIGINT), from a person, ends the
// process at once. True when the watch ended because it was asked to.
bool WaitForTheEnd(StopSignals& signals) {
  bool stopAsked = false;
  while (MonitorState != MonitorStateValue::Idle) {
    const int signal = signals.Wait(kSignalPollMs);
    if (signal == 0) continue;
    if (stopAsked && signal == SIGINT) {
      std::fflush(nullptr);
      std::_Exit(1);
    }
    if (stopAsked) continue;
    stopAsked = true;
    RequestStop();
  }
  return stopAsked;
}

int Watch(const std::string& listFile) {
  // Before any thread exists, so that every thread inherits the blocked mask.
  StopSignals signals;
  ConsolePrompt prompt;

  AppSettings settings;
  RegistryFile registry;
  LoadSettings(settings, registry);

  ListReadResult list = ReadListFile(listFile, prompt);
  if (!list.ok()) return 1;
  ConsoleRows rows(stdout);
  rows.ReplaceAll(std::move(list.rows));
  if (!PrepareRowsForWatch(rows, prompt)) return 1;

  Notifier notifier(settings, prompt);
  TerminalBeeper beeper;
  SystemClock clock;
  ThreadSleeper sleeper;
  CCheckThread thread(CheckCycleServices{settings, rows, notifier, prompt, beeper, clock, sleeper,
                                         RunningLogFolder()},
                      [&](RunningLog& log) {
                        return std::make_unique<AlertDispatcher>(settings, notifier, log, sleeper);
                      });
  if (!thread.Start()) {
    prompt.Show(Text(Msg::ThreadStartFailed), Text(Msg::CaptionError), PromptIcon::Error);
    return 1;
  }
  const bool stopAsked = WaitForTheEnd(signals);
  thread.Join();
  return stopAsked ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  if (argc != 2) {
    tarnwick::ConsolePrompt().Show(tarnwick::Text(tarnwick::Msg::WatchUsage),
                                   tarnwick::Text(tarnwick::Msg::CaptionCaution),
                                   tarnwick::PromptIcon::Exclamation);
    return 1;
  }
  return tarnwick::Watch(argv[1]);
}
