// tarnwick-watch [--metrics [ADDRESS:]PORT] LISTFILE: watches the computers
// of a list file without a display, with the settings of the registry file,
// until SIGINT or SIGTERM; with --metrics it also serves Prometheus metrics.
// --once LISTFILE checks every computer once instead.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "console/ConsolePrompt.h"
#include "console/ConsoleRows.h"
#include "console/ConsoleSettings.h"
#include "console/MeteredAlertChannels.h"
#include "console/MeteredAlerts.h"
#include "console/MeteredLauncher.h"
#include "console/MeteredNotifier.h"
#include "console/MetricsAddress.h"
#include "console/MetricsModule.h"
#include "console/OnceCheck.h"
#include "console/StopSignals.h"
#include "console/TerminalBeeper.h"
#include "console/WatchMetrics.h"
#include "console/WatchOptions.h"
#include "engine/AlertChannels.h"
#include "engine/AlertDispatcher.h"
#include "engine/CCheckThread.h"
#include "engine/Notifier.h"
#include "engine/Prober.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/ProgramDirectory.h"
#include "platform/RegistryFile.h"
#include "platform/Sleeper.h"
#include "settings/ListFile.h"
#include "settings/SettingsStore.h"

namespace tarnwick {
namespace {

// Waits for the end of the watch, which the watch signals on `ended`,
// turning the first stop signal into the stop command. A supervisor may send
// SIGTERM more than once (coreutils timeout signals the child and then its
// process group): every SIGTERM is the same request. Only a second Ctrl-C
// (SIGINT), from a person, ends the process at once. True when the watch
// ended because it was asked to.
bool WaitForTheEnd(StopSignals& signals, const StopEvent& ended) {
  bool stopAsked = false;
  while (const int signal = signals.WaitBeside(ended)) {
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

// The URL a scraper uses, announced once on standard output.
void AnnounceMetrics(const std::string& listeningAddress, int port) {
  const std::string host = listeningAddress.substr(0, listeningAddress.rfind(':'));
  const std::string url = "http://" + host + ":" + std::to_string(port) + "/metrics";
  std::printf("%s%s\n", std::string(Utf8Text(Msg::MetricsServing)).c_str(), url.c_str());
  std::fflush(stdout);
}

// What the metrics need while the watch runs; all empty without --metrics.
struct MetricsParts {
  std::shared_ptr<WatchMetrics> metrics;
  std::unique_ptr<MetricsServer> endpoint;
  std::unique_ptr<MeteredLauncher> launcher;
};

// Starts serving; false, with the reason told, when the metrics module
// cannot be loaded or the address cannot be bound.
bool StartMetrics(const std::string& listeningAddress, ConsoleRows& rows, UserPrompt& prompt,
                  MetricsParts& parts) {
  parts.metrics = std::make_shared<WatchMetrics>(rows.Snapshot(), std::time(nullptr));
  std::string moduleFailure;
  try {
    parts.endpoint = MetricsModule::Start(listeningAddress, parts.metrics, moduleFailure);
  } catch (const std::runtime_error&) {
    // The server's own text ("null context ...") would tell the user nothing.
    prompt.Show(Text(Msg::MetricsListenFailed) + listeningAddress, Text(Msg::CaptionError),
                PromptIcon::Error);
    return false;
  }
  if (!parts.endpoint) {
    prompt.Show(Text(Msg::MetricsModuleMissing) + moduleFailure, Text(Msg::CaptionError),
                PromptIcon::Error);
    return false;
  }
  parts.launcher = std::make_unique<MeteredLauncher>(*parts.metrics);
  rows.SetMetrics(parts.metrics.get());
  AnnounceMetrics(listeningAddress, parts.endpoint->Port());
  return true;
}

int Watch(const std::string& listFile, const std::optional<std::string>& metricsAddress) {
  // Before any thread exists, so that every thread inherits the blocked mask.
  StopSignals signals;
  ConsolePrompt prompt;

  AppSettings settings;
  RegistryFile registry;
  LoadConsoleSettings(settings, registry, prompt);

  ListReadResult list = ReadListFile(listFile, prompt);
  if (!list.ok()) return 1;
  ConsoleRows rows(stdout);
  rows.ReplaceAll(std::move(list.rows));
  // Before the rows are reset for the watch, so that a port in use ends the
  // watcher before it shows any status, and the metrics see the reset.
  MetricsParts parts;
  if (metricsAddress && !StartMetrics(*metricsAddress, rows, prompt, parts)) return 1;
  if (!PrepareRowsForWatch(rows, prompt)) return 1;
  WatchMetrics* metrics = parts.metrics.get();

  std::unique_ptr<Notifier> notifier = metrics != nullptr
                                           ? std::make_unique<MeteredNotifier>(settings, *metrics)
                                           : std::make_unique<Notifier>(settings);
  std::unique_ptr<AlertChannels> channels =
      metrics != nullptr ? std::make_unique<MeteredAlertChannels>(settings, prompt, *metrics)
                         : std::make_unique<AlertChannels>(settings, prompt);
  ProgramLauncher& launcher =
      parts.launcher ? static_cast<ProgramLauncher&>(*parts.launcher) : ProgramLauncher::System();
  TerminalBeeper beeper;
  SystemClock clock;
  ThreadSleeper sleeper;
  Prober prober({.stopFd = WatchStopEvent().fd()});
  CCheckThread thread(
      CheckCycleServices{settings, rows, *notifier, *channels, prompt, beeper, clock, sleeper,
                         RunningLogFolder(), metrics, &prober},
      [&](RunningLog& log, const AppSettings& watchSettings) -> std::unique_ptr<AlertSequences> {
        log.AddFailureReport([&](std::string_view text) {
          prompt.Show(text, Text(Msg::CaptionCaution), PromptIcon::Exclamation);
        });
        auto alerts =
            std::make_unique<AlertDispatcher>(watchSettings, *channels, log, sleeper, launcher);
        if (metrics == nullptr) return alerts;
        return std::make_unique<MeteredAlerts>(std::move(alerts), *metrics);
      });
  const StopEvent ended;
  thread.SetEndHandler([&ended] { ended.Signal(); });
  if (!thread.Start()) {
    prompt.Show(Text(Msg::ThreadStartFailed), Text(Msg::CaptionError), PromptIcon::Error);
    return 1;
  }
  const bool stopAsked = WaitForTheEnd(signals, ended);
  thread.Join();
  rows.PrintClosingLine();
  // Stopping the server would wait for its threads; the process ends anyway.
  if (parts.endpoint) parts.endpoint->Abandon();
  return stopAsked ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  const WatchOptions arguments = WatchOptions::Parse(argc, argv);
  if (arguments.exitNow) return *arguments.exitNow;
  if (arguments.mode == WatchOptions::Mode::Once) return OnceCheck().Run(arguments.listFile);
  std::optional<std::string> metricsAddress;
  if (arguments.metrics) {
    metricsAddress = MetricsListeningAddress(*arguments.metrics);
    if (!metricsAddress) {
      ConsolePrompt().Show(Text(Msg::MetricsAddressInvalid) + Cp932FromUtf8(*arguments.metrics),
                           Text(Msg::CaptionError), PromptIcon::Error);
      return 1;
    }
  }
  return Watch(arguments.listFile, metricsAddress);
}
