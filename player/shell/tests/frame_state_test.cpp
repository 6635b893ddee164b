#include "player/shell/frame_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/env/current_user.h"
#include "player/env/environment.h"

namespace {

TEST(FrameState, UserNameIsCutToThirtyCharacters) {
  COrv_FrameState state;
  state.SetUserName(std::string(40, 'u'));
  EXPECT_EQ(state.GetUserName(), std::string(30, 'u'));
  // Characters, not bytes: 35 two-byte letters keep 30 letters.
  std::string accented;
  for (int i = 0; i < 35; ++i) accented += "\xC3\xA9";
  state.SetUserName(accented);
  EXPECT_EQ(state.GetUserName().size(), 60u);
}

// Setting 36 of the environment store, with the state installed as the
// holder of the name; each row follows the one before.
TEST(FrameState, IsSettingThirtySixOfTheStoreWhileInstalled) {
  COrv_FrameState state;
  orv::COrv_Environment env;
  EXPECT_EQ(env.GetSettingText(36), "Default");  // nothing installed
  ASSERT_EQ(orv::setCurrentUserNameProvider(&state), nullptr);
  EXPECT_EQ(env.GetSettingText(36), "Default");  // nobody logged in
  state.SetUserName("Eve");
  EXPECT_EQ(env.GetSettingText(36), "Eve");
  struct Case {
    std::string written, held, read;
  } cases[] = {
      {"Ann", "Ann", "Ann"},
      {"Default", "", "Default"},
      {std::string(40, 'u'), std::string(30, 'u'), std::string(30, 'u')},
      {"", "", "Default"},
      {"Zoë", "Zoë", "Zoë"},
  };
  for (const Case& c : cases) {
    env.SetSettingText(36, c.written);
    EXPECT_EQ(state.GetUserName(), c.held) << c.written;
    EXPECT_EQ(env.GetSettingText(36), c.read) << c.written;
  }
  // Uninstalled, the store neither reads nor changes the state.
  orv::setCurrentUserNameProvider(nullptr);
  env.SetSettingText(36, "Mallory");
  EXPECT_EQ(state.GetUserName(), "Zoë");
  EXPECT_EQ(env.GetSettingText(36), "Default");
}

TEST(FrameState, EmptyMapAnswersZeroEverywhere) {
  COrv_FrameState state;
  int32_t buffer = 77;
  for (int n : {0, 3, 5, 16, 25, 26}) {
    EXPECT_EQ(state.GetValue(n, &buffer), 0u) << n;
  }
  EXPECT_EQ(buffer, 77);
}

TEST(FrameState, TextSettingAnswersLengthWithoutCopyingWhenNoBuffer) {
  COrv_FrameState state;
  state.SetValue(5, "jingle.wav");
  EXPECT_EQ(state.GetValue(5, nullptr), 10u);
  char text[11];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(state.GetValue(5, text), 10u);
  EXPECT_STREQ(text, "jingle.wav");
}

TEST(FrameState, OutOfRangeNumbersAreIgnoredAndLeaveTheBuffer) {
  COrv_FrameState state;
  const int32_t one = 1;
  state.SetValue(16, &one);
  for (int n : {2, 26, 36, -1}) {
    state.SetValue(n, &one);
    int32_t buffer = 99;
    EXPECT_EQ(state.GetValue(n, &buffer), 0u) << n;
    EXPECT_EQ(buffer, 99) << n;
  }
  state.SetValue(17, nullptr);
  EXPECT_EQ(state.GetValue(17, nullptr), 0u);
  EXPECT_EQ(state.CachedCount(), 1u);
}

TEST(FrameState, SecondWriteKeepsOnlyTheLastValue) {
  COrv_FrameState state;
  const int32_t first = 2, second = 7;
  state.SetValue(16, &first);
  state.SetValue(16, &second);
  int32_t got = 0;
  EXPECT_EQ(state.GetValue(16, &got), 4u);
  EXPECT_EQ(got, 7);
  EXPECT_EQ(state.CachedCount(), 1u);
  // A shorter text replaces a longer one whole.
  state.SetValue(5, "a long text");
  state.SetValue(5, "ab");
  EXPECT_EQ(state.GetValue(5, nullptr), 2u);
}

TEST(FrameState, LoadTakesOnlyThreeToTwentyFiveFromTheStore) {
  orv::COrv_Environment env;
  env.SetSettingValue(16, 5);
  env.SetSettingValue(24, 0);
  env.SetSettingText(5, "bell.wav");
  COrv_FrameState state;
  state.LoadSettings(env);
  EXPECT_EQ(state.CachedCount(), 23u);
  EXPECT_EQ(state.GetInt(16), 5);
  EXPECT_EQ(state.GetInt(24, 1), 0);
  ASSERT_EQ(state.GetValue(5, nullptr), 8u);
  char text[9];
  state.GetValue(5, text);
  EXPECT_STREQ(text, "bell.wav");
  EXPECT_EQ(state.GetValue(26, nullptr), 0u);
}

}  // namespace
