#include "platform/Messages.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "platform/MessageCatalogue.h"

namespace tarnwick {
namespace {

constexpr std::size_t kCount = static_cast<std::size_t>(Msg::Count);

// The catalogue in CP932, in Msg order, as the build encoded it.
constexpr std::string_view kCp932Catalogue[] = {
#include "MessagesCp932.inc"
};
static_assert(std::size(kCp932Catalogue) == kCount, "the encoded catalogue is out of date");

std::size_t IndexOf(Msg id) {
  return static_cast<std::size_t>(id);
}

}  // namespace

const std::string& Text(Msg id) {
  static const std::array<std::string, kCount> texts = [] {
    std::array<std::string, kCount> all;
    for (std::size_t i = 0; i < kCount; ++i)
      all[i] = kCp932Catalogue[i];
    return all;
  }();
  return texts[IndexOf(id)];
}

std::string_view Utf8Text(Msg id) {
  return kMessageCatalogue[IndexOf(id)].utf8;
}

std::string FormatText(Msg id, std::initializer_list<std::string_view> arguments) {
  const std::string& pattern = Text(id);
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const auto index = static_cast<std::size_t>(next - '1');
    if (pattern[i] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
      out += *(arguments.begin() + index);
      ++i;
    } else {
      out.push_back(pattern[i]);
    }
  }
  return out;
}

}  // namespace tarnwick
