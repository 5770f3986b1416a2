#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/DownRowDelegate.h"
#include "app/UrlOpener.h"
#include "engine/WatchState.h"
#include "gui/Cp932Text.h"
#include "gui_support/GuiTestSupport.h"
#include "settings/ClipboardRecord.h"
#include "settings/ListFile.h"
#include "support/LoopbackListener.h"

namespace tarnwick::test {
namespace {

QString Status(CTarnwickView& view, int row) {
  return FromCp932(view.list().StoredField(row, Field::Status));
}

// The colour drawn in the middle of a cell.
QColor CellColour(CTarnwickView& view, int row, Field field) {
  const QRect cell = view.visualRect(view.list().index(row, static_cast<int>(field)));
  return view.viewport()->grab().toImage().pixelColor(cell.center());
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    MonitorState = MonitorStateValue::Idle;
    StopRequested = 0;
  }

  void commandsFollowTheWatchState_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QList<int>>("enabled");
    const QList<int> always = {int(CommandId::Help), int(CommandId::About)};
    QTest::newRow("idle") << int(MonitorStateValue::Idle)
                          << QList<int>{int(CommandId::Add),   int(CommandId::Delete),
                                        int(CommandId::Edit),  int(CommandId::Copy),
                                        int(CommandId::Cut),   int(CommandId::Paste),
                                        int(CommandId::Start), int(CommandId::Load),
                                        int(CommandId::Save),  int(CommandId::Settings),
                                        int(CommandId::Exit)} +
                                 always;
    QTest::newRow("running") << int(MonitorStateValue::Running)
                             << QList<int>{int(CommandId::Stop)} + always;
    QTest::newRow("stopping") << int(MonitorStateValue::Stopping) << always;
  }

  void commandsFollowTheWatchState() {
    QFETCH(int, state);
    QFETCH(QList<int>, enabled);
    MainWindowFixture f;
    f.SetRows({f.Row("a"), f.Row("b")});
    f.view->SelectRow(0);
    QGuiApplication::clipboard()->setText(FromCp932(FormatClipboardRecord(f.Row("x"))));
    MonitorState = static_cast<MonitorStateValue>(state);
    f.frame->UpdateActions();
    for (CommandId id :
         {CommandId::Add, CommandId::Delete, CommandId::Edit, CommandId::Copy, CommandId::Cut,
          CommandId::Paste, CommandId::Start, CommandId::Stop, CommandId::Load, CommandId::Save,
          CommandId::Settings, CommandId::Help, CommandId::About, CommandId::Exit})
      QCOMPARE(f.frame->action(id)->isEnabled(), enabled.contains(int(id)));
    for (QAction* item : f.view->contextMenu()->actions())
      if (!item->isSeparator()) QCOMPARE(item->isEnabled(), enabled.contains(item->data().toInt()));
    if (state == int(MonitorStateValue::Idle)) return;
    // The clipboard keys reach no table that would copy a cell instead.
    const QString record = QGuiApplication::clipboard()->text();
    for (QKeyCombination key :
         {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert, Qt::CTRL | Qt::Key_X,
          Qt::SHIFT | Qt::Key_Delete, Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert})
      QTest::keyClick(f.view, key.key(), key.keyboardModifiers());
    QCOMPARE(QGuiApplication::clipboard()->text(), record);
    // The handlers refuse on their own, whatever reaches them.
    QTest::keyClick(f.view, Qt::Key_Delete);
    f.view->CutSelected();
    f.view->Paste();
    f.view->DeleteSelected();
    f.frame->ExitCommand();
    QCOMPARE(f.Names(), QStringList({"a", "b"}));
    QVERIFY(!f.view->listState().modified);
  }

