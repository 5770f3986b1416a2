#include "mail/MessageComposer.h"

namespace tarnwick {

std::string MessageComposer::Compose(std::string_view sender, std::string_view recipients,
                                     std::string_view subject, std::string_view body,
                                     bool /*english*/, std::time_t /*now*/) {
  std::string message = "From: ";
  message += sender;
  message += "\r\nTo: ";
  message += recipients;
  message += "\r\nSubject: ";
  message += subject;
  message += "\r\n\r\n";
  message += body;
  return message;
}

}  // namespace tarnwick
