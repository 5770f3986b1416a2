#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedSmtpServer.h"
#include "engine/AlertChannels.h"
#include "mail/Connection.h"
#include "mail/ConnectionRegistry.h"
#include "mail/MailErrorCode.h"
#include "mail/MailTrace.h"
#include "mail/MessageComposer.h"
#include "mail/SmtpClient.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "platform/MonotonicClock.h"
#include "platform/UniqueFd.h"
#include "support/FakeClock.h"
#include "support/RecordingPrompt.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using test::ScriptedSmtpServer;
using Script = std::vector<ScriptedSmtpServer::Step>;

const std::string kFailed = "「Tarnwick」は、メールの送信に失敗しました。";
const std::string kAttempt = "「Tarnwick」は、メールの送信を試みましたが、失敗しました。";
const std::string kTimedOut = kFailed + "タイムアウトしました。";
const std::string kRefused = kFailed + "メールサーバへの接続が拒否されました。";
const std::string kLost = kFailed + "メールサーバへの接続が切断されました。";
const std::string kUnknownService = kFailed + "サービス名が不明です。";
const std::string kNoSocket =
    kFailed + "ソケットが見つかりません。TCPIPが起動していない可能性があります。";
const std::string kUnsafe =
    kFailed +
    "メールサーバ名、送信者、送信先またはホスト名に改行などの使用できない文字が含まれています。";

// Moves the calling thread, for good, into a network namespace of its own
// (loopback up, nothing else) and a private mount namespace whose /etc is
// the folder `etc`. Other threads keep the test's system.
bool EnterPrivateSystem(const std::string& etc) {
  if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return false;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  if (::mount(etc.c_str(), "/etc", nullptr, MS_BIND, nullptr) != 0) return false;
  const UniqueFd control(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  ifreq loopback{};
  std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
  if (!control.valid() || ::ioctl(control.get(), SIOCGIFFLAGS, &loopback) != 0) return false;
  loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
  return ::ioctl(control.get(), SIOCSIFFLAGS, &loopback) == 0;
}

std::string LocalHostName() {
  std::string name;
  connection::gethostname(name, SmtpClient::kLocalHostCapacity);
  return name;
}

// Accepting(), with one step replaced.
Script AcceptingWith(std::size_t index, ScriptedSmtpServer::Step step, int recipients = 1) {
  Script script = ScriptedSmtpServer::Accepting(recipients);
  script[index] = std::move(step);
  return script;
}

class SmtpClientTest : public ::testing::Test {
 protected:
  int Send(const std::string& server, std::string_view sender = "watch@example.com",
           std::string_view recipients = "admin@example.com", std::string_view subject = "Down",
           std::string_view body = "body text\r\n") {
    return SmtpClient::SendMail(environment, server, sender, recipients, subject, body);
  }

  // The event-log entries so far, in UTF-8: syslog has them without the
  // event viewer's leading line breaks. Every mail failure is a warning.
  std::vector<std::string> Entries() {
    std::vector<std::string> texts;
    while (const auto entry = syslog.Receive(100)) {
      EXPECT_EQ(entry->priority, 8 + 4);
      texts.push_back(entry->message);
    }
    return texts;
  }

  test::SyslogReceiver syslog;
  EventLog eventLog{syslog.path()};
  test::RecordingPrompt prompt;
  test::FakeClock clock{MakeLocalTime(2007, 6, 4, 9, 5, 0)};
  MailEnvironment environment{eventLog, prompt, clock, false, true, 300ms};
  std::vector<MailPhase> phases;
  void TellPhases() {
    environment.phaseBegins = [this](MailPhase phase) { phases.push_back(phase); };
  }
};

TEST_F(SmtpClientTest, DeliversThroughTheWholeDialogueAfterAMultiLineGreeting) {
  Script script = AcceptingWith(
      0, ScriptedSmtpServer::Say("220-first line\r\n220-second line\r\n220 ready\r\n"), 2);
  ScriptedSmtpServer server(script);
  TellPhases();
  EXPECT_EQ(Send(server.address(), "watch@example.com", "a@x.test;;b@x.test"), 1);
  EXPECT_EQ(phases, (std::vector{MailPhase::Connecting, MailPhase::Sending, MailPhase::Closing}));
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{
                                   "HELO " + LocalHostName(), "MAIL From:<watch@example.com>",
                                   "RCPT To: <a@x.test>", "RCPT To: <b@x.test>", "DATA", "QUIT"}));
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(ConnectionRegistry::Instance().size(), 0u);
}

