#include <gtest/gtest.h>

#include <random>

#include "platform/CodePage.h"
#include "platform/RegistryDocument.h"

namespace tarnwick {
namespace {

constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ";

RegistryValue Sz(std::string text) {
  return {kRegSz, text + '\0'};
}

std::string Reserialized(std::string_view text) {
  return RegistryDocument::Parse(text).Serialize();
}

TEST(RegistryDocument, ReadsEveryKindOfValue) {
  // 表 is 0x95 0x5C: its trail byte is a backslash that must not escape.
  const std::string hyou = Cp932FromUtf8("表");
  const std::string text = "REGEDIT4\r\n\r\n[" + std::string(kKey) +
                           "]\r\n"
                           "\"CheckInterval\"=dword:0000001e\r\n"
                           "\"Path\"=\"C:\\\\a \\\"b\\\" " +
                           hyou +
                           "\"\r\n"
                           "@=\"default\"\r\n"
                           "\"Blob\"=hex:01,ab,FF\r\n"
                           "\"Multi\"=hex(7):61,00,\\\r\n"
                           "  62,00,00,00\r\n"
                           "\"Empty\"=hex(0):\r\n";
  const RegistryDocument document = RegistryDocument::Parse(text);

  ASSERT_NE(document.FindValue(kKey, "CheckInterval"), nullptr);
  EXPECT_EQ(*document.FindValue(kKey, "CheckInterval"),
            (RegistryValue{kRegDword, std::string("\x1e\0\0\0", 4)}));
  EXPECT_EQ(*document.FindValue(kKey, "Path"), Sz("C:\\a \"b\" " + hyou));
  EXPECT_EQ(*document.FindValue(kKey, ""), Sz("default"));
  EXPECT_EQ(*document.FindValue(kKey, "Blob"), (RegistryValue{kRegBinary, "\x01\xab\xff"}));
  EXPECT_EQ(*document.FindValue(kKey, "Multi"),
            (RegistryValue{kRegMultiSz, std::string("a\0b\0\0\0", 6)}));
  EXPECT_EQ(*document.FindValue(kKey, "Empty"), (RegistryValue{0, ""}));

  // What is written reads back the same, and writing again changes nothing.
  const std::string saved = document.Serialize();
  const RegistryDocument back = RegistryDocument::Parse(saved);
  EXPECT_EQ(back.Entries().size(), 6u);
  for (const RegistryEntry& entry : document.Entries()) {
    const RegistryValue* again = back.FindValue(kKey, entry.name);
    ASSERT_NE(again, nullptr) << entry.name;
    EXPECT_EQ(*again, entry.value) << entry.name;
  }
  EXPECT_EQ(Reserialized(saved), saved);
}

TEST(RegistryDocument, TextsThatCannotBeQuotedSurviveAsHex) {
  const std::vector<RegistryValue> values = {
      {kRegSz, "no terminator"},
      Sz("line\r\nbreak"),
      Sz("lone lead \x83"),
      Sz("undefined \x80\xFD"),
      {kRegSz, std::string("inner\0zero\0", 11)},
      {kRegDword, "\x01\x02"},                 // a short DWORD
      {kRegBinary, std::string(100, '\x5c')},  // wrapped over several lines
  };
  RegistryDocument document;
  for (std::size_t i = 0; i < values.size(); ++i) {
    document.SetValue(kKey, "v" + std::to_string(i), values[i]);
  }
  const std::string saved = document.Serialize();
  const RegistryDocument back = RegistryDocument::Parse(saved);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const RegistryValue* value = back.FindValue(kKey, "v" + std::to_string(i));
    ASSERT_NE(value, nullptr) << i;
    EXPECT_EQ(*value, values[i]) << i;
  }
  EXPECT_NE(saved.find("\"v0\"=hex(1):6e,6f"), std::string::npos);
  EXPECT_EQ(Reserialized(saved), saved);
}

TEST(RegistryDocument, DamagedLinesCountAsAbsentAndAreKeptVerbatim) {
  const std::string good = std::string("[") + kKey + "]\n\"Good\"=dword:00000001\n";
  const std::vector<std::string> damaged = {
      "\"BadHex\"=hex:01,zz",
      "\"Cut\"=hex:01,02,\\",
      "\"NoQuote\"=\"abc",
      "\"BadEscape\"=\"a\\nb\"",
      "\"LoneLead\"=\"a\x83\"",
      "\"Trailing\"=\"a\" junk",
      "\"Dword\"=dword:123456789",
      "\"Deleted\"=-",
      "garbage without an equals sign",
      "; a comment",
  };
  std::string text = "REGEDIT4\n\n" + good;
  for (const std::string& line : damaged)
    text += line + "\n";
  text += "\"After\"=\"still read\"\n";
  // A continuation cut off by a blank line must not join the indented line
  // after the blank once the file is written again.
  text += "\"CutBeforeBlank\"=hex:01,\\\n\n  02\n";

  const RegistryDocument document = RegistryDocument::Parse(text);
  EXPECT_NE(document.FindValue(kKey, "Good"), nullptr);
  EXPECT_NE(document.FindValue(kKey, "After"), nullptr);
  for (const char* name :
       {"BadHex", "Cut", "NoQuote", "BadEscape", "LoneLead", "Trailing", "Dword", "Deleted"}) {
    EXPECT_EQ(document.FindValue(kKey, name), nullptr) << name;
  }
  const std::string saved = document.Serialize();
  EXPECT_EQ(RegistryDocument::Parse(saved).FindValue(kKey, "CutBeforeBlank"), nullptr);
  for (const std::string& line : damaged) {
    EXPECT_NE(saved.find(line + "\r\n"), std::string::npos) << line;
  }
  EXPECT_EQ(Reserialized(saved), saved);
}

TEST(RegistryDocument, ValuesUnderADamagedHeaderBelongToNoKey) {
  const std::string text = std::string("REGEDIT4\n[") + kKey +
                           "]\n\"A\"=\"1\"\n"
                           "[HKEY_LOCAL_MACHINE\\BROKEN\n"
                           "\"B\"=\"2\"\n"
                           "[-HKEY_LOCAL_MACHINE\\DELETED]\n"
                           "\"C\"=\"3\"\n";
  const RegistryDocument document = RegistryDocument::Parse(text);
  EXPECT_NE(document.FindValue(kKey, "A"), nullptr);
  EXPECT_EQ(document.FindValue(kKey, "B"), nullptr);
  EXPECT_EQ(document.FindValue(kKey, "C"), nullptr);
  EXPECT_EQ(document.Entries().size(), 1u);
  const std::string saved = document.Serialize();
  EXPECT_NE(saved.find("[HKEY_LOCAL_MACHINE\\BROKEN\r\n\"B\"=\"2\"\r\n"), std::string::npos);
  EXPECT_NE(saved.find("[-HKEY_LOCAL_MACHINE\\DELETED]\r\n\"C\"=\"3\"\r\n"), std::string::npos);
}

TEST(RegistryDocument, NamesIgnoreAsciiCaseButNotDoubleByteCharacters) {
  const std::string text =
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Korvale\\Znrq]\n\"checkinterval\"=dword:2\n"
      "\"\x83\x41\"=\"small a\"\n\"\x83\x61\"=\"other\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\n\"CHECKINTERVAL\"=dword:3\n";
  const RegistryDocument document = RegistryDocument::Parse(text);
  // Same key and value name: the later line wins, as on import.
  ASSERT_NE(document.FindValue(kKey, "CheckInterval"), nullptr);
  EXPECT_EQ(document.FindValue(kKey, "CheckInterval")->data, std::string("\3\0\0\0", 4));
  EXPECT_EQ(*document.FindValue(kKey, "\x83\x41"), Sz("small a"));
  EXPECT_EQ(*document.FindValue(kKey, "\x83\x61"), Sz("other"));
  EXPECT_EQ(document.Entries().size(), 3u);
  EXPECT_TRUE(document.HasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE"));
  EXPECT_FALSE(document.HasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\KORV"));
}

// Random files: lines in the file's own syntax, then damaged by random
// byte changes, insertions, deletions and a cut-off end.
class RandomRegistryText {
 public:
  explicit RandomRegistryText(unsigned seed) : random_(seed) {}

  std::string Next() {
    std::string text = Pick({"REGEDIT4\r\n", "REGEDIT4\n", "", "Windows Registry Editor\n"});
    const std::size_t lines = random_() % 30;
    for (std::size_t i = 0; i < lines; ++i)
      text += Line() + Pick({"\r\n", "\n", "\r\r\n"});
    const std::size_t damages = random_() % 4;
    for (std::size_t i = 0; i < damages && !text.empty(); ++i)
      Damage(text);
    return text;
  }

 private:
  std::string Pick(std::initializer_list<const char*> choices) {
    return *(choices.begin() + random_() % choices.size());
  }
  std::string Name() { return Pick({"A", "a", "CheckInterval", "\x83\x41", "\x95\x5c", ""}); }
  std::string Hex() {
    std::string list;
    const std::size_t bytes = random_() % 6;
    for (std::size_t i = 0; i < bytes; ++i)
      list += Pick({"00", "1", "ab", "FF", "5c"}) + ",";
    if (!list.empty() && random_() % 4 != 0) list.pop_back();
    return list;
  }
  std::string Line() {
    const std::string name = "\"" + Name() + "\"=";
    switch (random_() % 9) {
      case 0:
        return Pick({"[HKEY_LOCAL_MACHINE\\SOFTWARE]", "[hkey_local_machine\\software]",
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]", "[-HKEY_USERS\\X]"});
      case 1:
        return name + "dword:" + Pick({"0", "1e", "ffffffff", "123456789", "g"});
      case 2:
        return name + "\"" + Pick({"text", "\\\\", "\\\"q", "\x95\x5c", "\x83", "\t"}) + "\"";
      case 3:
        return name + "hex:" + Hex() + Pick({"", ",\\", "\\"});
      case 4:
        return name + "hex(" + Pick({"1", "7", "b", "100000000", "x"}) + "):" + Hex();
      case 5:
        return "@=\"" + Name() + "\"";
      case 6:
        return "  " + Hex() + Pick({"", ",\\"});
      case 7:
        return Pick({"", " ", "; comment", "garbage", "\"open"});
      default: {
        std::string bytes(random_() % 8, '\0');
        for (char& c : bytes)
          c = static_cast<char>(random_());
        return bytes;
      }
    }
  }
  void Damage(std::string& text) {
    const std::size_t at = random_() % text.size();
    switch (random_() % 4) {
      case 0:
        text[at] = static_cast<char>(random_());
        break;
      case 1:
        text.insert(at, Pick({"\"", "\\", "[", "]", "\n", ",", "=", "\x83"}));
        break;
      case 2:
        text.erase(at, random_() % 8);
        break;
      default:
        text.resize(at);
    }
  }

  std::mt19937 random_;
};

// Reading never fails, writing what was read gives a file that reads back to
// the same values, and writing that again changes nothing.
TEST(RegistryDocument, RandomDamageNeverCrashesAndSavingIsStable) {
  RandomRegistryText generator(20070508);
  int roundsWithValues = 0;
  for (int round = 0; round < 4000; ++round) {
    const std::string text = generator.Next();
    const RegistryDocument document = RegistryDocument::Parse(text);
    const std::string saved = document.Serialize();
    const RegistryDocument back = RegistryDocument::Parse(saved);
    const std::vector<RegistryEntry> entries = document.Entries();
    if (!entries.empty()) ++roundsWithValues;
    ASSERT_EQ(back.Entries().size(), entries.size()) << round;
    for (const RegistryEntry& entry : entries) {
      const RegistryValue* value = back.FindValue(entry.keyPath, entry.name);
      ASSERT_NE(value, nullptr) << round;
      ASSERT_EQ(*value, entry.value) << round;
    }
    ASSERT_EQ(back.Serialize(), saved) << round;
  }
  EXPECT_GT(roundsWithValues, 1000);  // the damage leaves values to check
}

}  // namespace
}  // namespace tarnwick
