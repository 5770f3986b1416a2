#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The extensions a server lists in its reply to EHLO ("250-STARTTLS",
// "250 AUTH PLAIN LOGIN"). Keywords compare without regard to case.
class EhloReply {
 public:
  explicit EhloReply(std::string_view reply);

  bool Offers(std::string_view keyword) const;
  // The words after the keyword on its line ("AUTH=LOGIN" counts too).
  std::vector<std::string> Parameters(std::string_view keyword) const;

 private:
  std::vector<std::vector<std::string>> lines_;
};

}  // namespace tarnwick
