#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <tuple>

#include "app/CAboutBox.h"
#include "app/CLogoWindow.h"
#include "app/CMainFrame.h"
#include "app/CStaticLink.h"
#include "app/CTarnwickApp.h"
#include "app/CTarnwickView.h"
#include "app/UrlOpener.h"
#include "engine/WatchState.h"
#include "gui/GuiPrompt.h"
#include "gui_support/GuiTestSupport.h"
#include "platform/SingleInstanceLock.h"
#include "support/TempDir.h"
#include "support/WatchProcess.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// Notes the watch state when the main window is first shown.
class ShowWatcher : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<CMainFrame*>(object) && !seen) {
      seen = true;
      stateAtShow = MonitorState;
    }
    return false;
  }
  bool seen = false;
  MonitorStateValue stateAtShow = MonitorStateValue::Idle;
};

// A registry file and a runtime folder of the test's own, in the environment
// before the application reads it.
struct AppEnvironment {
  explicit AppEnvironment(const std::string& registryText) {
    TempDir::WriteFile(dir.File("registry.reg"), registryText);
    qputenv("TARNWICK_REGISTRY", dir.File("registry.reg").c_str());
    qputenv("XDG_RUNTIME_DIR", dir.path().c_str());
  }
  TempDir dir;
};

// The desktop program started in this process.
struct StartedApp {
  explicit StartedApp(const std::string& registryText) : environment(registryText) {
    qApp->installEventFilter(&watcher);
    app.SetLogoShower([this] { logoShown = true; });
    start = app.Start();
  }
  ~StartedApp() {
    qApp->removeEventFilter(&watcher);
    if (app.mainFrame()) app.mainFrame()->view().StopAndWait();
  }

  AppEnvironment environment;
  ShowWatcher watcher;
  RecordingPrompt prompt;
  CTarnwickApp app{&prompt};
  bool logoShown = false;
  CTarnwickApp::StartResult start;
};

}  // namespace

class AppLifeTest : public QObject {
  Q_OBJECT

 private slots:
  void autoStartWatchesBeforeTheWindowShows() {
    TempDir lists;
    TempDir::WriteFile(lists.File("one.ls2"), "ZNRQ\r\nlocal,127.0.0.1,,PING,,,,,,,,,,,\r\n");
    StartedApp started(
        WatchProcess::RegistryText({{"AutoStart", 1}, {"DontShowLogo", 0}, {"CheckInterval", 1}},
                                   {{"PreloadFile", lists.File("one.ls2")}}));
    QVERIFY(started.start.run);
    QVERIFY(started.logoShown);
    QVERIFY(started.watcher.seen);
    QCOMPARE(started.watcher.stateAtShow, MonitorStateValue::Running);
    QCOMPARE(started.app.mainFrame()->windowTitle(), QStringLiteral("Tarnwick"));
    // A preloaded list counts as unchanged, and names no current file.
    QVERIFY(!started.app.mainFrame()->view().listState().modified);
    QVERIFY(started.app.mainFrame()->view().listState().currentFile.empty());
  }

  void autoStartWithoutAPreloadFileSaysSo() {
    StartedApp started(WatchProcess::RegistryText({{"AutoStart", 1}, {"DontShowLogo", 1}}));
    QVERIFY(started.start.run);
    QVERIFY(!started.logoShown);
    QCOMPARE(MonitorState.load(), MonitorStateValue::Idle);
    QCOMPARE(
        ShownBoxes(started.prompt),
        QStringList({QStringLiteral(
            "エラー|自動起動が設定されていますが、プレロードファイルが指定されていません。")}));
  }

