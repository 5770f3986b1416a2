// The metrics module's one entry point, found by MetricsModule with dlsym.
#include <prometheus/collectable.h>

#include <memory>
#include <string>
#include <type_traits>

#include "console/MetricsEndpoint.h"
#include "console/MetricsModule.h"

// Null when the endpoint cannot listen. No exception leaves the module: the
// watcher may carry a C++ runtime and unwinder of its own, and an exception
// is only caught reliably by the runtime that threw it.
extern "C" tarnwick::MetricsServer* tarnwick_metrics_serve(
    const std::string& listeningAddress,
    const std::shared_ptr<prometheus::Collectable>& collectable) noexcept {
  try {
    return new tarnwick::MetricsEndpoint(listeningAddress, collectable);
  } catch (...) {
    return nullptr;
  }
}

static_assert(std::is_same_v<decltype(&tarnwick_metrics_serve), tarnwick::MetricsModule::Serve>);
