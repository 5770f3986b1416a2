#include "engine/LogOnlyAlerts.h"

#include "platform/Messages.h"

namespace tarnwick {

void LogOnlyAlerts::DownAlert(const ComputerEntry& /*row*/, std::string_view /*checkTime*/) {}

void LogOnlyAlerts::RestoreAlert(const ComputerEntry& /*row*/, std::string_view /*checkTime*/) {
  log_.WriteLine(Text(Msg::AlertRestoreRecognised));
}

}  // namespace tarnwick
