#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <random>
#include <string>

#include "mail/HeaderEncoder.h"
#include "platform/CodePage.h"

namespace tarnwick {
namespace {

using namespace std::string_view_literals;

constexpr std::size_t kLimit = 63;

std::string Encode(std::string_view input, std::size_t limit = kLimit) {
  StringBuffer output;
  HeaderEncoder::EncodeHeaderText(output, input, limit);
  return std::string(output.view());
}

std::string Jis(std::string_view character) {
  StringBuffer output;
  HeaderEncoder::ToJisText(character, output);
  return std::string(output.view());
}

std::string Base64(std::string_view input) {
  StringBuffer output;
  HeaderEncoder::Base64Header(output, input);
  return std::string(output.view());
}

// --- StringBuffer -----------------------------------------------------------

TEST(StringBufferTest, StartsAt1024AndDoublesOrFitsWhatIsAsked) {
  StringBuffer buffer;
  EXPECT_EQ(buffer.capacity(), 1024u);
  EXPECT_EQ(buffer.length(), 1u);
  EXPECT_STREQ(buffer.c_str(), "");

  buffer.Append(std::string(1023, 'a'));
  EXPECT_EQ(buffer.capacity(), 1024u);
  buffer.Append('b');
  EXPECT_EQ(buffer.capacity(), 2048u);
  buffer.Append(std::string(5000, 'c'));
  EXPECT_EQ(buffer.capacity(), 6025u);  // more than double: exactly what is needed
  EXPECT_EQ(buffer.size(), 6024u);
  EXPECT_EQ(buffer.c_str()[buffer.size()], '\0');

  buffer.Assign(std::string(3000, 'x'));
  EXPECT_EQ(buffer.capacity(), 3001u);
  buffer.Reset(0);
  EXPECT_EQ(buffer.capacity(), 1u);  // still room for the terminator
  EXPECT_TRUE(buffer.empty());
}

TEST(StringBufferTest, AppendingItsOwnTextSurvivesTheMove) {
  StringBuffer buffer(std::string(1000, 'q'));
  buffer.Append(buffer.view());
  EXPECT_EQ(buffer.view(), std::string(2000, 'q'));
  buffer.Release();
  EXPECT_EQ(buffer.capacity(), 0u);
  buffer.Append("again");
  EXPECT_EQ(buffer.view(), "again");
}

TEST(StringBufferTest, ImpossibleSizesThrowOutOfMemoryAndKeepTheText) {
  StringBuffer buffer("kept");
  try {
    buffer.Reserve(SIZE_MAX);
    FAIL() << "no failure";
  } catch (const std::bad_alloc& failure) {
    EXPECT_STREQ(failure.what(), "Out of Memory");
  }
  EXPECT_THROW(buffer.Reset(SIZE_MAX / 2), OutOfMemory);
  EXPECT_EQ(buffer.view(), "kept");
}

// --- ToJisText, Base64Header and the kana table -----------------------------

TEST(ToJisTextTest, EveryCharacterCarriesItsOwnEscapes) {
  EXPECT_EQ(Jis(Cp932FromUtf8("ア")), "\x1B$B%\"\x1B(J");
  EXPECT_EQ(Jis(Cp932FromUtf8("ダ")), "\x1B$B%@\x1B(J");
  EXPECT_EQ(Jis("\xB1"), Jis(Cp932FromUtf8("ア")));  // half-width ｱ
  EXPECT_EQ(Jis("A"), "");                           // not a character it converts
  EXPECT_EQ(Jis("\x83\x41\x83"), "");
}

// The pair arithmetic against glibc's own Shift_JIS to ISO-2022-JP tables,
// over every double-byte character both know.
TEST(ToJisTextTest, AgreesWithIconvOnEveryJisX0208Character) {
  iconv_t cd = iconv_open("ISO-2022-JP", "SHIFT_JIS");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (unsigned lead = 0x81; lead <= 0xEF; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[16];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = 2;
      std::size_t outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
      iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
      const std::string theirs(out, static_cast<std::size_t>(outPtr - out));
      if (theirs.size() != 8 || theirs.compare(0, 3, "\x1B$B") != 0) continue;
      const std::string ours = Jis(std::string_view(in, 2));
      ASSERT_EQ(ours.substr(3, 2), theirs.substr(3, 2)) << std::hex << lead << " " << trail;
      ++compared;
    }
  }
  iconv_close(cd);
  EXPECT_GT(compared, 6800);
}

TEST(ToJisTextTest, HalfWidthKanaMapToTheirFullWidthFormsAndSeparateMarks) {
  std::string fullWidth;
  for (unsigned c = 0xA0; c <= 0xDF; ++c) {
    const std::uint16_t code = HeaderEncoder::FullWidthOf(static_cast<unsigned char>(c));
    fullWidth += static_cast<char>(code >> 8);
    fullWidth += static_cast<char>(code & 0xFF);
  }
  EXPECT_EQ(Utf8FromCp932(fullWidth),
            "　。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツ"
            "テトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜");
}

TEST(Base64HeaderTest, PadsTheLastGroup) {
  EXPECT_EQ(Base64(""), "");
  EXPECT_EQ(Base64("M"), "TQ==");
  EXPECT_EQ(Base64("Ma"), "TWE=");
  EXPECT_EQ(Base64("Man"), "TWFu");
  EXPECT_EQ(Base64("\xFF\xFE\xFD\x00"sv), "//79AA==");
}

// --- EncodeHeaderText -------------------------------------------------------

TEST(EncodeHeaderTextTest, DownSubjectFoldsRightAfterTheFirstKana) {
  EXPECT_EQ(Encode(Cp932FromUtf8("(PING)server1(192.168.0.1)(5) ダウン通知")),
            "(PING)server1(192.168.0.1)(5) =?ISO-2022-JP?B?GyRCJUAbKEo=?=\r\n"
            " =?ISO-2022-JP?B?GyRCJSYbKEobJEIlcxsoShskQkRMGyhKGyRCQ04bKEo=?=");
  EXPECT_EQ(Encode("(PING)server1(192.168.0.1)(5) timeout notification"),
            "(PING)server1(192.168.0.1)(5) timeout notification");
}

TEST(EncodeHeaderTextTest, AsciiIsCutAfterEvery56Characters) {
  EXPECT_EQ(Encode(""), "");
  const std::string ascii56(56, 'x');
  EXPECT_EQ(Encode(ascii56), ascii56);
  EXPECT_EQ(Encode(ascii56 + "y"), ascii56 + "\r\n y");
  EXPECT_EQ(Encode(ascii56 + ascii56 + "z"), ascii56 + "\r\n " + ascii56 + "\r\n z");
}

TEST(EncodeHeaderTextTest, DropsControlsAndADanglingLeadByte) {
  EXPECT_EQ(Encode("a\tb\r\nc\0d"sv), "abcd");
  EXPECT_EQ(Encode("abc\x83"sv), "abc");
  EXPECT_EQ(Encode(Cp932FromUtf8("ア") + "\x83"), "=?ISO-2022-JP?B?GyRCJSIbKEo=?=");
  EXPECT_EQ(Encode("\x83"sv), "");
}

TEST(EncodeHeaderTextTest, HalfWidthKanaKeepTheVoicedMarkApart) {
  // ｱｲｳﾞ: ア イ ウ ゛, one word of four characters.
  EXPECT_EQ(Encode("\xB1\xB2\xB3\xDE"sv),
            "=?ISO-2022-JP?B?GyRCJSIbKEobJEIlJBsoShskQiUmGyhKGyRCISsbKEo=?=");
}

TEST(EncodeHeaderTextTest, AsciiFollowsAnEncodedWordWithoutASpace) {
  EXPECT_EQ(Encode(Cp932FromUtf8("ア(x)")), "=?ISO-2022-JP?B?GyRCJSIbKEo=?=(x)");
}

TEST(EncodeHeaderTextTest, AWordThatStartsALineHoldsAtMostFourCharacters) {
  const std::string encoded = Encode(Cp932FromUtf8("通知通知通知通知通"));
  EXPECT_EQ(encoded,
            "=?ISO-2022-JP?B?GyRCREwbKEobJEJDThsoShskQkRMGyhKGyRCQ04bKEo=?=\r\n"
            " =?ISO-2022-JP?B?GyRCREwbKEobJEJDThsoShskQkRMGyhKGyRCQ04bKEo=?=\r\n"
            " =?ISO-2022-JP?B?GyRCREwbKEo=?=");
}

// Random bytes, random limits: the result is printable ASCII apart from the
// folds, every ASCII byte of the input survives in order, every other
// character becomes one ESC $ B .. ESC ( J group, and no line runs away.
struct Expected {
  std::string ascii;
  std::size_t characters = 0;
};

Expected ExpectedFrom(const std::string& input) {
  Expected expected;
  for (std::size_t i = 0; i < input.size(); ++i) {
    const auto c = static_cast<unsigned char>(input[i]);
    if (c < 0x20) continue;
    if (c < 0x80) {
      expected.ascii += input[i];
    } else if (c >= 0xA0 && c <= 0xDF) {
      ++expected.characters;
    } else if (i + 1 < input.size()) {
      ++expected.characters;
      ++i;
    }
  }
  return expected;
}

std::string DecodeBase64(std::string_view text) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const std::size_t value = alphabet.find(c);
    if (value == std::string::npos) return "<bad base64>";
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return bytes;
}

