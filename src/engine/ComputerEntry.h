#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Messages.h"

namespace tarnwick {

// The fifteen text fields of one watched computer, in column order.
enum class Field {
  ComputerName = 0,
  IpAddress,
  Status,
  CheckService,
  Port,
  LastUpTime,
  LastDownTime,
  ByMail,
  ByNetsend,
  ByEventlog,
  DownProgram,
  RestoreProgram,
  LastCheckTime,
  NoDefaultMail,
  MailAddress,
};

inline constexpr std::size_t kFieldCount = 15;

constexpr std::size_t FieldIndex(Field field) {
  return static_cast<std::size_t>(field);
}

// The buffer size with which the check cycle reads a field: longer text is
// cut to this size less one byte.
std::size_t ReadLimit(Field field);

// The text `text` as a read of `field` returns it (cut, never splitting a
// double-byte character).
std::string_view CutToReadLimit(Field field, std::string_view text);

// The column heading (CP932); empty for the three icon columns.
const std::string& ColumnHeading(Field field);

enum class CheckMethod { Ping, TcpPort };

// "PING" exactly means a ping; anything else a TCP connect to Port.
CheckMethod MethodOfService(std::string_view checkService);
// The decimal value of a Port text as atoi reads it (blanks, a sign,
// digits), cut to its read limit first; text that is not a number gives 0.
int PortNumberOf(std::string_view port);

struct ComputerEntry {
  std::array<std::string, kFieldCount> fields;

  std::string& operator[](Field field) { return fields[FieldIndex(field)]; }
  const std::string& operator[](Field field) const { return fields[FieldIndex(field)]; }

  CheckMethod Method() const { return MethodOfService((*this)[Field::CheckService]); }
  int PortNumber() const { return PortNumberOf((*this)[Field::Port]); }
};

// The status texts, CP932.
const std::string& StatusUnknownText();
const std::string& StatusUpText();
const std::string& StatusDownText();
// "確認中" followed by one dot per attempt.
std::string StatusCheckingText(int attempt);

// What a row's Status shows, as a value: the front ends read it instead of
// the text. Other is a text that is none of the four (from a hand-made list
// file); the cycle treats it as an inconsistency.
enum class RowState { Unknown, Checking, Up, Down, Other };

// The state a Status text shows; the text is cut to its read limit first,
// as the cycle reads it.
RowState RowStateOfStatus(std::string_view text);

// The flag text "○" for true, the empty text for false.
const std::string& FlagText(bool on);

}  // namespace tarnwick
