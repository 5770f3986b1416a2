#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/AppSettings.h"
#include "platform/Clock.h"

namespace tarnwick {

// The daily diary of a watch: "LOG%Y%m%d.log" in the program's folder, one
// time-stamped CP932 line per event, CR LF line ends. Only the check cycle's
// thread uses it. A log that cannot be opened or written never stops the
// watch, but is never silent either: the failure reports hear of it once a
// day.
class RunningLog {
 public:
  // Told the text (CP932) of a failure to open or write the log.
  using FailureReport = std::function<void(std::string_view text)>;

  RunningLog(std::string folder, const AppSettings& settings, const Clock& clock);

  void AddFailureReport(FailureReport report) { reports_.push_back(std::move(report)); }

  // At the start of a run: closes the open file and forgets its name, so the
  // run's first rotation opens the day's file and deletes the old one again.
  void BeginRun();

  // Opens the day's file when its name differs from the open one, deleting
  // the file of seven days before.
  void Rotate();

  // False, and nothing written, when the log is off or no file is open.
  bool WriteLine(std::string_view text);
  // Whether WriteLine would write: a line that costs work to build need not
  // be built otherwise.
  bool Writing() const { return settings_.RunningLog != 0 && file_ != nullptr; }

  const std::string& openName() const { return openName_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  std::string PathOf(const std::string& name) const;
  // Once per day's file, whatever fails how often.
  void ReportFailure(int error);

  std::string folder_;
  const AppSettings& settings_;
  const Clock& clock_;
  std::string openName_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::vector<FailureReport> reports_;
  std::string reportedName_;  // the day's file whose failure was reported
};

}  // namespace tarnwick
