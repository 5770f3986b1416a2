#pragma once

#include <QString>
#include <string>

#include "support/RecordingPrompt.h"

namespace tarnwick::test {

// The text of a recorded box, for comparison with the GUI's own texts.
QString Utf8Text(const std::string& cp932);

// The texts of every box the prompt recorded, "caption|text" each, in order.
QStringList ShownBoxes(const RecordingPrompt& prompt);

}  // namespace tarnwick::test
