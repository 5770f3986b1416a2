#include "BlackboxExporter.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/LoopbackPort.h"

extern char** environ;

namespace tarnwick::bench {
namespace {

using Steady = std::chrono::steady_clock;

constexpr const char* kConfig = R"(modules:
  icmp:
    prober: icmp
    timeout: 1s
    icmp:
      preferred_ip_protocol: ip4
)";

int ConnectTo(int port, bool blocking) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
  const sockaddr_in address = test::LoopbackEndpoint(port);
  const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (result == 0 || (!blocking && errno == EINPROGRESS)) return fd;
  ::close(fd);
  return -1;
}

// One probe request on its way: what is left to send, what came back.
struct Exchange {
  int fd = -1;
  std::string request;
  std::size_t sent = 0;
  std::string response;
  bool done = false;
};

// Sends what the socket takes and reads what came; done when the exporter
// closed the connection (HTTP/1.0) or it failed.
void Advance(Exchange& exchange, short revents) {
  if ((revents & POLLOUT) != 0 && exchange.sent < exchange.request.size()) {
    const ssize_t n = ::send(exchange.fd, exchange.request.data() + exchange.sent,
                             exchange.request.size() - exchange.sent, MSG_NOSIGNAL);
    if (n > 0) exchange.sent += static_cast<std::size_t>(n);
  }
  if ((revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
  char buffer[4096];
  const ssize_t n = ::recv(exchange.fd, buffer, sizeof buffer, 0);
  if (n > 0) {
    exchange.response.append(buffer, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EAGAIN) {
    exchange.done = true;
    ::close(exchange.fd);
  }
}

}  // namespace

BlackboxExporter::BlackboxExporter() {
  if (::access(kProgram, X_OK) != 0) return;
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bbe-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  std::ofstream(folder_ + "/blackbox.yml") << kConfig;
  port_ = test::UnusedLoopbackPort();
  std::string config = "--config.file=" + folder_ + "/blackbox.yml";
  std::string listen = "--web.listen-address=127.0.0.1:" + std::to_string(port_);
  std::string program = kProgram;
  char* argv[] = {program.data(), config.data(), listen.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&pid_, kProgram, &actions, nullptr, argv, environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pid_ > 0 && !AwaitListening()) port_ = 0;
}

BlackboxExporter::~BlackboxExporter() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool BlackboxExporter::AwaitListening() const {
  for (int tries = 0; tries < 100; ++tries) {
    if (const int fd = ConnectTo(port_, true); fd >= 0) {
      ::close(fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

double BlackboxExporter::CpuMs() const {
  double total = 0;
  const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    // The first field is the time on a CPU, in nanoseconds.
    unsigned long long onCpuNs = 0;
    if (std::ifstream(task.path() / "schedstat") >> onCpuNs) {
      total += static_cast<double>(onCpuNs) / 1e6;
    }
  }
  return total;
}

BlackboxExporter::Probes BlackboxExporter::ProbeAll(const std::vector<std::string>& targets) const {
  Probes probes;
  if (!running()) return probes;
  const double cpuBefore = CpuMs();
  const auto start = Steady::now();
  std::vector<Exchange> exchanges(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    exchanges[i].fd = ConnectTo(port_, false);
    exchanges[i].done = exchanges[i].fd < 0;
    exchanges[i].request =
        "GET /probe?module=icmp&target=" + targets[i] + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  }
  const auto deadline = start + std::chrono::seconds(30);
  for (;;) {
    std::vector<pollfd> waiting;
    std::vector<Exchange*> owners;
    for (Exchange& exchange : exchanges) {
      if (exchange.done) continue;
      const bool sending = exchange.sent < exchange.request.size();
      waiting.push_back({exchange.fd, static_cast<short>(sending ? POLLOUT : POLLIN), 0});
      owners.push_back(&exchange);
    }
    if (waiting.empty() || Steady::now() > deadline) break;
    if (::poll(waiting.data(), waiting.size(), 100) <= 0) continue;
    for (std::size_t i = 0; i < waiting.size(); ++i) {
      if (waiting[i].revents != 0) Advance(*owners[i], waiting[i].revents);
    }
  }
  probes.wallMs = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
  probes.cpuMs = CpuMs() - cpuBefore;
  probes.ok = true;
  for (Exchange& exchange : exchanges) {
    if (!exchange.done) ::close(exchange.fd);
    probes.ok = probes.ok && exchange.done && exchange.response.starts_with("HTTP/1.");
    probes.succeeded += exchange.response.find("\nprobe_success 1") != std::string::npos;
  }
  return probes;
}

}  // namespace tarnwick::bench
