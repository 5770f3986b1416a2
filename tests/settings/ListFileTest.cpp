#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "engine/MemoryRows.h"
#include "platform/CodePage.h"
#include "platform/FileReplacement.h"
#include "platform/Messages.h"
#include "settings/ClipboardRecord.h"
#include "settings/ListFile.h"
#include "settings/ListFileParser.h"
#include "support/OrdinaryUser.h"
#include "support/RecordingPrompt.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using Table = std::vector<std::vector<std::string>>;

std::string Sjis(std::string_view utf8) {
  return Cp932FromUtf8(utf8);
}

ComputerEntry Entry(std::initializer_list<std::string_view> utf8Fields) {
  ComputerEntry entry;
  std::size_t i = 0;
  for (const std::string_view field : utf8Fields)
    entry.fields[i++] = Sjis(field);
  return entry;
}

// The fields as a test reads them: UTF-8 again.
std::vector<std::string> Utf8Fields(const ComputerEntry& entry) {
  std::vector<std::string> out;
  for (const std::string& field : entry.fields)
    out.push_back(Utf8FromCp932(field));
  return out;
}

std::vector<std::string> Fields(std::initializer_list<std::string> utf8Fields) {
  std::vector<std::string> out(utf8Fields);
  out.resize(kFieldCount);
  return out;
}

std::string EntriesInFolder(const std::string& folder) {
  std::string names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names += name + ";";
    }
    ::closedir(dir);
  }
  return names;
}

class ListFileTest : public ::testing::Test {
 protected:
  ListReadResult ReadBytes(const std::string& bytes) {
    test::TempDir::WriteFile(path, bytes);
    return ReadListFile(path, prompt);
  }

  // Rows of a file that must be read successfully, in UTF-8.
  Table Rows(const std::string& bytes) {
    const auto read = ReadBytes(bytes);
    EXPECT_TRUE(read.ok()) << bytes;
    Table out;
    for (const ComputerEntry& row : read.rows)
      out.push_back(Utf8Fields(row));
    return out;
  }

  // The caller's side: rows are replaced only when the read succeeded.
  bool Load(MemoryRows& rows) {
    auto read = ReadListFile(path, prompt);
    if (read.ok()) rows.ReplaceAll(std::move(read.rows));
    return read.ok();
  }

  std::vector<ComputerEntry> TwoComputers() const {
    return {Entry({"ファイルサーバー", "192.168.0.10", "○", "PING", "", "2007/05/08 10:00:00",
                   "2007/05/08 09:00:00", "○", "", "○", "/usr/bin/logger down", "", "2007/05/08",
                   "○", "admin@example.com;ops@example.com"}),
            Entry({"web", "127.0.0.1", "×", "WEB", "80", "", "", "", "○", "", "",
                   "\"/opt/my tools/restore\" -q", "", "", ""})};
  }

  test::TempDir dir;
  std::string path = dir.File("list.ls2");
  test::RecordingPrompt prompt;
};

TEST_F(ListFileTest, SaveThenReadKeepsTheConfigurationAndClearsStatusAndTimes) {
  const auto saved = TwoComputers();
  ASSERT_TRUE(WriteListFile(path, saved, prompt));
  EXPECT_TRUE(prompt.shown().empty());
  EXPECT_EQ(
      test::TempDir::ReadFile(path),
      "ZNRQ\r\n" + Sjis("ファイルサーバー,192.168.0.10,,PING,,,,○,,○,/usr/bin/logger down,,,○,"
                        "admin@example.com;ops@example.com\r\n"
                        "web,127.0.0.1,,WEB,80,,,,○,,,\"/opt/my tools/restore\" -q,,,\r\n"));

  const auto read = ReadListFile(path, prompt);
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read.rows.size(), 2U);
  for (std::size_t r = 0; r < 2; ++r) {
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      const Field field = static_cast<Field>(f);
      if (field == Field::Status) {
        EXPECT_EQ(read.rows[r][field], StatusUnknownText());
      } else if (field == Field::LastUpTime || field == Field::LastDownTime ||
                 field == Field::LastCheckTime) {
        EXPECT_EQ(read.rows[r][field], "");
      } else {
        EXPECT_EQ(read.rows[r][field], saved[r][field]) << r << "/" << f;
      }
    }
  }
}

