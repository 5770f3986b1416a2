#include <gtest/gtest.h>

#include "mail/MailAddressList.h"
#include "platform/CodePage.h"

namespace tarnwick {
namespace {

constexpr std::optional<Msg> kAccepted = std::nullopt;
constexpr std::optional<Msg> kBlank = Msg::MailAddressBlank;
constexpr std::optional<Msg> kPosition = Msg::MailAddressSeparatorPosition;
constexpr std::optional<Msg> kCount = Msg::MailAddressCountMismatch;

TEST(MailAddressListTest, AlternatingAtSignsAndSemicolonsAreAccepted) {
  EXPECT_EQ(ValidateMailAddressList(""), kAccepted);
  EXPECT_EQ(ValidateMailAddressList("admin@example.com"), kAccepted);
  EXPECT_EQ(ValidateMailAddressList("a@example.com;b@example.org"), kAccepted);
  // Only '@', ';' and the space are looked at.
  EXPECT_EQ(ValidateMailAddressList("@;@"), kAccepted);
  EXPECT_EQ(ValidateMailAddressList("x@;@y"), kAccepted);
  EXPECT_EQ(ValidateMailAddressList("a@x\tb"), kAccepted);  // a tab is no blank
}

TEST(MailAddressListTest, RepeatedMarksAreAPositionError) {
  EXPECT_EQ(ValidateMailAddressList("a@x;;b@y"), kPosition);
  EXPECT_EQ(ValidateMailAddressList("a@b@c"), kPosition);
  EXPECT_EQ(ValidateMailAddressList("a@x;b@y;c@@z"), kPosition);
}

TEST(MailAddressListTest, UnbalancedMarksAreACountError) {
  EXPECT_EQ(ValidateMailAddressList("a@x;"), kCount);
  EXPECT_EQ(ValidateMailAddressList(";a@x"), kCount);
  EXPECT_EQ(ValidateMailAddressList("admin"), kCount);
  EXPECT_EQ(ValidateMailAddressList(";"), kCount);
}

TEST(MailAddressListTest, TheFirstBrokenRuleInReadingOrderWins) {
  EXPECT_EQ(ValidateMailAddressList(" "), kBlank);
  EXPECT_EQ(ValidateMailAddressList("a@x; b@y"), kBlank);
  EXPECT_EQ(ValidateMailAddressList("a x;;"), kBlank);        // blank before the position error
  EXPECT_EQ(ValidateMailAddressList("a@x;;b y"), kPosition);  // position error before the blank
  EXPECT_EQ(ValidateMailAddressList("a@x; "), kBlank);        // blank before the count check
}

TEST(MailAddressListTest, ATrailByteThatLooksLikeAnAtSignIsNoAtSign) {
  // ァ is 0x83 0x40 in CP932.
  EXPECT_EQ(ValidateMailAddressList(Cp932FromUtf8("ァ@x")), kAccepted);
  EXPECT_EQ(ValidateMailAddressList(Cp932FromUtf8("a@ァ;b@y")), kAccepted);
  EXPECT_EQ(ValidateMailAddressList("a@x\x83"), kAccepted);  // a lead byte at the very end
}

}  // namespace
}  // namespace tarnwick
