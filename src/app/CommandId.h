#pragma once

namespace tarnwick {

// The commands of the main window, each with its fixed numeric id (the
// actions carry it as their data).
enum class CommandId : int {
  Settings = 32771,
  Add = 32772,
  Start = 32775,
  Stop = 32776,
  Save = 32777,
  Delete = 32778,
  Load = 32779,
  Help = 32781,
  Edit = 32783,
  Copy = 32786,
  Paste = 32787,
  Cut = 32788,
  About = 57664,
  Exit = 57665,
};

}  // namespace tarnwick
