#pragma once

#include <string>
#include <string_view>

#include "engine/AlertChannels.h"
#include "engine/AlertSequences.h"
#include "engine/AppSettings.h"
#include "engine/RunningLog.h"
#include "platform/ProgramLauncher.h"
#include "platform/Sleeper.h"

namespace tarnwick {

// The down and restore alerts: each expands its message templates and then
// notifies through every channel that the row's flags select, writing a line
// to the running log for each step. A channel that fails is reported to the
// event log and the running log, and the sequence goes on.
class AlertDispatcher final : public AlertSequences {
 public:
  enum class Sequence { Down, Restore };

  AlertDispatcher(const AppSettings& settings, AlertChannels& channels, RunningLog& log,
                  Sleeper& sleeper, ProgramLauncher& launcher = ProgramLauncher::System());

  // Replaces, in this order and each on the result of the one before, every
  // "%i", "%t", "%s" and "%c" by the address, check time, name and service.
  static std::string ExpandTemplate(std::string_view text, std::string_view address,
                                    std::string_view checkTime, std::string_view name,
                                    std::string_view checkService);

  void DownAlert(const ComputerEntry& row, std::string_view checkTime) override;
  void RestoreAlert(const ComputerEntry& row, std::string_view checkTime) override;

  // Starts `commandLine` without waiting for it and logs the start, and the
  // reason when it could not be started.
  void RunAlertProgram(std::string_view commandLine, Sequence sequence);
  // Checks the mail settings, waits 30 seconds when asked to (less when the
  // watch is stopped) and sends; true when the mail was delivered.
  bool SendAlertMail(std::string_view recipients, std::string_view subject, std::string_view body);

 private:
  struct Texts {
    std::string messageJp;
    std::string messageUs;
    std::string subjectJp;
    std::string subjectUs;
  };

  Texts Expand(Sequence sequence, const ComputerEntry& row, std::string_view checkTime) const;
  std::string Recipients(const ComputerEntry& row) const;
  void SendMailStep(const Texts& texts, const ComputerEntry& row);
  void EventLogStep(EventType type, std::string_view text);
  void NetSendStep(const ComputerEntry& row, std::string_view text, Sequence sequence);
  // The event log entry and the running log line of a channel given up at
  // the end of the stop's grace, naming the computer.
  void ReportAbandoned(const ComputerEntry& row, Msg channelTail);
  // Both the event log entry (a warning) and the running log line.
  void ReportFailure(std::string_view eventText, std::string_view logText);

  const AppSettings& settings_;
  AlertChannels& channels_;
  RunningLog& log_;
  Sleeper& sleeper_;
  ProgramLauncher& launcher_;
};

}  // namespace tarnwick
