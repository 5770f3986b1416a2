#include "platform/StopEvent.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cstdint>

namespace tarnwick {

StopEvent::StopEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void StopEvent::Signal() const {
  if (!fd_.valid()) return;
  const std::uint64_t one = 1;
  // A full counter (EAGAIN) is still signalled.
  [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
}

void StopEvent::Reset() const {
  if (!fd_.valid()) return;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(fd_.get(), &count, sizeof count);
}

bool StopEvent::IsSignalled() const {
  if (!fd_.valid()) return false;
  pollfd watched{fd_.get(), POLLIN, 0};
  return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

}  // namespace tarnwick
