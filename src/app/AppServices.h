#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/AlertChannels.h"
#include "engine/AppSettings.h"
#include "engine/Notifier.h"
#include "platform/Clock.h"
#include "platform/RegistryFile.h"
#include "platform/Sleeper.h"
#include "platform/UserPrompt.h"

class QString;
class QWidget;

namespace tarnwick {

// What the main window works with. The application owns all of it; tests
// put in their own prompt, notifier, channels, clock, sleeper and file
// chooser.
struct AppServices {
  AppSettings& settings;
  RegistryFile& registry;
  UserPrompt& prompt;
  const Clock& clock;
  Sleeper& sleeper;
  // Where the running logs go.
  std::string logFolder;
  // The probes of one watch.
  std::function<std::unique_ptr<Notifier>()> makeNotifier;
  // The alert channels of one watch.
  std::function<std::unique_ptr<AlertChannels>()> makeAlertChannels;
  // The file dialogs of the list commands: the chosen path, or empty when
  // the user cancelled. `initial` is the file name offered first.
  std::function<QString(QWidget* parent, bool save, const QString& initial)> chooseListFile;
};

}  // namespace tarnwick
