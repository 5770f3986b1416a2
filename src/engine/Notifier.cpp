#include "engine/Notifier.h"

#include "mail/MailEnvironment.h"
#include "mail/SmtpClient.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/NetMessenger.h"

namespace tarnwick {

Notifier::Notifier(const AppSettings& settings, UserPrompt& prompt, NotifierOptions options)
    : settings_(settings),
      prompt_(prompt),
      options_(std::move(options)),
      eventLog_(options_.syslogSocket.empty() ? EventLog() : EventLog(options_.syslogSocket)) {}

bool Notifier::PingProbe(std::string_view /*address*/) { return false; }

bool Notifier::PortProbe(std::string_view /*address*/, int /*port*/) { return false; }

std::string Notifier::RefreshComputerName(std::string_view /*address*/) {
  return Text(Msg::UnknownHostname);
}

bool Notifier::WriteEventLog(EventType type, std::string_view text) {
  return eventLog_.Write(type, text);
}

bool Notifier::SendNetMessage(std::string_view recipient, std::string_view text) {
  return NetMessenger(NetMessengerOptions::FromEnvironment()).Send(recipient, text);
}

int Notifier::SendMail(std::string_view server, std::string_view sender,
                       std::string_view recipients, std::string_view subject,
                       std::string_view body) {
  static const SystemClock clock;
  const MailEnvironment environment{
      .eventLog = eventLog_,
      .prompt = prompt(),
      .clock = clock,
      .showMessage = settings().EnableMailDebug == 1,
      .english = settings().SendMailByEnglish != 0,
  };
  return SmtpClient::SendMail(environment, server, sender, recipients, subject, body);
}

}  // namespace tarnwick