  void watchShowsCheckingThenResultsAndStops() {
    MainWindowFixture f;
    ClosedPort closed;
    f.SetRows({f.Row("ping"), f.Row("port", "WEB", std::to_string(closed.port()))});
    f.frame->action(CommandId::Start)->trigger();
    QCOMPARE(MonitorState.load(), MonitorStateValue::Running);
    QCOMPARE(f.frame->watchMessage(), QStringLiteral("コンピュータを監視しています....."));
    QVERIFY(f.frame->action(CommandId::Stop)->isEnabled());
    QTRY_COMPARE(Status(*f.view, 0), QStringLiteral("確認中."));
    f.notifier->Open();
    QTRY_COMPARE(Status(*f.view, 0), QStringLiteral("○"));
    QTRY_COMPARE(Status(*f.view, 1), QStringLiteral("×"));
    const QModelIndex down = f.view->list().index(1, 3);
    QCOMPARE(down.data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(down.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    QVERIFY(!f.view->list().index(0, 3).data(Qt::BackgroundRole).isValid());
    // A command's prompt shows alone, then the watch message again.
    auto* watchText = f.frame->statusBar()->findChildren<QLabel*>().constFirst();
    for (const QString& prompt : {QStringLiteral("監視を開始"), QString()}) {
      QStatusTipEvent hover(prompt);
      QCoreApplication::sendEvent(f.frame.get(), &hover);
      QCOMPARE(watchText->isHidden(), !prompt.isEmpty());
    }

    f.frame->action(CommandId::Stop)->trigger();
    QCOMPARE(f.frame->watchMessage(), QStringLiteral("監視を停止しています....."));
    QVERIFY(!f.frame->action(CommandId::Start)->isEnabled());
    QTRY_COMPARE(MonitorState.load(), MonitorStateValue::Idle);
    QTRY_VERIFY(f.frame->action(CommandId::Start)->isEnabled());
    QCOMPARE(f.frame->watchMessage(), QString());
  }

  void startRefusesAnEmptyList() {
    MainWindowFixture f;
    f.view->StartWatch();
    QCOMPARE(MonitorState.load(), MonitorStateValue::Idle);
    QCOMPARE(
        ShownBoxes(f.prompt),
        QStringList({QStringLiteral("注意|監視するコンピュータを一台以上追加してください。")}));
  }

  void deleteKeepsASelectionNearby_data() {
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("keypad");
    QTest::newRow("last of three") << 2 << 1 << QStringList({"a", "b"}) << false;
    QTest::newRow("first of three") << 0 << 0 << QStringList({"b", "c"}) << false;
    QTest::newRow("keypad Delete") << 1 << 1 << QStringList({"a", "c"}) << true;
  }

  void deleteKeepsASelectionNearby() {
    QFETCH(int, deleted);
    QFETCH(int, selected);
    QFETCH(QStringList, left);
    QFETCH(bool, keypad);
    MainWindowFixture f;
    f.SetRows({f.Row("a"), f.Row("b"), f.Row("c")});
    f.view->SelectRow(deleted);
    QTest::keyClick(f.view, Qt::Key_Delete, keypad ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(f.Names(), left);
    QCOMPARE(f.view->SelectedRow(), selected);
    QVERIFY(f.view->listState().modified);
    QVERIFY(f.prompt.shown().empty());
  }

  // The pop-up names the commands shortly and alone shows icons (add, delete).
  void contextMenuHasItsOwnTextsAndIcons() {
    MainWindowFixture f;
    QStringList texts;
    for (QAction* item : f.view->contextMenu()->actions())
      texts << item->text() + (item->isIconVisibleInMenu() && !item->icon().isNull() ? "*" : "");
    QCOMPARE(texts, QStringList({"追加(&A)*", "削除(&D)*", "編集(&E)", "", "コピー(&C)",
                                 "切り取り(&X)", "貼り付け(&V)"}));
    for (CommandId id : {CommandId::Add, CommandId::Delete})
      QVERIFY(!f.frame->action(id)->isIconVisibleInMenu());
  }

  void selectedDownRowStillLooksDown() {
    MainWindowFixture f;
    ComputerEntry down = f.Row("down");
    down[Field::Status] = StatusDownText();
    f.SetRows({down});
    f.frame->show();
    f.view->SelectRow(0);
    QCOMPARE(CellColour(*f.view, 0, Field::Port).rgb(),
             QColor(255, 0, 0).darker(DownRowDelegate::kSelectedDarkness).rgb());
  }

  void helpWithoutABrowserNamesThePage() {
    MainWindowFixture f;
    UrlOpener::Replace([](const QUrl&) { return false; });
    f.frame->action(CommandId::Help)->trigger();
    QCOMPARE(ShownBoxes(f.prompt),
             QStringList({QStringLiteral("エラー|") +
                          UiText(Msg::HelpNotOpened).arg(HelpPageUrl().toLocalFile())}));
  }

  void copyPasteAndCutGoThroughTheClipboard() {
    MainWindowFixture f;
    ComputerEntry b = f.Row("b", "FTP", "21");
    b[Field::ByMail] = FlagText(true);
    b[Field::MailAddress] = "ops@example.com";
    b[Field::Status] = StatusDownText();
    b[Field::LastCheckTime] = "2026/12/08 10:00:00";
    f.SetRows({f.Row("a"), b});
    f.view->SelectRow(1);
    f.frame->action(CommandId::Copy)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("ZNRQ,b,127.0.0.1,,FTP,21,,,○,,,,,,,ops@example.com,"));
    f.frame->action(CommandId::Paste)->trigger();
    QCOMPARE(f.Names(), QStringList({"a", "b", "b"}));
    QCOMPARE(f.view->SelectedRow(), 1);
    const ComputerEntry pasted = f.view->list().Entry(1);
    QCOMPARE(FromCp932(pasted[Field::Status]), QStringLiteral("不明"));
    QCOMPARE(pasted[Field::LastCheckTime], std::string());
    QCOMPARE(pasted[Field::MailAddress], std::string("ops@example.com"));
    QVERIFY(f.view->listState().modified);

    f.view->SelectRow(0);
    f.frame->action(CommandId::Cut)->trigger();
    QCOMPARE(f.Names(), QStringList({"b", "b"}));
    f.frame->action(CommandId::Paste)->trigger();
    QCOMPARE(f.Names(), QStringList({"a", "b", "b"}));

    // Foreign text, and a record cut short, paste nothing and say nothing.
    for (const QString& text :
         {QStringLiteral("Hello, world"), QStringLiteral("ZNRQ,x,1.2.3.4,")}) {
      QGuiApplication::clipboard()->setText(text);
      f.view->Paste();
    }
    QCOMPARE(f.view->list().rowCount(), 3);
    QVERIFY(f.prompt.shown().empty());

    f.settings.MaxNumOfComputer = 3;
    f.view->Paste();
    QCOMPARE(f.view->list().rowCount(), 3);
    QCOMPARE(ShownBoxes(f.prompt),
             QStringList({QStringLiteral(
                 "注意|これ以上、監視するコンピュータを追加することはできません。")}));

    // A record with text CP932 cannot hold says so and pastes nothing.
    f.settings.MaxNumOfComputer = 5;
    QGuiApplication::clipboard()->setText(
        QStringLiteral("ZNRQ,b,1.2.3.4,,PING,,,,,,,,,,,jos\u00e9@x,"));
    f.view->Paste();
    QCOMPARE(f.view->list().rowCount(), 3);
    QCOMPARE(ShownBoxes(f.prompt).last(),
             QStringLiteral("注意|") + UiText(Msg::PasteNotCp932).arg("送信先メールアドレス"));

    // A field ending in a lone lead byte cannot travel as Unicode: copy and
    // cut say so, and the clipboard and the list stay as they were.
    ComputerEntry odd = f.view->list().Entry(2);
    odd[Field::DownProgram] = std::string("/bin/true \x82");
    f.view->list().ReplaceEntry(2, odd);
    f.view->SelectRow(2);
    for (const CommandId command : {CommandId::Copy, CommandId::Cut}) {
      f.frame->action(command)->trigger();
      QCOMPARE(f.view->list().rowCount(), 3);
      QVERIFY(ShownBoxes(f.prompt).last().startsWith(QStringLiteral("注意|")));
    }
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("ZNRQ,b,1.2.3.4,,PING,,,,,,,,,,,jos\u00e9@x,"));
  }

  void saveThenLoadKeepsTheRowsAndAFailedLoadLosesNothing() {
    MainWindowFixture f;
    ComputerEntry b = f.Row("サーバ", "SMTP", "25");
    b[Field::DownProgram] = "/usr/local/bin/page ops";
    f.SetRows({f.Row("a"), b});
    f.view->listState().modified = true;
    const QString file = QString::fromStdString(f.dir.File("list.ls2"));
    f.nextFiles = {file};
    f.view->SaveList();
    QVERIFY(!f.view->listState().modified);
    QCOMPARE(f.view->listState().currentFile, file.toStdString());
    const auto saved = f.view->list().Entries();

    f.SetRows({f.Row("other")});
    f.view->listState().modified = true;
    f.prompt.QueueAnswer(PromptAnswer::No);  // do not save first
    f.nextFiles = {file};
    f.view->LoadList();
    QCOMPARE(f.view->list().rowCount(), 2);
    for (int row = 0; row < 2; ++row)
      for (Field field :
           {Field::ComputerName, Field::CheckService, Field::Port, Field::DownProgram})
        QCOMPARE(f.view->list().StoredField(row, field), saved[std::size_t(row)][field]);
    QVERIFY(!f.view->listState().modified);

    TempDir::WriteFile(f.dir.File("bad.ls2"), "znrq\r\nx,,,,\r\n");
    f.view->listState().modified = true;
    f.prompt.QueueAnswer(PromptAnswer::No);
    f.nextFiles = {QString::fromStdString(f.dir.File("bad.ls2"))};
    f.view->LoadList();
    QCOMPARE(f.view->list().rowCount(), 2);
    QVERIFY(f.view->listState().modified);
    QCOMPARE(f.view->listState().currentFile, file.toStdString());
    QCOMPARE(ShownBoxes(f.prompt).size(), 3);  // two questions, then the wrong-magic message
  }

  void exitAndCloseAskAndRefuse() {
    MainWindowFixture f;
    QSignalSpy exits(f.frame.get(), &CMainFrame::exitConfirmed);
    f.view->listState().modified = true;
    f.prompt.QueueAnswer(PromptAnswer::No);
    f.frame->action(CommandId::Exit)->trigger();
    QCOMPARE(exits.count(), 0);
    f.prompt.QueueAnswer(PromptAnswer::Yes);
    f.frame->action(CommandId::Exit)->trigger();
    QCOMPARE(exits.count(), 1);

    f.prompt.Clear();
    f.frame->show();
    for (MonitorStateValue state :
         {MonitorStateValue::Idle, MonitorStateValue::Running, MonitorStateValue::Stopping}) {
      MonitorState = state;
      QVERIFY(!f.frame->close());
      QVERIFY(f.frame->isVisible());
    }
    const QString idle = QStringLiteral(
        "注意|ツールバーの[終了]、あるいは[ファイル][アプリケーションの終了]"
        "より終了してください。");
    const QString watching = QStringLiteral("注意|監視を停止してから終了してください。");
    QCOMPARE(ShownBoxes(f.prompt), QStringList({idle, watching, watching}));
  }
};

}  // namespace tarnwick::test

QTEST_MAIN(tarnwick::test::MainWindowTest)
#include "MainWindowTest.moc"
