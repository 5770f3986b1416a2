#include "mail/ConnectionRegistry.h"

#include <algorithm>
#include <new>

#include "mail/Connection.h"

namespace tarnwick {

ConnectionRegistry& ConnectionRegistry::Instance() {
  static ConnectionRegistry registry;
  return registry;
}

bool ConnectionRegistry::Add(std::unique_ptr<connection> entry) {
  std::lock_guard lock(mutex_);
  if (entries_.empty()) {
    // Winsock 1.1 start-up; its result is not passed on, and POSIX sockets
    // need no start-up at all.
    winsockStarted_ = true;
    ++startups_;
  }
  try {
    entries_.push_front(std::move(entry));
  } catch (const std::bad_alloc&) {
    if (entries_.empty()) {
      winsockStarted_ = false;
      ++cleanups_;
    }
    return false;
  }
  return true;
}

bool ConnectionRegistry::Remove(const connection* entry) {
  std::unique_ptr<connection> removed;
  std::lock_guard lock(mutex_);
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [entry](const auto& held) { return held.get() == entry; });
  if (found == entries_.end()) return false;
  removed = std::move(*found);
  entries_.erase(found);
  if (entries_.empty()) {
    winsockStarted_ = false;
    ++cleanups_;
  }
  return true;
}

bool ConnectionRegistry::Contains(const connection* entry) const {
  std::lock_guard lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(),
                     [entry](const auto& held) { return held.get() == entry; });
}

std::size_t ConnectionRegistry::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

bool ConnectionRegistry::winsockStarted() const {
  std::lock_guard lock(mutex_);
  return winsockStarted_;
}

int ConnectionRegistry::startups() const {
  std::lock_guard lock(mutex_);
  return startups_;
}

int ConnectionRegistry::cleanups() const {
  std::lock_guard lock(mutex_);
  return cleanups_;
}

}  // namespace tarnwick
