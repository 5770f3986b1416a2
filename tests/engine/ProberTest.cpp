#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProbePass.h"
#include "engine/Prober.h"
#include "platform/StopEvent.h"
#include "support/EchoResponder.h"
#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Time passes only when the prober would wait: it jumps to the deadline.
class JumpingClock final : public LoopClock {
 public:
  std::int64_t NowNs() const override { return now_; }
  int WaitMs(std::int64_t deadlineNs) override {
    now_ = std::max(now_.load(), deadlineNs);
    return 0;
  }

 private:
  std::atomic<std::int64_t> now_{1'000'000'000};
};

// One row's outcome: its results in attempt order.
using Results = std::vector<ProbeResult>;

// Commits a pass as the cycle's thread would: row by row, every attempt.
std::vector<Results> Commit(ProbePass& pass, std::size_t rows) {
  std::vector<Results> all(rows);
  for (std::size_t row = 0; row < rows; ++row) {
    pass.EnsureProbed(row);
    for (long long attempt = 1; pass.AwaitAttemptStart(row, attempt); ++attempt)
      all[row].push_back(pass.AwaitAttemptResult(row, attempt));
  }
  return all;
}

std::size_t Entries(const char* folder) {
  const auto range = std::filesystem::directory_iterator(folder);
  return static_cast<std::size_t>(std::distance(begin(range), end(range)));
}

const Results kAnswered{ProbeResult::Answered};
const Results kTwiceSilent{ProbeResult::NoAnswer, ProbeResult::NoAnswer};

ProbeTarget Ping(const std::string& address) {
  return {address, CheckMethod::Ping, 0};
}

class ProberKinds : public ::testing::TestWithParam<IcmpSocketKind> {
 protected:
  void SetUp() override {
    TARNWICK_REQUIRE_ROOT();
    client_.emplace();
    client_->SetSysctl("net.ipv4.ping_group_range", "0 2147483647");
    answering_.emplace(&*client_);
    answering_->RunOrThrow(
        {"ip", "addr", "add", answering_->routedAddress(1) + "/24", "dev", "lo"});
    refusing_.emplace(&*client_);
    refusing_->RunOrThrow({"ip", "addr", "add", refusing_->routedAddress(1) + "/24", "dev", "lo"});
    refusing_->SetSysctl("net.ipv4.icmp_ratelimit", "0");
    refusing_->SetSysctl("net.ipv4.icmp_msgs_burst", "100000");
    refusing_->AddNftRule("input", "icmp type echo-request reject with icmp type host-unreachable");
    // Its own namespace: the rejects above would use up the errors that the
    // kernel allows an unreachable route to send to the same peer.
    routeless_.emplace(&*client_);
    routeless_->SetSysctl("net.ipv4.ip_forward", "1");
    routeless_->RunOrThrow({"ip", "route", "add", "unreachable", routeless_->routedNetwork()});
  }
  void TearDown() override {
    routeless_.reset();
    refusing_.reset();
    answering_.reset();
    client_.reset();
  }

