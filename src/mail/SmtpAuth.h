#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

class EhloReply;

// AUTH PLAIN (RFC 4616) and AUTH LOGIN: which one a server allows, and the
// base64 texts they send. Credentials are UTF-8.
class SmtpAuth {
 public:
  enum class Mechanism { None, Plain, Login };

  // PLAIN when offered, else LOGIN when offered, else None.
  static Mechanism Choose(const EhloReply& reply);
  // The initial response of AUTH PLAIN: base64 of NUL user NUL password.
  static std::string PlainResponse(std::string_view user, std::string_view password);
  // One line of base64, without line breaks.
  static std::string Base64(std::string_view bytes);
};

}  // namespace tarnwick
