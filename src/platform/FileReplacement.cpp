#include "platform/FileReplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

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

// A temporary file of a writer killed half-way stays behind; its name holds
// the writer's process id. Those of processes that no longer run go.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string prefix = TemporaryPrefixFor(target);
  const std::string folder = FolderOf(prefix);
  const std::size_t slash = prefix.rfind('/');
  const std::string namePrefix = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(namePrefix)) continue;
    const std::string_view rest = name.substr(namePrefix.size());
    long pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (error != std::errc() || end == rest.data() || *end != '-' || pid <= 0) continue;
    if (pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
  }
  ::closedir(directory);
}

// The whole file, or none when it cannot be read.
bool ReadWhole(const std::string& path, std::string& bytes) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!file.valid()) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// FNV-1a: a stable short name for a full path.
std::uint64_t PathHash(std::string_view path) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

// 0 when the copy of the old content is safely on disk (or there is no old
// file, or a copy of an unfinished write is already kept).
int KeepCopyBeforeWritingInPlace(const std::string& path) {
  const std::string copy = InPlaceCopyPath(path);
  if (::access(copy.c_str(), F_OK) == 0) return 0;
  std::string old;
  if (!ReadWhole(path, old)) return errno == ENOENT ? 0 : errno;
  std::error_code error;
  std::filesystem::create_directories(StateFolder(), error);
  if (error) return error.value();
  return ReplaceFileAtomically(copy, old, Durability::Flushed);
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
  RemoveStaleTemporaries(target);
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
  if (error == 0) {
    // A save that succeeded makes a copy of an unfinished one useless.
    ::unlink(InPlaceCopyPath(path).c_str());
    return 0;
  }
  if (!IsRefusal(error)) return error;
  // Refused by the folder only: the file's own permission still allows a
  // write. Without a state folder of its own (a user without a home) the
  // write goes ahead unguarded, as refusing would stop a page or list that
  // can only be written this way.
  const bool kept = KeepCopyBeforeWritingInPlace(path) == 0;
  // The copy may go only once the new content is on the disk.
  const int written = WriteInPlace(path, bytes, kept ? Durability::Flushed : durability);
  if (written == 0 && kept) ::unlink(InPlaceCopyPath(path).c_str());
  return written;
}

std::string StateFolder() {
  // XDG asks to ignore a relative XDG_STATE_HOME.
  const std::string state = EnvironmentValue("XDG_STATE_HOME");
  if (!state.empty() && state.front() == '/') return state + "/tarnwick";
  return EnvironmentValue("HOME") + "/.local/state/tarnwick";
}

std::string InPlaceCopyPath(const std::string& path) {
  const std::string absolute = AbsolutePath(ResolvedTarget(path));
  const std::size_t slash = absolute.rfind('/');
  const std::string name = slash == std::string::npos ? absolute : absolute.substr(slash + 1);
  char hash[24];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(PathHash(absolute)));
  return StateFolder() + "/" + name + "." + hash + ".before-save";
}

bool HasInPlaceCopy(const std::string& path) {
  return ::access(InPlaceCopyPath(path).c_str(), F_OK) == 0;
}

}  // namespace tarnwick
