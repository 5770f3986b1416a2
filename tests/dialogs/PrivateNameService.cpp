#include "PrivateNameService.h"

#include <sched.h>
#include <sys/mount.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace tarnwick::test {

PrivateNameService::PrivateNameService(const QByteArray& hosts) {
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    failure_ = QStringLiteral("no private mount namespace: ") + QString::fromUtf8(strerror(errno));
    return;
  }
  // Files only, and every address of a name, whatever the system says.
  if (BindOver(hosts, "/etc/hosts") && BindOver("hosts: files\n", "/etc/nsswitch.conf"))
    BindOver("multi on\n", "/etc/host.conf");
}

bool PrivateNameService::BindOver(const QByteArray& content, const char* target) {
  QFile file(dir_.filePath(QString::fromUtf8(target).section(QLatin1Char('/'), -1)));
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
    failure_ = QStringLiteral("cannot write ") + file.fileName();
    return false;
  }
  file.close();
  if (::mount(file.fileName().toLocal8Bit().constData(), target, nullptr, MS_BIND, nullptr) == 0)
    return true;
  failure_ = QStringLiteral("cannot bind over %1: %2").arg(target, strerror(errno));
  return false;
}

}  // namespace tarnwick::test
