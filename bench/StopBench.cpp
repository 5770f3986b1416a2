// How soon tarnwick-watch ends after SIGTERM, in each phase of a watch: a
// plain timing program (the figures are a process's exit, not a loop). Each
// phase runs the real watcher several times and prints the median and the
// worst time from the signal to the reaped exit. Goal: within 50 ms where no
// alert is pending, with and without --metrics; within the 5-second stop
// grace while a mail waits for a server that never answers.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "platform/UniqueFd.h"
#include "support/LoopbackListener.h"
#include "support/TempDir.h"
#include "support/WatchProcess.h"

extern char** environ;

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::TempDir;

constexpr int kRuns = 5;

// A loopback listener whose accept queue is full: further connection
// attempts get no answer at all, so a port probe of it stays in flight.
class FullBacklog {
 public:
  FullBacklog() {
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(listener_.get(), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < 2; ++i) {
      UniqueFd& filler =
          fillers_.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
      ::connect(filler.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    std::this_thread::sleep_for(50ms);  // the handshakes complete into the queue
  }
  int port() const { return port_; }

 private:
  UniqueFd listener_;
  std::vector<UniqueFd> fillers_;
  int port_ = 0;
};

struct Phase {
  std::string name;
  std::string list;
  std::string registry;
  bool metrics = false;
  // What standard output shows once the phase has begun, and how long after
  // it the signal goes.
  std::string ready;
  std::chrono::milliseconds settle{0};
};

std::string Row(const std::string& service, int port, bool byMail = false) {
  return "pc,127.0.0.1,," + service + "," + (port > 0 ? std::to_string(port) : "") + ",,," +
         (byMail ? Cp932FromUtf8("○") : "") + ",,,,,,,\r\n";
}

// Milliseconds from SIGTERM to the reaped exit; negative when the run failed.
double OneRun(const Phase& phase) {
  TempDir dir;
  const std::string watcher = dir.File("tarnwick-watch");
  test::WatchProcess::CopyInto(dir, TARNWICK_WATCH_PATH);
  TempDir::WriteFile(dir.File("registry.reg"), phase.registry);
  TempDir::WriteFile(dir.File("list.ls2"), "ZNRQ\r\n" + phase.list);

  std::vector<std::string> arguments = {watcher};
  if (phase.metrics) arguments.insert(arguments.end(), {"--metrics", "0"});
  arguments.push_back(dir.File("list.ls2"));
  std::vector<std::string> environment = {"TARNWICK_REGISTRY=" + dir.File("registry.reg"),
                                          "TARNWICK_SYSLOG_SOCKET=" + dir.File("no-log")};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (!text.starts_with("TARNWICK_")) environment.push_back(text);
  }
  const auto pointers = [](std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts)
      result.push_back(text.data());
    result.push_back(nullptr);
    return result;
  };
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = dir.File("stdout");
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  auto argv = pointers(arguments);
  auto envp = pointers(environment);
  const int spawned =
      posix_spawn(&pid, watcher.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;

  const auto giveUp = Clock::now() + 20s;
  while (TempDir::ReadFile(out).find(phase.ready) == std::string::npos) {
    if (Clock::now() > giveUp) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(5ms);
  }
  std::this_thread::sleep_for(phase.settle);
  const auto signalled = Clock::now();
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const auto ended = Clock::now();
  if (!WIFEXITED(status)) return -1;
  return std::chrono::duration<double, std::milli>(ended - signalled).count();
}

void Measure(const Phase& phase) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run)
    times.push_back(OneRun(phase));
  std::sort(times.begin(), times.end());
  if (times.front() < 0) {
    std::printf("%-44s failed\n", phase.name.c_str());
    return;
  }
  std::printf("%-44s median %8.1f ms   worst %8.1f ms\n", phase.name.c_str(), times[kRuns / 2],
              times.back());
}

std::string Registry(const std::vector<std::pair<std::string, std::string>>& texts = {}) {
  return test::WatchProcess::RegistryText(
      {{"CheckInterval", 1}, {"MaxRetry", 0}, {"PingTimeOut", 1000}, {"RunningLog", 1}}, texts);
}

}  // namespace
}  // namespace tarnwick

int main() {
  using namespace tarnwick;
  const FullBacklog silentPort;
  const test::LoopbackListener silentMailServer;
  const std::string unknown = Cp932FromUtf8("不明");
  const std::string up = Utf8FromCp932(Cp932FromUtf8("○"));
  for (const bool metrics : {false, true}) {
    const std::string with = metrics ? ", --metrics" : "";
    Measure(
        {"between passes" + with, Row("PING", 0), Registry(), metrics, "(127.0.0.1) " + up, 100ms});
    Measure({"during a port probe" + with, Row("CUSTOM", silentPort.port()), Registry(), metrics,
             "(127.0.0.1) 不明", 300ms});
  }
  // A down row whose mail meets a server that accepts and never greets.
  Measure({"mail pending (stop grace 5 s)", Row("CUSTOM", 1, true),
           Registry({{"SmtpServer", "127.0.0.1:" + std::to_string(silentMailServer.port())},
                     {"MailFrom", "watch@example.org"},
                     {"MailTo", "admin@example.org"}}),
           false, "(127.0.0.1) 不明", 500ms});
  return 0;
}
