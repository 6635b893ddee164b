#include "player/env/msg_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "shared/language/language_settings.h"
#include "shared/language/orv_language.h"

namespace {

namespace fs = std::filesystem;
using namespace plat::ui;

constexpr const char* kMessage = "Player Error !\n\nI can't find the Grammar Browser";  // string 20005

COrv_MsgBox box(int kind, int32_t n = 12, int32_t s = 3, std::string extra = "book.tvk") {
  COrv_MsgBox b;
  b.m_nMessageId = 20005;
  b.m_nErrorNumber = n;
  b.m_nSubNumber = s;
  b.m_nKind = kind;
  b.m_nHelpContext = 4711;
  b.m_strExtraText = std::move(extra);
  return b;
}

class MsgBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { setApplicationCaption("Talvane Player"); }
  void TearDown() override { setApplicationCaption(""); }
  RecordingSink sink_;
  ScopedSink scoped_{sink_};
};

struct KindCase {
  int kind;
  const char* text;
  Icon icon;
  const char* caption;
  bool help;
};

TEST_F(MsgBoxTest, KindsShowTheirTextsAndIcons) {
  const std::string m = kMessage;
  const KindCase cases[] = {
      {0, "Error Code:  12.3\n\nPlayer Error !\n\nI can't find the Grammar Browser", Icon::Error,
       "Talvane Player: Error Window", false},
      // Extra text after the message, then before it.
      {1, "Error Code:  12.3\n\nPlayer Error !\n\nI can't find the Grammar Browser \n\n book.tvk", Icon::Error,
       "Talvane Player: Error Window", false},
      {2, "Error Code:  12.3\n\nbook.tvk \n\n Player Error !\n\nI can't find the Grammar Browser", Icon::Error,
       "Talvane Player: Error Window", false},
      {3, kMessage, Icon::Warning, "Talvane Player: Error Window", false},
      // The application's box: its own caption and the Help button.
      {4, "Error Code:  12.3\n\nPlayer Error !\n\nI can't find the Grammar Browser \n\n book.tvk", Icon::Error,
       "Talvane Player", true},
      {5, "book.tvk Player Error !\n\nI can't find the Grammar Browser", Icon::Warning,
       "Talvane Player: Error Window", false},
      {6, "Error Code:  12.3\n\nbook.tvk", Icon::Error, "Talvane Player: Error Window", false},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.kind);
    sink_.clear();
    COrv_MsgBox b = box(c.kind);
    EXPECT_EQ(b.Show(), 12);
    ASSERT_EQ(sink_.boxes().size(), 1u);
    const MessageBoxRequest& r = sink_.last().request;
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.caption, c.caption);
    EXPECT_EQ(r.icon, c.icon);
    EXPECT_EQ(r.buttons, Buttons::Ok);
    EXPECT_EQ(r.modality, Modality::Task);
    EXPECT_EQ(r.helpButton, c.help);
    EXPECT_EQ(r.applicationBox, c.help);
    EXPECT_EQ(r.helpContext, c.help ? 4711u : 0u);
  }
}

TEST_F(MsgBoxTest, UnknownKindsShowNothingAndAnswerTheNumber) {
  for (const int kind : {7, -1, 100}) {
    COrv_MsgBox b = box(kind, 961, 0);
    EXPECT_EQ(b.Show(), 961) << kind;
    EXPECT_EQ(b.FormatText(), "") << kind;
  }
  EXPECT_TRUE(sink_.boxes().empty());
}

