#include "engine/RunningLog.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

constexpr const char* kNamePattern = "LOG%Y%m%d.log";
constexpr std::time_t kSevenDays = 604800;

}  // namespace

RunningLog::RunningLog(std::string folder, const AppSettings& settings, const Clock& clock)
    : folder_(std::move(folder)), settings_(settings), clock_(clock) {}

std::string RunningLog::PathOf(const std::string& name) const {
  return folder_ + "/" + name;
}

void RunningLog::BeginRun() {
  file_.reset();
  openName_.clear();
}

void RunningLog::Rotate() {
  const std::time_t now = clock_.Now();
  std::string name = FormatLocalTime(now, kNamePattern);
  if (name == openName_) return;

  // Most often the old file does not exist; that is no failure.
  ::unlink(PathOf(FormatLocalTime(now - kSevenDays, kNamePattern)).c_str());
  file_.reset(std::fopen(PathOf(name).c_str(), "a+"));
  const int error = errno;
  openName_ = std::move(name);
  if (!file_) ReportFailure(error);
}

void RunningLog::ReportFailure(int error) {
  if (reportedName_ == openName_) return;
  reportedName_ = openName_;
  const std::string text = FormatText(
      Msg::RunningLogFailed,
      {Cp932FromUtf8(PathOf(openName_)), Cp932FromUtf8(std::strerror(error != 0 ? error : EIO))});
  for (const FailureReport& report : reports_)
    report(text);
}

bool RunningLog::WriteLine(std::string_view text) {
  if (!Writing()) return false;
  std::string line = FormatLocalTime(clock_.Now());
  line += " : ";
  line += text;
  line += "\r\n";
  // Each line reaches the file at once, so a killed process loses none.
  if (std::fwrite(line.data(), 1, line.size(), file_.get()) != line.size() ||
      std::fflush(file_.get()) != 0) {
    const int error = errno;
    std::clearerr(file_.get());
    ReportFailure(error);
    return false;
  }
  return true;
}

}  // namespace tarnwick
