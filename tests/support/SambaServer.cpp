#include "support/SambaServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "platform/UniqueFd.h"
#include "support/LoopbackPort.h"

extern char** environ;

namespace tarnwick::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

bool CanConnect(int port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = LoopbackEndpoint(port);
  return fd.valid() &&
         ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

SambaServer::SambaServer(bool acceptMessages) : messages_(dir_.File("messages")) {
  // smbd runs the message command as its guest account, which must reach
  // the message folder.
  ::chmod(dir_.path().c_str(), 0755);
  for (const char* sub : {"lock", "state", "cache", "pid", "private", "ncalrpc", "log"}) {
    ::mkdir(dir_.File(sub).c_str(), 0755);
  }
  ::mkdir(messages_.c_str(), 0777);
  ::chmod(messages_.c_str(), 0777);
  port_ = UnusedLoopbackPort();
  WriteConfiguration(acceptMessages);
  running_ = port_ != 0 && Start() && WaitUntilListening();
}

SambaServer::~SambaServer() {
  if (pid_ <= 0) return;
  // smbd forks one child per connection into its process group.
  ::kill(-pid_, SIGTERM);
  const auto giveUp = steady_clock::now() + milliseconds(5000);
  while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (steady_clock::now() > giveUp) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
}

void SambaServer::WriteConfiguration(bool acceptMessages) const {
  std::string conf =
      "[global]\n"
      "  netbios name = TARNWICKPEER\n"
      "  workgroup = TARNWICKTEST\n"
      "  interfaces = lo\n"
      "  bind interfaces only = yes\n"
      "  smb ports = " +
      std::to_string(port_) +
      "\n"
      "  disable netbios = yes\n"
      "  server min protocol = NT1\n"
      "  dos charset = CP932\n"
      "  unix charset = UTF-8\n"
      "  load printers = no\n"
      "  printcap name = /dev/null\n"
      "  disable spoolss = yes\n"
      "  lock directory = " +
      dir_.File("lock") + "\n  state directory = " + dir_.File("state") +
      "\n  cache directory = " + dir_.File("cache") + "\n  pid directory = " + dir_.File("pid") +
      "\n  private dir = " + dir_.File("private") + "\n  ncalrpc dir = " + dir_.File("ncalrpc") +
      "\n  log file = " + dir_.File("log/log.%m") + "\n";
  if (acceptMessages) {
    // Written under a temporary name first, so a reader never sees half.
    conf += "  message command = /bin/sh -c 'cat %s > " + messages_ + "/$$.part && mv " +
            messages_ + "/$$.part " + messages_ + "/%f.msg; rm -f %s' &\n";
  }
  TempDir::WriteFile(dir_.File("smb.conf"), conf);
}

bool SambaServer::Start() {
  const std::string conf = dir_.File("smb.conf");
  const std::string log = dir_.File("smbd.out");
  std::vector<std::string> args = {
      "/usr/sbin/smbd", "-F", "--no-process-group", "--debug-stdout", "-d", "1", "-s", conf};
  std::vector<char*> argv;
  for (auto& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const int rc = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) pid_ = -1;
  return rc == 0;
}

bool SambaServer::WaitUntilListening() {
  const auto giveUp = steady_clock::now() + milliseconds(15000);
  while (steady_clock::now() < giveUp) {
    if (::waitpid(pid_, nullptr, WNOHANG) != 0) {  // it ended by itself
      pid_ = -1;
      return false;
    }
    if (CanConnect(port_)) return true;
    std::this_thread::sleep_for(milliseconds(50));
  }
  return false;
}

std::string SambaServer::Log() const {
  return TempDir::ReadFile(dir_.File("smbd.out"));
}

std::optional<std::string> SambaServer::ReceivedMessage(const std::string& sender,
                                                        milliseconds wait) const {
  const std::string path = messages_ + "/" + sender + ".msg";
  const auto giveUp = steady_clock::now() + wait;
  for (;;) {
    if (TempDir::Exists(path)) return TempDir::ReadFile(path);
    if (steady_clock::now() > giveUp) return std::nullopt;
    std::this_thread::sleep_for(milliseconds(20));
  }
}

}  // namespace tarnwick::test
