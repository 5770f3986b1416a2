#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

enum class Durability { Visible, Flushed };

// Puts `bytes` into the file at `path` so that a reader, or a crash, sees the
// old content or the new, never a mixture: the bytes go to a temporary file
// ".NAME.tmp-PID-N" beside it, which is renamed into place. The new file keeps
// the old one's permissions (and owner, where allowed); a symbolic link is
// followed, so the link stays and its target is replaced. A target that
// exists but may not be written by us (a read-only file of an ordinary user)
// is refused with its errno (EACCES), as the rename alone would not. With
// Durability::Flushed the file and then its folder are flushed to the disk.
// Returns 0, or the errno of the step that failed; the old file is then
// untouched and no temporary file is left.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                          Durability durability = Durability::Flushed);

// The name prefix of the temporary files ReplaceFileAtomically makes for
// `path`: a writer killed half-way leaves one behind.
std::string TemporaryPrefixFor(const std::string& path);

// ReplaceFileAtomically; where the folder does not allow a new file (or the
// rename) but the file's own permission allows a write, the file is
// rewritten in place instead, as the only way left. A file that its own
// permission refuses is never touched. A write in place is not atomic: a
// crash in the middle would leave the file cut short. So first a complete
// copy of the old file goes to InPlaceCopyPath, flushed to disk, and the new
// content is flushed before the copy is removed again. When no copy can be
// made (no state folder), the file is written in place all the same. A copy
// left by an earlier write in place
// that did not finish is kept as it is (the file may be the broken one) until
// a save succeeds.
int ReplaceFileContents(const std::string& path, std::string_view bytes,
                        Durability durability = Durability::Visible);

// The state folder: $XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick.
std::string StateFolder();

// Where the previous content of `path` is kept while `path` is rewritten in
// place: a file in the state folder named after the file and its full path.
std::string InPlaceCopyPath(const std::string& path);

// Whether a write in place of `path` did not finish: its copy is still there.
bool HasInPlaceCopy(const std::string& path);

}  // namespace tarnwick
