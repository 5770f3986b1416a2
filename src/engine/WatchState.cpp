#include "engine/WatchState.h"

namespace tarnwick {

std::atomic<int> StopRequested{0};
std::atomic<MonitorStateValue> MonitorState{MonitorStateValue::Idle};

void RequestStop() {
  StopRequested = 1;
  MonitorState = MonitorStateValue::Stopping;
  WatchStopEvent().Signal();
}

void WatchEnded() {
  StopRequested = 0;
  MonitorState = MonitorStateValue::Idle;
  WatchStopEvent().Reset();
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
  WatchStopEvent().Reset();
  // A stop asked for before the reset must still wake the first probe.
  if (StopRequested == 1) WatchStopEvent().Signal();
}

}  // namespace tarnwick
