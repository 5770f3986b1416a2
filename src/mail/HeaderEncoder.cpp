#include "mail/HeaderEncoder.h"

#include <array>

#include "mail/Base64.h"

namespace tarnwick {
namespace {

constexpr std::string_view kJisX0208 = "\x1B$B";
// JIS X 0201 Roman, as the mail readers of the day expected after each
// character.
constexpr std::string_view kJisRoman = "\x1B(J";

// Full-width CP932 codes of the bytes 0xA0 to 0xDF. The voiced marks 0xDE and
// 0xDF stay characters of their own.
constexpr std::array<std::uint16_t, 64> kFullWidthKana = {
    0x8140, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,  // A0-A7
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,  // A8-AF
    0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C,  // B0-B7
    0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,  // B8-BF
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,  // C0-C7
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,  // C8-CF
    0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,  // D0-D7
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,  // D8-DF
};

bool IsAsciiText(unsigned char c) {
  return c >= 0x20 && c <= 0x7F;
}

// Shift_JIS to JIS X 0208 row and cell, applied as is: bytes outside the
// character set give meaningless but harmless bytes, base64 keeps them out
// of the header.
std::array<char, 2> JisPair(unsigned int c1, unsigned int c2) {
  const int row = 2 * static_cast<int>(c1 >= 0xA0 ? c1 - 0xB0 : c1 - 0x70) - (c2 < 0x9F ? 1 : 0);
  const int cell = static_cast<int>(c2) - (c2 <= 0x7F ? 0x1F : c2 < 0x9F ? 0x20 : 0x7E);
  return {static_cast<char>(static_cast<unsigned char>(row & 0xFF)),
          static_cast<char>(static_cast<unsigned char>(cell & 0xFF))};
}

// The value being encoded: the finished lines, the current line and the
// ISO-2022-JP bytes of the open encoded word.
class HeaderLines {
 public:
  HeaderLines(StringBuffer& output, std::size_t lineLimit) : output_(output), limit_(lineLimit) {}

  void AddAscii(char c) {
    CloseWord();
    line_.Append(c);
  }

  void AddCharacter(std::string_view character) {
    OpenWord();
    HeaderEncoder::ToJisText(character, pending_);
  }

  void FoldIfTooLong() {
    if (ProjectedLength() <= limit_) return;
    CloseWord();
    FlushLine();
  }

  void Finish() {
    CloseWord();
    if (!line_.empty()) FlushLine();
  }

 private:
  // The line as it would be with the open word closed after one more byte:
  // base64 of the pending bytes plus one, and the word's closing.
  std::size_t ProjectedLength() const {
    const std::size_t pending = wordOpen_ ? pending_.size() : 0;
    return line_.size() + (4 * (pending + 1) + 20) / 3;
  }

  void OpenWord() {
    if (wordOpen_) return;
    line_.Append(HeaderEncoder::kWordOpen);
    pending_.Clear();
    wordOpen_ = true;
  }

  void CloseWord() {
    if (!wordOpen_) return;
    HeaderEncoder::Base64Header(line_, pending_.view());
    line_.Append(HeaderEncoder::kWordClose);
    pending_.Clear();
    wordOpen_ = false;
  }

  void FlushLine() {
    if (!output_.empty()) output_.Append(HeaderEncoder::kFold);
    output_.Append(line_.view());
    line_.Clear();
  }

  StringBuffer& output_;
  const std::size_t limit_;
  StringBuffer line_;
  StringBuffer pending_;
  bool wordOpen_ = false;
};

}  // namespace

std::uint16_t HeaderEncoder::FullWidthOf(unsigned char halfWidthKana) {
  if (!IsHalfWidthKana(halfWidthKana)) return 0;
  return kFullWidthKana[static_cast<std::size_t>(halfWidthKana - 0xA0)];
}

void HeaderEncoder::ToJisText(std::string_view character, StringBuffer& output) {
  unsigned int c1 = 0;
  unsigned int c2 = 0;
  if (character.size() == 1 && IsHalfWidthKana(static_cast<unsigned char>(character[0]))) {
    const std::uint16_t full = FullWidthOf(static_cast<unsigned char>(character[0]));
    c1 = full >> 8;
    c2 = full & 0xFFu;
  } else if (character.size() == 2) {
    c1 = static_cast<unsigned char>(character[0]);
    c2 = static_cast<unsigned char>(character[1]);
  } else {
    return;
  }
  const std::array<char, 2> pair = JisPair(c1, c2);
  output.Append(kJisX0208);
  output.Append(std::string_view(pair.data(), pair.size()));
  output.Append(kJisRoman);
}

void HeaderEncoder::Base64Header(StringBuffer& output, std::string_view input) {
  for (std::size_t at = 0; at < input.size(); at += 3) {
    const std::array<char, 4> quantum = Base64Quantum(input.substr(at, 3));
    output.Append(std::string_view(quantum.data(), quantum.size()));
  }
}

void HeaderEncoder::EncodeHeaderText(StringBuffer& output, std::string_view input,
                                     std::size_t lineLimit) {
  HeaderLines lines(output, lineLimit);
  for (std::size_t i = 0; i < input.size(); ++i) {
    const auto c = static_cast<unsigned char>(input[i]);
    if (c < 0x20) continue;  // a tab, CR or LF would break the header
    if (IsAsciiText(c)) {
      lines.AddAscii(input[i]);
    } else if (IsHalfWidthKana(c)) {
      lines.AddCharacter(input.substr(i, 1));
    } else {
      if (i + 1 == input.size()) break;  // a lead byte without its trail byte
      lines.AddCharacter(input.substr(i, 2));
      ++i;
    }
    lines.FoldIfTooLong();
  }
  lines.Finish();
}

}  // namespace tarnwick
