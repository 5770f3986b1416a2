#include "engine/ProbePass.h"

#include "platform/InetAddress.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

std::string SystemLookUp(std::string_view address) {
  const std::uint32_t host = InetAddr(address);
  std::optional<std::string> name;
  if (host != kAllOnesAddress) name = ReverseLookup(host);
  return name ? *name : Text(Msg::UnknownHostname);
}

std::string NameOf(const ProbeJob& job, std::size_t index) {
  const auto& lookUp = job.options.lookUpName;
  const std::string& address = job.targets[index].address;
  return lookUp ? lookUp(address) : SystemLookUp(address);
}

void LookUp(ProbeJob& job, std::size_t index) {
  // A row that the daily pause covers is not asked about; should the pause
  // have ended by its commit, the committing thread looks it up then.
  if (job.options.mayStart && !job.options.mayStart(index)) {
    job.records.SkipName(index);
    return;
  }
  try {
    job.records.SetName(index, NameOf(job, index));
  } catch (...) {
    job.records.SetNameFailure(index, std::current_exception());
  }
}

}  // namespace

ProbePass::ProbePass(Prober& prober, const Clock& clock, std::vector<ProbeTarget> targets,
                     Options options)
    : prober_(prober),
      job_(std::make_shared<ProbeJob>(clock, std::move(targets), std::move(options))) {}

ProbePass::~ProbePass() {
  Cancel();
}

void ProbePass::Start() {
  if (job_->options.refreshNames) QueueLookups();
  prober_.Submit(job_);
}

void ProbePass::Cancel() {
  prober_.Cancel(job_);
  prober_.lookups().Forget(job_.get());
}

void ProbePass::EnsureProbed(std::size_t index) {
  prober_.Reprobe(job_, index);
}

bool ProbePass::LeaveUnprobed(std::size_t index) {
  return job_->records.ClaimForPause(index);
}

std::string ProbePass::AwaitName(std::size_t index) {
  // Without look-ups there is no name to wait for.
  if (!job_->options.refreshNames) return std::string();
  if (std::optional<std::string> name = job_->records.AwaitName(index)) return *name;
  return NameOf(*job_, index);
}

std::optional<std::time_t> ProbePass::AwaitAttemptStart(std::size_t index, long long attempt) {
  return job_->records.AwaitAttemptStart(index, attempt);
}

ProbeResult ProbePass::AwaitAttemptResult(std::size_t index, long long attempt) {
  return job_->records.AwaitAttemptResult(index, attempt);
}

std::string ProbePass::FreshName(std::size_t index, const ComputerEntry& /*entry*/) {
  return AwaitName(index);
}

std::optional<std::time_t> ProbePass::AttemptStart(std::size_t index,
                                                   const ComputerEntry& /*entry*/,
                                                   long long attempt) {
  return AwaitAttemptStart(index, attempt);
}

ProbeResult ProbePass::AttemptResult(std::size_t index, const ComputerEntry& /*entry*/,
                                     long long attempt) {
  return AwaitAttemptResult(index, attempt);
}

void ProbePass::QueueLookups() {
  for (std::size_t index = 0; index < job_->targets.size(); ++index) {
    // The task keeps the job alive; Cancel waits for the ones running.
    const std::shared_ptr<ProbeJob> job = job_;
    if (!prober_.lookups().Post(job.get(), [job, index] { LookUp(*job, index); })) {
      LookUp(*job, index);
    }
  }
}

}  // namespace tarnwick
