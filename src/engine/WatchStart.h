#pragma once

#include "engine/RowAccess.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

// What the start command does to the list before the watch starts: refuses
// an empty list with its message (false), else sets every Status to
// "不明", empties the three time fields and redraws every row.
bool PrepareRowsForWatch(RowAccess& rows, UserPrompt& prompt);

}  // namespace tarnwick
