#pragma once

#include <string>

#include "engine/ComputerEntry.h"

namespace tarnwick {

// What one row of a pass needs probed.
struct ProbeTarget {
  std::string address;
  CheckMethod method = CheckMethod::Ping;
  int port = 0;
};

}  // namespace tarnwick
