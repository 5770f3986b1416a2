#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mail/MailTrace.h"
#include "mail/SmtpAuth.h"
#include "mail/SmtpClient.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"
#include "support/FakeClock.h"
#include "support/ProcessRunner.h"
#include "support/RecordingPrompt.h"
#include "support/SmtpSink.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// A CA of the test's own, a server certificate for "localhost" and one for
// "other.test" from it, and one for "localhost" from a CA nobody trusts.
constexpr const char* kMakeCertificates = R"(
set -e
cd "$1"
key='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes'
for ca in ca foreign; do
  openssl req -x509 $key -keyout $ca.key -out $ca.pem -days 2 -subj "/CN=$ca test CA" 2>/dev/null
done
make() {
  openssl req -new $key -keyout $1.key -out $1.csr -subj "/CN=$3" 2>/dev/null
  printf 'subjectAltName=DNS:%s\n' "$3" > $1.ext
  openssl x509 -req -in $1.csr -CA $2.pem -CAkey $2.key -CAcreateserial -days 2 \
    -extfile $1.ext -out $1.pem 2>/dev/null
}
make localhost ca localhost
make other ca other.test
make stranger foreign localhost
)";

const std::string kUser = "watch";
const std::string kPassword = "秘密のpass";  // UTF-8 on the wire, CP932 in the settings

struct Case {
  const char* name;
  std::vector<std::string> server;  // smtp_sink.py options, CERT as "@name"
  SmtpProtection protection;
  std::string password;  // "" takes the service's credential file
  bool delivered;
  Msg failure;                    // its event-log text, when not delivered
  std::string detail;             // what the text's %s holds ("*": anything)
  std::string authLog;            // the AUTH attempts the server saw
  std::vector<std::string> sent;  // the commands, when they matter
};

class SmtpTlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The mails are read back as written at +0900.
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    certificates_ = new test::TempDir;
    const auto made =
        test::ProcessRunner::Run({"/bin/sh", "-c", kMakeCertificates, "sh", certificates_->path()});
    ASSERT_EQ(made.exitCode, 0) << made.output;
  }
  static void TearDownTestSuite() { delete certificates_; }

  // "@name" stands for the files of certificate `name`: NAME.pem NAME.key.
  static std::vector<std::string> ServerOptions(const std::vector<std::string>& options) {
    std::vector<std::string> out;
    for (const std::string& option : options) {
      if (!option.starts_with("@")) {
        out.push_back(option);
        continue;
      }
      out.push_back(certificates_->File(option.substr(1) + ".pem"));
      out.push_back(certificates_->File(option.substr(1) + ".key"));
    }
    return out;
  }

  static test::TempDir* certificates_;
};
test::TempDir* SmtpTlsTest::certificates_ = nullptr;

