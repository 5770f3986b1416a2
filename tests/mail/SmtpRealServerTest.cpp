#include <gtest/gtest.h>

#include <string>

#include "mail/SmtpClient.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/FakeClock.h"
#include "support/ProcessRunner.h"
#include "support/RecordingPrompt.h"
#include "support/SmtpSink.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Reads a saved message with Python's own mail parser and compares what it
// decodes with what was sent. Prints "OK" or the differences.
constexpr const char* kCheckMessage = R"(
import email, email.header, email.utils, sys
path, want_from, want_subject, want_body, want_time = sys.argv[1:6]
with open(path, 'rb') as f:
    message = email.message_from_bytes(f.read())
def decoded(name):
    return str(email.header.make_header(email.header.decode_header(message[name])))
problems = []
for name, want in (('From', want_from), ('Subject', want_subject)):
    if decoded(name) != want:
        problems.append('%s: %r' % (name, decoded(name)))
part = message.get_payload()[0] if message.is_multipart() else message
body = part.get_payload(decode=True).decode('cp932')
# The end sequence puts a line end after a body that had none.
if body != want_body and body != want_body + '\r\n':
    problems.append('body: %r' % body)
stamp = email.utils.parsedate_to_datetime(message['Date']).timestamp()
if int(stamp) != int(want_time):
    problems.append('Date: %r' % message['Date'])
print('\n'.join(problems) or 'OK')
)";

class SmtpRealServerTest : public ::testing::Test {
 protected:
  int Send(bool english, const std::string& sender, const std::string& subject,
           const std::string& body) {
    const MailEnvironment environment{eventLog, prompt, clock, false, english, 5000ms};
    return SmtpClient::SendMail(environment, sink.address(), sender, "admin@example.com", subject,
                                body);
  }

  std::string Check(const std::string& path, const std::string& from, const std::string& subject,
                    const std::string& body) {
    return test::ProcessRunner::Run({"/usr/bin/python3", "-c", kCheckMessage, path, from, subject,
                                     body, std::to_string(clock.Now())})
        .output;
  }

  test::SmtpSink sink;
  test::SyslogReceiver syslog;
  EventLog eventLog{syslog.path()};
  test::RecordingPrompt prompt;
  test::FakeClock clock{MakeLocalTime(2007, 6, 4, 9, 5, 0)};
};

TEST_F(SmtpRealServerTest, JapaneseAndEnglishMailsArriveAndDecodeToTheirTexts) {
  const std::string japaneseFrom = "監視係 <watch@example.com>";
  const std::string japaneseSubject = "(ダウン)サーバ１が応答しません";
  const std::string japaneseBody = "サーバ１は応答がありませんでした。\r\n.二行目\r\n";
  ASSERT_EQ(Send(false, Cp932FromUtf8(japaneseFrom), Cp932FromUtf8(japaneseSubject),
                 Cp932FromUtf8(japaneseBody)),
            1);

  const std::string englishFrom = "watch@example.com (Watcher)";
  const std::string englishBody = "server1 timeout.\r\n.leading dot\r\nlast line";
  ASSERT_EQ(Send(true, englishFrom, "server1 timeout notification", englishBody), 1);
  EXPECT_FALSE(syslog.Receive(100)) << "no failure is reported";

  const auto messages = sink.WaitForMessages(2);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(Check(messages[0], japaneseFrom, japaneseSubject, japaneseBody), "OK\n");
  EXPECT_EQ(Check(messages[1], englishFrom, "server1 timeout notification", englishBody), "OK\n");
  EXPECT_EQ(test::TempDir::ReadFile(messages[1].substr(0, messages[1].size() - 4) + ".envelope"),
            "watch@example.com\nadmin@example.com\n");
}

// Mail readers take the To line as RFC 5322 writes it: every recipient of
// the ';'-separated setting is one address of the header.
TEST_F(SmtpRealServerTest, EveryRecipientIsAnAddressOfTheToHeader) {
  const std::string recipients = "a@example.com;b@example.com;;c@example.com";
  const MailEnvironment environment{eventLog, prompt, clock, false, true, 5000ms};
  ASSERT_EQ(SmtpClient::SendMail(environment, sink.address(), "watch@example.com", recipients,
                                 "subject", "body"),
            1);
  const auto messages = sink.WaitForMessages(1);
  ASSERT_EQ(messages.size(), 1u);
  constexpr const char* kReadTo = R"(
import email, email.policy, sys
with open(sys.argv[1], 'rb') as f:
    message = email.message_from_binary_file(f, policy=email.policy.default)
print(' '.join(a.addr_spec for a in message['To'].addresses))
)";
  EXPECT_EQ(test::ProcessRunner::Run({"/usr/bin/python3", "-c", kReadTo, messages[0]}).output,
            "a@example.com b@example.com c@example.com\n");
  EXPECT_EQ(test::TempDir::ReadFile(messages[0].substr(0, messages[0].size() - 4) + ".envelope"),
            "watch@example.com\na@example.com\nb@example.com\nc@example.com\n");
}

}  // namespace
}  // namespace tarnwick
