// The console watcher as a user runs it: a real process against loopback
// rows, with a registry file, a list file and a real syslog socket.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"
#include "support/WatchProcess.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

std::string Registry(int checkInterval, int maxRetry) {
  return WatchProcess::RegistryText({{"CheckInterval", static_cast<std::uint32_t>(checkInterval)},
                                     {"MaxRetry", static_cast<std::uint32_t>(maxRetry)},
                                     {"PingTimeOut", 1000},
                                     {"RunningLog", 1},
                                     {"BeepToAlert", 1}});
}

// One list file line: name, address, service, port; the event log flag set.
std::string ListLine(const std::string& name, const std::string& service, const std::string& port) {
  return name + ",127.0.0.1,," + service + "," + port + ",,,,," + Cp932FromUtf8("○") + ",,,,,\r\n";
}

class WatchProcessTest : public ::testing::Test {
 protected:
  void WriteFiles(const std::string& list, int checkInterval = 1, int maxRetry = 1) {
    TempDir::WriteFile(dir.File("registry.reg"), Registry(checkInterval, maxRetry));
    TempDir::WriteFile(dir.File("list.ls2"), list);
  }

  TempDir dir;
  SyslogReceiver syslog;
  WatchProcess watch{
      dir,
      TARNWICK_WATCH_PATH,
      {"TARNWICK_REGISTRY=" + dir.File("registry.reg"), "TARNWICK_SYSLOG_SOCKET=" + syslog.path()}};
};

// SIGTERM, and SIGINT as Ctrl-C sends it.
class StopSignalTest : public WatchProcessTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, PrintsChangesLogsAndEndsInOrder) {
  ClosedPort closed;
  ASSERT_NE(closed.port(), 0);
  WriteFiles("ZNRQ\r\n" + ListLine("loop", "PING", "") +
             ListLine("closed", "CUSTOM", std::to_string(closed.port())));
  const std::time_t started = std::time(nullptr);
  ASSERT_TRUE(watch.Start({dir.File("list.ls2")}));

