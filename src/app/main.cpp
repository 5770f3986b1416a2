// tarnwick: the desktop program.
#include <QApplication>

#include "app/CTarnwickApp.h"
#include "app/StopSignalNotifier.h"

int main(int argc, char** argv) {
  // Before any thread exists, Qt's own included.
  tarnwick::StopSignalNotifier::Block();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  QApplication::setDesktopFileName(QStringLiteral("tarnwick"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tarnwick.svg")));
  tarnwick::CTarnwickApp tarnwick;
  const tarnwick::CTarnwickApp::StartResult start = tarnwick.Start();
  if (!start.run) return start.exitCode;
  return QApplication::exec();
}
