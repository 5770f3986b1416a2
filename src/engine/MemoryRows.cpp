#include "engine/MemoryRows.h"

#include "platform/CodePage.h"

namespace tarnwick {

bool MemoryRows::ValidRow(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < entries_.size();
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
    const auto index = static_cast<std::size_t>(row);
    entries_[index][field].assign(text);
    if (field == Field::Status) states_[index] = RowStateOfStatus(text);
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
  return states_[static_cast<std::size_t>(row)];
}

int MemoryRows::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(entries_.size());
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
  if (capacity < 0 || entries_.size() >= static_cast<std::size_t>(capacity)) return false;
  entries_.push_back(entry);
  states_.push_back(RowStateOfStatus(entry[Field::Status]));
  return true;
}

void MemoryRows::ReplaceAll(std::vector<ComputerEntry> rows) {
  std::vector<RowState> states;
  states.reserve(rows.size());
  for (const ComputerEntry& entry : rows)
    states.push_back(RowStateOfStatus(entry[Field::Status]));
  std::lock_guard lock(mutex_);
  entries_ = std::move(rows);
  states_ = std::move(states);
}

void MemoryRows::TakeRowsOf(MemoryRows& other) {
  if (&other == this) return;
  std::scoped_lock lock(mutex_, other.mutex_);
  entries_ = std::move(other.entries_);
  states_ = std::move(other.states_);
  other.entries_.clear();
  other.states_.clear();
}

std::vector<ComputerEntry> MemoryRows::Snapshot() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void MemoryRows::InsertRow(int row, const ComputerEntry& entry) {
  std::lock_guard lock(mutex_);
  if (row < 0 || static_cast<std::size_t>(row) > entries_.size()) return;
  entries_.insert(entries_.begin() + row, entry);
  states_.insert(states_.begin() + row, RowStateOfStatus(entry[Field::Status]));
}

void MemoryRows::RemoveRow(int row) {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return;
  entries_.erase(entries_.begin() + row);
  states_.erase(states_.begin() + row);
}

void MemoryRows::ReplaceRow(int row, const ComputerEntry& entry) {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return;
  entries_[static_cast<std::size_t>(row)] = entry;
  states_[static_cast<std::size_t>(row)] = RowStateOfStatus(entry[Field::Status]);
}

std::string MemoryRows::StoredField(int row, Field field) const {
  std::lock_guard lock(mutex_);
  if (!ValidRow(row)) return {};
  return EntryAt(row)[field];
}

}  // namespace tarnwick
