#pragma once

#include <atomic>

#include "platform/StopEvent.h"

namespace tarnwick {

enum class MonitorStateValue : int { Idle = 0, Running = 1, Stopping = 2 };

// Process-wide, shared by the owner's thread and the check cycle's thread.
extern std::atomic<int> StopRequested;
extern std::atomic<MonitorStateValue> MonitorState;

// The stop command: the cycle notices it within a second, and every probe in
// flight is woken at once.
void RequestStop();

// The last step of every orderly end of the check cycle.
void WatchEnded();

// Signalled together with StopRequested: the probes watch it beside their
// sockets, so a stop does not wait for a time-out.
const StopEvent& WatchStopEvent();

// Raises StopRequested from the cycle itself (a clock error), waking the
// probes in flight; MonitorState stays as it is.
void RaiseStopFromCycle();

// At the start of a watch: the event follows StopRequested again, whatever
// an earlier watch or a race with its end left behind.
void ArmWatchStopEvent();

}  // namespace tarnwick
