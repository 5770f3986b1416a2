#pragma once

#include <QObject>

#include "platform/UniqueFd.h"

class QSocketNotifier;

namespace tarnwick {

// SIGTERM and SIGINT (a desktop session ending, kill, Ctrl-C in a terminal)
// as a Qt signal. Block() must run before any thread starts, so every thread
// inherits the blocked mask and the signals wait in a signalfd; no code ever
// runs in a signal handler.
class StopSignalNotifier : public QObject {
  Q_OBJECT

 public:
  static void Block();

  explicit StopSignalNotifier(QObject* parent = nullptr);

 signals:
  void stopRequested();

 private:
  void ReadSignal();

  UniqueFd fd_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarnwick
