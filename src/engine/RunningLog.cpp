#include "engine/RunningLog.h"

#include <unistd.h>

#include "platform/LocalTime.h"

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
  openName_ = std::move(name);
}

bool RunningLog::WriteLine(std::string_view text) {
  if (settings_.RunningLog == 0 || !file_) return false;
  std::string line = FormatLocalTime(clock_.Now());
  line += " : ";
  line += text;
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), file_.get());
  // Each line reaches the file at once, so a killed process loses none.
  std::fflush(file_.get());
  return true;
}

}  // namespace tarnwick
