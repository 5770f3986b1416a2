#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "engine/MemoryRows.h"

namespace tarnwick {

// The computer list of the console watcher: plain memory that prints every
// change of a row's settled status ("不明", "○", "×") as one UTF-8 line.
// The attempts' "確認中..." texts are not printed.
class ConsoleRows final : public MemoryRows {
 public:
  explicit ConsoleRows(std::FILE* out) : out_(out) {}

 protected:
  void FieldWritten(int row, Field field, std::string_view text) override;

 private:
  std::FILE* out_;
  std::mutex mutex_;
  std::map<int, std::string> shownStatus_;
};

}  // namespace tarnwick
