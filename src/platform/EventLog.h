#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace tarnwick {

// The system's event types, with their Windows values.
enum class EventType { Error = 1, Warning = 2, Information = 4 };

// The system event log: one syslog datagram per entry to the local syslog
// socket, tagged "Tarnwick", with the severity of the event type.
// Keeps no connection between entries; safe to call from any thread. A
// syslog daemon that has stopped reading never holds the caller: an entry
// waits at most `queueWait` for room in its queue and is dropped then.
//
// The entry is built as the event viewer's is ("\r\n\r\n" and the text,
// within the 2048-byte insertion buffer), but syslog shows one line per
// entry: the leading line breaks are left out of the datagram, and every
// other run of CR and LF in the text becomes one blank (trailing ones go).
class EventLog {
 public:
  static constexpr std::size_t kInsertionCapacity = 2048;

  // The socket path comes from TARNWICK_SYSLOG_SOCKET when it is set, else /dev/log.
  static constexpr std::chrono::milliseconds kQueueWait{1000};

  EventLog();
  explicit EventLog(std::string socketPath, std::chrono::milliseconds queueWait = kQueueWait);

  // True only when the datagram was accepted by the socket. `text` is CP932;
  // the entry holds "\r\n\r\n" and the text, at most 2047 bytes in all,
  // and is sent as one line (see above).
  bool Write(EventType type, std::string_view text) const;

  const std::string& socketPath() const { return socketPath_; }

 private:
  std::string socketPath_;
  std::chrono::milliseconds queueWait_ = kQueueWait;
};

}  // namespace tarnwick
