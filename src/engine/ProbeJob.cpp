#include "engine/ProbeJob.h"

#include "platform/InetAddress.h"

namespace tarnwick {
namespace {

std::vector<std::uint32_t> Destinations(const std::vector<ProbeTarget>& targets) {
  std::vector<std::uint32_t> destinations;
  destinations.reserve(targets.size());
  for (const ProbeTarget& target : targets)
    destinations.push_back(InetAddr(target.address));
  return destinations;
}

}  // namespace

ProbeJob::ProbeJob(const Clock& wallClock, std::vector<ProbeTarget> rows,
                   ProbeJobOptions jobOptions)
    : clock(wallClock),
      targets(std::move(rows)),
      destinations(Destinations(targets)),
      options(std::move(jobOptions)),
      records(targets.size()) {}

}  // namespace tarnwick
