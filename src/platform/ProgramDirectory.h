#pragma once

#include <string>

namespace tarnwick {

// The folder that holds the running program's executable, without a trailing
// separator: where the running logs go. "." when the executable cannot be
// found (its link in /proc is unreadable).
std::string ProgramDirectory();

// Where the running logs go: the program's folder when this user may write
// there, else $XDG_STATE_HOME/tarnwick (~/.local/state/tarnwick), created when
// needed, so logs never vanish because the program is installed under /usr.
std::string RunningLogFolder();

// The folder part of `executablePath`, without a trailing separator ("/" for
// a file in the root folder); "." when the path names no folder.
std::string FolderOf(const std::string& executablePath);

}  // namespace tarnwick
