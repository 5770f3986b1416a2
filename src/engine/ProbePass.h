#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/ProbeJob.h"
#include "engine/Prober.h"
#include "engine/RowAttempts.h"

namespace tarnwick {

// The probing half of a parallel pass, run by a Prober: its loop probes the
// rows in order, at most `inFlight` at once, recording when each attempt
// started and what it gave. Nothing here touches the rows, the log or the
// alerts: the cycle's thread waits for each row's records in row order and
// commits them itself, so they see exactly the sequence of a one-at-a-time
// pass. The prober's socket and threads outlive the pass.
class ProbePass final : public RowAttempts {
 public:
  using Options = ProbeJobOptions;

  ProbePass(Prober& prober, const Clock& clock, std::vector<ProbeTarget> targets, Options options);
  // Cancels.
  ~ProbePass() override;
  ProbePass(const ProbePass&) = delete;
  ProbePass& operator=(const ProbePass&) = delete;

  // Queues the name look-ups and hands the rows to the prober.
  void Start();
  // No attempt starts after this; returns once neither the prober's loop nor
  // a look-up works for this pass any more.
  void Cancel();

  // The daily pause as each row's commit decides it. Found outside the
  // pause: the row is probed whatever the pause says when its probe starts,
  // and when the prober had left it unprobed (paused as its probe would
  // have started), now, ahead of the rows not yet started.
  void EnsureProbed(std::size_t index);
  // Found paused: no attempt of the row starts any more, and attemptStarted
  // is not told about it again. True when an attempt had started already
  // (it runs on; its result is the committer's to drop, and the row shows
  // what attemptStarted made of it until the committer puts it back).
  bool LeaveUnprobed(std::size_t index);

  // The waits of the committing thread.
  // Row `index`'s looked-up name (empty without refreshNames); rethrows
  // what the look-up threw.
  std::string AwaitName(std::size_t index);
  // When attempt `attempt` (from 1) of row `index` started; nothing when the
  // row's attempts ended before it (a stop, or the row was left unprobed).
  std::optional<std::time_t> AwaitAttemptStart(std::size_t index, long long attempt);
  // The result of an attempt that started; Interrupted when a stop
  // abandoned it.
  ProbeResult AwaitAttemptResult(std::size_t index, long long attempt);

  // The same waits as the cycle's source of a row's attempts.
  std::string FreshName(std::size_t index, const ComputerEntry& entry) override;
  std::optional<std::time_t> AttemptStart(std::size_t index, const ComputerEntry& entry,
                                          long long attempt) override;
  ProbeResult AttemptResult(std::size_t index, const ComputerEntry& entry,
                            long long attempt) override;
  bool ShowsAttemptsItself() const override { return job_->options.attemptStarted != nullptr; }

 private:
  // Rows whose probing had ended when the committing thread last looked,
  // copied under one lock, so that their commits take no lock at all.
  struct EndedRows {
    std::size_t first = 0;
    std::vector<ProbeRecords::Attempt> attempts;
    std::vector<std::size_t> ends;  // by row, one past its last attempt
  };

  void QueueLookups();
  // Row `index`'s attempts once its probing has ended, from the copied rows
  // (copied afresh from `index` on when they do not hold it); none while
  // the row is still open. The committing thread's alone.
  std::optional<std::span<const ProbeRecords::Attempt>> EndedAttempts(std::size_t index);

  Prober& prober_;
  std::shared_ptr<ProbeJob> job_;
  EndedRows ended_;
  std::optional<std::size_t> foundOpen_;  // the row last found still open
};

}  // namespace tarnwick
