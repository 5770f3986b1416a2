#include "engine/MemoryRows.h"

#include "platform/CodePage.h"

namespace tarnwick {

bool MemoryRows::ValidRow(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
}

std::string MemoryRows::ReadField(int row, Field field) {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return {};
  return std::string(CutToReadLimit(field, EntryAt(row)[field]));
}

void MemoryRows::WriteField(int row, Field field, std::string_view text) {
  {
    std::lock_guard lock(mutex_);
    if (!ValidRow(row)) return;
    StoredRow& stored = rows_[static_cast<std::size_t>(row)];
    stored.entry[field].assign(text);
    if (field == Field::Status) stored.state = RowStateOfStatus(text);
  }
  FieldWritten(row, field, text);
}

void MemoryRows::RedrawRow(int /*row*/) {}

RowState MemoryRows::ReadState(int row) {
  return StoredState(row);
}

RowState MemoryRows::StoredState(int row) const {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return RowState::Other;
  return rows_[static_cast<std::size_t>(row)].state;
}

int MemoryRows::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

ComputerEntry MemoryRows::ReadRow(int row) {
  std::lock_guard lock(mutex_);
  ComputerEntry cut;
  if (!ValidRow(row)) return cut;
  const ComputerEntry& stored = EntryAt(row);
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    cut.fields[i] = std::string(CutToReadLimit(static_cast<Field>(i), stored.fields[i]));
  }
  return cut;
}

ComputerEntry MemoryRows::ReadRowCutTo(int row, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  ComputerEntry cut;
  if (!ValidRow(row)) return cut;
  const ComputerEntry& stored = EntryAt(row);
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    cut.fields[i] = std::string(CutCp932(stored.fields[i], bytes));
  }
  return cut;
}

bool MemoryRows::AppendRow(const ComputerEntry& entry, int capacity) {
  std::lock_guard lock(mutex_);
  if (capacity < 0 || rows_.size() >= static_cast<std::size_t>(capacity)) return false;
  rows_.emplace_back(entry);
  return true;
}

void MemoryRows::ReplaceAll(std::vector<ComputerEntry> rows) {
  std::vector<StoredRow> stored;
  stored.reserve(rows.size());
  for (ComputerEntry& entry : rows)
    stored.emplace_back(std::move(entry));
  std::lock_guard lock(mutex_);
  rows_ = std::move(stored);
}

void MemoryRows::TakeRowsOf(MemoryRows& other) {
  if (&other == this) return;
  std::scoped_lock lock(mutex_, other.mutex_);
  rows_ = std::move(other.rows_);
  other.rows_.clear();
}

std::vector<ComputerEntry> MemoryRows::Snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<ComputerEntry> entries;
  entries.reserve(rows_.size());
  for (const StoredRow& stored : rows_)
    entries.push_back(stored.entry);
  return entries;
}

void MemoryRows::InsertRow(int row, const ComputerEntry& entry) {
  std::lock_guard lock(mutex_);
  if (row < 0 || static_cast<std::size_t>(row) > rows_.size()) return;
  rows_.insert(rows_.begin() + row, StoredRow(entry));
}

void MemoryRows::RemoveRow(int row) {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return;
  rows_.erase(rows_.begin() + row);
}

void MemoryRows::ReplaceRow(int row, const ComputerEntry& entry) {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return;
  rows_[static_cast<std::size_t>(row)] = StoredRow(entry);
}

std::string MemoryRows::StoredField(int row, Field field) const {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return {};
  return EntryAt(row)[field];
}

}  // namespace tarnwick
