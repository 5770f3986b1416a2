#include "mail/MailTrace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tarnwick {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

// The variable is read at every line, so that it counts from the moment it
// is set; the program itself never changes its environment.
void WriteToStandardError(std::string_view text) {
  const bool enabled = std::getenv("TARNWICK_MAIL_TRACE") != nullptr;
  if (enabled)
    std::fprintf(stderr, "tarnwick mail: %.*s\n", static_cast<int>(text.size()), text.data());
}

MailTrace::Sink& CurrentSink() {
  static MailTrace::Sink sink = WriteToStandardError;
  return sink;
}

}  // namespace

void MailTrace::SetSink(Sink sink) {
  std::lock_guard lock(SinkMutex());
  CurrentSink() = sink ? std::move(sink) : MailTrace::Sink(WriteToStandardError);
}

void MailTrace::Write(std::string_view text) {
  std::lock_guard lock(SinkMutex());
  CurrentSink()(text);
}

}  // namespace tarnwick