  // The box has no owner and blocks no window: the watch can be stopped
  // while the check thread waits for the answer.
  void promptFromTheCheckThreadIsAnsweredOnTheGuiThread() {
    GuiPrompt prompt;
    QWidget mainWindow;
    mainWindow.show();
    prompt.SetOwner(&mainWindow);
    QThread* boxThread = nullptr;
    QWidget* boxOwner = &mainWindow;
    QWidget* blocking = &mainWindow;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
      QMessageBox* box = nullptr;
      for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* shown = qobject_cast<QMessageBox*>(window); shown && shown->isVisible())
          box = shown;
      if (!box) return;
      boxThread = QThread::currentThread();
      boxOwner = box->parentWidget();
      blocking = QApplication::activeModalWidget();
      QCOMPARE(box->windowTitle(), QStringLiteral("確認"));
      box->button(QMessageBox::No)->click();
    });
    answerer.start(10);
    PromptAnswer answer = PromptAnswer::Ok;
    std::thread checkThread([&] {
      answer = Ask(prompt, QStringLiteral("続けますか。"), QStringLiteral("確認"),
                   PromptIcon::Question, PromptButtons::YesNo);
    });
    QTRY_VERIFY(boxThread != nullptr);
    checkThread.join();
    QCOMPARE(boxThread, qApp->thread());
    QCOMPARE(boxOwner, nullptr);
    QCOMPARE(blocking, nullptr);
    QCOMPARE(answer, PromptAnswer::No);
  }

  void aboutLinkTurnsPurpleOnlyWhenOpened() {
    QList<QUrl> opened;
    bool handlerTakesIt = false;
    UrlOpener::Replace([&](const QUrl& url) {
      opened << url;
      return handlerTakesIt;
    });
    {
      CAboutBox about;
      QTest::mouseClick(about.link(), Qt::LeftButton);
      QCOMPARE(about.link()->color(), CStaticLink::kUnvisited);  // no handler: a beep only
      handlerTakesIt = true;
      QTest::mouseClick(about.link(), Qt::LeftButton);
      QCOMPARE(about.link()->color(), CStaticLink::kVisited);
      QCOMPARE(about.link()->cursor().shape(), Qt::PointingHandCursor);
    }
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.last().fragment(), QStringLiteral("version"));
    QVERIFY(opened.last().isLocalFile());
    CAboutBox reopened;
    QCOMPARE(reopened.link()->color(), CStaticLink::kUnvisited);
    CStaticLink empty(QString{});
    QTest::mouseClick(&empty, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
  }

  void logoClosesOnItsTimerEnterOrEscape() {
    CLogoWindow logo;
    logo.show();
    QVERIFY(logo.closeTimerId() != 0);
    QVERIFY(logo.isVisible());
    // Four seconds of the test's clock: the timer's event, delivered now.
    QTimerEvent fourSeconds(logo.closeTimerId());
    QCoreApplication::sendEvent(&logo, &fourSeconds);
    QVERIFY(!logo.isVisible());
    QCOMPARE(logo.result(), int(QDialog::Rejected));

    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
      CLogoWindow early;
      early.show();
      QTest::keyClick(&early, key);
      QVERIFY(!early.isVisible());
    }
  }

  void secondCopyEndsAtOnceAndSigtermEndsInOrder() {
    TempDir dir;
    TempDir::WriteFile(dir.File("registry.reg"), WatchProcess::RegistryText({{"DontShowLogo", 1}}));
    const std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen",
                                                  "XDG_RUNTIME_DIR=" + dir.path(),
                                                  "TARNWICK_REGISTRY=" + dir.File("registry.reg")};
    WatchProcess first(dir, TARNWICK_GUI_EXECUTABLE, environment);
    QVERIFY(first.Start({}));
    const auto lockHeld = [&] {
      SingleInstanceLock probe;
      return !probe.Acquire(dir.File("ZNRQ.lock"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 10000);

    TempDir other;
    WatchProcess second(other, TARNWICK_GUI_EXECUTABLE, environment);
    QVERIFY(second.Start({}));
    QCOMPARE(second.Exited(10s), std::optional<int>(0));
    QVERIFY(second.Stdout().empty());
    QVERIFY(!first.Exited(0ms));

    // Beside the running copy and with no display to reach: --help and
    // --version answer before the lock and the platform plugin; anything
    // else is a usage error.
    const std::vector<std::tuple<std::string, int, std::string>> commandLines = {
        {"--help", 0, "Usage: tarnwick"}, {"--version", 0, "tarnwick 0."}, {"--bogus", 2, ""}};
    for (const auto& [argument, code, text] : commandLines) {
      TempDir third;
      WatchProcess early(third, TARNWICK_GUI_EXECUTABLE,
                         {"QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY=", "LANG=C",
                          "LC_ALL=", "XDG_RUNTIME_DIR=" + dir.path()});
      QVERIFY(early.Start({argument}));
      QCOMPARE(early.Exited(10s), std::optional<int>(code));
      QVERIFY2(early.Stdout().find(text) != std::string::npos, early.Stdout().c_str());
      if (code == 2)
        QVERIFY2(early.Stderr().find(argument) != std::string::npos, early.Stderr().c_str());
    }

    first.Signal(SIGTERM);
    QCOMPARE(first.Exited(10s), std::optional<int>(0));
    // The exit steps ran: the settings were saved.
    QVERIFY(TempDir::ReadFile(dir.File("registry.reg")).find("\"CheckInterval\"") !=
            std::string::npos);
  }
};

}  // namespace tarnwick::test

QTEST_MAIN(tarnwick::test::AppLifeTest)
#include "AppLifeTest.moc"
