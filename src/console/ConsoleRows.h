#pragma once

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "console/WatchMetrics.h"
#include "engine/MemoryRows.h"

namespace tarnwick {

// The computer list of the console watcher: plain memory that prints every
// change of a row's settled status ("不明", "○", "×") as one UTF-8 line.
// The attempts' "確認中..." texts are not printed. Row writes may also feed
// the metrics.
class ConsoleRows final : public MemoryRows {
 public:
  explicit ConsoleRows(std::FILE* out) : out_(out) {}

  // Every later write is also told to `metrics` (none when null).
  void SetMetrics(WatchMetrics* metrics) { metrics_ = metrics; }
  // The line that tells the watch has ended, in the style of the rows' lines.
  void PrintClosingLine();

 protected:
  void FieldWritten(int row, Field field, std::string_view text) override;

 private:
  // Whether `text` differs from the row's status printed last; it is then
  // the one printed last. Under the lock.
  bool ShowStatus(int row, std::string_view text);
  // "date time " of now, formatted once a second. Under the lock.
  const std::string& TimePrefix();

  std::FILE* out_;
  WatchMetrics* metrics_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> shownStatus_;  // by row
  std::time_t prefixTime_ = 0;
  std::string timePrefix_;
};

}  // namespace tarnwick
