#include "mail/TlsChannel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <utility>

#include "mail/MailErrorCode.h"
#include "mail/MailTrace.h"
#include "mail/OpenSslLibrary.h"

namespace tarnwick {
namespace {

// The largest piece handed to SSL_write: one TLS record.
constexpr std::size_t kRecordSize = 16384;
// Stands for a failure of the protocol itself until the caller names it.
constexpr int kProtocolFailure = MailErrorCode::kTlsHandshakeFailed;

std::string LibraryReason(const OpenSslLibrary& tls) {
  const unsigned long error = tls.ERR_peek_last_error();
  if (error == 0) return "connection closed during the TLS handshake";
  std::array<char, 256> text{};
  tls.ERR_error_string_n(error, text.data(), text.size());
  return text.data();
}

bool IsAddress(const std::string& host) {
  in6_addr scratch{};
  return ::inet_pton(AF_INET, host.c_str(), &scratch) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), &scratch) == 1;
}

bool IsRetry(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

TlsChannel::TlsChannel(int socket, Wait wait)
    : socket_(socket), wait_(std::move(wait)), tls_(OpenSslLibrary::Get()) {}

TlsChannel::~TlsChannel() {
  if (tls_ == nullptr) return;
  tls_->SSL_free(ssl_);  // frees OpenSSL's end of the pair with it
  tls_->BIO_free(network_);
  tls_->SSL_CTX_free(context_);
}

int TlsChannel::Handshake(std::string_view host, std::string_view caFile, std::string& detail) {
  const std::string hostText(host);
  MailTrace::Write("TLS handshake with " + hostText);
  int code = Prepare(hostText, caFile, detail);
  if (code != MailErrorCode::kOk) {
    MailTrace::Write("TLS failed: " + detail);
    return code;
  }
  int result = 0;
  code = Drive([this] { return tls_->SSL_connect(ssl_); }, false, result);
  if (code == MailErrorCode::kOk) {
    MailTrace::Write(std::string("TLS established: ") + tls_->SSL_get_version(ssl_) + " " +
                     tls_->SSL_CIPHER_get_name(tls_->SSL_get_current_cipher(ssl_)));
    return code;
  }
  if (code == kProtocolFailure) {
    const long verified = tls_->SSL_get_verify_result(ssl_);
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH) {
      code = MailErrorCode::kCertificateNameMismatch;
      detail = hostText;
    } else if (verified != X509_V_OK) {
      code = MailErrorCode::kCertificateNotTrusted;
      detail = tls_->X509_verify_cert_error_string(verified);
    } else {
      detail = reason_;
    }
    MailTrace::Write("TLS failed: " + reason_);
  } else {
    MailTrace::Write("TLS failed: " + std::to_string(code));
  }
  return code;
}

int TlsChannel::Prepare(std::string_view host, std::string_view caFile, std::string& detail) {
  const std::string hostText(host);
  const std::string caText(caFile);
  if (tls_ == nullptr) {
    detail = OpenSslLibrary::Failure();
    return MailErrorCode::kTlsHandshakeFailed;
  }
  context_ = tls_->SSL_CTX_new(tls_->TLS_client_method());
  const bool trustLoaded =
      context_ != nullptr && (caText.empty() ? tls_->SSL_CTX_set_default_verify_paths(context_) == 1
                                             : tls_->SSL_CTX_load_verify_locations(
                                                   context_, caText.c_str(), nullptr) == 1);
  if (!trustLoaded) {
    detail = LibraryReason(*tls_) + (caText.empty() ? "" : " (" + caText + ")");
    return MailErrorCode::kTlsHandshakeFailed;
  }
  // SSL_CTX_set_min_proto_version, a macro over SSL_CTX_ctrl.
  tls_->SSL_CTX_ctrl(context_, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
  tls_->SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);

  bio_st* inner = nullptr;
  ssl_ = tls_->SSL_new(context_);
  if (ssl_ == nullptr || tls_->BIO_new_bio_pair(&inner, 0, &network_, 0) != 1) {
    detail = LibraryReason(*tls_);
    return MailErrorCode::kTlsHandshakeFailed;
  }
  tls_->SSL_set_bio(ssl_, inner, inner);
  // A name goes out as SNI and must match the certificate's names; an
  // address (never sent as SNI) must match its addresses.
  bool named = false;
  if (IsAddress(hostText)) {
    named = tls_->X509_VERIFY_PARAM_set1_ip_asc(tls_->SSL_get0_param(ssl_), hostText.c_str()) == 1;
  } else {
    // SSL_set_tlsext_host_name without its macro's C cast.
    std::string sniName = hostText;
    named = tls_->SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                           sniName.data()) == 1 &&
            tls_->SSL_set1_host(ssl_, hostText.c_str()) == 1;
  }
  if (!named) {
    detail = LibraryReason(*tls_);
    return MailErrorCode::kTlsHandshakeFailed;
  }
  tls_->SSL_set_connect_state(ssl_);
  return MailErrorCode::kOk;
}

