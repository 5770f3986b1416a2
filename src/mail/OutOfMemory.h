#pragma once

#include <new>

namespace tarnwick {

// The one failure of the mail text buffers. It is a std::bad_alloc, so the
// mail sender's single catch ends the mail without sending whether the system
// ran out of memory or a fixed area of the message was full.
class OutOfMemory : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "Out of Memory"; }
};

}  // namespace tarnwick
