#pragma once

#include <cstddef>
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
  // The header lines up to X-Mailer must fit this area, terminator included;
  // the settings' limits keep them far below it. A longer header throws
  // OutOfMemory (a std::bad_alloc) rather than go out truncated.
  static constexpr std::size_t kHeaderArea = 16384;
  static constexpr std::size_t kBoundaryTagLength = 21;
  static constexpr std::string_view kBoundaryPrefix = "TarnwickMailBoundary-";
  // 72 columns less "Subject: ", for the From line too.
  static constexpr std::size_t kEncodedLineLimit = 72 - 9;
  static constexpr std::size_t kBodyBytesPerLine = 54;

  static std::string Compose(std::string_view sender, std::string_view recipients,
                             std::string_view subject, std::string_view body, bool english,
                             std::time_t now);

  // "Date: Mon, 04 Jun 2007 09:05:00 +0900" and CR LF, in local time.
  static std::string DateLine(std::time_t now);

  // "+0900", "-0330": the sign, then hours and minutes of the offset's
  // absolute value. East of UTC and UTC itself are '+'.
  static std::string NumericZone(long secondsEastOfUtc);

  // 21 letters and digits drawn from a generator seeded with `seed`, so one
  // second gives one tag.
  static std::string MailBoundaryTag(std::time_t seed);

  // Base64 of the body, a CR LF before every 54 input bytes (72 characters),
  // none after the last line; empty for an empty body.
  static std::string Base64Body(std::string_view body);

  // A header value with every control character dropped, so that it cannot
  // end its line and start another header.
  static std::string PlainHeaderValue(std::string_view value);

  // The sender encoded for the From line. The encoder folds wherever a line
  // grows too long, also inside the address, which would then read
  // "watch@exa mple.com"; when that happens the address goes unbroken onto a
  // line of its own (or stays at the start of its line) instead.
  static std::string EncodedSender(std::string_view sender);

  // The recipient list for the To line: the recipients of the ';'-separated
  // list (CR, LF and TAB separate them too) joined by ", ", as RFC 5322
  // asks, so that mail readers show every one; empty recipients and control
  // characters are dropped, and a long list is folded after a comma.
  static std::string RecipientsHeaderValue(std::string_view recipients);

 private:
  static std::string EncodedHeaderValue(std::string_view value);
  static std::string HeaderBlock(std::string_view sender, std::string_view recipients,
                                 std::string_view subject, bool english, std::string_view tag,
                                 std::time_t now);
};

}  // namespace tarnwick
