#include "settings/ClipboardRecord.h"

#include "platform/CodePage.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

constexpr std::string_view kTag = "ZNRQ";
constexpr std::size_t kFieldBytes = 2047;

bool IsStoredEmpty(Field field) {
  return field == Field::Status || field == Field::LastUpTime || field == Field::LastDownTime ||
         field == Field::LastCheckTime;
}

}  // namespace

std::string FormatClipboardRecord(const ComputerEntry& row) {
  std::string text(kTag);
  text += ',';
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    if (!IsStoredEmpty(field)) text += CutCp932(row[field], kFieldBytes);
    text += ',';
  }
  return text;
}

std::optional<std::string> ClipboardRefusal(const ComputerEntry& row) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    if (IsStoredEmpty(field)) continue;
    const std::string_view text = row[field];
    if (Cp932FromUtf8(Utf8FromCp932(text)) == text) continue;
    const std::string column = ColumnHeading(field).empty()
                                   ? FormatText(Msg::ListColumnNumber, {std::to_string(i + 1)})
                                   : ColumnHeading(field);
    return FormatText(Msg::ClipboardIncompleteCharacter,
                      {CutToReadLimit(Field::ComputerName, row[Field::ComputerName]), column});
  }
  return std::nullopt;
}

std::optional<ComputerEntry> ParseClipboardRecord(std::string_view text) {
  if (text.size() >= kClipboardTextLimit) return std::nullopt;
  const std::size_t tagEnd = text.find(',');
  if (tagEnd == std::string_view::npos || text.substr(0, tagEnd) != kTag) return std::nullopt;
  ComputerEntry row;
  std::size_t start = tagEnd + 1;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    std::size_t end = text.find(',', start);
    const bool lastField = i + 1 == kFieldCount;
    // A record cut short is not one that copy made: paste nothing. Only the
    // last field may lose its comma (and gain a line end) in another tool.
    if (end == std::string_view::npos && !lastField) return std::nullopt;
    if (end == std::string_view::npos) end = text.find_last_not_of("\r\n") + 1;
    if (end < start) end = start;
    const std::string_view piece = text.substr(start, end - start);
    if (piece.size() > kFieldBytes) return std::nullopt;
    const auto field = static_cast<Field>(i);
    if (!IsStoredEmpty(field)) row[field] = std::string(piece);
    start = end + 1;
  }
  row[Field::Status] = StatusUnknownText();
  return row;
}

}  // namespace tarnwick
