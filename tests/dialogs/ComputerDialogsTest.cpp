// The add and edit computer dialogs, driven through their controls; every
// box they show is answered by a recording prompt.
#include <sched.h>
#include <sys/mount.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "dialogs/CAddComputerDlg.h"
#include "dialogs/CEditComputerDlg.h"
#include "dialogs/CIpAddressEdit.h"
#include "dialogs/CProgramGroup.h"
#include "gui/Cp932Text.h"
#include "gui_support/GuiTestSupport.h"
#include "platform/ProgramLauncher.h"

using namespace tarnwick;
using test::RecordingPrompt;
using test::ShownBoxes;

namespace {

const QString kNameMissing = QStringLiteral(
    "注意|コンピュータ名を入力してください。分からない場合には、適当な名前を入力してください"
    "(実際にはこの名前は使用されません)。この名前は後で編集することが可能です。");
const QString kMalformed = QStringLiteral("注意|メールの連絡先の書式に誤りがあります。");
const QString kAddressComma = QStringLiteral("注意|メールアドレスにカンマを含むことはできません。");
const QString kListCount = QStringLiteral(
    "注意|送信先メールアドレスの指定に誤りがあります。@とセミコロンの数が一致しません。");

QString Caution(const char* text) {
  return QStringLiteral("注意|") + QString::fromUtf8(text);
}

QString NotCp932(const char* label) {
  return QStringLiteral("注意|") + UiText(Msg::InputNotCp932).arg(QString::fromUtf8(label));
}

// A row as a watch leaves it: checked by FTP, up, with its times.
ComputerEntry WatchedFtpRow() {
  ComputerEntry row;
  row[Field::ComputerName] = "server";
  row[Field::IpAddress] = "10.0.0.1";
  row[Field::Status] = StatusUpText();
  row[Field::CheckService] = "FTP";
  row[Field::Port] = "21";
  row[Field::LastUpTime] = "2026/12/01 10:00:00";
  row[Field::LastDownTime] = "2026/11/30 09:00:00";
  row[Field::ByEventlog] = FlagText(true);
  row[Field::LastCheckTime] = "2026/12/01 10:05:00";
  return row;
}

// Sets controls by object name: text for edits and the address, a click for
// radio buttons, the state for check boxes (without the click's question).
void Apply(QWidget& dialog, const QVariantMap& edits) {
  for (auto it = edits.begin(); it != edits.end(); ++it) {
    auto* widget = dialog.findChild<QWidget*>(it.key());
    QVERIFY2(widget, qPrintable(it.key()));
    if (auto* address = qobject_cast<CIpAddressEdit*>(widget)) address->SetText(it->toString());
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setText(it->toString());
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) radio->click();
    if (auto* box = qobject_cast<QCheckBox*>(widget)) box->setChecked(it->toBool());
  }
}

