#pragma once

#include "engine/AppSettings.h"
#include "platform/RegistryFile.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

// Loads the settings for a console watch and says on `prompt` why a registry
// file could not serve; the watch then runs on the defaults. The console
// never writes the registry, so nothing is replaced.
void LoadConsoleSettings(AppSettings& settings, RegistryFile& registry, UserPrompt& prompt);

}  // namespace tarnwick
