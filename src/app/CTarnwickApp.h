#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "engine/AppSettings.h"
#include "gui/GuiPrompt.h"
#include "platform/Clock.h"
#include "platform/RegistryFile.h"
#include "platform/SingleInstanceLock.h"
#include "platform/Sleeper.h"

namespace tarnwick {

class CMainFrame;
class StopSignalNotifier;

// The life of the desktop program: the platform checks, the one-copy lock
// and the settings, the main window and its first display, and the exit
// steps, from the exit command or, without questions, from SIGTERM/SIGINT.
class CTarnwickApp : public QObject {
  Q_OBJECT

 public:
  // How the program ended up: go on into the event loop, or end at once
  // with `exitCode`.
  struct StartResult {
    bool run = false;
    int exitCode = 0;
  };

  // `prompt`: the boxes' service; by default real message boxes.
  explicit CTarnwickApp(UserPrompt* prompt = nullptr);
  ~CTarnwickApp() override;

  // Everything before the event loop. The main window is shown when `run`.
  StartResult Start();

  CMainFrame* mainFrame() const { return frame_.get(); }
  AppSettings& settings() { return settings_; }

  // Shows the logo modally until it closes; tests put in their own.
  void SetLogoShower(std::function<void()> shower) { showLogo_ = std::move(shower); }

 private:
  bool CheckPlatform();
  void CreateMainFrame();
  void FirstDisplay();
  // The exit steps: the lock, then the settings.
  void ExitInstance();
  void ExitCommand();
  void EndOnSignal();

  GuiPrompt guiPrompt_;
  UserPrompt& prompt_;
  AppSettings settings_;
  RegistryFile registry_;
  SystemClock clock_;
  ThreadSleeper sleeper_;
  SingleInstanceLock lock_;
  std::function<void()> showLogo_;
  std::unique_ptr<CMainFrame> frame_;
  StopSignalNotifier* stopSignals_ = nullptr;
};

}  // namespace tarnwick
