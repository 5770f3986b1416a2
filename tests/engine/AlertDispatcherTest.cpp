#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "CallRecordingAlerts.h"
#include "engine/AlertDispatcher.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCheckTime = "2007/05/01 10:00:00";

std::string Sjis(const char* utf8) {
  return Cp932FromUtf8(utf8);
}

// Stands in for the system launcher: records the command line, answers with
// a preset code.
class FakeLauncher final : public ProgramLauncher {
 public:
  Launch Start(std::string_view commandLine) override {
    started.emplace_back(commandLine);
    return {code, code > 31 ? 4242 : -1};
  }
  int code = kStarted;
  std::vector<std::string> started;
};

class AlertDispatcherTest : public ::testing::Test {
 protected:
  AlertDispatcherTest() {
    settings.RunningLog = 1;
    settings.SmtpServer = "127.0.0.1";
    settings.MailFrom = "watch@example.test";
    settings.MailTo = "admin@example.test";
    settings.NetsendTo = "OPERATOR";
    settings.DownMsgJp = Sjis("(%t)%s(%c)(%i)は応答がありませんでした。");
    settings.DownMsgUs = "(%t)%s(%c)(%i) timeout.";
    settings.DownSubjectJp = Sjis("%s ダウン通知");
    settings.DownSubjectUs = "%s timeout notification";
    settings.RestoreMsgJp = Sjis("(%t)%s(%c)(%i)は復帰しました。");
    settings.RestoreMsgUs = "(%t)%s(%c)(%i) is restored.";
    settings.RestoreSubjectJp = Sjis("%s 復帰通知");
    settings.RestoreSubjectUs = "%s restore notification";
    log.Rotate();

    row[Field::ComputerName] = "mail1";
    row[Field::IpAddress] = "10.0.0.5";
    row[Field::CheckService] = "PING";
    row[Field::ByMail] = FlagText(true);
    row[Field::ByNetsend] = FlagText(true);
    row[Field::ByEventlog] = FlagText(true);
  }

  // The running log's lines without their time stamps, in UTF-8.
  std::vector<std::string> LogLines() const {
    std::istringstream in(Utf8FromCp932(test::TempDir::ReadFile(dir.File(log.openName()))));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line.substr(line.find(" : ") + 3));
    }
    return lines;
  }

  test::TempDir dir;
  AppSettings settings;
  test::FakeClock clock{MakeLocalTime(2007, 5, 1, 10, 0, 5)};
  RunningLog log{dir.path(), settings, clock};
  test::CallRecordingAlerts channels{settings, clock};
  FakeLauncher launcher;
  AlertDispatcher alerts{settings, channels, log, clock, launcher};
  ComputerEntry row;
};

TEST(AlertTemplate, ReplacesTheFourPlaceholdersInTheirOrder) {
  // The default down message.
  EXPECT_EQ(Utf8FromCp932(
                AlertDispatcher::ExpandTemplate(Sjis("(%t)%s(%c)(%i)は応答がありませんでした。"),
                                                "10.0.0.5", kCheckTime, "mail1", "PING")),
            "(2007/05/01 10:00:00)mail1(PING)(10.0.0.5)は応答がありませんでした。");
  // Every occurrence, not only the first.
  EXPECT_EQ(AlertDispatcher::ExpandTemplate("%s/%s %i%i", "1.2.3.4", "", "a", ""),
            "a/a 1.2.3.41.2.3.4");
  // A name is inserted after "%i" and "%t" are done but before "%c".
  EXPECT_EQ(AlertDispatcher::ExpandTemplate("%s", "1.2.3.4", kCheckTime, "x%cy%i%t", "WEB"),
            "xWEBy%i%t");
}

TEST(AlertTemplate, TextWithoutPlaceholdersAndLonePercentsStayAsTheyAre) {
  const std::string plain = Sjis("サーバが止まりました。");
  EXPECT_EQ(AlertDispatcher::ExpandTemplate(plain, "1.2.3.4", kCheckTime, "n", "PING"), plain);
  EXPECT_EQ(AlertDispatcher::ExpandTemplate("100% %x %", "1.2.3.4", kCheckTime, "n", "PING"),
            "100% %x %");
  EXPECT_EQ(AlertDispatcher::ExpandTemplate("", "1.2.3.4", kCheckTime, "n", "PING"), "");
}

