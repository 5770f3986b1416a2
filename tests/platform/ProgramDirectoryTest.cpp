#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ProgramDirectory.h"

namespace tarnwick {
namespace {

TEST(ProgramDirectory, IsTheFolderOfTheRunningExecutable) {
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(ProgramDirectory(), self.parent_path().string());
  EXPECT_NE(ProgramDirectory().back(), '/');
}

TEST(ProgramDirectory, FolderOfKeepsNoTrailingSeparatorWhateverTheFileName) {
  EXPECT_EQ(FolderOf("/opt/tarnwick/bin/tarnwick-watch"), "/opt/tarnwick/bin");
  EXPECT_EQ(FolderOf("/opt/a/x"), "/opt/a");
  EXPECT_EQ(FolderOf("/tarnwick"), "/");
  EXPECT_EQ(FolderOf("tarnwick"), ".");
}

}  // namespace
}  // namespace tarnwick
