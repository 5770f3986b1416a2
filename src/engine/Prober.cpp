#include "engine/Prober.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>
#include <system_error>

#include "platform/InetAddress.h"

namespace tarnwick {
namespace {

// epoll tags: the wake-up, the stop event, the ICMP socket; a connect's
// socket is tagged with its descriptor above these.
constexpr std::uint64_t kWakeTag = 0;
constexpr std::uint64_t kStopTag = 1;
constexpr std::uint64_t kIcmpTag = 2;
constexpr std::uint64_t kConnectTag = 1ull << 32;
constexpr int kMaxEvents = 256;
// Packets read per turn, so that a flood cannot hold up time-outs.
constexpr int kMaxReadsPerTurn = 1024;
constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::size_t kRepliesReadEvery = 32;
// How often a long burst hands its settled rows to the committing thread.
constexpr std::size_t kPublishEvery = 256;

bool Watch(int epoll, int fd, std::uint32_t events, std::uint64_t tag) {
  epoll_event event{};
  event.events = events;
  event.data.u64 = tag;
  return ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

void Unwatch(int epoll, int fd) {
  ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
}

}  // namespace

Prober::Prober(Options options)
    : options_(options),
      clock_(options.clock != nullptr ? *options.clock : steady_),
      icmp_(options.socketKind),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      lookups_(options.lookupThreads) {
  Watch(epoll_.get(), wake_.get(), EPOLLIN, kWakeTag);
}

Prober::~Prober() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  Wake();
  if (loop_.joinable()) loop_.join();
}

IcmpStatus Prober::Ping(std::uint32_t destination, int timeoutMs, int stopFd) {
  std::lock_guard use(icmpUse_);
  return icmp_.Echo(destination, timeoutMs, stopFd);
}

void Prober::Submit(const std::shared_ptr<ProbeJob>& job) {
  {
    std::lock_guard lock(mutex_);
    if (job->attached || job->queued) {
      // The loop looks at the job's reopened rows on its next turn.
    } else {
      job->queued = true;
      queue_.push_back(job);
    }
  }
  if (EnsureLoopThread()) {
    Wake();
    return;
  }
  // No thread: the caller's turns it into a one-pass loop.
  while (current_ != nullptr || AdoptNext()) {
    if (current_ != nullptr) Turn();
  }
}

void Prober::Cancel(const std::shared_ptr<ProbeJob>& job) {
  job->cancelled = true;
  {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (job->queued) {
        std::erase(queue_, job);
        job->queued = false;
      }
      if (!job->attached) break;
      lock.unlock();
      Wake();
      lock.lock();
      detached_.wait(lock, [&] { return !job->attached; });
    }
  }
  job->records.EndOpenRows(ProbeRecords::Names::Abandoned);
}

void Prober::Reprobe(const std::shared_ptr<ProbeJob>& job, std::size_t index) {
  if (job->cancelled || !job->records.ClaimForProbe(index)) return;
  {
    std::lock_guard lock(mutex_);
    job->reprobe.push_back(index);
  }
  Submit(job);
}

