#include "platform/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace tarnwick {

std::string SingleInstanceLock::DefaultPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/ZNRQ.lock";
  const char* temp = std::getenv("TMPDIR");
  const std::string folder = temp != nullptr && *temp != '\0' ? temp : "/tmp";
  // The temporary folder is shared by every user: the name carries the user.
  return folder + "/ZNRQ-" + std::to_string(::getuid()) + ".lock";
}

bool SingleInstanceLock::Acquire(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) return false;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
  fd_ = std::move(fd);
  return true;
}

}  // namespace tarnwick