// The file keeps what the row holds, a lone lead byte at a field's end
// included; the Unicode clipboard could not, so copy refuses such a row.
TEST_F(ListFileTest, ATrailingLeadByteSurvivesTheFileAndIsRefusedByTheClipboard) {
  std::vector<ComputerEntry> rows = TwoComputers();
  rows[1][Field::DownProgram] = "run \x82";
  ASSERT_TRUE(WriteListFile(path, rows, prompt));
  const auto read = ReadListFile(path, prompt);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.rows[1][Field::DownProgram], "run \x82");

  EXPECT_EQ(ClipboardRefusal(rows[0]), std::nullopt);
  EXPECT_EQ(ClipboardRefusal(rows[1]),
            Sjis("コンピュータ「web」の「ダウン時の実行プログラム」に、クリップボードでは"
                 "正しく運べないバイト（文字として完結していないバイトなど）があるため、"
                 "コピーできません。"));
}

// A copy left by a save in place that did not finish is named when the file
// is loaded (the load goes on), and a save that succeeds removes it.
TEST_F(ListFileTest, ALoadNamesTheCopyOfAnUnfinishedSaveInPlace) {
  test::TempDir state;
  ::setenv("XDG_STATE_HOME", state.path().c_str(), 1);
  ASSERT_TRUE(WriteListFile(path, TwoComputers(), prompt));
  const std::string copy = InPlaceCopyPath(path);
  ASSERT_EQ(::mkdir(StateFolder().c_str(), 0700), 0);
  test::TempDir::WriteFile(copy, "ZNRQ\r\nwhole,,,,,,,,,,,,,,\r\n");
  EXPECT_TRUE(ReadListFile(path, prompt).ok());
  ASSERT_EQ(prompt.shown().size(), 1U);
  EXPECT_EQ(prompt.shown()[0].text,
            Sjis(path + " の前回の保存は途中で終わった可能性があります。保存する前の内容は " +
                 copy + " に残してあります。"));
  ASSERT_TRUE(WriteListFile(path, TwoComputers(), prompt));
  EXPECT_FALSE(test::TempDir::Exists(copy));
  ::unsetenv("XDG_STATE_HOME");
}

TEST_F(ListFileTest, MagicLineRules) {
  EXPECT_TRUE(Rows("ZNRQ\r\n").empty());
  EXPECT_TRUE(Rows("ZNRQ").empty());
  EXPECT_TRUE(prompt.shown().empty());
  // The byte after the magic is skipped whatever it is; an LF after it too.
  EXPECT_EQ(Rows("ZNRQxa\r\n"), Table{Fields({"a"})});
  EXPECT_EQ(Rows("ZNRQ\r\n\r\n"), Table{Fields({})});

  for (const std::string bad : {"znrq\r\na\r\n", "ZNR", "", "ZNRX\r\n", "\r\nZNRQ\r\n"}) {
    EXPECT_EQ(ReadBytes(bad).status, ListReadStatus::WrongMagic) << bad;
  }
  const auto shown = prompt.shown();
  ASSERT_EQ(shown.size(), 5U);
  EXPECT_EQ(shown[0].text, Text(Msg::ListNotThisProgramsFile));
  EXPECT_EQ(shown[0].caption, Text(Msg::CaptionCaution));
  EXPECT_EQ(shown[0].icon, PromptIcon::Exclamation);
}

TEST_F(ListFileTest, SeparatorRules) {
  // A lone CR ends the row; CR LF is one line end; an empty line is a row.
  EXPECT_EQ(Rows("ZNRQ\r\na,b\rc,d\r\n\r\ne\r\n"),
            (Table{Fields({"a", "b"}), Fields({"c", "d"}), Fields({}), Fields({"e"})}));
  // A line that stops before Status leaves it empty; one that reaches it
  // gets "不明" whatever it held, and the times are never taken.
  EXPECT_EQ(Rows("ZNRQ\r\nn,1.2.3.4,○,PING,,up,down,,,,,,chk,,\r\n")[0],
            Fields({"n", "1.2.3.4", "不明", "PING", "", "", "", "", "", "", "", "", "", "", ""}));
  // A sixteenth field starts the next row.
  EXPECT_EQ(Rows("ZNRQ\r\n0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,next\r\n"),
            (Table{Fields({"0", "1", "不明", "3", "4", "", "", "7", "8", "9", "10", "11", "", "13",
                           "14"}),
                   Fields({"next"})}));
}

