#include "support/NetNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tarnwick::test {
namespace {

constexpr int kSlotCount = 256;
constexpr const char* kLockFolder = "/run/tarnwick-netns";
constexpr const char* kNamePrefix = "tnw-";

std::string Join(const std::vector<std::string>& argv) {
  std::string joined;
  for (const auto& word : argv)
    joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const auto& word : argv)
    pointers.push_back(const_cast<char*>(word.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Spawns `argv` with stdin from /dev/null and stdout and stderr to `outputFd`
// (or /dev/null when it is -1). Returns the pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, int outputFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  const auto pointers = ArgvPointers(argv);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

int WaitExitCode(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

void KillProcessesInside(const std::string& name) {
  for (const auto& line : Lines(RunCommand({"ip", "netns", "pids", name}).output)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(line.c_str()));
    if (pid > 1) ::kill(pid, SIGKILL);
  }
}

// Removes namespaces of ours whose test process is gone: a crash skips
// destructors, and a leftover would hold its addresses for good.
void SweepStaleNamespaces() {
  static std::once_flag swept;
  std::call_once(swept, [] {
    static const std::regex ours(R"(^tnw-(\d+)-(\d+)\b)");
    for (const auto& line : Lines(RunCommand({"ip", "netns", "list"}).output)) {
      std::smatch match;
      if (!std::regex_search(line, match, ours)) continue;
      const pid_t owner = static_cast<pid_t>(std::stol(match[1].str()));
      if (owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
      const std::string name = match[0].str();
      KillProcessesInside(name);
      RunCommand({"ip", "netns", "del", name});
    }
  });
}

std::string SlotOctet(int slot) {
  return std::to_string(slot);
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv) {
  CommandResult result;
  std::array<int, 2> pipeEnds{};
  if (argv.empty() || ::pipe2(pipeEnds.data(), O_CLOEXEC) != 0) return result;
  UniqueFd readEnd(pipeEnds[0]);
  UniqueFd writeEnd(pipeEnds[1]);
  const pid_t pid = Spawn(argv, writeEnd.get());
  writeEnd.reset();
  if (pid < 0) {
    result.output = "cannot start " + argv[0];
    return result;
  }
  std::array<char, 4096> buffer;
  for (;;) {
    const ssize_t got = ::read(readEnd.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.output.append(buffer.data(), static_cast<std::size_t>(got));
  }
  result.exitCode = WaitExitCode(pid);
  return result;
}

NetNamespace::NetNamespace(const NetNamespace* upstream) : upstream_(upstream) {
  SetUp();
}

NetNamespace::~NetNamespace() {
  TearDown();
}

std::string NetNamespace::address() const {
  return "198.18." + SlotOctet(slot_) + ".2";
}

std::string NetNamespace::upstreamAddress() const {
  return "198.18." + SlotOctet(slot_) + ".1";
}

std::string NetNamespace::routedAddress(int host) const {
  return "198.19." + SlotOctet(slot_) + "." + std::to_string(host);
}

std::string NetNamespace::routedNetwork() const {
  return "198.19." + SlotOctet(slot_) + ".0/24";
}

void NetNamespace::SetUp() {
  SweepStaleNamespaces();
  TakeSlot();
  name_ = kNamePrefix + std::to_string(::getpid()) + "-" + SlotOctet(slot_);
  interface_ = "tnw" + SlotOctet(slot_) + "n";
  upstreamInterface_ = "tnw" + SlotOctet(slot_) + "u";
  try {
    // A veth of this slot can only be a leftover of a process that died.
    RunUpstreamIp({"link", "del", upstreamInterface_});
    const CommandResult added = RunCommand({"ip", "netns", "add", name_});
    if (!added.ok()) throw std::runtime_error("ip netns add " + name_ + ": " + added.output);
    created_ = true;
    // IPv6 would chatter (router solicitations, neighbour discovery) on every
    // new link; tests here count and filter IPv4 packets.
    Run({"sysctl", "-q", "-w", "net.ipv6.conf.all.disable_ipv6=1",
         "net.ipv6.conf.default.disable_ipv6=1"});
    RunUpstreamIpOrThrow({"link", "add", upstreamInterface_, "type", "veth", "peer", "name",
                          interface_, "netns", name_});
    RunUpstreamIpOrThrow({"addr", "add", upstreamAddress() + "/30", "dev", upstreamInterface_});
    RunUpstreamIpOrThrow({"link", "set", upstreamInterface_, "up"});
    RunOrThrow({"ip", "addr", "add", address() + "/30", "dev", interface_});
    RunOrThrow({"ip", "link", "set", interface_, "up"});
    RunOrThrow({"ip", "link", "set", "lo", "up"});
    RunUpstreamIpOrThrow({"route", "add", routedNetwork(), "via", address()});
    WaitUntilLinkCarries();
  } catch (...) {
    TearDown();
    throw;
  }
}

void NetNamespace::TakeSlot() {
  ::mkdir(kLockFolder, 0755);
  static std::atomic<int> next{0};
  const int start = static_cast<int>(::getpid() * 31 + next++ * 7) % kSlotCount;
  const std::string hostAddresses = RunCommand({"ip", "-o", "-4", "addr", "show"}).output +
                                    RunCommand({"ip", "-4", "route", "show"}).output;
  for (int i = 0; i < kSlotCount; ++i) {
    const int slot = (start + i) % kSlotCount;
    const std::string path = std::string(kLockFolder) + "/slot-" + SlotOctet(slot) + ".lock";
    UniqueFd lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock.valid() || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) continue;
    // Someone else's use of these addresses, outside our locks.
    const std::string ownLink = "tnw" + SlotOctet(slot) + "u";
    if (hostAddresses.find(ownLink) == std::string::npos &&
        (hostAddresses.find("198.18." + SlotOctet(slot) + ".") != std::string::npos ||
         hostAddresses.find("198.19." + SlotOctet(slot) + ".") != std::string::npos)) {
      continue;
    }
    slot_ = slot;
    slotLock_ = std::move(lock);
    return;
  }
  throw std::runtime_error("no free network namespace slot");
}

void NetNamespace::TearDown() noexcept {
  for (const pid_t pid : std::vector<pid_t>(background_))
    StopBackground(pid);
  if (created_) {
    KillProcessesInside(name_);
    RunUpstreamIp({"link", "del", upstreamInterface_});
    RunCommand({"ip", "netns", "del", name_});
    created_ = false;
  }
  slotLock_.reset();
}

CommandResult NetNamespace::RunUpstreamIp(std::vector<std::string> args) const {
  std::vector<std::string> argv{"ip"};
  if (upstream_ != nullptr) argv.insert(argv.end(), {"-n", upstream_->name()});
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv);
}

void NetNamespace::RunUpstreamIpOrThrow(std::vector<std::string> args) const {
  const CommandResult result = RunUpstreamIp(args);
  if (!result.ok()) throw std::runtime_error("ip " + Join(args) + ": " + result.output);
}

CommandResult NetNamespace::Run(const std::vector<std::string>& argv) const {
  std::vector<std::string> full{"ip", "netns", "exec", name_};
  full.insert(full.end(), argv.begin(), argv.end());
  return RunCommand(full);
}

void NetNamespace::RunOrThrow(const std::vector<std::string>& argv) const {
  const CommandResult result = Run(argv);
  if (!result.ok()) {
    throw std::runtime_error("in " + name_ + ": " + Join(argv) + ": " + result.output);
  }
}

void NetNamespace::SetSysctl(const std::string& key, const std::string& value) const {
  RunOrThrow({"sysctl", "-q", "-w", key + "=" + value});
}

void NetNamespace::IgnoreEchoRequests(bool ignore) const {
  SetSysctl("net.ipv4.icmp_echo_ignore_all", ignore ? "1" : "0");
}

void NetNamespace::SetLinkUp(bool up) const {
  RunOrThrow({"ip", "link", "set", interface_, up ? "up" : "down"});
  if (up) WaitUntilLinkCarries();
}

// The kernel switches a link that gains its carrier from the "noop" queue,
// which drops everything, to its real one only a moment later (up to a
// second); a probe sent in between would be lost.
void NetNamespace::WaitUntilLinkCarries() const {
  auto carries = [](const CommandResult& shown) {
    return shown.ok() && shown.output.find("LOWER_UP") != std::string::npos &&
           shown.output.find("qdisc noop") == std::string::npos;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!carries(RunUpstreamIp({"link", "show", "dev", upstreamInterface_})) ||
         !carries(Run({"ip", "link", "show", "dev", interface_}))) {
    if (std::chrono::steady_clock::now() >= deadline) {
      throw std::runtime_error("link " + upstreamInterface_ + " does not come up");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void NetNamespace::EnsureNftTable() {
  if (nftReady_) return;
  RunOrThrow({"nft", "add table inet tarnwick"});
  for (const char* hook : {"input", "output", "forward"}) {
    RunOrThrow({"nft", std::string("add chain inet tarnwick ") + hook + " { type filter hook " +
                           hook + " priority 0 ; policy accept ; }"});
  }
  nftReady_ = true;
}

void NetNamespace::AddNftRule(const std::string& chain, const std::string& rule) {
  EnsureNftTable();
  RunOrThrow({"nft", "add rule inet tarnwick " + chain + " " + rule});
}

void NetNamespace::FlushNftRules() {
  if (nftReady_) {
    for (const char* chain : {"input", "output", "forward"}) {
      RunOrThrow({"nft", std::string("flush chain inet tarnwick ") + chain});
    }
  }
}

pid_t NetNamespace::StartBackground(const std::vector<std::string>& argv,
                                    const std::string& logFile) {
  UniqueFd log;
  if (!logFile.empty()) {
    log.reset(::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!log.valid()) throw std::runtime_error("cannot open " + logFile);
  }
  // "ip netns exec" replaces itself with the program, so the pid is its own.
  std::vector<std::string> full{"ip", "netns", "exec", name_};
  full.insert(full.end(), argv.begin(), argv.end());
  const pid_t pid = Spawn(full, log.get());
  if (pid < 0) throw std::runtime_error("cannot start " + Join(argv));
  background_.push_back(pid);
  return pid;
}

bool NetNamespace::IsRunning(pid_t pid) {
  if (std::find(background_.begin(), background_.end(), pid) == background_.end()) return false;
  int status = 0;
  if (::waitpid(pid, &status, WNOHANG) == 0) return true;
  background_.erase(std::find(background_.begin(), background_.end(), pid));
  return false;
}

bool NetNamespace::StopBackground(pid_t pid, std::chrono::milliseconds grace) {
  if (!IsRunning(pid)) return false;
  ::kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + grace;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  background_.erase(std::find(background_.begin(), background_.end(), pid));
  return true;
}

void NetNamespace::EnterFromThisThread() const {
  if (::gettid() == ::getpid()) {
    throw std::logic_error("would move the whole test's main thread into " + name_);
  }
  const std::string path = "/run/netns/" + name_;
  const UniqueFd handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!handle.valid() || ::setns(handle.get(), CLONE_NEWNET) != 0) {
    throw std::runtime_error("cannot enter " + path);
  }
}

void NetNamespace::RunInside(const std::function<void()>& work) const {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      EnterFromThisThread();
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tarnwick::test
