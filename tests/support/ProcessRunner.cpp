#include "support/ProcessRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/UniqueFd.h"

extern char** environ;

namespace tarnwick::test {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::vector<std::string> ProcessRunner::ChildEnvironment() {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry)
    variables.emplace_back(*entry);
  variables.emplace_back("PYTHONUTF8=1");
  variables.emplace_back("PYTHONIOENCODING=utf-8");
  return variables;
}

std::string ProcessRunner::SourceDir() {
  const char* fromTest = std::getenv("TARNWICK_TEST_SOURCE_DIR");
  return fromTest != nullptr && *fromTest != '\0' ? fromTest : TARNWICK_SOURCE_DIR;
}

ProcessRunner::Result ProcessRunner::Run(const std::vector<std::string>& argv) {
  Result result;
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return result;
  UniqueFd readEnd(pipeEnds[0]);
  UniqueFd writeEnd(pipeEnds[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment = ChildEnvironment();
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, arguments[0].c_str(), &actions, nullptr,
                                    Pointers(arguments).data(), Pointers(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  writeEnd.reset();
  if (spawned != 0) return result;

  char buffer[4096];
  for (ssize_t n; (n = ::read(readEnd.get(), buffer, sizeof buffer)) > 0;) {
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace tarnwick::test
