#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ProbeRecords.h"
#include "engine/ProbeTarget.h"
#include "platform/Clock.h"

namespace tarnwick {

// How a pass wants its rows probed.
struct ProbeJobOptions {
  // Rows whose attempts may be under way at once.
  int inFlight = 1;
  // A row gets MaxRetry + 1 attempts unless one answers first.
  long long maxRetry = 0;
  int pingTimeoutMs = 1000;
  std::chrono::milliseconds portProbeBound{45000};
  // Look up each row's name (ResolveNameEverytime) on the look-up threads.
  bool refreshNames = false;
  // The look-up; empty: the system's resolver, else "unknown hostname".
  std::function<std::string(std::string_view address)> lookUpName{};
  // Asked on the prober's thread just before a row's first attempt, and on
  // a look-up thread before its name look-up; false leaves the row unprobed
  // and unnamed (the daily pause). Empty: every row is probed.
  std::function<bool(std::size_t index)> mayStart{};
  // Told on the prober's thread as each attempt starts (the row then shows
  // that it is being checked), under the pass's lock: it must not block or
  // call back into the pass.
  std::function<void(std::size_t index, long long attempt)> attemptStarted{};
  // Told on the prober's thread of each attempt that was answered, and how
  // long the answer took; must not block.
  std::function<void(const ProbeTarget& target, std::chrono::nanoseconds roundTrip)>
      attemptAnswered{};
};

// One pass's work as the prober holds it.
struct ProbeJob {
  ProbeJob(const Clock& wallClock, std::vector<ProbeTarget> rows, ProbeJobOptions jobOptions);

  const Clock& clock;
  const std::vector<ProbeTarget> targets;
  // The targets' addresses as converted once (network byte order).
  const std::vector<std::uint32_t> destinations;
  const ProbeJobOptions options;
  ProbeRecords records;
  std::atomic<bool> cancelled{false};

  // Guarded by the prober's lock.
  std::deque<std::size_t> reprobe;
  bool queued = false;
  bool attached = false;

  // The prober's loop only.
  std::size_t nextRow = 0;
  std::size_t rowsInFlight = 0;
};

}  // namespace tarnwick
