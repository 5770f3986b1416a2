#include <gtest/gtest.h>

#include <thread>

#include "engine/MemoryRows.h"

namespace tarnwick {
namespace {

ComputerEntry Named(const std::string& name) {
  ComputerEntry entry;
  entry[Field::ComputerName] = name;
  entry[Field::DownProgram] = std::string(3000, 'd');
  return entry;
}

TEST(MemoryRows, CapacityRefusalLeavesTheListUnchanged) {
  MemoryRows rows;
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(rows.AppendRow(Named("pc" + std::to_string(i)), 5));
  EXPECT_FALSE(rows.AppendRow(Named("sixth"), 5));
  EXPECT_EQ(rows.RowCount(), 5);
  EXPECT_EQ(rows.ReadField(4, Field::ComputerName), "pc4");
  EXPECT_FALSE(rows.AppendRow(Named("none"), 0));
}

TEST(MemoryRows, ReadsAreCutButStoredTextIsKept) {
  MemoryRows rows;
  ASSERT_TRUE(rows.AppendRow(Named("pc"), 300));
  EXPECT_EQ(rows.ReadField(0, Field::DownProgram).size(), 2047u);
  EXPECT_EQ(rows.ReadRow(0)[Field::DownProgram].size(), 2047u);
  EXPECT_EQ(rows.Snapshot()[0][Field::DownProgram].size(), 3000u);

  // A read with a buffer of its own cuts every field to that buffer alone.
  rows.WriteField(0, Field::ComputerName, std::string(200, 'n'));
  const ComputerEntry page = rows.ReadRowCutTo(0, 2047);
  EXPECT_EQ(page[Field::ComputerName].size(), 200u);
  EXPECT_EQ(page[Field::DownProgram].size(), 2047u);
  EXPECT_EQ(rows.ReadRow(0)[Field::ComputerName].size(), 127u);
  EXPECT_EQ(rows.ReadRowCutTo(1, 2047)[Field::ComputerName], "");
}

TEST(MemoryRows, EachRowKeepsTheStateItsStatusShows) {
  const struct {
    std::string status;
    RowState state;
  } cases[] = {
      {StatusUnknownText(), RowState::Unknown},
      {StatusCheckingText(3), RowState::Checking},
      {StatusUpText(), RowState::Up},
      {StatusDownText(), RowState::Down},
      {StatusDownText() + "?", RowState::Other},
      {"", RowState::Other},
  };
  for (const auto& c : cases) {
    MemoryRows rows;
    ComputerEntry entry = Named("pc");
    entry[Field::Status] = c.status;
    rows.ReplaceAll({entry});
    EXPECT_EQ(rows.ReadState(0), c.state) << c.status;
    rows.WriteField(0, Field::Status, StatusUpText());
    rows.InsertRow(0, entry);
    EXPECT_EQ(rows.ReadState(0), c.state) << c.status;
    EXPECT_EQ(rows.ReadState(1), RowState::Up) << "the row written moved down with its state";
    rows.RemoveRow(0);
    EXPECT_EQ(rows.ReadState(0), RowState::Up) << c.status;
  }
}

TEST(MemoryRows, OutOfRangeRowsAreIgnored) {
  MemoryRows rows;
  rows.WriteField(0, Field::Status, "x");
  EXPECT_EQ(rows.ReadField(-1, Field::Status), "");
  EXPECT_EQ(rows.ReadField(3, Field::Status), "");
  EXPECT_EQ(rows.RowCount(), 0);
}

TEST(MemoryRows, TwoThreadsMayWriteAndReadAtOnce) {
  MemoryRows rows;
  ASSERT_TRUE(rows.AppendRow(Named("pc"), 300));
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i)
      rows.WriteField(0, Field::Status, std::to_string(i));
  });
  for (int i = 0; i < 2000; ++i)
    (void)rows.ReadRow(0);
  writer.join();
  EXPECT_EQ(rows.ReadField(0, Field::Status), "1999");
}

}  // namespace
}  // namespace tarnwick
