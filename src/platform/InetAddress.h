#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Network byte order, as the sockets API keeps addresses.
inline constexpr std::uint32_t kAllOnesAddress = 0xffffffffu;

// The standard dotted-address conversion (inet_addr): "a.b.c.d" and its
// shorter and octal or hexadecimal forms. Text that is no address gives the
// all-ones address, the same value that "255.255.255.255" gives.
std::uint32_t InetAddr(std::string_view text);

// The host name that the system's resolver gives for the address, or nothing
// when it has none. Safe on any thread.
std::optional<std::string> ReverseLookup(std::uint32_t address);

}  // namespace tarnwick
