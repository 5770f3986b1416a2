#include "engine/ComputerEntry.h"

#include "platform/CodePage.h"

namespace tarnwick {
namespace {

// The name takes one byte more than its 128-byte buffer of old: the add
// dialog accepts 128 bytes, and a name is never cut behind the user's back.
constexpr std::array<std::size_t, kFieldCount> kReadLimits = {
    129, 32, 256, 64, 6, 64, 64, 2048, 2048, 2048, 2048, 2048, 64, 2048, 2048};

constexpr std::array<Msg, kFieldCount> kHeadings = {Msg::HeadingComputerName,
                                                    Msg::HeadingIpAddress,
                                                    Msg::HeadingStatus,
                                                    Msg::HeadingCheckService,
                                                    Msg::HeadingPort,
                                                    Msg::HeadingLastUpTime,
                                                    Msg::HeadingLastDownTime,
                                                    Msg::Count,
                                                    Msg::Count,
                                                    Msg::Count,
                                                    Msg::HeadingDownProgram,
                                                    Msg::HeadingRestoreProgram,
                                                    Msg::HeadingLastCheckTime,
                                                    Msg::HeadingNoDefaultMail,
                                                    Msg::HeadingMailAddress};

}  // namespace

std::size_t ReadLimit(Field field) {
  return kReadLimits[FieldIndex(field)];
}

std::string_view CutToReadLimit(Field field, std::string_view text) {
  return CutCp932(text, ReadLimit(field) - 1);
}

const std::string& ColumnHeading(Field field) {
  static const std::string kNone;
  const Msg id = kHeadings[FieldIndex(field)];
  return id == Msg::Count ? kNone : Text(id);
}

CheckMethod MethodOfService(std::string_view checkService) {
  return checkService == "PING" ? CheckMethod::Ping : CheckMethod::TcpPort;
}

int PortNumberOf(std::string_view port) {
  // atoi's rule: leading blanks, an optional sign, then the leading digits;
  // anything else gives 0. At most five characters are read, so no overflow
  // is possible; a negative or too large number is the probe's to refuse.
  const std::string_view text = CutToReadLimit(Field::Port, port);
  std::size_t at = text.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string_view::npos) return 0;
  const bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') ++at;
  int value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
  }
  return negative ? -value : value;
}

const std::string& StatusUnknownText() {
  return Text(Msg::StatusUnknown);
}
const std::string& StatusUpText() {
  return Text(Msg::StatusUp);
}
const std::string& StatusDownText() {
  return Text(Msg::StatusDown);
}

std::string StatusCheckingText(int attempt) {
  std::string text = Text(Msg::StatusChecking);
  text.append(static_cast<std::size_t>(attempt > 0 ? attempt : 0), '.');
  return text;
}

RowState RowStateOfStatus(std::string_view text) {
  const std::string_view status = CutToReadLimit(Field::Status, text);
  if (status == StatusUpText()) return RowState::Up;
  if (status == StatusDownText()) return RowState::Down;
  if (status == StatusUnknownText()) return RowState::Unknown;
  if (status.starts_with(Text(Msg::StatusChecking))) return RowState::Checking;
  return RowState::Other;
}

const std::string& FlagText(bool on) {
  static const std::string kOff;
  return on ? Text(Msg::FlagOn) : kOff;
}

}  // namespace tarnwick
