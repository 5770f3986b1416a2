#include "engine/Notifier.h"

#include <utility>

#include "engine/Prober.h"
#include "engine/WatchState.h"
#include "platform/IcmpEcho.h"
#include "platform/InetAddress.h"
#include "platform/Messages.h"
#include "platform/TcpConnect.h"

namespace tarnwick {
namespace {

// The probes keep their true/false signature, which subclasses override; the
// interruption travels beside it on the thread that runs the attempt.
thread_local bool probeInterrupted = false;

ProbeResult ResultOf(bool answered) {
  if (answered) return ProbeResult::Answered;
  return probeInterrupted ? ProbeResult::Interrupted : ProbeResult::NoAnswer;
}

}  // namespace

Notifier::Notifier(const AppSettings& settings, NotifierOptions options)
    : settings_(&settings), options_(std::move(options)) {}

bool Notifier::PingProbe(std::string_view address) {
  // Text that is no address must not turn into a broadcast ping.
  const std::uint32_t destination = InetAddr(address);
  if (destination == kAllOnesAddress) return false;
  const int stopFd = WatchStopEvent().fd();
  const IcmpStatus status = prober_ != nullptr && prober_->PingAvailable()
                                ? prober_->Ping(destination, settings().PingTimeOut, stopFd)
                                : IcmpEcho().Echo(destination, settings().PingTimeOut, stopFd);
  if (status == IcmpStatus::Interrupted) probeInterrupted = true;
  return status == IcmpStatus::Success;
}

bool Notifier::PortProbe(std::string_view address, int port) {
  const std::uint32_t destination = InetAddr(address);
  // A port beyond 16 bits would wrap round to another service's port.
  if (destination == kAllOnesAddress || port < 0 || port > 65535) return false;
  const TcpConnectResult result = TcpConnectOnce(destination, static_cast<std::uint16_t>(port),
                                                 options().portProbeBound, WatchStopEvent().fd());
  if (result == TcpConnectResult::Interrupted) probeInterrupted = true;
  return result == TcpConnectResult::Connected;
}

ProbeResult Notifier::PingAttempt(std::string_view address) {
  probeInterrupted = false;
  const bool answered = PingProbe(address);
  return ResultOf(answered);
}

ProbeResult Notifier::PortAttempt(std::string_view address, int port) {
  probeInterrupted = false;
  const bool answered = PortProbe(address, port);
  return ResultOf(answered);
}

std::string Notifier::RefreshComputerName(std::string_view address) {
  const std::uint32_t host = InetAddr(address);
  std::optional<std::string> name;
  if (host != kAllOnesAddress) name = ReverseLookupUnlessStopped(host, WatchStopEvent());
  return name ? *name : Text(Msg::UnknownHostname);
}

const AppSettings& Notifier::UseSettings(const AppSettings& settings) {
  const AppSettings& previous = *settings_;
  settings_ = &settings;
  return previous;
}

Prober* Notifier::UseProber(Prober* prober) {
  Prober* const previous = prober_;
  prober_ = prober;
  return previous;
}

}  // namespace tarnwick
