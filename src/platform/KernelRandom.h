#pragma once

#include <cstdint>

namespace tarnwick {

// 64 random bits from the kernel's generator (getrandom): for identifiers
// and tokens that another process should neither guess nor repeat.
// std::random_device asks the CPU for RDRAND first, and in a virtual
// machine each of those questions traps to the hypervisor (10 us or more).
std::uint64_t KernelRandom64();

}  // namespace tarnwick
