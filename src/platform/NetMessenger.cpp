#include "platform/NetMessenger.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/CodePage.h"
#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

using SteadyClock = StopEvent::SteadyClock;

constexpr unsigned char kSmbSendStart = 0xD5;
constexpr unsigned char kSmbSendEnd = 0xD6;
constexpr unsigned char kSmbSendText = 0xD7;
constexpr unsigned char kNbssMessage = 0x00;
constexpr unsigned char kNbssSessionRequest = 0x81;
constexpr unsigned char kNbssPositiveResponse = 0x82;
constexpr unsigned char kNbssKeepAlive = 0x85;
constexpr unsigned char kNameTypeMessenger = 0x03;
constexpr unsigned char kNameTypeWorkstation = 0x00;
constexpr std::size_t kNetbiosNameLength = 15;
// The message protocol carries at most 128 bytes of text per block; 127
// keeps to what the system's own senders use.
constexpr std::size_t kTextBlockBytes = 127;
constexpr std::size_t kSmbHeaderLength = 32;
constexpr std::size_t kMaxReplyLength = 0x1FFFF;

// The bound of the whole exchange, and the stop that may bring it forward.
class Deadline {
 public:
  explicit Deadline(const NetMessengerOptions& options)
      : end_(SteadyClock::now() + options.timeout),
        stop_(options.stop),
        grace_(options.stopGrace) {}

  // Whether `fd` showed one of `events` before the deadline.
  bool WaitFor(int fd, short events) const {
    const WaitResult result = stop_ != nullptr ? stop_->WaitWithGrace(fd, events, end_, grace_)
                                               : StopEvent::Wait(fd, events, -1, end_);
    return result == WaitResult::Ready;
  }

 private:
  SteadyClock::time_point end_;
  const StopEvent* stop_;
  std::chrono::milliseconds grace_;
};

bool WaitFor(int fd, short events, const Deadline& deadline) {
  return deadline.WaitFor(fd, events);
}

UniqueFd ConnectOne(const addrinfo& candidate, const Deadline& deadline) {
  UniqueFd fd(::socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                       candidate.ai_protocol));
  if (!fd.valid()) return {};
  if (::connect(fd.get(), candidate.ai_addr, candidate.ai_addrlen) == 0) return fd;
  if (errno != EINPROGRESS) return {};
  if (!WaitFor(fd.get(), POLLOUT, deadline)) return {};
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return {};
  return fd;
}

UniqueFd Connect(const std::string& host, int port, const Deadline& deadline) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) return {};
  UniqueFd fd;
  for (const addrinfo* candidate = found; candidate != nullptr && !fd.valid();
       candidate = candidate->ai_next) {
    fd = ConnectOne(*candidate, deadline);
  }
  ::freeaddrinfo(found);
  return fd;
}

bool SendAll(int fd, const std::string& bytes, const Deadline& deadline) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool ReceiveExactly(int fd, std::size_t count, std::string& out, const Deadline& deadline) {
  out.assign(count, '\0');
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::recv(fd, out.data() + got, count - got, 0);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLIN, deadline)) return false;
    } else {
      return false;  // closed by the peer, or an error
    }
  }
  return true;
}

struct NbssPacket {
  unsigned char type = 0;
  std::string payload;
};

// The next session-service packet other than a keep-alive.
std::optional<NbssPacket> ReceivePacket(int fd, const Deadline& deadline) {
  for (;;) {
    std::string header;
    if (!ReceiveExactly(fd, 4, header, deadline)) return std::nullopt;
    const auto byte = [&header](std::size_t i) { return static_cast<unsigned char>(header[i]); };
    const std::size_t length = (static_cast<std::size_t>(byte(1) & 1U) << 16) |
                               (static_cast<std::size_t>(byte(2)) << 8) | byte(3);
    if (length > kMaxReplyLength) return std::nullopt;
    NbssPacket packet{byte(0), {}};
    if (!ReceiveExactly(fd, length, packet.payload, deadline)) return std::nullopt;
    if (packet.type != kNbssKeepAlive) return packet;
  }
}

std::string NbssFrame(unsigned char type, const std::string& payload) {
  std::string frame;
  frame.reserve(payload.size() + 4);
  frame.push_back(static_cast<char>(type));
  frame.push_back(static_cast<char>((payload.size() >> 16) & 1U));
  frame.push_back(static_cast<char>((payload.size() >> 8) & 0xFFU));
  frame.push_back(static_cast<char>(payload.size() & 0xFFU));
  frame += payload;
  return frame;
}

