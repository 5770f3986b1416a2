#pragma once

#include <atomic>
#include <chrono>

#include "platform/StopEvent.h"

namespace tarnwick {

enum class MonitorStateValue : int { Idle = 0, Running = 1, Stopping = 2 };

// Process-wide, shared by the owner's thread and the check cycle's thread.
extern std::atomic<int> StopRequested;
extern std::atomic<MonitorStateValue> MonitorState;

// How long after a stop the alerts that the cycle had already decided may
// still take to be delivered, all of them together; what is left then is
// abandoned. Below the service unit's stop time-out.
inline constexpr std::chrono::milliseconds kStopGrace{5000};

// The stop command: moves a running watch to Stopping and wakes every wait
// of the watch at once. Does nothing unless the watch runs, so a watch that
// ended on its own just before can never be left at Stopping. True when it
// asked a running watch to stop.
bool RequestStop();

// Leaves Idle, with no stop pending: the end of every watch.
void WatchEnded();

// Signalled together with StopRequested: every wait of the watch watches
// it, so a stop does not wait for a time-out.
const StopEvent& WatchStopEvent();

// Raises StopRequested from the cycle itself (a clock error), waking the
// probes in flight; MonitorState stays as it is.
void RaiseStopFromCycle();

// At the start of a watch, before it counts as Running: no stop of an
// earlier watch is pending.
void ArmWatchStopEvent();

}  // namespace tarnwick
