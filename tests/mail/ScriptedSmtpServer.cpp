#include "ScriptedSmtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace tarnwick::test {
namespace {

constexpr int kSliceMs = 50;
constexpr int kPatienceMs = 10000;

UniqueFd BoundLoopbackSocket(int& port) {
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t length = sizeof address;
  if (!socket.valid() ||
      ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind a loopback socket");
  }
  port = ntohs(address.sin_port);
  return socket;
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd waiting{fd, POLLIN, 0};
  return ::poll(&waiting, 1, timeoutMs) == 1;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<ScriptedSmtpServer::Step> ScriptedSmtpServer::Accepting(int recipients) {
  std::vector<Step> script{Say("220 test.invalid ready\r\n"), Say("250 hello\r\n"),
                           Say("250 sender ok\r\n")};
  for (int i = 0; i < recipients; ++i)
    script.push_back(Say("250 recipient ok\r\n"));
  script.push_back(Say("354 go ahead\r\n"));
  script.push_back(Say("250 queued\r\n"));
  script.push_back(Say("221 bye\r\n"));
  return script;
}

ScriptedSmtpServer::ScriptedSmtpServer(std::vector<Step> script, int port)
    : script_(std::move(script)), port_(port) {
  listener_ = BoundLoopbackSocket(port_);
  if (::listen(listener_.get(), 4) != 0) throw std::runtime_error("cannot listen");
  thread_ = std::thread([this] { Run(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string ScriptedSmtpServer::address() const {
  return "127.0.0.1:" + std::to_string(port_);
}

void ScriptedSmtpServer::Run() {
  for (int waited = 0; !stop_ && waited < kPatienceMs; waited += kSliceMs) {
    if (!WaitReadable(listener_.get(), kSliceMs)) continue;
    UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid()) continue;
    accepted_ = true;
    const int on = 1;
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (Serve(client.get())) {
      while (ReadMore(client.get())) {
      }
    }
    return;
  }
}

// False when the connection has ended (closed by either side).
bool ScriptedSmtpServer::Serve(int client) {
  bool inData = false;
  for (std::size_t i = 0; i < script_.size(); ++i) {
    if (i > 0) {
      if (inData) {
        if (!ReadMessage(client)) return false;
        inData = false;
      } else {
        std::string line;
        if (!ReadLine(client, line)) return false;
        inData = line == "DATA" && !script_[i].packets.empty() &&
                 script_[i].packets.front().starts_with("354");
      }
    }
    if (!Perform(client, script_[i])) return false;
  }
  return true;
}

bool ScriptedSmtpServer::Perform(int client, const Step& step) {
  switch (step.kind) {
    case Step::Kind::Close:
      return false;
    case Step::Kind::Stall:
      while (!stop_)
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
      return false;
    case Step::Kind::Silent:
      while (ReadMore(client)) {
      }
      return false;
    case Step::Kind::Say:
      for (std::size_t p = 0; p < step.packets.size(); ++p) {
        if (p > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!SendAll(client, step.packets[p])) return false;
      }
      return true;
  }
  return false;
}

bool ScriptedSmtpServer::ReadMore(int client) {
  for (int waited = 0; waited < kPatienceMs; waited += kSliceMs) {
    if (stop_) return false;
    if (!WaitReadable(client, kSliceMs)) continue;
    char buffer[65536];
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    std::lock_guard lock(mutex_);
    received_.append(buffer, static_cast<std::size_t>(n));
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
  return false;
}

bool ScriptedSmtpServer::ReadLine(int client, std::string& line) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        line = pending_.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending_.erase(0, end + 1);
        commands_.push_back(line);
        return true;
      }
    }
    if (!ReadMore(client)) return false;
  }
}

bool ScriptedSmtpServer::ReadMessage(int client) {
  static constexpr std::string_view kEnd = "\r\n.\r\n";
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      const std::size_t end = pending_.find(kEnd);
      if (end != std::string::npos) {
        message_ = pending_.substr(0, end + kEnd.size());
        pending_.erase(0, end + kEnd.size());
        return true;
      }
    }
    if (!ReadMore(client)) return false;
  }
}

std::string ScriptedSmtpServer::ReceivedSoFar() {
  std::lock_guard lock(mutex_);
  return received_;
}

std::string ScriptedSmtpServer::Received() {
  if (thread_.joinable()) thread_.join();
  return received_;
}

std::vector<std::string> ScriptedSmtpServer::Commands() {
  if (thread_.joinable()) thread_.join();
  // Lines read after the script ran out were never parsed: add them.
  std::string rest = pending_;
  pending_.clear();
  for (std::size_t end; (end = rest.find('\n')) != std::string::npos; rest.erase(0, end + 1)) {
    std::string line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    commands_.push_back(line);
  }
  return commands_;
}

std::string ScriptedSmtpServer::MessageData() {
  if (thread_.joinable()) thread_.join();
  return message_;
}

bool ScriptedSmtpServer::StopAndReportAccepted() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return accepted_;
}

int ClosedLoopbackPort() {
  int port = 0;
  // Bound but never listening: connections to it are refused.
  static std::vector<UniqueFd> keptBound;
  keptBound.push_back(BoundLoopbackSocket(port));
  return port;
}

}  // namespace tarnwick::test
