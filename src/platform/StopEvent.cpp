#include "platform/StopEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <ctime>

namespace tarnwick {
namespace {

timespec RemainingUntil(StopEvent::Deadline deadline) {
  const auto left =
      std::max(deadline - StopEvent::SteadyClock::now(), StopEvent::SteadyClock::duration::zero());
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  return {static_cast<time_t>(nanoseconds / 1'000'000'000),
          static_cast<long>(nanoseconds % 1'000'000'000)};
}

long long SteadyNanoseconds(StopEvent::Deadline when) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
}

}  // namespace

StopEvent::StopEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void StopEvent::Signal() const {
  // Never 0, which means "not signalled".
  const long long now = std::max(SteadyNanoseconds(SteadyClock::now()), 1LL);
  long long unset = 0;
  signalledAt_.compare_exchange_strong(unset, now);
  if (!fd_.valid()) return;
  const std::uint64_t one = 1;
  // A full counter (EAGAIN) is still signalled.
  [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
}

void StopEvent::Reset() const {
  signalledAt_ = 0;
  if (!fd_.valid()) return;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(fd_.get(), &count, sizeof count);
}

bool StopEvent::IsSignalled() const {
  if (!fd_.valid()) return false;
  pollfd watched{fd_.get(), POLLIN, 0};
  return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

std::optional<StopEvent::Deadline> StopEvent::SignalledAt() const {
  const long long at = signalledAt_;
  if (at == 0) return std::nullopt;
  return Deadline(std::chrono::duration_cast<SteadyClock::duration>(std::chrono::nanoseconds(at)));
}

WaitResult StopEvent::Wait(int fd, short events, int stopFd, Deadline deadline, short* revents) {
  for (;;) {
    // poll() skips a negative descriptor, so a missing one costs nothing.
    std::array<pollfd, 2> polled{{{fd, events, 0}, {stopFd, POLLIN, 0}}};
    const timespec wait = RemainingUntil(deadline);
    const int ready = ::ppoll(polled.data(), polled.size(), &wait, nullptr);
    if (ready < 0 && errno != EINTR) return WaitResult::Failed;
    if ((polled[1].revents & POLLIN) != 0) return WaitResult::Stopped;
    // A stop event that broke cannot wake anyone: stop watching it.
    if (polled[1].revents != 0) stopFd = -1;
    if (polled[0].revents != 0) {
      if (revents != nullptr) *revents = polled[0].revents;
      return WaitResult::Ready;
    }
    if (ready == 0 && wait.tv_sec == 0 && wait.tv_nsec == 0) return WaitResult::TimedOut;
    if (ready == 0 && SteadyClock::now() >= deadline) return WaitResult::TimedOut;
  }
}

WaitResult StopEvent::WaitWithGrace(int fd, short events, Deadline deadline,
                                    std::chrono::milliseconds grace, short* revents) const {
  for (;;) {
    if (const auto stoppedAt = SignalledAt()) {
      const Deadline graceEnd = *stoppedAt + grace;
      if (graceEnd >= deadline) return Wait(fd, events, -1, deadline, revents);
      const WaitResult result = Wait(fd, events, -1, graceEnd, revents);
      return result == WaitResult::TimedOut ? WaitResult::Stopped : result;
    }
    const WaitResult result = Wait(fd, events, deadline, revents);
    // The stop only shortens the deadline: wait again under the new one.
    if (result != WaitResult::Stopped) return result;
    if (!SignalledAt()) return WaitResult::Stopped;
  }
}

bool StopEvent::SleepUntil(Deadline deadline) const {
  return Wait(-1, 0, deadline) != WaitResult::Stopped;
}

}  // namespace tarnwick
