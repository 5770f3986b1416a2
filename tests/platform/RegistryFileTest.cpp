#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>

#include "platform/RegistryFile.h"
#include "support/SyslogReceiver.h"  // TARNWICK_REQUIRE_ROOT
#include "support/TempDir.h"

namespace tarnwick {
namespace {

constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr std::string_view kSubkey = "SOFTWARE\\KORVALE\\ZNRQ";
constexpr const char* kKeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ";

std::string Dword(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (std::size_t i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

long Set(RegistryFile& registry, std::string_view name, std::uint32_t kind, std::string_view data,
         std::string_view subkey = kSubkey) {
  RegistryKey key;
  const long created = registry.CreateKey(kMachine, subkey, key);
  if (created != kErrorSuccess) return created;
  const long result = registry.SetValue(key, name, kind, data);
  registry.CloseKey(key);
  return result;
}

std::optional<RegistryValue> Get(RegistryFile& registry, std::string_view name,
                                 std::size_t limit = 1 << 20) {
  RegistryKey key;
  if (registry.OpenKey(kMachine, kSubkey, key) != kErrorSuccess) return std::nullopt;
  RegistryValue value;
  const long result = registry.QueryValue(key, name, limit, value);
  registry.CloseKey(key);
  if (result != kErrorSuccess) return std::nullopt;
  return value;
}

class RegistryFileTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string path = dir.File("nested/folder/registry.reg");
  RegistryFile registry{path};
};

TEST_F(RegistryFileTest, OperationsAnswerWithWindowsResultCodes) {
  RegistryKey key;
  EXPECT_EQ(registry.OpenKey(kMachine, kSubkey, key), kErrorFileNotFound);
  EXPECT_FALSE(key.isOpen());

  ASSERT_EQ(registry.CreateKey(kMachine, kSubkey, key), kErrorSuccess);  // makes the folders
  EXPECT_EQ(registry.SetValue(key, "CheckInterval", kRegDword, Dword(30)), kErrorSuccess);
  RegistryValue value;
  EXPECT_EQ(registry.QueryValue(key, "CheckInterval", 4, value), kErrorAccessDenied);
  EXPECT_EQ(registry.SetValue(key, "bad\nname", kRegSz, "x"), kErrorInvalidParameter);
  EXPECT_EQ(registry.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(registry.CloseKey(key), kErrorInvalidHandle);
  EXPECT_EQ(registry.SetValue(key, "CheckInterval", kRegDword, Dword(1)), kErrorInvalidHandle);
  EXPECT_EQ(registry.QueryValue(key, "CheckInterval", 4, value), kErrorInvalidHandle);

  EXPECT_EQ(registry.OpenKey(kMachine, "SOFTWARE\\OTHER", key), kErrorFileNotFound);
  ASSERT_EQ(registry.OpenKey(kMachine, "software\\korvale", key), kErrorSuccess);  // a parent
  ASSERT_EQ(registry.OpenKey(kMachine, kSubkey, key), kErrorSuccess);
  EXPECT_EQ(registry.QueryValue(key, "CheckInterval", 4, value), kErrorSuccess);
  EXPECT_EQ(value, (RegistryValue{kRegDword, Dword(30)}));
  EXPECT_EQ(registry.QueryValue(key, "CheckInterval", 3, value), kErrorMoreData);
  EXPECT_EQ(value.kind, kRegDword);
  EXPECT_TRUE(value.data.empty());
  EXPECT_EQ(registry.QueryValue(key, "Absent", 4, value), kErrorFileNotFound);
  EXPECT_EQ(registry.SetValue(key, "CheckInterval", kRegDword, Dword(1)), kErrorAccessDenied);
  registry.CloseKey(key);

  EXPECT_EQ(test::TempDir::ReadFile(path),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\r\n"
            "\"CheckInterval\"=dword:0000001e\r\n\r\n");
}

TEST_F(RegistryFileTest, AnUnwritableLocationIsAccessDeniedAndAnUnreadableFileIsKept) {
  test::TempDir::WriteFile(dir.File("plain"), "a regular file");
  RegistryFile underFile(dir.File("plain/registry.reg"));  // its folder cannot be made
  RegistryKey key;
  EXPECT_EQ(underFile.CreateKey(kMachine, kSubkey, key), kErrorAccessDenied);
  EXPECT_FALSE(key.isOpen());
  EXPECT_EQ(underFile.OpenKey(kMachine, kSubkey, key), kErrorFileNotFound);

  // A file that exists but cannot be read is neither read nor replaced.
  std::filesystem::create_directories(dir.File("folder.reg"));
  RegistryFile folder(dir.File("folder.reg"));
  EXPECT_EQ(folder.OpenKey(kMachine, kSubkey, key), kErrorAccessDenied);
  EXPECT_EQ(folder.CreateKey(kMachine, kSubkey, key), kErrorAccessDenied);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.reg")));
}

// Root may write anything, so an ordinary user is needed here.
TEST_F(RegistryFileTest, AReadOnlyFileIsNotReplacedByAnOrdinaryUser) {
  TARNWICK_REQUIRE_ROOT();
  ASSERT_EQ(Set(registry, "Kept", kRegDword, Dword(1)), kErrorSuccess);
  const std::string folder = dir.File("nested/folder");
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(dir.File("nested").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(::chmod((path + ".lock").c_str(), 0666), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    RegistryFile user(path);
    RegistryKey key;
    ::_exit(user.CreateKey(kMachine, "SOFTWARE\\NEW", key) == kErrorAccessDenied ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  RegistryKey key;
  EXPECT_EQ(registry.OpenKey(kMachine, "SOFTWARE\\NEW", key), kErrorFileNotFound);
}

TEST_F(RegistryFileTest, KeepsWhatItDoesNotOwnAndSeesOtherWriters) {
  const std::string foreign =
      "[HKEY_CURRENT_USER\\Other]\r\n\"Keep\"=hex(2):25,00\r\n"
      "this line is damaged\r\n\r\n";
  std::filesystem::create_directories(dir.File("nested/folder"));
  test::TempDir::WriteFile(path, "REGEDIT4\r\n\r\n" + foreign);

  ASSERT_EQ(Set(registry, "MailTo", kRegSz, std::string("a@b\0", 4)), kErrorSuccess);
  const std::string saved = test::TempDir::ReadFile(path);
  EXPECT_EQ(saved,
            "REGEDIT4\r\n\r\n" + foreign + "[" + kKeyPath + "]\r\n\"MailTo\"=\"a@b\"\r\n\r\n");

  // A second writer's change is seen by the first at its next read.
  RegistryFile other(path);
  ASSERT_TRUE(Get(registry, "MailTo"));
  ASSERT_EQ(Set(other, "MailTo", kRegSz, std::string("c@d\0", 4)), kErrorSuccess);
  EXPECT_EQ(Get(registry, "MailTo")->data, std::string("c@d\0", 4));

  // Within a read batch the file stays the version first seen, except for
  // this object's own changes; the next read after it sees the other writer.
  {
    const RegistryFile::ReadBatch batch(registry);
    ASSERT_TRUE(Get(registry, "MailTo"));
    ASSERT_EQ(Set(other, "MailTo", kRegSz, std::string("e@f\0", 4)), kErrorSuccess);
    EXPECT_EQ(Get(registry, "MailTo")->data, std::string("c@d\0", 4));
    ASSERT_EQ(Set(registry, "MailFrom", kRegSz, std::string("g@h\0", 4)), kErrorSuccess);
    EXPECT_EQ(Get(registry, "MailFrom")->data, std::string("g@h\0", 4));
  }
  EXPECT_EQ(Get(registry, "MailTo")->data, std::string("e@f\0", 4));
}

TEST_F(RegistryFileTest, TheLocationComesFromTheEnvironment) {
  struct SavedVariable {
    const char* name;
    std::optional<std::string> value;
  };
  std::vector<SavedVariable> saved;
  for (const char* name : {"TARNWICK_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) {
    const char* value = std::getenv(name);
    saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
  }

  ::setenv("TARNWICK_REGISTRY", "/x/own.reg", 1);
  ::setenv("XDG_CONFIG_HOME", "/config", 1);
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(RegistryFile::DefaultPath(), "/x/own.reg");
  ::unsetenv("TARNWICK_REGISTRY");
  EXPECT_EQ(RegistryFile::DefaultPath(), "/config/tarnwick/registry.reg");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(RegistryFile::DefaultPath(), "/home/u/.config/tarnwick/registry.reg");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryFile().path(), "/home/u/.config/tarnwick/registry.reg");

  for (const SavedVariable& variable : saved) {
    if (variable.value) {
      ::setenv(variable.name, variable.value->c_str(), 1);
    } else {
      ::unsetenv(variable.name);
    }
  }
}

// A writer killed at any moment leaves the old file or the new one, whole;
// readers meanwhile never see a file half written; the next writer clears
// away the killed one's temporary file.
TEST_F(RegistryFileTest, AWriterKilledHalfwayLeavesTheOldOrTheNewFile) {
  const std::string first(100000, 'a');
  const std::string second(100000, 'b');
  ASSERT_EQ(Set(registry, "Other", kRegDword, Dword(7)), kErrorSuccess);
  ASSERT_EQ(Set(registry, "Big", kRegBinary, first), kErrorSuccess);
  const auto expectWhole = [&](int round) {
    const std::optional<RegistryValue> big = Get(registry, "Big");
    ASSERT_TRUE(big) << round;
    ASSERT_TRUE(big->data == first || big->data == second) << round;
    ASSERT_EQ(Get(registry, "Other")->data, Dword(7)) << round;
  };

  std::mt19937 random(42);
  for (int round = 0; round < 20; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RegistryFile writer(path);
      for (int i = 0;; ++i)
        Set(writer, "Big", kRegBinary, i % 2 == 0 ? second : first);
    }
    const int reads = static_cast<int>(random() % 20);
    for (int i = 0; i < reads; ++i)
      expectWhole(round);
    ::usleep(static_cast<useconds_t>(random() % 5000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    expectWhole(round);
  }

  ASSERT_EQ(Set(registry, "Other", kRegDword, Dword(8)), kErrorSuccess);
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("nested/folder"))) {
    EXPECT_TRUE(entry.path().filename() == "registry.reg" ||
                entry.path().filename() == "registry.reg.lock")
        << entry.path();
  }
}

// The system stops a writer whose file outgrows its size limit in the middle
// of the write: killed at every size, the writer leaves the old file whole.
TEST_F(RegistryFileTest, AWriterKilledAtAnyByteLeavesTheOldFileWhole) {
  const std::string before(50000, 'a');
  ASSERT_EQ(Set(registry, "Big", kRegBinary, before), kErrorSuccess);
  const std::string saved = test::TempDir::ReadFile(path);

  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const rlim_t limit = random() % (saved.size() + 1000);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const rlimit noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      const rlimit size{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &size);
      RegistryFile writer(path);
      Set(writer, "Big", kRegBinary, std::string(60000, 'b'));
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << round;
    ASSERT_EQ(test::TempDir::ReadFile(path), saved) << round;
  }
}

// Two processes setting different values at the same time: each change is
// made to the file as the other left it, so none is lost.
TEST_F(RegistryFileTest, TwoProcessesWritingAtOnceKeepEachOthersValues) {
  constexpr int kValuesEach = 40;
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = ::fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      ::close(start[1]);
      char go;
      if (::read(start[0], &go, 1) != 1) ::_exit(2);
      RegistryFile own(path);
      int failures = 0;
      for (int i = 0; i < kValuesEach; ++i) {
        const std::string name = std::to_string(writer) + "-" + std::to_string(i);
        if (Set(own, name, kRegDword, Dword(static_cast<std::uint32_t>(i))) != kErrorSuccess) {
          ++failures;
        }
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  ::close(start[0]);
  ASSERT_EQ(::write(start[1], "gg", 2), 2);  // both start together
  ::close(start[1]);
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = std::to_string(writer) + "-" + std::to_string(i);
      const std::optional<RegistryValue> value = Get(registry, name);
      ASSERT_TRUE(value) << name;
      EXPECT_EQ(value->data, Dword(static_cast<std::uint32_t>(i))) << name;
    }
  }
}

}  // namespace
}  // namespace tarnwick
