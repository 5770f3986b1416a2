#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// What --metrics takes: "PORT" (on 127.0.0.1) or "IPV4:PORT", the port 0
// (any free port) to 65535. The listening option for the server; none when
// the text is not one of these. Debian's build of the server has no IPv6.
std::optional<std::string> MetricsListeningAddress(std::string_view text);

}  // namespace tarnwick
