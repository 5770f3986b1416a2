#pragma once

#include <string>
#include <vector>

#include "engine/ComputerEntry.h"
#include "platform/UserPrompt.h"

// The computer list file (".ls2"): the magic line "ZNRQ" and one line of
// fifteen comma-separated CP932 fields per computer, lines ended by CR LF.
// Only the configuration is stored: status and times are written empty.
// Paths are the system's own file names (UTF-8), not CP932 texts.
namespace tarnwick {

enum class ListReadStatus {
  Ok,
  OpenFailed,      // the file could not be opened (missing, refused, ...)
  ReadFailed,      // a read failed part way
  WrongMagic,      // not a list file
  InvalidContent,  // a field over 2048 bytes, or an absurd number of rows
};

struct ListReadResult {
  ListReadStatus status = ListReadStatus::OpenFailed;
  std::vector<ComputerEntry> rows;  // empty unless status is Ok

  bool ok() const { return status == ListReadStatus::Ok; }
};

// The rows of the file at `path`. On failure the reason has been shown
// through `prompt` and no rows are returned: the caller replaces its rows
// only on success, so a failed read loses nothing. A file holding only the
// magic line gives an empty list. Every row of the file is returned, also
// beyond MaxNumOfComputer (only add and paste refuse beyond it).
ListReadResult ReadListFile(const std::string& path, UserPrompt& prompt);

// Replaces the file at `path` with `rows`: all or nothing, never a partly
// written file. True only when the new file is in place; on false the
// reason has been shown through `prompt` and any previous file is intact.
// Refuses an empty list, and a field that holds a comma, CR or LF (it would
// split the row when read back).
bool WriteListFile(const std::string& path, const std::vector<ComputerEntry>& rows,
                   UserPrompt& prompt);

// The bytes WriteListFile writes for `rows` (each field cut to 2047 bytes).
std::string FormatListFile(const std::vector<ComputerEntry>& rows);

}  // namespace tarnwick
