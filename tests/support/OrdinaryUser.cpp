#include "support/OrdinaryUser.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tarnwick::test {

int RunAsOrdinaryUser(const std::function<int()>& work) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kOrdinaryUserId) != 0 ||
        ::setuid(kOrdinaryUserId) != 0) {
      ::_exit(125);
    }
    const int result = work();
    std::fflush(nullptr);
    ::_exit(result);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarnwick::test
