#include "support/SmtpSink.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/ProcessRunner.h"

namespace tarnwick::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 15000;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The first line the server prints: its port.
int ReadPort(int fd) {
  std::string line;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{fd, POLLIN, 0};
    if (::poll(&waiting, 1, 100) != 1) continue;
    char c = 0;
    if (::read(fd, &c, 1) != 1) break;
    line += c;
  }
  try {
    return std::stoi(line);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

SmtpSink::SmtpSink(const std::vector<std::string>& options) {
  int inputPipe[2];
  int outputPipe[2];
  if (::pipe2(inputPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  UniqueFd childInput(inputPipe[0]);
  input_.reset(inputPipe[1]);
  if (::pipe2(outputPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  UniqueFd output(outputPipe[0]);
  UniqueFd childOutput(outputPipe[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childInput.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, childOutput.get(), STDOUT_FILENO);
  std::vector<std::string> arguments{
      kPython, ProcessRunner::SourceDir() + "/tests/support/smtp_sink.py", dir_.path()};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<std::string> environment = ProcessRunner::ChildEnvironment();
  const int spawned = ::posix_spawn(&pid_, kPython, &actions, nullptr, Pointers(arguments).data(),
                                    Pointers(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + std::string(kPython));
  }
  childInput.reset();
  childOutput.reset();
  port_ = ReadPort(output.get());
  if (port_ <= 0) {
    Stop();
    throw std::runtime_error("the SMTP sink did not report its port");
  }
}

SmtpSink::~SmtpSink() {
  Stop();
}

void SmtpSink::Stop() {
  if (pid_ <= 0) return;
  input_.reset();  // the sink stops when its input closes
  for (int waited = 0; waited < 5000; waited += 20) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string SmtpSink::address() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> SmtpSink::WaitForMessages(std::size_t count, int timeoutMs) const {
  std::vector<std::string> messages;
  for (int waited = 0;; waited += 20) {
    messages.clear();
    if (DIR* folder = ::opendir(dir_.path().c_str())) {
      while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.ends_with(".eml")) messages.push_back(dir_.File(name));
      }
      ::closedir(folder);
    }
    if (messages.size() >= count || waited >= timeoutMs) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::sort(messages.begin(), messages.end());
  return messages;
}

}  // namespace tarnwick::test
