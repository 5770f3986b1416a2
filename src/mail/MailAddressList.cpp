#include "mail/MailAddressList.h"

#include <cstddef>

#include "platform/CodePage.h"

namespace tarnwick {

std::optional<Msg> ValidateMailAddressList(std::string_view list) {
  std::size_t atSigns = 0;
  std::size_t semicolons = 0;
  char lastMark = '\0';
  for (std::size_t at = 0; at < list.size(); ++at) {
    const char c = list[at];
    if (IsCp932LeadByte(static_cast<unsigned char>(c))) {
      // The trail byte may be '@' (0x40); it belongs to its character.
      ++at;
      continue;
    }
    if (c == ' ') return Msg::MailAddressBlank;
    if (c != '@' && c != ';') continue;
    if (c == lastMark) return Msg::MailAddressSeparatorPosition;
    lastMark = c;
    ++(c == '@' ? atSigns : semicolons);
  }
  if (atSigns != semicolons + 1 && !list.empty()) return Msg::MailAddressCountMismatch;
  return std::nullopt;
}

}  // namespace tarnwick