bool Prober::EnsureLoopThread() {
  std::lock_guard lock(mutex_);
  if (loop_.joinable()) return true;
  if (!options_.ownThread || !epoll_.valid() || !wake_.valid()) return false;
  try {
    loop_ = std::thread([this] { Loop(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Prober::Wake() const {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
}

void Prober::Loop() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (quit_) break;
    }
    if (current_ == nullptr && !AdoptNext()) {
      WaitForEvents(-1);
      continue;
    }
    if (current_ != nullptr) Turn();
  }
  if (current_ != nullptr) Abandon();
}

bool Prober::AdoptNext() {
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    current_->queued = false;
    current_->attached = true;
  }
  icmpHeld_ = std::unique_lock(icmpUse_);
  if (icmp_.valid()) Watch(epoll_.get(), icmp_.fd(), EPOLLIN, kIcmpTag);
  if (options_.stopFd >= 0) Watch(epoll_.get(), options_.stopFd, EPOLLIN, kStopTag);
  // A stop that came first leaves every row unprobed.
  if (StopSignalled()) Abandon();
  return true;
}

void Prober::Turn() {
  if (current_->cancelled) return Abandon();
  LaunchRows();
  if (FinishIfDone()) return;
  WaitForEvents(deadlines_.empty() ? -1 : clock_.WaitMs(deadlines_.Earliest()));
  if (current_ == nullptr) return;
  ExpireDue();
  current_->records.Publish();
}

void Prober::LaunchRows() {
  ProbeJob& job = *current_;
  const auto limit = static_cast<std::size_t>(std::max(job.options.inFlight, 1));
  std::size_t row = 0;
  std::size_t started = 0;
  while (job.rowsInFlight < limit && TakeNextRow(row)) {
    // The pause is decided as the row's probe would start, unless its
    // commit came first and decided it there.
    if (!job.records.TakeStart(row, job.options.mayStart)) continue;
    ++job.rowsInFlight;
    StartAttempt(row, 1);
    // Near hosts answer while the burst is still being sent: read them
    // before they fill the socket's buffer, which is small without privilege,
    // and let the committing thread take them meanwhile, beside the burst.
    if (++started % kRepliesReadEvery == 0) ReadReplies();
    if (started % kPublishEvery == 0) job.records.Publish();
  }
}

bool Prober::TakeNextRow(std::size_t& index) {
  ProbeJob& job = *current_;
  {
    std::lock_guard lock(mutex_);
    if (!job.reprobe.empty()) {
      index = job.reprobe.front();
      job.reprobe.pop_front();
      return true;
    }
  }
  if (job.nextRow >= job.targets.size()) return false;
  index = job.nextRow++;
  return true;
}

bool Prober::FinishIfDone() {
  ProbeJob& job = *current_;
  if (job.rowsInFlight > 0 || job.nextRow < job.targets.size()) return false;
  {
    std::lock_guard lock(mutex_);
    if (!job.reprobe.empty()) return false;
  }
  job.records.Publish();
  Detach();
  return true;
}

void Prober::StartAttempt(std::size_t row, long long attempt) {
  ProbeJob& job = *current_;
  for (;; ++attempt) {
    // A retry too stops once the row's commit has found it paused.
    if (!job.records.StartAttempt(row, job.clock.Now(), job.options.attemptStarted)) {
      --job.rowsInFlight;
      return;
    }
    const std::int64_t launchedNs = clock_.NowNs();
    const std::optional<ProbeResult> settled = Launch(row, attempt);
    if (!settled) return;  // under way
    if (*settled == ProbeResult::Answered) TellAnswered(row, launchedNs);
    job.records.FinishAttempt(row, *settled);
    if (*settled != ProbeResult::NoAnswer || attempt > job.options.maxRetry) {
      EndRow(row);
      return;
    }
  }
}

std::optional<ProbeResult> Prober::Launch(std::size_t row, long long attempt) {
  if (current_->targets[row].method == CheckMethod::Ping) return LaunchEcho(row, attempt);
  return LaunchConnect(row, attempt);
}

std::optional<ProbeResult> Prober::LaunchEcho(std::size_t row, long long attempt) {
  const std::uint32_t destination = current_->destinations[row];
  // Text that is no address must not turn into a broadcast ping.
  if (destination == kAllOnesAddress || destination == 0 || !icmp_.valid()) {
    return ProbeResult::NoAnswer;
  }
  const std::uint64_t token = icmp_.NextToken();
  // A failure may be an earlier echo's error, which the kernel reports on
  // the next send and forgets there (it stays in the error queue).
  if (icmp_.Send(destination, token) != IcmpStatus::Success &&
      icmp_.Send(destination, token) != IcmpStatus::Success) {
    return ProbeResult::NoAnswer;
  }
  const std::int64_t timeoutNs = std::max(current_->options.pingTimeoutMs, 0) * kNsPerMs;
  const std::int64_t now = clock_.NowNs();
  Track(token, {row, attempt, destination, -1, now + timeoutNs, now});
  return std::nullopt;
}

std::optional<ProbeResult> Prober::LaunchConnect(std::size_t row, long long attempt) {
  const std::uint32_t destination = current_->destinations[row];
  const int port = current_->targets[row].port;
  // A port beyond 16 bits would wrap round to another service's port.
  if (destination == kAllOnesAddress || port < 0 || port > 65535) return ProbeResult::NoAnswer;
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!socket.valid()) return ProbeResult::NoAnswer;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<std::uint16_t>(port));
  target.sin_addr.s_addr = destination;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    ::shutdown(socket.get(), SHUT_RDWR);
    return ProbeResult::Answered;
  }
  if (errno != EINPROGRESS && errno != EINTR) return ProbeResult::NoAnswer;
  const int fd = socket.get();
  if (!Watch(epoll_.get(), fd, EPOLLOUT, kConnectTag | static_cast<std::uint32_t>(fd))) {
    return ProbeResult::NoAnswer;
  }
  const std::uint64_t key = icmp_.NextToken();
  keyOfFd_[socket.release()] = key;
  const std::int64_t boundNs = current_->options.portProbeBound.count() * kNsPerMs;
  const std::int64_t now = clock_.NowNs();
  Track(key, {row, attempt, destination, fd, now + boundNs, now});
  return std::nullopt;
}

