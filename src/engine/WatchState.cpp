#include "engine/WatchState.h"

namespace tarnwick {

std::atomic<int> StopRequested{0};
std::atomic<MonitorStateValue> MonitorState{MonitorStateValue::Idle};

void RequestStop() {
  StopRequested = 1;
  MonitorState = MonitorStateValue::Stopping;
}

void WatchEnded() {
  StopRequested = 0;
  MonitorState = MonitorStateValue::Idle;
}

}  // namespace tarnwick
