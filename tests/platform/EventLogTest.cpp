#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/EventLog.h"
#include "support/SyslogReceiver.h"

namespace tarnwick {
namespace {

TEST(EventLog, EntriesCarryTheTagTheSeverityAndTheTextWithoutLeadingLineBreaks) {
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
    EXPECT_EQ(entry->message, "「Tarnwick」は、監視を開始しました。");
  }
}

// The event viewer's entry would be the two line breaks alone.
TEST(EventLog, EmptyTextStillWritesAnEntry) {
  test::SyslogReceiver receiver;
  ASSERT_TRUE(EventLog(receiver.path()).Write(EventType::Information, ""));
  const auto entry = receiver.Receive();
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->message, "");
  ASSERT_TRUE(EventLog(receiver.path()).Write(EventType::Information, "\r\n\n\r"));
  EXPECT_EQ(receiver.Receive()->message, "");
}

// rsyslog would write each CR and LF as "#015" and "#012".
TEST(EventLog, AnEntryIsOneLineWithEachRunOfLineBreaksOneBlank) {
  test::SyslogReceiver receiver;
  const EventLog log(receiver.path());
  ASSERT_TRUE(log.Write(EventType::Warning,
                        Cp932FromUtf8("「Tarnwick」は、HTMLファイルを出力しようとしましたが失敗"
                                      "しました。\r\nPermission denied")));
  EXPECT_EQ(receiver.ReceiveRaw()->find_first_of("\r\n"), std::string::npos);
  ASSERT_TRUE(log.Write(EventType::Warning, "\r\nfirst\r\n\r\nsecond\nthird\rfourth\r\n"));
  EXPECT_EQ(receiver.Receive()->message, "first second third fourth");
}

TEST(EventLog, LongTextIsCutToTheInsertionBuffer) {
  test::SyslogReceiver receiver;
  ASSERT_TRUE(EventLog(receiver.path()).Write(EventType::Warning, std::string(5000, 'x')));
  // The buffer holds the event viewer's two line breaks too.
  EXPECT_EQ(receiver.Receive()->message, std::string(EventLog::kInsertionCapacity - 1 - 4, 'x'));
}

// A daemon that stopped reading: once its queue is full an entry is dropped
// after the queue wait instead of holding the watch for good.
TEST(EventLog, AFullQueueDropsTheEntryInsteadOfBlocking) {
  test::SyslogReceiver receiver;  // never read from here on
  const EventLog log(receiver.path(), std::chrono::milliseconds(1));
  int written = 0;
  while (written < 100000 && log.Write(EventType::Information, "filling the queue"))
    ++written;
  EXPECT_LT(written, 100000);
  EXPECT_FALSE(log.Write(EventType::Information, "dropped"));
}

TEST(EventLog, MissingSocketIsAFailure) {
  test::TempDir dir;
  EXPECT_FALSE(EventLog(dir.File("nobody")).Write(EventType::Error, "x"));
  EXPECT_FALSE(EventLog(std::string(200, 'p')).Write(EventType::Error, "x"));
}

}  // namespace
}  // namespace tarnwick
