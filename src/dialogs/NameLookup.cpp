#include "dialogs/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <QApplication>
#include <QEventLoop>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/InetAddress.h"

namespace tarnwick {
namespace {

constexpr std::size_t kFirstBufferSize = 2048;
constexpr std::size_t kLargestBufferSize = 1 << 20;

// gethostbyname_r keeps the list in the order of the name service, as
// gethostbyname did (getaddrinfo would sort it), and is safe on any thread.
std::vector<std::string> HostAddresses(const std::string& name) {
  if (name.find('\0') != std::string::npos) return {};
  hostent host{};
  hostent* result = nullptr;
  int error = 0;
  std::vector<char> buffer(kFirstBufferSize);
  while (::gethostbyname_r(name.c_str(), &host, buffer.data(), buffer.size(), &result, &error) ==
             ERANGE &&
         buffer.size() < kLargestBufferSize) {
    buffer.resize(buffer.size() * 2);
  }
  if (result == nullptr || result->h_addrtype != AF_INET) return {};
  std::vector<std::string> addresses;
  for (char** entry = result->h_addr_list; *entry != nullptr; ++entry) {
    in_addr address{};
    std::memcpy(&address, *entry, sizeof address);
    std::array<char, INET_ADDRSTRLEN> dotted{};
    if (::inet_ntop(AF_INET, &address, dotted.data(), dotted.size()) != nullptr)
      addresses.emplace_back(dotted.data());
  }
  return addresses;
}

}  // namespace

std::optional<QString> NameLookup::NameOf(const QString& dottedAddress) {
  const std::uint32_t address = InetAddr(dottedAddress.toStdString());
  std::optional<std::string> name;
  RunWhileWaiting([&] { name = ReverseLookup(address); });
  if (!name) return std::nullopt;
  return QString::fromStdString(*name);
}

QStringList NameLookup::AddressesOf(const QString& name) {
  std::vector<std::string> addresses;
  // Host names on this system are UTF-8, whatever code page the rows use.
  RunWhileWaiting([&, hostName = name.toStdString()] { addresses = HostAddresses(hostName); });
  QStringList dotted;
  for (const auto& address : addresses)
    dotted << QString::fromStdString(address);
  return dotted;
}

void NameLookup::RunWhileWaiting(const std::function<void()>& work) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QEventLoop waiting;
  std::thread helper([&] {
    work();
    QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Paint and timer events go on; clicks and keys wait for the answer, so
  // the dialog acts on nothing typed while it asks.
  waiting.exec(QEventLoop::ExcludeUserInputEvents);
  helper.join();
  QApplication::restoreOverrideCursor();
}

}  // namespace tarnwick