TEST_F(SmtpClientTest, ContinuationLinesArrivingLaterBelongToTheSameReply) {
  ScriptedSmtpServer server(AcceptingWith(
      0, ScriptedSmtpServer::SayInPackets({"220-first\r\n", "220-second\r\n", "220 ready\r\n"})));
  EXPECT_EQ(Send(server.address()), 1);
  EXPECT_EQ(server.Commands().size(), 5u);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(SmtpClientTest, RecipientSeparatorsAndRunsOfThem) {
  ScriptedSmtpServer server(ScriptedSmtpServer::Accepting(4));
  EXPECT_EQ(Send(server.address(), "w@x.test", ";a@x.test\nb@x.test\t\tc@x.test\r;d@x.test;\r\n"),
            1);
  const auto commands = server.Commands();
  EXPECT_EQ(std::vector<std::string>(commands.begin() + 2, commands.begin() + 6),
            (std::vector<std::string>{"RCPT To: <a@x.test>", "RCPT To: <b@x.test>",
                                      "RCPT To: <c@x.test>", "RCPT To: <d@x.test>"}));
  EXPECT_EQ(commands[6], "DATA");
}

TEST_F(SmtpClientTest, EmptyRecipientListGoesStraightToData) {
  Script script = ScriptedSmtpServer::Accepting(0);
  ScriptedSmtpServer server(script);
  EXPECT_EQ(Send(server.address(), "w@x.test", ""), 1);
  EXPECT_EQ(server.Commands()[2], "DATA");
}

TEST(SmtpSenderAddress, DisplayPartsAreLeftOutOfMailFrom) {
  EXPECT_EQ(SmtpClient::SenderAddress("w@x.test"), "w@x.test");
  EXPECT_EQ(SmtpClient::SenderAddress("Watcher <w@x.test>"), "w@x.test");
  EXPECT_EQ(SmtpClient::SenderAddress("Watcher <w@x.test"), "w@x.test");
  EXPECT_EQ(SmtpClient::SenderAddress("w@x.test (Watcher)"), "w@x.test ");
  EXPECT_EQ(SmtpClient::SenderAddress("w@x.test (Watcher) tail"), "w@x.test  tail");
  EXPECT_EQ(SmtpClient::SenderAddress("w@x.test (Watcher"), "w@x.test ");
  EXPECT_EQ(SmtpClient::SenderAddress("w (c) <a@x.test>"), "w  <a@x.test>");
  EXPECT_EQ(SmtpClient::SenderAddress(""), "");
}

TEST(SmtpDataText, ByteRulesOfTheMessageText) {
  struct Case {
    std::string text;
    std::string wire;
  };
  const Case cases[] = {
      // CR CR LF vanishes in the header only; its LF still counts for the dot.
      {"A: a\r\r\nB: b\r\n\r\nbody\r\r\nend", "A: aB: b\r\n\r\nbody\r\nend\r\n.\r\n"},
      {"A: a\r\r\n.B\r\n\r\nc", "A: a..B\r\n\r\nc\r\n.\r\n"},
      {"no header\r\r\nend", "no header\r\nend\r\n.\r\n"},
      {"a\r\r\rb\r\n", "a\rb\r\n.\r\n"},
      {"H: h\r\n\r\n.\r\n..two\r\n", "H: h\r\n\r\n..\r\n...two\r\n.\r\n"},
      {"bare\nlines\n", "bare\r\nlines\r\n.\r\n"},
      {"", "\r\n.\r\n"},
      {".first", ".first\r\n.\r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SmtpClient::DataText(c.text), c.wire) << c.text;
}

TEST_F(SmtpClientTest, MailFromCarriesOnlyTheAddress) {
  ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
  EXPECT_EQ(Send(server.address(), "Watcher <w@x.test>"), 1);
  EXPECT_EQ(server.Commands()[1], "MAIL From:<w@x.test>");
}

TEST_F(SmtpClientTest, SecondRecipientRefusedFailsTheWholeMailAndSaysQuit) {
  ScriptedSmtpServer server(
      {ScriptedSmtpServer::Say("220 ready\r\n"), ScriptedSmtpServer::Say("250 hello\r\n"),
       ScriptedSmtpServer::Say("250 ok\r\n"), ScriptedSmtpServer::Say("250 ok\r\n"),
       ScriptedSmtpServer::Say("550 5.1.1 no such user\r\n"),
       ScriptedSmtpServer::Say("221 bye\r\n")});
  EXPECT_EQ(Send(server.address(), "w@x.test", "a@x.test;b@x.test"), 0);
  EXPECT_EQ(server.Commands(),
            (std::vector<std::string>{"HELO " + LocalHostName(), "MAIL From:<w@x.test>",
                                      "RCPT To: <a@x.test>", "RCPT To: <b@x.test>", "QUIT"}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           kAttempt + "RCPT TO コマンドで、b@x.test へのメール送信に失敗しました",
                           "550 5.1.1 no such user"}));
}

TEST_F(SmtpClientTest, EachRefusedStepHasItsOwnEntryWithTheReplyCode) {
  struct Case {
    std::size_t step;
    std::string reply;
    std::string entry;
  };
  const Case cases[] = {
      {0, "554 go away\r\n", "SMTP ソケットのオープンに失敗しました。554"},
      {1, "501 who are you\r\n", "HELOコマンドに対してエラーが戻されました。501"},
      {2, "553 bad sender\r\n",
       "MAIL FROMコマンドで watch@example.com に対してエラーが返されました。553"},
      {4, "503 bad sequence\r\n", "DATA コマンドでエラーが発生しました。503"},
      {5, "552 too big\r\n", "DATAの送信に失敗しました。552"},
  };
  for (const Case& c : cases) {
    ScriptedSmtpServer server(AcceptingWith(c.step, ScriptedSmtpServer::Say(c.reply)));
    EXPECT_EQ(Send(server.address()), 0) << c.reply;
    // The reply's entry is one line: its line end is not shown.
    const std::string replyLine = c.reply.substr(0, c.reply.size() - 2);
    EXPECT_EQ(Entries(), (std::vector<std::string>{kAttempt + c.entry, replyLine}));
    EXPECT_EQ(server.Commands().back(), "QUIT") << c.reply;
  }
}

TEST_F(SmtpClientTest, HeloAnsweredWith220IsAccepted) {
  ScriptedSmtpServer server(AcceptingWith(1, ScriptedSmtpServer::Say("220 fine\r\n")));
  EXPECT_EQ(Send(server.address()), 1);
}

TEST_F(SmtpClientTest, SilentServerEndsInTimeout) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Silent()});
  EXPECT_EQ(Send(server.address()), 0);
  // The socket had opened: the entry names the time-out, and none is empty.
  EXPECT_EQ(Entries(), (std::vector<std::string>{kTimedOut}));
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{}));
}

