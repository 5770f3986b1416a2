#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tarnwick {

// The add dialog's two look-ups in the system's name service. Each blocks
// its caller until the answer is in, with the wait cursor, but runs on a
// helper thread while the GUI thread keeps painting; user input waits too.
class NameLookup {
 public:
  // The host's official name for a dotted address, or nothing.
  static std::optional<QString> NameOf(const QString& dottedAddress);
  // Every IPv4 address of the host, dotted, in the name service's order;
  // empty when the name is unknown.
  static QStringList AddressesOf(const QString& name);

 private:
  static void RunWhileWaiting(const std::function<void()>& work);
};

}  // namespace tarnwick
