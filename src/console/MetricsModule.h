#pragma once

#include <memory>
#include <string>

#include "console/MetricsServer.h"

namespace prometheus {
class Collectable;
}

namespace tarnwick {

// The metrics module (tarnwick-metrics.so): the HTTP server with the
// libraries it needs, loaded only by a watch that serves metrics. Linked
// into the watcher they cost every start, --once included, about a
// millisecond of loading.
class MetricsModule {
 public:
  // The module's entry point (C linkage, so that dlsym finds it by name);
  // null when the address cannot be bound.
  using Serve =
      MetricsServer* (*)(const std::string& listeningAddress,
                         const std::shared_ptr<prometheus::Collectable>& collectable) noexcept;

  // Where the module is looked for: beside the watcher's executable (a
  // build tree), then in the program's private library folder as installed
  // (../lib/tarnwick from the executable's folder).
  static std::string BesideTheProgram();
  static std::string Installed();

  // Loads the module (once) and starts serving `collectable`. Null, with
  // `failure` naming the files tried and why, when the module cannot be
  // loaded; throws std::runtime_error when the address cannot be bound.
  static std::unique_ptr<MetricsServer> Start(
      const std::string& listeningAddress,
      const std::shared_ptr<prometheus::Collectable>& collectable, std::string& failure);
};

}  // namespace tarnwick
