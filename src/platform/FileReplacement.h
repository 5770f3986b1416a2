#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Puts `bytes` into the file at `path` (a file-system path) so that a reader
// sees either the old content or the new, never a half-written file: the
// bytes go to a temporary file beside it, which is then renamed into place,
// keeping the old file's permissions (and owner, where allowed). Where the
// folder does not allow a new file, or `path` is a symbolic link, the file is
// rewritten in place instead. Returns 0, or the errno of the failure.
int ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace tarnwick
