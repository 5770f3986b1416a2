#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// close() is where some file systems report a failed write.
int WriteAndClose(UniqueFd file, std::string_view bytes) {
  if (const int error = WriteAll(file.get(), bytes); error != 0)
    return error;
  return ::close(file.release()) == 0 ? 0 : errno;
}

int WriteInPlace(const std::string& path, std::string_view bytes) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.valid())
    return errno;
  return WriteAndClose(std::move(file), bytes);
}

std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + "." + std::to_string(::getpid()) + "." +
         std::to_string(counter.fetch_add(1)) + ".tmp";
}

}  // namespace

int ReplaceFileContents(const std::string& path, std::string_view bytes) {
  if (path.empty())
    return ENOENT;
  // A name that ends in a separator names a folder: let open() say so.
  if (path.back() == '/')
    return WriteInPlace(path, bytes);
  struct stat existing {};
  const bool exists = ::lstat(path.c_str(), &existing) == 0;
  // Renaming over a link would replace the link, not the file it names.
  if (exists && S_ISLNK(existing.st_mode))
    return WriteInPlace(path, bytes);

  const std::string temporary = TemporaryPathBeside(path);
  UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!file.valid())
    return WriteInPlace(path, bytes);
  if (exists) {
    // Keep the page's owner where we may (as root); elsewhere it becomes ours.
    [[maybe_unused]] const int ignored = ::fchown(file.get(), existing.st_uid, existing.st_gid);
    ::fchmod(file.get(), existing.st_mode & 07777);
  }

  if (const int error = WriteAndClose(std::move(file), bytes); error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return WriteInPlace(path, bytes);
  }
  return 0;
}

}  // namespace tarnwick
