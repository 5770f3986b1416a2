#pragma once

#include <string>
#include <vector>

namespace tarnwick::test {

// Runs a program to its end without a shell and keeps its standard output.
// Python children run in UTF-8 mode whatever the locale.
class ProcessRunner {
 public:
  struct Result {
    int exitCode = -1;  // -1 when it could not be started or was killed
    std::string output;
  };

  static Result Run(const std::vector<std::string>& argv);

  // The environment of child processes: ours, plus UTF-8 mode for Python.
  static std::vector<std::string> ChildEnvironment();

  // The source tree: TARNWICK_TEST_SOURCE_DIR when set, else where it was built from.
  static std::string SourceDir();
};

}  // namespace tarnwick::test
