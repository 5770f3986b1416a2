#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/StringBuffer.h"

namespace tarnwick {

// Turns CP932 header values into pure ASCII: runs of non-ASCII characters
// become RFC 2047 encoded words in ISO-2022-JP with the B encoding, and the
// value is folded into bounded lines. Only OutOfMemory is thrown.
class HeaderEncoder {
 public:
  static constexpr std::string_view kWordOpen = "=?ISO-2022-JP?B?";
  static constexpr std::string_view kWordClose = "?=";
  static constexpr std::string_view kFold = "\r\n ";

  // Appends the encoded value, folded where a line would outgrow
  // `lineLimit`, to `output`. Control characters are dropped, and so is a
  // lead byte that ends the value.
  static void EncodeHeaderText(StringBuffer& output, std::string_view input, std::size_t lineLimit);

  // Appends the ISO-2022-JP bytes of one CP932 character (a half-width kana
  // byte, or a lead byte and its trail byte) to `output`, between its own
  // ESC $ B and ESC ( J. Anything else writes nothing.
  static void ToJisText(std::string_view character, StringBuffer& output);

  // Appends the base64 of `input` to `output`, padded, without line breaks.
  static void Base64Header(StringBuffer& output, std::string_view input);

  static constexpr bool IsHalfWidthKana(unsigned char c) { return c >= 0xA0 && c <= 0xDF; }

  // The CP932 code of the full-width counterpart of a half-width kana byte.
  static std::uint16_t FullWidthOf(unsigned char halfWidthKana);
};

}  // namespace tarnwick