void Prober::Track(std::uint64_t key, const InFlight& attempt) {
  inFlight_.emplace(key, attempt);
  deadlines_.Push(attempt.deadlineNs, key);
}

void Prober::Complete(std::uint64_t key, ProbeResult result) {
  const auto found = inFlight_.find(key);
  if (found == inFlight_.end()) return;
  const InFlight attempt = found->second;
  inFlight_.erase(found);
  if (attempt.fd >= 0) {
    keyOfFd_.erase(attempt.fd);
    if (result == ProbeResult::Answered) ::shutdown(attempt.fd, SHUT_RDWR);
    // Closing takes the socket out of the epoll set too.
    ::close(attempt.fd);
  }
  ProbeJob& job = *current_;
  if (result == ProbeResult::Answered) TellAnswered(attempt.row, attempt.launchedNs);
  job.records.FinishAttempt(attempt.row, result);
  if (result == ProbeResult::NoAnswer && attempt.attempt <= job.options.maxRetry) {
    StartAttempt(attempt.row, attempt.attempt + 1);  // at once, as one row at a time would
  } else {
    EndRow(attempt.row);
  }
}

void Prober::TellAnswered(std::size_t row, std::int64_t launchedNs) {
  const auto& answered = current_->options.attemptAnswered;
  if (answered) {
    answered(current_->targets[row], std::chrono::nanoseconds(clock_.NowNs() - launchedNs));
  }
}

void Prober::EndRow(std::size_t row) {
  current_->records.EndRow(row);
  --current_->rowsInFlight;
}

void Prober::WaitForEvents(int waitMs) {
  std::array<epoll_event, kMaxEvents> events;
  const int ready = ::epoll_wait(epoll_.get(), events.data(), kMaxEvents, waitMs);
  if (ready <= 0) return;
  const auto happened = std::span(events.data(), static_cast<std::size_t>(ready));
  // A stop outranks whatever came with it: nothing more is committed.
  for (const epoll_event& event : happened) {
    if (event.data.u64 == kStopTag && current_ != nullptr) return Abandon();
  }
  for (const epoll_event& event : happened) {
    const std::uint64_t tag = event.data.u64;
    if (tag == kWakeTag) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t read = ::read(wake_.get(), &count, sizeof count);
    } else if (tag == kIcmpTag && current_ != nullptr) {
      if ((event.events & EPOLLERR) != 0) ReadErrors();
      if ((event.events & EPOLLIN) != 0) ReadReplies();
    } else if ((tag & kConnectTag) != 0 && current_ != nullptr) {
      FinishConnect(static_cast<int>(tag & 0xffffffffu));
    }
  }
}

