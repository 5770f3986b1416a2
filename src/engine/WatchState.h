#pragma once

#include <atomic>

namespace tarnwick {

enum class MonitorStateValue : int { Idle = 0, Running = 1, Stopping = 2 };

// Process-wide, shared by the owner's thread and the check cycle's thread.
extern std::atomic<int> StopRequested;
extern std::atomic<MonitorStateValue> MonitorState;

// The stop command: the cycle notices it within a second.
void RequestStop();

// The last step of every orderly end of the check cycle.
void WatchEnded();

}  // namespace tarnwick
