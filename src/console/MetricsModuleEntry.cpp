// The metrics module's one entry point, found by MetricsModule with dlsym.
#include <prometheus/collectable.h>

#include <memory>
#include <string>
#include <type_traits>

#include "console/MetricsEndpoint.h"
#include "console/MetricsModule.h"

extern "C" tarnwick::MetricsServer* tarnwick_metrics_serve(
    const std::string& listeningAddress,
    const std::shared_ptr<prometheus::Collectable>& collectable) {
  // Throws std::runtime_error, as the endpoint does, when it cannot listen.
  return new tarnwick::MetricsEndpoint(listeningAddress, collectable);
}

static_assert(std::is_same_v<decltype(&tarnwick_metrics_serve), tarnwick::MetricsModule::Serve>);
