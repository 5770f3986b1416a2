#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/AlertChannels.h"
#include "platform/CodePage.h"
#include "platform/NetMessenger.h"
#include "support/LoopbackListener.h"
#include "support/LoopbackPort.h"
#include "support/RecordingPrompt.h"
#include "support/SambaServer.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

// The test peer files each message under its sender's name.
NetMessenger MessengerFor(int port, const std::string& sender) {
  NetMessengerOptions options;
  options.address = "127.0.0.1";
  options.port = port;
  options.timeout = std::chrono::milliseconds(5000);
  options.sender = sender;
  return NetMessenger(options);
}

class NetMessengerWithPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    TARNWICK_REQUIRE_ROOT();
    ASSERT_TRUE(peer.running()) << peer.Log();
  }

  test::SambaServer peer;
};

TEST_F(NetMessengerWithPeer, JapaneseMessageArrivesIntact) {
  const std::string text =
      Cp932FromUtf8("(2007/05/08 10:00:00)サーバー(PING)(127.0.0.1)は応答がありませんでした。");
  ASSERT_TRUE(MessengerFor(peer.port(), "JAPANESE").Send("ADMINPC", text));
  const auto received = peer.ReceivedMessage("JAPANESE");
  ASSERT_TRUE(received) << peer.Log();
  EXPECT_EQ(*received, Utf8FromCp932(text));
}

TEST_F(NetMessengerWithPeer, LongTextTravelsInBlocksWithoutSplittingCharacters) {
  // One ASCII byte first, so that every 127-byte block boundary would fall
  // in the middle of a double-byte character.
  std::string utf8 = "x";
  for (int i = 0; i < 509; ++i)
    utf8 += "あ";
  utf8 += "z";
  const std::string text = Cp932FromUtf8(utf8);
  ASSERT_EQ(NetMessenger::Utf16Length(text), NetMessenger::kMaxTextUnits);
  ASSERT_TRUE(MessengerFor(peer.port(), "LONGTEXT").Send("ADMINPC", text));
  const auto received = peer.ReceivedMessage("LONGTEXT");
  ASSERT_TRUE(received) << peer.Log();
  EXPECT_EQ(*received, utf8);
}

TEST_F(NetMessengerWithPeer, LongestRecipientAndSessionRequestAreAccepted) {
  const std::string name(NetMessenger::kMaxRecipientUnits, 'N');
  ASSERT_TRUE(MessengerFor(peer.port(), "LONGNAME").Send(name, "x"));
  EXPECT_EQ(peer.ReceivedMessage("LONGNAME"), "x");

  NetMessengerOptions options = MessengerFor(peer.port(), "SESSION").options();
  options.sessionRequest = true;
  ASSERT_TRUE(NetMessenger(options).Send(Cp932FromUtf8("管理者のパソコン"), "over NetBIOS"));
  EXPECT_EQ(peer.ReceivedMessage("SESSION"), "over NetBIOS");
}

TEST_F(NetMessengerWithPeer, OverlongTextNeverReachesThePeer) {
  std::string text(NetMessenger::kMaxTextUnits + 1, 'x');
  EXPECT_FALSE(MessengerFor(peer.port(), "OVERLONG").Send("ADMINPC", text));
  text.pop_back();
  EXPECT_TRUE(MessengerFor(peer.port(), "EXACT").Send("ADMINPC", text));
  EXPECT_EQ(peer.ReceivedMessage("EXACT"), text);
  EXPECT_FALSE(peer.ReceivedMessage("OVERLONG", std::chrono::milliseconds(300)));
}

TEST_F(NetMessengerWithPeer, AlertChannelsSendAsThisComputer) {
  ::setenv("TARNWICK_NETSEND_ADDRESS", "127.0.0.1", 1);
  ::setenv("TARNWICK_NETSEND_PORT", std::to_string(peer.port()).c_str(), 1);
  AppSettings settings;
  test::RecordingPrompt prompt;
  const bool sent =
      AlertChannels(settings, prompt).SendNetMessage("ADMINPC", "from the channels") ==
      NetSendResult::Sent;
  ::unsetenv("TARNWICK_NETSEND_ADDRESS");
  ::unsetenv("TARNWICK_NETSEND_PORT");
  ASSERT_TRUE(sent);
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  const std::string sender = std::string(host).substr(0, std::string(host).find('.'));
  EXPECT_EQ(peer.ReceivedMessage(sender.substr(0, 15)), "from the channels");
}

TEST(NetMessenger, PeerThatRefusesMessagesIsAFailure) {
  TARNWICK_REQUIRE_ROOT();
  test::SambaServer peer(/*acceptMessages=*/false);
  ASSERT_TRUE(peer.running()) << peer.Log();
  EXPECT_EQ(MessengerFor(peer.port(), "REFUSED").Deliver("ADMINPC", "x"),
            NetSendResult::NotAccepted);
}

TEST(NetMessenger, NothingListeningIsAFailure) {
  const int port = test::UnusedLoopbackPort();
  ASSERT_NE(port, 0);
  EXPECT_EQ(MessengerFor(port, "NOBODY").Deliver("ADMINPC", "x"), NetSendResult::Refused);
  // Without an address the name itself is looked up (hosts file here).
  NetMessengerOptions byName;
  byName.port = port;
  EXPECT_EQ(NetMessenger(byName).Deliver("localhost", "x"), NetSendResult::Refused);
}

TEST(NetMessenger, SilentPeerIsAFailureWithinTheTimeOut) {
  // A listener that takes the connection (in its backlog) and never answers.
  test::LoopbackListener listener;
  NetMessengerOptions options = MessengerFor(listener.port(), "SILENT").options();
  options.timeout = std::chrono::milliseconds(300);
  options.sessionRequest = true;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(NetMessenger(options).Deliver("ADMINPC", "x"), NetSendResult::NoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

TEST(NetMessenger, UnsafeOrOverlongRecipientsAreRefused) {
  EXPECT_EQ(NetMessenger::Utf16Length(Cp932FromUtf8("aあ")), 2U);
  EXPECT_TRUE(NetMessenger::IsAcceptableRecipient(std::string(127, 'N')));
  EXPECT_FALSE(NetMessenger::IsAcceptableRecipient(std::string(128, 'N')));
  EXPECT_TRUE(NetMessenger::IsAcceptableRecipient(Cp932FromUtf8("管理者のパソコン")));
  for (const std::string& bad :
       {std::string(), std::string("-d10"), std::string("--option=x"), std::string("two words"),
        std::string("tab\there"), std::string("line\nbreak"), std::string("nul\0x", 5),
        Cp932FromUtf8("全角　空白"), std::string("\x82")}) {
    EXPECT_FALSE(NetMessenger::IsAcceptableRecipient(bad)) << bad;
  }
  std::string tooLong;
  for (int i = 0; i < 512; ++i)
    tooLong += Cp932FromUtf8("あ");
  const NetMessenger messenger = MessengerFor(test::UnusedLoopbackPort(), "X");
  EXPECT_FALSE(messenger.Send("ADMINPC", tooLong));
  EXPECT_FALSE(messenger.Send(std::string(128, 'N'), "x"));
}

}  // namespace
}  // namespace tarnwick