TEST_F(SmtpTlsTest, SubmitsOnlyOverVerifiedTlsAndNeverShowsCredentials) {
  const std::vector<std::string> starttlsAuth = {"--starttls", "@localhost", "--auth", kUser,
                                                 kPassword};
  // clang-format off
  const std::vector<Case> cases = {
      {"STARTTLS and PLAIN", starttlsAuth, SmtpProtection::StartTls, kPassword, true,
       Msg::Count, "", "PLAIN\n", {}},
      {"TLS from the start, LOGIN, password from the credential file",
       {"--tls", "@localhost", "--auth", kUser, kPassword, "--login-only"}, SmtpProtection::Tls,
       "", true, Msg::Count, "", "LOGIN\n", {}},
      {"wrong password", starttlsAuth, SmtpProtection::StartTls, "wrong", false,
       Msg::MailAuthRefused, "535 5.7.8 Authentication credentials invalid", "PLAIN\n", {}},
      {"no STARTTLS offered", {}, SmtpProtection::StartTls, kPassword, false,
       Msg::MailStartTlsNotOffered, "", "", {"EHLO", "QUIT"}},
      {"certificate from another CA", {"--starttls", "@stranger"}, SmtpProtection::StartTls,
       kPassword, false, Msg::MailCertificateNotTrusted, "*", "", {"EHLO", "STARTTLS"}},
      {"certificate for another name", {"--starttls", "@other"}, SmtpProtection::StartTls,
       kPassword, false, Msg::MailCertificateNameMismatch, "localhost", "", {"EHLO", "STARTTLS"}},
      {"security off", {}, SmtpProtection::None, "", true, Msg::Count, "", "",
       {"HELO", "MAIL", "RCPT", "DATA", "(message", "QUIT"}},
  };
  // clang-format on

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::SmtpSink sink(ServerOptions(c.server));
    test::SyslogReceiver syslog;
    const EventLog eventLog(syslog.path());
    test::RecordingPrompt prompt;
    const test::FakeClock clock{MakeLocalTime(2007, 6, 4, 9, 5, 0)};
    std::vector<std::string> trace;
    MailTrace::SetSink([&](std::string_view line) { trace.emplace_back(line); });

    MailEnvironment environment{eventLog, prompt, clock, false, false, 5000ms};
    const bool authenticates = c.protection != SmtpProtection::None;
    test::TempDir credentials;
    test::TempDir::WriteFile(credentials.File("smtp-password"), kPassword + "\n");
    ::setenv("CREDENTIALS_DIRECTORY", credentials.path().c_str(), 1);
    environment.submission = SmtpSubmission::FromSettings(
        static_cast<int>(c.protection), sink.port(), authenticates ? kUser : "",
        Cp932FromUtf8(c.password), Cp932FromUtf8(certificates_->File("ca.pem")));
    const std::string subject = "(ダウン)サーバ１が応答しません";
    const std::string body = "サーバ１は応答がありませんでした。\r\n";
    const int result =
        SmtpClient::SendMail(environment, "localhost", Cp932FromUtf8("監視係 <watch@example.com>"),
                             "admin@example.com", Cp932FromUtf8(subject), Cp932FromUtf8(body));
    MailTrace::SetSink({});
    ::unsetenv("CREDENTIALS_DIRECTORY");

    EXPECT_EQ(result, c.delivered ? 1 : 0);
    const auto messages = sink.WaitForMessages(1, c.delivered ? 10000 : 200);
    ASSERT_EQ(messages.size(), c.delivered ? 1u : 0u);
    if (c.delivered) {
      test::TempDir::WriteFile(sink.folder() + "/expected.txt", "監視係\n" + subject + "\n" + body);
      const auto read = test::ProcessRunner::Run(
          {"/usr/bin/python3",
           test::ProcessRunner::SourceDir() + "/tests/mail/read_japanese_mail.py", messages[0],
           sink.folder() + "/expected.txt"});
      EXPECT_EQ(read.exitCode, 0) << read.output;
      EXPECT_FALSE(syslog.Receive(100)) << "no failure is reported";
    } else {
      const auto entry = syslog.Receive();
      ASSERT_TRUE(entry);
      const std::string pattern = Utf8FromCp932(Text(Msg::MailFailed) + Text(c.failure));
      const std::string head = pattern.substr(0, pattern.find('%'));
      EXPECT_EQ(entry->message.substr(0, head.size()), head);
      const std::string tail = pattern.substr(std::min(pattern.size(), head.size() + 2));
      if (c.detail != "*") {
        EXPECT_EQ(entry->message, head + c.detail + tail);
      }
    }
    const std::string authLog = sink.folder() + "/auth.log";
    EXPECT_EQ(test::TempDir::Exists(authLog) ? test::TempDir::ReadFile(authLog) : "", c.authLog);

    std::vector<std::string> sent;
    for (const std::string& line : trace) {
      EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
      EXPECT_EQ(line.find(SmtpAuth::PlainResponse(kUser, c.password)), std::string::npos) << line;
      if (line.starts_with("> ")) sent.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    if (!c.sent.empty()) {
      EXPECT_EQ(sent, c.sent);
    }
  }
}

}  // namespace
}  // namespace tarnwick
