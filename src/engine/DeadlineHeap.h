#pragma once

#include <cstdint>
#include <vector>

namespace tarnwick {

// The deadlines of the attempts in flight, earliest first, in nanoseconds of
// a monotonic clock. An attempt that ends early is not looked for: its entry
// stays until due and its key is then no longer in flight, so each push and
// pop costs O(log n) and nothing is searched.
class DeadlineHeap {
 public:
  void Push(std::int64_t deadlineNs, std::uint64_t key);
  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  // The earliest deadline; only when not empty.
  std::int64_t Earliest() const { return entries_.front().deadlineNs; }
  // Takes one entry that is due at `nowNs`; false when none is.
  bool PopDue(std::int64_t nowNs, std::uint64_t& key);
  // Forgets every entry and keeps the storage for the next pass.
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    std::int64_t deadlineNs;
    std::uint64_t key;
  };
  static bool Later(const Entry& a, const Entry& b) { return a.deadlineNs > b.deadlineNs; }

  std::vector<Entry> entries_;
};

}  // namespace tarnwick