void Click(QWidget& dialog, const char* button) {
  dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

QLineEdit* Edit(QWidget& dialog, const char* name) {
  return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

// Gives the main thread, and every thread it starts later, a mount namespace
// in which the name service reads only `hosts`: no real name server is asked.
// Returns why that failed, or an empty text.
QString UsePrivateHostsFile(const QTemporaryDir& dir, const QByteArray& hosts) {
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
    return QStringLiteral("no private mount namespace: ") + QString::fromUtf8(strerror(errno));
  const std::pair<const char*, QByteArray> files[] = {{"/etc/hosts", hosts},
                                                      {"/etc/nsswitch.conf", "hosts: files\n"},
                                                      {"/etc/host.conf", "multi on\n"}};
  for (const auto& [target, content] : files) {
    QFile file(dir.filePath(QString::fromUtf8(target).section('/', -1)));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
      return QStringLiteral("cannot write ") + file.fileName();
    file.close();
    if (::mount(qPrintable(file.fileName()), target, nullptr, MS_BIND, nullptr) != 0)
      return QStringLiteral("cannot bind over %1: %2").arg(target, strerror(errno));
  }
  return {};
}

const QVariantMap kValidAdd{{QStringLiteral("ipAddress"), QStringLiteral("10.0.0.1")},
                            {QStringLiteral("computerName"), QStringLiteral("server")},
                            {QStringLiteral("byEventlog"), true}};

}  // namespace

class ComputerDialogsTest : public QObject {
  Q_OBJECT

  ComputerListModel list_;
  ListState state_;
  AppSettings settings_;
  RecordingPrompt prompt_;
  QTemporaryDir hostsDir_;
  QString noPrivateHosts_;

  std::unique_ptr<CAddComputerDlg> AddDialog(const QVariantMap& edits = kValidAdd) {
    auto dialog = std::make_unique<CAddComputerDlg>(list_, state_, settings_, prompt_);
    Apply(*dialog, edits);
    return dialog;
  }
  std::unique_ptr<CEditComputerDlg> EditDialog(int row = 0) {
    return std::make_unique<CEditComputerDlg>(list_, row, state_, settings_, prompt_);
  }

 private slots:
  void initTestCase() {
    noPrivateHosts_ = UsePrivateHostsFile(
        hostsDir_,
        "10.20.30.1 multihome.tarnwick.test\n10.20.30.2 multihome.tarnwick.test\n"
        "10.20.30.3 multihome.tarnwick.test\n10.20.30.40 single.tarnwick.test single\n");
  }
  void init() {
    list_.ReplaceAll({});
    state_ = ListState{};
    settings_.MaxNumOfComputer = 10;
    prompt_.Clear();
  }

  // The first broken rule alone is shown, in the dialog's order; a form that
  // passes is written with the check method it names.
  void checks_data() {
    QTest::addColumn<bool>("add");
    QTest::addColumn<QVariantMap>("edits");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("written");  // "CheckService|Port", null when refused
    auto row = [](const char* name, bool add, const QVariantMap& edits, const QStringList& boxes,
                  const char* written = nullptr) {
      QTest::newRow(name) << add << edits << boxes
                          << (written ? QString::fromUtf8(written) : QString());
    };
    auto refused = [&row](const char* name, bool add, const QVariantMap& edits, const char* text) {
      row(name, add, edits, {Caution(text)});
    };
    using M = QVariantMap;
    const QString s = QStringLiteral("serviceName"), p = QStringLiteral("port"),
                  c = QStringLiteral("custom"), a = QStringLiteral("mailAddress"),
                  nd = QStringLiteral("noDefaultMail"), mail = QStringLiteral("byMail");
    row("ping", true, {}, {}, "PING|");
    row("ftp", true, M{{"ftp", true}}, {}, "FTP|21");
    row("notes", true, M{{"notes", true}}, {}, "NOTES|1352");
    row("custom PING keeps its port", true, M{{c, true}, {s, "PING"}, {p, "7"}}, {}, "PING|7");
    row("custom port 0", true, M{{c, true}, {s, "echo"}, {p, "0"}}, {}, "echo|0");
    row("custom port 00021", true, M{{c, true}, {s, "ftp2"}, {p, "00021"}}, {}, "ftp2|00021");
    row("custom port 65535", true, M{{c, true}, {s, "top"}, {p, "65535"}}, {}, "top|65535");
    const char* portRange = "ポート番号には0から65535までの値を設定してください。";
    refused("custom port 65536", true, M{{c, true}, {s, "echo"}, {p, "65536"}}, portRange);
    refused("edit port 99999", false, M{{p, "99999"}}, portRange);
    // What CP932 cannot hold is refused first, naming the field.
    row("name not in CP932, before a blank address", true,
        M{{"computerName", "jos\u00e9"}, {"ipAddress", ""}}, {NotCp932("コンピュータ名")});
    row("service not in CP932", true, M{{c, true}, {s, "\u20ac"}, {p, "1"}},
        {NotCp932("サービス名")});
    row("address not in CP932", false, M{{a, "a\U0001F600@b"}}, {NotCp932("メールアドレス")});
    row("ping leaves the service unused", false, M{{"ping", true}, {s, "\u00e9"}}, {}, "PING|");
    // The map clicks "custom" before "ping": the typed texts stay unused.
    row("ping after custom", true, M{{c, true}, {"ping", true}, {s, "x"}, {p, "9"}}, {}, "PING|");
    row("empty name", true, M{{"computerName", ""}}, {kNameMissing});
    refused("name comma", true, M{{"computerName", "a,b"}},
            "コンピュータ名にカンマを含むことはできません。");
    refused("blank address", true, M{{"ipAddress", ""}}, "IPアドレスを入力してください。");
    refused("0.0.0.0", true, M{{"ipAddress", "0.0.0.0"}}, "IPアドレスを入力してください。");
    refused("no notification", true, M{{"byEventlog", false}},
            "ダウン/復帰時の通知方法を一種類以上選択してください。");
    refused("custom without service", true, M{{c, true}}, "サービス名を入力してください。");
    refused("custom without port", true, M{{c, true}, {s, "echo"}},
            "ポート番号を入力してください。");
    refused("service comma", true, M{{c, true}, {s, "a,b"}, {p, "1"}},
            "サービス名にカンマを含むことはできません。");
    refused("down program comma", true, M{{"downProgram", "/bin/alert a,b"}},
            "ダウン時の実行プログラムにカンマを含むことはできません。");
    refused("restore program comma", true, M{{"restoreProgram", "x,y"}},
            "復帰時の実行プログラムにカンマを含むことはできません。");
    refused("mail without address", true, M{{mail, true}, {nd, true}},
            "送信先メールアドレスを指定してください。デフォルトのメールアドレスを使用するか、"
            "メールアドレスを指定してください。");
    row("malformed list", true, M{{mail, true}, {nd, true}, {a, "a@b;"}}, {kListCount, kMalformed});
    row("malformed list, mail off", true, M{{a, "a b@c"}},
        {Caution("送信先メールアドレスの指定に誤りがあります。空白が使用されています。"),
         kMalformed});
    row("address comma", true, M{{nd, true}, {mail, true}, {a, "a@b,c;d@e"}}, {kAddressComma});
    row("comma and malformed: add checks the list first", true, M{{a, "a,b@c;"}},
        {kListCount, kMalformed});
    row("address without mail", true, M{{nd, true}, {a, "a@b"}},
        {Caution("メールアドレスが指定されていますが、「メールで連絡」が指定されていないため、"
                 "メールは送信されません。")},
        "PING|");
    row("edit unchanged", false, {}, {}, "FTP|21");
    row("edit choosing ping empties the port", false, M{{"ping", true}}, {}, "PING|");
    refused("edit lower-case ping needs a port", false, M{{s, "ping"}, {p, ""}},
            "ポート番号を入力してください。");
    row("comma and malformed: edit checks the comma first", false, M{{a, "a,b@c;"}},
        {kAddressComma});
  }
  void checks() {
    QFETCH(bool, add);
    QFETCH(QVariantMap, edits);
    QFETCH(QStringList, boxes);
    QFETCH(QString, written);
    list_.AppendEntry(WatchedFtpRow());
    std::unique_ptr<QDialog> dialog;
    if (add) {
      QVariantMap all = kValidAdd;
      all.insert(edits);
      dialog = AddDialog(all);
    } else {
      dialog = EditDialog();
      Apply(*dialog, edits);
    }
    Click(*dialog, add ? "add" : "ok");
    QCOMPARE(ShownBoxes(prompt_), boxes);
    QCOMPARE(state_.modified, !written.isNull());
    QCOMPARE(list_.rowCount(), add && !written.isNull() ? 2 : 1);
    if (written.isNull()) {
      QCOMPARE(list_.Entry(0).fields, WatchedFtpRow().fields);
      return;
    }
    const ComputerEntry stored = list_.Entry(add ? 1 : 0);
    QCOMPARE(FromCp932(stored[Field::CheckService] + '|' + stored[Field::Port]), written);
  }

  void fullListShowsOnlyTheCapacity() {
    settings_.MaxNumOfComputer = 1;
    list_.AppendEntry(WatchedFtpRow());
    auto dialog = AddDialog({});
    Click(*dialog, "add");
    QCOMPARE(ShownBoxes(prompt_),
             {Caution("これ以上、監視するコンピュータを追加することはできません。")});
    QCOMPARE(list_.rowCount(), 1);
  }

  void addTwiceAppendsTwoRowsAndStaysOpen() {
    auto dialog = AddDialog();
    dialog->show();
    Click(*dialog, "add");
    Click(*dialog, "add");
    QVERIFY(dialog->isVisible());
    QCOMPARE(Edit(*dialog, "computerName")->text(), QStringLiteral("server"));
    QVERIFY(state_.modified);
    QCOMPARE(list_.rowCount(), 2);
    ComputerEntry expected;
    expected[Field::ComputerName] = "server";
    expected[Field::IpAddress] = "10.0.0.1";
    expected[Field::Status] = StatusUnknownText();
    expected[Field::CheckService] = "PING";
    expected[Field::ByEventlog] = FlagText(true);
    QCOMPARE(list_.Entry(0).fields, expected.fields);
    QCOMPARE(list_.Entry(1).fields, expected.fields);
  }

  void openingStateAndChoices() {
    auto dialog = AddDialog({});
    QVERIFY(dialog->findChild<QRadioButton*>(QStringLiteral("ping"))->isChecked());
    QCOMPARE(dialog->portChoice(), CAddComputerDlg::kPingChoice);
    QVERIFY(!Edit(*dialog, "serviceName")->isEnabled() && !Edit(*dialog, "port")->isEnabled());
    QVERIFY(!Edit(*dialog, "mailAddress")->isEnabled());
    Apply(*dialog, {{QStringLiteral("custom"), true}, {QStringLiteral("serviceName"), "echo"}});
    QCOMPARE(dialog->portChoice(), CAddComputerDlg::kCustomChoice);
    QVERIFY(Edit(*dialog, "serviceName")->isEnabled() && Edit(*dialog, "port")->isEnabled());
    QTest::keyClicks(Edit(*dialog, "port"), QStringLiteral("12a3456"));
    QCOMPARE(Edit(*dialog, "port")->text(), QStringLiteral("12345"));
    Apply(*dialog, {{QStringLiteral("pop3"), true}});
    QCOMPARE(dialog->portChoice(), 110);
    QVERIFY(!Edit(*dialog, "serviceName")->isEnabled());
    QCOMPARE(Edit(*dialog, "serviceName")->text(), QStringLiteral("echo"));
    // Tab walks the dialog in reading order: left column, right column, buttons.
    QStringList tabOrder;
    for (QWidget* w = dialog->findChild<QWidget*>(QStringLiteral("octet0")); w != dialog.get();
         w = w->nextInFocusChain())
      if (!w->objectName().isEmpty() && (w->focusPolicy() & Qt::TabFocus))
        tabOrder << w->objectName();
    QCOMPARE(tabOrder.join(' '),
             QStringLiteral(
                 "octet0 octet1 octet2 octet3 computerName resolveName resolveAddress ping "
                 "ftp smtp web pop2 pop3 notes custom serviceName port byMail byNetsend "
                 "byEventlog downProgram restoreProgram noDefaultMail mailAddress add close"));
  }

  void enterInAnEditClosesWithoutAdding() {
    auto dialog = AddDialog();
    dialog->show();
    QTest::keyClick(Edit(*dialog, "computerName"), Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(list_.rowCount(), 0);
  }

  // Limits count CP932 bytes and never split a double-byte character.
  void byteLimits_data() {
    QTest::addColumn<bool>("add");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("kept");  // characters
    auto row = [](bool add, const char* control, const QString& typed, int kept) {
      QTest::addRow("%s %s", add ? "add" : "edit", control) << add << control << typed << kept;
    };
    const QString kana = QStringLiteral("あ");
    row(true, "computerName", QString(129, 'n'), 128);
    row(true, "serviceName", kana.repeated(33), 32);
    row(false, "computerName", kana.repeated(65), 64);
    row(false, "serviceName", QString(64, 's'), 63);
    row(true, "downProgram", QString(513, 'p'), 512);
    row(false, "restoreProgram", QString(512, 'p'), 511);
    row(true, "mailAddress", QString(250, 'm'), 249);
  }
  void byteLimits() {
    QFETCH(bool, add);
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(int, kept);
    list_.AppendEntry(WatchedFtpRow());
    std::unique_ptr<QDialog> dialog = add ? std::unique_ptr<QDialog>(AddDialog({})) : EditDialog();
    QLineEdit* edit = dialog->findChild<QLineEdit*>(control);
    edit->clear();
    edit->insert(typed);
    QCOMPARE(edit->text(), typed.left(kept));
  }

  void editShowsAndSavesAnAddedFtpRow() {
    auto add = AddDialog({{QStringLiteral("ipAddress"), "10.0.0.1"},
                          {QStringLiteral("computerName"), QString(128, 'n')},
                          {QStringLiteral("ftp"), true},
                          {QStringLiteral("byMail"), true}});
    Click(*add, "add");
    ComputerEntry watched = list_.Entry(0);
    watched[Field::Status] = StatusDownText();
    watched[Field::LastUpTime] = "2026/12/01 10:00:00";
    watched[Field::LastDownTime] = "2026/12/01 11:00:00";
    watched[Field::LastCheckTime] = "2026/12/01 11:05:00";
    list_.ReplaceEntry(0, watched);
    state_.modified = false;

    auto dialog = EditDialog();
    QVERIFY(dialog->findChild<QRadioButton*>(QStringLiteral("service"))->isChecked());
    QVERIFY(!dialog->findChild<QRadioButton*>(QStringLiteral("ping"))->isChecked());
    QCOMPARE(Edit(*dialog, "serviceName")->text(), QStringLiteral("FTP"));
    QCOMPARE(Edit(*dialog, "port")->text(), QStringLiteral("21"));
    QCOMPARE(Edit(*dialog, "computerName")->text(), QString(128, 'n'));
    Click(*dialog, "ok");
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(state_.modified);
    ComputerEntry expected = watched;
    expected[Field::Status] = StatusUnknownText();
    expected[Field::LastUpTime].clear();
    expected[Field::LastDownTime].clear();
    QCOMPARE(list_.Entry(0).fields, expected.fields);
  }

  // A row from a list file, beyond every limit for typing: what the user
  // leaves stays byte for byte; what the user edits takes its limit.
  void editKeepsWhatTheUserLeft() {
    ComputerEntry row = WatchedFtpRow();
    row[Field::ComputerName] = ToCp932(QStringLiteral("あ").repeated(100));
    row[Field::CheckService] = std::string(70, 's');
    row[Field::Port] = "00021";
    row[Field::ByEventlog] = "1";
    row[Field::DownProgram] = std::string(600, 'p');
    list_.AppendEntry(row);
    for (const bool typed : {false, true}) {
      auto dialog = EditDialog();
      dialog->show();
      QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
      if (typed) QTest::keyClick(Edit(*dialog, "computerName"), 'x');
      Click(*dialog, "ok");
      if (typed) row[Field::ComputerName].resize(128);
      row[Field::Status] = StatusUnknownText();
      row[Field::LastUpTime] = row[Field::LastDownTime] = "";
      QCOMPARE(list_.Entry(0).fields, row.fields);
    }
  }

  // A program in a folder with a blank is put in quoted, and starts so.
  void browsedProgramWithABlankIsQuotedAndRuns() {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("alert scripts/page.sh"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("alert scripts"))));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\ntouch \"$0.ran\"\n") > 0);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    auto dialog = AddDialog();
    dialog->show();
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QTimer::singleShot(0, [&] {
      auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      chooser->selectFile(script);
      static_cast<QDialog*>(chooser)->accept();
    });
    qobject_cast<CProgramGroup*>(Edit(*dialog, "downProgram")->parentWidget())->browse()->click();
    Click(*dialog, "add");
    QCOMPARE(FromCp932(list_.Entry(0)[Field::DownProgram]), '"' + script + '"');
    QVERIFY(ProgramLauncher::System().Start(list_.Entry(0)[Field::DownProgram]).pid > 0);
    QTRY_VERIFY(QFile::exists(script + QStringLiteral(".ran")));
  }

  void editCancelAndEscapeLeaveTheRow() {
    list_.AppendEntry(WatchedFtpRow());
    for (const bool escape : {false, true}) {
      auto dialog = EditDialog();
      dialog->show();
      Apply(*dialog, {{QStringLiteral("computerName"), "changed"}, {QStringLiteral("ping"), true}});
      if (escape)
        QTest::keyClick(Edit(*dialog, "computerName"), Qt::Key_Escape);
      else
        Click(*dialog, "cancel");
      QCOMPARE(dialog->result(), int(QDialog::Rejected));
      QCOMPARE(list_.Entry(0).fields, WatchedFtpRow().fields);
      QVERIFY(!state_.modified);
    }
  }

  void ipAddressKeyboard_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("address");
    auto row = [](const char* name, const char* keys, const char* address) {
      QTest::newRow(name) << keys << address;
    };
    row("full octets move on, a dot in an empty field waits", "192.168.1.10", "192.168.1.10");
    row("short octets", "10.1.2.3", "10.1.2.3");
    row("above 255", "3001", "255.1.0.0");
    row("letters ignored", "1a2", "12.0.0.0");
    row("backspace in an empty field moves back", "10.\b\b", "1.0.0.0");
  }
  void ipAddressKeyboard() {
    QFETCH(QString, keys);
    QFETCH(QString, address);
    CIpAddressEdit edit;
    edit.show();
    QApplication::setActiveWindow(&edit);
    QVERIFY(QTest::qWaitForWindowActive(&edit));
    edit.Field(0)->setFocus();
    for (const QChar key : keys)
      QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
    QCOMPARE(edit.Text(), address);
  }

  void defaultAddressQuestion_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("stillChecked");
    QTest::addColumn<QString>("left");
    QTest::newRow("empty address asks nothing") << "" << int(PromptAnswer::Yes) << false << "";
    QTest::newRow("no keeps the address") << "a@b" << int(PromptAnswer::No) << true << "a@b";
    QTest::newRow("yes erases it") << "a@b" << int(PromptAnswer::Yes) << false << "";
  }
  void defaultAddressQuestion() {
    QFETCH(QString, address);
    QFETCH(int, answer);
    QFETCH(bool, stillChecked);
    QFETCH(QString, left);
    auto dialog = AddDialog({});
    auto* noDefault = dialog->findChild<QCheckBox*>(QStringLiteral("noDefaultMail"));
    noDefault->click();
    QVERIFY(Edit(*dialog, "mailAddress")->isEnabled());
    Edit(*dialog, "mailAddress")->setText(address);
    prompt_.QueueAnswer(static_cast<PromptAnswer>(answer));
    noDefault->click();
    QCOMPARE(noDefault->isChecked(), stillChecked);
    QCOMPARE(Edit(*dialog, "mailAddress")->isEnabled(), stillChecked);
    QCOMPARE(Edit(*dialog, "mailAddress")->text(), left);
    QStringList asked;
    if (!address.isEmpty())
      asked << QStringLiteral(
          "確認|デフォルトのメールアドレスを使用するため、a@bは消去します。"
          "よろしいですか。");
    QCOMPARE(ShownBoxes(prompt_), asked);
    if (!asked.isEmpty()) QVERIFY(prompt_.shown()[0].buttons == PromptButtons::YesNo);
  }

  // Controls as "name|address" before and after; the box is a "確認" one.
  void nameLookups_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("box");
    auto row = [](const char* name, const char* button, const char* before, const char* after,
                  const char* box = "") {
      QTest::newRow(name) << button << before << after << box;
    };
    const char* toName = "resolveName";
    const char* toAddress = "resolveAddress";
    row("several addresses leave the last", toAddress, "multihome.tarnwick.test|",
        "multihome.tarnwick.test|10.20.30.3");
    row("address to name", toName, "|10.20.30.40", "single.tarnwick.test|10.20.30.40");
    row("unknown name", toAddress, "nowhere.test|1.2.3.4", "nowhere.test|1.2.3.4",
        "このコンピュータ名は解決できませんでした。手入力でＩＰアドレスを入力してください。");
    row("unknown address", toName, "keep|10.9.9.9", "keep|10.9.9.9",
        "このＩＰアドレスは解決できませんでした。手入力でコンピュータ名を入力してください。");
    row("no name", toAddress, "|1.2.3.4", "|1.2.3.4", "解決するコンピュータ名を入力してください。");
    row("no address", toName, "keep|", "keep|0.0.0.0", "解決するＩＰアドレスを入力してください。");
  }
  void nameLookups() {
    if (!noPrivateHosts_.isEmpty()) QSKIP(qPrintable(noPrivateHosts_));
    QFETCH(QString, button);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, box);
    auto dialog = AddDialog({{QStringLiteral("computerName"), before.section('|', 0, 0)},
                             {QStringLiteral("ipAddress"), before.section('|', 1)}});
    Click(*dialog, button.toLatin1().constData());
    QCOMPARE(
        Edit(*dialog, "computerName")->text() + '|' + dialog->findChild<CIpAddressEdit*>()->Text(),
        after);
    QCOMPARE(ShownBoxes(prompt_),
             box.isEmpty() ? QStringList() : QStringList{QStringLiteral("確認|") + box});
  }
};

QTEST_MAIN(ComputerDialogsTest)
#include "ComputerDialogsTest.moc"