TEST_F(AlertDispatcherTest, DownAlertSendsNetSendThenMailThenWritesTheEventLogLast) {
  alerts.DownAlert(row, kCheckTime);
  EXPECT_THAT(LogLines(),
              ElementsAre("Netsendを送信します。送信先：OPERATOR", "Netsend を送信しました。",
                          "メールを送信します。SMTPサーバ：127.0.0.1:MAILFROM:watch@example.test"
                          ":MAILTO:admin@example.test",
                          "メールの送信に成功しました。", "イベントログへ書き込みました。"));
  ASSERT_THAT(channels.Channels(), ElementsAre("netsend", "mail", "event"));
  const std::string message =
      "(2007/05/01 10:00:00)mail1(PING)(10.0.0.5)は応答がありませんでした。";
  EXPECT_THAT(channels.calls[0].arguments, ElementsAre("OPERATOR", message));
  EXPECT_THAT(channels.calls[1].arguments,
              ElementsAre("127.0.0.1", "watch@example.test", "admin@example.test",
                          "mail1 ダウン通知", message));
  EXPECT_EQ(channels.calls[2].type, EventType::Error);
  EXPECT_THAT(channels.calls[2].arguments, ElementsAre(message));
}

TEST_F(AlertDispatcherTest, RestoreAlertWritesTheEventLogFirst) {
  alerts.RestoreAlert(row, kCheckTime);
  EXPECT_THAT(LogLines(),
              ElementsAre("復帰を認識しました。", "イベントログへ書き込みました。",
                          "Netsendを送信します。送信先：OPERATOR", "Netsend を送信しました。",
                          "メールを送信します。SMTPサーバ：127.0.0.1:MAILFROM:watch@example.test"
                          ":MAILTO:admin@example.test",
                          "メールの送信に成功しました。"));
  ASSERT_THAT(channels.Channels(), ElementsAre("event", "netsend", "mail"));
  EXPECT_EQ(channels.calls[0].type, EventType::Information);
  EXPECT_THAT(channels.calls[0].arguments,
              ElementsAre("(2007/05/01 10:00:00)mail1(PING)(10.0.0.5)は復帰しました。"));
  EXPECT_EQ(channels.calls[2].arguments[3], "mail1 復帰通知");
}

TEST_F(AlertDispatcherTest, EnglishMailCarriesEnglishTextsWhileOtherChannelsStayJapanese) {
  settings.SendMailByEnglish = 1;
  alerts.DownAlert(row, kCheckTime);
  ASSERT_THAT(channels.Channels(), ElementsAre("netsend", "mail", "event"));
  const std::string japanese =
      "(2007/05/01 10:00:00)mail1(PING)(10.0.0.5)は応答がありませんでした。";
  EXPECT_EQ(channels.calls[0].arguments[1], japanese);
  EXPECT_EQ(channels.calls[1].arguments[3], "mail1 timeout notification");
  EXPECT_EQ(channels.calls[1].arguments[4], "(2007/05/01 10:00:00)mail1(PING)(10.0.0.5) timeout.");
  EXPECT_EQ(channels.calls[2].arguments[0], japanese);
}

