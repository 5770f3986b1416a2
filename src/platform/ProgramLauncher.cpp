#include "platform/ProgramLauncher.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/CodePage.h"

extern char** environ;

namespace tarnwick {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at]))
    ++at;
  return at;
}

// Windows splits the Unicode form of the line, so the second byte of a
// double-byte character (which may be 0x5C) is never a backslash.
std::size_t AppendCharacter(std::string& out, std::string_view text, std::size_t at) {
  const bool doubleByte =
      IsCp932LeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size();
  const std::size_t width = doubleByte ? 2 : 1;
  out.append(text.substr(at, width));
  return at + width;
}

std::size_t ReadProgramName(std::string_view text, std::size_t at, std::string& name) {
  if (text[at] == '"') {
    ++at;
    while (at < text.size() && text[at] != '"')
      at = AppendCharacter(name, text, at);
    return at < text.size() ? at + 1 : at;
  }
  while (at < text.size() && !IsBlank(text[at]))
    at = AppendCharacter(name, text, at);
  return at;
}

std::size_t ReadArgument(std::string_view text, std::size_t at, std::string& argument) {
  bool quoted = false;
  while (at < text.size()) {
    const char c = text[at];
    if (!quoted && IsBlank(c)) break;
    if (c == '\\') {
      std::size_t count = 0;
      for (; at < text.size() && text[at] == '\\'; ++at)
        ++count;
      const bool beforeQuote = at < text.size() && text[at] == '"';
      argument.append(beforeQuote ? count / 2 : count, '\\');
      if (beforeQuote && count % 2 == 1) {
        argument += '"';
        ++at;
      }
      continue;
    }
    if (c == '"') {
      if (quoted && at + 1 < text.size() && text[at + 1] == '"') {
        argument += '"';
        at += 2;
        quoted = false;
      } else {
        quoted = !quoted;
        ++at;
      }
      continue;
    }
    at = AppendCharacter(argument, text, at);
  }
  return at;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The WinExec code nearest to why the program could not be started.
int CodeForError(int error, const std::string& program) {
  const bool hasFolder = program.find('/') != std::string::npos;
  switch (error) {
    case ENOENT:
      return hasFolder && !IsDirectory(ParentOf(program)) ? ProgramLauncher::kPathNotFound
                                                          : ProgramLauncher::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ProgramLauncher::kPathNotFound;
    case EACCES:
      // A file we may not execute, or a folder on the way we may not enter.
      return !hasFolder || Exists(program) ? ProgramLauncher::kBadExecutable
                                           : ProgramLauncher::kPathNotFound;
    case ENOEXEC:
    case EISDIR:
    case ELIBBAD:
      return ProgramLauncher::kBadExecutable;
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
      return ProgramLauncher::kOutOfResources;
    default:
      return ProgramLauncher::kGeneralFailure;
  }
}

// Children whose reaper thread could not be made; collected at the next start.
std::mutex pendingMutex;
std::vector<pid_t> pendingChildren;

void CollectPendingChildren() {
  std::lock_guard lock(pendingMutex);
  std::erase_if(pendingChildren, [](pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) != 0;
  });
}

void ReapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(pendingMutex);
    pendingChildren.push_back(pid);
  }
}

// What the child gets: no descriptors but the standard three, no blocked
// signals and default dispositions, whatever the watcher has set for itself.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
#endif
    posix_spawnattr_init(&attributes_);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes_, &none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attributes_, &all);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  const posix_spawn_file_actions_t* actions() const {
    return &actions_;
  }
  const posix_spawnattr_t* attributes() const {
    return &attributes_;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

std::vector<std::string> ProgramLauncher::SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  std::size_t at = SkipBlanks(commandLine, 0);
  if (at == commandLine.size()) return arguments;
  at = ReadProgramName(commandLine, at, arguments.emplace_back());
  while ((at = SkipBlanks(commandLine, at)) < commandLine.size()) {
    at = ReadArgument(commandLine, at, arguments.emplace_back());
  }
  return arguments;
}

ProgramLauncher::Launch ProgramLauncher::Start(std::string_view commandLine) {
  CollectPendingChildren();
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  if (arguments.empty() || arguments.front().empty()) return {kFileNotFound, -1};

  // The line is CP932; file names and arguments on this system are UTF-8.
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argument = Utf8FromCp932(argument);
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  const SpawnSetup setup;
  pid_t pid = -1;
  const int error =
      posix_spawnp(&pid, argv.front(), setup.actions(), setup.attributes(), argv.data(), environ);
  if (error != 0) return {CodeForError(error, arguments.front()), -1};
  ReapInBackground(pid);
  return {kStarted, pid};
}

ProgramLauncher& ProgramLauncher::System() {
  static ProgramLauncher launcher;
  return launcher;
}

}  // namespace tarnwick
