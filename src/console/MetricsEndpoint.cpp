#include "console/MetricsEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <stdexcept>
#include <vector>

namespace tarnwick {
namespace {

constexpr int kServerThreads = 2;

bool ValidPort(std::string_view text) {
  int port = -1;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, port);
  return !text.empty() && error == std::errc() && stop == end && port >= 0 && port <= 65535;
}

bool ValidAddress(const std::string& text, int family) {
  in6_addr buffer{};
  return inet_pton(family, text.c_str(), &buffer) == 1;
}

}  // namespace

std::optional<std::string> MetricsEndpoint::ListeningAddress(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    if (!ValidPort(text)) return std::nullopt;
    return "127.0.0.1:" + std::string(text);
  }
  const std::string_view host = text.substr(0, colon);
  const std::string_view port = text.substr(colon + 1);
  if (!ValidPort(port)) return std::nullopt;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    if (!ValidAddress(std::string(host.substr(1, host.size() - 2)), AF_INET6)) return std::nullopt;
  } else if (!ValidAddress(std::string(host), AF_INET)) {
    return std::nullopt;
  }
  return std::string(text);
}

MetricsEndpoint::MetricsEndpoint(const std::string& listeningAddress,
                                 const std::shared_ptr<prometheus::Collectable>& collectable) {
  try {
    exposer_ = std::make_unique<prometheus::Exposer>(listeningAddress, kServerThreads);
  } catch (const std::exception& error) {
    // The server's own text names the option; say what the user gave.
    throw std::runtime_error(listeningAddress + ": " + error.what());
  }
  exposer_->RegisterCollectable(collectable);
}

int MetricsEndpoint::Port() const {
  const std::vector<int> ports = exposer_->GetListeningPorts();
  return ports.empty() ? 0 : ports.front();
}

}  // namespace tarnwick
