#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "mail/MessageComposer.h"
#include "mail/OutOfMemory.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using namespace std::string_view_literals;

// Switches the process's time zone for one test and puts the old one back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (saved_) {
      ::setenv("TZ", saved_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> saved_;
};

std::string DateIn(const char* zone, int year, int month, int day, int hour, int minute) {
  ScopedTimeZone scoped(zone);
  return MessageComposer::DateLine(MakeLocalTime(year, month, day, hour, minute, 0));
}

std::vector<std::string> HeaderLines(const std::string& message) {
  std::vector<std::string> lines;
  const std::size_t end = message.find("\r\n\r\n");
  for (std::size_t at = 0; at < end + 2;) {
    const std::size_t next = message.find("\r\n", at);
    lines.push_back(message.substr(at, next - at));
    at = next + 2;
  }
  return lines;
}

class MessageComposerTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone{"JST-9"};
  const std::time_t now = MakeLocalTime(2007, 6, 4, 9, 5, 0);
  const std::string tag = MessageComposer::MailBoundaryTag(now);
  const std::string date = "Date: Mon, 04 Jun 2007 09:05:00 +0900\r\n";
};

TEST(DateLineTest, ZoneIsSignThenAbsoluteHoursAndMinutes) {
  EXPECT_EQ(DateIn("JST-9", 2007, 6, 4, 9, 5), "Date: Mon, 04 Jun 2007 09:05:00 +0900\r\n");
  EXPECT_EQ(DateIn("NST3:30", 2007, 1, 7, 23, 59), "Date: Sun, 07 Jan 2007 23:59:00 -0330\r\n");
  EXPECT_EQ(DateIn("IST-5:30", 2007, 12, 1, 0, 0), "Date: Sat, 01 Dec 2007 00:00:00 +0530\r\n");
  EXPECT_EQ(DateIn("UTC0", 2000, 2, 29, 12, 0), "Date: Tue, 29 Feb 2000 12:00:00 +0000\r\n");
}

TEST(DateLineTest, DaylightSavingTimeCountsWhileInForce) {
  const char* newfoundland = "NST3:30NDT,M3.2.0,M11.1.0";
  EXPECT_EQ(DateIn(newfoundland, 2007, 6, 4, 9, 5), "Date: Mon, 04 Jun 2007 09:05:00 -0230\r\n");
  EXPECT_EQ(DateIn(newfoundland, 2007, 12, 4, 9, 5), "Date: Tue, 04 Dec 2007 09:05:00 -0330\r\n");
  EXPECT_EQ(DateIn("CET-1CEST,M3.5.0,M10.5.0/3", 2007, 7, 1, 8, 0),
            "Date: Sun, 01 Jul 2007 08:00:00 +0200\r\n");
}

TEST(DateLineTest, SmallWesternOffsetsKeepTheirSign) {
  EXPECT_EQ(MessageComposer::NumericZone(-30 * 60), "-0030");
  EXPECT_EQ(MessageComposer::NumericZone(-(9 * 3600 + 30 * 60)), "-0930");
  EXPECT_EQ(MessageComposer::NumericZone(14 * 3600), "+1400");
  EXPECT_EQ(MessageComposer::NumericZone(0), "+0000");
}

TEST(Base64BodyTest, LinesOf72CharactersEachAfterACrLf) {
  EXPECT_EQ(MessageComposer::Base64Body(""), "");
  EXPECT_EQ(MessageComposer::Base64Body("abc"), "\r\nYWJj");

  const std::string body54(54, '\xFF');
  EXPECT_EQ(MessageComposer::Base64Body(body54), "\r\n" + std::string(72, '/'));
  EXPECT_EQ(MessageComposer::Base64Body(body54 + "\xFF"),
            "\r\n" + std::string(72, '/') + "\r\n/w==");
  EXPECT_EQ(MessageComposer::Base64Body(std::string(108, '\xFF')),
            "\r\n" + std::string(72, '/') + "\r\n" + std::string(72, '/'));
}

