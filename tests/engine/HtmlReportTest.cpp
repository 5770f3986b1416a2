#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "CallRecordingAlerts.h"
#include "engine/HtmlReport.h"
#include "engine/MemoryRows.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/FakeClock.h"
#include "support/OrdinaryUser.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Sjis(const std::string& utf8) {
  return Cp932FromUtf8(utf8);
}

ComputerEntry Row(std::vector<std::string> utf8Fields) {
  ComputerEntry entry;
  for (std::size_t i = 0; i < utf8Fields.size(); ++i)
    entry.fields[i] = Sjis(utf8Fields[i]);
  return entry;
}

constexpr const char* kHeadUtf8 =
    "<html><head><title>Tarnwick</title>"
    "<META HTTP-EQUIV='Content-Type' CONTENT='text/html;CHARSET=x-sjis'>"
    "<META HTTP-EQUIV='Pragma' CONTENT='no-cache'>"
    "<META HTTP-EQUIV='Expires' CONTENT='0'>";

class HtmlReportTest : public ::testing::Test {
 protected:
  HtmlReportTest() {
    settings.RunningLog = 1;
    settings.EnableHtml = 1;
    settings.HtmlFile = dir.File("status.html");
    settings.HtmlReloadMinutes = "5";
    log.Rotate();
    rows.ReplaceAll({
        Row({"web1", "10.0.0.1", "○", "WEB", "80", "2007/05/01 09:00:00", "", "○", "", "○",
             "alarm.sh down", "", "2007/05/01 10:00:00", "", ""}),
        Row({"db1", "10.0.0.2", "×", "PING", "", "", "2007/05/01 10:00:00", "", "○", "", "",
             "restored.sh", "2007/05/01 10:00:00", "○", "ops@example.test"}),
    });
  }

  std::string Page() const { return Utf8FromCp932(test::TempDir::ReadFile(settings.HtmlFile)); }

  std::vector<std::string> LogTexts() const {
    std::vector<std::string> texts;
    const std::string content = Utf8FromCp932(test::TempDir::ReadFile(dir.File(log.openName())));
    for (std::size_t start = 0, end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      const std::string line = content.substr(start, end - start);
      texts.push_back(line.substr(line.find(" : ") + 3));
    }
    return texts;
  }

  test::TempDir dir;
  AppSettings settings;
  test::FakeClock clock{MakeLocalTime(2007, 5, 1, 10, 0, 0)};
  RunningLog log{dir.path(), settings, clock};
  MemoryRows rows;
  test::CallRecordingAlerts channels{settings, clock};
  HtmlReport report{settings, rows, channels, log, clock};
};

TEST_F(HtmlReportTest, PlaceholderPageWithAndWithoutReload) {
  report.WritePlaceholderPage();
  EXPECT_EQ(Page(),
            "<html><head><META HTTP-EQUIV='Content-Type' CONTENT='text/html;CHARSET=x-sjis'>"
            "<META HTTP-EQUIV='Refresh' CONTENT='300'></head>"
            "<body>ただいま最初の監視を実行しています。しばらくお待ちください。"
            "2007/05/01 10:00:00</body></html>");

  settings.DisableHtmlReload = 1;
  clock.Advance(61);
  report.WritePlaceholderPage();
  EXPECT_EQ(Page(),
            "<html><head><META HTTP-EQUIV='Content-Type' CONTENT='text/html;CHARSET=x-sjis'>"
            "</head><body>ただいま最初の監視を実行しています。しばらくお待ちください。"
            "2007/05/01 10:01:01</body></html>");
  EXPECT_THAT(channels.calls, IsEmpty());
}

