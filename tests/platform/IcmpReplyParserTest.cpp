#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/IcmpReplyParser.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = IcmpVerdict::Kind;

const std::uint32_t kTarget = inet_addr("198.18.7.2");
const std::uint32_t kOther = inet_addr("198.18.7.9");
const std::uint32_t kRouter = inet_addr("198.18.7.1");
const std::uint32_t kUs = inet_addr("198.18.7.1");
constexpr std::uint16_t kId = 0x1234;
constexpr std::uint16_t kSeq = 0xbeef;
const IcmpReplyParser kParser({kTarget, kId, kSeq});

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<std::uint8_t>(value & 0xff);
}

void PutAddress(Bytes& bytes, std::size_t at, std::uint32_t address) {
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&address);
  std::copy(raw, raw + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// An ICMP message with a correct checksum.
Bytes Icmp(std::uint8_t type, std::uint8_t code, std::uint16_t id, std::uint16_t seq,
           const Bytes& data = {}) {
  Bytes message{type, code, 0, 0, 0, 0, 0, 0};
  Put16(message, 4, id);
  Put16(message, 6, seq);
  message.insert(message.end(), data.begin(), data.end());
  Put16(message, 2, IcmpReplyParser::Checksum(message));
  return message;
}

void FixChecksum(Bytes& icmp) {
  if (icmp.size() < 4) return;
  Put16(icmp, 2, 0);
  Put16(icmp, 2, IcmpReplyParser::Checksum(icmp));
}

// An IPv4 packet around `payload`; `optionWords` 32-bit words of options.
Bytes Ip(std::uint32_t source, std::uint32_t destination, const Bytes& payload,
         std::size_t optionWords = 0, std::uint8_t protocol = 1) {
  Bytes packet(20 + optionWords * 4, 0);
  packet[0] = static_cast<std::uint8_t>(0x40 | (5 + optionWords));
  Put16(packet, 2, static_cast<std::uint16_t>(packet.size() + payload.size()));
  packet[8] = 64;
  packet[9] = protocol;
  PutAddress(packet, 12, source);
  PutAddress(packet, 16, destination);
  for (std::size_t i = 20; i < packet.size(); ++i)
    packet[i] = 1;  // NOP options
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

Bytes OurRequestOnTheWire(std::size_t optionWords = 0) {
  return Ip(kUs, kTarget, Icmp(IcmpReplyParser::kEchoRequest, 0, kId, kSeq), optionWords);
}

Bytes ErrorAbout(const Bytes& quoted, std::uint8_t type = 3, std::uint8_t code = 1) {
  return Icmp(type, code, 0, 0, quoted);
}

Kind RawKind(const Bytes& packet) {
  return kParser.Classify(packet, IcmpPacketFormat::WithIpHeader, 0).kind;
}

TEST(IcmpReplyParser, EchoReplyMustCarryOurIdentifierSequenceAndSource) {
  const Bytes reply = Icmp(0, 0, kId, kSeq);
  EXPECT_EQ(kParser.Classify(reply, IcmpPacketFormat::IcmpOnly, kTarget).kind, Kind::EchoReply);
  EXPECT_EQ(RawKind(Ip(kTarget, kUs, reply)), Kind::EchoReply);

  EXPECT_EQ(kParser.Classify(reply, IcmpPacketFormat::IcmpOnly, kOther).kind, Kind::Unrelated);
  EXPECT_EQ(RawKind(Ip(kOther, kUs, reply)), Kind::Unrelated);
  // A raw socket judges by the header's source, whatever the socket reported.
  EXPECT_EQ(kParser.Classify(Ip(kOther, kUs, reply), IcmpPacketFormat::WithIpHeader, kTarget).kind,
            Kind::Unrelated);
  EXPECT_EQ(RawKind(Ip(kTarget, kUs, Icmp(0, 0, kId, kSeq - 1))), Kind::Unrelated);
  EXPECT_EQ(RawKind(Ip(kTarget, kUs, Icmp(0, 0, kId + 1, kSeq))), Kind::Unrelated);
  // On loopback a raw socket also sees the request itself going out.
  EXPECT_EQ(RawKind(Ip(kTarget, kTarget, Icmp(8, 0, kId, kSeq))), Kind::Unrelated);
  // Replies that echo data back are still replies.
  EXPECT_EQ(RawKind(Ip(kTarget, kUs, Icmp(0, 0, kId, kSeq, Bytes(56, 0xa5)))), Kind::EchoReply);
}

TEST(IcmpReplyParser, DamagedOrOddIpHeadersAreNeverTrusted) {
  const Bytes good = Ip(kTarget, kUs, Icmp(0, 0, kId, kSeq));
  EXPECT_EQ(RawKind(Ip(kTarget, kUs, Icmp(0, 0, kId, kSeq), 10)), Kind::EchoReply)
      << "options are skipped by the header length";
  Bytes padded = good;
  padded.insert(padded.end(), {0, 0, 0, 0});
  EXPECT_EQ(RawKind(padded), Kind::EchoReply) << "bytes past the total length are ignored";

  auto with = [&](std::size_t at, std::uint8_t value) {
    Bytes changed = good;
    changed[at] = value;
    return changed;
  };
  EXPECT_EQ(RawKind(with(0, 0x44)), Kind::Unrelated) << "header length below 5 words";
  EXPECT_EQ(RawKind(with(0, 0x4f)), Kind::Unrelated) << "header longer than the packet";
  EXPECT_EQ(RawKind(with(0, 0x65)), Kind::Unrelated) << "not IPv4";
  EXPECT_EQ(RawKind(with(3, 0xff)), Kind::Unrelated) << "total length beyond what arrived";
  EXPECT_EQ(RawKind(with(3, 19)), Kind::Unrelated) << "total length inside the header";
  EXPECT_EQ(RawKind(with(9, 6)), Kind::Unrelated) << "not ICMP";
  EXPECT_EQ(RawKind(with(6, 0x20)), Kind::Unrelated) << "first of several fragments";
  EXPECT_EQ(RawKind(with(7, 0x01)), Kind::Unrelated) << "a later fragment";
  EXPECT_EQ(RawKind(with(27, good[27] ^ 0x01)), Kind::Unrelated) << "wrong checksum";
  for (std::size_t size = 0; size < good.size(); ++size) {
    EXPECT_EQ(RawKind(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))),
              Kind::Unrelated)
        << "runt of " << size << " bytes";
  }
  for (std::size_t size = 0; size < IcmpReplyParser::kIcmpHeaderSize; ++size) {
    EXPECT_EQ(kParser.Classify(Bytes(size, 0), IcmpPacketFormat::IcmpOnly, kTarget).kind,
              Kind::Unrelated);
  }
}

