#include "gui/GuiRows.h"

#include <algorithm>

namespace tarnwick {

GuiRows::GuiRows(std::function<void()> wake) : wake_(std::move(wake)) {}

void GuiRows::RedrawRow(int row) {
  MarkChanged(row);
}

void GuiRows::FieldWritten(int row, Field /*field*/, std::string_view /*text*/) {
  MarkChanged(row);
}

void GuiRows::MarkChanged(int row) {
  bool first = false;
  {
    std::lock_guard lock(changedMutex_);
    first = firstChanged_ < 0;
    firstChanged_ = first ? row : std::min(firstChanged_, row);
    lastChanged_ = first ? row : std::max(lastChanged_, row);
  }
  if (first && wake_) wake_();
}

std::optional<std::pair<int, int>> GuiRows::TakeChangedRows() {
  std::lock_guard lock(changedMutex_);
  if (firstChanged_ < 0) return std::nullopt;
  const std::pair<int, int> range{firstChanged_, lastChanged_};
  firstChanged_ = lastChanged_ = -1;
  return range;
}

}  // namespace tarnwick
