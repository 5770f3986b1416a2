#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written == 0 ? EIO : errno;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// close() is where some file systems report a failed write.
int WriteAndClose(UniqueFd file, std::string_view bytes, Durability durability) {
  int error = WriteAll(file.get(), bytes);
  if (error == 0 && durability == Durability::Flushed && ::fsync(file.get()) != 0) error = errno;
  if (::close(file.release()) != 0 && error == 0) error = errno;
  return error;
}

int WriteInPlace(const std::string& path, std::string_view bytes, Durability durability) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.valid()) return errno;
  return WriteAndClose(std::move(file), bytes, durability);
}

// A rename never asks the file itself, so its own mode would not stop a
// replacement: a file its owner made read-only is refused here. A file that
// does not exist yet may be made.
int TargetWriteError(const std::string& target) {
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT) return 0;
  return errno;
}

bool IsRefusal(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Renaming over a link would replace the link, not the file it names.
std::string ResolvedTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

UniqueFd CreateTemporary(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::string prefix = TemporaryPrefixFor(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

void KeepOwnerAndMode(int fd, const std::string& target) {
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0) return;
  // Only root may hand a file to another owner; elsewhere it becomes ours.
  [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
  ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

std::string TemporaryPrefixFor(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  return folder + "." + name + ".tmp-";
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes, Durability durability) {
  if (path.empty()) return ENOENT;
  // A name that ends in a separator names a folder, never a file.
  if (path.back() == '/') return EISDIR;
  const std::string target = ResolvedTarget(path);
  if (const int error = TargetWriteError(target); error != 0) return error;
  std::string temporary;
  UniqueFd file = CreateTemporary(target, temporary);
  if (!file.valid()) return errno;
  KeepOwnerAndMode(file.get(), target);

  int error = WriteAndClose(std::move(file), bytes, durability);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  if (durability == Durability::Flushed) {
    // The rename itself reaches the disk only with its folder.
    UniqueFd folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
  }
  return 0;
}

int ReplaceFileContents(const std::string& path, std::string_view bytes, Durability durability) {
  // Refused by the file itself: no way is left, and the file stays as it was.
  if (const int error = TargetWriteError(ResolvedTarget(path)); error != 0) return error;
  const int error = ReplaceFileAtomically(path, bytes, durability);
  // Refused by the folder only: the file's own permission still allows a write.
  if (IsRefusal(error)) return WriteInPlace(path, bytes, durability);
  return error;
}

}  // namespace tarnwick
