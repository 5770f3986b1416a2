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

bool ValidIpv4(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

}  // namespace

std::optional<std::string> MetricsEndpoint::ListeningAddress(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    if (!ValidPort(text)) return std::nullopt;
    return "127.0.0.1:" + std::string(text);
  }
  if (!ValidPort(text.substr(colon + 1)) || !ValidIpv4(std::string(text.substr(0, colon)))) {
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

void MetricsEndpoint::Abandon() {
  // Held where the leak checker still finds it; never destroyed.
  static std::vector<prometheus::Exposer*> left;
  left.push_back(exposer_.release());
}

int MetricsEndpoint::Port() const {
  const std::vector<int> ports = exposer_->GetListeningPorts();
  return ports.empty() ? 0 : ports.front();
}

}  // namespace tarnwick
