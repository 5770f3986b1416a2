#include "console/MetricsAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>

namespace tarnwick {
namespace {

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

std::optional<std::string> MetricsListeningAddress(std::string_view text) {
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

}  // namespace tarnwick
