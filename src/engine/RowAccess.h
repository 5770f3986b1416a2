#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/ComputerEntry.h"

namespace tarnwick {

// The row operations of the computer list. Every call may come from the check
// cycle's thread; an implementation runs them one at a time (the GUI on its
// own thread, blocking the caller).
class RowAccess {
 public:
  virtual ~RowAccess() = default;

  // The field's text, cut to its read limit.
  virtual std::string ReadField(int row, Field field) = 0;
  virtual void WriteField(int row, Field field, std::string_view text) = 0;
  virtual void RedrawRow(int row) = 0;
  // The state the row's Status shows, kept beside its text by every write.
  virtual RowState ReadState(int row) = 0;
  virtual int RowCount() = 0;
  // All fifteen fields of one row in one call, each cut to its read limit.
  virtual ComputerEntry ReadRow(int row) = 0;
  // All fifteen fields of one row, each cut to at most `bytes` bytes whatever
  // its read limit (the HTML page reads every cell with one 2048-byte buffer).
  virtual ComputerEntry ReadRowCutTo(int row, std::size_t bytes) = 0;
};

}  // namespace tarnwick
