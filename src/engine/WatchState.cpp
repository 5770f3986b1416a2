#include "engine/WatchState.h"

namespace tarnwick {

std::atomic<int> StopRequested{0};
std::atomic<MonitorStateValue> MonitorState{MonitorStateValue::Idle};

bool RequestStop() {
  MonitorStateValue running = MonitorStateValue::Running;
  if (!MonitorState.compare_exchange_strong(running, MonitorStateValue::Stopping)) return false;
  StopRequested = 1;
  WatchStopEvent().Signal();
  return true;
}

void WatchEnded() {
  StopRequested = 0;
  WatchStopEvent().Reset();
  // Last: whoever sees Idle may start the next watch at once.
  MonitorState = MonitorStateValue::Idle;
}

const StopEvent& WatchStopEvent() {
  static const StopEvent event;
  return event;
}

void RaiseStopFromCycle() {
  StopRequested = 1;
  WatchStopEvent().Signal();
}

void ArmWatchStopEvent() {
  StopRequested = 0;
  WatchStopEvent().Reset();
}

}  // namespace tarnwick
