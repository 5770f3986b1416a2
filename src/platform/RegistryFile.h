#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/RegistryDocument.h"

namespace tarnwick {

// Results of the registry operations, with their Windows values.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorDiskFull = 112;
inline constexpr long kErrorMoreData = 234;

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// What a look at the registry file found.
enum class RegistryFileState {
  Ok,
  Missing,         // no file yet: every value takes its default
  NotRegularFile,  // a folder, FIFO or device: never opened for reading
  Unreadable,      // refused, a failed read, or beyond any settings file's size
  NotRegistry,     // neither a REGEDIT4 header nor any key that can be read
};

struct RegistryInspection {
  RegistryFileState state = RegistryFileState::Ok;
  int error = 0;  // the errno of an unreadable file, 0 when none is known
};

// "HKEY_LOCAL_MACHINE" and so on, as the sections of the file name them.
std::string_view RegistryRootName(RegistryRoot root);

// An open key. It holds no system resource: closing only marks it closed,
// after which every operation on it answers "invalid handle".
class RegistryKey {
 public:
  bool isOpen() const { return open_; }
  const std::string& path() const { return path_; }

 private:
  friend class RegistryFile;
  std::string path_;  // with the root's name, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE"
  bool open_ = false;
  bool writable_ = false;
};

// The registry, kept in a REGEDIT4 text file (CP932). Each operation opens,
// queries, creates or sets as a registry does and returns its result code. Reads see
// the file as it is now. Every change is one locked read-modify-write: under
// an exclusive lock on a lock file beside it the file is read again, changed,
// written to a temporary file in the same folder, flushed to disk and renamed
// over the old one, so a crash leaves the old or the new file, and two
// processes changing it at once keep each other's values. Keys and values
// that the caller never touches, and lines that cannot be read, are written
// back as they were. An object is used by one thread at a time.
class RegistryFile {
 public:
  // TARNWICK_REGISTRY, else $XDG_CONFIG_HOME/tarnwick/registry.reg, else
  // $HOME/.config/tarnwick/registry.reg.
  static std::string DefaultPath();

  RegistryFile();
  explicit RegistryFile(std::string path);

  const std::string& path() const { return path_; }

  // Whether the file can serve as the registry. Never blocks: a FIFO or a
  // device is refused from its type, not read.
  RegistryInspection Inspect() const;

  // Opens an existing key for query access: 2 when the file or the key is
  // absent, 5 when the file cannot be read.
  long OpenKey(RegistryRoot root, std::string_view subkey, RegistryKey& key);

  // The value's kind and bytes. When it holds more than `limit` bytes the
  // result is 234 (more data), with the kind set and no bytes. 2 when absent,
  // 5 on a key opened for writing only, 6 on a closed key.
  long QueryValue(const RegistryKey& key, std::string_view name, std::size_t limit,
                  RegistryValue& value);

  // Opens a key for write access, creating it (and the file and its folder)
  // when needed. 5 when the location cannot be written.
  long CreateKey(RegistryRoot root, std::string_view subkey, RegistryKey& key);

  // Stores the value. 5 on a key opened for query only or when the file
  // cannot be written, 6 on a closed key, 87 on a name that cannot be stored.
  long SetValue(const RegistryKey& key, std::string_view name, std::uint32_t kind,
                std::string_view data);

  // 6 when the key is not open.
  long CloseKey(RegistryKey& key);

  // While one lives, every read sees the file as the first read in it found
  // it, looked at once: for values that belong together, such as the
  // settings read at start-up, which would otherwise cost a stat each and
  // could mix two versions of a file replaced meanwhile. A change made
  // through this object still shows at once.
  class ReadBatch {
   public:
    explicit ReadBatch(RegistryFile& file);
    ~ReadBatch();
    ReadBatch(const ReadBatch&) = delete;
    ReadBatch& operator=(const ReadBatch&) = delete;

   private:
    RegistryFile& file_;
  };

 private:
  // What identifies one version of the file, to know when to read it again.
  struct Signature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::timespec modified{};
    std::timespec changed{};
    bool operator==(const Signature& other) const;
    static Signature Of(const struct stat& info);
  };

  // The cache brought up to date, unless a batch has already looked.
  long Refresh();
  long RefreshFromFile();
  // Whether the file read last is still there unchanged: one stat, where
  // reading it again takes an open and several calls.
  bool CacheStillCurrent() const;
  template <typename Change>
  long Modify(Change change);
  long WriteAtomically(const std::string& text) const;
  void RemoveStaleTemporaries() const;
  std::string Folder() const;
  std::string BaseName() const;
  std::string TemporaryPrefix() const;

  std::string path_;
  RegistryDocument cache_;
  Signature cacheSignature_;
  bool cacheValid_ = false;
  int batchDepth_ = 0;
  // Within a batch, the result of its first look at the file, if taken.
  std::optional<long> batchRefresh_;
};

}  // namespace tarnwick
