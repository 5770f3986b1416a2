// tarnwick-screens OUTDIR [GROUP...]: pictures of the desktop program's
// screens, for people to look at; run under Xvfb by scripts/screenshots.sh.
#include "screens/ScreenShots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <cstdio>
#include <map>
#include <string>

namespace tarnwick::screens {
namespace {

QString& OutputDir() {
  static QString dir;
  return dir;
}

std::map<std::string, ScreenGroup>& Groups() {
  static std::map<std::string, ScreenGroup> groups;
  return groups;
}

}  // namespace

void Shoot(QWidget& widget, const QString& name) {
  widget.show();
  widget.raise();
  widget.activateWindow();
  if (!QTest::qWaitForWindowExposed(&widget))
    std::fprintf(stderr, "%s was never shown\n", qPrintable(name));
  QTest::qWait(300);
  const QString path = QDir(OutputDir()).filePath(name + QStringLiteral(".png"));
  if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

bool RegisterGroup(const char* name, ScreenGroup group) {
  Groups().emplace(name, std::move(group));
  return true;
}

}  // namespace tarnwick::screens

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarnwick-screens OUTDIR [GROUP...]\n");
    return 2;
  }
  using namespace tarnwick::screens;
  OutputDir() = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(OutputDir());
  for (auto& [name, group] : Groups()) {
    bool wanted = argc == 2;
    for (int i = 2; i < argc; ++i)
      wanted = wanted || name == argv[i];
    if (wanted) group();
  }
  return 0;
}
