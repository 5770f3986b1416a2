#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/UserPrompt.h"

namespace tarnwick::test {

// Records every message box and answers with the queued answers in order,
// then with a preset answer.
class RecordingPrompt final : public UserPrompt {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    PromptIcon icon;
    PromptButtons buttons;
  };

  explicit RecordingPrompt(PromptAnswer answer = PromptAnswer::Ok) : answer_(answer) {}

  PromptAnswer Show(std::string_view text, std::string_view caption, PromptIcon icon,
                    PromptButtons buttons) override {
    std::lock_guard lock(mutex_);
    shown_.push_back({std::string(text), std::string(caption), icon, buttons});
    if (queued_.empty()) return answer_;
    const PromptAnswer next = queued_.front();
    queued_.pop_front();
    return next;
  }

  void QueueAnswer(PromptAnswer answer) {
    std::lock_guard lock(mutex_);
    queued_.push_back(answer);
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    shown_.clear();
    queued_.clear();
  }

  std::vector<Shown> shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  PromptAnswer answer_;
  std::deque<PromptAnswer> queued_;
  std::vector<Shown> shown_;
};

}  // namespace tarnwick::test
