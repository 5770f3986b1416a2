#include "engine/NameLookups.h"

#include <algorithm>
#include <system_error>

namespace tarnwick {

NameLookups::~NameLookups() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  for (std::thread& thread : threads_)
    thread.join();
}

bool NameLookups::Post(const void* owner, std::function<void()> task) {
  std::lock_guard lock(mutex_);
  StartThreads();
  if (threads_.empty()) return false;
  queue_.push_back({owner, std::move(task)});
  changed_.notify_one();
  return true;
}

void NameLookups::Forget(const void* owner) {
  std::unique_lock lock(mutex_);
  std::erase_if(queue_, [&](const Task& task) { return task.owner == owner; });
  changed_.wait(lock, [&] { return std::ranges::count(running_, owner) == 0; });
}

void NameLookups::StartThreads() {
  while (threads_.size() < wanted_) {
    try {
      threads_.emplace_back([this] { Serve(); });
    } catch (const std::system_error&) {
      return;  // fewer threads only make the look-ups slower
    }
  }
}

void NameLookups::Serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return quit_ || !queue_.empty(); });
    if (quit_) return;
    Task task = std::move(queue_.front());
    queue_.pop_front();
    running_.push_back(task.owner);
    lock.unlock();
    task.run();  // catches what it throws itself
    lock.lock();
    running_.erase(std::ranges::find(running_, task.owner));
    changed_.notify_all();
  }
}

}  // namespace tarnwick
