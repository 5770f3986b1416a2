#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "platform/Messages.h"

namespace tarnwick {

// Every text the program shows or writes, as written: UTF-8, in Msg order.
// The build encodes it in CP932 as well (CatalogueEncoder), so that Text()
// converts nothing at run time.
struct MessageEntry {
  Msg id;
  std::string_view utf8;
};

inline constexpr MessageEntry kMessageCatalogue[] = {
    // Captions
    {Msg::CaptionCaution, "注意"},
    {Msg::CaptionConfirm, "確認"},
    {Msg::CaptionError, "エラー"},
    {Msg::CaptionRegistryA01, "注意 A01"},
    {Msg::CaptionRegistryA02, "注意 A02"},
    {Msg::CaptionRegistryA03, "注意 A03"},

    // Computer rows
    {Msg::StatusUnknown, "不明"},
    {Msg::StatusUp, "○"},
    {Msg::StatusDown, "×"},
    {Msg::StatusChecking, "確認中"},
    {Msg::FlagOn, "○"},
    {Msg::HeadingComputerName, "コンピュータ名"},
    {Msg::HeadingIpAddress, "IPアドレス"},
    {Msg::HeadingStatus, "ステータス"},
    {Msg::HeadingCheckService, "チェック"},
    {Msg::HeadingPort, "ポート"},
    {Msg::HeadingLastUpTime, "最終起動確認時間"},
    {Msg::HeadingLastDownTime, "最終停止確認時間"},
    {Msg::HeadingDownProgram, "ダウン時の実行プログラム"},
    {Msg::HeadingRestoreProgram, "復帰時の実行プログラム"},
    {Msg::HeadingLastCheckTime, "最終チェック時間"},
    {Msg::HeadingNoDefaultMail, "デフォルトメールアドレスを使用しない"},
    {Msg::HeadingMailAddress, "送信先メールアドレス"},
    {Msg::TooManyComputers, "これ以上、監視するコンピュータを追加することはできません。"},
    {Msg::UnknownHostname, "unknown hostname"},

    // Dialogs, settings sheet and main window commands
    {Msg::InputNotCp932,
     "「%1」に使用できない文字が含まれています。"
     "日本語の文字コード(シフトJIS)で表せる文字だけを入力してください。"},
    {Msg::PasteNotCp932,
     "クリップボードのコンピュータの「%1」に、日本語の文字コード(シフトJIS)で表せない文字が"
     "含まれているため、貼り付けできません。"},
    {Msg::HelpNotOpened,
     "ヘルプを表示できませんでした。HTMLファイルを開くブラウザが見つかりません。"
     "次のファイルをブラウザで開いてください。\n%1"},
    {Msg::TestWorkCancel, "キャンセル"},
    {Msg::TestMailCaption, "テストメールの送信"},
    {Msg::TestMailConnecting, "メールサーバに接続しています..."},
    {Msg::TestMailSending, "メールを送信しています..."},
    {Msg::TestMailClosing, "メールサーバとの接続を終了しています..."},
    {Msg::TestNetsendCaption, "テストメッセージの送信"},
    {Msg::TestNetsendSending, "メッセージを送信しています..."},

    // Probes
    {Msg::PingAnswered, "PING応答あり"},
    {Msg::PingNoAnswer, "[失敗]PING応答なし"},
    {Msg::PortConnected, "PORT接続成功"},
    {Msg::PortFailed, "[失敗]PORT接続失敗"},

    // Settings store
    {Msg::RegistryAccessFailed, "ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。"},
    {Msg::RegistryMissing, "設定ファイル %1 は存在しません。既定の設定で監視します。"},
    {Msg::RegistryNotRegular,
     "%1 は通常のファイルではない（フォルダ、FIFO、デバイスなど）ため、設定を読み込めません。"
     "既定の設定で続けます。"},
    {Msg::RegistryUnreadable,
     "設定ファイル %1 を読み込めませんでした（%2）。既定の設定で続けます。"
     "このファイルは上書きしません。"},
    {Msg::RegistryNotRegistry,
     "%1 はレジストリファイル（REGEDIT4 形式）ではないため、設定を読み込めません。"
     "既定の設定で続けます。このファイルは上書きしません。"},
    {Msg::RegistryReplaceBad,
     "設定ファイル %1 は読み込めなかったため、既定の設定で起動しています。\n"
     "現在の設定でこのファイルを置き換えますか。元のファイルは %2 として残します。"},
    {Msg::RegistryCannotReplace,
     "%1 は通常のファイルではない（フォルダ、FIFO、デバイスなど）ため、設定を保存できません。"},
    {Msg::DefaultDownMsgJp, "(%t)%s(%c)(%i)は応答がありませんでした。"},
    {Msg::DefaultDownMsgUs, "(%t)%s(%c)(%i) timeout."},
    {Msg::DefaultRestoreMsgJp, "(%t)%s(%c)(%i)は復帰しました。"},
    {Msg::DefaultRestoreMsgUs, "(%t)%s(%c)(%i) is restored."},
    {Msg::DefaultDownSubjectJp, "(%t)%s(%c)(%i) ダウン通知"},
    {Msg::DefaultDownSubjectUs, "(%t)%s(%c)(%i) timeout notification"},
    {Msg::DefaultRestoreSubjectJp, "(%t)%s(%c)(%i) 復帰通知"},
    {Msg::DefaultRestoreSubjectUs, "(%t)%s(%c)(%i) restore notification"},

    // Check cycle and console watcher
    {Msg::NoComputersToWatch, "監視するコンピュータを一台以上追加してください。"},
    {Msg::ThreadStartFailed, "スレッドの起動に失敗しました。"},
    {Msg::WatchStartedEvent, "「Tarnwick」は、監視を開始しました。"},
    {Msg::WatchEndedEvent, "「Tarnwick」は、監視を終了しました。"},
    {Msg::WatchEndedLog, "監視を終了しました。"},
    {Msg::UnavailableWindowLog, "監視の停止時間内です。%d:%dから%d分"},
    {Msg::RowLogIpAddress, "IPアドレス="},
    {Msg::RowLogComputerName, "コンピュータ名="},
    {Msg::RowLogCheckService, "確認方法="},
    {Msg::RowLogPort, "ポート="},
    {Msg::RowLogByMail, "ByMail="},
    {Msg::RowLogByNetsend, "ByNetsend="},
    {Msg::RowLogByEventlog, "ByEventlog="},
    {Msg::RowLogDownProgram, "ダウン時の実行プログラム="},
    {Msg::RowLogRestoreProgram, "復帰時の実行プログラム="},
    {Msg::DownDetected, "ダウンを検出しました。"},
    {Msg::DownAlreadyNotified, "ダウンを検出しました。すでに通知済みです。"},
    {Msg::ClockBeforeValidDate,
     "日付の設定に誤りがあります。コンピュータの今日の日付が正しく設定されているか、"
     "確認してください。"},
    {Msg::ClockRanBackwards, "時間が逆に流れました。日付の設定を確認してください。"},
    {Msg::InconsistencyLog, "[エラー]ソフトウェアで矛盾が発生しました。"},
    {Msg::InconsistencyBox, "ソフトウェアで矛盾が発生しました。強制終了します。"},
    {Msg::WatchUsage,
     "使い方: tarnwick-watch [--metrics [アドレス:]ポート] リストファイル\n"
     "        tarnwick-watch --once リストファイル\n"
     "リストファイル(.ls2)のコンピュータを、レジストリファイルの設定で監視します。\n"
     "  --metrics [アドレス:]ポート\n"
     "             Prometheus の /metrics をこのアドレスで公開します"
     "（ポートだけなら 127.0.0.1）。\n"
     "  --once     すべてのコンピュータを一度だけ確認して状態を表示し、終了します。\n"
     "             終了コード: 0 すべて ○、1 × がある、2 使い方の誤りか確認できなかった。\n"
     "  --help     この使い方を表示します。\n"
     "  --version  バージョンを表示します。\n"
     "設定は $TARNWICK_REGISTRY、なければ ~/.config/tarnwick/registry.reg から読みます。"
     "詳しくは man tarnwick-watch をご覧ください。"},
    {Msg::MetricsAddressInvalid,
     "--metrics には「ポート」か「IPv4アドレス:ポート」を数字で指定してください: "},
    {Msg::MetricsListenFailed,
     "メトリクスを公開できません。使用中のポートか、このコンピュータのアドレスではありません: "},
    {Msg::MetricsModuleMissing, "メトリクスを公開するモジュールを読み込めません: "},
    {Msg::MetricsServing, "メトリクスを公開しています: "},

    // Command lines
    {Msg::WatchUsageEn,
     "Usage: tarnwick-watch [--metrics [ADDRESS:]PORT] LISTFILE\n"
     "       tarnwick-watch --once LISTFILE\n"
     "Watches the computers of a list file (.ls2) with the settings of the registry file.\n"
     "  --metrics [ADDRESS:]PORT\n"
     "             serve Prometheus /metrics on this address (127.0.0.1 for a port alone)\n"
     "  --once     check every computer once, print its state and exit;\n"
     "             exit code 0 all up, 1 any down, 2 usage error or no complete check\n"
     "  --help     show this usage\n"
     "  --version  show the version\n"
     "Settings come from $TARNWICK_REGISTRY, else ~/.config/tarnwick/registry.reg.\n"
     "See man tarnwick-watch for more."},
    {Msg::AppUsage,
     "使い方: tarnwick [--help | --version]\n"
     "ネットワーク上のコンピュータを監視するデスクトッププログラムを起動します。\n"
     "  --help     この使い方を表示します。\n"
     "  --version  バージョンを表示します。\n"
     "Qt の標準オプション(-platform、-style、-session など)も使えます。"
     "詳しくは man tarnwick をご覧ください。"},
    {Msg::AppUsageEn,
     "Usage: tarnwick [--help | --version]\n"
     "Starts the desktop program that watches computers on the network.\n"
     "  --help     show this usage\n"
     "  --version  show the version\n"
     "Qt's standard options (-platform, -style, -session, ...) are accepted too.\n"
     "See man tarnwick for more."},
    {Msg::OptionUnknown, "このオプションは使えません: "},
    {Msg::OptionUnknownEn, "unknown option: "},
    {Msg::OptionValueMissing, "このオプションには値が必要です: "},
    {Msg::OptionValueMissingEn, "option needs a value: "},
    {Msg::OptionExtraArgument, "余分な引数です: "},
    {Msg::OptionExtraArgumentEn, "unexpected argument: "},
    {Msg::OptionListMissing, "リストファイルを指定してください。"},
    {Msg::OptionListMissingEn, "no list file given."},
    {Msg::OptionOnceWithMetrics, "--once と --metrics は一緒に使えません。"},
    {Msg::OptionOnceWithMetricsEn, "--once and --metrics cannot be used together."},
    {Msg::OptionTryHelp, "「%1 --help」で使い方を表示します。"},
    {Msg::OptionTryHelpEn, "Try '%1 --help' for more information."},
    {Msg::OnceNoIcmpSocket,
     "ICMP ソケットを開けないため、ping で確認するコンピュータを確認できません。"
     "root で実行するか、このユーザーのグループを net.ipv4.ping_group_range に含めるか、"
     "sudo setcap cap_net_raw+ep でプログラムに CAP_NET_RAW を与えてください。"},

    // Net send

    // List file
    {Msg::ListNotThisProgramsFile,
     "このファイルは「Tarnwick」のファイルではありません。"
     "このバージョンより前のファイルはサポートされていません。"},
    {Msg::ListInvalidFile, "このファイルは「Tarnwick」のファイルではありません。"},
    {Msg::ListNothingToSave, "監視するコンピュータが存在しません。"},
    {Msg::ListSaveBeforeLoad,
     "コンピュータリストの変更がファイルへ保存されていません。"
     "ロードする前に現在のコンピュータリストを保存しますか。"},
    {Msg::ListAutoStartWithoutPreload,
     "自動起動が設定されていますが、プレロードファイルが指定されていません。"},
    {Msg::ListPreloadFailed, "プレロードファイルの読み込みに失敗しました。"},
    {Msg::ListExitWithoutSaving,
     "コンピュータリストの変更がファイルへ保存されていません。保存せずに終了してよろしいですか。"},
    {Msg::ListFileFilter, "Tarnwick 設定ファイル(*.ls2)|*.ls2||"},
    {Msg::ListFileNotFound, "%1 が見つかりませんでした。"},
    {Msg::ListFileAccessDenied, "%1 へのｱｸｾｽは拒否されました。"},
    {Msg::ListFileReadFailed, "%1 の読み込み中にエラーが発生しました。"},
    {Msg::ListFileWriteFailed, "%1 への書き込み中にエラーが発生しました。"},
    {Msg::ListFieldHasSeparator,
     "%1 行目のコンピュータ「%2」の「%3」にカンマまたは改行が含まれているため、"
     "コンピュータリストファイルに保存できません。"},
    {Msg::ListColumnNumber, "%1 列目"},
    {Msg::ListFileNotRegular,
     "%1 は通常のファイルではない（フォルダ、FIFO、デバイスなど）ため、読み込めません。"},
    {Msg::SaveCopyKept, "保存する前の内容は %1 に残してあります。"},
    {Msg::LoadCopyExists,
     "%1 の前回の保存は途中で終わった可能性があります。保存する前の内容は %2 に残してあります。"},
    {Msg::ListTooManyRows,
     "このファイルには %1 台を超えるコンピュータが記録されているため、読み込めません。"},
    {Msg::ListFieldTooLong,
     "このファイルの %1 台目のコンピュータに %2 バイトを超える項目があるため、読み込めません。"},
    {Msg::ClipboardIncompleteCharacter,
     "コンピュータ「%1」の「%2」に、クリップボードでは正しく運べないバイト"
     "（文字として完結していないバイトなど）があるため、コピーできません。"},

    // Mail session
    {Msg::MailFailed, "「Tarnwick」は、メールの送信に失敗しました。"},
    {Msg::MailError4001, "メモリ不足です。"},
    {Msg::MailError4002, "データ転送に失敗しました。"},
    {Msg::MailError4003, "DLLの初期化に失敗しました。"},
    {Msg::MailError4004, "バージョンが不正です。"},
    {Msg::MailError4005, "WINSOCKのバージョンが不正です。"},
    {Msg::MailError4006, "ネットワークが起動していません。"},
    {Msg::MailError4007, "メールサーバが見つかりません。"},
    {Msg::MailError4008, "ソケットの作成に失敗しました。"},
    {Msg::MailError4009, "ソケットの読み込みに失敗しました。"},
    {Msg::MailError4010, "ソケットが見つかりません。TCPIPが起動していない可能性があります。"},
    {Msg::MailError4011, "ビジーです。"},
    {Msg::MailError4012, "ソケットをクローズします。"},
    {Msg::MailError4013, "タイムアウトしました。"},
    {Msg::MailError4014, "サービス名が不明です。"},
    {Msg::MailError4015, "メールサーバがタイムアウトしました。"},
    {Msg::MailError4016, "メールサーバへの接続が切断されました。"},
    {Msg::MailError4017, "メールサーバへの接続が拒否されました。"},
    {Msg::MailErrorUnknown, "不明なエラーが発生しました。"},
    {Msg::MailAttemptFailed, "「Tarnwick」は、メールの送信を試みましたが、失敗しました。"},
    {Msg::MailGreetingRefused, "SMTP ソケットのオープンに失敗しました。%d"},
    {Msg::MailHeloRefused, "HELOコマンドに対してエラーが戻されました。%d"},
    {Msg::MailFromRefused, "MAIL FROMコマンドで %s に対してエラーが返されました。%d"},
    {Msg::MailRcptRefused, "RCPT TO コマンドで、%s へのメール送信に失敗しました"},
    {Msg::MailDataRefused, "DATA コマンドでエラーが発生しました。%d"},
    {Msg::MailDataNotAccepted, "DATAの送信に失敗しました。%d"},
    {Msg::MailUnsafeText,
     "メールサーバ名、送信者、送信先またはホスト名に改行などの使用できない文字が含まれています。"},

    // Mail composition and address lists
    {Msg::MailAddressBlank, "送信先メールアドレスの指定に誤りがあります。空白が使用されています。"},
    {Msg::MailAddressSeparatorPosition,
     "送信先メールアドレスの指定に誤りがあります。@及びセミコロンの位置が不正です。"},
    {Msg::MailAddressCountMismatch,
     "送信先メールアドレスの指定に誤りがあります。@とセミコロンの数が一致しません。"},

    // Alerts and HTML page
    {Msg::AlertRestoreRecognised, "復帰を認識しました。"},
    {Msg::AlertEventLogWritten, "イベントログへ書き込みました。"},
    {Msg::AlertEventLogFailed, "[エラー]イベントログへの書き込みに失敗しました。"},
    {Msg::AlertNetsendStarting, "Netsendを送信します。送信先："},
    {Msg::AlertNetsendNoRecipientRestoreEvent,
     "「Tarnwick」は、net "
     "send　によるメッセージの送信を試みましたが、送信先が指定されていません。"},
    {Msg::AlertNetsendNoRecipientDownEvent,
     "「Tarnwick」は、net "
     "send　によるメッセージの送信を試みましたが、送信先が指定されていませんでした。"},
    {Msg::AlertNetsendNoRecipientLog,
     "[エラー]net sendによるメッセージの送信を試みましたが、送信先が指定されていません。"},
    {Msg::AlertNetsendFailedEvent,
     "「Tarnwick」は、net "
     "send　によるメッセージの送信を試みましたが、メッセージの送信に失敗しました。"},
    {Msg::AlertNetsendFailedLog,
     "[エラー]net send　によるメッセージの送信を試みましたが、メッセージの送信に失敗しました。"},
    {Msg::AlertNetsendSent, "Netsend を送信しました。"},
    {Msg::NetsendCauseUnsendable, "送信先の名前かメッセージが、送信できる形ではありません。"},
    {Msg::NetsendCauseNameNotFound, "送信先のコンピュータ名が見つかりません。"},
    {Msg::NetsendCauseRefused, "送信先のコンピュータに接続を拒否されました。"},
    {Msg::NetsendCauseNoAnswer, "送信先のコンピュータから応答がありません。"},
    {Msg::NetsendCauseNotAccepted, "送信先のコンピュータがメッセージを受け付けませんでした。"},
    {Msg::AlertDownProgramLabel, "ダウン検出時のプログラム"},
    {Msg::AlertRestoreProgramLabel, "復帰時のプログラム"},
    {Msg::AlertProgramStarting, "を起動します。"},
    {Msg::AlertProgramEventHead, "「Tarnwick」は、プログラム("},
    {Msg::AlertProgramOutOfResourcesEvent,
     ")の実行を試みましたが、失敗しました。リソース不足です。"},
    {Msg::AlertProgramOutOfResourcesLog, "[エラー]リソース不足です。"},
    {Msg::AlertProgramBadExeEvent,
     ")の実行を試みましたが、失敗しました。指定された.EXEファイルが無効です。"},
    {Msg::AlertProgramBadExeLog, "[エラー]指定された.EXEファイルが無効です。"},
    {Msg::AlertProgramFileNotFoundEvent,
     ")の実行を試みましたが、失敗しました。指定されたファイルが見つかりません。"},
    {Msg::AlertProgramFileNotFoundLog, "[エラー]指定されたファイルが見つかりません。"},
    {Msg::AlertProgramPathNotFoundEvent,
     ")の実行を試みましたが、失敗しました。指定されたパスが見つかりません。"},
    {Msg::AlertProgramPathNotFoundLog, "[エラー]指定されたパスが見つかりません。"},
    {Msg::AlertProgramUnknownErrorEvent,
     ")の実行を試みましたが、失敗しました。不明なエラーが発生しました。"},
    {Msg::AlertProgramUnknownErrorLog, "[エラー]不明なエラーが発生しました。"},
    {Msg::AlertMailStarting, "メールを送信します。SMTPサーバ："},
    {Msg::AlertMailNoServerEvent,
     "「Tarnwick」は、メールによるメッセージの送信を試みましたが、メールサーバが指定されていません"
     "。"},
    {Msg::AlertMailNoServerLog,
     "[エラー]メールによるメッセージの送信を試みましたが、メールサーバが指定されていません。"},
    {Msg::AlertMailNoSenderEvent,
     "「Tarnwick」は、メールによるメッセージの送信を試みましたが、メールの送信元が指定されていませ"
     "ん。"},
    {Msg::AlertMailNoSenderLog,
     "[エラー]メールによるメッセージの送信を試みましたが、メールの送信元が指定されていません。"},
    {Msg::AlertMailNoRecipientEvent,
     "「Tarnwick」は、メールによるメッセージの送信を試みましたが、メールの送信先が指定されていませ"
     "ん。"},
    {Msg::AlertMailNoRecipientLog,
     "[エラー]メールによるメッセージの送信を試みましたが、メールの送信先が指定されていません。"},
    {Msg::AlertMailWaiting, "30秒待ってからメールします"},
    {Msg::AlertMailFailedEvent,
     "「Tarnwick」は、メール送信を試みましたが、メールの送信に失敗しました。"},
    {Msg::AlertMailFailedLog,
     "[エラー]メールによるメッセージの送信を試みましたが、メールの送信に失敗しました。"
     "イベントログを確認してください。"},
    {Msg::AlertMailSent, "メールの送信に成功しました。"},
    {Msg::AlertAbandonedEventHead, "「Tarnwick」は、監視の停止により、"},
    {Msg::AlertAbandonedLogHead, "[エラー]監視の停止により、"},
    {Msg::AlertAbandonedMailTail, "についてのメールによる通知を送り終えられず、中止しました。"},
    {Msg::AlertAbandonedNetsendTail,
     "についてのnet sendによる通知を送り終えられず、中止しました。"},
    {Msg::ConsoleWatchClosed, "監視を終了しました。"},
    {Msg::HtmlPlaceholderText, "ただいま最初の監視を実行しています。しばらくお待ちください。"},
    {Msg::HtmlWriting, "結果をHTMLファイルへ出力します。"},
    {Msg::HtmlHeadingByMail, "メールで連絡"},
    {Msg::HtmlHeadingByNetsend, "net sendで連絡"},
    {Msg::HtmlHeadingByEventlog, "ログに記録"},
    {Msg::HtmlFailedLog,
     "[エラー]HTMLファイルの生成に失敗しました。イベントログを確認してください。"},
    {Msg::HtmlFailedEvent, "「Tarnwick」は、HTMLファイルを出力しようとしましたが失敗しました。"},
    {Msg::RunningLogFailed,
     "「Tarnwick」は、稼働ログ %1 に書き込めませんでした（%2）。"
     "ログを残さずに監視を続けます。"},
    // Mail submission with TLS and authentication
    {Msg::MailStartTlsNotOffered, "メールサーバがSTARTTLSに対応していません。"},
    {Msg::MailTlsHandshakeFailed, "メールサーバとのTLS接続に失敗しました。%s"},
    {Msg::MailCertificateNotTrusted, "メールサーバの証明書を信頼できません。%s"},
    {Msg::MailCertificateNameMismatch, "メールサーバの証明書が %s のものではありません。"},
    {Msg::MailAuthNotOffered, "メールサーバが認証(AUTH PLAIN/LOGIN)に対応していません。"},
    {Msg::MailAuthRefused, "メールサーバが認証を拒否しました。%s"},
    {Msg::MailAuthNeedsTls, "認証を使う場合は接続を保護してください。"},
    {Msg::MailEhloRefused, "EHLOコマンドに対してエラーが戻されました。%d"},
    {Msg::MailStartTlsRefused, "STARTTLSコマンドに対してエラーが戻されました。%d"},
};

constexpr bool MessageCatalogueIsComplete() {
  constexpr auto count = static_cast<std::size_t>(Msg::Count);
  if (std::size(kMessageCatalogue) != count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (static_cast<std::size_t>(kMessageCatalogue[i].id) != i) return false;
  }
  return true;
}
static_assert(MessageCatalogueIsComplete(), "every Msg needs one entry, in enum order");

}  // namespace tarnwick
