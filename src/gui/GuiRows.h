#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/MemoryRows.h"

namespace tarnwick {

// The rows behind the main window's list. The check thread writes through
// the lock without waiting for the GUI thread; each write or redraw marks
// its row changed, and the first mark since the GUI last took them calls
// `wake` (from the writing thread), so a pass over many rows posts one
// repaint request at a time, never a flood.
class GuiRows : public MemoryRows {
 public:
  explicit GuiRows(std::function<void()> wake);

  void RedrawRow(int row) override;

  // The first and last row changed since the last call, if any.
  std::optional<std::pair<int, int>> TakeChangedRows();

 protected:
  void FieldWritten(int row, Field field, std::string_view text) override;

 private:
  void MarkChanged(int row);

  std::function<void()> wake_;
  std::mutex changedMutex_;
  int firstChanged_ = -1;
  int lastChanged_ = -1;
};

}  // namespace tarnwick