// Runs one OpenSSL operation to its end: what it wants to send goes out,
// and what it wants to read is fetched, each through the connection's wait.
template <typename Operation>
int TlsChannel::Drive(Operation operation, bool poll, int& result) {
  if (ssl_ == nullptr) return kProtocolFailure;  // no handshake was prepared
  for (;;) {
    tls_->ERR_clear_error();
    result = operation();
    const int error = result > 0 ? SSL_ERROR_NONE : tls_->SSL_get_error(ssl_, result);
    if (error == SSL_ERROR_SSL || error == SSL_ERROR_SYSCALL) reason_ = LibraryReason(*tls_);
    const bool hadOutput = tls_->BIO_ctrl_pending(network_) > 0;
    if (const int code = SendPending(false); code != MailErrorCode::kOk) return code;
    if (result > 0) return MailErrorCode::kOk;
    if (error == SSL_ERROR_WANT_READ) {
      if (const int code = ReceiveMore(poll); code != MailErrorCode::kOk) return code;
      continue;
    }
    // The pair was full; it has room again once its bytes went out.
    if (error == SSL_ERROR_WANT_WRITE && hadOutput) continue;
    if (error == SSL_ERROR_ZERO_RETURN) return MailErrorCode::kConnectionLost;
    return kProtocolFailure;
  }
}

int TlsChannel::SendPending(bool poll) {
  std::array<char, 4096> chunk{};
  while (tls_->BIO_ctrl_pending(network_) > 0) {
    const int taken = tls_->BIO_read(network_, chunk.data(), static_cast<int>(chunk.size()));
    if (taken <= 0) break;
    const auto length = static_cast<std::size_t>(taken);
    std::size_t sent = 0;
    while (sent < length) {
      if (const int code = wait_(POLLOUT, poll); code != MailErrorCode::kOk) return code;
      const ssize_t accepted = ::send(socket_, chunk.data() + sent, length - sent, MSG_NOSIGNAL);
      if (accepted >= 0) {
        sent += static_cast<std::size_t>(accepted);
      } else if (!IsRetry(errno)) {
        return MailErrorCode::kConnectionLost;
      }
    }
  }
  return MailErrorCode::kOk;
}

int TlsChannel::ReceiveMore(bool poll) {
  if (const int code = wait_(POLLIN, poll); code != MailErrorCode::kOk) return code;
  std::array<char, 4096> chunk{};
  const std::size_t room = std::min(tls_->BIO_ctrl_get_write_guarantee(network_), chunk.size());
  const ssize_t received = ::recv(socket_, chunk.data(), room, 0);
  if (received == 0) return MailErrorCode::kConnectionLost;
  if (received < 0) {
    // As for plain text: nothing after a whole wait is a timeout.
    return IsRetry(errno) ? MailErrorCode::kTimedOut : MailErrorCode::kConnectionLost;
  }
  tls_->BIO_write(network_, chunk.data(), static_cast<int>(received));
  return MailErrorCode::kOk;
}

int TlsChannel::Read(char* buffer, std::size_t size, bool poll, std::size_t& received) {
  received = 0;
  int result = 0;
  const int want = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
  const int code = Drive([&] { return tls_->SSL_read(ssl_, buffer, want); }, poll, result);
  if (code == kProtocolFailure) {
    MailTrace::Write("TLS failed: " + reason_);
    return MailErrorCode::kConnectionLost;
  }
  if (code == MailErrorCode::kOk) received = static_cast<std::size_t>(result);
  return code;
}

int TlsChannel::Write(const char* data, std::size_t length) {
  std::size_t sent = 0;
  while (sent < length) {
    const int piece = static_cast<int>(std::min(length - sent, kRecordSize));
    int result = 0;
    const int code =
        Drive([&] { return tls_->SSL_write(ssl_, data + sent, piece); }, false, result);
    if (code == kProtocolFailure) {
      MailTrace::Write("TLS failed: " + reason_);
      return MailErrorCode::kConnectionLost;
    }
    if (code != MailErrorCode::kOk) return code;
    sent += static_cast<std::size_t>(result);
  }
  return MailErrorCode::kOk;
}

void TlsChannel::Shutdown() {
  if (ssl_ == nullptr || tls_->SSL_is_init_finished(ssl_) != 1) return;
  tls_->ERR_clear_error();
  tls_->SSL_shutdown(ssl_);
  SendPending(true);
}

}  // namespace tarnwick
