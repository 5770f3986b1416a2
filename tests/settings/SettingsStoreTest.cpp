#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "settings/SettingsStore.h"
#include "support/RecordingPrompt.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

constexpr const char* kMain = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ";
constexpr const char* kMsg = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ\\MSG";

struct NumberField {
  const char* name;
  int AppSettings::*member;
};
struct TextField {
  const char* name;
  std::string AppSettings::*member;
};

const std::vector<NumberField> kNumbers = {
    {"CheckInterval", &AppSettings::CheckInterval},
    {"MaxRetry", &AppSettings::MaxRetry},
    {"PingTimeOut", &AppSettings::PingTimeOut},
    {"UnavailableHour", &AppSettings::UnavailableHour},
    {"UnavailableMinutes", &AppSettings::UnavailableMinutes},
    {"UnavailableInterval", &AppSettings::UnavailableInterval},
    {"EnableUnavailableSchedule", &AppSettings::EnableUnavailableSchedule},
    {"AutoStart", &AppSettings::AutoStart},
    {"DontShowLogo", &AppSettings::DontShowLogo},
    {"BeepToAlert", &AppSettings::BeepToAlert},
    {"ResolveNameEverytime", &AppSettings::ResolveNameEverytime},
    {"RunningLog", &AppSettings::RunningLog},
    {"MaxNumOfComputer", &AppSettings::MaxNumOfComputer},
    {"SendMailByEnglish", &AppSettings::SendMailByEnglish},
    {"MailAfter30Minutes", &AppSettings::MailAfter30Minutes},
    {"EnableMailDebug", &AppSettings::EnableMailDebug},
    {"EnableHtml", &AppSettings::EnableHtml},
    {"DisableHtmlDetail", &AppSettings::DisableHtmlDetail},
    {"DisableHtmlReload", &AppSettings::DisableHtmlReload},
    {"ParallelChecks", &AppSettings::ParallelChecks},
    {"SmtpSecurity", &AppSettings::SmtpSecurity},
    {"SmtpPort", &AppSettings::SmtpPort},
};
const std::vector<TextField> kMainTexts = {
    {"PreloadFile", &AppSettings::PreloadFile},
    {"SmtpServer", &AppSettings::SmtpServer},
    {"MailFrom", &AppSettings::MailFrom},
    {"MailTo", &AppSettings::MailTo},
    {"NetsendTo", &AppSettings::NetsendTo},
    {"HtmlFile", &AppSettings::HtmlFile},
    {"HtmlReloadMinutes", &AppSettings::HtmlReloadMinutes},
    {"SmtpUser", &AppSettings::SmtpUser},
    {"SmtpPassword", &AppSettings::SmtpPassword},
    {"SmtpCaFile", &AppSettings::SmtpCaFile},
};
const std::vector<TextField> kMessageTexts = {
    {"DownMsgJp", &AppSettings::DownMsgJp},
    {"DownMsgUs", &AppSettings::DownMsgUs},
    {"RestoreMsgJp", &AppSettings::RestoreMsgJp},
    {"RestoreMsgUs", &AppSettings::RestoreMsgUs},
    {"DownSubjectJp", &AppSettings::DownSubjectJp},
    {"DownSubjectUs", &AppSettings::DownSubjectUs},
    {"RestoreSubjectJp", &AppSettings::RestoreSubjectJp},
    {"RestoreSubjectUs", &AppSettings::RestoreSubjectUs},
};

void ExpectSameSettings(const AppSettings& expected, const AppSettings& actual) {
  for (const NumberField& field : kNumbers) {
    EXPECT_EQ(actual.*field.member, expected.*field.member) << field.name;
  }
  for (const auto* texts : {&kMainTexts, &kMessageTexts}) {
    for (const TextField& field : *texts) {
      EXPECT_EQ(actual.*field.member, expected.*field.member) << field.name;
    }
  }
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  // A registry file holding the given lines under the main key.
  void WriteMainKey(const std::string& lines) {
    test::TempDir::WriteFile(path, "REGEDIT4\r\n\r\n[" + std::string(kMain) + "]\r\n" + lines);
  }

  AppSettings Loaded() {
    AppSettings loaded;
    LoadSettings(loaded, registry);
    return loaded;
  }

  test::TempDir dir;
  std::string path = dir.File("registry.reg");
  RegistryFile registry{path};
  test::RecordingPrompt prompt;
};

