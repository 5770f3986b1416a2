#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "engine/AlertChannels.h"
#include "engine/AlertDispatcher.h"
#include "engine/AppSettings.h"
#include "engine/RunningLog.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/Sleeper.h"
#include "platform/UniqueFd.h"
#include "support/SambaServer.h"
#include "support/SmtpSink.h"

namespace tarnwick {
namespace {

using bench::SilentPrompt;

// The sender name under which smbd files the pop-ups.
std::string ComputerNameForNetsend() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string name = host;
  return name.substr(0, name.find('.')).substr(0, 15);
}

// A local syslog socket that takes every entry, so event log writes do the
// real work without reaching the system's log.
class SyslogSink {
 public:
  explicit SyslogSink(std::string path) : path_(std::move(path)) {
    socket_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    ::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    drain_ = std::thread([fd = socket_.get()] {
      char buffer[4096];
      while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
      }
    });
  }
  ~SyslogSink() {
    ::shutdown(socket_.get(), SHUT_RDWR);
    drain_.join();
  }
  SyslogSink(const SyslogSink&) = delete;
  SyslogSink& operator=(const SyslogSink&) = delete;

 private:
  std::string path_;
  UniqueFd socket_;
  std::thread drain_;
};

// The channels a row selects, as the benchmark's argument.
enum Channel : int64_t {
  kNetsend = 1,
  kMail = 2,
  kProgram = 4,
  kEventLog = 8,
  kEveryChannel = kNetsend | kMail | kProgram | kEventLog,
};

// A down alert whose channels each reach a real peer on loopback: net send
// to smbd, a program, a mail to an SMTP server and the event log entry to a
// syslog socket, each step logged; the 30-second mail wait is off. The time
// is from the call to its last step (the alert returns when that is done).
// Single channels are timed too, to show where the time goes.
void BM_DownAlert(benchmark::State& state) {
  const int64_t channels = state.range(0);
  bench::BenchFolder folder;
  test::SmtpSink smtp;
  test::SambaServer samba;
  if (folder.path().empty() || !samba.running()) {
    state.SkipWithError("needs a temporary folder and smbd (run as root)");
    return;
  }
  ::setenv("TARNWICK_NETSEND_ADDRESS", "127.0.0.1", 1);
  ::setenv("TARNWICK_NETSEND_PORT", std::to_string(samba.port()).c_str(), 1);
  SyslogSink sink(folder.File("syslog"));
  AppSettings settings;
  settings.RunningLog = 1;
  settings.SmtpServer = smtp.address();
  settings.MailFrom = "watch@example.test";
  settings.MailTo = "admin@example.test";
  settings.NetsendTo = "ADMINPC";
  settings.DownMsgJp = Text(Msg::DefaultDownMsgJp);
  settings.DownMsgUs = Text(Msg::DefaultDownMsgUs);
  settings.DownSubjectJp = Text(Msg::DefaultDownSubjectJp);
  settings.DownSubjectUs = Text(Msg::DefaultDownSubjectUs);
  SystemClock clock;
  ThreadSleeper sleeper;
  SilentPrompt prompt;
  AlertChannelOptions options;
  options.syslogSocket = folder.File("syslog");
  AlertChannels system(settings, prompt, options);
  RunningLog log(folder.path(), settings, clock);
  log.Rotate();
  AlertDispatcher alerts(settings, system, log, sleeper);

  ComputerEntry row;
  row[Field::ComputerName] = Cp932FromUtf8("メールサーバ");
  row[Field::IpAddress] = "127.0.0.1";
  row[Field::CheckService] = "SMTP";
  row[Field::Port] = "25";
  row[Field::ByMail] = FlagText((channels & kMail) != 0);
  row[Field::ByNetsend] = FlagText((channels & kNetsend) != 0);
  row[Field::ByEventlog] = FlagText((channels & kEventLog) != 0);
  row[Field::DownProgram] = (channels & kProgram) != 0 ? "true --alarm" : "";
  for (auto _ : state)
    alerts.DownAlert(row, "2007/05/01 10:00:00");

  // Every alert must have reached the peers, or the figure means nothing.
  const auto iterations = static_cast<std::size_t>(state.iterations());
  if ((channels & kMail) != 0 && smtp.WaitForMessages(iterations, 10000).size() != iterations) {
    state.SkipWithError("a mail did not arrive");
  }
  if ((channels & kNetsend) != 0 && !samba.ReceivedMessage(ComputerNameForNetsend())) {
    state.SkipWithError("no pop-up arrived");
  }
  ::unsetenv("TARNWICK_NETSEND_ADDRESS");
  ::unsetenv("TARNWICK_NETSEND_PORT");
}
BENCHMARK(BM_DownAlert)
    ->ArgName("channels")
    ->Arg(kEveryChannel)
    ->Arg(kNetsend)
    ->Arg(kMail)
    ->Arg(kProgram)
    ->Arg(kEventLog)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tarnwick