void AppendUint16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFFU));
  out.push_back(static_cast<char>(value >> 8));
}

// Upper case for the ASCII letters only, leaving double-byte characters
// (whose second byte may look like a letter) as they are; cut to 15 bytes.
std::string NetbiosNameText(std::string_view name) {
  std::string upper;
  const std::string_view cut = CutCp932(name, kNetbiosNameLength);
  for (std::size_t i = 0; i < cut.size(); ++i) {
    const auto c = static_cast<unsigned char>(cut[i]);
    if (IsCp932LeadByte(c) && i + 1 < cut.size()) {
      upper.push_back(cut[i]);
      upper.push_back(cut[++i]);
    } else {
      upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : cut[i]);
    }
  }
  upper.resize(kNetbiosNameLength, ' ');
  return upper;
}

// First-level encoding of RFC 1001: each of the 16 bytes as two letters.
std::string EncodedNetbiosName(std::string_view name, unsigned char type) {
  std::string raw = NetbiosNameText(name);
  raw.push_back(static_cast<char>(type));
  std::string encoded(1, static_cast<char>(32));
  for (const char c : raw) {
    const auto b = static_cast<unsigned char>(c);
    encoded.push_back(static_cast<char>('A' + (b >> 4)));
    encoded.push_back(static_cast<char>('A' + (b & 0x0FU)));
  }
  encoded.push_back('\0');
  return encoded;
}

bool RequestSession(int fd, std::string_view called, std::string_view calling,
                    const Deadline& deadline) {
  const std::string names = EncodedNetbiosName(called, kNameTypeMessenger) +
                            EncodedNetbiosName(calling, kNameTypeWorkstation);
  if (!SendAll(fd, NbssFrame(kNbssSessionRequest, names), deadline)) return false;
  const auto reply = ReceivePacket(fd, deadline);
  return reply && reply->type == kNbssPositiveResponse;
}

// One SMB1 request and its reply over the session.
class SmbExchange {
 public:
  SmbExchange(int fd, const Deadline& deadline) : fd_(fd), deadline_(deadline) {}

  // The reply's parameter words, or nothing when the reply is missing,
  // malformed or carries an error status.
  std::optional<std::vector<std::uint16_t>> Call(unsigned char command,
                                                 const std::vector<std::uint16_t>& words,
                                                 const std::string& bytes) {
    const std::uint16_t mid = nextMid_++;
    if (!SendAll(fd_, NbssFrame(kNbssMessage, Request(command, mid, words, bytes)), deadline_)) {
      return std::nullopt;
    }
    const auto reply = ReceivePacket(fd_, deadline_);
    if (!reply || reply->type != kNbssMessage) return std::nullopt;
    return ReplyWords(reply->payload, command);
  }

 private:
  static std::string Request(unsigned char command, std::uint16_t mid,
                             const std::vector<std::uint16_t>& words, const std::string& bytes) {
    std::string smb("\xFFSMB", 4);
    smb.push_back(static_cast<char>(command));
    smb.append(4, '\0');        // status
    smb.push_back('\0');        // flags
    smb.append(2, '\0');        // flags2: OEM strings, DOS error codes
    smb.append(12, '\0');       // PID high, signature, reserved
    AppendUint16(smb, 0xFFFF);  // TID: no tree
    AppendUint16(smb, static_cast<std::uint16_t>(::getpid() & 0xFFFF));
    AppendUint16(smb, 0);  // UID: no session
    AppendUint16(smb, mid);
    smb.push_back(static_cast<char>(words.size()));
    for (const std::uint16_t word : words)
      AppendUint16(smb, word);
    AppendUint16(smb, static_cast<std::uint16_t>(bytes.size()));
    smb += bytes;
    return smb;
  }

  static std::optional<std::vector<std::uint16_t>> ReplyWords(const std::string& reply,
                                                              unsigned char command) {
    const auto byte = [&reply](std::size_t i) { return static_cast<unsigned char>(reply[i]); };
    if (reply.size() < kSmbHeaderLength + 1 || reply.compare(0, 4, "\xFFSMB", 4) != 0) {
      return std::nullopt;
    }
    if (byte(4) != command) return std::nullopt;
    if ((byte(5) | byte(6) | byte(7) | byte(8)) != 0) return std::nullopt;
    const std::size_t count = byte(kSmbHeaderLength);
    if (reply.size() < kSmbHeaderLength + 1 + 2 * count) return std::nullopt;
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = kSmbHeaderLength + 1 + 2 * i;
      words.push_back(static_cast<std::uint16_t>(byte(at) | (byte(at + 1) << 8)));
    }
    return words;
  }

  int fd_;
  const Deadline& deadline_;
  std::uint16_t nextMid_ = 1;
};