TEST_F(SettingsStoreTest, WithoutAnyKeyEveryFieldTakesItsDefaultAndTheFirstSaveWritesThemAll) {
  const AppSettings settings = Loaded();
  for (const NumberField& field : kNumbers) {
    const std::string name = field.name;
    const int expected = name == "CheckInterval"       ? 1
                         : name == "MaxRetry"          ? 5
                         : name == "PingTimeOut"       ? 5000
                         : name == "BeepToAlert"       ? 1
                         : name == "DisableHtmlDetail" ? 1
                         : name == "MaxNumOfComputer"  ? 300
                                                       : 0;
    EXPECT_EQ(settings.*field.member, expected) << name;
  }
  for (const TextField& field : kMainTexts) {
    EXPECT_EQ(settings.*field.member, std::string(field.name) == "HtmlReloadMinutes" ? "5" : "")
        << field.name;
  }
  EXPECT_EQ(settings.DownMsgJp, Cp932FromUtf8("(%t)%s(%c)(%i)は応答がありませんでした。"));
  EXPECT_EQ(settings.DownMsgUs, "(%t)%s(%c)(%i) timeout.");
  EXPECT_EQ(settings.RestoreMsgJp, Cp932FromUtf8("(%t)%s(%c)(%i)は復帰しました。"));
  EXPECT_EQ(settings.RestoreMsgUs, "(%t)%s(%c)(%i) is restored.");
  EXPECT_EQ(settings.DownSubjectJp, Cp932FromUtf8("(%t)%s(%c)(%i) ダウン通知"));
  EXPECT_EQ(settings.DownSubjectUs, "(%t)%s(%c)(%i) timeout notification");
  EXPECT_EQ(settings.RestoreSubjectJp, Cp932FromUtf8("(%t)%s(%c)(%i) 復帰通知"));
  EXPECT_EQ(settings.RestoreSubjectUs, "(%t)%s(%c)(%i) restore notification");

  SaveSettings(settings, registry, prompt);
  EXPECT_TRUE(prompt.shown().empty());
  const RegistryDocument saved = RegistryDocument::Parse(test::TempDir::ReadFile(path));
  EXPECT_EQ(saved.Entries().size(), kNumbers.size() + kMainTexts.size() + kMessageTexts.size());
  for (const NumberField& field : kNumbers) {
    const RegistryValue* value = saved.FindValue(kMain, field.name);
    ASSERT_NE(value, nullptr) << field.name;
    EXPECT_EQ(value->kind, kRegDword) << field.name;
    EXPECT_EQ(value->data.size(), 4u) << field.name;
  }
  for (const auto& [texts, key] :
       {std::pair{&kMainTexts, kMain}, std::pair{&kMessageTexts, kMsg}}) {
    for (const TextField& field : *texts) {
      const RegistryValue* value = saved.FindValue(key, field.name);
      ASSERT_NE(value, nullptr) << field.name;
      EXPECT_EQ(*value, (RegistryValue{kRegSz, settings.*field.member + '\0'})) << field.name;
    }
  }
  EXPECT_EQ(*saved.FindValue(kMain, "PingTimeOut"),
            (RegistryValue{kRegDword, std::string("\x88\x13\0\0", 4)}));
  ExpectSameSettings(settings, Loaded());

  // Saving unchanged settings leaves the file itself alone.
  struct stat first {};
  ASSERT_EQ(::stat(path.c_str(), &first), 0);
  EXPECT_EQ(first.st_mode & 07777, 0600u) << "it may hold the mail password";
  SaveSettings(settings, registry, prompt);
  struct stat second {};
  ASSERT_EQ(::stat(path.c_str(), &second), 0);
  EXPECT_EQ(first.st_ino, second.st_ino);
}