TEST_F(MsgBoxTest, DefaultsAndOtherCaptions) {
  COrv_MsgBox b;
  EXPECT_EQ(b.m_nCaptionId, 9002);
  EXPECT_EQ(b.m_nKind, 0);
  EXPECT_EQ(b.m_nExitFlag, 0);
  EXPECT_TRUE(b.m_strExtraText.empty());
  b.m_nCaptionId = 9003;
  b.m_nKind = 3;
  b.m_nMessageId = 31999;  // held by nobody: an empty message
  EXPECT_EQ(b.Show(), 0);
  EXPECT_EQ(sink_.last().request.caption, "Talvane Player: Warning Window");
  EXPECT_EQ(sink_.last().request.text, "");
  // Negative numbers are printed as they are.
  COrv_MsgBox n = box(0, -5, -1);
  EXPECT_EQ(n.Show(), -5);
  EXPECT_EQ(sink_.last().request.text.substr(0, 19), "Error Code:  -5.-1\n");
}

// Texts follow the interface language, with English for what it lacks.
TEST_F(MsgBoxTest, TextsComeFromTheInterfaceLanguage) {
  const fs::path folder = tvtest::sandbox().base / "program";
  tvtest::writeFile(folder / "Orv_MLFRE.res", "TVRES 1\nstring 9002 Fenetre d'erreur\nstring 20005 Introuvable\n");
  tv::language::InMemoryLanguageSettings settings;
  settings.setLastInterfaceLanguage(1);
  tv::language::setLanguageSettings(&settings);
  tv::language::setModuleLocator([&](std::string_view name) -> fs::path {
    return name == "Orv_MLFRE.DLL" ? folder / "Orv_MLFRE.res" : fs::path();
  });
  COrv_MsgBox b = box(0, 7, 1);
  b.Show();
  tv::language::setModuleLocator({});
  tv::language::setLanguageSettings(nullptr);
  EXPECT_EQ(sink_.last().request.caption, "Fenetre d'erreur");
  EXPECT_EQ(sink_.last().request.text, "Error Code:  7.1\n\nIntrouvable");
}

using MsgBoxDeathTest = MsgBoxTest;

// The exit flag ends the process after the box, also for a kind that shows
// nothing. Numbers past 255 end with 1 and are printed.
TEST_F(MsgBoxDeathTest, ExitFlagEndsTheProcessWithTheNumber) {
  EXPECT_EXIT(
      {
        COrv_MsgBox b = box(0, 12, 3);
        b.m_nExitFlag = 1;
        b.Show();
      },
      ::testing::ExitedWithCode(12), "");
  EXPECT_EXIT(
      {
        COrv_MsgBox b = box(7, 12, 3);
        b.m_nExitFlag = 1;
        b.Show();
      },
      ::testing::ExitedWithCode(12), "");
  EXPECT_EXIT(
      {
        COrv_MsgBox b = box(1, 961, 2);
        b.m_nExitFlag = 1;
        b.Show();
      },
      ::testing::ExitedWithCode(1), "^961\n$");
  EXPECT_EXIT(
      {
        COrv_MsgBox b = box(1, -3, 2);
        b.m_nExitFlag = 1;
        b.Show();
      },
      ::testing::ExitedWithCode(1), "^-3\n$");
}

// A box was shown before the process ended.
TEST_F(MsgBoxDeathTest, TheBoxIsShownBeforeTheExit) {
  // The child of the death test runs in a sandbox of its own: the parent
  // hands it the log's path.
  if (!std::getenv("TV_MSGBOX_TEST_LOG"))
    setenv("TV_MSGBOX_TEST_LOG", (tvtest::sandbox().base / "boxes.log").c_str(), 1);
  const fs::path log = std::getenv("TV_MSGBOX_TEST_LOG");
  EXPECT_EXIT(
      {
        sink_.setLogFile(log);
        COrv_MsgBox b = box(0, 12, 3);
        b.m_nExitFlag = 1;
        b.Show();
      },
      ::testing::ExitedWithCode(12), "");
  EXPECT_NE(tvtest::readFile(log).find("Error Code:  12.3"), std::string::npos);
}

// Exit flags other than 1 do not end the process.
TEST_F(MsgBoxTest, OnlyExitFlagOneEnds) {
  COrv_MsgBox b = box(0);
  b.m_nExitFlag = 2;
  EXPECT_EQ(b.Show(), 12);
}

}  // namespace
