#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tarnwick {

// Turns the texts of one mail into its complete message text: the header
// block and the body, every line the composer writes ending in CR LF.
// `english` selects the plain English form, else the Japanese MIME form.
// `now` is the local time of the Date line and the seed of the boundary tag.
// Throws std::bad_alloc when memory runs out; the mail is then not sent.
class MessageComposer {
 public:
  static std::string Compose(std::string_view sender, std::string_view recipients,
                             std::string_view subject, std::string_view body, bool english,
                             std::time_t now);
};

}  // namespace tarnwick
