#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/IcmpEcho.h"
#include "support/EchoResponder.h"
#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

std::uint32_t Address(const std::string& text) {
  return inet_addr(text.c_str());
}

struct Timed {
  IcmpStatus status;
  std::chrono::milliseconds took;
};

Timed TimedEcho(IcmpSocketKind kind, const std::string& address, int timeoutMs) {
  const auto start = SteadyClock::now();
  const IcmpStatus status = IcmpEcho(kind).Echo(Address(address), timeoutMs);
  const auto took = SteadyClock::now() - start;
  return {status, std::chrono::duration_cast<std::chrono::milliseconds>(took)};
}

// Opens datagram ICMP sockets to every group of the namespace.
void AllowDatagramPing(const test::NetNamespace& ns) {
  ns.SetSysctl("net.ipv4.ping_group_range", "0 2147483647");
}

// Makes `routedAddress(7)` draw "administratively prohibited" and
// `routedAddress(8)` "host unreachable" from the namespace, and answers pings
// to its own address with "network unreachable".
void MakeUnreachables(test::NetNamespace& ns) {
  ns.SetSysctl("net.ipv4.ip_forward", "1");
  ns.SetSysctl("net.ipv4.icmp_ratelimit", "0");
  ns.RunOrThrow({"ip", "route", "add", "prohibit", ns.routedAddress(7) + "/32"});
  ns.RunOrThrow({"ip", "route", "add", "unreachable", ns.routedAddress(8) + "/32"});
  ns.AddNftRule("input", "icmp type echo-request reject with icmp type net-unreachable");
}

TEST(IcmpEcho, BroadcastAndUnspecifiedDestinationsAreRefusedWithoutSending) {
  for (const IcmpSocketKind kind : {IcmpSocketKind::Automatic, IcmpSocketKind::Raw}) {
    EXPECT_EQ(IcmpEcho(kind).Echo(0xffffffffu, 1000), IcmpStatus::BadDestination);
    EXPECT_EQ(IcmpEcho(kind).Echo(0, 1000), IcmpStatus::BadDestination);
  }
}

TEST(IcmpEcho, LoopbackAnswers) {
  TARNWICK_REQUIRE_ROOT();
  EXPECT_TRUE(IcmpEcho::Available());
  for (const IcmpSocketKind kind : {IcmpSocketKind::Automatic, IcmpSocketKind::Raw}) {
    for (int i = 0; i < 20; ++i) {
      ASSERT_EQ(IcmpEcho(kind).Echo(Address("127.0.0.1"), 1000), IcmpStatus::Success);
    }
  }
}

TEST(IcmpEcho, SocketKindFollowsPingGroupRange) {
  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace closed;
  closed.SetSysctl("net.ipv4.ping_group_range", "1 0");
  closed.RunInside([] {
    IcmpSocketKind opened = IcmpSocketKind::Automatic;
    EXPECT_FALSE(IcmpEcho::OpenSocket(IcmpSocketKind::Datagram).valid());
    EXPECT_TRUE(IcmpEcho::OpenSocket(IcmpSocketKind::Automatic, &opened).valid());
    EXPECT_EQ(opened, IcmpSocketKind::Raw) << "root falls back on a raw socket";
  });
  test::NetNamespace open;
  AllowDatagramPing(open);
  open.RunInside([] {
    IcmpSocketKind opened = IcmpSocketKind::Automatic;
    EXPECT_TRUE(IcmpEcho::OpenSocket(IcmpSocketKind::Automatic, &opened).valid());
    EXPECT_EQ(opened, IcmpSocketKind::Datagram) << "the unprivileged kind comes first";
  });
}

// A client namespace that may use both socket kinds, and a target host
// behind it.
class IcmpEchoKinds : public ::testing::TestWithParam<IcmpSocketKind> {
 protected:
  void SetUp() override {
    TARNWICK_REQUIRE_ROOT();
    client_.emplace();
    AllowDatagramPing(*client_);
    target_.emplace(&*client_);
  }
  void TearDown() override {
    target_.reset();
    client_.reset();
  }

  // Runs one echo from inside the client namespace.
  Timed EchoFromClient(const std::string& address, int timeoutMs) {
    Timed result{IcmpStatus::GeneralFailure, 0ms};
    client_->RunInside([&] { result = TimedEcho(GetParam(), address, timeoutMs); });
    return result;
  }

  std::optional<test::NetNamespace> client_;
  std::optional<test::NetNamespace> target_;
};

TEST_P(IcmpEchoKinds, AnsweringHostsSucceedAtOnce) {
  EXPECT_EQ(EchoFromClient("127.0.0.1", 2000).status, IcmpStatus::Success);
  const Timed answered = EchoFromClient(target_->address(), 2000);
  EXPECT_EQ(answered.status, IcmpStatus::Success);
}

