#include "mail/Connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <optional>

#include "mail/ConnectionRegistry.h"
#include "mail/MailErrorCode.h"
#include "mail/MailTrace.h"
#include "mail/TlsChannel.h"
#include "platform/HelperCall.h"
#include "platform/WinsockError.h"

namespace tarnwick {
namespace {

constexpr unsigned long kLargestPort = 65535;
// What the kernel's own connect would wait (six SYN retries) before it gave up.
constexpr std::chrono::milliseconds kConnectBound{127000};

void Trace(const char* before, int error, const char* after = "") {
  MailTrace::Write(before + std::to_string(error) + after);
}

int LastSocketError() {
  return WinsockErrorFromErrno(errno);
}

bool IsDecimal(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A port number too large for a port is no port: unknown service.
int PortFromDigits(std::string_view digits, std::uint16_t& port) {
  if (digits.empty()) return MailErrorCode::kUnknownService;
  unsigned long value = 0;
  for (const char c : digits) {
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > kLargestPort) return MailErrorCode::kUnknownService;
  }
  port = static_cast<std::uint16_t>(value);
  return MailErrorCode::kOk;
}

int PortFromServiceName(std::string_view name, std::uint16_t& port) {
  const std::string nameText(name);
  servent entry{};
  servent* found = nullptr;
  char scratch[4096];
  const int rc =
      ::getservbyname_r(nameText.c_str(), "tcp", &entry, scratch, sizeof scratch, &found);
  // Winsock answers an unknown name with WSANO_DATA; other failures keep
  // their own number. A services database that is missing or unreadable (a
  // minimal image has no /etc/services) knows no name either: unknown.
  const bool unavailable = rc == ENOENT || rc == ENOTDIR || rc == EACCES || rc == EPERM;
  const int winsockError = rc == 0 || unavailable
                               ? wsa::kNoData
                               : (rc == ERANGE ? wsa::kNoRecovery : WinsockErrorFromErrno(rc));
  if (found == nullptr) {
    if (winsockError == wsa::kNoData || winsockError == wsa::kNoRecovery) {
      return MailErrorCode::kUnknownService;
    }
    return MailErrorCode::FromServiceLookupError(winsockError);
  }
  port = ntohs(static_cast<std::uint16_t>(found->s_port));
  return MailErrorCode::kOk;
}

int PortFromService(std::string_view service, std::uint16_t& port) {
  return IsDecimal(service) ? PortFromDigits(service, port) : PortFromServiceName(service, port);
}

std::optional<in_addr> LookUpHost(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  const in_addr address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return address;
}

// A name goes to the resolver on a helper thread, so that a slow resolver
// holds the dialogue no longer than `wait` allows.
int AddressFromHost(std::string_view host, in_addr& address,
                    const std::function<WaitResult(int doneFd)>& wait) {
  // An empty name would be looked up as this machine's; a mail server is never that.
  if (host.empty()) return MailErrorCode::kHostNotFound;
  const std::string hostText(host);
  if (::inet_aton(hostText.c_str(), &address) != 0) return MailErrorCode::kOk;
  const auto found =
      CallOnHelper<std::optional<in_addr>>([hostText] { return LookUpHost(hostText); }, wait);
  if (!found || !*found) return MailErrorCode::kHostNotFound;
  address = **found;
  return MailErrorCode::kOk;
}

std::chrono::milliseconds ClampedLimit(std::chrono::milliseconds limit) {
  return std::clamp(limit, std::chrono::milliseconds(0),
                    std::chrono::milliseconds(24LL * 3600 * 1000));
}

int ConnectCode(int winsockError) {
  if (winsockError == wsa::kEwouldblock) return MailErrorCode::kOk;
  if (winsockError == wsa::kEconnrefused) return MailErrorCode::kConnectionRefused;
  Trace("unexpected error ", winsockError, " from winsock");
  return MailErrorCode::kConnectFailed;
}

bool IsLostConnection(int winsockError) {
  return (winsockError >= wsa::kEnetdown && winsockError <= wsa::kEconnreset) ||
         winsockError == wsa::kEnotconn;
}

}  // namespace

connection::connection(std::chrono::milliseconds waitLimit, ConnectionStop stop)
    : receive_(new (std::nothrow) Buffer),
      send_(new (std::nothrow) Buffer),
      configuredLimit_(waitLimit),
      stop_(stop) {}

connection::~connection() = default;

int connection::connect(std::string_view host, std::string_view service, connection*& out,
                        std::chrono::milliseconds waitLimit, ConnectionStop stop) {
  out = nullptr;
  std::unique_ptr<connection> created(new (std::nothrow) connection(waitLimit, stop));
  if (!created) return MailErrorCode::kNoConnectionObject;
  connection* opened = created.get();
  auto& registry = ConnectionRegistry::Instance();
  if (!registry.Add(std::move(created))) return MailErrorCode::kNoConnectionObject;

  const int code = opened->Open(host, service);
  if (code != MailErrorCode::kOk) {
    registry.Remove(opened);  // closes the socket with the object
    return code;
  }
  out = opened;
  return MailErrorCode::kOk;
}

int connection::Open(std::string_view host, std::string_view service) {
  if (!receive_ || !send_) return MailErrorCode::kBufferMissing;

  std::uint16_t port = 0;
  int code = PortFromService(service, port);
  if (code != MailErrorCode::kOk) return code;
  in_addr address{};
  code = AddressFromHost(host, address, [this](int doneFd) {
    int error = 0;
    return WaitOn(doneFd, POLLIN, Now() + kConnectBound, error);
  });
  if (code != MailErrorCode::kOk) return code;

  // Non-blocking from the start, so that a stop reaches the connect too.
  socket_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket_.valid()) return MailErrorCode::kSocketFailed;

