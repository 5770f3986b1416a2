#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/CodePage.h"
#include "platform/ProgramLauncher.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Split(std::string_view line) {
  return ProgramLauncher::SplitCommandLine(line);
}

TEST(CommandLineSplit, BlanksSeparateAndQuotesGroup) {
  EXPECT_THAT(Split("prog a  b\tc"), ElementsAre("prog", "a", "b", "c"));
  EXPECT_THAT(Split("  \"/opt/my tools/alarm\" \"two words\" x"),
              ElementsAre("/opt/my tools/alarm", "two words", "x"));
  EXPECT_THAT(Split("prog \"\" end"), ElementsAre("prog", "", "end"));
  EXPECT_THAT(Split("prog half\"quoted part\"more"), ElementsAre("prog", "halfquoted partmore"));
  EXPECT_THAT(Split("prog \"unterminated part"), ElementsAre("prog", "unterminated part"));
  EXPECT_THAT(Split(" \t "), IsEmpty());
  EXPECT_THAT(Split(""), IsEmpty());
}

TEST(CommandLineSplit, BackslashesCountOnlyBeforeAQuote) {
  EXPECT_THAT(Split(R"(p a\b c\\d)"), ElementsAre("p", R"(a\b)", R"(c\\d)"));
  EXPECT_THAT(Split(R"(p a\"b)"), ElementsAre("p", R"(a"b)"));
  EXPECT_THAT(Split(R"(p a\\\"b)"), ElementsAre("p", R"(a\"b)"));
  EXPECT_THAT(Split(R"(p a\\"b c")"), ElementsAre("p", R"(a\b c)"));
  // "" inside quotes is a literal quote that also closes them, so the last
  // quote here opens a part that runs to the end.
  EXPECT_THAT(Split(R"(p "a""b" c)"), ElementsAre("p", R"(a"b c)"));
  EXPECT_THAT(Split(R"(p "a""b c)"), ElementsAre("p", R"(a"b)", "c"));
  EXPECT_THAT(Split(R"(p """x y)"), ElementsAre("p", R"("x)", "y"));
  // The program name takes backslashes as they are and ends at its quote.
  EXPECT_THAT(Split(R"("C:\dir\" \"arg)"), ElementsAre(R"(C:\dir\)", R"("arg)"));
}

TEST(CommandLineSplit, SecondByteOfADoubleByteCharacterIsNotABackslash) {
  // "ソ" is 83 5C in CP932: a backslash there must not escape the quote.
  const std::string so = Cp932FromUtf8("ソ");
  ASSERT_EQ(so, "\x83\x5C");
  EXPECT_THAT(Split("p \"" + so + "\" x"), ElementsAre("p", so, "x"));
}

bool WaitFor(const std::function<bool()>& condition) {
  // A real child process runs at its own pace; give it up to ten seconds.
  for (int i = 0; i < 1000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  return !stat.is_open();
}

TEST(ProgramLauncher, StartsTheProgramWithoutWaitingAndLeavesNoZombie) {
  test::TempDir dir;
  const std::string target = dir.File("started file");
  const auto launch = ProgramLauncher::System().Start("touch \"" + target + "\"");
  ASSERT_GT(launch.code, 31);
  ASSERT_GT(launch.pid, 0);
  EXPECT_TRUE(WaitFor([&] { return test::TempDir::Exists(target); }));
  // A zombie keeps its /proc entry until reaped.
  EXPECT_TRUE(WaitFor([&] { return ProcessGone(launch.pid); }));
}

TEST(ProgramLauncher, JapaneseArgumentsReachTheProgramAsUtf8) {
  test::TempDir dir;
  const std::string target = dir.File("警報.txt");
  const auto launch = ProgramLauncher::System().Start(Cp932FromUtf8("/usr/bin/touch " + target));
  ASSERT_GT(launch.code, 31);
  EXPECT_TRUE(WaitFor([&] { return test::TempDir::Exists(target); }));
}

TEST(ProgramLauncher, FailuresMapToTheirCodes) {
  test::TempDir dir;
  test::TempDir::WriteFile(dir.File("plain.txt"), "not a program\n");
  ::chmod(dir.File("plain.txt").c_str(), 0644);
  test::TempDir::WriteFile(dir.File("garbage"), "\x01\x02\x03 neither ELF nor script\n");
  ::chmod(dir.File("garbage").c_str(), 0755);

  ProgramLauncher& launcher = ProgramLauncher::System();
  EXPECT_EQ(launcher.Start("tarnwick-no-such-program-anywhere").code,
            ProgramLauncher::kFileNotFound);
  EXPECT_EQ(launcher.Start(dir.File("missing") + " arg").code, ProgramLauncher::kFileNotFound);
  EXPECT_EQ(launcher.Start(dir.File("no-folder/missing")).code, ProgramLauncher::kPathNotFound);
  EXPECT_EQ(launcher.Start(dir.File("plain.txt/below")).code, ProgramLauncher::kPathNotFound);
  EXPECT_EQ(launcher.Start(dir.File("plain.txt")).code, ProgramLauncher::kBadExecutable);
  EXPECT_EQ(launcher.Start(dir.File("garbage")).code, ProgramLauncher::kBadExecutable);
  EXPECT_EQ(launcher.Start(dir.path()).code, ProgramLauncher::kBadExecutable);
  EXPECT_EQ(launcher.Start("   ").code, ProgramLauncher::kFileNotFound);
  EXPECT_EQ(launcher.Start("\"\" arg").code, ProgramLauncher::kFileNotFound);
}

}  // namespace
}  // namespace tarnwick
