#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/CCheckThread.h"
#include "engine/LogOnlyAlerts.h"
#include "engine/MemoryRows.h"
#include "engine/WatchState.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/FakeClock.h"
#include "support/RecordingPrompt.h"
#include "support/TempDir.h"

namespace tarnwick::test {

inline std::string Sj(std::string_view utf8) {
  return Cp932FromUtf8(utf8);
}

// Probes answer from a script per address; each probe is recorded.
// Used only from the cycle's thread; the test reads after joining it.
class ScriptedNotifier final : public Notifier {
 public:
  explicit ScriptedNotifier(const AppSettings& settings) : Notifier(settings) {}

  // Answers of the next probes of `address`; after them the probe fails.
  void Script(const std::string& address, std::vector<bool> answers) {
    auto& queue = answers_[address];
    queue.insert(queue.end(), answers.begin(), answers.end());
  }
  void AlwaysAnswer(const std::string& address) { alwaysAnswer_[address] = true; }

  bool PingProbe(std::string_view address) override {
    probes.push_back("ping " + std::string(address));
    return Answer(address);
  }
  bool PortProbe(std::string_view address, int port) override {
    probes.push_back("port " + std::string(address) + ":" + std::to_string(port));
    return Answer(address);
  }
  std::string RefreshComputerName(std::string_view address) override {
    ++lookups;
    return "host-of-" + std::string(address);
  }
  std::atomic<int> lookups{0};  // also from a prober's look-up threads
  std::function<void(int probeNumber)> onProbe;
  std::vector<std::string> probes;

 private:
  bool Answer(std::string_view address) {
    const std::string key(address);
    bool answer = alwaysAnswer_.count(key) > 0;
    auto& queue = answers_[key];
    if (!queue.empty()) {
      answer = queue.front();
      queue.pop_front();
    }
    if (onProbe) onProbe(static_cast<int>(probes.size()));
    return answer;
  }

  std::map<std::string, std::deque<bool>> answers_;
  std::map<std::string, bool> alwaysAnswer_;
};

// The event log entries are recorded; net send and mail are the system's,
// whose own reports go to no syslog. Used as ScriptedNotifier is.
class RecordingChannels final : public AlertChannels {
 public:
  RecordingChannels(const AppSettings& settings, UserPrompt& prompt,
                    std::chrono::milliseconds stopGrace = kStopGrace)
      : AlertChannels(
            settings, prompt,
            AlertChannelOptions{.syslogSocket = "/nonexistent/log", .stopGrace = stopGrace}) {}

  bool WriteEventLog(EventType type, std::string_view text) override {
    events.push_back(std::to_string(static_cast<int>(type)) + " " + Utf8FromCp932(text));
    return true;
  }

  std::vector<std::string> events;  // "type text", UTF-8
};

// Rows that remember every write, in order.
class RecordingRows final : public MemoryRows {
 public:
  struct Write {
    int row;
    Field field;
    std::string text;  // UTF-8
  };
  std::vector<Write> writes;

  std::vector<std::string> WritesOf(int row, Field field) const {
    std::vector<std::string> texts;
    for (const Write& w : writes) {
      if (w.row == row && w.field == field) texts.push_back(w.text);
    }
    return texts;
  }
  std::string Utf8Field(int row, Field field) const {
    return Utf8FromCp932(Snapshot()[static_cast<std::size_t>(row)][field]);
  }

 protected:
  void FieldWritten(int row, Field field, std::string_view text) override {
    writes.push_back({row, field, Utf8FromCp932(text)});
  }
};

class CountingBeeper final : public Beeper {
 public:
  void Beep() override { ++beeps; }
  int beeps = 0;
};

// The fake clock's sleeper that raises the stop request at a chosen sleep,
// and a safety stop so a faulty cycle cannot hang the test.
class StoppingSleeper final : public Sleeper {
 public:
  explicit StoppingSleeper(FakeClock& clock) : clock_(clock) {}
  void SleepMs(int milliseconds) override {
    clock_.SleepMs(milliseconds);
    ++sleeps;
    if (sleeps == stopAtSleep || sleeps > 100000) RequestStop();
  }
  int stopAtSleep = 1;
  int sleeps = 0;

