#include "engine/HtmlReport.h"

namespace tarnwick {

HtmlReport::HtmlReport(const AppSettings& settings, RowAccess& rows, Notifier& notifier,
                       RunningLog& log, const Clock& clock)
    : settings_(settings), rows_(rows), notifier_(notifier), log_(log), clock_(clock) {}

void HtmlReport::WritePlaceholderPage() {}

void HtmlReport::WriteReportPage() {}

}  // namespace tarnwick
