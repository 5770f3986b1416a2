#pragma once

#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/CMainFrame.h"
#include "app/CTarnwickView.h"
#include "engine/Notifier.h"
#include "platform/Sleeper.h"
#include "support/RecordingPrompt.h"
#include "support/TempDir.h"

namespace tarnwick::test {

// Waits a millisecond where the watch would wait a second, so a pass
// follows the last one at once.
class QuickSleeper final : public Sleeper {
 public:
  void SleepMs(int /*milliseconds*/) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// The real probes, with the first ping held until the test opens the gate,
// so the test can see the row while it is being checked.
class GatedNotifier final : public Notifier {
 public:
  explicit GatedNotifier(const AppSettings& settings) : Notifier(settings) {}

  bool PingProbe(std::string_view address) override {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
    lock.unlock();
    return Notifier::PingProbe(address);
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// A main window over settings, a registry and a prompt of the test's own.
// The file dialogs answer with `nextFiles` in order (empty: cancelled).
struct MainWindowFixture {
  MainWindowFixture();

  ComputerEntry Row(const std::string& name, const std::string& service = "PING",
                    const std::string& port = "") const;
  void SetRows(std::initializer_list<ComputerEntry> rows);
  QStringList Names() const;

  TempDir dir;
  AppSettings settings;
  RegistryFile registry;
  RecordingPrompt prompt;
  SystemClock clock;
  QuickSleeper sleeper;
  GatedNotifier* notifier = nullptr;  // the current watch's
  QStringList nextFiles;
  std::unique_ptr<CMainFrame> frame;
  CTarnwickView* view = nullptr;
};

}  // namespace tarnwick::test
