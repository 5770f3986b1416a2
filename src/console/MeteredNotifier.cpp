#include "console/MeteredNotifier.h"

#include <chrono>
#include <utility>

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

}  // namespace

MeteredNotifier::MeteredNotifier(const AppSettings& settings, UserPrompt& prompt,
                                 WatchMetrics& metrics, NotifierOptions options)
    : Notifier(settings, prompt, std::move(options)), metrics_(metrics) {}

bool MeteredNotifier::PingProbe(std::string_view address) {
  const SteadyClock::time_point start = SteadyClock::now();
  const bool answered = Notifier::PingProbe(address);
  if (answered)
    metrics_.ProbeAnswered(address, WatchMetrics::kPingPort, SteadyClock::now() - start);
  return answered;
}

bool MeteredNotifier::PortProbe(std::string_view address, int port) {
  const SteadyClock::time_point start = SteadyClock::now();
  const bool answered = Notifier::PortProbe(address, port);
  if (answered) metrics_.ProbeAnswered(address, port, SteadyClock::now() - start);
  return answered;
}

void MeteredNotifier::ProbeAnswered(std::string_view address, CheckMethod method, int port,
                                    std::chrono::nanoseconds roundTrip) {
  metrics_.ProbeAnswered(address, method == CheckMethod::Ping ? WatchMetrics::kPingPort : port,
                         roundTrip);
}

bool MeteredNotifier::WriteEventLog(EventType type, std::string_view text) {
  const bool written = Notifier::WriteEventLog(type, text);
  // Alerts write errors and information; warnings report a failed channel.
  if (written && type != EventType::Warning) metrics_.ChannelSucceeded(AlertChannel::EventLog);
  return written;
}

NetSendResult MeteredNotifier::SendNetMessage(std::string_view recipient, std::string_view text) {
  const NetSendResult sent = Notifier::SendNetMessage(recipient, text);
  if (sent == NetSendResult::Sent) metrics_.ChannelSucceeded(AlertChannel::NetSend);
  return sent;
}

int MeteredNotifier::SendMail(std::string_view server, std::string_view sender,
                              std::string_view recipients, std::string_view subject,
                              std::string_view body) {
  const int delivered = Notifier::SendMail(server, sender, recipients, subject, body);
  if (delivered != 0) metrics_.ChannelSucceeded(AlertChannel::Mail);
  return delivered;
}

}  // namespace tarnwick