void Prober::ReadReplies() {
  IcmpAnswer answer;
  for (int i = 0; i < kMaxReadsPerTurn; ++i) {
    const IcmpSocket::Read read = icmp_.ReadReply(answer);
    if (read == IcmpSocket::Read::Empty) return;
    if (read == IcmpSocket::Read::Answer) OnAnswer(answer);
  }
}

void Prober::ReadErrors() {
  IcmpAnswer answer;
  for (int i = 0; i < kMaxReadsPerTurn; ++i) {
    const IcmpSocket::Read read = icmp_.ReadError(answer);
    if (read == IcmpSocket::Read::Empty) return;
    if (read == IcmpSocket::Read::Answer) OnAnswer(answer);
  }
}

void Prober::OnAnswer(const IcmpAnswer& answer) {
  const auto matches = [&](const InFlight& attempt) {
    return attempt.fd < 0 && attempt.destination == answer.peer;
  };
  if (answer.tokenQuoted) {
    const auto found = inFlight_.find(answer.token);
    // Late, duplicate and stray answers name no echo in flight.
    if (found == inFlight_.end() || !matches(found->second)) return;
  } else {
    // An error that quotes only the echo header: the one echo in flight to
    // that destination with that sequence number, if exactly one is.
    const auto same = [&](const auto& entry) {
      return matches(entry.second) && IcmpSocket::SequenceOf(entry.first) == answer.sequence;
    };
    const auto found = std::ranges::find_if(inFlight_, same);
    if (found == inFlight_.end() || std::ranges::count_if(inFlight_, same) != 1) return;
    return Complete(found->first, ProbeResult::NoAnswer);
  }
  Complete(answer.token,
           answer.status == IcmpStatus::Success ? ProbeResult::Answered : ProbeResult::NoAnswer);
}

void Prober::FinishConnect(int fd) {
  const auto found = keyOfFd_.find(fd);
  if (found == keyOfFd_.end()) return;
  int error = 0;
  socklen_t length = sizeof error;
  const bool connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  Complete(found->second, connected ? ProbeResult::Answered : ProbeResult::NoAnswer);
}

void Prober::ExpireDue() {
  const std::int64_t now = clock_.NowNs();
  if (deadlines_.empty() || deadlines_.Earliest() > now) return;
  // Before giving up, an answer that has already arrived still counts.
  ReadErrors();
  ReadReplies();
  std::uint64_t key = 0;
  while (deadlines_.PopDue(now, key)) {
    const auto found = inFlight_.find(key);
    if (found != inFlight_.end() && found->second.deadlineNs <= now) {
      Complete(key, ProbeResult::NoAnswer);
    }
  }
}

void Prober::Abandon() {
  for (const auto& [fd, key] : keyOfFd_)
    ::close(fd);
  keyOfFd_.clear();
  inFlight_.clear();
  {
    std::lock_guard lock(mutex_);
    current_->reprobe.clear();
  }
  current_->records.EndOpenRows(ProbeRecords::Names::StillComing);
  Detach();
}

void Prober::Detach() {
  // Nothing is in flight any more: what the heap still holds is stale.
  deadlines_.Clear();
  if (icmp_.valid()) Unwatch(epoll_.get(), icmp_.fd());
  if (options_.stopFd >= 0) Unwatch(epoll_.get(), options_.stopFd);
  icmpHeld_.unlock();
  {
    std::lock_guard lock(mutex_);
    // A row reopened by its commit while the job was ending: the job goes
    // round once more, or the commit would wait for it for ever.
    if (!current_->reprobe.empty() && !current_->cancelled) {
      current_->queued = true;
      queue_.push_front(current_);
    }
    current_->attached = false;
    current_.reset();
  }
  detached_.notify_all();
}

bool Prober::StopSignalled() const {
  if (options_.stopFd < 0) return false;
  pollfd watched{options_.stopFd, POLLIN, 0};
  return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

}  // namespace tarnwick
