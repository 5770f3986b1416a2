#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/StopEvent.h"

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

// The same look-up on a helper thread of its own, waited for only until
// `stop` is signalled: the resolver has no asynchronous form, and a slow one
// must never hold a stop. Nothing, as for a failed look-up, once stopped;
// the helper then ends on its own.
std::optional<std::string> ReverseLookupUnlessStopped(std::uint32_t address, const StopEvent& stop);

}  // namespace tarnwick
