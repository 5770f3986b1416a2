#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>

namespace tarnwick {

class connection;

// The process-wide list of open mail connections, newest first. It owns them
// and keeps the Winsock bookkeeping: the socket library counts as started
// while at least one connection is registered. On POSIX the start-up and
// clean-up have nothing to do but are counted, so their pairing is visible.
class ConnectionRegistry {
 public:
  static ConnectionRegistry& Instance();

  // Starts Winsock (version 1.1) when the registry is empty. False when the
  // entry could not be stored; the connection is then freed.
  bool Add(std::unique_ptr<connection> entry);
  // Frees the connection; cleans Winsock up when it was the last one.
  // False when it was not registered.
  bool Remove(const connection* entry);
  bool Contains(const connection* entry) const;

  std::size_t size() const;
  bool winsockStarted() const;
  int startups() const;
  int cleanups() const;

 private:
  ConnectionRegistry() = default;

  mutable std::mutex mutex_;
  std::list<std::unique_ptr<connection>> entries_;
  bool winsockStarted_ = false;
  int startups_ = 0;
  int cleanups_ = 0;
};

}  // namespace tarnwick
