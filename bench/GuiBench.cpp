// bench_gui: the desktop program's figures, on the offscreen platform.
//  - one pass over 300 loopback rows in the GUI (window shown) beside the
//    console watcher's row store on the same rows, in the same run;
//  - 10,000 rows loaded from a list file and shown, and the worst lateness
//    of a 10 ms timer on the GUI thread during a pass over them;
//  - resident memory with 300 and with 10,000 rows.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/CTarnwickView.h"
#include "engine/CCheckThread.h"
#include "engine/MemoryRows.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "settings/ListFile.h"

namespace tarnwick {
namespace {

using bench::BenchFolder;
using bench::LoopbackAddress;
using bench::QuietBeeper;
using bench::SilentPrompt;
using bench::StopAtWaitSleeper;
using Clock = std::chrono::steady_clock;

std::vector<ComputerEntry> LoopbackRows(int count) {
  std::vector<ComputerEntry> rows;
  for (int i = 0; i < count; ++i) {
    ComputerEntry row;
    row[Field::ComputerName] = "pc" + std::to_string(i);
    row[Field::IpAddress] = LoopbackAddress(i);
    row[Field::CheckService] = "PING";
    rows.push_back(row);
  }
  return rows;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

struct Bench {
  Bench()
      : notifierOptions{.syslogSocket = folder.path() + "/no-syslog-here"},
        frame(AppServices{
            settings,
            registry,
            prompt,
            clock,
            sleeper,
            folder.path(),
            [this] { return std::make_unique<Notifier>(settings, prompt, notifierOptions); },
            {}}) {
    settings.CheckInterval = 1;
    settings.PingTimeOut = 1000;
    settings.MaxNumOfComputer = 20000;
    frame.resize(1100, 700);
    frame.show();
  }

  // One pass in the GUI; the worst lateness of a 10 ms timer meanwhile.
  double GuiPassSeconds(double* worstLateMs) {
    QElapsedTimer pass;
    double worst = 0;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      worst = std::max(worst, double(sinceTick.nsecsElapsed()) / 1e6 - 10.0);
      sinceTick.restart();
    });
    pass.start();
    frame.view().StartWatch();
    sinceTick.start();
    tick.start(10);
    while (MonitorState != MonitorStateValue::Idle)
      QCoreApplication::processEvents();
    const double seconds = double(pass.nsecsElapsed()) / 1e9;
    tick.stop();
    frame.view().StopAndWait();
    QCoreApplication::processEvents();
    if (worstLateMs) *worstLateMs = worst;
    return seconds;
  }

  // The same pass over the console watcher's row store.
  double ConsolePassSeconds(const std::vector<ComputerEntry>& rows) {
    MemoryRows store;
    store.ReplaceAll(rows);
    PrepareRowsForWatch(store, prompt);
    Notifier notifier(settings, prompt, notifierOptions);
    QuietBeeper beeper;
    const auto start = Clock::now();
    CCheckThread thread(CheckCycleServices{settings, store, notifier, prompt, beeper, clock,
                                           sleeper, folder.path()});
    thread.Start();
    thread.Join();
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  BenchFolder folder;
  AppSettings settings;
  RegistryFile registry{folder.path() + "/registry.reg"};
  SilentPrompt prompt;
  SystemClock clock;
  StopAtWaitSleeper sleeper;
  NotifierOptions notifierOptions;
  CMainFrame frame;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  Bench bench;

  const std::vector<ComputerEntry> rows300 = LoopbackRows(300);
  std::vector<double> gui, console;
  for (int round = 0; round < 7; ++round) {
    bench.frame.view().list().ReplaceAll(rows300);
    gui.push_back(bench.GuiPassSeconds(nullptr));
    console.push_back(bench.ConsolePassSeconds(rows300));
  }
  const double guiRow = Median(gui) / 300 * 1e6, consoleRow = Median(console) / 300 * 1e6;
  std::printf("pass over 300 loopback rows: GUI %.1f us/row, console %.1f us/row, ratio %.2f\n",
              guiRow, consoleRow, guiRow / consoleRow);
  QCoreApplication::processEvents();
  std::printf("resident memory, 300 rows: %ld KiB\n", ResidentKiB());

  const std::string list = bench.folder.path() + "/10000.ls2";
  WriteListFile(list, LoopbackRows(10000), bench.prompt);
  QElapsedTimer load;
  load.start();
  ListReadResult read = ReadListFile(list, bench.prompt);
  bench.frame.view().list().ReplaceAll(std::move(read.rows));
  bench.frame.repaint();
  QCoreApplication::processEvents();
  std::printf("10,000 rows loaded from a list file and shown: %.1f ms\n",
              double(load.nsecsElapsed()) / 1e6);
  std::printf("resident memory, 10,000 rows: %ld KiB\n", ResidentKiB());

  double worstLate = 0;
  const double seconds = bench.GuiPassSeconds(&worstLate);
  std::printf("pass over 10,000 rows: %.2f s; worst lateness of a 10 ms GUI timer: %.1f ms\n",
              seconds, worstLate);
  return 0;
}
