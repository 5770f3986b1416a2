#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "settings/ListPreload.h"
#include "support/RecordingPrompt.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

class ListPreloadTest : public ::testing::Test {
 protected:
  ListPreload Preload(int autoStart, const std::string& file) {
    settings.AutoStart = autoStart;
    settings.PreloadFile = file;
    return PreloadListFile(settings, prompt);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& shown : prompt.shown())
      texts.push_back(shown.text);
    return texts;
  }

  test::TempDir dir;
  AppSettings settings;
  test::RecordingPrompt prompt;
};

TEST_F(ListPreloadTest, AGoodFileIsLoadedAndStartsTheWatchOnlyWithAutoStart) {
  // The setting holds CP932; the file's name on disk is UTF-8.
  test::TempDir::WriteFile(dir.File("監視.ls2"), "ZNRQ\r\none\r\ntwo\r\n");
  auto preload = Preload(1, Cp932FromUtf8(dir.File("監視.ls2")));
  EXPECT_TRUE(preload.loaded);
  EXPECT_TRUE(preload.startWatch);
  EXPECT_EQ(preload.rows.size(), 2U);

  preload = Preload(0, Cp932FromUtf8(dir.File("監視.ls2")));
  EXPECT_TRUE(preload.loaded);
  EXPECT_FALSE(preload.startWatch);

  // A magic-only file loads; the start command then refuses the empty list.
  test::TempDir::WriteFile(dir.File("empty.ls2"), "ZNRQ\r\n");
  preload = Preload(1, dir.File("empty.ls2"));
  EXPECT_TRUE(preload.loaded && preload.startWatch && preload.rows.empty());
  EXPECT_TRUE(prompt.shown().empty());
}

TEST_F(ListPreloadTest, AutoStartWithoutAUsableFileSaysSoAndDoesNotWatch) {
  auto preload = Preload(1, "");
  EXPECT_FALSE(preload.loaded || preload.startWatch);
  EXPECT_EQ(Texts(), std::vector{Text(Msg::ListAutoStartWithoutPreload)});
  EXPECT_EQ(prompt.shown()[0].caption, Text(Msg::CaptionError));
  EXPECT_EQ(prompt.shown()[0].icon, PromptIcon::Error);

  test::TempDir::WriteFile(dir.File("bad.ls2"), "znrq\r\n");
  preload = Preload(1, dir.File("bad.ls2"));
  EXPECT_FALSE(preload.loaded || preload.startWatch);
  EXPECT_EQ(Texts(),
            (std::vector{Text(Msg::ListAutoStartWithoutPreload), Text(Msg::ListNotThisProgramsFile),
                         Text(Msg::ListAutoStartWithoutPreload)}));
}

TEST_F(ListPreloadTest, WithoutAutoStartOnlyAFailedReadIsReported) {
  EXPECT_FALSE(Preload(0, "").loaded);
  EXPECT_TRUE(prompt.shown().empty());

  test::TempDir::WriteFile(dir.File("long.ls2"), "ZNRQ\r\n" + std::string(3000, 'x') + "\r\n");
  EXPECT_FALSE(Preload(0, dir.File("long.ls2")).loaded);
  EXPECT_EQ(Texts(), (std::vector{FormatText(Msg::ListFieldTooLong, {"1", "2048"}),
                                  Text(Msg::ListPreloadFailed)}));
}

TEST_F(ListPreloadTest, AFileThatCannotBeOpenedShowsOnlyTheFileError) {
  for (const int autoStart : {0, 1}) {
    const auto preload = Preload(autoStart, dir.File("gone.ls2"));
    EXPECT_FALSE(preload.loaded || preload.startWatch);
  }
  ASSERT_EQ(prompt.shown().size(), 2U);
  for (const auto& shown : prompt.shown()) {
    EXPECT_EQ(shown.text, dir.File("gone.ls2") + Text(Msg::ListFileNotFound).substr(2));
  }
}

}  // namespace
}  // namespace tarnwick