TEST_F(AlertDispatcherTest, RowAddressIsUsedOnlyWhenTheFlagIsExactlyTheCircle) {
  row[Field::ByNetsend].clear();
  row[Field::ByEventlog].clear();
  row[Field::MailAddress] = "row@example.test";
  row[Field::NoDefaultMail] = "1";  // any other text means "use MailTo"
  alerts.DownAlert(row, kCheckTime);
  row[Field::NoDefaultMail] = FlagText(true);
  alerts.DownAlert(row, kCheckTime);
  // An empty row address is a missing recipient even though MailTo is set.
  row[Field::MailAddress].clear();
  alerts.DownAlert(row, kCheckTime);
  ASSERT_THAT(channels.Channels(), ElementsAre("mail", "mail", "event"));
  EXPECT_EQ(channels.calls[0].arguments[2], "admin@example.test");
  EXPECT_EQ(channels.calls[1].arguments[2], "row@example.test");
  EXPECT_EQ(channels.calls[2].type, EventType::Warning);
  EXPECT_EQ(channels.calls[2].arguments[0],
            "「Tarnwick」は、メールによるメッセージの送信を試みましたが、"
            "メールの送信先が指定されていません。");
  EXPECT_THAT(LogLines().back(),
              "[エラー]メールによるメッセージの送信を試みましたが、"
              "メールの送信先が指定されていません。");
}

TEST_F(AlertDispatcherTest, MailSettingsAreCheckedServerFirstThenSender) {
  settings.SmtpServer.clear();
  settings.MailFrom.clear();
  alerts.SendAlertMail("", "s", "b");
  settings.SmtpServer = "127.0.0.1";
  alerts.SendAlertMail("", "s", "b");
  EXPECT_THAT(LogLines(), ElementsAre("メールを送信します。SMTPサーバ：:MAILFROM::MAILTO:",
                                      "[エラー]メールによるメッセージの送信を試みましたが、"
                                      "メールサーバが指定されていません。",
                                      "メールを送信します。SMTPサーバ：127.0.0.1:MAILFROM::MAILTO:",
                                      "[エラー]メールによるメッセージの送信を試みましたが、"
                                      "メールの送信元が指定されていません。"));
  EXPECT_THAT(channels.Channels(), ElementsAre("event", "event"));
}

TEST_F(AlertDispatcherTest, MailWaitsThirtySecondsWhenAskedAndReportsAFailedDelivery) {
  settings.MailAfter30Minutes = 1;
  channels.mailResult = 0;
  const std::time_t before = clock.Now();
  alerts.SendAlertMail("a@example.test", "s", "b");
  EXPECT_THAT(LogLines(),
              ElementsAre("メールを送信します。SMTPサーバ：127.0.0.1:MAILFROM:watch@example.test"
                          ":MAILTO:a@example.test",
                          "30秒待ってからメールします",
                          "[エラー]メールによるメッセージの送信を試みましたが、"
                          "メールの送信に失敗しました。イベントログを確認してください。"));
  ASSERT_THAT(channels.Channels(), ElementsAre("mail", "event"));
  EXPECT_EQ(channels.calls[0].at, before + 30);
  EXPECT_EQ(channels.calls[1].type, EventType::Warning);
  EXPECT_EQ(channels.calls[1].arguments[0],
            "「Tarnwick」は、メール送信を試みましたが、メールの送信に失敗しました。");
}

TEST_F(AlertDispatcherTest, NetSendWithoutRecipientHasItsOwnTextPerSequence) {
  settings.NetsendTo.clear();
  row[Field::ByMail].clear();
  row[Field::ByEventlog].clear();
  alerts.DownAlert(row, kCheckTime);
  alerts.RestoreAlert(row, kCheckTime);
  const char* logLine =
      "[エラー]net sendによるメッセージの送信を試みましたが、送信先が指定されていません。";
  EXPECT_THAT(LogLines(),
              ElementsAre("Netsendを送信します。送信先：", logLine, "復帰を認識しました。",
                          "Netsendを送信します。送信先：", logLine));
  ASSERT_THAT(channels.Channels(), ElementsAre("event", "event"));
  EXPECT_EQ(channels.calls[0].arguments[0],
            "「Tarnwick」は、net send　によるメッセージの送信を試みましたが、"
            "送信先が指定されていませんでした。");
  EXPECT_EQ(channels.calls[1].arguments[0],
            "「Tarnwick」は、net send　によるメッセージの送信を試みましたが、"
            "送信先が指定されていません。");
}

