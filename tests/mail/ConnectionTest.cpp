#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "ScriptedSmtpServer.h"
#include "mail/Connection.h"
#include "mail/ConnectionRegistry.h"
#include "mail/MailErrorCode.h"
#include "mail/MailTrace.h"
#include "platform/WinsockError.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using test::ScriptedSmtpServer;

constexpr auto kShortWait = 150ms;

std::string Port(const ScriptedSmtpServer& server) {
  return std::to_string(server.port());
}

// Reads `count` characters, waiting for each.
std::string ReadChars(connection* conn, std::size_t count) {
  std::string text;
  char c = 0;
  while (text.size() < count && connection::getchar(conn, false, c) == MailErrorCode::kOk) {
    text += c;
  }
  return text;
}

// What the server has received once it holds `size` bytes, or after two
// seconds; a size of 0 gives the kernel a moment to deliver anything at all.
std::string ReceivedOnce(ScriptedSmtpServer& server, std::size_t size) {
  for (int waited = 0; waited < 2000; waited += 10) {
    std::this_thread::sleep_for(10ms);
    if (size > 0 && server.ReceivedSoFar().size() >= size) break;
    if (size == 0 && waited >= 100) break;
  }
  return server.ReceivedSoFar();
}

TEST(ConnectionOpen, ServiceTextIsAPortOrAName) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Say("220 hi\r\n")});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  ASSERT_NE(conn, nullptr);
  EXPECT_EQ(ReadChars(conn, 8), "220 hi\r\n");
  EXPECT_EQ(connection::close(conn), 0);

  for (const char* unknown : {"", "25x", "no-such-service", "70000", "99999999999999999999"}) {
    EXPECT_EQ(connection::connect("127.0.0.1", unknown, conn, kShortWait),
              MailErrorCode::kUnknownService)
        << unknown;
    EXPECT_EQ(conn, nullptr);
  }
}

TEST(ConnectionOpen, HostIsADottedAddressOrAName) {
  for (const char* host : {"localhost", "127.0.0.1", "127.1"}) {
    ScriptedSmtpServer server({ScriptedSmtpServer::Say("220 hi\r\n")});
    connection* conn = nullptr;
    ASSERT_EQ(connection::connect(host, Port(server), conn, kShortWait), 0) << host;
    EXPECT_EQ(connection::close(conn), 0);
  }
  connection* conn = nullptr;
  EXPECT_EQ(connection::connect("", "25", conn, kShortWait), MailErrorCode::kHostNotFound);
}

TEST(ConnectionOpen, RefusedLeavesNothingRegisteredAndWinsockCleanedUp) {
  auto& registry = ConnectionRegistry::Instance();
  const int cleanups = registry.cleanups();
  connection* conn = nullptr;
  EXPECT_EQ(connection::connect("127.0.0.1", std::to_string(test::ClosedLoopbackPort()), conn,
                                kShortWait),
            MailErrorCode::kConnectionRefused);
  EXPECT_EQ(conn, nullptr);
  EXPECT_EQ(registry.size(), 0u);
  EXPECT_FALSE(registry.winsockStarted());
  EXPECT_EQ(registry.cleanups(), cleanups + 1);
}

TEST(ConnectionOpen, UnexpectedConnectErrorIsTracedNeverShown) {
  TARNWICK_REQUIRE_ROOT();
  std::vector<std::string> traced;
  MailTrace::SetSink([&traced](std::string_view text) { traced.emplace_back(text); });
  int code = -1;
  // A network namespace of one thread, whose loopback is down: the connect
  // fails with "network unreachable" and no packet leaves it.
  std::thread worker([&code] {
    if (::unshare(CLONE_NEWNET) != 0) return;
    connection* conn = nullptr;
    code = connection::connect("127.0.0.1", "25", conn, kShortWait);
  });
  worker.join();
  MailTrace::SetSink(nullptr);
  EXPECT_EQ(code, MailErrorCode::kConnectFailed);
  EXPECT_EQ(traced, (std::vector<std::string>{"unexpected error 10051 from winsock"}));
  EXPECT_EQ(ConnectionRegistry::Instance().size(), 0u);
}

TEST(ConnectionRegistry, WinsockRunsWhileAnyConnectionIsOpen) {
  ScriptedSmtpServer first({ScriptedSmtpServer::Silent()});
  ScriptedSmtpServer second({ScriptedSmtpServer::Silent()});
  auto& registry = ConnectionRegistry::Instance();
  const int startups = registry.startups();
  connection* a = nullptr;
  connection* b = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(first), a, kShortWait), 0);
  ASSERT_EQ(connection::connect("127.0.0.1", Port(second), b, kShortWait), 0);
  EXPECT_EQ(registry.size(), 2u);
  EXPECT_EQ(registry.startups(), startups + 1);
  EXPECT_EQ(connection::close(a), 0);
  EXPECT_TRUE(registry.winsockStarted());
  EXPECT_FALSE(registry.Contains(a));
  EXPECT_EQ(connection::close(b), 0);
  EXPECT_FALSE(registry.winsockStarted());
  EXPECT_EQ(registry.size(), 0u);
}

TEST(ConnectionEntryPoints, NoConnectionGives4010AndNothingElse) {
  char c = 'q';
  EXPECT_EQ(connection::getchar(nullptr, false, c), MailErrorCode::kNoConnection);
  EXPECT_EQ(c, 'q');
  EXPECT_EQ(connection::put_data(nullptr, "x", 1), MailErrorCode::kNoConnection);
  EXPECT_EQ(connection::put_buffered(nullptr, "x", 1), MailErrorCode::kNoConnection);
  EXPECT_EQ(connection::flush_buffered(nullptr), MailErrorCode::kNoConnection);
  EXPECT_EQ(connection::close(nullptr), MailErrorCode::kNoConnection);
}

