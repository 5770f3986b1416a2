#pragma once

namespace tarnwick {

// What a host may want to know of a running watch beyond the rows it writes.
// Called on the check cycle's thread: an implementation must return at once
// (no I/O, no waiting on a scrape).
class WatchObserver {
 public:
  virtual ~WatchObserver() = default;
  // A pass over every row begins or has ended (the wait that follows is not
  // part of it).
  virtual void PassStarted() {}
  virtual void PassEnded() {}
};

}  // namespace tarnwick