TEST_P(IcmpEchoKinds, SilentHostTimesOutAfterTheTimeout) {
  target_->IgnoreEchoRequests(true);
  const Timed silent = EchoFromClient(target_->address(), 300);
  EXPECT_EQ(silent.status, IcmpStatus::TimedOut);
  EXPECT_GE(silent.took, 300ms);
  target_->IgnoreEchoRequests(false);
  EXPECT_EQ(EchoFromClient(target_->address(), 2000).status, IcmpStatus::Success)
      << "the host comes back";
}

TEST_P(IcmpEchoKinds, UnreachableRepliesEndTheWaitEarly) {
  MakeUnreachables(*target_);
  struct Case {
    std::string address;
    IcmpStatus expected;
  };
  for (const Case& c : {Case{target_->routedAddress(7), IcmpStatus::DestinationHostUnreachable},
                        Case{target_->routedAddress(8), IcmpStatus::DestinationHostUnreachable},
                        Case{target_->address(), IcmpStatus::DestinationNetUnreachable}}) {
    // The status tells the reply ended the wait; a time-out would say so.
    const Timed refused = EchoFromClient(c.address, 3000);
    EXPECT_EQ(refused.status, c.expected) << c.address;
  }
}

TEST_P(IcmpEchoKinds, LateStrayAndDuplicateRepliesAreSkipped) {
  {
    test::EchoResponder noisy(*target_, {.delay = 0ms, .strayRepliesFirst = true, .copies = 3});
    EXPECT_EQ(EchoFromClient(target_->address(), 2000).status, IcmpStatus::Success);
    EXPECT_EQ(EchoFromClient(target_->address(), 2000).status, IcmpStatus::Success);
  }
  test::EchoResponder slow(*target_, {.delay = 400ms, .strayRepliesFirst = true});
  // Each reply arrives 400 ms after its request: the first attempt gives up
  // at 150 ms, and its reply reaches the second one, which must not take it.
  const Timed first = EchoFromClient(target_->address(), 150);
  const Timed second = EchoFromClient(target_->address(), 350);
  EXPECT_EQ(first.status, IcmpStatus::TimedOut);
  EXPECT_EQ(second.status, IcmpStatus::TimedOut);
  EXPECT_GE(second.took, 350ms) << "a stray reply must not end the wait either";
  EXPECT_EQ(EchoFromClient(target_->address(), 1500).status, IcmpStatus::Success);
  EXPECT_EQ(slow.requestsSeen(), 3);
}

TEST_P(IcmpEchoKinds, ConcurrentEchoesNeverTakeEachOthersReplies) {
  test::NetNamespace silent(&*client_);
  silent.IgnoreEchoRequests(true);
  std::atomic<bool> silentDone{false};
  std::atomic<int> answered{0};
  std::atomic<int> wrong{0};
  std::thread loud([&] {
    client_->EnterFromThisThread();
    while (!silentDone) {
      if (IcmpEcho(GetParam()).Echo(Address(target_->address()), 2000) == IcmpStatus::Success) {
        ++answered;
      } else {
        ++wrong;
      }
    }
  });
  for (int round = 0; round < 4; ++round) {
    const Timed quiet = EchoFromClient(silent.address(), 200);
    EXPECT_EQ(quiet.status, IcmpStatus::TimedOut) << "round " << round;
    EXPECT_GE(quiet.took, 200ms);
  }
  silentDone = true;
  loud.join();
  EXPECT_GT(answered, 10);
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(BothSocketKinds, IcmpEchoKinds,
                         ::testing::Values(IcmpSocketKind::Datagram, IcmpSocketKind::Raw),
                         [](const auto& param) {
                           return param.param == IcmpSocketKind::Raw ? "Raw" : "Datagram";
                         });

TEST(IcmpEchoFromHost, RawSocketSeesEveryPingOfTheHostAndSkipsThem) {
  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace answering;
  test::NetNamespace silent;
  silent.IgnoreEchoRequests(true);
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  auto pingUntilDone = [&](const std::string& address) {
    for (int n = 0; !done; ++n) {
      const Timed echo = TimedEcho(IcmpSocketKind::Raw, address, 2000);
      if (echo.status != IcmpStatus::Success) {
        ++wrong;
        ADD_FAILURE() << address << ": status " << static_cast<int>(echo.status) << " after "
                      << echo.took.count() << " ms, echo " << n;
      }
    }
  };
  std::thread loud(pingUntilDone, answering.address());
  std::thread loopback(pingUntilDone, "127.0.0.1");
  const Timed quiet = TimedEcho(IcmpSocketKind::Raw, silent.address(), 300);
  done = true;
  loud.join();
  loopback.join();
  EXPECT_EQ(quiet.status, IcmpStatus::TimedOut);
  EXPECT_GE(quiet.took, 300ms);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace tarnwick
