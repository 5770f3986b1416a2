#include "platform/ProgramDirectory.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace tarnwick {

std::string FolderOf(const std::string& executablePath) {
  const std::size_t slash = executablePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return executablePath.substr(0, slash);
}

std::string ProgramDirectory() {
  // The folder is found from the executable itself, not from a fixed file
  // name, so a renamed program still logs beside itself.
  std::array<char, PATH_MAX> buffer{};
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return ".";
  return FolderOf(std::string(buffer.data(), static_cast<std::size_t>(length)));
}

namespace {

// Makes `path` and its missing parents, as `mkdir -p` does.
bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && *state == '/') return std::string(state) + "/tarnwick";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.local/state/tarnwick";
}

}  // namespace

std::string RunningLogFolder() {
  const std::string program = ProgramDirectory();
  if (::access(program.c_str(), W_OK | X_OK) == 0) return program;
  const std::string state = StateFolder();
  MakeFolders(state);
  return state;
}

}  // namespace tarnwick
