#include "mail/Base64.h"

#include <cstdint>

namespace tarnwick {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::uint32_t ByteAt(std::string_view group, std::size_t i) {
  return i < group.size() ? static_cast<unsigned char>(group[i]) : 0u;
}

}  // namespace

std::array<char, 4> Base64Quantum(std::string_view group) {
  const std::uint32_t bits = (ByteAt(group, 0) << 16) | (ByteAt(group, 1) << 8) | ByteAt(group, 2);
  std::array<char, 4> quantum{};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint32_t sextet = (bits >> (18 - 6 * i)) & 0x3Fu;
    quantum[i] = i <= group.size() ? kAlphabet[sextet] : '=';
  }
  return quantum;
}

}  // namespace tarnwick
