#pragma once

#include "engine/Notifier.h"
#include "engine/RowAccess.h"
#include "engine/RunningLog.h"
#include "platform/Clock.h"
#include "settings/AppSettings.h"

namespace tarnwick {

// The HTML status page of one run of the watch, at HtmlFile.
class HtmlReport {
 public:
  HtmlReport(const AppSettings& settings, RowAccess& rows, Notifier& notifier, RunningLog& log,
             const Clock& clock);

  // At the start of a run.
  void WritePlaceholderPage();
  // After every pass. A failure is reported once per run (per object).
  void WriteReportPage();

 private:
  const AppSettings& settings_;
  RowAccess& rows_;
  Notifier& notifier_;
  RunningLog& log_;
  const Clock& clock_;
  bool failureReported_ = false;
};

}  // namespace tarnwick
