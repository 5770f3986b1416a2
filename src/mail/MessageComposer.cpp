#include "mail/MessageComposer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <utility>

#include "mail/Base64.h"
#include "mail/HeaderEncoder.h"
#include "mail/OutOfMemory.h"
#include "mail/StringBuffer.h"

namespace tarnwick {
namespace {

constexpr std::array<const char*, 7> kDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::string_view kTagCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kCrLf = "\r\n";

const char* NameAt(const auto& names, int index) {
  const auto at = static_cast<std::size_t>(index);
  return index >= 0 && at < names.size() ? names[at] : "???";
}

bool IsControl(char c) {
  return static_cast<unsigned char>(c) < 0x20;
}

// What separates the recipients of a list, as the RCPT loop reads it.
constexpr std::string_view kRecipientSeparators{";\r\n\t", 4};
// RFC 5322 asks for header lines of at most 78 characters.
constexpr std::size_t kFoldColumn = 78;

std::string TrimmedBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The mailbox address within a sender: "<...>" after a display name, else the
// first word, which a comment in parentheses may follow.
std::pair<std::size_t, std::size_t> AddressSpan(std::string_view sender) {
  if (const std::size_t open = sender.rfind('<'); open != std::string_view::npos) {
    const std::size_t close = sender.find('>', open);
    return {open, close == std::string_view::npos ? sender.size() : close + 1};
  }
  const std::size_t start = std::min(sender.find_first_not_of(' '), sender.size());
  return {start, std::min(sender.find_first_of(" (", start), sender.size())};
}

bool IsPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

std::string Delimiter(std::string_view tag) {
  std::string line = "--";
  line += MessageComposer::kBoundaryPrefix;
  line += tag;
  return line;
}

}  // namespace

std::string MessageComposer::NumericZone(long secondsEastOfUtc) {
  // The absolute value before the split: hours and minutes of -03:30 are
  // "03" and "30", never "-03" and "-30".
  const bool west = secondsEastOfUtc < 0;
  const unsigned long magnitude = west ? 0ul - static_cast<unsigned long>(secondsEastOfUtc)
                                       : static_cast<unsigned long>(secondsEastOfUtc);
  const unsigned long minutes = magnitude / 60;
  char zone[32];
  std::snprintf(zone, sizeof zone, "%c%02lu%02lu", west ? '-' : '+', minutes / 60, minutes % 60);
  return zone;
}

std::string MessageComposer::DateLine(std::time_t now) {
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) local = std::tm{};
  char line[96];
  std::snprintf(line, sizeof line, "Date: %s, %.2d %s %.2d %.2d:%.2d:%.2d ",
                NameAt(kDayNames, local.tm_wday), local.tm_mday, NameAt(kMonthNames, local.tm_mon),
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  std::string date = line;
  date += NumericZone(local.tm_gmtoff);
  date += kCrLf;
  return date;
}

std::string MessageComposer::MailBoundaryTag(std::time_t seed) {
  std::mt19937 generator(static_cast<std::uint32_t>(seed));
  std::string tag;
  tag.reserve(kBoundaryTagLength);
  for (std::size_t i = 0; i < kBoundaryTagLength; ++i) {
    tag += kTagCharacters[generator() % kTagCharacters.size()];
  }
  return tag;
}

std::string MessageComposer::Base64Body(std::string_view body) {
  std::string text;
  text.reserve(body.size() / 3 * 4 + body.size() / kBodyBytesPerLine * 2 + 8);
  for (std::size_t at = 0; at < body.size(); at += 3) {
    if (at % kBodyBytesPerLine == 0) text += kCrLf;
    const std::array<char, 4> quantum = Base64Quantum(body.substr(at, 3));
    text.append(quantum.data(), quantum.size());
  }
  return text;
}

std::string MessageComposer::PlainHeaderValue(std::string_view value) {
  std::string plain;
  plain.reserve(value.size());
  for (char c : value) {
    if (!IsControl(c)) plain += c;
  }
  return plain;
}

std::string MessageComposer::RecipientsHeaderValue(std::string_view recipients) {
  std::string list;
  list.reserve(recipients.size() + recipients.size() / 4);
  // Where the value starts on its line, after "To: ".
  std::size_t column = 4;
  for (std::size_t at = 0; at < recipients.size();) {
    const std::size_t end =
        std::min(recipients.find_first_of(kRecipientSeparators, at), recipients.size());
    const std::string recipient = TrimmedBlanks(PlainHeaderValue(recipients.substr(at, end - at)));
    at = end + 1;
    if (recipient.empty()) continue;
    if (!list.empty()) {
      // Fold rather than let one line grow past what readers show whole.
      const bool fold = column + 2 + recipient.size() > kFoldColumn;
      list += fold ? ",\r\n " : ", ";
      column = fold ? 1 : column + 2;
    }
    list += recipient;
    column += recipient.size();
  }
  return list;
}

std::string MessageComposer::EncodedHeaderValue(std::string_view value) {
  StringBuffer encoded;
  HeaderEncoder::EncodeHeaderText(encoded, value, kEncodedLineLimit);
  return std::string(encoded.view());
}

std::string MessageComposer::EncodedSender(std::string_view sender) {
  std::string encoded = EncodedHeaderValue(sender);
  const auto [begin, end] = AddressSpan(sender);
  const std::string_view address = sender.substr(begin, end - begin);
  if (!IsPlainAscii(address) || encoded.find(address) != std::string::npos) return encoded;

  std::string_view name = sender.substr(0, begin);
  while (!name.empty() && (name.back() == ' ' || IsControl(name.back())))
    name.remove_suffix(1);
  encoded = EncodedHeaderValue(name);
  // The fold stands for the blank between the name and the address.
  if (!encoded.empty()) encoded += HeaderEncoder::kFold;
  encoded += address;
  encoded += EncodedHeaderValue(sender.substr(end));
  return encoded;
}

std::string MessageComposer::HeaderBlock(std::string_view sender, std::string_view recipients,
                                         std::string_view subject, bool english,
                                         std::string_view tag, std::time_t now) {
  std::string header = DateLine(now);
  header += "From: ";
  header += english ? PlainHeaderValue(sender) : EncodedSender(sender);
  header += kCrLf;
  header += "To: ";
  header += RecipientsHeaderValue(recipients);
  header += kCrLf;
  header += "Subject: ";
  header += english ? PlainHeaderValue(subject) : EncodedHeaderValue(subject);
  header += kCrLf;
  if (!english) {
    header += "MIME-Version: 1.0\r\n";
    header += "Content-Type: Multipart/Mixed; boundary=";
    header += kBoundaryPrefix;
    header += tag;
    header += kCrLf;
  }
  header += "X-Mailer: TarnwickMail 1.0 \r\n";
  if (header.size() >= kHeaderArea) throw OutOfMemory();
  return header;
}

std::string MessageComposer::Compose(std::string_view sender, std::string_view recipients,
                                     std::string_view subject, std::string_view body, bool english,
                                     std::time_t now) {
  const std::string tag = MailBoundaryTag(now);
  std::string message = HeaderBlock(sender, recipients, subject, english, tag, now);
  if (english) {
    message.reserve(message.size() + 2 + body.size());
    message += kCrLf;
    message += body;
    return message;
  }

  const std::string delimiter = Delimiter(tag);
  std::string encodedBody = Base64Body(body);
  message.reserve(message.size() + 2 * delimiter.size() + encodedBody.size() + 128);
  message += kCrLf;
  message += delimiter;
  message += kCrLf;
  // Without a charset a reader takes the part for US-ASCII.
  message += "Content-Type: text/plain; charset=Shift_JIS\r\n";
  message += "Content-Transfer-Encoding: BASE64\r\n";
  message += kCrLf;
  message += encodedBody;
  message += kCrLf;
  message += delimiter;
  message += "--";
  message += kCrLf;
  return message;
}

}  // namespace tarnwick
