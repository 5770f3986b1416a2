#include "console/MeteredLauncher.h"

namespace tarnwick {

ProgramLauncher::Launch MeteredLauncher::Start(std::string_view commandLine) {
  const Launch launch = launcher_.Start(commandLine);
  if (launch.code > kGeneralFailure) metrics_.ChannelSucceeded(AlertChannel::Program);
  return launch;
}

}  // namespace tarnwick