TEST_F(ListFileTest, LoneLfActsAsACommaSoAnLfFileIsOneRowStream) {
  std::string file = "ZNRQ\n";
  for (int row = 0; row < 2; ++row) {
    for (int f = 0; f < 15; ++f)
      file += "r" + std::to_string(row) + "f" + std::to_string(f) + "\n";
  }
  const auto rows = Rows(file);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0][0], "r0f0");
  EXPECT_EQ(rows[0][14], "r0f14");
  EXPECT_EQ(rows[1][0], "r1f0");
  EXPECT_EQ(rows[1][14], "r1f14");
}

TEST_F(ListFileTest, LastLineWithoutLineEndLosesItsLastField) {
  EXPECT_EQ(Rows("ZNRQ\r\na,b\r\nc,d"), (Table{Fields({"a", "b"}), Fields({"c"})}));
  EXPECT_EQ(Rows("ZNRQ\r\na,b\r\nlonely"), Table{Fields({"a", "b"})});
}

TEST_F(ListFileTest, FieldLimitIs2048BytesAndAFailedReadLeavesTheRowsAsTheyWere) {
  MemoryRows rows;
  rows.ReplaceAll(TwoComputers());
  const auto before = rows.Snapshot();

  test::TempDir::WriteFile(path, "ZNRQ\r\nok\r\nn,ip,," + std::string(2049, 'x') + "\r\n");
  EXPECT_FALSE(Load(rows));
  EXPECT_EQ(rows.Snapshot().size(), before.size());
  EXPECT_EQ(Utf8Fields(rows.Snapshot()[1]), Utf8Fields(before[1]));
  ASSERT_EQ(prompt.shown().size(), 1U);
  EXPECT_EQ(prompt.shown()[0].text,
            Sjis("このファイルの 2 台目のコンピュータに 2048 バイトを超える項目があるため、"
                 "読み込めません。"));
  EXPECT_EQ(prompt.shown()[0].icon, PromptIcon::Exclamation);

  test::TempDir::WriteFile(path, "Znrq\r\nok\r\n");
  EXPECT_FALSE(Load(rows));
  EXPECT_EQ(rows.Snapshot()[0][Field::ComputerName], before[0][Field::ComputerName]);

  test::TempDir::WriteFile(path, "ZNRQ\r\n" + std::string(2048, 'x') + "\r\n");
  ASSERT_TRUE(Load(rows));
  ASSERT_EQ(rows.RowCount(), 1);
  EXPECT_EQ(rows.Snapshot()[0][Field::ComputerName].size(), 2048U);
}

TEST_F(ListFileTest, RowsBeyondTheSafetyBoundMakeTheFileInvalid) {
  EXPECT_EQ(ReadBytes("ZNRQ\r\n" + std::string(ListFileParser::kMaxRows + 1, '\r')).status,
            ListReadStatus::InvalidContent);
  EXPECT_EQ(prompt.shown().at(0).text,
            Sjis("このファイルには 100000 台を超えるコンピュータが記録されているため、"
                 "読み込めません。"));
  const auto atTheBound = ReadBytes("ZNRQ\r\n" + std::string(ListFileParser::kMaxRows, '\r'));
  ASSERT_TRUE(atTheBound.ok());
  EXPECT_EQ(atTheBound.rows.size(), ListFileParser::kMaxRows);
}

TEST_F(ListFileTest, UnreadableFilesAreReportedWithTheirPath) {
  const std::string missing = dir.File("missing.ls2");
  EXPECT_EQ(ReadListFile(missing, prompt).status, ListReadStatus::OpenFailed);
  // A folder, a FIFO (whose open would wait for a writer) and a device are
  // refused at once.
  const std::string fifo = dir.File("fifo.ls2");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& other : {dir.path(), fifo, std::string("/dev/null")}) {
    EXPECT_EQ(ReadListFile(other, prompt).status, ListReadStatus::OpenFailed);
  }
  const auto shown = prompt.shown();
  ASSERT_EQ(shown.size(), 4U);
  EXPECT_EQ(shown[0].text, missing + Sjis(" が見つかりませんでした。"));
  EXPECT_EQ(shown[0].caption, Text(Msg::CaptionError));
  EXPECT_EQ(shown[0].icon, PromptIcon::Error);
  EXPECT_EQ(shown[2].text, fifo + Sjis(" は通常のファイルではない（フォルダ、FIFO、デバイスなど）"
                                       "ため、読み込めません。"));
  EXPECT_EQ(shown[2].icon, PromptIcon::Error);

  // File names are UTF-8 on disk and CP932 in the message.
  EXPECT_EQ(ReadListFile(dir.File("無い.ls2"), prompt).status, ListReadStatus::OpenFailed);
  EXPECT_EQ(prompt.shown().at(4).text, Sjis(dir.File("無い.ls2") + " が見つかりませんでした。"));
}

