#pragma once

#include <cstdint>

#include "platform/IcmpEcho.h"

namespace tarnwick {

// The status an ICMP error message about an echo request stands for.
IcmpStatus StatusOfIcmpError(std::uint8_t type, std::uint8_t code);

// The status a failed send of an echo request stands for (`error` an errno).
IcmpStatus StatusOfSendError(int error);

}  // namespace tarnwick
