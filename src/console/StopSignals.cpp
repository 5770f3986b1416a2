#include "console/StopSignals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "engine/WatchState.h"

namespace tarnwick {

StopSignals::StopSignals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  fd_.reset(::signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC));
}

int StopSignals::Take() {
  if (!fd_.valid()) {
    const timespec none{};
    const int signal = sigtimedwait(&set_, nullptr, &none);
    return signal > 0 ? signal : 0;
  }
  signalfd_siginfo info{};
  const ssize_t read = ::read(fd_.get(), &info, sizeof info);
  return read == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

int StopSignals::WaitBeside(const StopEvent& ended) {
  // Without a signal descriptor the signals are looked for now and then.
  constexpr std::chrono::milliseconds kPollWithoutFd{200};
  for (;;) {
    const auto deadline =
        fd_.valid() ? StopEvent::Deadline::max() : StopEvent::SteadyClock::now() + kPollWithoutFd;
    const WaitResult waited = ended.Wait(fd_.get(), POLLIN, deadline);
    if (waited == WaitResult::Stopped) return 0;
    if (waited == WaitResult::Failed && MonitorState == MonitorStateValue::Idle) return 0;
    if (const int signal = Take(); signal != 0) return signal;
  }
}

}  // namespace tarnwick
