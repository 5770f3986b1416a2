// The console watcher as a user runs it: a real process against loopback
// rows, with a registry file, a list file and a real syslog socket.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "platform/UniqueFd.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

extern char** environ;

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// A loopback port that refuses connections: bound, never listening.
class ClosedPort {
 public:
  ClosedPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    if (::bind(socket_.get(), generic, length) == 0 &&
        ::getsockname(socket_.get(), generic, &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  int port() const { return port_; }

 private:
  UniqueFd socket_;
  int port_ = 0;
};

// The watcher copied into a folder of its own, so its running logs go there.
class WatchProcess {
 public:
  WatchProcess(const TempDir& dir, const std::string& registry, const std::string& syslog)
      : dir_(dir), registry_(registry), syslog_(syslog) {
    std::filesystem::copy_file(TARNWICK_WATCH_PATH, dir.File("tarnwick-watch"));
  }
  ~WatchProcess() {
    if (pid_ > 0 && !exitCode_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  void Start(const std::vector<std::string>& arguments) {
    std::vector<std::string> env = {"TARNWICK_REGISTRY=" + registry_,
                                    "TARNWICK_SYSLOG_SOCKET=" + syslog_};
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("TARNWICK_REGISTRY=", 0) != 0 &&
          entry.rfind("TARNWICK_SYSLOG_SOCKET=", 0) != 0) {
        env.push_back(entry);
      }
    }
    std::vector<std::string> args = {dir_.File("tarnwick-watch")};
    args.insert(args.end(), arguments.begin(), arguments.end());

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, dir_.File("stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, dir_.File("stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int result = posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                                   Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(result, 0);
  }

  // Waits until standard output holds every text, or `timeout` has passed.
  bool WaitForOutput(const std::vector<std::string>& texts, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string out = Stdout();
      bool all = true;
      for (const std::string& text : texts)
        all = all && out.find(text) != std::string::npos;
      if (all) return true;
      if (Exited(0ms)) return false;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  void Signal(int signal) const { ::kill(pid_, signal); }

  // The exit code once the process has exited within `timeout`.
  std::optional<int> Exited(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
      int status = 0;
      if (!exitCode_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (exitCode_) return exitCode_;
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
  }

  std::string Stdout() const { return TempDir::ReadFile(dir_.File("stdout")); }
  std::string Stderr() const { return TempDir::ReadFile(dir_.File("stderr")); }

 private:
  static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
      pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  const TempDir& dir_;
  std::string registry_;
  std::string syslog_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

std::string Registry(int checkInterval, int maxRetry) {
  char numbers[256];
  std::snprintf(numbers, sizeof numbers,
                "\"CheckInterval\"=dword:%08x\r\n\"MaxRetry\"=dword:%08x\r\n"
                "\"PingTimeOut\"=dword:000003e8\r\n\"RunningLog\"=dword:00000001\r\n"
                "\"BeepToAlert\"=dword:00000001\r\n",
                static_cast<unsigned>(checkInterval), static_cast<unsigned>(maxRetry));
  return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\r\n" +
         std::string(numbers) + "\r\n";
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

  // The day's running log; the day is taken before and after, for a run
  // that crosses midnight.
  std::string RunningLogText(std::time_t started) const {
    for (const std::time_t when : {started, std::time(nullptr)}) {
      const std::string name = dir.File(FormatLocalTime(when, "LOG%Y%m%d.log"));
      if (TempDir::Exists(name)) return Utf8FromCp932(TempDir::ReadFile(name));
    }
    return {};
  }

  TempDir dir;
  SyslogReceiver syslog;
  WatchProcess watch{dir, dir.File("registry.reg"), syslog.path()};
};

// SIGTERM, and SIGINT as Ctrl-C sends it.
class StopSignalTest : public WatchProcessTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, PrintsChangesLogsAndEndsInOrder) {
  ClosedPort closed;
  ASSERT_NE(closed.port(), 0);
  WriteFiles("ZNRQ\r\n" + ListLine("loop", "PING", "") +
             ListLine("closed", "CUSTOM", std::to_string(closed.port())));
  const std::time_t started = std::time(nullptr);
  watch.Start({dir.File("list.ls2")});

  ASSERT_TRUE(watch.WaitForOutput({"loop (127.0.0.1) ○", "closed (127.0.0.1) ×"}, 20s))
      << watch.Stdout() << watch.Stderr();
  watch.Signal(GetParam());
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(0)) << watch.Stderr();

  // Both rows were announced as unknown first, and the down row beeped.
  EXPECT_NE(watch.Stdout().find("loop (127.0.0.1) 不明"), std::string::npos);
  EXPECT_NE(watch.Stderr().find('\a'), std::string::npos);

  const std::string log = RunningLogText(started);
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

TEST_F(WatchProcessTest, ABadListFileGetsItsMessageAndExitCodeOne) {
  WriteFiles("znrq\r\nloop,127.0.0.1,,PING,,,,,,,,,,,\r\n");
  watch.Start({dir.File("list.ls2")});
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(1));
  EXPECT_NE(watch.Stderr().find("このファイルは「Tarnwick」のファイルではありません。"),
            std::string::npos)
      << watch.Stderr();
  EXPECT_EQ(watch.Stdout(), "");
}

TEST_F(WatchProcessTest, AnEmptyListIsRefusedWithExitCodeOne) {
  WriteFiles("ZNRQ\r\n");
  watch.Start({dir.File("list.ls2")});
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(1));
  EXPECT_NE(watch.Stderr().find("監視するコンピュータを一台以上追加してください。"),
            std::string::npos)
      << watch.Stderr();
}

}  // namespace
}  // namespace tarnwick::test
