#include "app/StopSignalNotifier.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace tarnwick {
namespace {

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

void StopSignalNotifier::Block() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignalNotifier::StopSignalNotifier(QObject* parent) : QObject(parent) {
  const sigset_t set = StopSignals();
  fd_.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!fd_.valid()) return;
  notifier_ = new QSocketNotifier(fd_.get(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignalNotifier::ReadSignal);
}

void StopSignalNotifier::ReadSignal() {
  signalfd_siginfo info{};
  bool any = false;
  while (::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
    any = true;
  if (any) emit stopRequested();
}

}  // namespace tarnwick
