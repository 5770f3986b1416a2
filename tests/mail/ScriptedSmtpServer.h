#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/UniqueFd.h"

namespace tarnwick::test {

// A mail server that follows a script, on a loopback port of its own. It
// accepts one connection, says the first step at once, then reads one
// command line (or, after DATA answered 354, the message up to its end
// sequence) before each further step. When the script is done it listens
// until the client closes. Everything the client sent is kept.
class ScriptedSmtpServer {
 public:
  struct Step {
    enum class Kind { Say, Close, Silent, Stall };
    Kind kind = Kind::Say;
    // Sent as separate packets, a short pause between them.
    std::vector<std::string> packets;
  };
  static Step Say(std::string text) { return {Step::Kind::Say, {std::move(text)}}; }
  static Step SayInPackets(std::vector<std::string> packets) {
    return {Step::Kind::Say, std::move(packets)};
  }
  // Closes the connection instead of answering.
  static Step Close() { return {Step::Kind::Close, {}}; }
  // Never answers again; waits for the client to give up.
  static Step Silent() { return {Step::Kind::Silent, {}}; }
  // Neither answers nor reads, until the server is destroyed.
  static Step Stall() { return {Step::Kind::Stall, {}}; }

  // The usual answers of a server that accepts the mail for `recipients`
  // recipients: greeting, HELO, MAIL, each RCPT, DATA, message, QUIT.
  static std::vector<Step> Accepting(int recipients = 1);

  // `port` 0: a free port of the system's choosing.
  explicit ScriptedSmtpServer(std::vector<Step> script, int port = 0);
  ~ScriptedSmtpServer();
  ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
  ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:port"
  std::string address() const;

  // What has arrived so far, without waiting.
  std::string ReceivedSoFar();
  // Waits until the session is over, then gives what the client sent.
  std::string Received();
  // The command lines outside the message, CR LF removed.
  std::vector<std::string> Commands();
  // The message as it came over the wire, end sequence included.
  std::string MessageData();
  // Gives up waiting for a client; true when one had connected.
  bool StopAndReportAccepted();

 private:
  void Run();
  bool Serve(int client);
  bool ReadMore(int client);
  bool ReadLine(int client, std::string& line);
  bool ReadMessage(int client);
  bool Perform(int client, const Step& step);

  std::vector<Step> script_;
  UniqueFd listener_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> accepted_{false};
  std::mutex mutex_;
  std::string received_;
  std::string pending_;
  std::vector<std::string> commands_;
  std::string message_;
  std::thread thread_;
};

// A loopback port on which nothing listens.
int ClosedLoopbackPort();

}  // namespace tarnwick::test
