#include "platform/AdaptiveMutex.h"

namespace tarnwick {

AdaptiveMutex::AdaptiveMutex() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
  pthread_mutex_init(&mutex_, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

AdaptiveMutex::~AdaptiveMutex() {
  pthread_mutex_destroy(&mutex_);
}

void AdaptiveMutex::lock() {
  pthread_mutex_lock(&mutex_);
}

bool AdaptiveMutex::try_lock() {
  return pthread_mutex_trylock(&mutex_) == 0;
}

void AdaptiveMutex::unlock() {
  pthread_mutex_unlock(&mutex_);
}

}  // namespace tarnwick
