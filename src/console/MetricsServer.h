#pragma once

namespace tarnwick {

// A /metrics endpoint that is serving. The watcher holds it through this
// interface because the server and its libraries live in the metrics
// module, which only a watch with --metrics loads.
class MetricsServer {
 public:
  virtual ~MetricsServer() = default;

  // The port it listens on (the chosen one for port 0).
  virtual int Port() const = 0;
  // Leaves the server to the end of the process instead of stopping it,
  // which waits for its threads: for a process that is about to end.
  virtual void Abandon() = 0;
};

}  // namespace tarnwick
