#include "mail/SmtpAuth.h"

#include <algorithm>
#include <vector>

#include "mail/Base64.h"
#include "mail/EhloReply.h"

namespace tarnwick {

SmtpAuth::Mechanism SmtpAuth::Choose(const EhloReply& reply) {
  const std::vector<std::string> offered = reply.Parameters("AUTH");
  const auto has = [&](std::string_view name) {
    return std::find(offered.begin(), offered.end(), name) != offered.end();
  };
  if (has("PLAIN")) return Mechanism::Plain;
  if (has("LOGIN")) return Mechanism::Login;
  return Mechanism::None;
}

std::string SmtpAuth::PlainResponse(std::string_view user, std::string_view password) {
  std::string message;
  message += '\0';
  message += user;
  message += '\0';
  message += password;
  return Base64(message);
}

std::string SmtpAuth::Base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const auto quantum = Base64Quantum(bytes.substr(i, 3));
    out.append(quantum.data(), quantum.size());
  }
  return out;
}

}  // namespace tarnwick
