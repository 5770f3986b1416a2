#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "support/TempDir.h"

namespace tarnwick::test {

// A real Samba smbd on loopback, with its own configuration and folders in a
// temporary folder and a free port, that stores every WinPopup message it
// receives as "<sender>.msg" (UTF-8, as smbd converts it; smbd's "%t" gives
// the time, not the recipient). Needs root.
class SambaServer {
 public:
  // Without a message command smbd refuses messages, as a computer whose
  // Messenger service is stopped does.
  explicit SambaServer(bool acceptMessages = true);
  ~SambaServer();
  SambaServer(const SambaServer&) = delete;
  SambaServer& operator=(const SambaServer&) = delete;

  bool running() const { return running_; }
  int port() const { return port_; }
  // smbd's own output, for failure reports.
  std::string Log() const;

  // The message stored from `sender`, once the message command has run.
  std::optional<std::string> ReceivedMessage(
      const std::string& sender,
      std::chrono::milliseconds wait = std::chrono::milliseconds(5000)) const;

 private:
  void WriteConfiguration(bool acceptMessages) const;
  bool Start();
  bool WaitUntilListening();

  TempDir dir_;
  std::string messages_;
  int port_ = 0;
  pid_t pid_ = -1;
  bool running_ = false;
};

}  // namespace tarnwick::test