TEST_F(SmtpClientTest, ReplyWithoutLineEndIsReportedAndNeverCompletes) {
  ScriptedSmtpServer server(
      {ScriptedSmtpServer::Say("220 no line end"), ScriptedSmtpServer::Silent()});
  EXPECT_EQ(Send(server.address()), 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{kTimedOut, "220 no line end"}));
}

TEST_F(SmtpClientTest, RefusedPortGivesTheRefusalAndTheMissingSocket) {
  TellPhases();
  EXPECT_EQ(Send("127.0.0.1:" + std::to_string(test::ClosedLoopbackPort())), 0);
  EXPECT_EQ(phases, std::vector{MailPhase::Connecting});
  EXPECT_EQ(Entries(), (std::vector<std::string>{kRefused, kNoSocket}));
  EXPECT_EQ(ConnectionRegistry::Instance().size(), 0u);
  EXPECT_FALSE(ConnectionRegistry::Instance().winsockStarted());
}

TEST_F(SmtpClientTest, ServerClosingMidDialogueIsALostConnection) {
  ScriptedSmtpServer server(
      {ScriptedSmtpServer::Say("220 ready\r\n"), ScriptedSmtpServer::Close()});
  EXPECT_EQ(Send(server.address()), 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{kLost}));
  EXPECT_EQ(ConnectionRegistry::Instance().size(), 0u);
}

