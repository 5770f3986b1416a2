#include <gtest/gtest.h>

#include "engine/ComputerEntry.h"
#include "platform/CodePage.h"

namespace tarnwick {
namespace {

ComputerEntry WithService(std::string service, std::string port) {
  ComputerEntry entry;
  entry[Field::CheckService] = std::move(service);
  entry[Field::Port] = std::move(port);
  return entry;
}

TEST(ComputerEntry, OnlyUpperCasePingIsAPing) {
  EXPECT_EQ(WithService("PING", "").Method(), CheckMethod::Ping);
  EXPECT_EQ(WithService("ping", "80").Method(), CheckMethod::TcpPort);
  EXPECT_EQ(WithService("Ping", "").Method(), CheckMethod::TcpPort);
  EXPECT_EQ(WithService("WEB", "80").Method(), CheckMethod::TcpPort);
}

TEST(ComputerEntry, PortTextThatIsNotANumberIsPortZero) {
  EXPECT_EQ(WithService("WEB", "80").PortNumber(), 80);
  EXPECT_EQ(WithService("X", "").PortNumber(), 0);
  EXPECT_EQ(WithService("X", "http").PortNumber(), 0);
  EXPECT_EQ(WithService("X", "65535").PortNumber(), 65535);
  // Only five characters are read.
  EXPECT_EQ(WithService("X", "1234567").PortNumber(), 12345);
  // As atoi reads it: leading blanks, an optional sign, then the digits.
  EXPECT_EQ(WithService("X", " 80").PortNumber(), 80);
  EXPECT_EQ(WithService("X", "\t 80").PortNumber(), 80);
  EXPECT_EQ(WithService("X", "+80").PortNumber(), 80);
  EXPECT_EQ(WithService("X", "80x").PortNumber(), 80);
  EXPECT_EQ(WithService("X", "-80").PortNumber(), -80);
  EXPECT_EQ(WithService("X", "99999").PortNumber(), 99999);
  EXPECT_EQ(WithService("X", "+ 80").PortNumber(), 0);
  EXPECT_EQ(WithService("X", "   ").PortNumber(), 0);
  // The blanks count towards the five characters.
  EXPECT_EQ(WithService("X", "   1234").PortNumber(), 12);
}

TEST(ComputerEntry, ReadLimitsCutToTheBufferLessOne) {
  // A name keeps the 128 bytes that the add dialog accepts.
  EXPECT_EQ(CutToReadLimit(Field::ComputerName, std::string(128, 'n')).size(), 128u);
  EXPECT_EQ(CutToReadLimit(Field::ComputerName, std::string(300, 'n')).size(), 128u);
  EXPECT_EQ(CutToReadLimit(Field::IpAddress, std::string(40, '1')).size(), 31u);
  EXPECT_EQ(CutToReadLimit(Field::Port, "123456").size(), 5u);
  EXPECT_EQ(CutToReadLimit(Field::DownProgram, std::string(5000, 'p')).size(), 2047u);
  // A double-byte character that would straddle the limit is left out whole.
  const std::string name = std::string(127, 'a') + Cp932FromUtf8("あ");
  EXPECT_EQ(CutToReadLimit(Field::ComputerName, name), std::string(127, 'a'));
}

TEST(ComputerEntry, StatusTextsAndHeadings) {
  EXPECT_EQ(Utf8FromCp932(StatusUnknownText()), "不明");
  EXPECT_EQ(StatusUpText(), "\x81\x9B");
  EXPECT_EQ(StatusDownText(), "\x81\x7E");
  EXPECT_EQ(Utf8FromCp932(StatusCheckingText(3)), "確認中...");
  EXPECT_EQ(FlagText(true), "\x81\x9B");
  EXPECT_EQ(FlagText(false), "");
  EXPECT_EQ(Utf8FromCp932(ColumnHeading(Field::LastCheckTime)), "最終チェック時間");
  EXPECT_EQ(ColumnHeading(Field::ByMail), "");
}

}  // namespace
}  // namespace tarnwick
