#pragma once

#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <memory>
#include <string>

#include "console/MetricsServer.h"

namespace tarnwick {

// The HTTP endpoint that serves /metrics in the Prometheus text format
// (part of the metrics module).
class MetricsEndpoint final : public MetricsServer {
 public:
  // Listens at once; throws std::runtime_error naming the cause when the
  // address cannot be bound (in use, not an address of this machine).
  MetricsEndpoint(const std::string& listeningAddress,
                  const std::shared_ptr<prometheus::Collectable>& collectable);

  int Port() const override;
  void Abandon() override;

 private:
  // Raises the soft limit of open descriptors to the hard one, so that the
  // probes keep theirs beside the endpoint's bounded share.
  static void RaiseDescriptorLimit();
  static void DeferAccept(int port);

  std::shared_ptr<prometheus::Collectable> collectable_;
  std::unique_ptr<prometheus::Exposer> exposer_;
};

}  // namespace tarnwick
