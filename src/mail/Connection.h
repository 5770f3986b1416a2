#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/MonotonicClock.h"
#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

namespace tarnwick {

class TlsChannel;
// The stop that a connection's waits watch: after it, each wait has `grace`
// more (from the stop) before the dialogue is abandoned. None by default.
// `clock`: what the waits' deadlines are counted on (the steady clock when
// null; tests put in one that runs ahead).
struct ConnectionStop {
  const StopEvent* event = nullptr;
  std::chrono::milliseconds grace{0};
  const MonotonicClock* clock = nullptr;
};

// One TCP connection of the mail client to a mail server. Replies are read
// one character at a time from a 512-byte receive buffer; data goes out
// directly or through a 512-byte send buffer. Every wait on the socket is
// bounded by the wait limit (30 s unless a caller asks for another), a reply
// by that limit from the command that asked for it, and the whole dialogue
// by kDialogueBound.
//
// The seven entry points are static and take the connection by pointer, so
// that a missing connection is answered with 4010 instead of a crash. All
// return 0 or a MailErrorCode. Connections live in the ConnectionRegistry
// from `connect` until a successful `close`.
class connection {
 public:
  static constexpr std::size_t kBufferSize = 512;
  static constexpr std::size_t kSendChunk = 1024;
  static constexpr std::chrono::milliseconds kDefaultWaitLimit{30000};
  // The whole dialogue, however its server paces its replies.
  static constexpr std::chrono::minutes kDialogueBound{5};

  // Opens a connection to `host` (dotted address or name) at `service`
  // (decimal port or service name). On failure `out` is null and nothing
  // stays registered.
  static int connect(std::string_view host, std::string_view service, connection*& out,
                     std::chrono::milliseconds waitLimit = kDefaultWaitLimit,
                     ConnectionStop stop = {});
  // The next byte of the server's data. `poll` asks without waiting.
  static int getchar(connection* conn, bool poll, char& out);
  // Sends everything before returning.
  static int put_data(connection* conn, const char* data, std::size_t length);
  static int put_buffered(connection* conn, const char* data, std::size_t length);
  static int flush_buffered(connection* conn);
  // On success the connection is freed and `conn` must not be used again.
  static int close(connection* conn);
  // Turns the open connection into TLS with `host` (see TlsChannel): from
  // then on every read and send above goes through it. Bytes received in
  // plain text and not yet read are dropped, never taken as protected.
  static int start_tls(connection* conn, std::string_view host, std::string_view caFile,
                       std::string& detail);
  // This machine's host name, cut to `size` - 1 bytes. Failure gives a
  // Winsock error number, outside the mail codes.
  static int gethostname(std::string& out, std::size_t size);

  explicit connection(std::chrono::milliseconds waitLimit, ConnectionStop stop = {});
  ~connection();
  connection(const connection&) = delete;
  connection& operator=(const connection&) = delete;

  // The queued bytes of the send buffer, for tests of the block rule.
  std::size_t sendFill() const { return sendFill_; }

 private:
  using Buffer = std::array<char, kBufferSize>;

  int Open(std::string_view host, std::string_view service);
  int get_buffer(bool poll);
  int WaitFor(short events, std::chrono::milliseconds limit, int& error) const;
  int WaitForTls(short events, bool poll) const;
  int ReceiveThroughTls(bool poll);
  int WaitUntil(short events, StopEvent::Deadline deadline, int& error) const;
  StopEvent::Deadline Now() const;
  // The one wait of every other: the stop's grace applies when there is one.
  WaitResult WaitOn(int fd, short events, StopEvent::Deadline deadline, int& error) const;
  int AwaitConnected();

  UniqueFd socket_;
  std::unique_ptr<Buffer> receive_;
  std::uint32_t readPosition_ = 0;
  std::uint32_t filledLength_ = 0;
  std::unique_ptr<Buffer> send_;
  std::uint32_t sendFill_ = 0;
  const std::chrono::milliseconds configuredLimit_;
  // Zero until the connection is open; the configured limit afterwards.
  std::chrono::milliseconds waitLimit_{0};
  std::unique_ptr<TlsChannel> tls_;  // set once TLS has started
  const ConnectionStop stop_;
  // Set once open: the end of the whole dialogue, and of the wait for the
  // reply to the last thing sent.
  StopEvent::Deadline dialogueEnd_{};
  StopEvent::Deadline replyDeadline_{};
};

}  // namespace tarnwick
