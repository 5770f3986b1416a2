// tarnwick-watch --metrics as a user runs it: bad options, the shipped
// service unit and rules checked by the real tools, and a real Prometheus
// server that watches a namespace host go down and come back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "platform/UniqueFd.h"
#include "support/HttpGet.h"
#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"
#include "support/WatchProcess.h"

extern char** environ;

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// A connection that sends nothing.
UniqueFd ConnectOnly(int port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return UniqueFd();
  }
  return fd;
}

std::string PingLine(const std::string& utf8Name, const std::string& address) {
  return Cp932FromUtf8(utf8Name) + "," + address + ",,PING,,,,,,,,,,,\r\n";
}

class MetricsProcessTest : public ::testing::Test {
 protected:
  void WriteFiles(const std::string& rows) {
    TempDir::WriteFile(
        dir.File("registry.reg"),
        WatchProcess::RegistryText({{"CheckInterval", 0}, {"MaxRetry", 0}, {"PingTimeOut", 200}}));
    TempDir::WriteFile(dir.File("list.ls2"), "ZNRQ\r\n" + rows);
  }

  TempDir dir;
  SyslogReceiver syslog;
  WatchProcess watch{
      dir,
      TARNWICK_WATCH_PATH,
      {"TARNWICK_REGISTRY=" + dir.File("registry.reg"), "TARNWICK_SYSLOG_SOCKET=" + syslog.path()}};
};

TEST_F(MetricsProcessTest, BadMetricsAddressesEndWithAClearErrorBeforeAnyWatch) {
  WriteFiles(PingLine("loop", "127.0.0.1"));
  LoopbackListener taken;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"localhost:9561", "--metrics"},
      {"127.0.0.1:99999", "--metrics"},
      {"127.0.0.1:" + std::to_string(taken.port()), "メトリクスを公開できません"},
      {"127.0.0.1:0 without its module", "tarnwick-metrics.so"}};
  for (auto [address, message] : cases) {
    TempDir runDir;
    WatchProcess run(runDir, TARNWICK_WATCH_PATH,
                     {"TARNWICK_REGISTRY=" + dir.File("registry.reg")});
    if (address.ends_with(" without its module")) {
      address.erase(address.find(' '));
      std::filesystem::remove(runDir.File("tarnwick-metrics.so"));
    }
    ASSERT_TRUE(run.Start({"--metrics", address, dir.File("list.ls2")}));
    EXPECT_EQ(run.Exited(10s), std::optional<int>(1)) << address;
    EXPECT_NE(run.Stderr().find(message), std::string::npos) << address << run.Stderr();
    EXPECT_EQ(run.Stdout(), "");
  }
}

// Connections that never finish a request must not hold every worker of the
// endpoint: a scrape beside 200 of them and an HTTP/0.9 request is answered
// (HttpGet gives up after five seconds; the server's own wait was 30).
TEST_F(MetricsProcessTest, IdleConnectionsDoNotStarveAScrape) {
  WriteFiles(PingLine("loop", "127.0.0.1"));
  ASSERT_TRUE(watch.Start({"--metrics", "127.0.0.1:0", dir.File("list.ls2")}));
  ASSERT_TRUE(watch.WaitForOutput({"/metrics\n"}, 10s)) << watch.Stderr();
  std::smatch port;
  const std::string out = watch.Stdout();
  ASSERT_TRUE(std::regex_search(out, port, std::regex("http://127\\.0\\.0\\.1:(\\d+)/metrics")));
  const int metricsPort = std::stoi(port[1]);

  std::vector<UniqueFd> idle;
  for (int i = 0; i < 200; ++i) {
    idle.emplace_back(ConnectOnly(metricsPort));
    ASSERT_TRUE(idle.back().valid());
  }
  const std::string http09 = "GET /metrics\r\n";
  idle.emplace_back(ConnectOnly(metricsPort));
  ASSERT_EQ(::send(idle.back().get(), http09.data(), http09.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(http09.size()));
  std::this_thread::sleep_for(200ms);
  const auto body = HttpGet(metricsPort, "/metrics");
  ASSERT_TRUE(body.has_value());
  EXPECT_NE(body->find("tarnwick_passes_total"), std::string::npos);
}

TEST(ShippedFilesTest, PassTheirOwnToolsChecks) {
  TempDir dir;
  // The unit as installed, but starting the executable of the build tree.
  TempDir::WriteFile(dir.File("tarnwick-watch@office.ls2.service"),
                     TempDir::ReadFile(TARNWICK_SERVICE_UNIT));
  const std::string prometheus = std::string(TARNWICK_SOURCE_DIR) + "/contrib/prometheus/";
  // The unit's Documentation= names the manual page, not yet installed.
  ::setenv("MANPATH", TARNWICK_MAN_DIR, 1);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"systemd-analyze", "verify",
                                 dir.File("tarnwick-watch@office.ls2.service")},
        // The sandbox's exposure, at most 2.5 of 10.
        {"systemd-analyze", "security", "--offline=true", "--threshold=25",
         dir.File("tarnwick-watch@office.ls2.service")},
        {"promtool", "check", "rules", prometheus + "tarnwick.rules.yml"},
        {"promtool", "test", "rules", prometheus + "tarnwick.rules.test.yml"},
        {"promtool", "check", "config", prometheus + "prometheus.yml"}}) {
    const CommandResult result = RunCommand(command);
    EXPECT_TRUE(result.ok()) << command[0] << " " << command[2] << "\n" << result.output;
    // systemd-analyze only warns of unknown keys.
    if (command[1] == "verify") {
      EXPECT_EQ(result.output, "");
    }
  }
}