  ASSERT_TRUE(watch.WaitForOutput({"loop (127.0.0.1) ○", "closed (127.0.0.1) ×"}, 20s))
      << watch.Stdout() << watch.Stderr();
  watch.Signal(GetParam());
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(0)) << watch.Stderr();

  // Both rows were announced as unknown first, and the down row beeped; the
  // end has a closing line.
  EXPECT_NE(watch.Stdout().find("loop (127.0.0.1) 不明"), std::string::npos);
  EXPECT_TRUE(watch.Stdout().ends_with(" 監視を終了しました。\n")) << watch.Stdout();
  EXPECT_NE(watch.Stderr().find('\a'), std::string::npos);

  const std::string log = watch.RunningLogText(started);
  for (const char* text :
       {"IPアドレス=127.0.0.1:コンピュータ名=loop:確認方法=PING:", " : PING応答あり\r\n",
        "確認方法=CUSTOM:ポート=", " : [失敗]PORT接続失敗\r\n", " : ダウンを検出しました。\r\n"}) {
    EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
  }
  EXPECT_NE(log.rfind(" : 監視を終了しました。\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.substr(log.size() - std::string(" : 監視を終了しました。\r\n").size()),
            " : 監視を終了しました。\r\n");

  std::vector<std::string> entries;
  while (const auto entry = syslog.Receive(500))
    entries.push_back(entry->message);
  ASSERT_GE(entries.size(), 3u);
  EXPECT_NE(entries.front().find("「Tarnwick」は、監視を開始しました。"), std::string::npos);
  EXPECT_NE(entries.back().find("「Tarnwick」は、監視を終了しました。"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(WatchProcess, StopSignalTest, ::testing::Values(SIGTERM, SIGINT));

// coreutils timeout signals its child and then its whole process group: the
// watcher may get SIGTERM a second time while it is already ending. Both are
// the one stop request; the watcher ends in order every time.
TEST_F(WatchProcessTest, RepeatedSigtermEndsInOrder) {
  WriteFiles("ZNRQ\r\n" + ListLine("loop", "PING", ""));
  const auto endedInOrder = [&](const std::string& run, std::time_t started) {
    EXPECT_EQ(watch.Exited(15s), std::optional<int>(0)) << run << "\n" << watch.Stderr();
    EXPECT_NE(watch.Stdout().find("loop (127.0.0.1) ○"), std::string::npos) << watch.Stdout();
    // Whether the request came during the wait or during a check.
    const std::string closing = "監視を終了しました。\r\n";
    const std::string log = watch.RunningLogText(started);
    ASSERT_GE(log.size(), closing.size()) << run;
    EXPECT_EQ(log.substr(log.size() - closing.size()), closing) << run << "\n" << log;
    std::vector<std::string> entries;
    while (const auto entry = syslog.Receive(300))
      entries.push_back(entry->message);
    ASSERT_FALSE(entries.empty()) << run;
    EXPECT_EQ(entries.back(), "「Tarnwick」は、監視を終了しました。") << run;
  };

  for (int run = 1; run <= 3; ++run) {
    const std::time_t started = std::time(nullptr);
    ASSERT_TRUE(
        watch.Start({dir.File("list.ls2")}, {"timeout", "--preserve-status", "-s", "TERM", "1"}));
    endedInOrder("under timeout, run " + std::to_string(run), started);
  }

  // The second signal after the first was taken: the watch has ended.
  const std::time_t started = std::time(nullptr);
  ASSERT_TRUE(watch.Start({dir.File("list.ls2")}));
  ASSERT_TRUE(watch.WaitForOutput({"loop (127.0.0.1) ○"}, 20s)) << watch.Stderr();
  watch.Signal(SIGTERM);
  ASSERT_TRUE(watch.WaitForOutput({"監視を終了しました。"}, 20s)) << watch.Stderr();
  watch.Signal(SIGTERM);
  endedInOrder("SIGTERM twice", started);
}

// The watcher goes on with the defaults and says so, naming the file; a
// FIFO never holds up its start (stop signals would wait behind it).
TEST_F(WatchProcessTest, AMissingOrForeignRegistryFileIsNamedOnStandardError) {
  constexpr const char* kFifo = "<fifo>";
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {std::nullopt, "は存在しません。既定の設定で監視します。"},
      {std::string("not a registry\r\n"), "はレジストリファイル（REGEDIT4 形式）ではないため"},
      {std::string(kFifo), "は通常のファイルではない（フォルダ、FIFO、デバイスなど）ため"},
  };
  for (const auto& [registry, message] : cases) {
    TempDir own;  // the watcher is copied into its folder
    const std::string registryPath = own.File("registry.reg");
    TempDir::WriteFile(own.File("list.ls2"), "ZNRQ\r\n");
    if (registry == kFifo) {
      ASSERT_EQ(::mkfifo(registryPath.c_str(), 0600), 0);
    } else if (registry) {
      TempDir::WriteFile(registryPath, *registry);
    }
    WatchProcess run{own, TARNWICK_WATCH_PATH, {"TARNWICK_REGISTRY=" + registryPath}};
    ASSERT_TRUE(run.Start({own.File("list.ls2")}));
    EXPECT_EQ(run.Exited(10s), std::optional<int>(1));
    EXPECT_NE(run.Stderr().find(registryPath + " " + message), std::string::npos) << run.Stderr();
    if (registry && registry != kFifo) {
      EXPECT_EQ(TempDir::ReadFile(registryPath), *registry);
    }
  }
}

TEST_F(WatchProcessTest, ABadListFileGetsItsMessageAndExitCodeOne) {
  WriteFiles("znrq\r\nloop,127.0.0.1,,PING,,,,,,,,,,,\r\n");
  ASSERT_TRUE(watch.Start({dir.File("list.ls2")}));
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(1));
  EXPECT_NE(watch.Stderr().find("このファイルは「Tarnwick」のファイルではありません。"),
            std::string::npos)
      << watch.Stderr();
  EXPECT_EQ(watch.Stdout(), "");
}

TEST_F(WatchProcessTest, AnEmptyListIsRefusedWithExitCodeOne) {
  WriteFiles("ZNRQ\r\n");
  ASSERT_TRUE(watch.Start({dir.File("list.ls2")}));
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(1));
  EXPECT_NE(watch.Stderr().find("監視するコンピュータを一台以上追加してください。"),
            std::string::npos)
      << watch.Stderr();
}

