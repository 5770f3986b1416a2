#include "console/MeteredAlertChannels.h"

#include <utility>

namespace tarnwick {

MeteredAlertChannels::MeteredAlertChannels(const AppSettings& settings, UserPrompt& prompt,
                                           WatchMetrics& metrics, AlertChannelOptions options)
    : AlertChannels(settings, prompt, std::move(options)), metrics_(metrics) {}

bool MeteredAlertChannels::WriteEventLog(EventType type, std::string_view text) {
  const bool written = AlertChannels::WriteEventLog(type, text);
  // Alerts write errors and information; warnings report a failed channel.
  if (written && type != EventType::Warning) metrics_.ChannelSucceeded(AlertChannel::EventLog);
  return written;
}

NetSendResult MeteredAlertChannels::SendNetMessage(std::string_view recipient,
                                                   std::string_view text) {
  const NetSendResult sent = AlertChannels::SendNetMessage(recipient, text);
  if (sent == NetSendResult::Sent) metrics_.ChannelSucceeded(AlertChannel::NetSend);
  return sent;
}

int MeteredAlertChannels::SendMail(std::string_view server, std::string_view sender,
                                   std::string_view recipients, std::string_view subject,
                                   std::string_view body) {
  const int delivered = AlertChannels::SendMail(server, sender, recipients, subject, body);
  if (delivered != 0) metrics_.ChannelSucceeded(AlertChannel::Mail);
  return delivered;
}

}  // namespace tarnwick
