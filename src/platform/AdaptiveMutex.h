#pragma once

#include <pthread.h>

namespace tarnwick {

// A mutex that spins a little before it sleeps (glibc's adaptive kind), for
// locks that two busy threads take many times for very short spells: there a
// sleep and the wake that ends it cost far more than the wait itself,
// above all in a virtual machine, where each wake is an interrupt between
// processors. A Lockable, for std::lock_guard and std::unique_lock.
class AdaptiveMutex {
 public:
  AdaptiveMutex();
  ~AdaptiveMutex();
  AdaptiveMutex(const AdaptiveMutex&) = delete;
  AdaptiveMutex& operator=(const AdaptiveMutex&) = delete;

  void lock();
  bool try_lock();
  void unlock();

 private:
  pthread_mutex_t mutex_;
};

}  // namespace tarnwick