TEST_F(HtmlReportTest, ReportPageWithDetailsHasFifteenCellsAndRedRowsForAllButUp) {
  report.WriteReportPage();
  EXPECT_EQ(Page(),
            std::string(kHeadUtf8) +
                "<META HTTP-EQUIV='Refresh' CONTENT='300'></head><body><table border='1'>"
                "<tr><td bgcolor='#00FFFF'>コンピュータ名</td><td bgcolor='#00FFFF'>IPアドレス</td>"
                "<td bgcolor='#00FFFF'>ステータス</td><td bgcolor='#00FFFF'>チェック</td>"
                "<td bgcolor='#00FFFF'>ポート</td><td bgcolor='#00FFFF'>最終起動確認時間</td>"
                "<td bgcolor='#00FFFF'>最終停止確認時間</td><td bgcolor='#00FFFF'>メールで連絡</td>"
                "<td bgcolor='#00FFFF'>net sendで連絡</td><td bgcolor='#00FFFF'>ログに記録</td>"
                "<td bgcolor='#00FFFF'>ダウン時の実行プログラム</td>"
                "<td bgcolor='#00FFFF'>復帰時の実行プログラム</td>"
                "<td bgcolor='#00FFFF'>最終チェック時間</td>"
                "<td bgcolor='#00FFFF'>デフォルトメールアドレスを使用しない</td>"
                "<td bgcolor='#00FFFF'>送信先メールアドレス</td></tr>\r\n"
                "<tr><td>web1</td><td>10.0.0.1</td><td>○</td><td>WEB</td><td>80</td>"
                "<td>2007/05/01 09:00:00</td><td><br></td><td>○</td><td><br></td><td>○</td>"
                "<td>alarm.sh down</td><td><br></td><td>2007/05/01 10:00:00</td><td><br></td>"
                "<td><br></td></tr>"
                "<tr bgcolor='#FF0000'><td>db1</td><td>10.0.0.2</td><td>×</td><td>PING</td>"
                "<td><br></td><td><br></td><td>2007/05/01 10:00:00</td><td><br></td><td>○</td>"
                "<td><br></td><td><br></td><td>restored.sh</td><td>2007/05/01 10:00:00</td>"
                "<td>○</td><td>ops@example.test</td></tr>"
                "</table></body></html>");
  EXPECT_THAT(LogTexts(), ElementsAre("結果をHTMLファイルへ出力します。"));
  EXPECT_THAT(channels.calls, IsEmpty());
  // On disk the page is CP932, as its content type says.
  EXPECT_NE(test::TempDir::ReadFile(settings.HtmlFile).find("<td>\x81\x7E</td>"),
            std::string::npos);
}

TEST_F(HtmlReportTest, ReportPageWithoutDetailsOrReloadKeepsTheLastThreeColumns) {
  settings.DisableHtmlDetail = 1;
  settings.DisableHtmlReload = 1;
  rows.ReplaceAll({Row({"pc", "10.0.0.9", "確認中..", "FTP", "21", "", "", "○", "○", "○", "a", "b",
                        "", "", "x@example.test"})});
  report.WriteReportPage();
  EXPECT_EQ(Page(),
            std::string(kHeadUtf8) +
                "</head><body><table border='1'>"
                "<tr><td bgcolor='#00FFFF'>コンピュータ名</td><td bgcolor='#00FFFF'>IPアドレス</td>"
                "<td bgcolor='#00FFFF'>ステータス</td><td bgcolor='#00FFFF'>チェック</td>"
                "<td bgcolor='#00FFFF'>ポート</td><td bgcolor='#00FFFF'>最終起動確認時間</td>"
                "<td bgcolor='#00FFFF'>最終停止確認時間</td>"
                "<td bgcolor='#00FFFF'>最終チェック時間</td>"
                "<td bgcolor='#00FFFF'>デフォルトメールアドレスを使用しない</td>"
                "<td bgcolor='#00FFFF'>送信先メールアドレス</td></tr>\r\n"
                "<tr bgcolor='#FF0000'><td>pc</td><td>10.0.0.9</td><td>確認中..</td>"
                "<td>FTP</td><td>21</td><td><br></td><td><br></td><td><br></td><td><br></td>"
                "<td>x@example.test</td></tr>"
                "</table></body></html>");
}

TEST_F(HtmlReportTest, ReloadMinutesThatAreZeroOrNotANumberGiveZeroSeconds) {
  for (const char* minutes : {"0", "abc", "", "x5"}) {
    SCOPED_TRACE(minutes);
    settings.HtmlReloadMinutes = minutes;
    EXPECT_NE(report.PlaceholderPage().find("CONTENT='0'>"), std::string::npos);
    EXPECT_NE(report.ReportPage().find("<META HTTP-EQUIV='Refresh' CONTENT='0'>"),
              std::string::npos);
  }
  settings.HtmlReloadMinutes = "10m";  // leading digits count
  EXPECT_NE(report.ReportPage().find("CONTENT='600'>"), std::string::npos);
}

TEST_F(HtmlReportTest, FieldTextsCannotInjectMarkup) {
  rows.ReplaceAll({Row({"<script>alert('x&y')</script>", "10.0.0.1", "○", "WEB", "80", "", "", "",
                        "", "", "run \"a\" > b", "", "", "", ""})});
  report.WriteReportPage();
  const std::string page = Page();
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("<td>&lt;script&gt;alert(&#39;x&amp;y&#39;)&lt;/script&gt;</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>run &quot;a&quot; &gt; b</td>"), std::string::npos);
}

