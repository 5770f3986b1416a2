// tarnwick: the desktop program.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/AppOptions.h"
#include "app/CTarnwickApp.h"
#include "app/StopSignalNotifier.h"

int main(int argc, char** argv) {
  // --help and --version need no display, no ICMP socket and no lock.
  if (const auto exitCode = tarnwick::AppOptions::AnswerEarly(argc, argv)) return *exitCode;
  // Before any thread exists, Qt's own included.
  tarnwick::StopSignalNotifier::Block();
  QApplication::setAttribute(Qt::AA_DontShowIconsInMenus);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  QApplication::setDesktopFileName(QStringLiteral("tarnwick"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tarnwick.svg")));
  // Qt's own dialogs (files) speak Japanese like the rest of the program.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);
  tarnwick::CTarnwickApp tarnwick;
  const tarnwick::CTarnwickApp::StartResult start = tarnwick.Start();
  if (!start.run) return start.exitCode;
  return QApplication::exec();
}
