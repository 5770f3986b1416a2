#pragma once

#include <optional>
#include <string>

namespace tarnwick::test {

// One HTTP/1.0 GET to 127.0.0.1:`port`; the response body when the status
// was 200, none otherwise (or after five seconds without an answer).
std::optional<std::string> HttpGet(int port, const std::string& target);

// Sends a GET and returns the connected socket without reading anything: a
// scraper that stalls. -1 when it could not connect.
int StalledHttpGet(int port, const std::string& target);

}  // namespace tarnwick::test
