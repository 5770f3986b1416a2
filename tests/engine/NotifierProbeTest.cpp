#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/Notifier.h"
#include "platform/Messages.h"
#include "platform/UniqueFd.h"
#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

template <typename Probe>
std::chrono::milliseconds TimeOf(Probe&& probe) {
  const auto start = SteadyClock::now();
  probe();
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
}

class NotifierProbeTest : public ::testing::Test {
 protected:
  NotifierProbeTest() { settings.PingTimeOut = 300; }

  AppSettings settings;
  Notifier notifier{settings, NotifierOptions{.portProbeBound = 400ms}};
};

TEST_F(NotifierProbeTest, PingAnswersFromLoopbackAndTimesOutOnASilentHost) {
  TARNWICK_REQUIRE_ROOT();
  settings.PingTimeOut = 2000;
  EXPECT_TRUE(notifier.PingProbe("127.0.0.1"));
  test::NetNamespace host;
  EXPECT_TRUE(notifier.PingProbe(host.address()));
  host.IgnoreEchoRequests(true);
  settings.PingTimeOut = 300;
  const auto silent = TimeOf([&] { EXPECT_FALSE(notifier.PingProbe(host.address())); });
  EXPECT_GE(silent, 300ms) << "PingTimeOut is the wait";
  settings.PingTimeOut = 100;
  EXPECT_GE(TimeOf([&] { EXPECT_FALSE(notifier.PingProbe(host.address())); }), 100ms)
      << "the setting is read on every probe";
}

TEST_F(NotifierProbeTest, PingFailsAtOnceOnAnUnreachableReply) {
  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace router;
  router.SetSysctl("net.ipv4.ip_forward", "1");
  router.RunOrThrow({"ip", "route", "add", "unreachable", router.routedAddress(5) + "/32"});
  // A wait that only the reply can end in the life of the test: a probe
  // that ignored it would hang the test rather than race a stopwatch.
  settings.PingTimeOut = 3'600'000;
  EXPECT_FALSE(notifier.PingProbe(router.routedAddress(5)));
}

TEST_F(NotifierProbeTest, PortProbeConnectsAndClosesWithoutSendingAnything) {
  test::LoopbackListener listener;
  EXPECT_TRUE(notifier.PortProbe("127.0.0.1", listener.port()));
  const UniqueFd accepted = listener.Accept(1000);
  ASSERT_TRUE(accepted.valid());
  char byte = 0;
  EXPECT_EQ(::recv(accepted.get(), &byte, 1, 0), 0) << "closed at once, nothing sent";
}

TEST_F(NotifierProbeTest, ClosedPortFailsAtOnceAndDroppedSynsAtTheBound) {
  test::ClosedPort closed;
  // Refused, not timed out: with an hour's bound only the refusal ends it.
  Notifier patient{settings, NotifierOptions{.portProbeBound = std::chrono::hours(1)}};
  EXPECT_FALSE(patient.PortProbe("127.0.0.1", closed.port()));

  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace host;
  host.AddNftRule("input", "tcp dport 9 drop");
  const auto dropped = TimeOf([&] { EXPECT_FALSE(notifier.PortProbe(host.address(), 9)); });
  EXPECT_GE(dropped, 400ms);
  host.FlushNftRules();
  const pid_t server = host.StartBackground({"/usr/bin/python3", "-c",
                                             "import socket,time\n"
                                             "s=socket.socket()\n"
                                             "s.bind(('0.0.0.0',9))\n"
                                             "s.listen()\n"
                                             "time.sleep(60)\n"});
  bool answered = false;
  for (int i = 0; i < 50 && !answered; ++i) {
    answered = notifier.PortProbe(host.address(), 9);
    if (!answered) std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(answered) << "the host answers once the rule is gone and a server listens";
  EXPECT_TRUE(host.StopBackground(server));
}

TEST_F(NotifierProbeTest, PortsBeyondSixteenBitsDoNotWrapRound) {
  test::LoopbackListener listener;
  EXPECT_FALSE(notifier.PortProbe("127.0.0.1", listener.port() + 65536));
  EXPECT_FALSE(notifier.PortProbe("127.0.0.1", listener.port() - 65536));
  // What a row's port text "-80" or "99999" gives fails without a connection.
  EXPECT_FALSE(notifier.PortProbe("127.0.0.1", -80));
  EXPECT_FALSE(notifier.PortProbe("127.0.0.1", 99999));
  EXPECT_FALSE(listener.Accept(100).valid()) << "no connection reached the listener";
}

// Counts the IPv4 and ARP packets that leave any interface of the calling
// thread's namespace.
class OutgoingPacketCounter {
 public:
  OutgoingPacketCounter()
      : socket_(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL))) {
    if (!socket_.valid()) throw std::runtime_error("packet socket");
  }
  int CountFor(std::chrono::milliseconds window) {
    int outgoing = 0;
    const auto end = SteadyClock::now() + window;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - SteadyClock::now());
      pollfd watched{socket_.get(), POLLIN, 0};
      if (left <= 0ms || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) return outgoing;
      std::array<char, 2048> frame;
      sockaddr_ll from{};
      socklen_t length = sizeof from;
      if (::recvfrom(socket_.get(), frame.data(), frame.size(), 0,
                     reinterpret_cast<sockaddr*>(&from), &length) >= 0 &&
          from.sll_pkttype == PACKET_OUTGOING &&
          (from.sll_protocol == htons(ETH_P_IP) || from.sll_protocol == htons(ETH_P_ARP))) {
        ++outgoing;
      }
    }
  }

 private:
  UniqueFd socket_;
};

