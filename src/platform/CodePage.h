#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The system code page of every text inside the core is CP932 (Windows-31J).
// These conversions never read past their input: a byte that cannot be
// converted becomes '?', and a character cut off at the end of the input
// (a dangling lead byte) becomes '?' too.
namespace tarnwick {

std::string Utf8FromCp932(std::string_view cp932);
std::string Cp932FromUtf8(std::string_view utf8);

// True for the first byte of a CP932 double-byte character.
constexpr bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// in the middle of a double-byte character.
std::string_view CutCp932(std::string_view text, std::size_t maxBytes);

}  // namespace tarnwick
