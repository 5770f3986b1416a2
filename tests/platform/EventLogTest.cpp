#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/EventLog.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

TEST(EventLog, EntriesCarryTheTagTheSeverityAndTheTwoLineBreaks) {
  test::SyslogReceiver receiver;
  const EventLog log(receiver.path());
  struct Case {
    EventType type;
    int severity;
  };
  for (const Case c :
       {Case{EventType::Error, 3}, Case{EventType::Warning, 4}, Case{EventType::Information, 6}}) {
    ASSERT_TRUE(log.Write(c.type, Cp932FromUtf8("「Tarnwick」は、監視を開始しました。")));
    const auto entry = receiver.Receive();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->priority, 8 + c.severity);
    EXPECT_EQ(entry->tag, "Tarnwick");
    EXPECT_EQ(entry->message, "\r\n\r\n「Tarnwick」は、監視を開始しました。");
  }
}

TEST(EventLog, EmptyTextStillWritesTheLineBreaks) {
  test::SyslogReceiver receiver;
  ASSERT_TRUE(EventLog(receiver.path()).Write(EventType::Information, ""));
  EXPECT_EQ(receiver.Receive()->message, "\r\n\r\n");
}

TEST(EventLog, LongTextIsCutToTheInsertionBuffer) {
  test::SyslogReceiver receiver;
  ASSERT_TRUE(EventLog(receiver.path()).Write(EventType::Warning, std::string(5000, 'x')));
  EXPECT_EQ(receiver.Receive()->message.size(), EventLog::kInsertionCapacity - 1);
}

TEST(EventLog, MissingSocketIsAFailure) {
  test::TempDir dir;
  EXPECT_FALSE(EventLog(dir.File("nobody")).Write(EventType::Error, "x"));
  EXPECT_FALSE(EventLog(std::string(200, 'p')).Write(EventType::Error, "x"));
}

}  // namespace
}  // namespace tarnwick
