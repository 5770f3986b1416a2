#pragma once

#include <string>

#include "engine/AlertChannels.h"
#include "engine/AppSettings.h"
#include "engine/RowAccess.h"
#include "engine/RunningLog.h"
#include "platform/Clock.h"

namespace tarnwick {

// The HTML status page of one run of the watch, at HtmlFile: CP932 text that
// a browser reloads every HtmlReloadMinutes minutes. Field texts are escaped,
// so a row's text never becomes markup in the page.
class HtmlReport {
 public:
  HtmlReport(const AppSettings& settings, RowAccess& rows, AlertChannels& channels, RunningLog& log,
             const Clock& clock);

  // At the start of a run: the run's first failure is reported again.
  void BeginRun() { failureReported_ = false; }
  // At the start of a run. A failure is ignored.
  void WritePlaceholderPage();
  // After every pass. A failure is reported once per run.
  void WriteReportPage();

  // The pages' text, as written.
  std::string PlaceholderPage() const;
  std::string ReportPage();

 private:
  // HtmlReloadMinutes in seconds; text that is not a number counts as 0.
  long ReloadSeconds() const;
  void AppendRefresh(std::string& page) const;
  void AppendHeadingRow(std::string& page) const;
  void AppendRow(std::string& page, const ComputerEntry& row, RowState state) const;
  bool ShowsColumn(Field field) const;
  // 0, or the errno of the failure.
  int WritePage(const std::string& page) const;
  void ReportFailure(int error);

  const AppSettings& settings_;
  RowAccess& rows_;
  AlertChannels& channels_;
  RunningLog& log_;
  const Clock& clock_;
  bool failureReported_ = false;
};

}  // namespace tarnwick
