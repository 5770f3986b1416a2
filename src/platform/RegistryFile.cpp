#include "platform/RegistryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/FileReplacement.h"
#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

// Far beyond any settings file; a bigger file is refused rather than read
// into memory, and is never overwritten.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

long WriteErrorCode(int error) {
  return error == ENOSPC || error == EDQUOT ? kErrorDiskFull : kErrorAccessDenied;
}

std::string FullPath(RegistryRoot root, std::string_view subkey) {
  std::string path(RegistryRootName(root));
  if (!subkey.empty()) {
    path += '\\';
    path += subkey;
  }
  return path;
}

bool ReadAll(int fd, std::string& text) {
  char buffer[16384];
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > static_cast<std::size_t>(kMaxFileSize)) return false;
  }
}

// Opening a FIFO for reading waits for a writer, and a device may never
// end: neither is opened in blocking mode, and the caller checks the type.
UniqueFd OpenForReading(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return fd;
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags != -1) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool IsReadableSize(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_size <= kMaxFileSize;
}

// 0 with the text, 2 when there is no file, 5 when it cannot be read.
long ReadFileText(const std::string& path, std::string& text, struct stat& info) {
  UniqueFd fd = OpenForReading(path);
  if (!fd.valid()) {
    return errno == ENOENT || errno == ENOTDIR ? kErrorFileNotFound : kErrorAccessDenied;
  }
  if (::fstat(fd.get(), &info) != 0 || !IsReadableSize(info)) return kErrorAccessDenied;
  text.clear();
  return ReadAll(fd.get(), text) ? kErrorSuccess : kErrorAccessDenied;
}

bool StartsWithRegistryHeader(std::string_view text) {
  const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
  std::string_view line = text.substr(0, end);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
    line.remove_suffix(1);
  return line == "REGEDIT4";
}

bool IsOnlyBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

std::string_view RegistryRootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case RegistryRoot::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RegistryRoot::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::Users:
      return "HKEY_USERS";
  }
  return "HKEY_LOCAL_MACHINE";
}

