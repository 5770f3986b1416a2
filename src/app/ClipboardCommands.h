#pragma once

#include <QString>

#include "app/AppServices.h"

namespace tarnwick {

class CTarnwickView;

// Copy, cut and paste of the selected computer through the clipboard, as
// one record of our own in Unicode text.
class ClipboardCommands {
 public:
  ClipboardCommands(const AppServices& services, CTarnwickView& view);

  void Copy();
  void Cut();
  void Paste();

 private:
  // Copies the selected row; false, with a message, when the clipboard's
  // Unicode text could not carry its bytes unchanged.
  bool CopySelected();
  // Refuses, with a message, a record of ours that CP932 cannot hold.
  bool RecordFitsCp932(const QString& text);

  const AppServices& services_;
  CTarnwickView& view_;
};

}  // namespace tarnwick
