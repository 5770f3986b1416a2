#pragma once

#include <string>

#include "platform/UniqueFd.h"

namespace tarnwick {

// The one-copy-per-user rule: an exclusive lock on a file named after "ZNRQ"
// in $XDG_RUNTIME_DIR (else the temporary folder). The kernel drops the lock
// when the process ends, however it ends, so a crash never locks the user out.
class SingleInstanceLock {
 public:
  // The lock file's path for this user.
  static std::string DefaultPath();

  // True when this process now holds the lock; false when another copy does
  // or the file cannot be opened.
  bool Acquire(const std::string& path = DefaultPath());
  void Release() { fd_.reset(); }
  bool held() const { return fd_.valid(); }

 private:
  UniqueFd fd_;
};

}  // namespace tarnwick
