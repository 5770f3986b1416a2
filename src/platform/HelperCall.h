#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/StopEvent.h"

namespace tarnwick {

// Runs `work` on a helper thread of its own and waits for its result only as
// long as `wait` (given a descriptor that becomes readable when the result is
// there) returns Ready: for calls with no asynchronous form, such as the
// resolver's, that a stop or a deadline must not wait for. Nothing when the
// wait gave up; the helper then ends on its own and drops its result. With
// no thread or descriptor to be had, `work` runs on the calling thread.
template <typename Result>
std::optional<Result> CallOnHelper(std::function<Result()> work,
                                   const std::function<WaitResult(int doneFd)>& wait) {
  // Shared with the helper, which may outlive this call.
  struct Call {
    std::mutex mutex;
    std::optional<Result> result;
    StopEvent done;
  };
  auto call = std::make_shared<Call>();
  if (call->done.fd() < 0) return work();
  try {
    std::thread([call, work = std::move(work)] {
      Result result = work();
      std::lock_guard lock(call->mutex);
      call->result = std::move(result);
      call->done.Signal();
    }).detach();
  } catch (const std::system_error&) {
    return work();
  }
  if (wait(call->done.fd()) != WaitResult::Ready) return std::nullopt;
  std::lock_guard lock(call->mutex);
  return std::move(call->result);
}

}  // namespace tarnwick
