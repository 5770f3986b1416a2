#include "app/WatchControl.h"

#include <QEventLoop>
#include <cstdlib>

#include "engine/AlertDispatcher.h"
#include "engine/CCheckThread.h"
#include "engine/Prober.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "gui/ComputerListModel.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

QString WatchingText() {
  return QStringLiteral("コンピュータを監視しています.....");
}
QString StoppingText() {
  return QStringLiteral("監視を停止しています.....");
}

bool Idle() {
  return MonitorState == MonitorStateValue::Idle;
}

}  // namespace

WatchControl::WatchControl(const AppServices& services, ComputerListModel& model, QObject* parent)
    : QObject(parent), services_(services), model_(model), beeper_(this) {}

WatchControl::~WatchControl() {
  // The thread's destructor asks a running cycle to stop and waits for it.
  watch_.reset();
}

void WatchControl::Start() {
  if (!Idle()) return;
  if (!PrepareRowsForWatch(model_.rows(), services_.prompt)) return;
  notifier_ = services_.makeNotifier();
  channels_ = services_.makeAlertChannels();
  if (!prober_)
    prober_ = std::make_unique<Prober>(Prober::Options{.stopFd = WatchStopEvent().fd()});
  watch_ = std::make_unique<CCheckThread>(
      CheckCycleServices{services_.settings, model_.rows(), *notifier_, *channels_,
                         services_.prompt, beeper_, services_.clock, services_.sleeper,
                         services_.logFolder, nullptr, prober_.get()},
      [this](RunningLog& log, const AppSettings& watchSettings) {
        return std::make_unique<AlertDispatcher>(watchSettings, *channels_, log, services_.sleeper);
      });
  // Told on the cycle's thread; the end is handled on this one.
  watch_->SetEndHandler([this] {
    QMetaObject::invokeMethod(
        this, [this] { FinishWatch(); }, Qt::QueuedConnection);
  });
  if (!watch_->Start()) {
    services_.prompt.Show(Text(Msg::ThreadStartFailed), Text(Msg::CaptionError), PromptIcon::Error);
    std::exit(1);
  }
  emit watchMessage(WatchingText());
  emit stateChanged();
}

void WatchControl::Stop() {
  if (!RequestStop()) return;
  emit watchMessage(StoppingText());
  emit stateChanged();
}

void WatchControl::FinishWatch() {
  if (!Idle() || !watch_) return;
  watch_->Join();
  watch_.reset();
  notifier_.reset();
  channels_.reset();
  emit watchMessage(QString());
  emit stateChanged();
}

void WatchControl::StopAndWait() {
  if (!watch_) return;
  RequestStop();
  // The watch's end arrives as a queued FinishWatch, which this loop runs
  // (with any box the cycle asks for meanwhile).
  QEventLoop untilFinished;
  connect(this, &WatchControl::stateChanged, &untilFinished, [this, &untilFinished] {
    if (!watch_) untilFinished.quit();
  });
  untilFinished.exec();
}

}  // namespace tarnwick
