#pragma once

#include <string>
#include <vector>

#include "engine/AlertChannels.h"
#include "platform/CodePage.h"
#include "platform/Sleeper.h"
#include "support/FakeClock.h"
#include "support/RecordingPrompt.h"

namespace tarnwick::test {

// Alert channels that record their calls, in order and with the fake
// clock's time, and answer with preset results. Texts are recorded in UTF-8
// so that expectations read as the user sees them.
class CallRecordingAlerts final : public AlertChannels {
 public:
  struct Call {
    std::string channel;  // "event", "netsend" or "mail"
    std::time_t at = 0;
    EventType type = EventType::Information;
    std::vector<std::string> arguments;
  };

  CallRecordingAlerts(const AppSettings& settings, const FakeClock& clock)
      : AlertChannels(settings, prompt_), clock_(clock) {}

  bool WriteEventLog(EventType type, std::string_view text) override {
    calls.push_back({"event", clock_.Now(), type, {Utf8FromCp932(text)}});
    return eventLogResult;
  }
  NetSendResult SendNetMessage(std::string_view recipient, std::string_view text) override {
    calls.push_back({"netsend", clock_.Now(), {}, {std::string(recipient), Utf8FromCp932(text)}});
    return netSendResult;
  }
  int SendMail(std::string_view server, std::string_view sender, std::string_view recipients,
               std::string_view subject, std::string_view body) override {
    calls.push_back({"mail",
                     clock_.Now(),
                     {},
                     {std::string(server), std::string(sender), std::string(recipients),
                      Utf8FromCp932(subject), Utf8FromCp932(body)}});
    return mailResult;
  }

  std::vector<std::string> Channels() const {
    std::vector<std::string> channels;
    for (const Call& call : calls)
      channels.push_back(call.channel);
    return channels;
  }

  std::vector<Call> calls;
  bool eventLogResult = true;
  NetSendResult netSendResult = NetSendResult::Sent;
  int mailResult = 1;

 private:
  RecordingPrompt prompt_;
  const FakeClock& clock_;
};

}  // namespace tarnwick::test
