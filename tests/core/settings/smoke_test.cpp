#include <gtest/gtest.h>

#include <filesystem>

#include "settings/app_state.h"

TEST(AppStateTest, StartsWithTheDefaultsAndInAFreshDirectory) {
  AppState state;
  EXPECT_EQ(state.Range, 9);
  EXPECT_EQ(state.MasterHeadID, 0x10);
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
}
