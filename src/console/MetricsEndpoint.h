#pragma once

#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The HTTP endpoint that serves /metrics in the Prometheus text format.
class MetricsEndpoint {
 public:
  // What --metrics takes: "PORT" (on 127.0.0.1) or "IPV4:PORT", the port 0
  // (any free port) to 65535. The listening option for the server; none when
  // the text is not one of these. Debian's build of the server has no IPv6.
  static std::optional<std::string> ListeningAddress(std::string_view text);

  // Listens at once; throws std::runtime_error naming the cause when the
  // address cannot be bound (in use, not an address of this machine).
  MetricsEndpoint(const std::string& listeningAddress,
                  const std::shared_ptr<prometheus::Collectable>& collectable);

  // The port it listens on (the chosen one for port 0).
  int Port() const;
  // Leaves the server to the end of the process instead of stopping it,
  // which waits for its threads: for a process that is about to end.
  void Abandon();

 private:
  std::unique_ptr<prometheus::Exposer> exposer_;
};

}  // namespace tarnwick
