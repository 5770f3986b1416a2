#include "mail/MailTrace.h"

#include <mutex>

namespace tarnwick {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

MailTrace::Sink& CurrentSink() {
  static MailTrace::Sink sink;
  return sink;
}

}  // namespace

void MailTrace::SetSink(Sink sink) {
  std::lock_guard lock(SinkMutex());
  CurrentSink() = std::move(sink);
}

void MailTrace::Write(std::string_view text) {
  std::lock_guard lock(SinkMutex());
  if (CurrentSink()) CurrentSink()(text);
}

}  // namespace tarnwick
