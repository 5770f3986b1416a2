#include "platform/InetAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tarnwick {

std::uint32_t InetAddr(std::string_view text) {
  // inet_addr stops at a NUL; text that hides one is no address either.
  if (text.find('\0') != std::string_view::npos) return kAllOnesAddress;
  return ::inet_addr(std::string(text).c_str());
}

std::optional<std::string> ReverseLookup(std::uint32_t address) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_addr.s_addr = address;
  std::array<char, NI_MAXHOST> host{};
  // NI_NAMEREQD: an address without a name is a failed lookup, not its own
  // dotted text.
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress,
                    host.data(), host.size(), nullptr, 0, NI_NAMEREQD) != 0) {
    return std::nullopt;
  }
  return std::string(host.data());
}

std::optional<std::string> ReverseLookupUnlessStopped(std::uint32_t address,
                                                      const StopEvent& stop) {
  // Shared with the helper, which may outlive this call.
  struct Lookup {
    std::mutex mutex;
    std::optional<std::string> name;
    StopEvent done;
  };
  auto lookup = std::make_shared<Lookup>();
  if (lookup->done.fd() < 0) return ReverseLookup(address);
  try {
    std::thread([lookup, address] {
      std::optional<std::string> name = ReverseLookup(address);
      std::lock_guard lock(lookup->mutex);
      lookup->name = std::move(name);
      lookup->done.Signal();
    }).detach();
  } catch (const std::system_error&) {
    return ReverseLookup(address);
  }
  const auto never = StopEvent::Deadline::max();
  if (stop.Wait(lookup->done.fd(), POLLIN, never) != WaitResult::Ready) return std::nullopt;
  std::lock_guard lock(lookup->mutex);
  return lookup->name;
}

}  // namespace tarnwick
