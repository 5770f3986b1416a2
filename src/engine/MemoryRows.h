#pragma once

#include <mutex>
#include <vector>

#include "engine/RowAccess.h"

namespace tarnwick {

// The computer list held in plain memory, for the console front end and the
// tests. Every operation takes one lock, so the check cycle's thread and the
// owner's thread may both call it. Each row's state is kept beside its
// Status text, set by whatever writes the text.
class MemoryRows : public RowAccess {
 public:
  std::string ReadField(int row, Field field) override;
  void WriteField(int row, Field field, std::string_view text) override;
  void RedrawRow(int row) override;
  RowState ReadState(int row) override;
  int RowCount() override;
  ComputerEntry ReadRow(int row) override;
  ComputerEntry ReadRowCutTo(int row, std::size_t bytes) override;

  // Appends a row unless the list already holds `capacity` rows; false then,
  // and the list is unchanged.
  bool AppendRow(const ComputerEntry& entry, int capacity);
  void ReplaceAll(std::vector<ComputerEntry> rows);
  std::vector<ComputerEntry> Snapshot() const;
  // Takes every row of `other`, which is empty afterwards; neither is told
  // of writes.
  void TakeRowsOf(MemoryRows& other);

  // Editing by the owner while no watch runs; an index out of range does
  // nothing (InsertRow takes 0 to RowCount()).
  void InsertRow(int row, const ComputerEntry& entry);
  void RemoveRow(int row);
  void ReplaceRow(int row, const ComputerEntry& entry);
  // The field as stored, without the read limit (for display).
  std::string StoredField(int row, Field field) const;
  // The state, for a display that holds no lock of its own.
  RowState StoredState(int row) const;

 protected:
  // Called after every write, outside the lock: for hosts that show changes.
  virtual void FieldWritten(int /*row*/, Field /*field*/, std::string_view /*text*/) {}

 private:
  bool ValidRow(int row) const;
  const ComputerEntry& EntryAt(int row) const { return entries_[static_cast<std::size_t>(row)]; }

  mutable std::mutex mutex_;
  // Side by side, so that a list read from a file is taken without a copy.
  std::vector<ComputerEntry> entries_;
  std::vector<RowState> states_;  // each row's, from its Status text
};

}  // namespace tarnwick
