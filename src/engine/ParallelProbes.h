#pragma once

#include <condition_variable>
#include <ctime>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/ComputerEntry.h"
#include "engine/Notifier.h"
#include "engine/ProbeTarget.h"
#include "engine/RowAttempts.h"
#include "platform/Clock.h"

namespace tarnwick {

// The probing half of a parallel pass: up to `workers` threads take the rows
// in order and run each one's attempts with its retries, recording when each
// attempt started and what it gave. Nothing here touches the rows, the log
// or the alerts: the cycle's thread waits for each row's records in row
// order and commits them itself, so the rows, the log and the alerts see
// exactly the sequence of a one-at-a-time pass.
class ParallelProbes final : public RowAttempts {
 public:
  struct Options {
    int workers = 1;
    // A row gets MaxRetry + 1 attempts unless one answers first.
    long long maxRetry = 0;
    // Look up each row's name (ResolveNameEverytime) before its attempts.
    bool refreshNames = false;
  };

  ParallelProbes(Notifier& notifier, const Clock& clock, std::vector<ProbeTarget> targets,
                 Options options);
  // Cancels and waits for the workers.
  ~ParallelProbes() override;
  ParallelProbes(const ParallelProbes&) = delete;
  ParallelProbes& operator=(const ParallelProbes&) = delete;

  // Starts the workers; with no thread to be had, probes every row on the
  // calling thread before returning.
  void Start();
  // No attempt starts after this; waits for the workers, whose attempts in
  // flight the stop event has normally woken already.
  void Cancel();

  // The waits of the committing thread; each rethrows what the probe threw.
  // Row `index`'s looked-up name.
  std::string AwaitName(std::size_t index);
  // When attempt `attempt` (from 1) of row `index` started; nothing when the
  // row's attempts ended before it (a stop seen by the worker).
  std::optional<std::time_t> AwaitAttemptStart(std::size_t index, long long attempt);
  // The result of an attempt that started.
  ProbeResult AwaitAttemptResult(std::size_t index, long long attempt);

  // The same waits as the cycle's source of a row's attempts.
  std::string FreshName(std::size_t index, const ComputerEntry& entry) override;
  std::optional<std::time_t> AttemptStart(std::size_t index, const ComputerEntry& entry,
                                          long long attempt) override;
  ProbeResult AttemptResult(std::size_t index, const ComputerEntry& entry,
                            long long attempt) override;

 private:
  struct Attempt {
    std::time_t startedAt = 0;
    std::optional<ProbeResult> result;
  };
  struct RowRecord {
    std::optional<std::string> name;
    std::vector<Attempt> attempts;
    bool ended = false;
    std::exception_ptr failure;
  };

  void Work();
  bool TakeNextRow(std::size_t& index);
  void ProbeRow(std::size_t index);
  bool StartAttempt(std::size_t index, std::time_t startedAt);
  void FinishAttempt(std::size_t index, ProbeResult result);
  void EndRow(std::size_t index, std::exception_ptr failure);
  ProbeResult RunAttempt(const ProbeTarget& target);
  void RethrowFailure(const RowRecord& record) const;

  Notifier& notifier_;
  const Clock& clock_;
  const std::vector<ProbeTarget> targets_;
  const Options options_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<RowRecord> records_;
  std::size_t nextRow_ = 0;
  bool cancelled_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tarnwick