  // Linux has no SO_DONTLINGER; lingering off is its graceful close, so
  // nothing queued is dropped when the socket closes.
  const linger noLinger{0, 0};
  ::setsockopt(socket_.get(), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
  // The message goes out in 512-byte blocks without waiting for replies:
  // under Nagle's rule its short last block would wait for the server's
  // delayed acknowledgement (40 ms and more), and the check cycle with it.
  const int noDelay = 1;
  ::setsockopt(socket_.get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr = address;
  if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    const int error = LastSocketError();
    code = error == wsa::kEinprogress ? AwaitConnected() : ConnectCode(error);
    if (code != MailErrorCode::kOk) return code;
  }

  waitLimit_ = configuredLimit_;
  const auto now = Now();
  dialogueEnd_ = now + kDialogueBound;
  replyDeadline_ = now + ClampedLimit(waitLimit_);
  return MailErrorCode::kOk;
}

int connection::AwaitConnected() {
  int error = 0;
  if (WaitFor(POLLOUT, kConnectBound, error) <= 0) return MailErrorCode::kConnectFailed;
  int pending = 0;
  socklen_t length = sizeof pending;
  if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &pending, &length) != 0) {
    return ConnectCode(LastSocketError());
  }
  return pending == 0 ? MailErrorCode::kOk : ConnectCode(WinsockErrorFromErrno(pending));
}

// poll instead of select: an fd_set cannot hold descriptors above 1023.
// 1 when ready, 0 when the limit (or the stop's grace) passed, -1 on error.
int connection::WaitFor(short events, std::chrono::milliseconds limit, int& error) const {
  return WaitUntil(events, Now() + ClampedLimit(limit), error);
}

int connection::WaitUntil(short events, StopEvent::Deadline deadline, int& error) const {
  // No wait outlasts the bound of the whole dialogue.
  if (dialogueEnd_ != StopEvent::Deadline{}) deadline = std::min(deadline, dialogueEnd_);
  const WaitResult result = WaitOn(socket_.get(), events, deadline, error);
  if (result == WaitResult::Failed) return -1;
  return result == WaitResult::Ready ? 1 : 0;
}

StopEvent::Deadline connection::Now() const {
  return stop_.clock != nullptr ? stop_.clock->Now() : StopEvent::SteadyClock::now();
}

