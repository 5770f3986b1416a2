#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace tarnwick::test {

// What a finished command left: its exit status (-1 when it could not be
// started or did not exit normally) and its standard output and error.
struct CommandResult {
  int exitCode = -1;
  std::string output;
  bool ok() const { return exitCode == 0; }
};

// Runs a program (looked up in PATH, no shell) and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv);

// A real host for end-to-end tests: a network namespace of its own, joined
// to its upstream (the test's own namespace, or another NetNamespace) by a
// veth pair. Needs root; call TARNWICK_REQUIRE_ROOT() first.
//
// Each instance takes a slot N (0..255) that no other instance on the machine
// holds at the time (a lock file in /run/tarnwick-netns), and gets:
//   name()               "tnw-<pid>-<N>"
//   upstreamAddress()    198.18.N.1/30 on upstreamInterface() "tnw<N>u"
//   address()            198.18.N.2/30 on interface() "tnw<N>n", loopback up
//   routedAddress(k)     198.19.N.k: the upstream routes 198.19.N.0/24 via the
//                        namespace, which has no route of its own for it (add
//                        one with Run(), e.g. "ip route add prohibit ...").
// The namespace has no default route, so nothing sent inside it can reach
// anything but its upstream, and IPv6 is off inside it.
//
// Create and destroy instances on a thread that is in the test's own
// namespace (the programs it runs inherit the calling thread's namespace).
//
// The destructor stops what StartBackground started, kills anything else
// still inside, deletes the veth pair and the namespace. Namespaces left by a
// test process that died without its destructors are swept away by the next
// instance created.
class NetNamespace {
 public:
  // Throws std::runtime_error, leaving nothing behind, when setup fails.
  NetNamespace() : NetNamespace(nullptr) {}
  // Joined to `*upstream` instead of the test's namespace (nullptr: the
  // test's); `*upstream` must outlive this one.
  explicit NetNamespace(const NetNamespace* upstream);
  ~NetNamespace();
  NetNamespace(const NetNamespace&) = delete;
  NetNamespace& operator=(const NetNamespace&) = delete;

  const std::string& name() const { return name_; }
  int slot() const { return slot_; }
  std::string address() const;
  std::string upstreamAddress() const;
  std::string routedAddress(int host) const;
  std::string routedNetwork() const;  // "198.19.N.0/24"
  const std::string& interface() const { return interface_; }
  const std::string& upstreamInterface() const { return upstreamInterface_; }

  // Runs a program inside the namespace ("ip netns exec") and waits for it.
  CommandResult Run(const std::vector<std::string>& argv) const;
  // The same, throwing std::runtime_error with the output when it fails.
  void RunOrThrow(const std::vector<std::string>& argv) const;

  // sysctl inside the namespace, e.g. SetSysctl("net.ipv4.ip_forward", "1").
  void SetSysctl(const std::string& key, const std::string& value) const;
  // net.ipv4.icmp_echo_ignore_all: a host that goes silent to ping.
  void IgnoreEchoRequests(bool ignore) const;
  // Link state of the namespace's end of the veth pair; bringing it up
  // returns once packets pass again.
  void SetLinkUp(bool up) const;

  // Adds a rule to chain "input", "output" or "forward" (policy accept) of
  // the namespace's table "inet tarnwick", e.g.
  // AddNftRule("input", "tcp dport 9 drop").
  void AddNftRule(const std::string& chain, const std::string& rule);
  // Removes every rule added so far; the chains stay, empty.
  void FlushNftRules();

  // Starts a program inside the namespace without waiting; its output goes
  // to `logFile` (appended) or nowhere. Returns its pid.
  pid_t StartBackground(const std::vector<std::string>& argv, const std::string& logFile = "");
  // SIGTERM, then SIGKILL after `grace`; reaps it. False when `pid` is not
  // one of ours or had already ended.
  bool StopBackground(pid_t pid, std::chrono::milliseconds grace = std::chrono::seconds(2));
  // Whether a program started here is still running.
  bool IsRunning(pid_t pid);

  // Moves the calling thread into the namespace for good, so that sockets it
  // opens afterwards live there. Refuses the process's main thread.
  void EnterFromThisThread() const;
  // Runs `work` on a fresh thread inside the namespace and waits for it;
  // rethrows what it throws.
  void RunInside(const std::function<void()>& work) const;

 private:
  void SetUp();
  void TearDown() noexcept;
  void TakeSlot();
  void EnsureNftTable();
  void WaitUntilLinkCarries() const;
  CommandResult RunUpstreamIp(std::vector<std::string> args) const;
  void RunUpstreamIpOrThrow(std::vector<std::string> args) const;

  const NetNamespace* upstream_ = nullptr;
  int slot_ = -1;
  UniqueFd slotLock_;
  std::string name_;
  std::string interface_;
  std::string upstreamInterface_;
  bool created_ = false;
  bool nftReady_ = false;
  std::vector<pid_t> background_;
};

}  // namespace tarnwick::test
