#pragma once

#include <cstddef>
#include <string>

namespace tarnwick {

// SmtpSecurity: how the connection to the mail server is protected.
enum class SmtpProtection { None = 0, StartTls = 1, Tls = 2 };

// How a mail is submitted: the protection, the port and the credentials.
// The default is plain SMTP with HELO and no authentication.
struct SmtpSubmission {
  static constexpr std::size_t kCredentialCapacity = 128;
  // The password of a service comes from this file of its credentials
  // folder ($CREDENTIALS_DIRECTORY) when the registry holds none.
  static constexpr const char* kCredentialName = "smtp-password";

  SmtpProtection protection = SmtpProtection::None;
  // 0 takes the protection's own default.
  int port = 0;
  // UTF-8, as AUTH sends them; an empty user means no authentication.
  std::string user;
  std::string password;
  // The CA certificates that vouch for the server (a file name in the file
  // system's UTF-8); empty for the system's trust store.
  std::string caFile;

  // The settings as stored (CP932 texts): SmtpSecurity, SmtpPort, SmtpUser,
  // SmtpPassword, SmtpCaFile. A security value outside 0 to 2 protects with
  // TLS from the start rather than not at all.
  static SmtpSubmission FromSettings(int security, int port, const std::string& user,
                                     const std::string& password, const std::string& caFile);

  bool Authenticates() const { return !user.empty(); }
  // EHLO instead of HELO.
  bool Extended() const { return protection != SmtpProtection::None || Authenticates(); }
  // The service to connect to when the server text names none: the "smtp"
  // service without protection, 587 for STARTTLS, 465 for TLS, or the port.
  std::string DefaultService() const;
};

// The password in $CREDENTIALS_DIRECTORY/smtp-password (UTF-8, one trailing
// line break dropped, cut to the capacity); empty when there is none.
std::string CredentialPassword();

}  // namespace tarnwick
