#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "app/AppServices.h"
#include "app/GuiBeeper.h"

namespace tarnwick {

class CCheckThread;
class Prober;
class ComputerListModel;

// The start and stop of the watch over the list's rows: one CCheckThread
// and its probes per watch, and the end that the watch tells from its own
// thread, taken up on the GUI thread.
class WatchControl : public QObject {
  Q_OBJECT

 public:
  WatchControl(const AppServices& services, ComputerListModel& model, QObject* parent = nullptr);
  ~WatchControl() override;

  void Start();
  void Stop();
  // Stops a running watch and waits for its end, keeping the GUI alive
  // meanwhile; for the orderly end on SIGTERM.
  void StopAndWait();

 signals:
  // MonitorState changed (start, stop, the watch's end).
  void stateChanged();
  // The watch message of the status bar: empty while idle.
  void watchMessage(const QString& text);

 private:
  // After the watch has told of its end.
  void FinishWatch();

  const AppServices& services_;
  ComputerListModel& model_;
  GuiBeeper beeper_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<AlertChannels> channels_;
  // Made by the first watch and kept for the next: its socket and thread
  // serve every watch.
  std::unique_ptr<Prober> prober_;
  std::unique_ptr<CCheckThread> watch_;
};

}  // namespace tarnwick
