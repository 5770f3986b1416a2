#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The system's event types, with their Windows values.
enum class EventType { Error = 1, Warning = 2, Information = 4 };

// The system event log: one syslog datagram per entry to the local syslog
// socket, tagged "Tarnwick", with the severity of the event type.
// Keeps no connection between entries; safe to call from any thread.
class EventLog {
 public:
  static constexpr std::size_t kInsertionCapacity = 2048;

  // The socket path comes from TARNWICK_SYSLOG_SOCKET when it is set, else /dev/log.
  EventLog();
  explicit EventLog(std::string socketPath);

  // True only when the datagram was accepted by the socket. `text` is CP932;
  // the entry holds "\r\n\r\n" and the text, at most 2047 bytes in all.
  bool Write(EventType type, std::string_view text) const;

  const std::string& socketPath() const { return socketPath_; }

 private:
  std::string socketPath_;
};

}  // namespace tarnwick
