#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick {

// A few threads, kept for the owner's lifetime, that run the reverse name
// look-ups a pass needs, so that a slow resolver holds up neither the
// prober's loop nor the creation of threads per pass.
class NameLookups {
 public:
  explicit NameLookups(std::size_t threads) : wanted_(threads) {}
  ~NameLookups();
  NameLookups(const NameLookups&) = delete;
  NameLookups& operator=(const NameLookups&) = delete;

  // Queues `task` for `owner`. Starts the threads on first use; false when
  // not one could be started (the caller runs the task itself).
  bool Post(const void* owner, std::function<void()> task);
  // Drops the owner's queued tasks and waits for those it has running.
  void Forget(const void* owner);

 private:
  struct Task {
    const void* owner;
    std::function<void()> run;
  };
  void StartThreads();
  void Serve();

  const std::size_t wanted_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> queue_;
  std::vector<const void*> running_;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tarnwick