std::string RegistryFile::DefaultPath() {
  const std::string overridden = EnvironmentValue("TARNWICK_REGISTRY");
  if (!overridden.empty()) return overridden;
  // XDG asks to ignore a relative XDG_CONFIG_HOME.
  const std::string config = EnvironmentValue("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') return config + "/tarnwick/registry.reg";
  return EnvironmentValue("HOME") + "/.config/tarnwick/registry.reg";
}

RegistryFile::RegistryFile() : RegistryFile(DefaultPath()) {}

RegistryFile::RegistryFile(std::string path) : path_(std::move(path)) {}

bool RegistryFile::Signature::operator==(const Signature& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
         changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

RegistryFile::Signature RegistryFile::Signature::Of(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

RegistryInspection RegistryFile::Inspect() const {
  UniqueFd fd = OpenForReading(path_);
  if (!fd.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) return {RegistryFileState::Missing, 0};
    return {RegistryFileState::Unreadable, errno};
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return {RegistryFileState::Unreadable, errno};
  if (!S_ISREG(info.st_mode)) return {RegistryFileState::NotRegularFile, 0};
  if (info.st_size > kMaxFileSize) return {RegistryFileState::Unreadable, EFBIG};
  std::string text;
  if (!ReadAll(fd.get(), text)) {
    const bool tooBig = text.size() > static_cast<std::size_t>(kMaxFileSize);
    return {RegistryFileState::Unreadable, tooBig ? EFBIG : errno};
  }
  if (IsOnlyBlank(text) || StartsWithRegistryHeader(text)) return {};
  if (RegistryDocument::Parse(text).Entries().empty()) return {RegistryFileState::NotRegistry, 0};
  return {};
}

bool RegistryFile::CacheStillCurrent() const {
  struct stat info {};
  return cacheValid_ && ::stat(path_.c_str(), &info) == 0 && IsReadableSize(info) &&
         Signature::Of(info) == cacheSignature_;
}

RegistryFile::ReadBatch::ReadBatch(RegistryFile& file) : file_(file) {
  ++file_.batchDepth_;
}

RegistryFile::ReadBatch::~ReadBatch() {
  if (--file_.batchDepth_ == 0) file_.batchRefresh_.reset();
}

long RegistryFile::Refresh() {
  if (batchRefresh_) return *batchRefresh_;
  const long result = RefreshFromFile();
  if (batchDepth_ > 0) batchRefresh_ = result;
  return result;
}

long RegistryFile::RefreshFromFile() {
  if (CacheStillCurrent()) return kErrorSuccess;
  UniqueFd fd = OpenForReading(path_);
  if (!fd.valid()) {
    cacheValid_ = false;
    return errno == ENOENT || errno == ENOTDIR ? kErrorFileNotFound : kErrorAccessDenied;
  }
  struct stat before {};
  if (::fstat(fd.get(), &before) != 0 || !IsReadableSize(before)) {
    cacheValid_ = false;
    return kErrorAccessDenied;
  }
  const Signature signature = Signature::Of(before);
  if (cacheValid_ && signature == cacheSignature_) return kErrorSuccess;

  std::string text;
  if (!ReadAll(fd.get(), text)) {
    cacheValid_ = false;
    return kErrorAccessDenied;
  }
  cache_ = RegistryDocument::Parse(text);
  // Someone writing the file in place while it was read: use what was read
  // this time, but read it again next time.
  struct stat after {};
  cacheValid_ = ::fstat(fd.get(), &after) == 0 && signature == Signature::Of(after);
  cacheSignature_ = signature;
  return kErrorSuccess;
}

long RegistryFile::OpenKey(RegistryRoot root, std::string_view subkey, RegistryKey& key) {
  key = RegistryKey();
  const long refreshed = Refresh();
  if (refreshed != kErrorSuccess) return refreshed;
  std::string path = FullPath(root, subkey);
  // A path that could never have been written is in no file.
  if (!RegistryKeyPathIsWritable(path)) return kErrorFileNotFound;
  if (!subkey.empty() && !cache_.HasKey(path)) return kErrorFileNotFound;
  key.path_ = std::move(path);
  key.open_ = true;
  key.writable_ = false;
  return kErrorSuccess;
}

long RegistryFile::QueryValue(const RegistryKey& key, std::string_view name, std::size_t limit,
                              RegistryValue& value) {
  value = RegistryValue();
  if (!key.open_) return kErrorInvalidHandle;
  if (key.writable_) return kErrorAccessDenied;
  const long refreshed = Refresh();
  if (refreshed != kErrorSuccess) return refreshed;
  const RegistryValue* found = cache_.FindValue(key.path_, name);
  if (found == nullptr) return kErrorFileNotFound;
  value.kind = found->kind;
  if (found->data.size() > limit) return kErrorMoreData;
  value.data = found->data;
  return kErrorSuccess;
}

long RegistryFile::CreateKey(RegistryRoot root, std::string_view subkey, RegistryKey& key) {
  key = RegistryKey();
  std::string path = FullPath(root, subkey);
  if (!RegistryKeyPathIsWritable(path)) return kErrorInvalidParameter;
  const long result = Modify([&path](RegistryDocument& document) { return document.AddKey(path); });
  if (result != kErrorSuccess) return result;
  key.path_ = std::move(path);
  key.open_ = true;
  key.writable_ = true;
  return kErrorSuccess;
}

long RegistryFile::SetValue(const RegistryKey& key, std::string_view name, std::uint32_t kind,
                            std::string_view data) {
  if (!key.open_) return kErrorInvalidHandle;
  if (!key.writable_) return kErrorAccessDenied;
  if (!RegistryNameIsWritable(name)) return kErrorInvalidParameter;
  return Modify([&](RegistryDocument& document) {
    // Rewriting the same bytes would only cost a flush to disk.
    return document.SetValue(key.path_, name, RegistryValue{kind, std::string(data)});
  });
}

long RegistryFile::CloseKey(RegistryKey& key) {
  if (!key.open_) return kErrorInvalidHandle;
  key = RegistryKey();
  return kErrorSuccess;
}

// One locked read-modify-write. `change` edits the document and says whether
// anything changed; nothing is written when it did not.
template <typename Change>
long RegistryFile::Modify(Change change) {
  const std::string folder = Folder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return kErrorAccessDenied;

  UniqueFd lock(::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.valid()) return kErrorAccessDenied;
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return kErrorAccessDenied;
  }

  // The file is replaced, never written in place, so its own permissions
  // would not stop us: honour a file its owner made read-only.
  if (::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return kErrorAccessDenied;
  }

  std::string text;
  struct stat info {};
  const long read = ReadFileText(path_, text, info);
  // A file that exists but cannot be read is never replaced: that would lose it.
  if (read != kErrorSuccess && read != kErrorFileNotFound) return kErrorAccessDenied;
  RegistryDocument document = RegistryDocument::Parse(text);
  if (!change(document)) return kErrorSuccess;

  cacheValid_ = false;
  batchRefresh_.reset();
  RemoveStaleTemporaries();
  return WriteAtomically(document.Serialize());
}

long RegistryFile::WriteAtomically(const std::string& text) const {
  // The file may hold the mail password: only its owner reads it. The
  // replacement takes the old file's mode, so the old one (or an empty new
  // one) is tightened first, before any byte of the text is written.
  UniqueFd existing(::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  if (existing.valid()) ::fchmod(existing.get(), 0600);
  existing.reset();
  const int error = ReplaceFileAtomically(path_, text);
  return error == 0 ? kErrorSuccess : WriteErrorCode(error);
}

// A writer killed between creating its temporary file and renaming it leaves
// the file behind. Writers create them only under the lock, so while we hold
// it every one of them is such a leftover.
void RegistryFile::RemoveStaleTemporaries() const {
  DIR* directory = ::opendir(Folder().c_str());
  if (directory == nullptr) return;
  const std::string prefix = TemporaryPrefix();
  while (const dirent* entry = ::readdir(directory)) {
    if (std::string_view(entry->d_name).starts_with(prefix)) {
      ::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
  }
  ::closedir(directory);
}

std::string RegistryFile::Folder() const {
  const std::size_t slash = path_.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path_.substr(0, slash);
}

std::string RegistryFile::BaseName() const {
  const std::size_t slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::string RegistryFile::TemporaryPrefix() const {
  return "." + BaseName() + ".tmp-";
}

}  // namespace tarnwick
