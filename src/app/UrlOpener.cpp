#include "app/UrlOpener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace tarnwick {
namespace {

UrlOpener::Opener& CurrentOpener() {
  static UrlOpener::Opener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

}  // namespace

bool UrlOpener::Open(const QUrl& url) {
  return CurrentOpener()(url);
}

void UrlOpener::Replace(Opener opener) {
  CurrentOpener() = std::move(opener);
}

QUrl HelpPageUrl(const QString& fragment) {
  const QDir programFolder(QCoreApplication::applicationDirPath());
  QString page =
      programFolder.absoluteFilePath(QStringLiteral("../share/tarnwick/help/index.html"));
  if (!QFileInfo::exists(page))
    page = programFolder.absoluteFilePath(QStringLiteral("help/index.html"));
  QUrl url = QUrl::fromLocalFile(QDir::cleanPath(page));
  if (!fragment.isEmpty()) url.setFragment(fragment);
  return url;
}

}  // namespace tarnwick
