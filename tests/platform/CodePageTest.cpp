#include <gtest/gtest.h>

#include <random>

#include "platform/CodePage.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

TEST(CodePage, RoundTripsJapaneseAndTheStatusSymbols) {
  const std::string utf8 = "監視 ○× ﾚｼﾞｽﾄﾘ ABC";
  const std::string cp932 = Cp932FromUtf8(utf8);
  EXPECT_EQ(Utf8FromCp932(cp932), utf8);
  EXPECT_EQ(Cp932FromUtf8("○"), "\x81\x9B");
  EXPECT_EQ(Cp932FromUtf8("×"), "\x81\x7E");
  EXPECT_EQ(Cp932FromUtf8("ｱ"), "\xB1");
}

TEST(CodePage, BadInputBecomesQuestionMarksWithoutReadingPastTheEnd) {
  EXPECT_EQ(Utf8FromCp932("A\x82"), "A?");  // dangling lead byte
  EXPECT_EQ(Utf8FromCp932(std::string("\x82\x00", 2)), std::string("?\0", 2));
  EXPECT_EQ(Cp932FromUtf8("\xFF"
                          "a"),
            "?a");
  EXPECT_EQ(Cp932FromUtf8("\xE2\x82"), "?");  // cut UTF-8 sequence
}

TEST(CodePage, RandomBytesNeverCrash) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 40, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random());
    const std::string utf8 = Utf8FromCp932(bytes);
    const std::string back = Cp932FromUtf8(utf8);
    EXPECT_LE(back.size(), bytes.size() + 1);
  }
}

TEST(CodePage, CutNeverSplitsADoubleByteCharacter) {
  const std::string text = Cp932FromUtf8("aあい");  // 1 + 2 + 2 bytes
  EXPECT_EQ(CutCp932(text, 5), text);
  EXPECT_EQ(CutCp932(text, 4), text.substr(0, 3));
  EXPECT_EQ(CutCp932(text, 2), "a");
  EXPECT_EQ(CutCp932(text, 0), "");
  EXPECT_EQ(CutCp932("ab\x82", 10), "ab");  // dangling lead byte at the end is dropped
  EXPECT_EQ(CutCp932("abcdef", 4), "abcd");
  EXPECT_EQ(CutCp932("abc\x82\xa0", 4), "abc");
  EXPECT_EQ(CutCp932("\xb1"
                     "bc\x82\xa0",
                     5),
            "\xb1"
            "bc\x82\xa0");  // half-width kana is one byte
}

TEST(Messages, CatalogueTextsAreCp932) {
  EXPECT_EQ(Text(Msg::StatusUp), "\x81\x9B");
  EXPECT_EQ(Utf8FromCp932(Text(Msg::CaptionRegistryA01)), "注意 A01");
  EXPECT_EQ(Utf8FromCp932(Text(Msg::RegistryAccessFailed)), "ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。");
  // The build's encoding of every text reads back as the text written.
  for (int id = 0; id < static_cast<int>(Msg::Count); ++id) {
    const auto msg = static_cast<Msg>(id);
    EXPECT_EQ(Utf8FromCp932(Text(msg)), Utf8Text(msg)) << "message " << id;
  }
}

}  // namespace
}  // namespace tarnwick
