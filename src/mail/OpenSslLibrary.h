#pragma once

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <string>

namespace tarnwick {

// The functions of OpenSSL's TLS library that mail submission uses.
#define TARNWICK_OPENSSL_FUNCTIONS(X) \
  X(BIO_ctrl_get_write_guarantee)     \
  X(BIO_ctrl_pending)                 \
  X(BIO_free)                         \
  X(BIO_new_bio_pair)                 \
  X(BIO_read)                         \
  X(BIO_write)                        \
  X(ERR_clear_error)                  \
  X(ERR_error_string_n)               \
  X(ERR_peek_last_error)              \
  X(SSL_CIPHER_get_name)              \
  X(SSL_CTX_ctrl)                     \
  X(SSL_CTX_free)                     \
  X(SSL_CTX_load_verify_locations)    \
  X(SSL_CTX_new)                      \
  X(SSL_CTX_set_default_verify_paths) \
  X(SSL_CTX_set_verify)               \
  X(SSL_connect)                      \
  X(SSL_ctrl)                         \
  X(SSL_free)                         \
  X(SSL_get0_param)                   \
  X(SSL_get_current_cipher)           \
  X(SSL_get_error)                    \
  X(SSL_get_verify_result)            \
  X(SSL_get_version)                  \
  X(SSL_is_init_finished)             \
  X(SSL_new)                          \
  X(SSL_read)                         \
  X(SSL_set1_host)                    \
  X(SSL_set_bio)                      \
  X(SSL_set_connect_state)            \
  X(SSL_shutdown)                     \
  X(SSL_write)                        \
  X(TLS_client_method)                \
  X(X509_VERIFY_PARAM_set1_ip_asc)    \
  X(X509_verify_cert_error_string)

// OpenSSL's TLS library, loaded on the first mail that asks for TLS. Loading
// libssl and libcrypto (relocations, their constructors) is the largest part
// of the programs' start-up, and most watches never send a mail over TLS.
// The members carry the functions' own names so that calls read as they do
// in OpenSSL's documentation.
class OpenSslLibrary {
 public:
  // The library, loaded on the first call (thread-safe); null when it cannot
  // be loaded, and `Failure()` says why.
  static const OpenSslLibrary* Get();
  static const std::string& Failure();

#define TARNWICK_OPENSSL_MEMBER(name) decltype(&::name) name = nullptr;
  TARNWICK_OPENSSL_FUNCTIONS(TARNWICK_OPENSSL_MEMBER)
#undef TARNWICK_OPENSSL_MEMBER

 private:
  struct Loaded;
  static const Loaded& Instance();
  OpenSslLibrary() = default;
  bool Load(std::string& failure);
};

}  // namespace tarnwick
