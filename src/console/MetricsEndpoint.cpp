#include "console/MetricsEndpoint.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tarnwick {
namespace {

// The server spends one thread per connection, and a connection that never
// completes its request (idle, or HTTP/0.9 without a header end) holds its
// thread until the request time-out. Such connections are kept out of the
// server until they send something (TCP_DEFER_ACCEPT, below); those the
// kernel hands over at the end of that wait are let go after 200 ms each,
// 64 at a time, so that a burst of 200 delays a scrape by under a second. A
// real scraper's request arrives with its connection, so the short time-out
// never cuts one off.
constexpr const char* kServerThreads = "64";
constexpr const char* kRequestTimeoutMs = "200";
// Accepted connections waiting for a worker: with the workers, the most
// descriptors the endpoint can hold, whatever arrives.
constexpr const char* kConnectionQueue = "32";
// Seconds a connection may stay without data before the kernel hands it over.
constexpr int kDeferAcceptSeconds = 30;
}  // namespace

MetricsEndpoint::MetricsEndpoint(const std::string& listeningAddress,
                                 const std::shared_ptr<prometheus::Collectable>& collectable)
    : collectable_(collectable) {
  RaiseDescriptorLimit();
  try {
    exposer_ = std::make_unique<prometheus::Exposer>(std::vector<std::string>{
        "listening_ports", listeningAddress, "num_threads", kServerThreads, "request_timeout_ms",
        kRequestTimeoutMs, "enable_keep_alive", "no", "connection_queue", kConnectionQueue});
  } catch (const std::exception& error) {
    // The server's own text names the option; say what the user gave.
    throw std::runtime_error(listeningAddress + ": " + error.what());
  }
  DeferAccept(Port());
  exposer_->RegisterCollectable(collectable);
}

void MetricsEndpoint::DeferAccept(int port) {
  // The server does not hand out its listening socket: find it among ours.
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const int last = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536));
  for (int fd = 0; fd < last; ++fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) continue;
    int listening = 0;
    socklen_t size = sizeof listening;
    sockaddr_in address{};
    socklen_t addressSize = sizeof address;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening == 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &addressSize) != 0 ||
        address.sin_family != AF_INET || ntohs(address.sin_port) != port) {
      continue;
    }
    ::setsockopt(fd, IPPROTO_TCP, TCP_DEFER_ACCEPT, &kDeferAcceptSeconds,
                 sizeof kDeferAcceptSeconds);
    return;
  }
}

void MetricsEndpoint::RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

void MetricsEndpoint::Abandon() {
  // The server keeps only a weak hold on what it serves: a scrape still in
  // flight must find it alive, so both stay. Never destroyed, and held where
  // the leak checker still finds them.
  struct Left {
    std::unique_ptr<prometheus::Exposer> exposer;
    std::shared_ptr<prometheus::Collectable> collectable;
  };
  static auto* const left = new std::vector<Left>;
  left->push_back({std::move(exposer_), collectable_});
}

int MetricsEndpoint::Port() const {
  const std::vector<int> ports = exposer_->GetListeningPorts();
  return ports.empty() ? 0 : ports.front();
}

}  // namespace tarnwick