WaitResult connection::WaitOn(int fd, short events, StopEvent::Deadline deadline,
                              int& error) const {
  // Deadlines are on the connection's clock; the wait itself takes real time.
  if (stop_.clock != nullptr) {
    const auto left = std::max(deadline - Now(), StopEvent::SteadyClock::duration::zero());
    deadline = StopEvent::SteadyClock::now() + left;
  }
  const WaitResult result = stop_.event != nullptr
                                ? stop_.event->WaitWithGrace(fd, events, deadline, stop_.grace)
                                : StopEvent::Wait(fd, events, -1, deadline);
  error = result == WaitResult::Failed ? LastSocketError() : 0;
  return result;
}

int connection::getchar(connection* conn, bool poll, char& out) {
  if (conn == nullptr) return MailErrorCode::kNoConnection;
  if (conn->readPosition_ >= conn->filledLength_) {
    const int code = conn->get_buffer(poll);
    if (code != MailErrorCode::kOk) return code;
  }
  out = (*conn->receive_)[conn->readPosition_++];
  return MailErrorCode::kOk;
}

int connection::get_buffer(bool poll) {
  if (!socket_.valid() || !receive_) return MailErrorCode::kNoConnection;
  if (tls_) return ReceiveThroughTls(poll);
  // A reply's wait counts from the command (or the connect), not from its
  // last byte: a server that trickles cannot stretch it.
  const StopEvent::Deadline deadline = poll ? Now() : replyDeadline_;
  int error = 0;
  const int ready = WaitUntil(POLLIN, deadline, error);
  if (ready < 0) {
    if (error == wsa::kEinprogress && poll) return MailErrorCode::kTimedOut;
    Trace("connection::get_buffer() unexpected error from select: ", error);
  } else if (ready == 0 && poll) {
    return MailErrorCode::kTimedOut;
  }
  // After a silent wait the receive reports "would block": a timeout.
  const ssize_t received = ::recv(socket_.get(), receive_->data(), kBufferSize, 0);
  if (received == 0) return MailErrorCode::kConnectionLost;
  if (received < 0) {
    const int receiveError = LastSocketError();
    if (receiveError == wsa::kEwouldblock) return MailErrorCode::kTimedOut;
    if (!IsLostConnection(receiveError)) {
      Trace("connection::get_buffer() unexpected error: ", receiveError);
    }
    return MailErrorCode::kConnectionLost;
  }
  filledLength_ = static_cast<std::uint32_t>(received);
  readPosition_ = 0;
  return MailErrorCode::kOk;
}

int connection::put_data(connection* conn, const char* data, std::size_t length) {
  if (conn == nullptr) return MailErrorCode::kNoConnection;
  if (conn->tls_) {
    const int code = conn->tls_->Write(data, length);
    if (code == MailErrorCode::kOk) {
      conn->replyDeadline_ = StopEvent::SteadyClock::now() + ClampedLimit(conn->waitLimit_);
    }
    return code;
  }
  std::size_t sent = 0;
  while (sent < length) {
    int error = 0;
    const int ready = conn->WaitFor(POLLOUT, conn->waitLimit_, error);
    if (ready < 0) Trace("connection::put_data() unexpected error from select: ", error);
    // A server that has stopped reading makes no room for a whole wait; the
    // kernel may still take a trickle, which would keep us here for ever.
    if (ready == 0) return MailErrorCode::kTimedOut;
    const std::size_t chunk = std::min(length - sent, kSendChunk);
    const ssize_t accepted = ::send(conn->socket_.get(), data + sent, chunk, MSG_NOSIGNAL);
    if (accepted >= 0) {
      sent += static_cast<std::size_t>(accepted);
      continue;
    }
    const int sendError = LastSocketError();
    if (sendError == wsa::kEwouldblock || sendError == wsa::kEinprogress ||
        sendError == wsa::kEintr) {
      continue;
    }
    if (sendError == wsa::kEnotconn) return MailErrorCode::kConnectionLost;
    Trace("connection::put_data() unexpected error from send(): ", sendError);
    return MailErrorCode::kSendFailed;
  }
  conn->replyDeadline_ = conn->Now() + ClampedLimit(conn->waitLimit_);
  return MailErrorCode::kOk;
}

