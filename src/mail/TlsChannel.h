#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// OpenSSL's types, kept out of the headers of the rest of the mail client.
struct ssl_ctx_st;
struct ssl_st;
struct bio_st;

namespace tarnwick {

class OpenSslLibrary;

// TLS on the socket of one mail connection (OpenSSL 3, TLS 1.2 at least,
// loaded on first use).
// OpenSSL never touches the socket itself: it talks to an in-memory pair,
// and this class moves the bytes with send and recv on the non-blocking
// socket, waiting only through the connection's own wait. So the
// connection's limit and its interruption apply to TLS as they do to plain
// text, and a server gone away gives no SIGPIPE.
//
// Every operation returns 0 or a MailErrorCode.
class TlsChannel {
 public:
  // Waits until the socket is ready for `events` (POLLIN, POLLOUT): 0 when
  // ready, else the code to give up with. `poll` asks without waiting.
  using Wait = std::function<int(short events, bool poll)>;

  TlsChannel(int socket, Wait wait);
  ~TlsChannel();
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // Verifies the server's certificate against `caFile` (UTF-8 file name),
  // or the system's trust store when it is empty, and its name against
  // `host`, which also goes out as SNI. On failure `detail` holds what the
  // event log should add: the library's reason, or the host name.
  int Handshake(std::string_view host, std::string_view caFile, std::string& detail);
  // Up to `size` bytes of the server's data into `buffer`; `received` is
  // their count. `poll` returns 4013 at once when nothing has come.
  int Read(char* buffer, std::size_t size, bool poll, std::size_t& received);
  int Write(const char* data, std::size_t length);
  // Says goodbye (close_notify) without waiting for the server.
  void Shutdown();

 private:
  int Prepare(std::string_view host, std::string_view caFile, std::string& detail);
  template <typename Operation>
  int Drive(Operation operation, bool poll, int& result);
  int SendPending(bool poll);
  int ReceiveMore(bool poll);

  int socket_;
  Wait wait_;
  const OpenSslLibrary* tls_;  // null when the library cannot be loaded
  ssl_ctx_st* context_ = nullptr;
  ssl_st* ssl_ = nullptr;
  bio_st* network_ = nullptr;  // our end of the pair; OpenSSL holds the other
  std::string reason_;         // the library's reason for the last failure
};

}  // namespace tarnwick
