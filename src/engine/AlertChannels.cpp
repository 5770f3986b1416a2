#include "engine/AlertChannels.h"

#include <utility>

#include "mail/MailEnvironment.h"
#include "mail/SmtpClient.h"
#include "platform/Clock.h"

namespace tarnwick {

AlertChannels::AlertChannels(const AppSettings& settings, UserPrompt& prompt,
                             AlertChannelOptions options)
    : settings_(&settings),
      prompt_(prompt),
      options_(std::move(options)),
      eventLog_(options_.syslogSocket.empty() ? EventLog() : EventLog(options_.syslogSocket)) {}

bool AlertChannels::WriteEventLog(EventType type, std::string_view text) {
  return eventLog_.Write(type, text);
}

NetSendResult AlertChannels::SendNetMessage(std::string_view recipient, std::string_view text) {
  NetMessengerOptions options = NetMessengerOptions::FromEnvironment();
  options.stop = &WatchStopEvent();
  options.stopGrace = options_.stopGrace;
  return NetMessenger(options).Deliver(recipient, text);
}

int AlertChannels::SendMail(std::string_view server, std::string_view sender,
                            std::string_view recipients, std::string_view subject,
                            std::string_view body) {
  static const SystemClock clock;
  const AppSettings& settings = *settings_;
  const MailEnvironment environment{
      .eventLog = eventLog_,
      .prompt = prompt_,
      .clock = clock,
      .showMessage = settings.EnableMailDebug == 1,
      .english = settings.SendMailByEnglish != 0,
      .submission =
          SmtpSubmission::FromSettings(settings.SmtpSecurity, settings.SmtpPort, settings.SmtpUser,
                                       settings.SmtpPassword, settings.SmtpCaFile),
      .stop = {.event = &WatchStopEvent(), .grace = options_.stopGrace},
  };
  return SmtpClient::SendMail(environment, server, sender, recipients, subject, body);
}

bool AlertChannels::StopGraceEnded() const {
  const auto stoppedAt = WatchStopEvent().SignalledAt();
  return stoppedAt && StopEvent::SteadyClock::now() >= *stoppedAt + options_.stopGrace;
}

const AppSettings& AlertChannels::UseSettings(const AppSettings& settings) {
  const AppSettings& previous = *settings_;
  settings_ = &settings;
  return previous;
}

}  // namespace tarnwick