void CheckEncoding(const std::string& input, std::size_t limit) {
  const std::string output = Encode(input, limit);
  const Expected expected = ExpectedFrom(input);
  std::string unfolded;
  for (std::size_t at = 0; at < output.size();) {
    const std::size_t fold = output.find("\r\n ", at);
    const std::string_view line =
        std::string_view(output).substr(at, fold == std::string::npos ? fold : fold - at);
    ASSERT_LE(line.size(), limit + 22) << "limit " << limit;
    unfolded += line;
    at = fold == std::string::npos ? output.size() : fold + 3;
  }
  std::string ascii;
  std::size_t characters = 0;
  for (std::size_t at = 0; at < unfolded.size();) {
    const auto c = static_cast<unsigned char>(unfolded[at]);
    ASSERT_TRUE(c >= 0x20 && c <= 0x7F) << "byte " << int{c};
    if (unfolded.compare(at, HeaderEncoder::kWordOpen.size(), HeaderEncoder::kWordOpen) != 0) {
      ascii += unfolded[at++];
      continue;
    }
    const std::size_t start = at + HeaderEncoder::kWordOpen.size();
    const std::size_t end = unfolded.find("?=", start);
    ASSERT_NE(end, std::string::npos);
    const std::string jis = DecodeBase64(std::string_view(unfolded).substr(start, end - start));
    ASSERT_EQ(jis.size() % 8, 0u);
    for (std::size_t group = 0; group < jis.size(); group += 8) {
      ASSERT_EQ(jis.substr(group, 3), "\x1B$B");
      ASSERT_EQ(jis.substr(group + 5, 3), "\x1B(J");
      ++characters;
    }
    at = end + 2;
  }
  EXPECT_EQ(ascii, expected.ascii);
  EXPECT_EQ(characters, expected.characters);
}

TEST(EncodeHeaderTextTest, RandomBytesGiveCleanFoldedAscii) {
  std::mt19937 random(20070604);
  for (int round = 0; round < 3000; ++round) {
    std::string input(random() % 300, '\0');
    // Mostly non-ASCII, with some of everything, so that words open and close.
    for (char& c : input) {
      c = static_cast<char>(random() % 4 == 0 ? 0x20 + random() % 0x60 : random() % 256);
    }
    const std::size_t limit = round % 3 == 0 ? kLimit : 8 + random() % 120;
    ASSERT_NO_FATAL_FAILURE(CheckEncoding(input, limit)) << "round " << round;

    // The per-character conversion alone, on any two bytes.
    if (input.size() >= 2) {
      EXPECT_EQ(Jis(input.substr(0, 2)).size(), 8u);
    }
  }
}

}  // namespace
}  // namespace tarnwick