int connection::put_buffered(connection* conn, const char* data, std::size_t length) {
  if (conn == nullptr) return MailErrorCode::kNoConnection;
  if (!conn->send_) return MailErrorCode::kBufferMissing;
  char* const buffer = conn->send_->data();
  while (length > 0) {
    if (conn->sendFill_ + length < kBufferSize) {
      std::memcpy(buffer + conn->sendFill_, data, length);
      conn->sendFill_ += static_cast<std::uint32_t>(length);
      return MailErrorCode::kOk;
    }
    const std::size_t room = kBufferSize - conn->sendFill_;
    std::memcpy(buffer + conn->sendFill_, data, room);
    const int code = put_data(conn, buffer, kBufferSize);
    if (code != MailErrorCode::kOk) return code;
    conn->sendFill_ = 0;
    data += room;
    length -= room;
  }
  return MailErrorCode::kOk;
}

int connection::flush_buffered(connection* conn) {
  if (conn == nullptr) return MailErrorCode::kNoConnection;
  if (conn->sendFill_ == 0) return MailErrorCode::kOk;
  const int code = put_data(conn, conn->send_->data(), conn->sendFill_);
  if (code == MailErrorCode::kOk) conn->sendFill_ = 0;
  return code;
}

int connection::close(connection* conn) {
  if (conn == nullptr) return MailErrorCode::kNoConnection;
  if (conn->tls_) conn->tls_->Shutdown();
  // Linux frees the descriptor even when close reports an error, so it is
  // never closed twice; the failed connection stays registered as Winsock's would.
  if (conn->socket_.valid() && ::close(conn->socket_.release()) != 0) {
    return MailErrorCode::kCloseFailed;
  }
  ConnectionRegistry::Instance().Remove(conn);
  return MailErrorCode::kOk;
}

int connection::start_tls(connection* conn, std::string_view host, std::string_view caFile,
                          std::string& detail) {
  if (conn == nullptr || !conn->socket_.valid()) return MailErrorCode::kNoConnection;
  conn->readPosition_ = conn->filledLength_ = 0;
  auto channel = std::make_unique<TlsChannel>(conn->socket_.get(), [conn](short events, bool poll) {
    return conn->WaitForTls(events, poll);
  });
  const int code = channel->Handshake(host, caFile, detail);
  if (code == MailErrorCode::kOk) conn->tls_ = std::move(channel);
  return code;
}

// TLS waits as plain text does: a reply's wait counts from its command,
// silence is a timeout.
int connection::WaitForTls(short events, bool poll) const {
  int error = 0;
  const auto now = StopEvent::SteadyClock::now();
  const StopEvent::Deadline deadline = poll                     ? now
                                       : (events & POLLIN) != 0 ? replyDeadline_
                                                                : now + ClampedLimit(waitLimit_);
  const int ready = WaitUntil(events, deadline, error);
  if (ready > 0) return MailErrorCode::kOk;
  // As for plain text, a failed wait ends as the silence it stands for.
  if (ready < 0) Trace("connection: unexpected error from select under TLS: ", error);
  return MailErrorCode::kTimedOut;
}

int connection::ReceiveThroughTls(bool poll) {
  std::size_t received = 0;
  const int code = tls_->Read(receive_->data(), kBufferSize, poll, received);
  if (code != MailErrorCode::kOk) return code;
  filledLength_ = static_cast<std::uint32_t>(received);
  readPosition_ = 0;
  return MailErrorCode::kOk;
}

int connection::gethostname(std::string& out, std::size_t size) {
  out.clear();
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return LastSocketError();
  const std::size_t length = ::strnlen(name, sizeof name);
  out.assign(name, size == 0 ? 0 : std::min(length, size - 1));
  return MailErrorCode::kOk;
}

}  // namespace tarnwick