TEST_F(ListFileTest, WriteRefusesWhatCouldNotBeReadBack) {
  test::TempDir::WriteFile(path, "ZNRQ\r\nold\r\n");
  EXPECT_FALSE(WriteListFile(path, {}, prompt));
  auto rows = TwoComputers();
  rows[1][Field::DownProgram] = "notify.sh web,down";
  EXPECT_FALSE(WriteListFile(path, rows, prompt));
  rows[1][Field::DownProgram] = "two\r\nlines";
  EXPECT_FALSE(WriteListFile(path, rows, prompt));
  EXPECT_EQ(test::TempDir::ReadFile(path), "ZNRQ\r\nold\r\n");

  const auto shown = prompt.shown();
  ASSERT_EQ(shown.size(), 3U);
  EXPECT_EQ(shown[0].text, Text(Msg::ListNothingToSave));
  EXPECT_EQ(shown[0].icon, PromptIcon::Exclamation);
  EXPECT_EQ(Utf8FromCp932(shown[1].text),
            "2 行目のコンピュータ「web」の「ダウン時の実行プログラム」にカンマまたは改行が"
            "含まれているため、コンピュータリストファイルに保存できません。");

  // Status and times are never written, so what they hold does not matter;
  // a comma beyond the 2047 bytes written does not matter either.
  rows = TwoComputers();
  rows[0][Field::LastCheckTime] = "a,b";
  rows[0][Field::RestoreProgram] = std::string(2047, 'p') + ",tail";
  ASSERT_TRUE(WriteListFile(path, rows, prompt));
  EXPECT_EQ(ReadListFile(path, prompt).rows.at(0)[Field::RestoreProgram], std::string(2047, 'p'));
}

TEST_F(ListFileTest, FailedSaveKeepsThePreviousFile) {
  const std::string old = "ZNRQ\r\nprevious\r\n";
  test::TempDir::WriteFile(path, old);
  ::chmod(path.c_str(), 0640);

  // The disk refuses the new file half way (a file size limit works even
  // for root, where permissions do not).
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  const bool written = WriteListFile(path, TwoComputers(), prompt);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(test::TempDir::ReadFile(path), old);
  EXPECT_EQ(EntriesInFolder(dir.path()), "list.ls2;");  // no temporary file left
  ASSERT_EQ(prompt.shown().size(), 1U);
  EXPECT_EQ(prompt.shown()[0].text,
            path + Sjis(" への書き込み中にエラーが発生しました。 (File too large)"));
  EXPECT_EQ(prompt.shown()[0].icon, PromptIcon::Error);

  // A folder that does not exist.
  EXPECT_FALSE(WriteListFile(dir.File("no/such.ls2"), TwoComputers(), prompt));
  EXPECT_EQ(prompt.shown().at(1).text, dir.File("no/such.ls2") + Sjis(" が見つかりませんでした。"));

  // A successful save replaces the file and keeps its permissions.
  ASSERT_TRUE(WriteListFile(path, TwoComputers(), prompt));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 0777, 0640U);
  EXPECT_EQ(EntriesInFolder(dir.path()), "list.ls2;");
}