TEST(IcmpReplyParser, ErrorsCountOnlyWhenTheyQuoteOurRequest) {
  struct Case {
    std::uint8_t type;
    std::uint8_t code;
  };
  for (const Case c : {Case{3, 0}, Case{3, 1}, Case{3, 13}, Case{4, 0}, Case{11, 0}, Case{12, 0}}) {
    const IcmpVerdict verdict =
        kParser.Classify(Ip(kRouter, kUs, ErrorAbout(OurRequestOnTheWire(), c.type, c.code)),
                         IcmpPacketFormat::WithIpHeader, 0);
    EXPECT_EQ(verdict.kind, Kind::Error) << int{c.type} << "/" << int{c.code};
    EXPECT_EQ(verdict.type, c.type);
    EXPECT_EQ(verdict.code, c.code);
  }
  EXPECT_EQ(RawKind(Ip(kRouter, kUs, ErrorAbout(OurRequestOnTheWire(3)))), Kind::Error)
      << "quoted header with options";
  EXPECT_EQ(
      kParser.Classify(ErrorAbout(OurRequestOnTheWire()), IcmpPacketFormat::IcmpOnly, kOther).kind,
      Kind::Error);

  // A redirect is advice, not an answer.
  EXPECT_EQ(RawKind(Ip(kRouter, kUs, ErrorAbout(OurRequestOnTheWire(), 5, 1))), Kind::Unrelated);
  const auto quoting = [](std::uint32_t destination, Bytes icmp, std::uint8_t protocol = 1) {
    return RawKind(Ip(kRouter, kUs, ErrorAbout(Ip(kUs, destination, icmp, 0, protocol))));
  };
  EXPECT_EQ(quoting(kOther, Icmp(8, 0, kId, kSeq)), Kind::Unrelated);
  EXPECT_EQ(quoting(kTarget, Icmp(8, 0, kId, kSeq + 1)), Kind::Unrelated);
  EXPECT_EQ(quoting(kTarget, Icmp(8, 0, kId ^ 1, kSeq)), Kind::Unrelated);
  EXPECT_EQ(quoting(kTarget, Icmp(0, 0, kId, kSeq)), Kind::Unrelated);
  EXPECT_EQ(quoting(kTarget, Icmp(8, 0, kId, kSeq), 17), Kind::Unrelated);
}