// A Prometheus server of the test's own on loopback, scraping every second.
class PrometheusServer {
 public:
  PrometheusServer(const TempDir& dir, const std::string& target) : port_(ClosedPort().port()) {
    TempDir::WriteFile(dir.File("prometheus.yml"),
                       "global: {scrape_interval: 1s}\nscrape_configs: [{job_name: tarnwick, "
                       "static_configs: [{targets: ['127.0.0.1:" +
                           target + "']}]}]\n");
    std::vector<std::string> arguments = {
        "prometheus", "--config.file=" + dir.File("prometheus.yml"),
        "--storage.tsdb.path=" + dir.File("tsdb"), "--log.level=error",
        "--web.listen-address=127.0.0.1:" + std::to_string(port_)};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "prometheus", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~PrometheusServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool started() const { return pid_ > 0; }

  // Polls for at most 15 seconds until tarnwick_computer_up of the computer
  // `name` has `value` ("1", "0").
  bool WaitForUp(const std::string& name, const std::string& value) const {
    const std::regex sample("\"name\":\"" + name + "\"[^}]*\\},\"value\":\\[[^,]+,\"" + value);
    for (auto end = std::chrono::steady_clock::now() + 15s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(250ms)) {
      const auto json = HttpGet(port_, "/api/v1/query?query=tarnwick_computer_up");
      if (json && std::regex_search(*json, sample)) return true;
    }
    return false;
  }

 private:
  int port_;
  pid_t pid_ = -1;
};

TEST_F(MetricsProcessTest, PrometheusSeesAHostGoDownAndComeBack) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace host;
  // A second row that never answers spaces the passes by its time-out.
  WriteFiles(PingLine("東京の計算機", host.address()) + PingLine("silent", host.routedAddress(9)));
  ASSERT_TRUE(watch.Start({"--metrics", "127.0.0.1:0", dir.File("list.ls2")}));
  ASSERT_TRUE(watch.WaitForOutput({"/metrics\n", "東京の計算機 (" + host.address() + ") ○"}, 10s))
      << watch.Stdout() << watch.Stderr();
  std::smatch port;
  const std::string out = watch.Stdout();
  ASSERT_TRUE(std::regex_search(out, port, std::regex("http://127\\.0\\.0\\.1:(\\d+)/metrics")));

  PrometheusServer prometheus(dir, port[1]);
  ASSERT_TRUE(prometheus.started());
  EXPECT_TRUE(prometheus.WaitForUp("東京の計算機", "1"));
  host.IgnoreEchoRequests(true);
  EXPECT_TRUE(prometheus.WaitForUp("東京の計算機", "0"));
  host.IgnoreEchoRequests(false);
  EXPECT_TRUE(prometheus.WaitForUp("東京の計算機", "1"));

  watch.Signal(SIGTERM);
  EXPECT_EQ(watch.Exited(10s), std::optional<int>(0)) << watch.Stderr();
}

}  // namespace
}  // namespace tarnwick::test