 private:
  FakeClock& clock_;
};

// A clock that raises the stop request when it is read for the n-th time.
class StoppingClock final : public Clock {
 public:
  explicit StoppingClock(FakeClock& clock) : clock_(clock) {}
  std::time_t Now() const override {
    ++reads;
    if (reads == stopAtRead) RequestStop();
    return clock_.Now();
  }
  int stopAtRead = -1;
  mutable int reads = 0;

 private:
  FakeClock& clock_;
};

// Alerts that log a marker for each down alert (so its place among the
// cycle's own lines shows) and record both kinds.
class RecordingAlerts final : public AlertSequences {
 public:
  RecordingAlerts(RunningLog& log, std::vector<std::string>& calls) : log_(log), calls_(calls) {}
  void DownAlert(const ComputerEntry& row, std::string_view checkTime) override {
    calls_.push_back("down " + row[Field::IpAddress] + " " + std::string(checkTime));
    log_.WriteLine("<down alert>");
  }
  void RestoreAlert(const ComputerEntry& row, std::string_view checkTime) override {
    calls_.push_back("restore " + row[Field::IpAddress] + " " + std::string(checkTime));
    LogOnlyAlerts(log_).RestoreAlert(row, checkTime);
  }

 private:
  RunningLog& log_;
  std::vector<std::string>& calls_;
};

class CheckCycleTest : public ::testing::Test {
 protected:
  static constexpr int kSecondsPerPass = 60;

  CheckCycleTest() {
    WatchEnded();
    settings.CheckInterval = 1;
    settings.MaxRetry = 0;
    settings.BeepToAlert = 1;
    settings.RunningLog = 1;
  }
  ~CheckCycleTest() override { WatchEnded(); }

  void AddRow(const std::string& ip, const std::string& status = "不明",
              const std::string& service = "PING", const std::string& port = "") {
    ComputerEntry entry;
    entry[Field::ComputerName] = "pc-" + ip;
    entry[Field::IpAddress] = ip;
    entry[Field::Status] = Sj(status);
    entry[Field::CheckService] = service;
    entry[Field::Port] = port;
    ASSERT_TRUE(rows.AppendRow(entry, 300));
  }

  // Ends the watch with the stop request at the first sleep of the wait
  // after pass `passes`.
  void RunPasses(int passes) {
    sleeper.stopAtSleep = (passes - 1) * kSecondsPerPass + 1;
    RunWatch();
  }

  void RunWatch() {
    CCheckThread thread(
        CheckCycleServices{settings, rows, notifier, channels, prompt, beeper, stoppingClock,
                           sleeper, dir.path()},
        [this](RunningLog& log) { return std::make_unique<RecordingAlerts>(log, alertCalls); });
    thread.SetProcessExit([this](int code) { exitCodes.push_back(code); });
    ASSERT_TRUE(thread.Start());
    thread.Join();
  }

  // The lines of one day's running log, UTF-8, without their time stamps
  // when `withTimes` is false.
  std::vector<std::string> LogLines(const std::string& day = "20070508",
                                    bool withTimes = false) const {
    const std::string bytes = TempDir::ReadFile(dir.File("LOG" + day + ".log"));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
      std::string line = Utf8FromCp932(bytes.substr(start, end - start));
      lines.push_back(withTimes ? line : line.substr(line.find(" : ") + 3));
    }
    EXPECT_EQ(start, bytes.size()) << "the log ends in the middle of a line";
    return lines;
  }

  std::string Time(int hour, int minute, int second) const {
    return FormatLocalTime(MakeLocalTime(2007, 5, 8, hour, minute, second));
  }

  TempDir dir;
  AppSettings settings;
  RecordingRows rows;
  RecordingPrompt prompt;
  ScriptedNotifier notifier{settings};
  RecordingChannels channels{settings, prompt};
  CountingBeeper beeper;
  FakeClock clock{MakeLocalTime(2007, 5, 8, 10, 0, 0)};
  StoppingClock stoppingClock{clock};
  StoppingSleeper sleeper{clock};
  std::vector<std::string> alertCalls;
  std::vector<int> exitCodes;
};

}  // namespace tarnwick::test