  std::optional<test::NetNamespace> client_;
  std::optional<test::NetNamespace> answering_;
  std::optional<test::NetNamespace> refusing_;
  std::optional<test::NetNamespace> routeless_;
};

// 300 rows, 256 at once: every other row's host answers late, after a reply
// with the previous sequence number (the one of the row before it), one
// with another identifier, and then three times; the other rows' hosts are
// unreachable (the last one by its route). Each answer and each error must
// reach its own attempt, and the errors end their attempts long before the
// time-out.
TEST_P(ProberKinds, RepliesAndErrorsReachTheirOwnAttemptsWith256InFlight) {
  test::EchoResponder noisy(*answering_, {.delay = 50ms, .strayRepliesFirst = true, .copies = 3});
  constexpr std::size_t kRows = 300;
  std::vector<ProbeTarget> targets;
  for (std::size_t row = 0; row < kRows; ++row) {
    const int host = static_cast<int>(row / 2 % 200) + 1;
    targets.push_back(
        Ping(row % 2 == 0 ? answering_->routedAddress(host) : refusing_->routedAddress(host)));
  }
  targets.back() = Ping(routeless_->routedAddress(1));
  std::vector<Results> results;
  auto took = 0ms;
  client_->RunInside([&] {
    Prober prober({.socketKind = GetParam()});
    ASSERT_TRUE(prober.PingAvailable());
    ASSERT_EQ(prober.socketKind(), GetParam());
    SystemClock clock;
    ProbePass pass(prober, clock, targets, {.inFlight = 256, .maxRetry = 1, .pingTimeoutMs = 8000});
    const auto start = std::chrono::steady_clock::now();
    pass.Start();
    results = Commit(pass, kRows);
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  });
  for (std::size_t row = 0; row < kRows; ++row)
    EXPECT_EQ(results[row], row % 2 == 0 ? kAnswered : kTwiceSilent) << "row " << row;
  EXPECT_LT(took, 4000ms) << "errors must end their attempts, not the time-out";
}

// The sequential mode's one echo at a time on the same socket: a reply that
// comes after its attempt gave up must not count for the next one.
TEST_P(ProberKinds, SequentialPingsSkipLateRepliesOnTheKeptSocket) {
  test::EchoResponder slow(*answering_, {.delay = 400ms, .strayRepliesFirst = true});
  const std::uint32_t host = inet_addr(answering_->routedAddress(3).c_str());
  client_->RunInside([&] {
    Prober prober({.socketKind = GetParam()});
    const std::size_t descriptors = Entries("/proc/self/fd");
    EXPECT_EQ(prober.Ping(host, 150, -1), IcmpStatus::TimedOut);
    EXPECT_EQ(prober.Ping(host, 350, -1), IcmpStatus::TimedOut);
    EXPECT_EQ(prober.Ping(host, 1500, -1), IcmpStatus::Success);
    for (const test::NetNamespace* refuser : {&*refusing_, &*routeless_}) {
      EXPECT_EQ(prober.Ping(inet_addr(refuser->routedAddress(9).c_str()), 3000, -1),
                IcmpStatus::DestinationHostUnreachable);
    }
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
  });
}

INSTANTIATE_TEST_SUITE_P(BothSocketKinds, ProberKinds,
                         ::testing::Values(IcmpSocketKind::Datagram, IcmpSocketKind::Raw),
                         [](const auto& param) {
                           return param.param == IcmpSocketKind::Raw ? "Raw" : "Datagram";
                         });

// Time-outs and retries on the deadline heap, with a clock that jumps to
// each deadline instead of waiting: silent pings and connects that are
// dropped get every attempt, each exactly one time-out after the last.
TEST(Prober, RetriesFollowTheirTimeOutsOnTheDeadlineHeap) {
  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace silent;
  silent.IgnoreEchoRequests(true);
  silent.AddNftRule("input", "tcp dport 9 drop");
  const test::ClosedPort closed;
  std::vector<ProbeTarget> targets;
  for (int row = 0; row < 12; ++row) {
    targets.push_back(row % 2 == 0 ? Ping(silent.address())
                                   : ProbeTarget{silent.address(), CheckMethod::TcpPort, 9});
  }
  targets.push_back({"127.0.0.1", CheckMethod::TcpPort, closed.port()});
  targets.push_back({"127.0.0.1", CheckMethod::TcpPort, 70000});
  targets.push_back(Ping("no address"));

  JumpingClock deadlines;
  std::mutex mutex;
  std::map<std::size_t, std::vector<std::int64_t>> starts;
  Prober prober({.clock = &deadlines});
  SystemClock clock;
  ProbePass pass(prober, clock, targets,
                 {.inFlight = 4,
                  .maxRetry = 2,
                  .pingTimeoutMs = 1000,
                  .portProbeBound = 45s,
                  .attemptStarted = [&](std::size_t row, long long) {
                    std::lock_guard lock(mutex);
                    starts[row].push_back(deadlines.NowNs());
                  }});
  pass.Start();
  const std::vector<Results> results = Commit(pass, targets.size());
  const Results thrice(3, ProbeResult::NoAnswer);
  for (std::size_t row = 0; row < targets.size(); ++row) {
    EXPECT_EQ(results[row], thrice) << "row " << row;
    // The refused connect ends when loopback delivers the reset, which this
    // clock does not wait for.
    if (row == 12) continue;
    const std::int64_t timeout = row > 12 ? 0 : row % 2 == 0 ? 1'000'000'000 : 45'000'000'000;
    for (std::size_t k = 1; k < starts[row].size(); ++k)
      EXPECT_EQ(starts[row][k] - starts[row][k - 1], timeout) << "row " << row << " attempt " << k;
  }
}

// A stop abandons what is in flight at once, nothing is recorded for it, and
// the next pass of the same prober runs normally.
TEST(Prober, StopAbandonsTheAttemptsInFlight) {
  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace silent;
  silent.IgnoreEchoRequests(true);
  const StopEvent stop;
  Prober prober({.stopFd = stop.fd()});
  SystemClock clock;
  const std::vector<ProbeTarget> targets(8, Ping(silent.address()));
  {
    ProbePass pass(prober, clock, targets, {.inFlight = 4, .pingTimeoutMs = 60000});
    pass.Start();
    ASSERT_TRUE(pass.AwaitAttemptStart(3, 1));
    stop.Signal();
    EXPECT_EQ(pass.AwaitAttemptResult(0, 1), ProbeResult::Interrupted);
    EXPECT_EQ(pass.AwaitAttemptStart(4, 1), std::nullopt) << "no attempt starts after a stop";
  }
  stop.Reset();
  ProbePass next(prober, clock, {Ping("127.0.0.1")}, {});
  next.Start();
  EXPECT_EQ(Commit(next, 1)[0], kAnswered);
}

// A row's commit may come before its probe would start: its decision about
// the pause then holds, whatever the pause says when the probe starts.
TEST(Prober, TheCommitsDecisionAboutThePauseOutranksTheProbers) {
  TARNWICK_REQUIRE_ROOT();
  Prober prober({});
  SystemClock clock;
  ProbePass pass(prober, clock, std::vector<ProbeTarget>(4, Ping("127.0.0.1")),
                 {.mayStart = [](std::size_t row) { return row >= 2; }});
  pass.EnsureProbed(1);
  EXPECT_FALSE(pass.LeaveUnprobed(2));
  pass.Start();
  const std::vector<bool> probed = {false, true, false, true};
  for (std::size_t row = 0; row < probed.size(); ++row)
    EXPECT_EQ(pass.AwaitAttemptStart(row, 1).has_value(), probed[row]) << "row " << row;
  EXPECT_TRUE(pass.LeaveUnprobed(3)) << "its status needs putting back";
}

// Descriptors and threads stay as they are over many passes, with names
// looked up; rows paused as their probe would start are probed only when
// their commit asks for it.
TEST(Prober, DescriptorsAndThreadsStayConstantOverPasses) {
  TARNWICK_REQUIRE_ROOT();
  test::LoopbackListener listening;
  const test::ClosedPort closed;
  std::vector<ProbeTarget> targets;
  for (int row = 0; row < 20; ++row)
    targets.push_back(Ping("127.0.0." + std::to_string(row + 1)));
  targets.push_back({"127.0.0.1", CheckMethod::TcpPort, listening.port()});
  targets.push_back({"127.0.0.1", CheckMethod::TcpPort, closed.port()});
  const auto paused = [](std::size_t row) { return row % 10 == 3; };

  Prober prober({});
  SystemClock clock;
  std::size_t descriptors = 0;
  std::size_t threads = 0;
  for (int round = 0; round < 10000; ++round) {
    ProbePass pass(prober, clock, targets,
                   {.inFlight = 16,
                    .refreshNames = true,
                    .lookUpName = [](std::string_view address) { return std::string(address); },
                    .mayStart = [&](std::size_t row) { return !paused(row); }});
    pass.Start();
    for (std::size_t row = 0; row < targets.size(); ++row) {
      ASSERT_EQ(pass.AwaitName(row), targets[row].address);
      // Half of the paused rows are found outside the pause at their commit.
      if (!paused(row) || row % 20 == 3) pass.EnsureProbed(row);
      const auto started = pass.AwaitAttemptStart(row, 1);
      ASSERT_EQ(started.has_value(), !paused(row) || row % 20 == 3) << "row " << row;
      if (!started) continue;
      const ProbeResult expected = row == 21 ? ProbeResult::NoAnswer : ProbeResult::Answered;
      ASSERT_EQ(pass.AwaitAttemptResult(row, 1), expected) << "row " << row;
    }
    pass.Cancel();
    listening.Accept(0);
    if (round == 0) {
      descriptors = Entries("/proc/self/fd");
      threads = Entries("/proc/self/task");
    }
  }
  EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
}

}  // namespace
}  // namespace tarnwick