TEST(MailBoundaryTagTest, OneSecondOneTag) {
  const std::string tag = MessageComposer::MailBoundaryTag(1181000000);
  ASSERT_EQ(tag.size(), 21u);
  EXPECT_EQ(tag.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            std::string::npos);
  EXPECT_EQ(MessageComposer::MailBoundaryTag(1181000000), tag);
  EXPECT_NE(MessageComposer::MailBoundaryTag(1181000001), tag);
}

TEST_F(MessageComposerTest, JapaneseFormIsOneBase64TextPartWithItsCharset) {
  const std::string message =
      MessageComposer::Compose("watch@example.com", "a@x;b@y", "test", "abc", false, now);
  EXPECT_EQ(message, date +
                         "From: watch@example.com\r\n"
                         "To: a@x, b@y\r\n"
                         "Subject: test\r\n"
                         "MIME-Version: 1.0\r\n"
                         "Content-Type: Multipart/Mixed; boundary=TarnwickMailBoundary-" +
                         tag +
                         "\r\n"
                         "X-Mailer: TarnwickMail 1.0 \r\n"
                         "\r\n"
                         "--TarnwickMailBoundary-" +
                         tag +
                         "\r\n"
                         "Content-Type: text/plain; charset=Shift_JIS\r\n"
                         "Content-Transfer-Encoding: BASE64\r\n"
                         "\r\n"
                         "\r\nYWJj\r\n"
                         "--TarnwickMailBoundary-" +
                         tag + "--\r\n");
  // Two messages of the same second share the tag.
  EXPECT_NE(MessageComposer::Compose("s", "r", "t", "b", false, now).find(tag), std::string::npos);
}

TEST_F(MessageComposerTest, JapaneseFormWithAnEmptyBodyClosesAtOnce) {
  const std::string message = MessageComposer::Compose("s@x", "r@y", "", "", false, now);
  const std::string ending =
      "Content-Transfer-Encoding: BASE64\r\n\r\n\r\n--TarnwickMailBoundary-" + tag + "--\r\n";
  ASSERT_GE(message.size(), ending.size());
  EXPECT_EQ(message.substr(message.size() - ending.size()), ending);
}

TEST_F(MessageComposerTest, JapaneseFormEncodesFromAndSubject) {
  const std::string message = MessageComposer::Compose(
      Cp932FromUtf8("ア <w@x>"), "r@y", Cp932FromUtf8("(PING)server1(192.168.0.1)(5) ダウン通知"),
      "", false, now);
  EXPECT_NE(message.find("\r\nFrom: =?ISO-2022-JP?B?GyRCJSIbKEo=?= <w@x>\r\n"), std::string::npos);
  EXPECT_NE(message.find("\r\nSubject: (PING)server1(192.168.0.1)(5) "
                         "=?ISO-2022-JP?B?GyRCJUAbKEo=?=\r\n =?ISO-2022-JP?B?"),
            std::string::npos);
}

TEST(EncodedSenderTest, TheAddressIsNeverFoldedApart) {
  // Where the plain encoding keeps the address whole, it stands as it is.
  EXPECT_EQ(MessageComposer::EncodedSender(Cp932FromUtf8("監 <watch@example.com>")),
            "=?ISO-2022-JP?B?GyRCNEYbKEo=?= <watch@example.com>");
  EXPECT_EQ(MessageComposer::EncodedSender("watch@example.com"), "watch@example.com");
  // Two kanji leave too little room: the address moves to the next line.
  EXPECT_EQ(MessageComposer::EncodedSender(Cp932FromUtf8("監視 <watch@example.com>")),
            "=?ISO-2022-JP?B?GyRCNEYbKEobJEI7axsoSg==?=\r\n <watch@example.com>");
  // An address longer than a line stays whole, and so does its comment's start.
  const std::string longAddress = std::string(60, 'w') + "@example.com";
  EXPECT_EQ(MessageComposer::EncodedSender(longAddress), longAddress);
  EXPECT_EQ(MessageComposer::EncodedSender(longAddress + Cp932FromUtf8(" (監)")),
            longAddress + " (=?ISO-2022-JP?B?GyRCNEYbKEo=?=)");
}

