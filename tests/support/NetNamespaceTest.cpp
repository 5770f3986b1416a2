#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <memory>
#include <set>

#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"

namespace tarnwick::test {
namespace {

bool NamespaceExists(const std::string& name) {
  const std::string list = RunCommand({"ip", "netns", "list"}).output;
  return list.find(name + " ") != std::string::npos || list.find(name + "\n") != std::string::npos;
}

// Any of three pings answered: a loaded machine may lose one.
bool Answers(const std::string& address) {
  return RunCommand({"ping", "-c", "3", "-i", "0.2", "-W", "1", address}).ok();
}

bool Silent(const std::string& address) {
  return !RunCommand({"ping", "-c", "1", "-W", "1", address}).ok();
}

TEST(NetNamespace, TearDownRemovesEverythingItMadeAndStarted) {
  TARNWICK_REQUIRE_ROOT();
  auto ns = std::make_unique<NetNamespace>();
  const std::string name = ns->name();
  const std::string link = ns->upstreamInterface();
  const pid_t sleeper = ns->StartBackground({"sleep", "60"});
  EXPECT_TRUE(ns->IsRunning(sleeper));
  EXPECT_TRUE(NamespaceExists(name));
  EXPECT_TRUE(Answers(ns->address()));
  ns.reset();
  EXPECT_FALSE(NamespaceExists(name));
  EXPECT_FALSE(RunCommand({"ip", "link", "show", link}).ok());
  EXPECT_EQ(::kill(sleeper, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(NetNamespace, InstancesHoldDistinctSlotsAndAnswerOnTheirOwnAddresses) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace a;
  NetNamespace b;
  NetNamespace c;
  EXPECT_EQ(std::set<int>({a.slot(), b.slot(), c.slot()}).size(), 3u);
  for (const NetNamespace* ns : {&a, &b, &c}) {
    EXPECT_EQ(ns->address(), "198.18." + std::to_string(ns->slot()) + ".2");
    EXPECT_TRUE(Answers(ns->address())) << ns->name();
  }
  b.SetLinkUp(false);
  EXPECT_TRUE(Silent(b.address()));
  b.SetLinkUp(true);
  EXPECT_TRUE(Answers(b.address()));
}

TEST(NetNamespace, CommandsSysctlsAndRulesApplyInsideOnly) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace ns;
  EXPECT_EQ(RunCommand({"sysctl", "-n", "net.ipv4.icmp_echo_ignore_all"}).output, "0\n");
  ns.IgnoreEchoRequests(true);
  EXPECT_EQ(ns.Run({"sysctl", "-n", "net.ipv4.icmp_echo_ignore_all"}).output, "1\n");
  EXPECT_EQ(RunCommand({"sysctl", "-n", "net.ipv4.icmp_echo_ignore_all"}).output, "0\n");
  EXPECT_TRUE(Silent(ns.address()));
  ns.IgnoreEchoRequests(false);

  ns.AddNftRule("input", "icmp type echo-request drop");
  EXPECT_TRUE(Silent(ns.address()));
  ns.FlushNftRules();
  EXPECT_TRUE(Answers(ns.address()));

  EXPECT_EQ(ns.Run({"sh", "-c", "exit 3"}).exitCode, 3);
  EXPECT_THROW(ns.RunOrThrow({"false"}), std::runtime_error);
}

TEST(NetNamespace, ChainedNamespaceHangsBelowItsUpstream) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace outer;
  NetNamespace inner(&outer);
  EXPECT_TRUE(outer.Run({"ping", "-c", "1", "-W", "1", inner.address()}).ok());
  EXPECT_FALSE(RunCommand({"ip", "link", "show", inner.upstreamInterface()}).ok())
      << "the upstream end lives in the outer namespace";
  EXPECT_TRUE(outer.Run({"ip", "link", "show", inner.upstreamInterface()}).ok());
}

TEST(NetNamespace, ThreadsEnterButTheMainThreadIsRefused) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace ns;
  EXPECT_THROW(ns.EnterFromThisThread(), std::logic_error);
  std::string links;
  ns.RunInside([&] { links = RunCommand({"ip", "-o", "link", "show"}).output; });
  EXPECT_NE(links.find(ns.interface()), std::string::npos) << "children of the thread are inside";
  EXPECT_THROW(ns.RunInside([] { throw std::runtime_error("inside"); }), std::runtime_error);
}

}  // namespace
}  // namespace tarnwick::test
