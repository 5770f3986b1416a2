#include "console/ConsoleRows.h"

#include <ctime>

#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"

namespace tarnwick {

void ConsoleRows::FieldWritten(int row, Field field, std::string_view text) {
  const RowState state = field == Field::Status ? ReadState(row) : RowState::Other;
  if (metrics_ != nullptr) metrics_->FieldWritten(row, field, text, state);
  if (field != Field::Status || state == RowState::Checking) return;

  std::string line = FormatLocalTime(std::time(nullptr));
  line += ' ';
  line += Utf8FromCp932(ReadField(row, Field::ComputerName));
  line += " (";
  line += Utf8FromCp932(ReadField(row, Field::IpAddress));
  line += ") ";
  line += Utf8FromCp932(text);
  line += '\n';

  std::lock_guard lock(mutex_);
  std::string& shown = shownStatus_[row];
  if (shown == text) return;
  shown = std::string(text);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

void ConsoleRows::PrintClosingLine() {
  std::string line = FormatLocalTime(std::time(nullptr));
  line += ' ';
  line += Utf8FromCp932(Text(Msg::ConsoleWatchClosed));
  line += '\n';
  std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace tarnwick
