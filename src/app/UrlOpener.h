#pragma once

#include <QUrl>
#include <functional>

namespace tarnwick {

// Opens an address with the desktop's handler (the browser, for a page)
// without waiting for it; true when a handler took it. Tests put in their
// own opener, so no browser starts under them.
class UrlOpener {
 public:
  using Opener = std::function<bool(const QUrl&)>;

  static bool Open(const QUrl& url);
  static void Replace(Opener opener);
};

// The program's help page: the installed copy, else the one beside the
// program in the build tree. `fragment` names a section ("version").
QUrl HelpPageUrl(const QString& fragment = {});

}  // namespace tarnwick