TEST_F(SmtpClientTest, HugeRepliesAreReadWholeAndTheirEntryIsCut) {
  ScriptedSmtpServer server({ScriptedSmtpServer::Say("220 " + std::string(100000, 'g') + "\r\n"),
                             ScriptedSmtpServer::Say("550 " + std::string(100000, 'y') + "\r\n"),
                             ScriptedSmtpServer::Say("221 bye\r\n")});
  EXPECT_EQ(Send(server.address()), 0);
  const auto entries = Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], kAttempt + "HELOコマンドに対してエラーが戻されました。550");
  EXPECT_EQ(entries[1], "550 " + std::string(EventLog::kInsertionCapacity - 1 - 4 - 4, 'y'));
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"HELO " + LocalHostName(), "QUIT"}));
}

TEST_F(SmtpClientTest, MessageTextIsDotStuffedAndEndsWithTheEndSequence) {
  struct Case {
    std::string body;
    std::string wireEnd;
  };
  const Case cases[] = {
      {".first\r\nmid\r\n.\r\nMAIL From:<evil@x.test>\r\nlast",
       "\r\n\r\n..first\r\nmid\r\n..\r\nMAIL From:<evil@x.test>\r\nlast\r\n.\r\n"},
      {"ends with a line end\r\n", "\r\n\r\nends with a line end\r\n.\r\n"},
      {"bare\nline\r\r\r\nends\n.\n", "\r\n\r\nbare\r\nline\r\nends\r\n..\r\n.\r\n"},
  };
  for (const Case& c : cases) {
    ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
    EXPECT_EQ(Send(server.address(), "watch@example.com", "admin@example.com", "Down", c.body), 1);
    EXPECT_TRUE(server.MessageData().ends_with(c.wireEnd)) << server.MessageData();
    const auto commands = server.Commands();
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const std::string& line) { return line.starts_with("MAIL"); }),
              1);
  }
}

TEST_F(SmtpClientTest, LineBreaksInServerOrSenderNeverReachTheWire) {
  struct Case {
    std::string serverSuffix;
    std::string sender;
    std::string recipients;
  };
  const Case cases[] = {
      {"", "w@x.test\r\nRCPT To:<x@y.test>", "a@x.test"},
      {"", "w@x.test\nRCPT To:<x@y.test>", "a@x.test"},
      {"", std::string("w@x.test\0RCPT", 13), "a@x.test"},
      {"\r\nHELO evil", "w@x.test", "a@x.test"},
      {"", "w@x.test", std::string("a@x.test\0b", 10)},
  };
  for (const Case& c : cases) {
    ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
    EXPECT_EQ(Send(server.address() + c.serverSuffix, c.sender, c.recipients), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{kUnsafe}));
    EXPECT_FALSE(server.StopAndReportAccepted());
  }
}

TEST_F(SmtpClientTest, LocalHostNameIsCheckedAndFallsBackToTheServer) {
  TARNWICK_REQUIRE_ROOT();
  // A host name of our own, in a UTS namespace of one thread.
  const auto sendUnderHostName = [this](const std::string& hostName, ScriptedSmtpServer& server) {
    int result = -1;
    std::thread worker([&] {
      if (::unshare(CLONE_NEWUTS) != 0 || ::sethostname(hostName.data(), hostName.size()) != 0) {
        return;
      }
      result = Send(server.address());
    });
    worker.join();
    return result;
  };

  ScriptedSmtpServer injected(ScriptedSmtpServer::Accepting());
  EXPECT_EQ(sendUnderHostName("evil\r\nRCPT To:<x@y.test>", injected), 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{kUnsafe}));
  EXPECT_EQ(injected.Received(), "");

  ScriptedSmtpServer nameless(ScriptedSmtpServer::Accepting());
  EXPECT_EQ(sendUnderHostName("", nameless), 1);
  EXPECT_EQ(nameless.Commands()[0], "HELO 127.0.0.1");
}

