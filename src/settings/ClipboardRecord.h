#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/ComputerEntry.h"

// One computer on the clipboard: the tag "ZNRQ," then the fifteen fields of
// the row, each followed by ",", in CP932, with status and times empty. No
// quoting: the same fields as a line of the list file.
namespace tarnwick {

// A clipboard text of this many CP932 bytes or more is never pasted.
inline constexpr std::size_t kClipboardTextLimit = 2240;

std::string FormatClipboardRecord(const ComputerEntry& row);

// The clipboard carries Unicode text: a field whose bytes do not come back
// the same from Unicode (a lone lead byte at its end, a byte that is no
// character) would be changed on the way. The caution message (CP932) that
// refuses to copy such a row, naming the computer and the column; none when
// the row can be copied as it is.
std::optional<std::string> ClipboardRefusal(const ComputerEntry& row);

// The row a record describes, with Status "不明" and the times empty; none
// for a text without the tag, one that is too long, one that ends before all
// fifteen fields, or one with a field of 2048 bytes or more.
std::optional<ComputerEntry> ParseClipboardRecord(std::string_view text);

}  // namespace tarnwick
