#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tarnwick::test {

// Gives this process's main thread, and every thread it starts afterwards,
// a mount namespace of its own in which the name service reads only the
// hosts file given here: look-ups never reach a real name server.
class PrivateNameService {
 public:
  explicit PrivateNameService(const QByteArray& hosts);

  // Empty when the namespace is in place, else why not (no privilege).
  const QString& failure() const { return failure_; }

 private:
  bool BindOver(const QByteArray& content, const char* target);

  QTemporaryDir dir_;
  QString failure_;
};

}  // namespace tarnwick::test
