#include "platform/MonotonicClock.h"

namespace tarnwick {
namespace {

class SteadyMonotonicClock final : public MonotonicClock {
 public:
  StopEvent::Deadline Now() const override { return StopEvent::SteadyClock::now(); }
};

}  // namespace

const MonotonicClock& MonotonicClock::System() {
  static const SteadyMonotonicClock clock;
  return clock;
}

}  // namespace tarnwick
