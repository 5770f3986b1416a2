#include "engine/DeadlineHeap.h"

#include <algorithm>

namespace tarnwick {

void DeadlineHeap::Push(std::int64_t deadlineNs, std::uint64_t key) {
  entries_.push_back({deadlineNs, key});
  std::push_heap(entries_.begin(), entries_.end(), Later);
}

bool DeadlineHeap::PopDue(std::int64_t nowNs, std::uint64_t& key) {
  if (entries_.empty() || entries_.front().deadlineNs > nowNs) return false;
  std::pop_heap(entries_.begin(), entries_.end(), Later);
  key = entries_.back().key;
  entries_.pop_back();
  return true;
}

}  // namespace tarnwick
