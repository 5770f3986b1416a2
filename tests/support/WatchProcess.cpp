#include "support/WatchProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/CodePage.h"
#include "platform/LocalTime.h"

extern char** environ;

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::string NameOf(const std::string& entry) {
  return entry.substr(0, entry.find('=') + 1);
}

// Ours, with the given entries in place of inherited ones of the same name.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& given) {
  std::vector<std::string> merged = given;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& own : given)
      replaced = replaced || NameOf(own) == NameOf(entry);
    if (!replaced) merged.push_back(entry);
  }
  return merged;
}

std::string QuotedRegistryText(const std::string& ascii) {
  std::string quoted = "\"";
  for (const char c : ascii) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

WatchProcess::WatchProcess(const TempDir& dir, const std::string& executable,
                           std::vector<std::string> environment)
    : dir_(dir), environment_(std::move(environment)) {
  CopyInto(dir, executable);
}

void WatchProcess::CopyInto(const TempDir& dir, const std::string& executable) {
  std::filesystem::copy_file(executable, dir.File("tarnwick-watch"));
  const auto module = std::filesystem::path(executable).parent_path() / "tarnwick-metrics.so";
  if (std::filesystem::exists(module)) {
    std::filesystem::copy_file(module, dir.File("tarnwick-metrics.so"));
  }
}

WatchProcess::~WatchProcess() {
  if (pid_ > 0 && !exitCode_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool WatchProcess::Start(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& launcher) {
  exitCode_.reset();
  std::vector<std::string> env = MergedEnvironment(environment_);
  std::vector<std::string> args = launcher;
  args.push_back(dir_.File("tarnwick-watch"));
  args.insert(args.end(), arguments.begin(), arguments.end());

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, dir_.File("stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, dir_.File("stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int result = posix_spawnp(&pid_, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                                  Pointers(env).data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    pid_ = -1;
    std::fprintf(stderr, "cannot start %s: error %d\n", args[0].c_str(), result);
  }
  return result == 0;
}

bool WatchProcess::WaitForOutput(const std::vector<std::string>& texts,
                                 std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string out = Stdout();
    bool all = true;
    for (const std::string& text : texts)
      all = all && out.find(text) != std::string::npos;
    if (all) return true;
    if (Exited(0ms)) return false;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

void WatchProcess::Signal(int signal) const {
  if (pid_ > 0 && !exitCode_) ::kill(pid_, signal);
}

std::optional<int> WatchProcess::Exited(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (!exitCode_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (exitCode_) return exitCode_;
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

std::string WatchProcess::Stdout() const {
  return TempDir::ReadFile(dir_.File("stdout"));
}
std::string WatchProcess::Stderr() const {
  return TempDir::ReadFile(dir_.File("stderr"));
}

std::string WatchProcess::RunningLogText(std::time_t started) const {
  for (const std::time_t when : {started, std::time(nullptr)}) {
    const std::string name = dir_.File(FormatLocalTime(when, "LOG%Y%m%d.log"));
    if (TempDir::Exists(name)) return Utf8FromCp932(TempDir::ReadFile(name));
  }
  return {};
}

std::string WatchProcess::RegistryText(
    const std::vector<std::pair<std::string, std::uint32_t>>& numbers,
    const std::vector<std::pair<std::string, std::string>>& texts) {
  std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\r\n";
  for (const auto& [name, value] : numbers) {
    char dword[16];
    std::snprintf(dword, sizeof dword, "%08x", value);
    text += "\"" + name + "\"=dword:" + dword + "\r\n";
  }
  for (const auto& [name, value] : texts) {
    text += "\"" + name + "\"=" + QuotedRegistryText(value) + "\r\n";
  }
  return text + "\r\n";
}

}  // namespace tarnwick::test
