// A real host in a network namespace goes down and comes back while the
// console watcher watches it; every alert channel is checked at the far end:
// a real SMTP server, the syslog socket, smbd receiving net send, the alert
// programs, the running log and the HTML page.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/ComputerEntry.h"
#include "platform/CodePage.h"
#include "settings/ListFile.h"
#include "support/NetNamespace.h"
#include "support/ProcessRunner.h"
#include "support/SambaServer.h"
#include "support/SmtpSink.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"
#include "support/WatchProcess.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A pass takes about a second (the pacer's two time-outs); the bound leaves
// room for a loaded machine.
constexpr auto kStageTimeout = 10s;
constexpr int kStageTimeoutMs = 10000;
constexpr int kPingTimeoutMs = 400;

const std::string kName = "ルータ1";
const std::string kMailFrom = "watch@example.test";
const std::string kMailTo = "admin@example.test";
const std::string kNetsendTo = "ADMINPC";

// Subject, To and body of a saved mail, decoded by Python's own mail parser,
// one per line (the body's line ends dropped at its end). Text right after
// an encoded word follows it without a blank, as mail readers show it;
// make_header would put a blank there, so the parts are joined as they are.
constexpr const char* kDecodeMail = R"(
import email, email.header, sys
with open(sys.argv[1], 'rb') as f:
    message = email.message_from_bytes(f.read())
def decoded(name):
    parts = email.header.decode_header(message[name])
    return ''.join(text.decode(charset or 'ascii') if isinstance(text, bytes) else text
                   for text, charset in parts)
part = message.get_payload()[0] if message.is_multipart() else message
charset = part.get_content_charset() or 'cp932'
charset = {'shift_jis': 'cp932', 'x-sjis': 'cp932'}.get(charset, charset)
body = part.get_payload(decode=True).decode(charset)
print(decoded('Subject'))
print(decoded('To'))
print(body.rstrip('\r\n'))
)";

struct DecodedMail {
  std::string subject;
  std::string to;
  std::string body;
};

DecodedMail DecodeMail(const std::string& path) {
  const auto result = ProcessRunner::Run({"/usr/bin/python3", "-c", kDecodeMail, path});
  std::istringstream lines(result.output);
  DecodedMail mail;
  std::getline(lines, mail.subject);
  std::getline(lines, mail.to);
  std::getline(lines, mail.body);
  return mail;
}

// The check time of an expanded "(%t)..." text that ends with `tail`, or
// nothing when the text has another shape.
std::optional<std::string> CheckTimeOf(const std::string& text, const std::string& tail) {
  static const std::regex kTime(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)");
  constexpr std::size_t kTimeLength = 19;
  if (text.size() != 1 + kTimeLength + tail.size() || text.front() != '(' ||
      text.compare(1 + kTimeLength, std::string::npos, tail) != 0) {
    return std::nullopt;
  }
  const std::string time = text.substr(1, kTimeLength);
  if (!std::regex_match(time, kTime)) return std::nullopt;
  return time;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// The log's lines without their "date time : " stamps.
std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = log.substr(start, end - start);
    const std::size_t stamp = line.find(" : ");
    lines.push_back(stamp == std::string::npos ? line : line.substr(stamp + 3));
  }
  return lines;
}

// `count` lines starting `before` lines ahead of the first line equal to
// `anchor`; fewer when the log has fewer.
std::vector<std::string> Window(const std::vector<std::string>& lines, const std::string& anchor,
                                std::size_t before, std::size_t count) {
  const auto at = std::find(lines.begin(), lines.end(), anchor);
  if (at == lines.end()) return {};
  const auto index = static_cast<std::size_t>(at - lines.begin());
  if (index < before) return {};
  const std::size_t first = index - before;
  const std::size_t last = std::min(lines.size(), first + count);
  return {lines.begin() + static_cast<std::ptrdiff_t>(first),
          lines.begin() + static_cast<std::ptrdiff_t>(last)};
}

std::string ThisComputersNetbiosName() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string name = host;
  return name.substr(0, name.find('.')).substr(0, 15);
}

class AlertEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TARNWICK_REQUIRE_ROOT();
    host = std::make_unique<NetNamespace>();
    // The pacer's address is routed into the namespace and dropped there
    // without a word, so every pass waits out its ping time-out.
    host->RunOrThrow({"ip", "route", "add", "blackhole", host->routedNetwork()});
    samba = std::make_unique<SambaServer>();
    ASSERT_TRUE(samba->running()) << samba->Log();

    TempDir::WriteFile(dir.File("registry.reg"), RegistryText());
    TempDir::WriteFile(dir.File("list.ls2"), FormatListFile({PacerRow(), HostRow()}));
    watch = std::make_unique<WatchProcess>(
        dir, TARNWICK_WATCH_PATH,
        std::vector<std::string>{"TARNWICK_REGISTRY=" + dir.File("registry.reg"),
                                 "TARNWICK_SYSLOG_SOCKET=" + syslog.path(),
                                 "TARNWICK_NETSEND_ADDRESS=127.0.0.1",
                                 "TARNWICK_NETSEND_PORT=" + std::to_string(samba->port())});
  }

  std::string RegistryText() const {
    return WatchProcess::RegistryText({{"CheckInterval", 0},
                                       {"MaxRetry", 1},
                                       {"PingTimeOut", kPingTimeoutMs},
                                       {"RunningLog", 1},
                                       {"BeepToAlert", 0},
                                       {"MailAfter30Minutes", 0},
                                       {"SendMailByEnglish", 0},
                                       {"EnableHtml", 1}},
                                      {{"SmtpServer", sink.address()},
                                       {"MailFrom", kMailFrom},
                                       {"MailTo", kMailTo},
                                       {"NetsendTo", kNetsendTo},
                                       {"HtmlFile", dir.File("status.html")}});
  }

  ComputerEntry PacerRow() const {
    ComputerEntry row;
    row[Field::ComputerName] = "pacer";
    row[Field::IpAddress] = host->routedAddress(9);
    row[Field::CheckService] = "PING";
    return row;
  }

  ComputerEntry HostRow() const {
    ComputerEntry row;
    row[Field::ComputerName] = Cp932FromUtf8(kName);
    row[Field::IpAddress] = host->address();
    row[Field::CheckService] = "PING";
    row[Field::ByMail] = FlagText(true);
    row[Field::ByNetsend] = FlagText(true);
    row[Field::ByEventlog] = FlagText(true);
    row[Field::DownProgram] = DownProgram();
    row[Field::RestoreProgram] = RestoreProgram();
    return row;
  }

  std::string DownProgram() const { return "/usr/bin/touch " + dir.File("down-ran"); }
  std::string RestoreProgram() const { return "/usr/bin/touch " + dir.File("restore-ran"); }

  // The tail of an expanded default template after "(%t)".
  std::string Tail(const std::string& text) const {
    return ")" + kName + "(PING)(" + host->address() + ")" + text;
  }

  std::string PageRow(bool down) const {
    return std::string(down ? "<tr bgcolor='#FF0000'>" : "<tr>") + "<td>" + kName + "</td><td>" +
           host->address() + "</td><td>" + (down ? "×" : "○") + "</td>";
  }

  bool PageShows(const std::string& text) const {
    return Utf8FromCp932(TempDir::ReadFile(dir.File("status.html"))).find(text) !=
           std::string::npos;
  }

  std::string Diagnosis() const {
    return "stdout:\n" + watch->Stdout() + "\nstderr:\n" + watch->Stderr() + "\nlog:\n" +
           watch->RunningLogText(started);
  }

  TempDir dir;
  SmtpSink sink;
  SyslogReceiver syslog;
  std::unique_ptr<NetNamespace> host;
  std::unique_ptr<SambaServer> samba;
  std::unique_ptr<WatchProcess> watch;
  std::time_t started = std::time(nullptr);
};

