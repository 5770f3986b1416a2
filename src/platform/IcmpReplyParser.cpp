#include "platform/IcmpReplyParser.h"

#include <cstring>
#include <optional>

namespace tarnwick {
namespace {

constexpr std::size_t kMinIpHeaderSize = 20;
constexpr std::uint8_t kProtocolIcmp = 1;

std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// Addresses stay in network byte order, as the sockets API keeps them.
std::uint32_t ReadAddress(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t address = 0;
  std::memcpy(&address, bytes.data() + at, sizeof address);
  return address;
}

struct Ipv4Packet {
  std::uint32_t source = 0;
  std::uint32_t destination = 0;
  std::uint8_t protocol = 0;
  std::span<const std::uint8_t> payload;  // what follows the header and its options
};

// The header of a packet as it arrived: total length must fit what arrived,
// and a fragment is never taken for a whole message.
std::optional<Ipv4Packet> ParseReceivedIpv4(std::span<const std::uint8_t> packet) {
  if (packet.size() < kMinIpHeaderSize) return std::nullopt;
  if ((packet[0] >> 4) != 4) return std::nullopt;
  const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
  const std::size_t totalLength = Read16(packet, 2);
  if (headerSize < kMinIpHeaderSize || headerSize > totalLength) return std::nullopt;
  if (totalLength > packet.size()) return std::nullopt;
  const std::uint16_t fragment = Read16(packet, 6);
  if ((fragment & 0x3fff) != 0) return std::nullopt;  // "more fragments" or an offset
  return Ipv4Packet{ReadAddress(packet, 12), ReadAddress(packet, 16), packet[9],
                    packet.subspan(headerSize, totalLength - headerSize)};
}

// The quoted header inside an ICMP error: only its first bytes are quoted, so
// its total length says nothing about what is present.
std::optional<Ipv4Packet> ParseQuotedIpv4(std::span<const std::uint8_t> quoted) {
  if (quoted.size() < kMinIpHeaderSize) return std::nullopt;
  if ((quoted[0] >> 4) != 4) return std::nullopt;
  const std::size_t headerSize = static_cast<std::size_t>(quoted[0] & 0x0f) * 4;
  if (headerSize < kMinIpHeaderSize || headerSize > quoted.size()) return std::nullopt;
  return Ipv4Packet{ReadAddress(quoted, 12), ReadAddress(quoted, 16), quoted[9],
                    quoted.subspan(headerSize)};
}

}  // namespace

IcmpVerdict IcmpReplyParser::Classify(std::span<const std::uint8_t> packet, IcmpPacketFormat format,
                                      std::uint32_t sender) const {
  if (format == IcmpPacketFormat::IcmpOnly) return ClassifyIcmp(packet, sender);
  const auto ip = ParseReceivedIpv4(packet);
  if (!ip || ip->protocol != kProtocolIcmp) return {};
  return ClassifyIcmp(ip->payload, ip->source);
}

IcmpVerdict IcmpReplyParser::ClassifyIcmp(std::span<const std::uint8_t> icmp,
                                          std::uint32_t source) const {
  if (icmp.size() < kIcmpHeaderSize || Checksum(icmp) != 0) return {};
  const std::uint8_t type = icmp[0];
  if (type == kEchoReply) {
    if (source != request_.destination || !IsOurEcho(icmp, kEchoReply)) return {};
    return {IcmpVerdict::Kind::EchoReply, type, icmp[1]};
  }
  // Any router on the way may report an error, so its source is not checked;
  // the quoted request must be ours.
  if (!IsErrorType(type) || !QuotesOurRequest(icmp.subspan(kIcmpHeaderSize))) return {};
  return {IcmpVerdict::Kind::Error, type, icmp[1]};
}

bool IcmpReplyParser::QuotesOurRequest(std::span<const std::uint8_t> quoted) const {
  const auto ip = ParseQuotedIpv4(quoted);
  if (!ip || ip->protocol != kProtocolIcmp || ip->destination != request_.destination) {
    return false;
  }
  return IsOurEcho(ip->payload, kEchoRequest);
}

bool IcmpReplyParser::IsOurEcho(std::span<const std::uint8_t> icmp, std::uint8_t type) const {
  return icmp.size() >= kIcmpHeaderSize && icmp[0] == type &&
         Read16(icmp, 4) == request_.identifier && Read16(icmp, 6) == request_.sequence;
}

IcmpVerdict IcmpReplyParser::ClassifyQueuedError(std::span<const std::uint8_t> quotedIcmp,
                                                 std::uint32_t quotedDestination, std::uint8_t type,
                                                 std::uint8_t code) const {
  if (!IsErrorType(type) || quotedDestination != request_.destination) return {};
  if (!IsOurEcho(quotedIcmp, kEchoRequest)) return {};
  return {IcmpVerdict::Kind::Error, type, code};
}

bool IcmpReplyParser::IsErrorType(std::uint8_t type) {
  return type == kDestinationUnreachable || type == kSourceQuench || type == kTimeExceeded ||
         type == kParameterProblem;
}

std::array<std::uint8_t, IcmpReplyParser::kIcmpHeaderSize> IcmpReplyParser::BuildEchoRequest(
    std::uint16_t identifier, std::uint16_t sequence) {
  std::array<std::uint8_t, kIcmpHeaderSize> message{kEchoRequest,
                                                    0,
                                                    0,
                                                    0,
                                                    static_cast<std::uint8_t>(identifier >> 8),
                                                    static_cast<std::uint8_t>(identifier & 0xff),
                                                    static_cast<std::uint8_t>(sequence >> 8),
                                                    static_cast<std::uint8_t>(sequence & 0xff)};
  const std::uint16_t sum = Checksum(message);
  message[2] = static_cast<std::uint8_t>(sum >> 8);
  message[3] = static_cast<std::uint8_t>(sum & 0xff);
  return message;
}

std::uint16_t IcmpReplyParser::Checksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2)
    sum += Read16(bytes, i);
  if (i < bytes.size()) sum += static_cast<std::uint32_t>(bytes[i]) << 8;
  while ((sum >> 16) != 0)
    sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xffff);
}

}  // namespace tarnwick
