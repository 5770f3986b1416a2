#pragma once

#include <string>
#include <vector>

#include "support/NetNamespace.h"

namespace tarnwick::bench {

// 300 hosts in two network namespaces of the run's own: each namespace's
// routed network is 150 addresses on its loopback, every tenth of which
// drops echo requests (30 silent in all). Needs root.
class SilentHostsRig {
 public:
  static constexpr int kHostsPerNamespace = 150;
  static constexpr int kSilentEvery = 10;

  SilentHostsRig();
  const std::vector<std::string>& addresses() const { return addresses_; }

 private:
  test::NetNamespace first_;
  test::NetNamespace second_;
  std::vector<std::string> addresses_;
};

}  // namespace tarnwick::bench