TEST(IcmpReplyParser, TruncatedQuotesAreUnrelatedEvenWithGoodChecksums) {
  const Bytes quoted = OurRequestOnTheWire(2);
  for (std::size_t size = 0; size < quoted.size(); ++size) {
    const Bytes cut(quoted.begin(), quoted.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(RawKind(Ip(kRouter, kUs, ErrorAbout(cut))), Kind::Unrelated) << size;
  }
  Bytes lying = quoted;
  lying[0] = 0x4f;  // a quoted header that claims more than was quoted
  EXPECT_EQ(RawKind(Ip(kRouter, kUs, ErrorAbout(lying))), Kind::Unrelated);
  lying[0] = 0x43;
  EXPECT_EQ(RawKind(Ip(kRouter, kUs, ErrorAbout(lying))), Kind::Unrelated);
}

TEST(IcmpReplyParser, QueuedErrorsOfDatagramSockets) {
  const Bytes quoted = Icmp(8, 0, kId, kSeq);
  EXPECT_EQ(kParser.ClassifyQueuedError(quoted, kTarget, 3, 1).kind, Kind::Error);
  EXPECT_EQ(kParser.ClassifyQueuedError(quoted, kOther, 3, 1).kind, Kind::Unrelated);
  EXPECT_EQ(kParser.ClassifyQueuedError(quoted, kTarget, 5, 1).kind, Kind::Unrelated);
  EXPECT_EQ(kParser.ClassifyQueuedError(Icmp(8, 0, kId, kSeq + 1), kTarget, 11, 0).kind,
            Kind::Unrelated);
  EXPECT_EQ(
      kParser.ClassifyQueuedError(Bytes(quoted.begin(), quoted.begin() + 7), kTarget, 3, 1).kind,
      Kind::Unrelated);
}

TEST(IcmpReplyParser, EchoRequestAndChecksum) {
  const auto request = IcmpReplyParser::BuildEchoRequest(0xabcd, 0x0102);
  EXPECT_EQ(Bytes(request.begin(), request.end()),
            (Bytes{8, 0, request[2], request[3], 0xab, 0xcd, 0x01, 0x02}));
  EXPECT_EQ(IcmpReplyParser::Checksum(request), 0);
  // The worked example of RFC 1071, and an odd length padded with a zero.
  EXPECT_EQ(IcmpReplyParser::Checksum(Bytes{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}),
            0x220d);
  EXPECT_EQ(IcmpReplyParser::Checksum(Bytes{0x12, 0x34, 0x56}),
            static_cast<std::uint16_t>(~0x6834));
  EXPECT_EQ(IcmpReplyParser::Checksum(Bytes{}), 0xffff);
}

// Mutated real packets, with checksums and lengths repaired often enough that
// the structural checks, not the checksum, have to reject them.
TEST(IcmpReplyParser, FuzzedPacketsNeverReadOutOfBoundsOrMatchWrongly) {
  std::mt19937 random(20071);
  const std::vector<Bytes> seeds = {
      Ip(kTarget, kUs, Icmp(0, 0, kId, kSeq)),
      Ip(kRouter, kUs, ErrorAbout(OurRequestOnTheWire())),
      Ip(kRouter, kUs, ErrorAbout(OurRequestOnTheWire(4)), 2),
      Icmp(0, 0, kId, kSeq),
      ErrorAbout(OurRequestOnTheWire()),
  };
  auto below = [&](std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
  };
  int matches = 0;
  for (int round = 0; round < 200000; ++round) {
    Bytes packet = seeds[below(seeds.size())];
    packet.resize(below(101), static_cast<std::uint8_t>(below(256)));  // 0 to 100 bytes
    for (std::size_t flips = below(4); flips > 0 && !packet.empty(); --flips) {
      packet[below(packet.size())] = static_cast<std::uint8_t>(below(256));
    }
    if (!packet.empty() && below(3) == 0) packet[0] = static_cast<std::uint8_t>(0x40 | below(16));
    const bool withIp = !packet.empty() && (packet[0] >> 4) == 4;
    if (withIp && packet.size() >= 20) {
      const std::size_t headerSize = std::min<std::size_t>((packet[0] & 0x0f) * 4u, packet.size());
      if (below(2) == 0) Put16(packet, 2, static_cast<std::uint16_t>(packet.size()));
      Bytes icmp(packet.begin() + static_cast<std::ptrdiff_t>(headerSize), packet.end());
      FixChecksum(icmp);
      std::copy(icmp.begin(), icmp.end(), packet.begin() + static_cast<std::ptrdiff_t>(headerSize));
    } else if (below(2) == 0) {
      FixChecksum(packet);
    }

    const auto format = withIp ? IcmpPacketFormat::WithIpHeader : IcmpPacketFormat::IcmpOnly;
    const IcmpVerdict verdict = kParser.Classify(packet, format, kTarget);
    kParser.Classify(packet, IcmpPacketFormat::IcmpOnly, kTarget);
    kParser.ClassifyQueuedError(packet, kTarget, 3, 1);
    if (verdict.kind == Kind::EchoReply) {
      // Whatever matched must really say our identifier and sequence.
      const std::size_t at = withIp ? (packet[0] & 0x0fu) * 4u : 0u;
      ASSERT_GE(packet.size(), at + 8);
      EXPECT_EQ(packet[at], 0);
      EXPECT_EQ((packet[at + 4] << 8) | packet[at + 5], kId);
      EXPECT_EQ((packet[at + 6] << 8) | packet[at + 7], kSeq);
      ++matches;
    }
  }
  EXPECT_GT(matches, 0) << "the mutations never left a packet intact";
}

}  // namespace
}  // namespace tarnwick
