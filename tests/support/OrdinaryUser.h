#pragma once

#include <functional>

namespace tarnwick::test {

// The user and group "nobody", for files that an ordinary user owns.
inline constexpr unsigned kOrdinaryUserId = 65534;

// Runs `work` in a forked child as the ordinary user nobody, where file modes
// apply (root ignores them), and returns the child's exit code: what `work`
// returned (0 to 124), 125 when the child could not become that user, or -1
// when it did not end normally. The child ends with _exit, so none of the
// parent's objects are destroyed twice. Needs root.
int RunAsOrdinaryUser(const std::function<int()>& work);

}  // namespace tarnwick::test
