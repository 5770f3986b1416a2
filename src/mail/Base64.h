#pragma once

#include <array>
#include <string_view>

namespace tarnwick {

// The four characters of one base64 quantum (RFC 2045 alphabet) for the one
// to three bytes of `group`; a short group is padded with '='.
std::array<char, 4> Base64Quantum(std::string_view group);

}  // namespace tarnwick
