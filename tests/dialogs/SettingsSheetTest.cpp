#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <new>
#include <utility>

#include "dialogs/CMailSecurityGroup.h"
#include "dialogs/CPageHtml.h"
#include "dialogs/CPageMail.h"
#include "dialogs/CPageMsg.h"
#include "dialogs/CPageNetsend.h"
#include "dialogs/CPageParameter.h"
#include "dialogs/CPagePing.h"
#include "dialogs/CPageSchedule.h"
#include "dialogs/CSettingsSheet.h"
#include "dialogs/ModalWork.h"
#include "dialogs/WorkProgressWindow.h"
#include "gui/Cp932Text.h"
#include "gui_support/GuiTestSupport.h"
#include "settings/SettingsStore.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPort.h"
#include "support/ProcessRunner.h"
#include "support/SambaServer.h"
#include "support/SmtpSink.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

enum Tab { kMail, kPing, kNetsend, kHtml, kMsg, kParameter, kSchedule };

const QString kCaution = QStringLiteral("注意|");
const QString kAllMailFields = kCaution + QStringLiteral(
                                              "メールサーバ名、送信先メールアドレス、送信元メール"
                                              "アドレスのすべてを入力してください。");
const QString kOneSender = kCaution + QStringLiteral(
                                          "送信元メールアドレスが不正です。メールアドレスは一人分"
                                          "のみ指定してください。");
const QString kHourMissing = kCaution + QStringLiteral("時間(時)を指定してください。");
const QString kReloadTooShort =
    kCaution + QStringLiteral("HTMLファイルリロード間隔には1分以上の値を設定してください。");
const QString kNoHtmlFile = kCaution + QStringLiteral("HTML出力ファイルを指定してください。");

// The subject and body of a saved mail, as a mail reader decodes them.
constexpr const char* kDecodeMail = R"(
import email, email.policy, sys
message = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
part = next(message.iter_parts()) if message.is_multipart() else message
print(str(message['Subject']) + '|' + part.get_content().strip())
)";

bool NeedsRoot() {
  return ::geteuid() != 0 && std::getenv("CI") == nullptr;
}

}  // namespace

class SettingsSheetTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> dir_;
  std::unique_ptr<RegistryFile> registry_;
  AppSettings settings_;
  test::RecordingPrompt prompt_;
  std::unique_ptr<CSettingsSheet> sheet_;

  template <typename Page>
  Page* Open(int tab) {
    sheet_->show();
    sheet_->tabs()->setCurrentIndex(tab);
    return sheet_->page<Page>(tab);
  }

  QStringList Boxes() const { return test::ShownBoxes(prompt_); }

  // Presses Apply; true when every shown page accepted.
  bool Apply() {
    prompt_.Clear();
    sheet_->applyButton()->setEnabled(true);
    sheet_->applyButton()->click();
    return Boxes().isEmpty();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    registry_ = std::make_unique<RegistryFile>(dir_->File("registry.reg"));
    settings_ = AppSettings();
    LoadSettings(settings_, *registry_);
    prompt_.Clear();
    sheet_ = std::make_unique<CSettingsSheet>(settings_, *registry_, prompt_);
  }

  void cleanup() { sheet_.reset(); }

  void mailApplyNeedsAllOrNoneAndOneSender_data() {
    QTest::addColumn<QStringList>("fields");  // server, recipients, sender
    QTest::addColumn<QString>("box");
    const QString server = QStringLiteral("mail.example.jp");
    QTest::newRow("all empty") << QStringList{"", "", ""} << QString();
    QTest::newRow("no recipients") << QStringList{server, "", "w@example.jp"} << kAllMailFields;
    QTest::newRow("two senders") << QStringList{server, "a@example.jp", "w@example.jp;x@example.jp"}
                                 << kOneSender;
    QTest::newRow("bad list") << QStringList{server, "a@example.jp;;b@example.jp", "w@example.jp"}
                              << kCaution + UiText(Msg::MailAddressSeparatorPosition);
    QTest::newRow("all set") << QStringList{server, "a@example.jp;b@example.jp", "W <w@example.jp>"}
                             << QString();
  }

  void mailApplyNeedsAllOrNoneAndOneSender() {
    QFETCH(QStringList, fields);
    QFETCH(QString, box);
    settings_.SmtpServer = "old.example.jp";
    auto* mail = Open<CPageMail>(kMail);
    mail->serverEdit()->setText(fields[0]);
    mail->recipientsEdit()->setText(fields[1]);
    mail->senderEdit()->setText(fields[2]);
    mail->waitBox()->setChecked(true);
    QCOMPARE(Apply(), box.isEmpty());
    QCOMPARE(Boxes().value(0), box);
    const QStringList stored{FromCp932(settings_.SmtpServer), FromCp932(settings_.MailTo),
                             FromCp932(settings_.MailFrom)};
    const QStringList unchanged{"old.example.jp", "", ""};
    QCOMPARE(stored, box.isEmpty() ? fields : unchanged);
    QCOMPARE(settings_.MailAfter30Minutes, box.isEmpty() ? 1 : 0);
  }

  void mailSecurityRefusesCredentialsInClearText_data() {
    QTest::addColumn<int>("protection");
    QTest::addColumn<QStringList>("fields");  // port, user, password
    QTest::addColumn<QString>("box");
    const QString port =
        kCaution + QStringLiteral("ポート番号には1から65535までの値を入力してください。");
    const QString both =
        kCaution + QStringLiteral("ユーザー名とパスワードは両方とも入力してください。");
    QTest::newRow("port 0") << 1 << QStringList{"0", "", ""} << port;
    QTest::newRow("port 65536") << 2 << QStringList{"65536", "", ""} << port;
    QTest::newRow("user only") << 1 << QStringList{"", "u", ""} << both;
    QTest::newRow("password only") << 1 << QStringList{"", "", "p"} << both;
    QTest::newRow("login in clear")
        << 0 << QStringList{"", "u", "p"}
        << kCaution + QStringLiteral("認証を使う場合は接続を保護してください。");
    QTest::newRow("TLS on 2465") << 2 << QStringList{"2465", "ユーザ", "秘密"} << QString();
  }

  void mailSecurityRefusesCredentialsInClearText() {
    QFETCH(int, protection);
    QFETCH(QStringList, fields);
    QFETCH(QString, box);
    CMailSecurityGroup* group = Open<CPageMail>(kMail)->securityGroup();
    group->protectionBox()->setCurrentIndex(protection);
    QVERIFY(group->portNote()->text().contains(QStringList{"25", "587", "465"}[protection]));
    group->portEdit()->setText(fields[0]);
    group->userEdit()->setText(fields[1]);
    group->passwordEdit()->setText(fields[2]);
    QCOMPARE(Apply(), box.isEmpty());
    QCOMPARE(Boxes().value(0), box);
    const QStringList stored{QString::number(settings_.SmtpPort), FromCp932(settings_.SmtpUser),
                             FromCp932(settings_.SmtpPassword)};
    const QStringList unchanged{"0", "", ""};
    QCOMPARE(stored, box.isEmpty() ? fields : unchanged);
    QCOMPARE(settings_.SmtpSecurity, box.isEmpty() ? protection : 0);
  }

  void testMailNamesTheEmptyFieldAndKeepsTheLanguage_data() {
    QTest::addColumn<QStringList>("fields");  // server, sender
    QTest::addColumn<QString>("box");
    QTest::newRow("no recipients") << QStringList{"mail.example.jp", "w@example.jp"}
                                   << QStringLiteral("メールの送信先ユーザ名を入力してください。");
    QTest::newRow("nothing") << QStringList{"", ""}
                             << QStringLiteral("メールサーバ(SMTPサーバ)名を入力してください。");
    QTest::newRow("no sender") << QStringList{"mail.example.jp", ""}
                               << QStringLiteral("メールの送信元ユーザ名を入力してください。");
  }

  void testMailNamesTheEmptyFieldAndKeepsTheLanguage() {
    QFETCH(QStringList, fields);
    QFETCH(QString, box);
    auto* mail = Open<CPageMail>(kMail);
    mail->serverEdit()->setText(fields[0]);
    mail->senderEdit()->setText(fields[1]);
    mail->englishBox()->setChecked(true);
    mail->testButton()->click();
    QCOMPARE(Boxes(), QStringList{kCaution + box});
    sheet_->reject();
    QCOMPARE(settings_.SendMailByEnglish, 1);
    QVERIFY(settings_.SmtpServer.empty());
  }

  void testMailReachesARealServer() {
    test::SmtpSink sink;
    test::SyslogReceiver eventLog;
    ::setenv("TARNWICK_SYSLOG_SOCKET", eventLog.path().c_str(), 1);
    auto* mail = Open<CPageMail>(kMail);
    mail->serverEdit()->setText(QString::fromStdString(sink.address()));
    mail->recipientsEdit()->setText(QStringLiteral("a@example.jp;b@example.jp;c@example.jp"));
    // Two addresses in the sender: apply refuses them, the test mail sends
    // them to the server, which refuses them in turn.
    mail->senderEdit()->setText(QStringLiteral("w@example.jp;x@example.jp"));
    mail->testButton()->click();
    const QString confirmation =
        QStringLiteral("確認|a@example.jp\nb@example.jp\nc@example.jp\n(合計 3 人)へ送信します。");
    QCOMPARE(Boxes(),
             (QStringList{confirmation, QStringLiteral("エラー|メール送信に失敗しました。"
                                                       "詳細はイベントログを参照してください。")}));
    const auto refusal = eventLog.Receive();
    ::unsetenv("TARNWICK_SYSLOG_SOCKET");
    QVERIFY(refusal && refusal->message.find("MAIL FROM") != std::string::npos);
    QVERIFY(refusal->message.find("w@example.jp;x@example.jp") != std::string::npos);

    prompt_.Clear();
    mail->senderEdit()->setText(QStringLiteral("w@example.jp"));
    mail->testButton()->click();
    QCOMPARE(Boxes(),
             (QStringList{confirmation, QStringLiteral("確認|メール送信に成功しました。")}));
    const auto messages = sink.WaitForMessages(1);
    QCOMPARE(messages.size(), std::size_t{1});
    const auto decoded =
        test::ProcessRunner::Run({"/usr/bin/python3", "-c", kDecodeMail, messages[0]});
    QCOMPARE(QString::fromStdString(decoded.output).trimmed(),
             QStringLiteral("Tarnwick テストメール|これはTarnwick のテストメールです。"));
  }

  // A failed test message says why: here nothing listens on the port.
  void testNetSendFailureNamesItsCause() {
    const int port = test::UnusedLoopbackPort();
    QVERIFY(port != 0);
    auto* netsend = Open<CPageNetsend>(kNetsend);
    ::setenv("TARNWICK_NETSEND_ADDRESS", "127.0.0.1", 1);
    ::setenv("TARNWICK_NETSEND_PORT", std::to_string(port).c_str(), 1);
    netsend->recipientEdit()->setText(QStringLiteral("ADMINPC"));
    netsend->testButton()->click();
    ::unsetenv("TARNWICK_NETSEND_ADDRESS");
    ::unsetenv("TARNWICK_NETSEND_PORT");
    QCOMPARE(Boxes(), QStringList{QStringLiteral("エラー|メッセージの送信に失敗しました。\n"
                                                 "送信先のコンピュータに接続を拒否されました。")});
  }

  void cancelledTestMailFreesTheSheetForTheNextOne() {
    test::LoopbackListener silent;
    auto* mail = Open<CPageMail>(kMail);
    mail->serverEdit()->setText(QStringLiteral("127.0.0.1:%1").arg(silent.port()));
    mail->senderEdit()->setText(QStringLiteral("w@example.jp"));
    mail->recipientsEdit()->setText(QStringLiteral("a@example.jp"));
    UniqueFd held;
    QString shown;
    bool outlivedTheCancel = false;
    QTimer::singleShot(0, [&] {
      // Cancelled while the mail waits for a greeting that never comes.
      held = silent.Accept(10000);
      auto* progress = sheet_->findChild<WorkProgressWindow*>();
      shown = progress->textLabel()->text();
      QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
      // Not a speed bound: only a dialogue the cancel failed to end runs on
      // towards the 30-second wait for the greeting.
      QTimer::singleShot(10000, progress, [&] { outlivedTheCancel = true; });
    });
    mail->testButton()->click();
    QVERIFY(held.valid());
    QVERIFY(!outlivedTheCancel);
    QCOMPARE(shown, QStringLiteral("メールサーバに接続しています..."));
    const QString confirmation = QStringLiteral("確認|a@example.jp\n(合計 1 人)へ送信します。");
    QCOMPARE(Boxes(), QStringList{confirmation});
    QVERIFY(sheet_->findChild<WorkProgressWindow*>() == nullptr);

    test::SmtpSink sink;
    prompt_.Clear();
    mail->serverEdit()->clear();
    QTest::keyClicks(mail->serverEdit(), QString::fromStdString(sink.address()));
    mail->testButton()->click();
    QCOMPARE(Boxes(),
             (QStringList{confirmation, QStringLiteral("確認|メール送信に成功しました。")}));
    QCOMPARE(sink.WaitForMessages(1).size(), std::size_t{1});
  }

  void testNetSendReachesARealSmbd() {
    if (NeedsRoot()) QSKIP("needs root (runs in CI)");
    test::SambaServer peer;
    QVERIFY2(peer.running(), peer.Log().c_str());
    auto* netsend = Open<CPageNetsend>(kNetsend);
    netsend->testButton()->click();
    QCOMPARE(Boxes(),
             QStringList{kCaution + QStringLiteral("テストメッセージを送信するコンピュータ名を入力"
                                                   "してください。")});
    prompt_.Clear();
    ::setenv("TARNWICK_NETSEND_ADDRESS", "127.0.0.1", 1);
    ::setenv("TARNWICK_NETSEND_PORT", std::to_string(peer.port()).c_str(), 1);
    netsend->recipientEdit()->setText(QStringLiteral("ADMINPC"));
    netsend->testButton()->click();
    ::unsetenv("TARNWICK_NETSEND_ADDRESS");
    ::unsetenv("TARNWICK_NETSEND_PORT");
    QCOMPARE(Boxes(), QStringList{QStringLiteral("確認|メッセージの送信に成功しました。")});
    char host[256] = {};
    QCOMPARE(::gethostname(host, sizeof host - 1), 0);
    const std::string sender = std::string(host).substr(0, std::string(host).find('.'));
    QCOMPARE(QString::fromStdString(peer.ReceivedMessage(sender.substr(0, 15)).value_or("")),
             QStringLiteral("これはテストメッセージです。"));
  }

  void slowWorkKeepsTheGuiThreadRunningButTheSheetBlocked() {
    auto* ping = Open<CPagePing>(kPing);
    std::promise<void> ticked;
    QTimer::singleShot(0, [&] {
      QTest::mouseClick(ping->defaultsButton(), Qt::LeftButton);
      sheet_->close();
      ticked.set_value();
    });
    // The work can only end well if the GUI thread runs the timer meanwhile.
    QVERIFY(ModalWork::Run(*sheet_, [&] {
      return ticked.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    }));
    QCOMPARE(ping->timeOutEdit()->text(), QStringLiteral("5000"));
    QVERIFY(sheet_->isVisible());
    QVERIFY(!ModalWork::Run(*sheet_, []() -> bool { throw std::bad_alloc(); }));
  }

  void messageDefaultsThenCancelChangeNothing() {
    settings_.DownMsgJp = "custom down";
    auto* msg = Open<CPageMsg>(kMsg);
    msg->defaultsButton()->click();
    QCOMPARE(msg->edit(CPageMsg::DownMsgJp)->text(), UiText(Msg::DefaultDownMsgJp));
    QCOMPARE(msg->edit(CPageMsg::RestoreSubjectUs)->text(), UiText(Msg::DefaultRestoreSubjectUs));
    QVERIFY(sheet_->applyButton()->isEnabled());
    sheet_->reject();
    QCOMPARE(settings_.DownMsgJp, std::string("custom down"));
  }

  void messageFieldsFollowTheMailPagesLanguage() {
    auto* msg = Open<CPageMsg>(kMsg);
    QVERIFY(!msg->edit(CPageMsg::DownMsgUs)->isEnabled());
    QVERIFY(msg->edit(CPageMsg::DownSubjectJp)->isEnabled());
    QVERIFY(msg->edit(CPageMsg::DownMsgJp)->isEnabled());
    // A disabled English message must still be filled.
    msg->edit(CPageMsg::RestoreMsgUs)->clear();
    QVERIFY(!Apply());
    QCOMPARE(Boxes(), QStringList{kCaution +
                                  QStringLiteral("復帰時のメッセージ(英語)を入力してください。")});
    // The mail page's box counts as it stands, before any apply.
    Open<CPageMail>(kMail)->englishBox()->setChecked(true);
    Open<CPageMsg>(kMsg);
    QVERIFY(msg->edit(CPageMsg::DownMsgUs)->isEnabled());
    QVERIFY(!msg->edit(CPageMsg::RestoreSubjectJp)->isEnabled());
    QVERIFY(msg->edit(CPageMsg::RestoreMsgJp)->isEnabled());
  }

  void pingTimeOutReadsLeadingDigits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stored");  // 0: refused
    QTest::newRow("digits then letters") << "20abc" << 20;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("9") << "9" << 0;
    QTest::newRow("10") << "10" << 10;
    QTest::newRow("largest") << "99999" << 99999;
  }

  void pingTimeOutReadsLeadingDigits() {
    QFETCH(QString, text);
    QFETCH(int, stored);
    Open<CPagePing>(kPing)->timeOutEdit()->setText(text);
    QCOMPARE(Apply(), stored != 0);
    QCOMPARE(settings_.PingTimeOut, stored != 0 ? stored : 5000);
    if (stored == 0)
      QCOMPARE(Boxes(),
               QStringList{kCaution +
                           QStringLiteral("タイムアウト値は10ミリ秒以上を設定してください。")});
  }

  void parameterIntervalRetriesAndDefaults() {
    auto* parameter = Open<CPageParameter>(kParameter);
    parameter->intervalEdit()->setText(QStringLiteral("0"));
    parameter->retryEdit()->clear();
    parameter->runningLogBox()->setChecked(true);
    QVERIFY(!Apply());
    QCOMPARE(settings_.CheckInterval, 1);
    parameter->runningLogBox()->setChecked(false);
    QVERIFY(Apply());
    QCOMPARE(settings_.CheckInterval, 0);
    QCOMPARE(settings_.MaxRetry, 0);

    for (QCheckBox* box : {parameter->resolveBox(), parameter->runningLogBox(),
                           parameter->noLogoBox(), parameter->autoStartBox()})
      box->setChecked(true);
    parameter->defaultsButton()->click();
    QCOMPARE(parameter->intervalEdit()->text(), QStringLiteral("1"));
    QCOMPARE(parameter->retryEdit()->text(), QStringLiteral("4"));
    QVERIFY(!parameter->resolveBox()->isChecked());
    QVERIFY(!parameter->runningLogBox()->isChecked());
    QVERIFY(parameter->noLogoBox()->isChecked() && parameter->autoStartBox()->isChecked());
  }

  void parallelChecksTakeZeroTo256() {
    auto* parameter = Open<CPageParameter>(kParameter);
    parameter->parallelEdit()->setText(QStringLiteral("257"));
    QVERIFY(!Apply());
    QCOMPARE(Boxes(), QStringList{kCaution + QStringLiteral("同時に確認する台数には0から256まで"
                                                            "の値を設定してください。")});
    QCOMPARE(settings_.ParallelChecks, 0);
    parameter->parallelEdit()->setText(QStringLiteral("256"));
    QVERIFY(Apply());
    QCOMPARE(settings_.ParallelChecks, 256);
  }

  void preloadBrowseStartsOnTheStoredFile() {
    const std::string stored = dir_->File("stored.ls2");
    test::TempDir::WriteFile(stored, "ZNRQ\r\n");
    settings_.PreloadFile = stored;
    auto* parameter = Open<CPageParameter>(kParameter);
    parameter->preloadEdit()->setText(QStringLiteral("typed.ls2"));
    QStringList filters;
    QStringList initial;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      filters = dialog->nameFilters();
      initial = dialog->selectedFiles();
      static_cast<QDialog*>(dialog)->accept();
    });
    parameter->browseButton()->click();
    QCOMPARE(filters, QStringList{QStringLiteral("コンピュータリスト(*.ls2) (*.ls2)")});
    QCOMPARE(initial, QStringList{QString::fromStdString(stored)});
    QCOMPARE(parameter->preloadEdit()->text(), QString::fromStdString(stored));
  }

  void scheduleChecksOnlyWhenOn_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<QStringList>("texts");  // hour, minute, length
    QTest::addColumn<QString>("box");
    QTest::newRow("hour 24") << true << QStringList{"24", "0", "60"}
                             << kCaution + QStringLiteral("0時から23時の間を指定してください。");
    const QString lengthBox =
        kCaution + QStringLiteral("監視を停止する時間は、5分から720の間を指定してください。");
    QTest::newRow("length 4") << true << QStringList{"23", "59", "4"} << lengthBox;
    QTest::newRow("length 721") << true << QStringList{"0", "0", "721"} << lengthBox;
    QTest::newRow("length 5") << true << QStringList{"23", "30", "5"} << "";
    QTest::newRow("length 720") << true << QStringList{"0", "0", "720"} << "";
    QTest::newRow("all empty") << true << QStringList{"", "", ""} << kHourMissing;
    QTest::newRow("off, out of range") << false << QStringList{"99", "", "4"} << "";
  }

  void scheduleChecksOnlyWhenOn() {
    QFETCH(bool, on);
    QFETCH(QStringList, texts);
    QFETCH(QString, box);
    auto* schedule = Open<CPageSchedule>(kSchedule);
    QVERIFY(!schedule->hourEdit()->isEnabled());
    schedule->enableBox()->setChecked(on);
    QCOMPARE(schedule->lengthEdit()->isEnabled(), on);
    schedule->hourEdit()->setText(texts[0]);
    schedule->minuteEdit()->setText(texts[1]);
    schedule->lengthEdit()->setText(texts[2]);
    QCOMPARE(Apply(), box.isEmpty());
    QCOMPARE(Boxes(), box.isEmpty() ? QStringList() : QStringList{box});
    if (box.isEmpty()) {
      QCOMPARE(settings_.EnableUnavailableSchedule, on ? 1 : 0);
      QCOMPARE(settings_.UnavailableHour, texts[0].toInt());
      QCOMPARE(settings_.UnavailableMinutes, texts[1].toInt());
      QCOMPARE(settings_.UnavailableInterval, texts[2].toInt());
    }
  }

  void htmlChecksIntervalBeforeFile_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("noReload");
    QTest::addColumn<QStringList>("texts");  // interval, file
    QTest::addColumn<QString>("box");
    const QString file = QStringLiteral("/tmp/s.html");
    QTest::newRow("empty interval") << true << false << QStringList{"", ""} << kReloadTooShort;
    QTest::newRow("0") << true << false << QStringList{"0", ""} << kReloadTooShort;
    QTest::newRow("00, no reload") << true << true << QStringList{"00", file} << kReloadTooShort;
    QTest::newRow("no file") << true << false << QStringList{"5", ""} << kNoHtmlFile;
    QTest::newRow("005") << true << false << QStringList{"005", file} << QString();
    QTest::newRow("off, empty") << false << false << QStringList{"", ""} << QString();
  }

  void htmlChecksIntervalBeforeFile() {
    QFETCH(bool, on);
    QFETCH(bool, noReload);
    QFETCH(QStringList, texts);
    QFETCH(QString, box);
    auto* html = Open<CPageHtml>(kHtml);
    html->outputBox()->setChecked(on);
    html->noReloadBox()->setChecked(noReload);
    html->reloadEdit()->setText(texts[0]);
    html->fileEdit()->setText(texts[1]);
    QCOMPARE(Apply(), box.isEmpty());
    QCOMPARE(Boxes(), box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(FromCp932(settings_.HtmlReloadMinutes), box.isEmpty() ? texts[0] : "5");
    QCOMPARE(settings_.EnableHtml, box.isEmpty() && on ? 1 : 0);
  }

  void htmlOutputBoxEnablesWithoutMarkingChanged() {
    auto* html = Open<CPageHtml>(kHtml);
    QVERIFY(!html->fileEdit()->isEnabled() && !html->browseButton()->isEnabled());
    html->outputBox()->click();
    QVERIFY(html->fileEdit()->isEnabled() && html->reloadEdit()->isEnabled());
    QVERIFY(html->noDetailBox()->isEnabled() && html->browseButton()->isEnabled());
    html->outputBox()->click();
    QVERIFY(!html->noDetailBox()->isEnabled());
    QVERIFY(html->noReloadBox()->isEnabled());
    QVERIFY(!sheet_->applyButton()->isEnabled());
    html->noReloadBox()->click();
    QVERIFY(sheet_->applyButton()->isEnabled());
  }

  void refusalKeepsTheFrontTabAndStopsLaterPages() {
    Open<CPageParameter>(kParameter)->retryEdit()->setText(QStringLiteral("9"));
    Open<CPagePing>(kPing)->timeOutEdit()->setText(QStringLiteral("5"));
    Open<CPageMail>(kMail)->serverEdit()->setText(QStringLiteral("mail.example.jp"));
    sheet_->accept();
    QVERIFY(sheet_->isVisible());
    QCOMPARE(sheet_->tabs()->currentIndex(), int{kMail});
    QCOMPARE(Boxes().size(), 1);
    QCOMPARE(Boxes().value(0), kAllMailFields);
    Open<CPageMail>(kMail)->serverEdit()->clear();
    prompt_.Clear();
    sheet_->accept();
    QCOMPARE(Boxes().size(), 1);  // the ping page now
    QCOMPARE(settings_.MaxRetry, 5);
    QCOMPARE(sheet_->tabs()->currentIndex(), int{kMail});
  }

  // Text CP932 cannot hold is refused before any other check of its page.
  void textsCp932CannotHoldAreRefused() {
    const std::pair<std::function<QLineEdit*()>, QString> cases[] = {
        {[&] { return Open<CPageMail>(kMail)->serverEdit(); }, "メールサーバ名"},
        {[&] { return Open<CPagePing>(kPing)->timeOutEdit(); }, "PING タイムアウト値"},
        {[&] { return Open<CPageNetsend>(kNetsend)->recipientEdit(); },
         "メッセージ送信先コンピュータ名"},
        {[&] { return Open<CPageHtml>(kHtml)->fileEdit(); }, "HTML出力ファイル"},
        {[&] { return Open<CPageMsg>(kMsg)->edit(CPageMsg::RestoreSubjectUs); },
         "復帰時のメール件名(英語)"},
        {[&] { return Open<CPageParameter>(kParameter)->preloadEdit(); },
         "起動時に読み込む設定ファイル(プレロードファイル)"}};
    for (const auto& [edit, label] : cases) {
      const QString kept = edit()->text();
      edit()->setText(QStringLiteral("\u00e9"));
      QVERIFY(!Apply());
      QCOMPARE(Boxes(), QStringList{kCaution + UiText(Msg::InputNotCp932).arg(label)});
      edit()->setText(kept);
    }
    QVERIFY(Apply());
  }

  // Values written by hand beyond a field's width show whole and stay as
  // they are; typing brings the field back to its width.
  void wideRegistryValuesStayWhole() {
    settings_.PingTimeOut = 120000;
    settings_.CheckInterval = 1440;
    auto* ping = Open<CPagePing>(kPing);
    QCOMPARE(Open<CPageParameter>(kParameter)->intervalEdit()->text(), QStringLiteral("1440"));
    QCOMPARE(sheet_->minimumSize(), sheet_->maximumSize());
    QVERIFY(Apply());
    QCOMPARE(settings_.PingTimeOut, 120000);
    QCOMPARE(settings_.CheckInterval, 1440);
    ping->timeOutEdit()->end(false);
    QTest::keyClick(ping->timeOutEdit(), '7');
    QCOMPARE(ping->timeOutEdit()->text(), QStringLiteral("12000"));
  }

  void appliedValuesReachTheRegistryFileAtOnce() {
    QVERIFY(!sheet_->applyButton()->isEnabled());
    settings_.NetsendTo = "UNSHOWN";
    sheet_->show();
    Open<CPagePing>(kPing)->timeOutEdit()->setText(QStringLiteral("1234"));
    QVERIFY(sheet_->applyButton()->isEnabled());
    sheet_->applyButton()->click();
    QVERIFY(!sheet_->applyButton()->isEnabled());
    AppSettings reread;
    RegistryFile again(registry_->path());
    LoadSettings(reread, again);
    QCOMPARE(reread.PingTimeOut, 1234);
    QCOMPARE(reread.NetsendTo, std::string("UNSHOWN"));  // a page never shown writes nothing
    QCOMPARE(reread.MaxRetry, 5);
  }
};

}  // namespace tarnwick

QTEST_MAIN(tarnwick::SettingsSheetTest)
#include "SettingsSheetTest.moc"
