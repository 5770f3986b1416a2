#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "engine/DeadlineHeap.h"
#include "engine/NameLookups.h"
#include "engine/ProbeJob.h"
#include "platform/IcmpSocket.h"
#include "platform/LoopClock.h"
#include "platform/UniqueFd.h"

namespace tarnwick {

// The probes of one watch. Opens its ICMP socket once and keeps it. A pass
// in parallel mode is one job for one thread of its own, kept for the
// prober's lifetime: a single epoll loop sends the echoes, runs the
// non-blocking TCP connects, keeps the time-outs and retries on a deadline
// heap and holds at most `inFlight` rows under way; the stop event ends the
// job at once, abandoning what is in flight. Without that thread the loop
// runs on the submitting thread. Sequential mode sends one echo at a time
// on the same socket from the caller's thread.
class Prober {
 public:
  struct Options {
    IcmpSocketKind socketKind = IcmpSocketKind::Automatic;
    // A StopEvent's descriptor, or -1.
    int stopFd = -1;
    // Deadlines; nullptr: the steady clock.
    LoopClock* clock = nullptr;
    std::size_t lookupThreads = 4;
    // False: no loop thread; Submit runs each job to its end on the calling
    // thread. For a single pass that has nothing to do beside its probes.
    bool ownThread = true;
  };

  explicit Prober(Options options);
  ~Prober();
  Prober(const Prober&) = delete;
  Prober& operator=(const Prober&) = delete;

  // Whether the ICMP socket could be opened.
  bool PingAvailable() const { return icmp_.valid(); }
  IcmpSocketKind socketKind() const { return icmp_.kind(); }

  // One echo and its own time-out on the kept socket; ends as Interrupted
  // when `stopFd` becomes readable first. One caller at a time, and never
  // while a job runs.
  IcmpStatus Ping(std::uint32_t destination, int timeoutMs, int stopFd);

  // Hands a job to the loop, or runs it on the calling thread when there
  // is no loop thread (none wanted, or none could be started). A job
  // already handed over is woken again (rows reopened for probing).
  void Submit(const std::shared_ptr<ProbeJob>& job);
  // No attempt of the job starts after this; returns once the loop has let
  // go of it. Rows still open are ended without result.
  void Cancel(const std::shared_ptr<ProbeJob>& job);
  // The row's commit found it outside the pause: it is probed whatever the
  // pause says later, and at once, ahead of the rest, if the job had left
  // it unprobed.
  void Reprobe(const std::shared_ptr<ProbeJob>& job, std::size_t index);

  NameLookups& lookups() { return lookups_; }

 private:
  struct InFlight {
    std::size_t row = 0;
    long long attempt = 0;
    std::uint32_t destination = 0;
    int fd = -1;  // a connect's socket; -1 for an echo
    std::int64_t deadlineNs = 0;
    std::int64_t launchedNs = 0;
  };

  bool EnsureLoopThread();
  void Wake() const;
  void Loop();
  bool AdoptNext();
  void Turn();
  void LaunchRows();
  bool TakeNextRow(std::size_t& index);
  bool FinishIfDone();
  void StartAttempt(std::size_t row, long long attempt);
  std::optional<ProbeResult> Launch(std::size_t row, long long attempt);
  std::optional<ProbeResult> LaunchEcho(std::size_t row, long long attempt);
  std::optional<ProbeResult> LaunchConnect(std::size_t row, long long attempt);
  void Track(std::uint64_t key, const InFlight& attempt);
  void Complete(std::uint64_t key, ProbeResult result);
  void TellAnswered(std::size_t row, std::int64_t launchedNs);
  void EndRow(std::size_t row);
  void WaitForEvents(int waitMs);
  void ReadReplies();
  void ReadErrors();
  void OnAnswer(const IcmpAnswer& answer);
  void FinishConnect(int fd);
  void ExpireDue();
  void Abandon();
  void Detach();
  bool StopSignalled() const;

  const Options options_;
  SteadyLoopClock steady_;
  LoopClock& clock_;
  IcmpSocket icmp_;
  std::mutex icmpUse_;
  UniqueFd epoll_;
  UniqueFd wake_;
  NameLookups lookups_;

  std::mutex mutex_;
  std::condition_variable detached_;
  std::deque<std::shared_ptr<ProbeJob>> queue_;
  bool quit_ = false;
  std::thread loop_;

  // The loop's own.
  std::shared_ptr<ProbeJob> current_;
  std::unique_lock<std::mutex> icmpHeld_;
  std::unordered_map<std::uint64_t, InFlight> inFlight_;
  std::unordered_map<int, std::uint64_t> keyOfFd_;
  DeadlineHeap deadlines_;
};

}  // namespace tarnwick