TEST_F(SmtpClientTest, ServerTextNamesHostAndService) {
  ScriptedSmtpServer byName(ScriptedSmtpServer::Accepting());
  EXPECT_EQ(Send("localhost:" + std::to_string(byName.port())), 1);
  EXPECT_EQ(byName.Commands().size(), 5u);

  for (const char* server : {"127.0.0.1:no-such-service", "127.0.0.1:"}) {
    EXPECT_EQ(Send(server), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{kUnknownService, kNoSocket})) << server;
  }

  // "smtp" is port 25; only where nothing listens there on loopback is the
  // outcome known. Nothing but loopback is ever tried.
  connection* probe = nullptr;
  if (connection::connect("127.0.0.1", "25", probe, 300ms) == 0) {
    connection::close(probe);
    GTEST_SKIP() << "something listens on 127.0.0.1:25";
  }
  for (const char* server : {"127.0.0.1:smtp", "127.0.0.1"}) {
    EXPECT_EQ(Send(server), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{kRefused, kNoSocket})) << server;
  }
}

// A minimal image has no /etc/services: "smtp" is then an unknown service,
// and the session tries port 25, as it always has for a server without a port. The server listens
// on port 25 of a private loopback, so nothing outside is ever tried.
TEST_F(SmtpClientTest, WithoutAServicesDatabaseAServerWithoutPortIsReachedOnPort25) {
  TARNWICK_REQUIRE_ROOT();
  test::TempDir etc;
  for (const char* name : {"nsswitch.conf", "hosts", "host.conf"}) {
    const std::string source = std::string("/etc/") + name;
    if (test::TempDir::Exists(source)) std::filesystem::copy_file(source, etc.File(name));
  }

  bool servicesMissing = false;
  int lookupCode = -1;
  int result = -1;
  std::vector<std::string> commands;
  std::thread worker([&] {
    if (!EnterPrivateSystem(etc.path())) return;
    servicesMissing = ::access("/etc/services", F_OK) != 0 && errno == ENOENT;
    connection* conn = nullptr;
    lookupCode = connection::connect("127.0.0.1", "smtp", conn, 300ms);
    try {
      ScriptedSmtpServer server(ScriptedSmtpServer::Accepting(), 25);
      result = Send("127.0.0.1");
      commands = server.Commands();
    } catch (const std::exception& error) {
      ADD_FAILURE() << error.what();
    }
  });
  worker.join();

  ASSERT_TRUE(servicesMissing) << "the private system could not be set up";
  EXPECT_EQ(lookupCode, MailErrorCode::kUnknownService);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[0], "HELO " + LocalHostName());
  EXPECT_EQ(commands[4], "QUIT");
  EXPECT_EQ(Entries(), std::vector<std::string>{});
  EXPECT_EQ(ConnectionRegistry::Instance().size(), 0u);
}