TEST_F(NotifierProbeTest, TextThatIsNoDottedAddressFailsWithoutSendingAnything) {
  const std::vector<std::string> nonsense = {"",
                                             "localhost",
                                             "1.2.3.4.5",
                                             "300.1.1.1",
                                             "1.2.3.x",
                                             "255.255.255.255",
                                             std::string("127.0.0.1\0junk", 14)};
  for (const auto& text : nonsense) {
    EXPECT_FALSE(notifier.PingProbe(text)) << text;
    EXPECT_FALSE(notifier.PortProbe(text, 80)) << text;
    EXPECT_EQ(notifier.RefreshComputerName(text), Text(Msg::UnknownHostname)) << text;
  }

  TARNWICK_REQUIRE_ROOT();
  test::NetNamespace isolated;
  isolated.RunInside([&] {
    OutgoingPacketCounter counter;
    for (const auto& text : nonsense) {
      notifier.PingProbe(text);
      notifier.PortProbe(text, 80);
      notifier.RefreshComputerName(text);
    }
    EXPECT_EQ(counter.CountFor(200ms), 0);
    notifier.PingProbe(isolated.upstreamAddress());
    EXPECT_GT(counter.CountFor(200ms), 0) << "the counter sees a real probe";
  });
}

// Whether every name look-up of this process is made by the process itself,
// from files or by its own DNS queries. A caching daemon or a resolver
// service would ask from outside the namespace the test puts the look-up in.
bool LookupsStayInTheProcess() {
  if (test::TempDir::Exists("/run/nscd/socket") || test::TempDir::Exists("/var/run/nscd/socket")) {
    return false;
  }
  std::istringstream config(test::TempDir::ReadFile("/etc/nsswitch.conf"));
  for (std::string line; std::getline(config, line);) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "hosts:") continue;
    while (words >> word) {
      if (word != "files" && word != "dns") return false;
    }
    return true;
  }
  return false;
}

TEST_F(NotifierProbeTest, ReverseLookupGivesTheNameOrUnknownHostname) {
  std::vector<std::string> names(4);
  std::vector<std::thread> lookups;
  for (auto& name : names) {
    lookups.emplace_back([&] { name = notifier.RefreshComputerName("127.0.0.1"); });
  }
  for (auto& lookup : lookups)
    lookup.join();
  for (const auto& name : names)
    EXPECT_EQ(name, "localhost") << "from /etc/hosts";

  TARNWICK_REQUIRE_ROOT();
  if (!LookupsStayInTheProcess()) GTEST_SKIP() << "a look-up here could leave the machine";
  // Inside a namespace without a route out, no resolver can be asked.
  test::NetNamespace isolated;
  isolated.RunInside([&] {
    EXPECT_EQ(notifier.RefreshComputerName(isolated.routedAddress(9)), Text(Msg::UnknownHostname));
  });
}

}  // namespace
}  // namespace tarnwick
