#include "console/ConsoleSettings.h"

#include <cstdlib>

#include "platform/Messages.h"
#include "settings/SettingsStore.h"

namespace tarnwick {

void LoadConsoleSettings(AppSettings& settings, RegistryFile& registry, UserPrompt& prompt) {
  const SettingsLoadOutcome loaded = LoadSettings(settings, registry);
  // A file named by TARNWICK_REGISTRY that is missing is most likely a typo.
  const bool named = std::getenv("TARNWICK_REGISTRY") != nullptr;
  if (loaded.IsFault() || (named && loaded.state == RegistryFileState::Missing)) {
    prompt.Show(loaded.message, Text(Msg::CaptionCaution), PromptIcon::Exclamation);
  }
}

}  // namespace tarnwick
