#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ComputerEntry.h"

namespace tarnwick {

// Reads the bytes of a computer list file, fed in pieces of any size: the
// magic "ZNRQ" and its line end, then fifteen fields a row, separated by
// ",". CR ends a row (an LF right after it is skipped), a lone LF acts as a
// comma, and the sixteenth field of a line starts the next row. Status comes
// out as "不明" and the three time fields empty, whatever the file holds.
class ListFileParser {
 public:
  enum class Result { Ok, WrongMagic, FieldTooLong, TooManyRows };

  static constexpr std::size_t kFieldCapacity = 2048;
  // Far beyond any list the program keeps; it bounds the memory a damaged
  // or hostile file can claim.
  static constexpr std::size_t kMaxRows = 100000;

  // False once the input has been found invalid: the rest need not be fed.
  bool Feed(std::string_view bytes);
  // The verdict at the end of the file. A last field without its
  // separator is dropped.
  Result Finish();
  std::vector<ComputerEntry> TakeRows() { return std::move(rows_); }
  // Room for `rows` rows (at most kMaxRows), so that they are not moved as
  // the list grows.
  void ReserveRows(std::size_t rows) { rows_.reserve(std::min(rows, kMaxRows)); }
  // The 1-based row that held the field found too long.
  std::size_t FailedRow() const { return failedRow_; }

  // The whole of a file held in memory.
  static Result Parse(std::string_view bytes, std::vector<ComputerEntry>& rows);

 private:
  enum class Stage { Magic, MagicLineEnd, MagicLf, Body, Failed };

  bool Fail(Result result);
  bool BodyByte(char c);
  // Appends the field's bytes up to the next separator, within the field's
  // capacity, in one piece; how many it took (0 at a separator).
  std::size_t TakeFieldRun(std::string_view bytes);
  bool EndField(char separator);

  Stage stage_ = Stage::Magic;
  Result failure_ = Result::Ok;
  std::string magic_;
  bool skipLf_ = false;
  std::string field_;
  std::size_t fieldIndex_ = 0;
  std::vector<ComputerEntry> rows_;
  std::size_t failedRow_ = 0;
};

}  // namespace tarnwick