TEST_F(AlertEndToEndTest, DownAndRestoreReachEveryChannelInOrder) {
  const std::string upLine = kName + " (" + host->address() + ") ○";
  const std::string downLine = kName + " (" + host->address() + ") ×";
  const std::string sender = ThisComputersNetbiosName();

  started = std::time(nullptr);
  ASSERT_TRUE(watch->Start({dir.File("list.ls2")}));
  ASSERT_TRUE(watch->WaitForOutput({upLine}, kStageTimeout)) << Diagnosis();
  ASSERT_TRUE(WaitUntil([&] { return PageShows(PageRow(false)); }, kStageTimeout)) << Diagnosis();
  EXPECT_FALSE(TempDir::Exists(dir.File("down-ran")));

  // Down: the mail is the last step but the event log entry.
  host->IgnoreEchoRequests(true);
  auto mails = sink.WaitForMessages(1, kStageTimeoutMs);
  ASSERT_EQ(mails.size(), 1u) << Diagnosis();
  ASSERT_TRUE(watch->WaitForOutput({downLine}, kStageTimeout)) << Diagnosis();
  EXPECT_TRUE(WaitUntil([&] { return PageShows(PageRow(true)); }, kStageTimeout))
      << "the page never showed the row red\n"
      << Diagnosis();
  EXPECT_TRUE(WaitUntil([&] { return TempDir::Exists(dir.File("down-ran")); }, kStageTimeout));
  EXPECT_FALSE(TempDir::Exists(dir.File("restore-ran")));
  const auto downPopup = samba->ReceivedMessage(sender, kStageTimeout);
  ASSERT_TRUE(downPopup) << samba->Log();

  // Restore.
  host->IgnoreEchoRequests(false);
  mails = sink.WaitForMessages(2, kStageTimeoutMs);
  ASSERT_EQ(mails.size(), 2u) << Diagnosis();
  EXPECT_TRUE(WaitUntil([&] { return PageShows(PageRow(false)); }, kStageTimeout))
      << "the page stayed red after the restore\n"
      << Diagnosis();
  EXPECT_TRUE(WaitUntil([&] { return TempDir::Exists(dir.File("restore-ran")); }, kStageTimeout));
  const std::string restoreTail = Tail("は復帰しました。");
  // smbd files both pop-ups under the same sender: wait for the second one.
  std::optional<std::string> restorePopup;
  EXPECT_TRUE(WaitUntil(
      [&] {
        restorePopup = samba->ReceivedMessage(sender, 0ms);
        return restorePopup && CheckTimeOf(*restorePopup, restoreTail);
      },
      kStageTimeout))
      << (restorePopup ? *restorePopup : "no pop-up");

  watch->Signal(SIGTERM);
  ASSERT_EQ(watch->Exited(10s), std::optional<int>(0)) << Diagnosis();

  // The mails: down first, then restore, subjects and bodies expanded alike.
  const DecodedMail down = DecodeMail(mails[0]);
  const DecodedMail restore = DecodeMail(mails[1]);
  const auto downTime = CheckTimeOf(down.subject, Tail(" ダウン通知"));
  const auto restoreTime = CheckTimeOf(restore.subject, Tail(" 復帰通知"));
  ASSERT_TRUE(downTime) << down.subject;
  ASSERT_TRUE(restoreTime) << restore.subject;
  EXPECT_LE(*downTime, *restoreTime);
  const std::string downText = "(" + *downTime + Tail("は応答がありませんでした。");
  const std::string restoreText = "(" + *restoreTime + restoreTail;
  EXPECT_EQ(down.body, downText);
  EXPECT_EQ(restore.body, restoreText);
  EXPECT_EQ(down.to, kMailTo);
  EXPECT_EQ(restore.to, kMailTo);

  // Net send carried the same Japanese message as the mail body.
  EXPECT_EQ(*downPopup, downText);
  EXPECT_EQ(restorePopup, restoreText);

  // The event log: start, down (error), restore (information), end; no
  // failure of any channel was reported.
  std::vector<SyslogReceiver::Entry> entries;
  while (const auto entry = syslog.Receive(300))
    entries.push_back(*entry);
  std::string all;
  for (const auto& entry : entries)
    all += std::to_string(entry.priority) + " " + entry.message + "\n";
  ASSERT_EQ(entries.size(), 4u) << all;
  const int user = 1 * 8;
  EXPECT_EQ(entries[0].priority, user + 6);
  EXPECT_NE(entries[0].message.find("「Tarnwick」は、監視を開始しました。"), std::string::npos);
  EXPECT_EQ(entries[1].priority, user + 3);
  EXPECT_EQ(entries[1].message, downText);
  EXPECT_EQ(entries[2].priority, user + 6);
  EXPECT_EQ(entries[2].message, restoreText);
  EXPECT_EQ(entries[3].priority, user + 6);
  EXPECT_NE(entries[3].message.find("「Tarnwick」は、監視を終了しました。"), std::string::npos);
  for (const auto& entry : entries)
    EXPECT_EQ(entry.tag, "Tarnwick");

  // The running log: each sequence's steps in their order, one after the other.
  const std::string log = watch->RunningLogText(started);
  const std::vector<std::string> lines = LogLines(log);
  const std::string mailLine = "メールを送信します。SMTPサーバ：" + sink.address() +
                               ":MAILFROM:" + kMailFrom + ":MAILTO:" + kMailTo;
  const std::vector<std::string> downSteps = {
      "[失敗]PING応答なし",
      "ダウンを検出しました。",
      "Netsendを送信します。送信先：" + kNetsendTo,
      "Netsend を送信しました。",
      "ダウン検出時のプログラム" + DownProgram() + "を起動します。",
      mailLine,
      "メールの送信に成功しました。",
      "イベントログへ書き込みました。",
  };
  const std::vector<std::string> restoreSteps = {
      "PING応答あり",
      "復帰を認識しました。",
      "イベントログへ書き込みました。",
      "Netsendを送信します。送信先：" + kNetsendTo,
      "Netsend を送信しました。",
      "復帰時のプログラム" + RestoreProgram() + "を起動します。",
      mailLine,
      "メールの送信に成功しました。",
  };
  // The pacer's own down comes first and has no alert steps, so each
  // sequence is found from a line only the host's alerts write.
  EXPECT_EQ(Window(lines, downSteps[2], 2, downSteps.size()), downSteps) << log;
  EXPECT_EQ(Window(lines, restoreSteps[1], 1, restoreSteps.size()), restoreSteps) << log;
  const auto restoreAt = std::find(lines.begin(), lines.end(), restoreSteps[1]);
  EXPECT_LT(std::find(lines.begin(), lines.end(), downSteps[2]), restoreAt);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), restoreSteps[1]), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), mailLine), 2);
  ASSERT_FALSE(lines.empty());
  // With no interval the stop is seen before an attempt, which logs the
  // event log's wording.
  EXPECT_EQ(lines.back(), "「Tarnwick」は、監視を終了しました。");
}

}  // namespace
}  // namespace tarnwick::test