// Root ignores modes, so the saves below run as an ordinary user who owns
// the list file.
TEST_F(ListFileTest, AListFileItsOwnerMadeReadOnlyIsRefusedAndKeptAsItWas) {
  TARNWICK_REQUIRE_ROOT();
  const std::string old = "ZNRQ\r\nprevious\r\n";
  test::TempDir::WriteFile(path, old);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  ASSERT_EQ(::chown(path.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

  // The prompt lives in the child: it answers through its exit code.
  const int result = test::RunAsOrdinaryUser([&] {
    if (WriteListFile(path, TwoComputers(), prompt)) return 1;
    if (prompt.shown().size() != 1) return 2;
    if (prompt.shown()[0].text != path + Sjis(" へのｱｸｾｽは拒否されました。")) return 3;
    if (prompt.shown()[0].caption != Text(Msg::CaptionError)) return 4;
    return prompt.shown()[0].icon == PromptIcon::Error ? 0 : 5;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::TempDir::ReadFile(path), old);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444U);
  EXPECT_EQ(EntriesInFolder(dir.path()), "list.ls2;");
}

TEST_F(ListFileTest, AWritableListFileInAFolderThatRefusesNewFilesIsSavedInPlace) {
  TARNWICK_REQUIRE_ROOT();
  test::TempDir::WriteFile(path, "ZNRQ\r\nprevious\r\n");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chown(path.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);

  const int result = test::RunAsOrdinaryUser([&] {
    if (!WriteListFile(path, TwoComputers(), prompt)) return 1;
    return prompt.shown().empty() ? 0 : 2;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::TempDir::ReadFile(path), FormatListFile(TwoComputers()));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600U);
  EXPECT_EQ(info.st_uid, test::kOrdinaryUserId);
  EXPECT_EQ(EntriesInFolder(dir.path()), "list.ls2;");

  // A new file cannot be made there, in place or otherwise.
  const std::string fresh = dir.File("fresh.ls2");
  EXPECT_EQ(test::RunAsOrdinaryUser([&] { return WriteListFile(fresh, TwoComputers(), prompt); }),
            0);
  EXPECT_EQ(EntriesInFolder(dir.path()), "list.ls2;");
}

TEST_F(ListFileTest, SaveThroughASymbolicLinkReplacesItsTarget) {
  const std::string real = dir.File("real.ls2");
  test::TempDir::WriteFile(real, "ZNRQ\r\nold\r\n");
  ASSERT_EQ(::symlink(real.c_str(), path.c_str()), 0);
  ASSERT_TRUE(WriteListFile(path, TwoComputers(), prompt));
  struct stat link {};
  ASSERT_EQ(::lstat(path.c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(test::TempDir::ReadFile(real), FormatListFile(TwoComputers()));
}

// Random bytes, rich in the bytes the format cares about, parsed whole and in
// random pieces: never a crash or a read past the input (run under the
// sanitizers), and the piecewise result always equals the whole one.
TEST(ListFileParserFuzz, RandomInputParsesTheSameInAnyPieces) {
  std::mt19937 random(20070508);
  const std::string alphabet = std::string(
      "ZNRQ,\r\n\x81\x9B"
      "ab",
      11);
  for (int round = 0; round < 20000; ++round) {
    std::string input = round % 3 == 0 ? "ZNRQ\r\n" : "";
    const std::size_t length = random() % 300;
    for (std::size_t i = 0; i < length; ++i) {
      input.push_back(random() % 4 == 0 ? static_cast<char>(random() % 256)
                                        : alphabet[random() % alphabet.size()]);
    }
    if (round % 50 == 0) input += std::string(2040 + random() % 20, 'y');

    std::vector<ComputerEntry> whole;
    const auto wholeResult = ListFileParser::Parse(input, whole);

    if (round % 200 == 0) {
      test::TempDir dir;
      test::TempDir::WriteFile(dir.File("fuzz.ls2"), input);
      test::RecordingPrompt prompt;
      const auto read = ReadListFile(dir.File("fuzz.ls2"), prompt);
      ASSERT_EQ(read.ok(), wholeResult == ListFileParser::Result::Ok);
      ASSERT_EQ(read.rows.size(), whole.size());
    }

    ListFileParser pieces;
    std::size_t at = 0;
    while (at < input.size()) {
      const std::size_t take = 1 + random() % 7;
      pieces.Feed(std::string_view(input).substr(at, take));
      at += take;
    }
    ASSERT_EQ(pieces.Finish(), wholeResult) << round;
    if (wholeResult != ListFileParser::Result::Ok) continue;
    const auto rows = pieces.TakeRows();
    ASSERT_EQ(rows.size(), whole.size()) << round;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      ASSERT_EQ(rows[r].fields, whole[r].fields) << round;
      for (const std::string& field : rows[r].fields) {
        ASSERT_LE(field.size(), ListFileParser::kFieldCapacity);
      }
      ASSERT_TRUE(rows[r][Field::LastUpTime].empty());
    }
  }
}

}  // namespace
}  // namespace tarnwick
