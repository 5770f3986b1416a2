#include "settings/ListFileParser.h"

#include <algorithm>

namespace tarnwick {
namespace {

constexpr std::string_view kMagic = "ZNRQ";

bool IsSeparator(char c) {
  return c == ',' || c == '\r' || c == '\n';
}

}  // namespace

bool ListFileParser::Fail(Result result) {
  stage_ = Stage::Failed;
  failure_ = result;
  rows_.clear();
  return false;
}

bool ListFileParser::Feed(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    switch (stage_) {
      case Stage::Failed:
        return false;
      case Stage::Magic:
        magic_.push_back(c);
        if (magic_.size() == kMagic.size()) {
          if (magic_ != kMagic) return Fail(Result::WrongMagic);
          stage_ = Stage::MagicLineEnd;
        }
        break;
      case Stage::MagicLineEnd:
        // Taken as the magic line's CR whatever it is.
        stage_ = Stage::MagicLf;
        break;
      case Stage::MagicLf:
        stage_ = Stage::Body;
        if (c != '\n' && !BodyByte(c)) return false;
        break;
      case Stage::Body:
        if (const std::size_t taken = TakeFieldRun(bytes.substr(i)); taken > 0) {
          i += taken - 1;
        } else if (!BodyByte(c)) {
          return false;
        }
        break;
    }
  }
  return stage_ != Stage::Failed;
}

std::size_t ListFileParser::TakeFieldRun(std::string_view bytes) {
  if (skipLf_) return 0;
  const std::size_t room = std::min(bytes.size(), kFieldCapacity - field_.size());
  std::size_t taken = 0;
  while (taken < room && !IsSeparator(bytes[taken]))
    ++taken;
  field_.append(bytes.data(), taken);
  return taken;
}

bool ListFileParser::BodyByte(char c) {
  if (skipLf_) {
    skipLf_ = false;
    if (c == '\n') return true;
  }
  if (IsSeparator(c)) return EndField(c);
  if (field_.size() >= kFieldCapacity) {
    // A name starts its row; any later field belongs to the last row.
    failedRow_ = rows_.size() + (fieldIndex_ == 0 ? 1 : 0);
    return Fail(Result::FieldTooLong);
  }
  field_.push_back(c);
  return true;
}

bool ListFileParser::EndField(char separator) {
  const Field field = static_cast<Field>(fieldIndex_);
  if (field == Field::ComputerName) {
    if (rows_.size() >= kMaxRows) return Fail(Result::TooManyRows);
    rows_.emplace_back();
  }
  std::string& target = rows_.back()[field];
  switch (field) {
    case Field::Status:
      target = StatusUnknownText();
      break;
    case Field::LastUpTime:
    case Field::LastDownTime:
    case Field::LastCheckTime:
      break;  // never taken from the file
    default:
      target.swap(field_);
      break;
  }
  field_.clear();

  ++fieldIndex_;
  if (fieldIndex_ == kFieldCount || separator == '\r') fieldIndex_ = 0;
  skipLf_ = separator == '\r';
  return true;
}

ListFileParser::Result ListFileParser::Finish() {
  // A file shorter than the magic cannot hold it.
  if (stage_ == Stage::Magic) Fail(Result::WrongMagic);
  return failure_;
}

ListFileParser::Result ListFileParser::Parse(std::string_view bytes,
                                             std::vector<ComputerEntry>& rows) {
  ListFileParser parser;
  parser.Feed(bytes);
  const Result result = parser.Finish();
  if (result == Result::Ok) rows = parser.TakeRows();
  return result;
}

}  // namespace tarnwick
