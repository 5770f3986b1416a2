#include "SilentHostsRig.h"

namespace tarnwick::bench {

SilentHostsRig::SilentHostsRig() {
  for (test::NetNamespace* host : {&first_, &second_}) {
    host->RunOrThrow({"ip", "addr", "add", host->routedAddress(1) + "/24", "dev", "lo"});
    std::string silent;
    for (int k = 1; k <= kHostsPerNamespace; ++k) {
      addresses_.push_back(host->routedAddress(k));
      if (k % kSilentEvery == 0) silent += (silent.empty() ? "" : ", ") + host->routedAddress(k);
    }
    host->AddNftRule("input", "ip daddr { " + silent + " } icmp type echo-request drop");
  }
}

}  // namespace tarnwick::bench
