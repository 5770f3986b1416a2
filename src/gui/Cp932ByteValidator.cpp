#include "gui/Cp932ByteValidator.h"

#include <algorithm>

#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

// The length in QChars of the character that ends at `end` (a surrogate pair
// counts as one character).
int CharacterBefore(const QString& text, int end) {
  if (end >= 2 && text.at(end - 1).isLowSurrogate() && text.at(end - 2).isHighSurrogate()) return 2;
  return 1;
}

}  // namespace

Cp932ByteValidator::Cp932ByteValidator(std::size_t limit, QObject* parent, bool digitsOnly)
    : QValidator(parent), limit_(limit), digitsOnly_(digitsOnly) {}

QValidator::State Cp932ByteValidator::validate(QString& input, int& pos) const {
  // 0-9 only: full-width digits are no digits to the conversions.
  if (digitsOnly_ && std::any_of(input.cbegin(), input.cend(), [](QChar c) {
        return c < QLatin1Char('0') || c > QLatin1Char('9');
      }))
    return Invalid;
  std::size_t length = Cp932Length(input);
  if (length <= limit_) return Acceptable;
  // What was just typed or pasted stands before the cursor: drop it first.
  int cut = pos;
  while (length > limit_ && cut > 0) {
    const int width = CharacterBefore(input, cut);
    length -= Cp932Length(input.mid(cut - width, width));
    cut -= width;
  }
  input.remove(cut, pos - cut);
  pos = cut;
  while (length > limit_ && !input.isEmpty()) {
    const int width = CharacterBefore(input, static_cast<int>(input.size()));
    length -= Cp932Length(input.right(width));
    input.chop(width);
  }
  pos = std::min(pos, static_cast<int>(input.size()));
  return Acceptable;
}

}  // namespace tarnwick
