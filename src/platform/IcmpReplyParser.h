#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarnwick {

// What one echo request is known by. The address is in network byte order,
// identifier and sequence as the numbers they stand for.
struct EchoRequestKey {
  std::uint32_t destination = 0;
  std::uint16_t identifier = 0;
  std::uint16_t sequence = 0;
};

// Raw ICMP sockets hand over whole IPv4 packets; ICMP datagram sockets hand
// over the ICMP message alone and report the sender beside it.
enum class IcmpPacketFormat { WithIpHeader, IcmpOnly };

struct IcmpVerdict {
  enum class Kind { Unrelated, EchoReply, Error };
  Kind kind = Kind::Unrelated;
  std::uint8_t type = 0;  // for Error: the ICMP type and code of the error
  std::uint8_t code = 0;
};

// Decides what one received packet means for one echo request: its reply,
// an ICMP error about it, or something else (another process's ping, a late
// reply to an earlier request, a damaged or truncated packet). Pure: reads
// nothing beyond the packet's own length and trusts no length field in it.
class IcmpReplyParser {
 public:
  static constexpr std::size_t kIcmpHeaderSize = 8;
  static constexpr std::uint8_t kEchoReply = 0;
  static constexpr std::uint8_t kDestinationUnreachable = 3;
  static constexpr std::uint8_t kSourceQuench = 4;
  static constexpr std::uint8_t kEchoRequest = 8;
  static constexpr std::uint8_t kTimeExceeded = 11;
  static constexpr std::uint8_t kParameterProblem = 12;

  explicit IcmpReplyParser(EchoRequestKey request) : request_(request) {}

  // `sender` (network byte order) is the source that the socket reported; a
  // packet with an IPv4 header is judged by the header's own source instead.
  IcmpVerdict Classify(std::span<const std::uint8_t> packet, IcmpPacketFormat format,
                       std::uint32_t sender) const;

  // An error from a datagram socket's error queue: the kernel hands over the
  // quoted ICMP message and the quoted packet's destination apart from it.
  IcmpVerdict ClassifyQueuedError(std::span<const std::uint8_t> quotedIcmp,
                                  std::uint32_t quotedDestination, std::uint8_t type,
                                  std::uint8_t code) const;

  // An echo request without data, checksum filled in.
  static std::array<std::uint8_t, kIcmpHeaderSize> BuildEchoRequest(std::uint16_t identifier,
                                                                    std::uint16_t sequence);
  // The Internet checksum; a message whose checksum field is right sums to 0.
  static std::uint16_t Checksum(std::span<const std::uint8_t> bytes);
  static bool IsErrorType(std::uint8_t type);

  const EchoRequestKey& request() const { return request_; }

 private:
  IcmpVerdict ClassifyIcmp(std::span<const std::uint8_t> icmp, std::uint32_t source) const;
  bool QuotesOurRequest(std::span<const std::uint8_t> quoted) const;
  bool IsOurEcho(std::span<const std::uint8_t> icmp, std::uint8_t type) const;

  EchoRequestKey request_;
};

}  // namespace tarnwick