// The check cycle reads a name with 128 bytes and a service with 64; the page
// reads every cell with 2048, so none loses its last byte.
TEST_F(HtmlReportTest, CellsHoldEachFieldUpTo2047Bytes) {
  const std::string name(128, 'n');
  const std::string service(64, 's');
  const std::string program(3000, 'p');
  rows.ReplaceAll({Row(
      {name, "10.0.0.1", "○", service, "12345", "", "", "", "", "", program, "", "", "", ""})});
  report.WriteReportPage();
  const std::string page = Page();
  EXPECT_NE(page.find("<td>" + name + "</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>" + service + "</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>" + std::string(2047, 'p') + "</td>"), std::string::npos);
}

TEST_F(HtmlReportTest, UnwritableFileIsReportedOncePerRun) {
  settings.HtmlFile = dir.File("no-such-folder/status.html");
  report.WritePlaceholderPage();  // silent
  report.WriteReportPage();
  report.WriteReportPage();
  EXPECT_THAT(LogTexts(), ElementsAre("結果をHTMLファイルへ出力します。",
                                      "[エラー]HTMLファイルの生成に失敗しました。"
                                      "イベントログを確認してください。",
                                      "結果をHTMLファイルへ出力します。"));
  ASSERT_THAT(channels.Channels(), ElementsAre("event"));
  EXPECT_EQ(channels.calls[0].type, EventType::Warning);
  EXPECT_EQ(channels.calls[0].arguments[0],
            "「Tarnwick」は、HTMLファイルを出力しようとしましたが失敗しました。\r\n" +
                std::string(std::strerror(ENOENT)));

  // A name that cannot be a file, and no name at all, fail the same way.
  for (const char* name : {"", "/"}) {
    HtmlReport run{settings, rows, channels, log, clock};
    settings.HtmlFile = name;
    run.WriteReportPage();
  }
  EXPECT_THAT(channels.Channels(), ElementsAre("event", "event", "event"));
  settings.HtmlFile = dir.File("no-such-folder/status.html");

  // The next run reports again.
  HtmlReport nextRun{settings, rows, channels, log, clock};
  nextRun.WriteReportPage();
  EXPECT_THAT(channels.Channels(), ElementsAre("event", "event", "event", "event"));
}

// Root ignores modes: the watch runs as an ordinary user who owns the page
// and may make new files in its folder.
TEST_F(HtmlReportTest, APageItsOwnerMadeReadOnlyStaysAsItWasAndIsReported) {
  TARNWICK_REQUIRE_ROOT();
  test::TempDir::WriteFile(settings.HtmlFile, "<html>kept</html>");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  ASSERT_EQ(::chown(settings.HtmlFile.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
  ASSERT_EQ(::chmod(settings.HtmlFile.c_str(), 0444), 0);

  // The recording channels live in the child: it answers through its exit code.
  const int result = test::RunAsOrdinaryUser([&] {
    report.WritePlaceholderPage();
    report.WriteReportPage();
    if (channels.calls.size() != 1) return 1;
    if (channels.calls[0].type != EventType::Warning) return 2;
    const bool reported = channels.calls[0].arguments[0] ==
                          "「Tarnwick」は、HTMLファイルを出力しようとしましたが失敗しました。\r\n" +
                              std::string(std::strerror(EACCES));
    return reported ? 0 : 3;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::TempDir::ReadFile(settings.HtmlFile), "<html>kept</html>");
  struct stat info {};
  ASSERT_EQ(::stat(settings.HtmlFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);
  EXPECT_THAT(LogTexts(), ElementsAre("結果をHTMLファイルへ出力します。",
                                      "[エラー]HTMLファイルの生成に失敗しました。"
                                      "イベントログを確認してください。"));
}

TEST_F(HtmlReportTest, ReplacementKeepsPermissionsLeavesNoTemporaryFilesAndFollowsLinks) {
  test::TempDir::WriteFile(settings.HtmlFile, "old page");
  ::chmod(settings.HtmlFile.c_str(), 0640);
  report.WriteReportPage();
  struct stat info {};
  ASSERT_EQ(::stat(settings.HtmlFile.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (::geteuid() == 0) {
    // Root publishes a page someone else owns without taking it over.
    ASSERT_EQ(::chown(settings.HtmlFile.c_str(), 12345, 12345), 0);
    report.WriteReportPage();
    ASSERT_EQ(::stat(settings.HtmlFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 12345u);
  }
  EXPECT_EQ(Page().substr(0, 6), "<html>");

  // A page published through a link stays a link to the rewritten file.
  const std::string target = dir.File("published.html");
  const std::string link = dir.File("link.html");
  test::TempDir::WriteFile(target, "old");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  settings.HtmlFile = link;
  report.WriteReportPage();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::TempDir::ReadFile(target).substr(0, 6), "<html>");

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_THAT(names, ElementsAre(log.openName(), "link.html", "published.html", "status.html"));
}

}  // namespace
}  // namespace tarnwick
