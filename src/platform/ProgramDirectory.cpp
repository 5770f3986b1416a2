#include "platform/ProgramDirectory.h"

#include <limits.h>
#include <unistd.h>

#include <array>

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

}  // namespace tarnwick
