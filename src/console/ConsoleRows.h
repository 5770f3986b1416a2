#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

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
  std::FILE* out_;
  WatchMetrics* metrics_ = nullptr;
  std::mutex mutex_;
  std::map<int, std::string> shownStatus_;
};

}  // namespace tarnwick
