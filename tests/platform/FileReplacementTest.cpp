#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/FileReplacement.h"
#include "support/OrdinaryUser.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

std::size_t EntriesIn(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
    ++count;
  return count;
}

TEST(FileReplacement, ReplacesTheContentAndKeepsTheMode) {
  test::TempDir dir;
  const std::string file = dir.File("list.ls2");
  test::TempDir::WriteFile(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);

  for (const Durability durability : {Durability::Flushed, Durability::Visible}) {
    ASSERT_EQ(ReplaceFileAtomically(file, "new content", durability), 0);
    EXPECT_EQ(test::TempDir::ReadFile(file), "new content");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(FileReplacement, ALinkStaysAndItsTargetIsReplaced) {
  test::TempDir dir;
  const std::string target = dir.File("target.reg");
  const std::string link = dir.File("link.reg");
  test::TempDir::WriteFile(target, "old");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

  ASSERT_EQ(ReplaceFileAtomically(link, "new"), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::TempDir::ReadFile(target), "new");
}

TEST(FileReplacement, AFailureKeepsTheOldFileAndLeavesNoTemporary) {
  test::TempDir dir;
  test::TempDir::WriteFile(dir.File("plain"), "x");
  EXPECT_EQ(ReplaceFileAtomically(dir.File("plain/inside"), "new"), ENOTDIR);
  EXPECT_EQ(ReplaceFileAtomically(dir.File("missing/file"), "new"), ENOENT);
  EXPECT_EQ(ReplaceFileAtomically(dir.path() + "/", "new"), EISDIR);
  EXPECT_EQ(ReplaceFileAtomically("", "new"), ENOENT);

  // A folder in the way of the rename: the write happened, the rename fails.
  std::filesystem::create_directory(dir.File("folder"));
  test::TempDir::WriteFile(dir.File("folder/keep"), "x");
  EXPECT_NE(ReplaceFileAtomically(dir.File("folder"), "new"), 0);
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

// Root ignores modes, so the writer runs as an ordinary user who owns the
// file and may make new files in its folder: the rename alone would go through.
TEST(FileReplacement, AFileItsOwnerMadeReadOnlyIsNeverReplaced) {
  TARNWICK_REQUIRE_ROOT();
  test::TempDir dir;
  const std::string file = dir.File("list.ls2");
  test::TempDir::WriteFile(file, "old\r\n");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  ASSERT_EQ(::chown(file.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

  EXPECT_EQ(test::RunAsOrdinaryUser([&] { return ReplaceFileAtomically(file, "new"); }), EACCES);
  EXPECT_EQ(test::RunAsOrdinaryUser([&] { return ReplaceFileContents(file, "new"); }), EACCES);
  EXPECT_EQ(test::TempDir::ReadFile(file), "old\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(FileReplacement, AWritableFileInAFolderThatRefusesNewFilesIsWrittenInPlace) {
  TARNWICK_REQUIRE_ROOT();
  test::TempDir dir;
  const std::string file = dir.File("list.ls2");
  test::TempDir::WriteFile(file, "old content");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chown(file.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);

  // The atomic way alone is refused by the folder; the file is untouched.
  EXPECT_EQ(test::RunAsOrdinaryUser([&] { return ReplaceFileAtomically(file, "new"); }), EACCES);
  EXPECT_EQ(test::TempDir::ReadFile(file), "old content");
  for (const Durability durability : {Durability::Flushed, Durability::Visible}) {
    EXPECT_EQ(test::RunAsOrdinaryUser([&] { return ReplaceFileContents(file, "new", durability); }),
              0);
    EXPECT_EQ(test::TempDir::ReadFile(file), "new");
  }
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_uid, test::kOrdinaryUserId);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(FileReplacement, TemporariesAreNamedAfterTheirFile) {
  EXPECT_EQ(TemporaryPrefixFor("/var/www/status.html"), "/var/www/.status.html.tmp-");
  EXPECT_EQ(TemporaryPrefixFor("page.html"), ".page.html.tmp-");
}

}  // namespace
}  // namespace tarnwick