TEST_F(MessageComposerTest, EnglishFormIsPlainWithTheBodyUnchanged) {
  const std::string body = "line 1\r\nline 2\r\n" + Cp932FromUtf8("日本語");
  EXPECT_EQ(
      MessageComposer::Compose("watch@example.com", "a@x", "server1 timeout", body, true, now),
      date +
          "From: watch@example.com\r\n"
          "To: a@x\r\n"
          "Subject: server1 timeout\r\n"
          "X-Mailer: TarnwickMail 1.0 \r\n"
          "\r\n" +
          body);
}

// A template or a name holding a line break must not add a header, in
// either form.
TEST_F(MessageComposerTest, LineBreaksInValuesAddNoHeader) {
  for (bool english : {true, false}) {
    const std::string message =
        MessageComposer::Compose("w@x\r\nReply-To: evil@y", "a@x\r\nBcc: b@y",
                                 "Down\r\nBcc: x@y\n\rCc:\0z"sv, "body", english, now);
    const std::vector<std::string> lines = HeaderLines(message);
    ASSERT_EQ(lines.size(), english ? 5u : 7u);
    EXPECT_EQ(lines[1], "From: w@xReply-To: evil@y");
    EXPECT_EQ(lines[2], "To: a@x, Bcc: b@y");
    EXPECT_EQ(lines[3], "Subject: DownBcc: x@yCc:z");
  }
}

TEST(RecipientsHeaderValueTest, RecipientsAreJoinedByCommaAndBlank) {
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue("a@x;;b@y;"), "a@x, b@y");
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue("a@x\r\nb@y\tc@z"), "a@x, b@y, c@z");
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue("a@x; \r\n;b@y "), "a@x, b@y");
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue("\r\na@x\n"), "a@x");
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue("a@x\0\x1F;b@y"sv), "a@x, b@y");
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue(""), "");
  const std::string name(30, 'n');
  EXPECT_EQ(MessageComposer::RecipientsHeaderValue(name + "@x;" + name + "@y;" + name + "@z"),
            name + "@x, " + name + "@y,\r\n " + name + "@z");
}

TEST_F(MessageComposerTest, AHeaderBeyondItsAreaIsRefusedNotCut) {
  const std::string longSubject(MessageComposer::kHeaderArea, 's');
  EXPECT_THROW(MessageComposer::Compose("w@x", "a@x", longSubject, "", true, now), std::bad_alloc);
  EXPECT_THROW(MessageComposer::Compose("w@x", "a@x", longSubject, "", false, now), OutOfMemory);
  EXPECT_NO_THROW(MessageComposer::Compose("w@x", "a@x", std::string(2048, 's'), "", false, now));
}

// A standard mail reader decodes the Japanese form back to the texts sent.
TEST_F(MessageComposerTest, PythonEmailReadsTheJapaneseFormBack) {
  const char* python = "/usr/bin/python3";
  const char* sourceDir = std::getenv("TARNWICK_TEST_SOURCE_DIR");
  if (std::FILE* probe = std::fopen(python, "r")) {
    std::fclose(probe);
  } else {
    GTEST_SKIP() << "no " << python;
  }
  ASSERT_NE(sourceDir, nullptr);

  const std::string name = "監視ｻｰ";
  const std::string subject =
      "(PING)server1(192.168.0.1)(5) ダウン通知です。長い件名を折り返します";
  std::string body;
  for (int i = 0; i < 20; ++i)
    body += "サーバが応答しません。\r\n";
  test::TempDir dir;
  test::TempDir::WriteFile(
      dir.File("mail.eml"),
      MessageComposer::Compose(Cp932FromUtf8(name + " <watch@example.com>"), "a@x;b@y",
                               Cp932FromUtf8(subject), Cp932FromUtf8(body), false, now));
  test::TempDir::WriteFile(dir.File("expected.txt"), "監視サー\n" + subject + "\n" + body);

  const std::string command = std::string(python) + " " + sourceDir +
                              "/tests/mail/read_japanese_mail.py " + dir.File("mail.eml") + " " +
                              dir.File("expected.txt") + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char chunk[512];
  while (std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe))
    output.append(chunk, got);
  EXPECT_EQ(::pclose(pipe), 0) << output;
}

}  // namespace
}  // namespace tarnwick
