#include "settings/ListFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "platform/CodePage.h"
#include "platform/FileReplacement.h"
#include "platform/Messages.h"
#include "platform/UniqueFd.h"
#include "settings/ListFileParser.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMagicLine = "ZNRQ\r\n";
// Each field is taken from the list with a 2048-byte buffer, terminator
// included.
constexpr std::size_t kWrittenFieldBytes = 2047;
constexpr std::size_t kReadChunk = 64 * 1024;

bool IsStoredEmpty(Field field) {
  return field == Field::Status || field == Field::LastUpTime || field == Field::LastDownTime ||
         field == Field::LastCheckTime;
}

// A field within the limit goes out byte for byte, even one that ends in a
// lone lead byte: the file keeps what the row holds. Only a longer one is
// cut, at a whole character.
std::string_view WrittenText(const ComputerEntry& row, Field field) {
  if (IsStoredEmpty(field)) return {};
  const std::string_view text = row[field];
  return text.size() <= kWrittenFieldBytes ? text : CutCp932(text, kWrittenFieldBytes);
}

// Where the content before an unfinished save in place is kept, as a
// sentence for a message; empty when there is no such copy.
std::string CopyNote(const std::string& path) {
  if (!HasInPlaceCopy(path)) return {};
  return FormatText(Msg::SaveCopyKept, {Cp932FromUtf8(InPlaceCopyPath(path))});
}

void ShowFileError(UserPrompt& prompt, int error, const std::string& path, Msg otherwise,
                   const std::string& note = {}) {
  Msg id = otherwise;
  if (error == ENOENT || error == ENOTDIR) id = Msg::ListFileNotFound;
  if (error == EACCES || error == EPERM || error == EROFS) id = Msg::ListFileAccessDenied;
  // File names are UTF-8 on this system; the message is CP932.
  std::string text = FormatText(id, {Cp932FromUtf8(path)});
  // The general messages name no cause: add the system's (a full disk, ...).
  if (id == otherwise && error != 0) text += " (" + Cp932FromUtf8(std::strerror(error)) + ")";
  if (!note.empty()) text += "\n" + note;
  prompt.Show(text, Text(Msg::CaptionError), PromptIcon::Error);
}

void ShowCaution(UserPrompt& prompt, const std::string& text) {
  prompt.Show(text, Text(Msg::CaptionCaution), PromptIcon::Exclamation);
}

// The file's line ends, a bound on its rows, counted in a first read so
// that the rows are allocated once instead of moved at every growth; the
// file is then at its start again. 0 when it cannot be counted.
std::size_t CountLineEnds(int fd) {
  std::string buffer(kReadChunk, '\0');
  std::size_t lineEnds = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    lineEnds += static_cast<std::size_t>(std::count(buffer.data(), buffer.data() + n, '\n'));
  }
  return ::lseek(fd, 0, SEEK_SET) == 0 ? lineEnds : 0;
}

// 0, or the errno of the read that failed.
int FeedFile(int fd, ListFileParser& parser) {
  parser.ReserveRows(CountLineEnds(fd));
  std::string buffer(kReadChunk, '\0');
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (!parser.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return 0;
  }
}

// The first field that would not survive a read back, as a message.
std::optional<std::string> SeparatorInFields(const std::vector<ComputerEntry>& rows) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      const Field field = static_cast<Field>(f);
      if (WrittenText(rows[r], field).find_first_of(",\r\n") == std::string_view::npos) continue;
      const std::string column = ColumnHeading(field).empty()
                                     ? FormatText(Msg::ListColumnNumber, {std::to_string(f + 1)})
                                     : ColumnHeading(field);
      return FormatText(
          Msg::ListFieldHasSeparator,
          {std::to_string(r + 1), CutToReadLimit(Field::ComputerName, rows[r][Field::ComputerName]),
           column});
    }
  }
  return std::nullopt;
}

}  // namespace

ListReadResult ReadListFile(const std::string& path, UserPrompt& prompt) {
  ListReadResult result;
  result.status = ListReadStatus::OpenFailed;
  // A FIFO would block the open until a writer came, and a device may
  // never end: only a regular file is read.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) {
    ShowFileError(prompt, errno, path, Msg::ListFileReadFailed);
    return result;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    prompt.Show(FormatText(Msg::ListFileNotRegular, {Cp932FromUtf8(path)}), Text(Msg::CaptionError),
                PromptIcon::Error);
    return result;
  }
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  // A save in place that did not finish may have left the file cut short.
  if (HasInPlaceCopy(path)) {
    ShowCaution(prompt, FormatText(Msg::LoadCopyExists,
                                   {Cp932FromUtf8(path), Cp932FromUtf8(InPlaceCopyPath(path))}));
  }
  ListFileParser parser;
  if (const int error = FeedFile(fd.get(), parser); error != 0) {
    ShowFileError(prompt, error, path, Msg::ListFileReadFailed);
    result.status = ListReadStatus::ReadFailed;
    return result;
  }
  switch (parser.Finish()) {
    case ListFileParser::Result::Ok:
      result.status = ListReadStatus::Ok;
      result.rows = parser.TakeRows();
      break;
    case ListFileParser::Result::WrongMagic:
      ShowCaution(prompt, Text(Msg::ListNotThisProgramsFile));
      result.status = ListReadStatus::WrongMagic;
      break;
    case ListFileParser::Result::FieldTooLong:
      ShowCaution(prompt, FormatText(Msg::ListFieldTooLong,
                                     {std::to_string(parser.FailedRow()),
                                      std::to_string(ListFileParser::kFieldCapacity)}));
      result.status = ListReadStatus::InvalidContent;
      break;
    case ListFileParser::Result::TooManyRows:
      ShowCaution(prompt,
                  FormatText(Msg::ListTooManyRows, {std::to_string(ListFileParser::kMaxRows)}));
      result.status = ListReadStatus::InvalidContent;
      break;
  }
  return result;
}

std::string FormatListFile(const std::vector<ComputerEntry>& rows) {
  std::string out(kMagicLine);
  out.reserve(kMagicLine.size() + rows.size() * 96);
  for (const ComputerEntry& row : rows) {
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      out += WrittenText(row, static_cast<Field>(f));
      out += f + 1 < kFieldCount ? "," : "\r\n";
    }
  }
  return out;
}

bool WriteListFile(const std::string& path, const std::vector<ComputerEntry>& rows,
                   UserPrompt& prompt) {
  if (rows.empty()) {
    ShowCaution(prompt, Text(Msg::ListNothingToSave));
    return false;
  }
  if (const auto problem = SeparatorInFields(rows)) {
    ShowCaution(prompt, *problem);
    return false;
  }
  // Atomic where the folder allows it; in place where only the file may be written.
  if (const int error = ReplaceFileContents(path, FormatListFile(rows), Durability::Flushed);
      error != 0) {
    ShowFileError(prompt, error, path, Msg::ListFileWriteFailed, CopyNote(path));
    return false;
  }
  return true;
}

}  // namespace tarnwick
