#include "engine/ProbeRecords.h"

namespace tarnwick {

ProbeRecords::ProbeRecords(std::size_t rows) : rows_(rows) {}

void ProbeRecords::SetName(std::size_t index, std::string name) {
  {
    std::lock_guard lock(mutex_);
    rows_.at(index).name = std::move(name);
  }
  // Names come from their own threads, one at a time: no turn to wait for.
  changed_.notify_all();
}

void ProbeRecords::SetNameFailure(std::size_t index, std::exception_ptr failure) {
  {
    std::lock_guard lock(mutex_);
    rows_.at(index).nameFailure = std::move(failure);
  }
  changed_.notify_all();
}

void ProbeRecords::SkipName(std::size_t index) {
  {
    std::lock_guard lock(mutex_);
    rows_.at(index).nameSkipped = true;
  }
  changed_.notify_all();
}

bool ProbeRecords::StartAttempt(std::size_t index, std::time_t startedAt,
                                const std::function<void(std::size_t, long long)>& started) {
  std::lock_guard lock(mutex_);
  RowRecord& row = rows_.at(index);
  if (row.claim == RowRecord::Claim::Pause) {
    row.ended = true;
    return false;
  }
  row.attempts.push_back({startedAt, std::nullopt});
  if (started) started(index, static_cast<long long>(row.attempts.size()));
  return true;
}

void ProbeRecords::FinishAttempt(std::size_t index, ProbeResult result) {
  std::lock_guard lock(mutex_);
  rows_.at(index).attempts.back().result = result;
}

void ProbeRecords::EndRow(std::size_t index) {
  std::lock_guard lock(mutex_);
  rows_.at(index).ended = true;
}

bool ProbeRecords::TakeStart(std::size_t index, const std::function<bool(std::size_t)>& mayStart) {
  std::lock_guard lock(mutex_);
  RowRecord& row = rows_.at(index);
  const bool starts = row.claim == RowRecord::Claim::Probe ||
                      (row.claim == RowRecord::Claim::None && (!mayStart || mayStart(index)));
  if (!starts) {
    row.ended = true;
    row.skipped = true;
  }
  return starts;
}

void ProbeRecords::EndOpenRows(Names names) {
  {
    std::lock_guard lock(mutex_);
    for (RowRecord& row : rows_) {
      row.ended = true;
      // A name that will never come must not be waited for either.
      if (names == Names::Abandoned && !row.name && !row.nameFailure) row.name = std::string();
    }
  }
  changed_.notify_all();
}

void ProbeRecords::Publish() {
  changed_.notify_all();
}

bool ProbeRecords::ClaimForProbe(std::size_t index) {
  std::lock_guard lock(mutex_);
  RowRecord& row = rows_.at(index);
  row.claim = RowRecord::Claim::Probe;
  if (!row.skipped) return false;
  row.skipped = false;
  row.ended = false;
  return true;
}

bool ProbeRecords::ClaimForPause(std::size_t index) {
  std::lock_guard lock(mutex_);
  RowRecord& row = rows_.at(index);
  row.claim = RowRecord::Claim::Pause;
  return !row.attempts.empty();
}

std::size_t ProbeRecords::CopyEndedRows(std::size_t first, std::size_t most,
                                        std::vector<Attempt>& attempts,
                                        std::vector<std::size_t>& ends) {
  std::lock_guard lock(mutex_);
  std::size_t copied = 0;
  for (std::size_t index = first; index < rows_.size() && copied < most; ++index, ++copied) {
    const RowRecord& row = rows_[index];
    if (!row.ended || row.skipped) break;
    attempts.insert(attempts.end(), row.attempts.begin(), row.attempts.end());
    ends.push_back(attempts.size());
  }
  return copied;
}

std::optional<std::string> ProbeRecords::AwaitName(std::size_t index) {
  std::unique_lock lock(mutex_);
  const RowRecord& row = rows_.at(index);
  changed_.wait(lock, [&] { return row.name.has_value() || row.nameFailure || row.nameSkipped; });
  if (row.nameFailure) std::rethrow_exception(row.nameFailure);
  return row.name;
}

std::optional<std::time_t> ProbeRecords::AwaitAttemptStart(std::size_t index, long long attempt) {
  std::unique_lock lock(mutex_);
  const RowRecord& row = rows_.at(index);
  const auto started = [&] { return static_cast<long long>(row.attempts.size()) >= attempt; };
  changed_.wait(lock, [&] { return started() || row.ended; });
  if (!started()) return std::nullopt;
  return row.attempts[static_cast<std::size_t>(attempt - 1)].startedAt;
}

ProbeResult ProbeRecords::AwaitAttemptResult(std::size_t index, long long attempt) {
  std::unique_lock lock(mutex_);
  const RowRecord& row = rows_.at(index);
  // Looked up afresh each time: the next attempt may move the list.
  const auto result = [&] { return row.attempts.at(static_cast<std::size_t>(attempt - 1)).result; };
  changed_.wait(lock, [&] { return result().has_value() || row.ended; });
  // The row ended without a result: only a stop or a cancel does that.
  return result().value_or(ProbeResult::Interrupted);
}

}  // namespace tarnwick
