#include "engine/HtmlReport.h"

#include <cstring>

#include "platform/CodePage.h"
#include "platform/FileReplacement.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

// Each cell is read with a 2048-byte buffer, terminator included, whatever
// the check cycle's read limit of its field.
constexpr std::size_t kCellBytes = 2047;

constexpr std::string_view kContentType =
    "<META HTTP-EQUIV='Content-Type' CONTENT='text/html;CHARSET=x-sjis'>";

// The five characters that could open markup or leave an attribute. None of
// them can be the second byte of a CP932 character (those are 0x40 and up),
// so a byte-wise scan never splits one.
void AppendEscaped(std::string& page, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        page += "&amp;";
        break;
      case '<':
        page += "&lt;";
        break;
      case '>':
        page += "&gt;";
        break;
      case '"':
        page += "&quot;";
        break;
      case '\'':
        page += "&#39;";
        break;
      default:
        page += c;
    }
  }
}

const std::string& HeadingOf(Field field) {
  switch (field) {
    case Field::ByMail:
      return Text(Msg::HtmlHeadingByMail);
    case Field::ByNetsend:
      return Text(Msg::HtmlHeadingByNetsend);
    case Field::ByEventlog:
      return Text(Msg::HtmlHeadingByEventlog);
    default:
      return ColumnHeading(field);
  }
}

// strerror's text, which follows the locale's encoding, in CP932.
std::string SystemMessage(int error) {
  char buffer[256];
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return Cp932FromUtf8(text);
}

}  // namespace

HtmlReport::HtmlReport(const AppSettings& settings, RowAccess& rows, AlertChannels& channels,
                       RunningLog& log, const Clock& clock)
    : settings_(settings), rows_(rows), channels_(channels), log_(log), clock_(clock) {}

long HtmlReport::ReloadSeconds() const {
  // atoi's rule: blanks, a sign, then the leading digits.
  const std::string& text = settings_.HtmlReloadMinutes;
  std::size_t at = text.find_first_not_of(" \t");
  if (at == std::string::npos) return 0;
  const bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') ++at;
  long minutes = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && minutes < 100000000; ++at) {
    minutes = minutes * 10 + (text[at] - '0');
  }
  return (negative ? -minutes : minutes) * 60;
}

void HtmlReport::AppendRefresh(std::string& page) const {
  if (settings_.DisableHtmlReload != 0) return;
  page += "<META HTTP-EQUIV='Refresh' CONTENT='";
  page += std::to_string(ReloadSeconds());
  page += "'>";
}

bool HtmlReport::ShowsColumn(Field field) const {
  if (settings_.DisableHtmlDetail == 0) return true;
  return field < Field::ByMail || field > Field::RestoreProgram;
}

std::string HtmlReport::PlaceholderPage() const {
  std::string page = "<html><head>";
  page += kContentType;
  AppendRefresh(page);
  page += "</head><body>";
  page += Text(Msg::HtmlPlaceholderText);
  page += FormatLocalTime(clock_.Now());
  page += "</body></html>";
  return page;
}

void HtmlReport::AppendHeadingRow(std::string& page) const {
  page += "<tr>";
  for (std::size_t c = 0; c < kFieldCount; ++c) {
    const Field field = static_cast<Field>(c);
    if (!ShowsColumn(field)) continue;
    page += "<td bgcolor='#00FFFF'>";
    page += HeadingOf(field);
    page += "</td>";
  }
  page += "</tr>\r\n";
}

void HtmlReport::AppendRow(std::string& page, const ComputerEntry& row, RowState state) const {
  page += state == RowState::Up ? "<tr>" : "<tr bgcolor='#FF0000'>";
  for (std::size_t c = 0; c < kFieldCount; ++c) {
    const Field field = static_cast<Field>(c);
    if (!ShowsColumn(field)) continue;
    page += "<td>";
    if (row[field].empty()) {
      page += "<br>";
    } else {
      AppendEscaped(page, row[field]);
    }
    page += "</td>";
  }
  page += "</tr>";
}

std::string HtmlReport::ReportPage() {
  std::string page = "<html><head><title>Tarnwick</title>";
  page += kContentType;
  page += "<META HTTP-EQUIV='Pragma' CONTENT='no-cache'>";
  page += "<META HTTP-EQUIV='Expires' CONTENT='0'>";
  AppendRefresh(page);
  page += "</head><body><table border='1'>";
  AppendHeadingRow(page);
  // The list cannot change while a watch runs, so one count serves the page.
  const int count = rows_.RowCount();
  page.reserve(page.size() + static_cast<std::size_t>(count > 0 ? count : 0) * 256);
  for (int row = 0; row < count; ++row)
    AppendRow(page, rows_.ReadRowCutTo(row, kCellBytes), rows_.ReadState(row));
  page += "</table></body></html>";
  return page;
}

int HtmlReport::WritePage(const std::string& page) const {
  // HtmlFile is CP932 like every setting; the file system's names are UTF-8.
  return ReplaceFileContents(Utf8FromCp932(settings_.HtmlFile), page);
}

void HtmlReport::WritePlaceholderPage() {
  WritePage(PlaceholderPage());
}

void HtmlReport::WriteReportPage() {
  log_.WriteLine(Text(Msg::HtmlWriting));
  if (const int error = WritePage(ReportPage()); error != 0) ReportFailure(error);
}

void HtmlReport::ReportFailure(int error) {
  if (failureReported_) return;
  failureReported_ = true;
  log_.WriteLine(Text(Msg::HtmlFailedLog));
  std::string text = Text(Msg::HtmlFailedEvent) + "\r\n" + SystemMessage(error);
  // A page cut short by a failed write in place: its old content is kept.
  const std::string page = Utf8FromCp932(settings_.HtmlFile);
  if (HasInPlaceCopy(page)) {
    text += "\r\n" + FormatText(Msg::SaveCopyKept, {Cp932FromUtf8(InPlaceCopyPath(page))});
  }
  channels_.WriteEventLog(EventType::Warning, text);
}

}  // namespace tarnwick
