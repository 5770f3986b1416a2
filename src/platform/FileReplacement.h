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
// permission refuses is never touched.
int ReplaceFileContents(const std::string& path, std::string_view bytes,
                        Durability durability = Durability::Visible);

}  // namespace tarnwick
