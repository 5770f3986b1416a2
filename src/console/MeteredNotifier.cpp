#include "console/MeteredNotifier.h"

#include <chrono>
#include <utility>

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

}  // namespace

MeteredNotifier::MeteredNotifier(const AppSettings& settings, WatchMetrics& metrics,
                                 NotifierOptions options)
    : Notifier(settings, std::move(options)), metrics_(metrics) {}

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

}  // namespace tarnwick
