#include "engine/ParallelProbes.h"

#include <algorithm>
#include <system_error>

#include "engine/WatchState.h"

namespace tarnwick {

ParallelProbes::ParallelProbes(Notifier& notifier, const Clock& clock,
                               std::vector<ProbeTarget> targets, Options options)
    : notifier_(notifier),
      clock_(clock),
      targets_(std::move(targets)),
      options_(options),
      records_(targets_.size()) {}

ParallelProbes::~ParallelProbes() {
  Cancel();
}

void ParallelProbes::Start() {
  const std::size_t wanted =
      std::min(targets_.size(), static_cast<std::size_t>(std::max(options_.workers, 1)));
  for (std::size_t i = 0; i < wanted; ++i) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // Fewer threads only make the pass slower.
    }
  }
  if (workers_.empty()) Work();
}

void ParallelProbes::Cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

std::string ParallelProbes::AwaitName(std::size_t index) {
  std::unique_lock lock(mutex_);
  const RowRecord& record = records_.at(index);
  changed_.wait(lock, [&] { return record.name.has_value() || record.ended; });
  RethrowFailure(record);
  return record.name.value_or(std::string());
}

std::optional<std::time_t> ParallelProbes::AwaitAttemptStart(std::size_t index, long long attempt) {
  std::unique_lock lock(mutex_);
  const RowRecord& record = records_.at(index);
  const auto started = [&] { return static_cast<long long>(record.attempts.size()) >= attempt; };
  changed_.wait(lock, [&] { return started() || record.ended; });
  if (started()) return record.attempts[static_cast<std::size_t>(attempt - 1)].startedAt;
  RethrowFailure(record);
  return std::nullopt;
}

ProbeResult ParallelProbes::AwaitAttemptResult(std::size_t index, long long attempt) {
  std::unique_lock lock(mutex_);
  const RowRecord& record = records_.at(index);
  // Looked up afresh each time: the worker's next attempt may move the list.
  const auto result = [&] {
    return record.attempts.at(static_cast<std::size_t>(attempt - 1)).result;
  };
  changed_.wait(lock, [&] { return result().has_value() || record.ended; });
  if (const auto answer = result()) return *answer;
  RethrowFailure(record);
  // The row ended without a result: only a stop does that.
  return ProbeResult::Interrupted;
}

std::string ParallelProbes::FreshName(std::size_t index, const ComputerEntry& /*entry*/) {
  return AwaitName(index);
}

std::optional<std::time_t> ParallelProbes::AttemptStart(std::size_t index,
                                                        const ComputerEntry& /*entry*/,
                                                        long long attempt) {
  return AwaitAttemptStart(index, attempt);
}

ProbeResult ParallelProbes::AttemptResult(std::size_t index, const ComputerEntry& /*entry*/,
                                          long long attempt) {
  return AwaitAttemptResult(index, attempt);
}

void ParallelProbes::Work() {
  std::size_t index = 0;
  while (TakeNextRow(index)) {
    try {
      ProbeRow(index);
      EndRow(index, nullptr);
    } catch (...) {
      EndRow(index, std::current_exception());
    }
  }
}

bool ParallelProbes::TakeNextRow(std::size_t& index) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || nextRow_ >= targets_.size()) return false;
  index = nextRow_++;
  return true;
}

void ParallelProbes::ProbeRow(std::size_t index) {
  const ProbeTarget& target = targets_[index];
  if (options_.refreshNames) {
    std::string name = notifier_.RefreshComputerName(target.address);
    std::lock_guard lock(mutex_);
    records_[index].name = std::move(name);
    changed_.notify_all();
  }
  for (long long attempt = 1;; ++attempt) {
    // A stop ends the row before its next attempt, as it would the cycle.
    if (StopRequested == 1 || !StartAttempt(index, clock_.Now())) return;
    const ProbeResult result = RunAttempt(target);
    FinishAttempt(index, result);
    if (result != ProbeResult::NoAnswer || attempt > options_.maxRetry) return;
  }
}

bool ParallelProbes::StartAttempt(std::size_t index, std::time_t startedAt) {
  std::lock_guard lock(mutex_);
  if (cancelled_) return false;
  records_[index].attempts.push_back({startedAt, std::nullopt});
  changed_.notify_all();
  return true;
}

void ParallelProbes::FinishAttempt(std::size_t index, ProbeResult result) {
  std::lock_guard lock(mutex_);
  records_[index].attempts.back().result = result;
  changed_.notify_all();
}

void ParallelProbes::EndRow(std::size_t index, std::exception_ptr failure) {
  std::lock_guard lock(mutex_);
  records_[index].ended = true;
  records_[index].failure = std::move(failure);
  changed_.notify_all();
}

ProbeResult ParallelProbes::RunAttempt(const ProbeTarget& target) {
  if (target.method == CheckMethod::Ping) return notifier_.PingAttempt(target.address);
  return notifier_.PortAttempt(target.address, target.port);
}

void ParallelProbes::RethrowFailure(const RowRecord& record) const {
  if (record.failure) std::rethrow_exception(record.failure);
}

}  // namespace tarnwick
