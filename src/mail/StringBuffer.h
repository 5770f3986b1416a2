#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "mail/OutOfMemory.h"

namespace tarnwick {

// A growable, always terminated character buffer for the header encoder.
// Every allocation failure throws OutOfMemory; the buffer is then unchanged.
// length() counts the terminator, so an empty buffer has length 1.
class StringBuffer {
 public:
  static constexpr std::size_t kInitialCapacity = 1024;

  // The empty text in a buffer of kInitialCapacity bytes.
  StringBuffer() { Assign({}); }
  explicit StringBuffer(std::string_view text) { Assign(text); }

  StringBuffer(const StringBuffer&) = delete;
  StringBuffer& operator=(const StringBuffer&) = delete;
  StringBuffer(StringBuffer&&) noexcept = default;
  StringBuffer& operator=(StringBuffer&&) noexcept = default;

  // Frees the old array and starts empty in `capacity` bytes (at least one,
  // for the terminator).
  void Reset(std::size_t capacity);

  // The text in max(kInitialCapacity, its size + 1) bytes.
  void Assign(std::string_view text);

  // Grows to max(bytes, 2 * capacity) when fewer than `bytes` are held.
  void Reserve(std::size_t bytes);

  void Append(std::string_view text);
  void Append(char c);

  // Empties the text and keeps the array.
  void Clear();

  // Frees the array; the buffer is then empty with capacity 0.
  void Release();

  std::string_view view() const { return {data_ ? data_.get() : "", size()}; }
  const char* c_str() const { return data_ ? data_.get() : ""; }
  std::size_t size() const { return length_ - 1; }
  bool empty() const { return length_ == 1; }
  std::size_t length() const { return length_; }
  std::size_t capacity() const { return capacity_; }

 private:
  static std::unique_ptr<char[]> Allocate(std::size_t bytes);
  // Moves the text, followed by `tail`, into a larger array when fewer than
  // `bytes` are held. The caller then accounts for the tail in length_.
  void Grow(std::size_t bytes, std::string_view tail);

  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t length_ = 1;
};

}  // namespace tarnwick
