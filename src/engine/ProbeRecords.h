#pragma once

#include <condition_variable>
#include <ctime>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/Notifier.h"
#include "platform/AdaptiveMutex.h"

namespace tarnwick {

// What a pass's probing has found so far, row by row: the looked-up name,
// when each attempt started and what it gave. The prober's threads write it;
// the committing thread waits on it for each row in row order.
class ProbeRecords {
 public:
  explicit ProbeRecords(std::size_t rows);

  // The writers' side. Changes reach the waiters with the next Publish (a
  // prober publishes once per turn of its loop, not once per change).
  void SetName(std::size_t index, std::string name);
  void SetNameFailure(std::size_t index, std::exception_ptr failure);
  // The row was paused when its look-up's turn came: none was made.
  void SkipName(std::size_t index);
  // Records the next attempt's start and tells `started` under the lock, so
  // that once ClaimForPause returns nothing more is told about the row.
  // False, and the row ended, when its commit has found it paused.
  bool StartAttempt(std::size_t index, std::time_t startedAt,
                    const std::function<void(std::size_t, long long)>& started);
  void FinishAttempt(std::size_t index, ProbeResult result);
  void EndRow(std::size_t index);
  // Whether the row's first attempt may start: as its commit decided, if it
  // came first, else as `mayStart` says now (the daily pause); a row that
  // may not is ended without attempts. `mayStart` runs under the lock.
  bool TakeStart(std::size_t index, const std::function<bool(std::size_t)>& mayStart);
  // Ends every row still open (a stop, a cancel): what had no result has
  // none. After a stop the names still come from their look-ups; after a
  // cancel nobody looks them up any more, so they are empty.
  enum class Names { StillComing, Abandoned };
  void EndOpenRows(Names names);
  void Publish();

  // The commit found the row outside the pause: it is probed whatever the
  // pause says when its probe starts. True when it had been left unprobed
  // already; it is then open again and must be handed to the prober anew.
  bool ClaimForProbe(std::size_t index);
  // The commit found the row paused: no attempt of it starts any more.
  // True when one had started already.
  bool ClaimForPause(std::size_t index);

  // One attempt as recorded: its start, and its result once it came.
  struct Attempt {
    std::time_t startedAt = 0;
    std::optional<ProbeResult> result;
  };
  // The rows from `first` on whose probing has ended (not left unprobed by
  // the pause), at most `most`, stopping at the first that has not: their
  // attempts are appended to `attempts` and each row's end there to `ends`.
  // For the committing thread, to take a run of finished rows under one lock
  // instead of waiting on each; a row that has ended changes no more.
  std::size_t CopyEndedRows(std::size_t first, std::size_t most, std::vector<Attempt>& attempts,
                            std::vector<std::size_t>& ends);

  // The committing thread's side, as ParallelProbes offers it.
  // None when the look-up was skipped.
  std::optional<std::string> AwaitName(std::size_t index);
  std::optional<std::time_t> AwaitAttemptStart(std::size_t index, long long attempt);
  ProbeResult AwaitAttemptResult(std::size_t index, long long attempt);

 private:
  struct RowRecord {
    std::optional<std::string> name;
    std::exception_ptr nameFailure;
    bool nameSkipped = false;
    std::vector<Attempt> attempts;
    bool ended = false;
    bool skipped = false;
    enum class Claim { None, Probe, Pause } claim = Claim::None;
  };

  // Both threads take it for every row: see AdaptiveMutex.
  AdaptiveMutex mutex_;
  std::condition_variable_any changed_;
  std::vector<RowRecord> rows_;
};

}  // namespace tarnwick
