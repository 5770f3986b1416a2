#include "console/ConsoleRows.h"

#include <ctime>

#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

// The settled statuses are catalogue texts, whose UTF-8 is at hand.
std::string StatusInUtf8(std::string_view cp932) {
  for (const Msg status : {Msg::StatusUp, Msg::StatusDown, Msg::StatusUnknown}) {
    if (cp932 == Text(status)) return std::string(Utf8Text(status));
  }
  return Utf8FromCp932(cp932);
}

}  // namespace

void ConsoleRows::FieldWritten(int row, Field field, std::string_view text) {
  const RowState state = field == Field::Status ? ReadState(row) : RowState::Other;
  if (metrics_ != nullptr) metrics_->FieldWritten(row, field, text, state);
  if (field != Field::Status || state == RowState::Checking) return;

  std::lock_guard lock(mutex_);
  if (!ShowStatus(row, text)) return;
  StartLine();
  line_ += Utf8FromCp932(ReadField(row, Field::ComputerName));
  line_ += " (";
  line_ += Utf8FromCp932(ReadField(row, Field::IpAddress));
  line_ += ") ";
  line_ += StatusInUtf8(text);
  line_ += '\n';
  PrintLine();
}

bool ConsoleRows::ShowStatus(int row, std::string_view text) {
  if (row < 0) return false;
  const auto index = static_cast<std::size_t>(row);
  if (index >= shownStatus_.size()) shownStatus_.resize(index + 1);
  std::string& shown = shownStatus_[index];
  if (shown == text) return false;
  shown.assign(text);
  return true;
}

void ConsoleRows::StartLine() {
  line_ = FormatLocalTime(std::time(nullptr));
  line_ += ' ';
}

void ConsoleRows::PrintLine() {
  std::fputs(line_.c_str(), out_);
  if (flushEachLine_) std::fflush(out_);
}

void ConsoleRows::PrintClosingLine() {
  std::lock_guard lock(mutex_);
  StartLine();
  line_ += Utf8Text(Msg::ConsoleWatchClosed);
  line_ += '\n';
  PrintLine();
}

}  // namespace tarnwick