// What a user debugging an alert mail sees with TARNWICK_MAIL_TRACE set.
TEST_F(SmtpClientTest, TraceShowsTheWholeDialogueOnStandardErrorButNotTheMessageText) {
  ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
  ::setenv("TARNWICK_MAIL_TRACE", "1", 1);
  ::testing::internal::CaptureStderr();
  const int result = Send(server.address(), "watch@example.com", "admin@example.com", "Down",
                          "secret body text\r\n");
  const std::string trace = ::testing::internal::GetCapturedStderr();
  ::unsetenv("TARNWICK_MAIL_TRACE");
  ASSERT_EQ(result, 1);

  const std::string message = server.MessageData();
  const std::string expected = "tarnwick mail: connect 127.0.0.1 " + std::to_string(server.port()) +
                               "\n" +
                               "tarnwick mail: < 220 test.invalid ready\n"
                               "tarnwick mail: > HELO " +
                               LocalHostName() + "\n" +
                               "tarnwick mail: < 250 hello\n"
                               "tarnwick mail: > MAIL From:<watch@example.com>\n"
                               "tarnwick mail: < 250 sender ok\n"
                               "tarnwick mail: > RCPT To: <admin@example.com>\n"
                               "tarnwick mail: < 250 recipient ok\n"
                               "tarnwick mail: > DATA\n"
                               "tarnwick mail: < 354 go ahead\n"
                               "tarnwick mail: > (message text, " +
                               std::to_string(message.size()) + " bytes)\n" +
                               "tarnwick mail: < 250 queued\n"
                               "tarnwick mail: > QUIT\n"
                               "tarnwick mail: < 221 bye\n";
  EXPECT_EQ(trace, expected);
  EXPECT_NE(message.find("secret body text"), std::string::npos);

  // Without the variable nothing is written.
  ScriptedSmtpServer quiet(ScriptedSmtpServer::Accepting());
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Send(quiet.address()), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(SmtpClientTest, DebugDisplayShowsTheComposedMessageBeforeSending) {
  environment.showMessage = true;
  ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
  EXPECT_EQ(Send(server.address()), 1);
  const auto shown = prompt.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, MessageComposer::Compose("watch@example.com", "admin@example.com",
                                                    "Down", "body text\r\n", true, clock.Now()));
  EXPECT_EQ(shown[0].caption, "");
  EXPECT_EQ(shown[0].icon, PromptIcon::None);
  EXPECT_EQ(shown[0].buttons, PromptButtons::Ok);
}

TEST_F(SmtpClientTest, LongArgumentsAreCutToTheStorage) {
  environment.showMessage = true;
  ScriptedSmtpServer server(ScriptedSmtpServer::Accepting(2));
  const std::string sender(300, 's');
  const std::string recipients = "r@x.test;" + std::string(400, 'q');
  EXPECT_EQ(Send(server.address(), sender, recipients, std::string(1000, 'j')), 1);
  const auto commands = server.Commands();
  EXPECT_EQ(commands[1], "MAIL From:<" + std::string(SmtpClient::kSenderCapacity - 1, 's') + ">");
  EXPECT_EQ(commands[3],
            "RCPT To: <" + std::string(SmtpClient::kRecipientsCapacity - 1 - 9, 'q') + ">");
  const auto shown = prompt.shown();
  ASSERT_EQ(shown.size(), 1u);
  const std::string& message = shown[0].text;
  EXPECT_NE(message.find(std::string(SmtpClient::kSubjectCapacity - 1, 'j')), std::string::npos);
  EXPECT_EQ(message.find(std::string(SmtpClient::kSubjectCapacity, 'j')), std::string::npos);
}

TEST_F(SmtpClientTest, ConcurrentCallersAreServedOneAtATime) {
  ScriptedSmtpServer first(ScriptedSmtpServer::Accepting());
  ScriptedSmtpServer second(ScriptedSmtpServer::Accepting());
  int firstResult = 0;
  int secondResult = 0;
  std::thread a([&] { firstResult = Send(first.address(), "one@x.test", "r1@x.test"); });
  std::thread b([&] { secondResult = Send(second.address(), "two@x.test", "r2@x.test"); });
  a.join();
  b.join();
  EXPECT_EQ(firstResult, 1);
  EXPECT_EQ(secondResult, 1);
  EXPECT_EQ(first.Commands()[1], "MAIL From:<one@x.test>");
  EXPECT_EQ(first.Commands()[2], "RCPT To: <r1@x.test>");
  EXPECT_EQ(second.Commands()[1], "MAIL From:<two@x.test>");
  EXPECT_EQ(second.Commands()[2], "RCPT To: <r2@x.test>");
}

