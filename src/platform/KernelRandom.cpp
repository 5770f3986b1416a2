#include "platform/KernelRandom.h"

#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace tarnwick {

std::uint64_t KernelRandom64() {
  std::uint64_t value = 0;
  for (;;) {
    const ssize_t got = ::getrandom(&value, sizeof value, 0);
    if (got == static_cast<ssize_t>(sizeof value)) return value;
    if (got < 0 && errno != EINTR) break;
  }
  // No generator (a kernel older than 3.17): still differs between
  // processes and between calls.
  constexpr std::uint64_t kGoldenRatio = 0x9E3779B97F4A7C15;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto pid = static_cast<std::uint64_t>(::getpid());
  return (static_cast<std::uint64_t>(now) * kGoldenRatio) ^ pid;
}

}  // namespace tarnwick
