#include "mail/StringBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tarnwick {
namespace {

// Far beyond any mail, and small enough that doubling cannot wrap around.
constexpr std::size_t kMaxCapacity = PTRDIFF_MAX / 4;

}  // namespace

std::unique_ptr<char[]> StringBuffer::Allocate(std::size_t bytes) {
  if (bytes > kMaxCapacity) throw OutOfMemory();
  std::unique_ptr<char[]> block(new (std::nothrow) char[bytes]);
  if (!block) throw OutOfMemory();
  return block;
}

void StringBuffer::Reset(std::size_t capacity) {
  capacity = std::max<std::size_t>(capacity, 1);
  std::unique_ptr<char[]> block = Allocate(capacity);
  block[0] = '\0';
  data_ = std::move(block);
  capacity_ = capacity;
  length_ = 1;
}

void StringBuffer::Assign(std::string_view text) {
  if (text.size() >= kMaxCapacity) throw OutOfMemory();
  const std::size_t capacity = std::max(kInitialCapacity, text.size() + 1);
  std::unique_ptr<char[]> block = Allocate(capacity);
  if (!text.empty()) std::memcpy(block.get(), text.data(), text.size());
  block[text.size()] = '\0';
  data_ = std::move(block);
  capacity_ = capacity;
  length_ = text.size() + 1;
}

void StringBuffer::Reserve(std::size_t bytes) {
  Grow(bytes, {});
}

void StringBuffer::Append(std::string_view text) {
  if (text.empty()) return;
  if (text.size() > kMaxCapacity - length_) throw OutOfMemory();
  const std::size_t needed = length_ + text.size();
  if (capacity_ < needed) {
    // The text may lie in this very buffer: it is copied before the old
    // array goes.
    Grow(needed, text);
  } else {
    std::memmove(data_.get() + length_ - 1, text.data(), text.size());
  }
  length_ = needed;
  data_[length_ - 1] = '\0';
}

void StringBuffer::Grow(std::size_t bytes, std::string_view tail) {
  if (capacity_ >= bytes) return;
  if (bytes > kMaxCapacity) throw OutOfMemory();
  const std::size_t capacity = std::max(bytes, 2 * capacity_);
  std::unique_ptr<char[]> block = Allocate(capacity);
  const std::size_t kept = data_ ? length_ - 1 : 0;
  if (kept > 0) std::memcpy(block.get(), data_.get(), kept);
  if (!tail.empty()) std::memcpy(block.get() + kept, tail.data(), tail.size());
  block[kept + tail.size()] = '\0';
  data_ = std::move(block);
  capacity_ = capacity;
}

void StringBuffer::Append(char c) {
  Append(std::string_view(&c, 1));
}

void StringBuffer::Clear() {
  if (data_) data_[0] = '\0';
  length_ = 1;
}

void StringBuffer::Release() {
  data_.reset();
  capacity_ = 0;
  length_ = 1;
}

}  // namespace tarnwick