TEST_F(AlertDispatcherTest, FailedChannelsAreReportedAndTheSequenceGoesOn) {
  channels.netSendResult = NetSendResult::NoAnswer;
  channels.mailResult = 0;
  channels.eventLogResult = false;
  launcher.code = ProgramLauncher::kFileNotFound;
  row[Field::DownProgram] = "alarm";
  alerts.DownAlert(row, kCheckTime);
  EXPECT_THAT(LogLines(),
              ElementsAre("Netsendを送信します。送信先：OPERATOR",
                          "[エラー]net send　によるメッセージの送信を試みましたが、"
                          "メッセージの送信に失敗しました。",
                          "ダウン検出時のプログラムalarmを起動します。",
                          "[エラー]指定されたファイルが見つかりません。",
                          "メールを送信します。SMTPサーバ：127.0.0.1:MAILFROM:watch@example.test"
                          ":MAILTO:admin@example.test",
                          "[エラー]メールによるメッセージの送信を試みましたが、"
                          "メールの送信に失敗しました。イベントログを確認してください。",
                          "[エラー]イベントログへの書き込みに失敗しました。"));
  EXPECT_THAT(channels.Channels(),
              ElementsAre("netsend", "event", "event", "mail", "event", "event"));
  // The entry names why the message did not go out.
  EXPECT_EQ(channels.calls[1].arguments[0],
            "「Tarnwick」は、net send　によるメッセージの送信を試みましたが、"
            "メッセージの送信に失敗しました。送信先のコンピュータから応答がありません。");
}

TEST_F(AlertDispatcherTest, ProgramFailuresMapToTheirMessages) {
  struct Case {
    int code;
    const char* eventTail;
    const char* logText;
  };
  const Case cases[] = {
      {0, "リソース不足です。", "[エラー]リソース不足です。"},
      {2, "指定されたファイルが見つかりません。", "[エラー]指定されたファイルが見つかりません。"},
      {3, "指定されたパスが見つかりません。", "[エラー]指定されたパスが見つかりません。"},
      {11, "指定された.EXEファイルが無効です。", "[エラー]指定された.EXEファイルが無効です。"},
      {5, "不明なエラーが発生しました。", "[エラー]不明なエラーが発生しました。"},
      {31, "不明なエラーが発生しました。", "[エラー]不明なエラーが発生しました。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    channels.calls.clear();
    launcher.code = c.code;
    alerts.RunAlertProgram("run.sh --now", AlertDispatcher::Sequence::Restore);
    ASSERT_THAT(channels.Channels(), ElementsAre("event"));
    EXPECT_EQ(channels.calls[0].type, EventType::Warning);
    EXPECT_EQ(channels.calls[0].arguments[0],
              std::string(
                  "「Tarnwick」は、プログラム(run.sh --now)の実行を試みましたが、失敗しました。") +
                  c.eventTail);
    EXPECT_EQ(LogLines().back(), c.logText);
  }
  channels.calls.clear();
  launcher.code = 32;
  alerts.RunAlertProgram("ok", AlertDispatcher::Sequence::Restore);
  EXPECT_THAT(channels.calls, IsEmpty());
  EXPECT_EQ(LogLines().back(), "復帰時のプログラムokを起動します。");
}

TEST_F(AlertDispatcherTest, MissingDownProgramLogsTheProgramLineThenFileNotFound) {
  AlertDispatcher real(settings, channels, log, clock, ProgramLauncher::System());
  const std::string program = dir.File("no-such-alarm") + " --loud";
  row[Field::ByMail].clear();
  row[Field::ByNetsend].clear();
  row[Field::ByEventlog].clear();
  row[Field::DownProgram] = program;
  real.DownAlert(row, kCheckTime);
  EXPECT_THAT(LogLines(), ElementsAre("ダウン検出時のプログラム" + program + "を起動します。",
                                      "[エラー]指定されたファイルが見つかりません。"));
  ASSERT_THAT(channels.Channels(), ElementsAre("event"));
  EXPECT_EQ(channels.calls[0].arguments[0],
            "「Tarnwick」は、プログラム(" + program +
                ")の実行を試みましたが、失敗しました。指定されたファイルが見つかりません。");
}

}  // namespace
}  // namespace tarnwick
