#pragma once

#include <cstdio>
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
  // How the lines reach the stream. A watch flushes each one, so that the
  // journal has a change as soon as it is decided. A single pass leaves
  // them to the stream's own buffering (a line at a time on a terminal, a
  // few large writes into a pipe or file), as one-shot commands do.
  enum class Flush { EachLine, ByStream };

  explicit ConsoleRows(std::FILE* out, Flush flush = Flush::EachLine)
      : out_(out), flushEachLine_(flush == Flush::EachLine) {}

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
  // Starts line_ with "date time " of now. Under the lock.
  void StartLine();
  // Prints line_. Under the lock.
  void PrintLine();

  std::FILE* out_;
  bool flushEachLine_;
  WatchMetrics* metrics_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> shownStatus_;  // by row
  std::string line_;                      // kept: a line per row would allocate
};

}  // namespace tarnwick