TEST_F(SettingsStoreTest, EveryFieldSurvivesASaveAndALoad) {
  AppSettings settings;
  int number = -2;
  for (const NumberField& field : kNumbers)
    settings.*field.member = number++ * 1000003;
  for (const auto* texts : {&kMainTexts, &kMessageTexts}) {
    for (const TextField& field : *texts) {
      settings.*field.member = Cp932FromUtf8("表示 ") + field.name;
    }
  }
  // Texts filling their fields, beyond the common read limit of 255 bytes.
  settings.PreloadFile = std::string(AppSettings::kPathCapacity, 'p');
  settings.HtmlFile = "/" + std::string(AppSettings::kPathCapacity - 1, 'h');
  settings.DownMsgJp = std::string(AppSettings::kMessageCapacity - 2, 'm') + Cp932FromUtf8("表");
  settings.MailTo = std::string(AppSettings::kMailToCapacity, 't');
  settings.HtmlReloadMinutes = "999";
  settings.SmtpPassword = "p\"a\\ss=;" + std::string(AppSettings::kCredentialCapacity - 8, 'w');
  // A file from before the password: readable by all until its next save.
  test::TempDir::WriteFile(path, "REGEDIT4\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

  SaveSettings(settings, registry, prompt);
  EXPECT_TRUE(prompt.shown().empty());
  ExpectSameSettings(settings, Loaded());
  struct stat saved {};
  ASSERT_EQ(::stat(path.c_str(), &saved), 0);
  EXPECT_EQ(saved.st_mode & 07777, 0600u);
}

TEST_F(SettingsStoreTest, TextsLongerThanTheReadLimitCountAsAbsent) {
  const auto text = [](std::size_t bytes) { return "\"" + std::string(bytes, 'x') + "\"\r\n"; };
  WriteMainKey("\"At255\"=" + text(255) + "\"At256\"=" + text(256));
  std::string buffer = "stale";
  EXPECT_TRUE(ReadSettingValue(registry, RegistryRoot::LocalMachine, kSettingsKey, "At255",
                               SettingKind::Text, buffer));
  EXPECT_EQ(buffer, std::string(255, 'x'));
  EXPECT_FALSE(ReadSettingValue(registry, RegistryRoot::LocalMachine, kSettingsKey, "At256",
                                SettingKind::Text, buffer));
  EXPECT_EQ(buffer, "");
  EXPECT_FALSE(ReadSettingValue(registry, RegistryRoot::LocalMachine, "SOFTWARE\\NONE", "At255",
                                SettingKind::Text, buffer));

  // A text within the limit but beyond its field is cut, never inside a
  // double-byte character; one beyond the limit leaves the default.
  WriteMainKey("\"MailTo\"=\"" + std::string(249, 'a') + Cp932FromUtf8("表表") + "\"\r\n" +
               "\"SmtpServer\"=" + text(256) + "\"HtmlReloadMinutes\"=\"12345\"\r\n" +
               "\"PreloadFile\"=" + text(513) + "\"HtmlFile\"=" + text(512));
  const AppSettings settings = Loaded();
  EXPECT_EQ(settings.MailTo, std::string(249, 'a'));
  EXPECT_EQ(settings.SmtpServer, "");
  EXPECT_EQ(settings.HtmlReloadMinutes, "123");
  EXPECT_EQ(settings.PreloadFile, "");
  EXPECT_EQ(settings.HtmlFile, std::string(512, 'x'));
}

TEST_F(SettingsStoreTest, AMessageOfItsFullCapacitySurvivesAndOneBeyondItDoesNot) {
  test::TempDir::WriteFile(path, "REGEDIT4\r\n\r\n[" + std::string(kMsg) + "]\r\n" +
                                     "\"DownMsgJp\"=\"" + std::string(256, 'j') + "\"\r\n" +
                                     "\"DownMsgUs\"=\"" + std::string(257, 'u') + "\"\r\n" +
                                     "\"DownSubjectUs\"=\"" + std::string(200, 's') + "\"\r\n");
  const AppSettings settings = Loaded();
  EXPECT_EQ(settings.DownMsgJp, std::string(256, 'j'));
  EXPECT_EQ(settings.DownMsgUs, "(%t)%s(%c)(%i) timeout.");
  EXPECT_EQ(settings.DownSubjectUs, std::string(128, 's'));
}

TEST_F(SettingsStoreTest, ANumberOfAnotherKindIsReadAsItsRawBytes) {
  WriteMainKey(
      "\"CheckInterval\"=\"12\"\r\n"             // 31 32 00: fits in 4 bytes
      "\"MaxRetry\"=\"123\"\r\n"                 // 31 32 33 00: exactly 4 bytes
      "\"PingTimeOut\"=\"1234\"\r\n"             // 5 bytes: does not fit
      "\"UnavailableHour\"=hex:ff,ff,ff,ff\r\n"  // binary
      "\"UnavailableMinutes\"=hex(4):07\r\n"     // a DWORD of one byte
      "\"SmtpServer\"=dword:00636261\r\n");      // a number read as text
  const AppSettings settings = Loaded();
  EXPECT_EQ(settings.CheckInterval, 0x3231);
  EXPECT_EQ(settings.MaxRetry, 0x00333231);
  EXPECT_EQ(settings.PingTimeOut, 5000);
  EXPECT_EQ(settings.UnavailableHour, -1);
  EXPECT_EQ(settings.UnavailableMinutes, 7);
  EXPECT_EQ(settings.SmtpServer, "abc");

  std::string buffer;
  EXPECT_TRUE(ReadSettingValue(registry, RegistryRoot::LocalMachine, kSettingsKey, "MaxRetry",
                               SettingKind::Number, buffer));
  EXPECT_EQ(buffer, "3355185");
}

TEST_F(SettingsStoreTest, ADamagedFileGivesDefaultsForWhatCannotBeReadAndLosesNothing) {
  test::TempDir::WriteFile(path,
                           "REGEDIT4\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"Foreign\"=\"kept\"\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\r\n"
                           "\"CheckInterval\"=dword:zz\r\n"
                           "\"MaxRetry\"=dword:00000009\r\n"
                           "\"SmtpServer\"=\"smtp.example\r\n"
                           "\x81\x82\x83 garbage\r\n"
                           "\"MailFrom\"=\"from@example\"\r\n"
                           "\"Unknown\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                           "\"PingTimeOut\"=hex:88,13,\\");  // cut off
  AppSettings settings = Loaded();
  EXPECT_EQ(settings.CheckInterval, 1);
  EXPECT_EQ(settings.MaxRetry, 9);
  EXPECT_EQ(settings.SmtpServer, "");
  EXPECT_EQ(settings.MailFrom, "from@example");
  EXPECT_EQ(settings.PingTimeOut, 5000);

  settings.SmtpServer = "mail.example";
  SaveSettings(settings, registry, prompt);
  EXPECT_TRUE(prompt.shown().empty());
  const std::string saved = test::TempDir::ReadFile(path);
  const RegistryDocument document = RegistryDocument::Parse(saved);
  EXPECT_EQ(*document.FindValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other", "Foreign"),
            (RegistryValue{kRegSz, std::string("kept\0", 5)}));
  EXPECT_EQ(document.FindValue(kMain, "Unknown")->kind, 0xbu);
  for (const char* kept : {"\"CheckInterval\"=dword:zz\r\n", "\"SmtpServer\"=\"smtp.example\r\n",
                           "\x81\x82\x83 garbage\r\n"}) {
    EXPECT_NE(saved.find(kept), std::string::npos) << kept;
  }
  const AppSettings again = Loaded();
  EXPECT_EQ(again.CheckInterval, 1);
  EXPECT_EQ(again.SmtpServer, "mail.example");
}

TEST_F(SettingsStoreTest, WithoutWriteAccessEachValueShowsOneA01AndTheSaveGoesOn) {
  test::TempDir::WriteFile(dir.File("plain"), "a file, so no folder can be made under it");
  RegistryFile unwritable(dir.File("plain/tarnwick/registry.reg"));
  AppSettings settings;
  LoadSettings(settings, unwritable);
  SaveSettings(settings, unwritable, prompt);

  const std::vector<test::RecordingPrompt::Shown> shown = prompt.shown();
  EXPECT_EQ(shown.size(), kNumbers.size() + kMainTexts.size() + kMessageTexts.size());
  for (const test::RecordingPrompt::Shown& box : shown) {
    EXPECT_EQ(box.text, Cp932FromUtf8("ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。"));
    EXPECT_EQ(box.caption, Cp932FromUtf8("注意 A01"));
    EXPECT_EQ(box.icon, PromptIcon::Error);
    EXPECT_EQ(box.buttons, PromptButtons::Ok);
  }
  EXPECT_FALSE(WriteSettingValue(unwritable, prompt, kSettingsKey, "CheckInterval", 1));
}

// Keys that exist but changed values that cannot be written (here: a file
// size limit of one byte) show A02 for a number and A03 for a text, in the
// order the values are saved.
TEST_F(SettingsStoreTest, AValueThatCannotBeWrittenShowsTheCaptionOfItsKind) {
  AppSettings settings = Loaded();
  SaveSettings(settings, registry, prompt);
  ASSERT_TRUE(prompt.shown().empty());
  const std::string before = test::TempDir::ReadFile(path);

  int captions[2];
  ASSERT_EQ(::pipe(captions), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(captions[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit oneByte{1, 1};
    ::setrlimit(RLIMIT_FSIZE, &oneByte);
    // Unchanged values are not written again, so change every one.
    for (const NumberField& field : kNumbers)
      ++(settings.*field.member);
    for (const auto* texts : {&kMainTexts, &kMessageTexts}) {
      for (const TextField& field : *texts)
        settings.*field.member += "1";
    }
    RegistryFile limited(path);
    test::RecordingPrompt childPrompt;
    SaveSettings(settings, limited, childPrompt);
    std::string codes;
    for (const test::RecordingPrompt::Shown& box : childPrompt.shown()) {
      codes += box.caption == Text(Msg::CaptionRegistryA02)   ? '2'
               : box.caption == Text(Msg::CaptionRegistryA03) ? '3'
                                                              : '?';
    }
    const bool written =
        ::write(captions[1], codes.data(), codes.size()) == static_cast<ssize_t>(codes.size());
    ::_exit(written ? 0 : 1);
  }
  ::close(captions[1]);
  std::string codes;
  char buffer[64];
  for (ssize_t got; (got = ::read(captions[0], buffer, sizeof buffer)) > 0;) {
    codes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(captions[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // ... then SmtpSecurity and SmtpPort, the three submission texts, the messages.
  EXPECT_EQ(codes, std::string(13, '2') + std::string(7, '3') + std::string(9, '2') +
                       std::string(3 + 8, '3'));
  EXPECT_EQ(test::TempDir::ReadFile(path), before);
}

// A registry path that is no registry file is named, loading gives the
// defaults at once (a FIFO never blocks it), and the file is never replaced
// without asking; a garbage file replaced on yes is kept as NAME.bad.
TEST_F(SettingsStoreTest, ARegistryThatCannotServeIsNamedAndNeverSilentlyReplaced) {
  struct Case {
    const char* name;
    RegistryFileState state;
    const char* message;  // a piece of the load message
  };
  const Case cases[] = {
      {"folder", RegistryFileState::NotRegularFile, "通常のファイルではない"},
      {"fifo", RegistryFileState::NotRegularFile, "通常のファイルではない"},
      {"garbage", RegistryFileState::NotRegistry, "レジストリファイル（REGEDIT4 形式）ではない"},
  };
  const std::string garbage =
      "\x7f"
      "ELF\x01\x02 not settings\r\n";
  for (const Case& c : cases) {
    const std::string file = dir.File(c.name);
    const std::string name = c.name;
    const int made = name == "folder" ? ::mkdir(file.c_str(), 0700)
                     : name == "fifo" ? ::mkfifo(file.c_str(), 0600)
                                      : (test::TempDir::WriteFile(file, garbage), 0);
    ASSERT_EQ(made, 0);
    RegistryFile bad(file);
    AppSettings settings;
    const SettingsLoadOutcome outcome = LoadSettings(settings, bad);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(outcome.state, c.state);
    EXPECT_TRUE(outcome.IsFault());
    EXPECT_NE(outcome.message.find(Cp932FromUtf8(file)), std::string::npos);
    EXPECT_NE(outcome.message.find(Cp932FromUtf8(c.message)), std::string::npos);
    ExpectSameSettings(Loaded(), settings);  // the defaults

    prompt.Clear();
    prompt.QueueAnswer(PromptAnswer::No);
    SaveSettings(settings, bad, prompt);
    ASSERT_EQ(prompt.shown().size(), 1u);
    const bool asked = c.state == RegistryFileState::NotRegistry;
    EXPECT_EQ(prompt.shown()[0].buttons, asked ? PromptButtons::YesNo : PromptButtons::Ok);
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    if (asked) {
      EXPECT_EQ(test::TempDir::ReadFile(file), garbage);
    }
  }

  const std::string file = dir.File("garbage");
  RegistryFile bad(file);
  AppSettings settings;
  LoadSettings(settings, bad);
  settings.CheckInterval = 7;
  prompt.Clear();
  prompt.QueueAnswer(PromptAnswer::Yes);
  SaveSettings(settings, bad, prompt);
  EXPECT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(test::TempDir::ReadFile(BadRegistryPath(file)), garbage);
  AppSettings again;
  EXPECT_FALSE(LoadSettings(again, bad).IsFault());
  EXPECT_EQ(again.CheckInterval, 7);
}

TEST_F(SettingsStoreTest, AMissingFileIsNamedButIsNoFault) {
  AppSettings settings;
  const SettingsLoadOutcome outcome = LoadSettings(settings, registry);
  EXPECT_EQ(outcome.state, RegistryFileState::Missing);
  EXPECT_FALSE(outcome.IsFault());
  EXPECT_EQ(outcome.message,
            Cp932FromUtf8("設定ファイル " + path + " は存在しません。既定の設定で監視します。"));
}

}  // namespace
}  // namespace tarnwick