TEST_F(SmtpClientTest, AlertChannelsSendWithTheMailSettings) {
  AppSettings settings;
  settings.SendMailByEnglish = 1;
  settings.EnableMailDebug = 1;
  AlertChannels channels(settings, prompt, AlertChannelOptions{.syslogSocket = syslog.path()});
  ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
  EXPECT_EQ(channels.SendMail(server.address(), "w@x.test", "a@x.test", "Down", "text"), 1);
  ASSERT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(prompt.shown()[0].text.find("MIME-Version"), std::string::npos);

  EXPECT_EQ(channels.SendMail("127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()), "w@x.test",
                              "a@x.test", "Down", "text"),
            0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{kRefused, kNoSocket}));
}

// Runs ahead of the steady clock by `step` more at every reading: the
// connection's deadlines pass without the test waiting for them.
class RunningAheadClock final : public MonotonicClock {
 public:
  explicit RunningAheadClock(std::chrono::seconds step) : step_(step) {}
  StopEvent::Deadline Now() const override {
    return StopEvent::SteadyClock::now() + step_ * ++readings_;
  }

 private:
  std::chrono::seconds step_;
  mutable std::atomic<int> readings_{0};
};

// A server that trickles its greeting a byte at a time cannot stretch the
// wait: a reply's 30 seconds count from the connect or the command, not
// from its last byte.
TEST_F(SmtpClientTest, ATricklingServerTimesOutCountedFromTheCommand) {
  // Two seconds more at each reading: the reply's 30 seconds pass within the
  // greeting, the dialogue's 5 minutes do not.
  const RunningAheadClock ahead(2s);
  environment.stop.clock = &ahead;
  environment.waitLimit = connection::kDefaultWaitLimit;
  std::vector<std::string> bytes = {"2", "2", "0", " "};
  for (int i = 0; i < 20; ++i)
    bytes.push_back("x");
  bytes.push_back("\r\n");
  Script script = {ScriptedSmtpServer::SayInPackets(bytes)};
  const Script accepting = ScriptedSmtpServer::Accepting();
  script.insert(script.end(), accepting.begin() + 1, accepting.end());
  ScriptedSmtpServer server(script);
  EXPECT_EQ(Send(server.address()), 0);
  EXPECT_THAT(Entries(), ::testing::Contains(kTimedOut));
}

// Random server replies at every step: whatever arrives, the client neither
// crashes nor reads or writes out of bounds (run under the sanitizers), and
// every entry fits the event log.
TEST_F(SmtpClientTest, RandomRepliesNeverBreakTheClient) {
  environment.waitLimit = 40ms;
  std::mt19937 random(20070604);
  const std::string likely = "0123456789- \r\n";
  const char* const codes[] = {"220 ", "250 ", "354 ", "250-", "220-", "550 ", ""};
  for (int round = 0; round < 150; ++round) {
    Script script;
    const int steps = std::uniform_int_distribution<int>(1, 9)(random);
    for (int s = 0; s < steps; ++s) {
      if (random() % 10 == 0) {
        script.push_back(ScriptedSmtpServer::Close());
        break;
      }
      std::string reply = codes[random() % std::size(codes)];
      const std::size_t length = random() % 8 == 0 ? random() % 5000 : random() % 40;
      for (std::size_t i = 0; i < length; ++i) {
        reply += random() % 3 == 0 ? static_cast<char>(random() % 256)
                                   : likely[random() % likely.size()];
      }
      if (random() % 4 != 0) reply += "\r\n";
      script.push_back(ScriptedSmtpServer::Say(reply));
    }
    script.push_back(ScriptedSmtpServer::Close());
    ScriptedSmtpServer server(script);
    const int result = Send(server.address(), "w@x.test", "a@x.test;b@x.test", "s", ".\r\nx");
    EXPECT_TRUE(result == 0 || result == 1);
    while (const auto entry = syslog.Receive(20)) {
      EXPECT_LE(Cp932FromUtf8(entry->message).size(), EventLog::kInsertionCapacity - 1);
    }
    ASSERT_EQ(ConnectionRegistry::Instance().size(), 0u) << "round " << round;
  }
}

}  // namespace
}  // namespace tarnwick