std::string OemName(std::string_view name) {
  std::string field(1, '\x04');
  field += name;
  field.push_back('\0');
  return field;
}

bool SendMessage(SmbExchange& smb, std::string_view sender, std::string_view recipient,
                 std::string_view text) {
  const auto started = smb.Call(kSmbSendStart, {}, OemName(sender) + OemName(recipient));
  if (!started) return false;
  // Samba answers without the group word; it then expects group 0.
  const std::uint16_t group = started->empty() ? 0 : started->front();

  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t take = CutCp932(rest, kTextBlockBytes).size();
    if (take == 0) take = rest.size() < kTextBlockBytes ? rest.size() : kTextBlockBytes;
    std::string block(1, '\x01');
    AppendUint16(block, static_cast<std::uint16_t>(take));
    block.append(rest.substr(0, take));
    if (!smb.Call(kSmbSendText, {group}, block)) return false;
    rest.remove_prefix(take);
  }
  return smb.Call(kSmbSendEnd, {group}, {}).has_value();
}

std::string LocalComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "LOCALHOST";
  std::string host(name);
  host = host.substr(0, host.find('.'));
  return host.empty() ? "LOCALHOST" : host;
}

bool IsBlankOrControl(unsigned char c) {
  return c <= 0x20 || c == 0x7F;
}

}  // namespace

NetMessengerOptions NetMessengerOptions::FromEnvironment() {
  NetMessengerOptions options;
  if (const char* address = std::getenv("TARNWICK_NETSEND_ADDRESS"); address != nullptr) {
    options.address = address;
  }
  if (const char* port = std::getenv("TARNWICK_NETSEND_PORT"); port != nullptr) {
    char* end = nullptr;
    const long value = std::strtol(port, &end, 10);
    if (end != port && *end == '\0' && value > 0 && value <= 65535) {
      options.port = static_cast<int>(value);
    }
  }
  return options;
}

NetMessenger::NetMessenger(NetMessengerOptions options) : options_(std::move(options)) {}

std::size_t NetMessenger::Utf16Length(std::string_view cp932) {
  std::size_t units = 0;
  for (const char c : Utf8FromCp932(cp932)) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0U) != 0x80U) ++units;
    if (b >= 0xF0U) ++units;  // outside the BMP: a surrogate pair
  }
  return units;
}

bool NetMessenger::IsAcceptableRecipient(std::string_view recipient) {
  if (recipient.empty() || recipient.front() == '-') return false;
  for (std::size_t i = 0; i < recipient.size(); ++i) {
    const auto c = static_cast<unsigned char>(recipient[i]);
    if (IsCp932LeadByte(c)) {
      if (i + 1 >= recipient.size()) return false;  // a cut-off character
      // The ideographic space is a blank too.
      if (c == 0x81 && static_cast<unsigned char>(recipient[i + 1]) == 0x40) return false;
      ++i;
    } else if (IsBlankOrControl(c)) {
      return false;
    }
  }
  return Utf16Length(recipient) <= kMaxRecipientUnits;
}

bool NetMessenger::Send(std::string_view recipient, std::string_view text) const {
  if (!IsAcceptableRecipient(recipient)) return false;
  if (Utf16Length(text) > kMaxTextUnits) return false;

  const Deadline deadline(options_);
  const std::string host = options_.address.empty() ? std::string(recipient) : options_.address;
  UniqueFd connection = Connect(host, options_.port, deadline);
  if (!connection.valid()) return false;

  std::string sender = options_.sender.empty() ? LocalComputerName() : options_.sender;
  sender = std::string(CutCp932(sender, kNetbiosNameLength));
  const bool session = options_.sessionRequest.value_or(options_.port == 139);
  if (session && !RequestSession(connection.get(), recipient, sender, deadline)) {
    return false;
  }
  SmbExchange smb(connection.get(), deadline);
  return SendMessage(smb, sender, recipient, text);
}

}  // namespace tarnwick
