#include "platform/Messages.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/CodePage.h"

namespace tarnwick {
namespace {

struct Entry {
  Msg id;
  std::string_view utf8;
};

constexpr Entry kCatalogue[] = {
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

    // Probes
    {Msg::PingAnswered, "PING応答あり"},
    {Msg::PingNoAnswer, "[失敗]PING応答なし"},
    {Msg::PortConnected, "PORT接続成功"},
    {Msg::PortFailed, "[失敗]PORT接続失敗"},

    // Settings store
    {Msg::RegistryAccessFailed, "ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。"},
    {Msg::DefaultDownMsgJp, "(%t)%s(%c)(%i)は応答がありませんでした。"},
    {Msg::DefaultDownMsgUs, "(%t)%s(%c)(%i) timeout."},
    {Msg::DefaultRestoreMsgJp, "(%t)%s(%c)(%i)は復帰しました。"},
    {Msg::DefaultRestoreMsgUs, "(%t)%s(%c)(%i) is restored."},
    {Msg::DefaultDownSubjectJp, "(%t)%s(%c)(%i) ダウン通知"},
    {Msg::DefaultDownSubjectUs, "(%t)%s(%c)(%i) timeout notification"},
    {Msg::DefaultRestoreSubjectJp, "(%t)%s(%c)(%i) 復帰通知"},
    {Msg::DefaultRestoreSubjectUs, "(%t)%s(%c)(%i) restore notification"},

    // Check cycle and console watcher

    // Net send

    // List file

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
};

constexpr std::size_t kCount = static_cast<std::size_t>(Msg::Count);

constexpr bool CatalogueIsComplete() {
  if (std::size(kCatalogue) != kCount)
    return false;
  for (std::size_t i = 0; i < kCount; ++i) {
    if (static_cast<std::size_t>(kCatalogue[i].id) != i)
      return false;
  }
  return true;
}
static_assert(CatalogueIsComplete(), "every Msg needs one entry, in enum order");

std::array<std::string, kCount> ConvertAll() {
  std::array<std::string, kCount> texts;
  for (std::size_t i = 0; i < kCount; ++i)
    texts[i] = Cp932FromUtf8(kCatalogue[i].utf8);
  return texts;
}

}  // namespace

const std::string& Text(Msg id) {
  static const std::array<std::string, kCount> texts = ConvertAll();
  return texts[static_cast<std::size_t>(id)];
}

}  // namespace tarnwick
