#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

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

// A write in place is not atomic. A writer killed half-way (here by its
// file size limit, as kill -9 would) leaves the file cut short, but the
// previous content whole in the state folder, until a save succeeds.
TEST(FileReplacement, AnInPlaceSaveKilledHalfwayLeavesThePreviousContentInACopy) {
  TARNWICK_REQUIRE_ROOT();
  test::TempDir dir;
  test::TempDir state;
  ASSERT_EQ(::chown(state.path().c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);
  ::setenv("XDG_STATE_HOME", state.path().c_str(), 1);
  const std::string file = dir.File("list.ls2");
  const std::string old(5000, 'o');
  test::TempDir::WriteFile(file, old);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chown(file.c_str(), test::kOrdinaryUserId, test::kOrdinaryUserId), 0);

  const int killed = test::RunAsOrdinaryUser([&] {
    const rlimit limit{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return ReplaceFileContents(file, std::string(65536, 'n'), Durability::Flushed);
  });
  EXPECT_EQ(killed, -1);
  EXPECT_EQ(test::TempDir::ReadFile(file), std::string(8192, 'n'));
  EXPECT_TRUE(HasInPlaceCopy(file));
  EXPECT_EQ(InPlaceCopyPath(file).rfind(state.path() + "/tarnwick/list.ls2.", 0), 0u);
  EXPECT_EQ(test::TempDir::ReadFile(InPlaceCopyPath(file)), old);

  // The next save that succeeds makes the copy useless, and removes it.
  EXPECT_EQ(test::RunAsOrdinaryUser([&] { return ReplaceFileContents(file, "new"); }), 0);
  EXPECT_EQ(test::TempDir::ReadFile(file), "new");
  EXPECT_FALSE(HasInPlaceCopy(file));
  ::unsetenv("XDG_STATE_HOME");
}

// Temporaries of writers that no longer run are removed by the next save.
TEST(FileReplacement, StaleTemporariesOfEndedWritersAreRemoved) {
  test::TempDir dir;
  const std::string file = dir.File("status.html");
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ::waitpid(ended, nullptr, 0);
  const std::string stale = TemporaryPrefixFor(file) + std::to_string(ended) + "-0";
  const std::string live = TemporaryPrefixFor(file) + std::to_string(::getppid()) + "-0";
  test::TempDir::WriteFile(stale, "left");
  test::TempDir::WriteFile(live, "busy");
  ASSERT_EQ(ReplaceFileAtomically(file, "page"), 0);
  EXPECT_FALSE(test::TempDir::Exists(stale));
  EXPECT_TRUE(test::TempDir::Exists(live));
}

TEST(FileReplacement, TemporariesAreNamedAfterTheirFile) {
  EXPECT_EQ(TemporaryPrefixFor("/var/www/status.html"), "/var/www/.status.html.tmp-");
  EXPECT_EQ(TemporaryPrefixFor("page.html"), ".page.html.tmp-");
}

}  // namespace
}  // namespace tarnwick
