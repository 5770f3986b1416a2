#pragma once

#include <vector>

#include "engine/AppSettings.h"
#include "engine/ComputerEntry.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

struct ListPreload {
  bool loaded = false;      // `rows` came from PreloadFile: put them in the list
  bool startWatch = false;  // AutoStart is on and the file was read
  std::vector<ComputerEntry> rows;
};

// The list file named in PreloadFile (a CP932 text), read at start-up, with its messages:
// with AutoStart a missing name or a file that is not a list file shows the
// automatic-start message, without it a file that is not a list file shows
// the preload message. A file that cannot be opened or read shows only its
// file-error message, and the watch does not start. The preload leaves the
// current list file name and the modified flag to the caller, untouched.
ListPreload PreloadListFile(const AppSettings& settings, UserPrompt& prompt);

}  // namespace tarnwick
