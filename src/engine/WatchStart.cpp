#include "engine/WatchStart.h"

#include "platform/Messages.h"

namespace tarnwick {

bool PrepareRowsForWatch(RowAccess& rows, UserPrompt& prompt) {
  const int count = rows.RowCount();
  if (count <= 0) {
    prompt.Show(Text(Msg::NoComputersToWatch), Text(Msg::CaptionCaution), PromptIcon::Exclamation);
    return false;
  }
  for (int row = 0; row < count; ++row) {
    rows.WriteField(row, Field::Status, StatusUnknownText());
    rows.WriteField(row, Field::LastUpTime, "");
    rows.WriteField(row, Field::LastDownTime, "");
    rows.WriteField(row, Field::LastCheckTime, "");
    rows.RedrawRow(row);
  }
  return true;
}

}  // namespace tarnwick