// --help and --version in the terminal's language, and the usage errors'
// code 2 with a message that names what was wrong.
TEST(WatchCommandLineTest, AnswersHelpVersionAndRefusesWhatItDoesNotKnow) {
  struct Case {
    std::vector<std::string> arguments;
    std::string lang;
    int exitCode;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--help"}, "C.UTF-8", 0, "Usage: tarnwick-watch", ""},
      {{"--help", "list.ls2"}, "ja_JP.UTF-8", 0, "使い方: tarnwick-watch", ""},
      {{"--version"}, "C", 0, "tarnwick-watch 0.", ""},
      {{"--bogus", "list.ls2"}, "C", 2, "", "unknown option: --bogus"},
      {{"--bogus", "list.ls2"}, "ja_JP.UTF-8", 2, "", "このオプションは使えません: --bogus"},
      {{}, "C", 2, "", "no list file given."},
      {{"--metrics"}, "C", 2, "", "option needs a value: --metrics"},
      {{"a.ls2", "b.ls2"}, "C", 2, "", "unexpected argument: b.ls2"},
      {{"--once", "--metrics", "0", "a.ls2"}, "C", 2, "", "cannot be used together"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WatchProcess run(dir, TARNWICK_WATCH_PATH, {"LANG=" + c.lang, "LC_ALL=", "LC_MESSAGES="});
    ASSERT_TRUE(run.Start(c.arguments));
    EXPECT_EQ(run.Exited(10s), std::optional<int>(c.exitCode)) << c.err;
    EXPECT_NE(run.Stdout().find(c.out), std::string::npos) << run.Stdout();
    EXPECT_NE(run.Stderr().find(c.err), std::string::npos) << run.Stderr();
    if (c.exitCode == 2) {
      EXPECT_NE(run.Stderr().find("--help"), std::string::npos);
    }
  }
}

// --once: one pass, each row's state, and the exit code of the whole list.
TEST_F(WatchProcessTest, OnceChecksEveryRowOnceAndExitsWithTheListsState) {
  LoopbackListener open;
  ClosedPort closed;
  const std::string up = ListLine("open", "CUSTOM", std::to_string(open.port()));
  const std::string down = ListLine("closed", "CUSTOM", std::to_string(closed.port()));
  for (const auto& [list, code] :
       std::vector<std::pair<std::string, int>>{{up + up, 0}, {up + down, 1}, {"znrq\r\n", 2}}) {
    WriteFiles(list == "znrq\r\n" ? list : "ZNRQ\r\n" + list, 5, 0);
    ASSERT_TRUE(watch.Start({"--once", dir.File("list.ls2")}));
    EXPECT_EQ(watch.Exited(20s), std::optional<int>(code)) << watch.Stderr();
    if (code == 2) continue;
    const std::string out = watch.Stdout();
    EXPECT_NE(out.find("open (127.0.0.1) ○"), std::string::npos) << out;
    EXPECT_EQ(out.find("不明"), std::string::npos) << out;
    EXPECT_EQ(out.find("closed (127.0.0.1) ×") != std::string::npos, code == 1) << out;
  }
}

// A signal ends --once within its pass, in parallel and in sequential mode,
// with the code for a list not checked: a host that never answers would hold
// the pass for 30 seconds. The signal comes as soon as the watch has said it
// started, which is often before its pass begins to take signals.
TEST_F(WatchProcessTest, OnceEndsWithinItsPassOnAStopSignal) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace host;
  host.RunOrThrow({"ip", "route", "add", "blackhole", host.routedNetwork()});
  const std::string silent = "silent," + host.routedAddress(1) + ",,PING,,,,,,,,,,,\r\n";
  for (const auto& [parallelChecks, signal] :
       std::vector<std::pair<std::uint32_t, int>>{{256, SIGTERM}, {0, SIGINT}}) {
    TempDir::WriteFile(
        dir.File("registry.reg"),
        WatchProcess::RegistryText(
            {{"ParallelChecks", parallelChecks}, {"MaxRetry", 0}, {"PingTimeOut", 30000}}));
    TempDir::WriteFile(dir.File("list.ls2"), "ZNRQ\r\n" + ListLine("loop", "PING", "") + silent);
    ASSERT_TRUE(watch.Start({"--once", dir.File("list.ls2")}));
    const auto started = syslog.Receive(10000);
    ASSERT_TRUE(started.has_value()) << watch.Stderr();
    EXPECT_NE(started->message.find("監視を開始しました"), std::string::npos) << started->message;
    watch.Signal(signal);
    EXPECT_EQ(watch.Exited(10s), std::optional<int>(2)) << parallelChecks << watch.Stderr();
    EXPECT_EQ(watch.Stdout().find("silent"), std::string::npos) << watch.Stdout();
    while (syslog.Receive(300)) {
    }
  }
}

}  // namespace
}  // namespace tarnwick::test