TEST(ConnectionRead, SilenceEndsInTimeoutAndAPollAfterTheLastByteFindsNothing) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Say("abc"), ScriptedSmtpServer::Silent()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  EXPECT_EQ(ReadChars(conn, 3), "abc");
  char c = 0;
  EXPECT_EQ(connection::getchar(conn, true, c), MailErrorCode::kTimedOut);
  EXPECT_EQ(connection::getchar(conn, false, c), MailErrorCode::kTimedOut);
  // A failed refill marks nothing as received.
  EXPECT_EQ(connection::getchar(conn, true, c), MailErrorCode::kTimedOut);
  EXPECT_EQ(connection::close(conn), 0);
}

TEST(ConnectionRead, ServerClosingGivesConnectionLost) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Say("x"), ScriptedSmtpServer::Close()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  ASSERT_EQ(connection::put_data(conn, "bye\r\n", 5), 0);
  EXPECT_EQ(ReadChars(conn, 1), "x");
  char c = 0;
  EXPECT_EQ(connection::getchar(conn, false, c), MailErrorCode::kConnectionLost);
  EXPECT_EQ(connection::getchar(conn, false, c), MailErrorCode::kConnectionLost);
  EXPECT_EQ(connection::close(conn), 0);
}

TEST(ConnectionRead, LongDataArrivesIntactThroughTheSmallBuffer) {
  std::string data;
  for (int i = 0; i < 5000; ++i)
    data += static_cast<char>('a' + i % 26);
  ScriptedSmtpServer server({ScriptedSmtpServer::Say(data), ScriptedSmtpServer::Silent()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  EXPECT_EQ(ReadChars(conn, data.size()), data);
  EXPECT_EQ(connection::close(conn), 0);
}

TEST(ConnectionSend, BufferedBlocksGoOutOnlyWhenFull) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Silent()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  const std::string block(connection::kBufferSize, 'b');

  ASSERT_EQ(connection::put_buffered(conn, block.data(), 511), 0);
  EXPECT_EQ(conn->sendFill(), 511u);
  EXPECT_EQ(ReceivedOnce(server, 0), "");
  ASSERT_EQ(connection::put_buffered(conn, "c", 1), 0);
  EXPECT_EQ(conn->sendFill(), 0u);
  EXPECT_EQ(ReceivedOnce(server, 512), block.substr(0, 511) + "c");

  ASSERT_EQ(connection::put_buffered(conn, block.data(), block.size()), 0);
  EXPECT_EQ(conn->sendFill(), 0u);
  EXPECT_EQ(ReceivedOnce(server, 1024).size(), 1024u);

  std::string mixed;
  for (int i = 0; i < 1300; ++i)
    mixed += static_cast<char>('A' + i % 26);
  ASSERT_EQ(connection::put_buffered(conn, mixed.data(), mixed.size()), 0);
  EXPECT_EQ(conn->sendFill(), 1300u - 1024u);
  ASSERT_EQ(connection::flush_buffered(conn), 0);
  EXPECT_EQ(conn->sendFill(), 0u);
  ASSERT_EQ(connection::flush_buffered(conn), 0);
  EXPECT_EQ(connection::close(conn), 0);
  EXPECT_EQ(server.Received().substr(1024), mixed);
}

// The option of our socket connected to `port`, found among the open
// descriptors; -1 when there is none.
int NoDelayOfSocketTo(int port) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::stoi(entry.path().filename().string());
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET || ntohs(peer.sin_port) != port) {
      continue;
    }
    int value = 0;
    length = sizeof value;
    if (::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, &length) == 0) return value;
  }
  return -1;
}

TEST(ConnectionSend, ShortLastBlockIsNotHeldForTheServersAcknowledgement) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Silent()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  EXPECT_EQ(NoDelayOfSocketTo(server.port()), 1);
  EXPECT_EQ(connection::close(conn), 0);
}

TEST(ConnectionSend, PutDataDeliversLargeDataWhole) {
  std::string data(3 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i * 7 % 251);
  ScriptedSmtpServer server({ScriptedSmtpServer::Silent()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  ASSERT_EQ(connection::put_data(conn, data.data(), data.size()), 0);
  EXPECT_EQ(connection::put_data(conn, "", 0), 0);
  EXPECT_EQ(connection::close(conn), 0);
  EXPECT_TRUE(server.Received() == data);
}

TEST(ConnectionSend, AServerThatNeverReadsEndsTheSendInTimeout) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Stall()});
  connection* conn = nullptr;
  ASSERT_EQ(connection::connect("127.0.0.1", Port(server), conn, kShortWait), 0);
  const std::string flood(64 * 1024 * 1024, 'f');
  EXPECT_EQ(connection::put_data(conn, flood.data(), flood.size()), MailErrorCode::kTimedOut);
  EXPECT_EQ(connection::close(conn), 0);
}

TEST(ConnectionHostName, IsCutToTheGivenSize) {
  std::string name;
  ASSERT_EQ(connection::gethostname(name, 129), 0);
  EXPECT_FALSE(name.empty());
  std::string shortName;
  ASSERT_EQ(connection::gethostname(shortName, 3), 0);
  EXPECT_EQ(shortName, name.substr(0, 2));
}

}  // namespace
}  // namespace tarnwick
