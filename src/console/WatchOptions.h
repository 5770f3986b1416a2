#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace tarnwick {

// tarnwick-watch's command line: "[--metrics [ADDRESS:]PORT] LISTFILE",
// "--once LISTFILE", "--help", "--version".
struct WatchOptions {
  enum class Mode { Watch, Once };

  // Reads the command line. --help and --version print their text on `out`,
  // and a usage error its message on `err`; `exitNow` then holds the code
  // the program ends with (0, or 2 for a usage error).
  static WatchOptions Parse(int argc, const char* const* argv, std::FILE* out = stdout,
                            std::FILE* err = stderr);

  std::optional<int> exitNow;
  Mode mode = Mode::Watch;
  std::string listFile;
  // The --metrics text as given; none without the option.
  std::optional<std::string> metrics;
};

}  // namespace tarnwick
