#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <future>

#include "platform/HelperCall.h"
#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using SteadyClock = StopEvent::SteadyClock;

// Waits that must end at a stop: each ends by what happened, never by a
// deadline a loaded machine might miss (every deadline here is an hour).
TEST(StopEvent, AWaitEndsByItsDescriptorItsStopOrItsDeadline) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  const UniqueFd near(pair[0]);
  const UniqueFd far(pair[1]);
  const StopEvent stop;
  const auto hour = SteadyClock::now() + 1h;

  EXPECT_EQ(stop.Wait(near.get(), POLLIN, SteadyClock::now()), WaitResult::TimedOut);
  ASSERT_EQ(::send(far.get(), "x", 1, 0), 1);
  short revents = 0;
  EXPECT_EQ(stop.Wait(near.get(), POLLIN, hour, &revents), WaitResult::Ready);
  EXPECT_NE(revents & POLLIN, 0);

  stop.Signal();
  EXPECT_EQ(stop.Wait(-1, 0, hour), WaitResult::Stopped);
  EXPECT_FALSE(stop.SleepUntil(hour));
  // A grace already over once the stop is older than it; the descriptor's
  // own readiness still counts within it.
  EXPECT_EQ(stop.WaitWithGrace(-1, 0, hour, 0ms), WaitResult::Stopped);
  EXPECT_EQ(stop.WaitWithGrace(near.get(), POLLIN, hour, 1h), WaitResult::Ready);
  stop.Reset();
  EXPECT_FALSE(stop.SignalledAt().has_value());
  EXPECT_EQ(stop.WaitWithGrace(-1, 0, SteadyClock::now(), 1h), WaitResult::TimedOut);
}

// A call with no asynchronous form (the resolver's) that never returns
// while the stop comes: the wait for it ends, the call runs on.
TEST(StopEvent, AStopEndsTheWaitForAHelperCall) {
  const StopEvent stop;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::future<void> started = entered.get_future();
  std::future<std::optional<int>> result = std::async(std::launch::async, [&] {
    return CallOnHelper<int>(
        [&entered, released] {
          entered.set_value();
          released.wait();
          return 1;
        },
        [&stop](int doneFd) { return stop.Wait(doneFd, POLLIN, StopEvent::Deadline::max()); });
  });
  started.wait();
  stop.Signal();
  EXPECT_EQ(result.get(), std::nullopt);
  release.set_value();

  EXPECT_EQ(CallOnHelper<int>([] { return 7; },
                              [&stop](int doneFd) {
                                return StopEvent::Wait(doneFd, POLLIN, -1,
                                                       StopEvent::Deadline::max());
                              }),
            std::optional<int>(7));
}

}  // namespace
}  // namespace tarnwick
