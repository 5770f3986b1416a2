#include "engine/ProbePass.h"

#include "platform/InetAddress.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

// Rows copied at most at once: the prober waits for the lock meanwhile.
constexpr std::size_t kEndedRowsAtOnce = 128;

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
  // A row whose probing has ended needs nothing more.
  if (EndedAttempts(index)) return;
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
  if (const auto ended = EndedAttempts(index)) {
    const auto at = static_cast<std::size_t>(attempt - 1);
    if (at >= ended->size()) return std::nullopt;
    return (*ended)[at].startedAt;
  }
  return job_->records.AwaitAttemptStart(index, attempt);
}

ProbeResult ProbePass::AwaitAttemptResult(std::size_t index, long long attempt) {
  if (const auto ended = EndedAttempts(index)) {
    const auto at = static_cast<std::size_t>(attempt - 1);
    // An attempt the row ended without: only a stop or a cancel does that.
    if (at >= ended->size()) return ProbeResult::Interrupted;
    return (*ended)[at].result.value_or(ProbeResult::Interrupted);
  }
  return job_->records.AwaitAttemptResult(index, attempt);
}

std::optional<std::span<const ProbeRecords::Attempt>> ProbePass::EndedAttempts(std::size_t index) {
  const auto held = [this](std::size_t row) {
    return row >= ended_.first && row - ended_.first < ended_.ends.size();
  };
  if (!held(index)) {
    if (foundOpen_ == index) return std::nullopt;
    ended_.first = index;
    ended_.attempts.clear();
    ended_.ends.clear();
    if (job_->records.CopyEndedRows(index, kEndedRowsAtOnce, ended_.attempts, ended_.ends) == 0) {
      foundOpen_ = index;
      return std::nullopt;
    }
  }
  const std::size_t offset = index - ended_.first;
  const std::size_t begin = offset == 0 ? 0 : ended_.ends[offset - 1];
  return std::span(ended_.attempts).subspan(begin, ended_.ends[offset] - begin);
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
