#include "mail/EhloReply.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {
namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

// The words of one reply line after its "250-" or "250 "; the first is the
// keyword, upper-cased. The old "AUTH=PLAIN" form splits at its '='.
std::vector<std::string> WordsOf(std::string_view line) {
  std::vector<std::string> words;
  if (line.size() < 4) return words;
  line.remove_prefix(4);
  std::size_t start = line.find_first_not_of(" \t");
  while (start != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t=", start), line.size());
    words.push_back(Upper(line.substr(start, end - start)));
    start = line.find_first_not_of(" \t=", end);
  }
  return words;
}

}  // namespace

EhloReply::EhloReply(std::string_view reply) {
  bool first = true;
  while (!reply.empty()) {
    const std::size_t end = std::min(reply.find('\n'), reply.size());
    std::string_view line = reply.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The first line greets; the extensions follow it.
    if (!first) lines_.push_back(WordsOf(line));
    first = false;
    reply.remove_prefix(std::min(end + 1, reply.size()));
  }
}

bool EhloReply::Offers(std::string_view keyword) const {
  const std::string wanted = Upper(keyword);
  return std::any_of(lines_.begin(), lines_.end(),
                     [&](const auto& words) { return !words.empty() && words[0] == wanted; });
}

std::vector<std::string> EhloReply::Parameters(std::string_view keyword) const {
  const std::string wanted = Upper(keyword);
  std::vector<std::string> parameters;
  for (const auto& words : lines_) {
    if (!words.empty() && words[0] == wanted)
      parameters.insert(parameters.end(), words.begin() + 1, words.end());
  }
  return parameters;
}

}  // namespace tarnwick
