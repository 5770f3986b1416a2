#include "console/StopSignalHandler.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>

#include "engine/WatchState.h"

namespace tarnwick {
namespace {

// What RequestStop touches, as a handler may.
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<MonitorStateValue>::is_always_lock_free);
static_assert(std::atomic<long long>::is_always_lock_free);

void RaiseStop(int /*signal*/) {
  const int savedErrno = errno;
  RequestStop();
  errno = savedErrno;
}

}  // namespace

StopSignalHandler::StopSignalHandler() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set_, &previousMask_);
  // Made here, not in the handler, where its first use would construct it.
  static_cast<void>(WatchStopEvent());
  struct sigaction action {};
  action.sa_handler = RaiseStop;
  action.sa_mask = set_;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previousInt_);
  sigaction(SIGTERM, &action, &previousTerm_);
}

StopSignalHandler::~StopSignalHandler() {
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  sigaction(SIGINT, &previousInt_, nullptr);
  sigaction(SIGTERM, &previousTerm_, nullptr);
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void StopSignalHandler::Unblock() const {
  pthread_sigmask(SIG_UNBLOCK, &set_, nullptr);
}

}  // namespace tarnwick
