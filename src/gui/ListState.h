#pragma once

#include <cstddef>
#include <string>

namespace tarnwick {

// The list's relation to its file: whether it changed since it was last
// saved or loaded, and the file last saved or loaded through the commands
// (a path of the system, not a CP932 text).
struct ListState {
  static constexpr std::size_t kPathCapacity = 512;

  bool modified = false;
  std::string currentFile;
};

}  // namespace tarnwick
