#include "player/env/help.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/testing/test_env.h"
#include "platform/ui/help_viewer.h"

namespace {

namespace fs = std::filesystem;
using namespace plat::ui;

class HtmlHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = (tvtest::sandbox().base / "Orv_HLENG").string();
    fs::create_directories(folder_);
  }
  std::vector<HelpCommand> commands() const {
    std::vector<HelpCommand> c;
    for (const HelpRequest& r : viewer_.requests()) c.push_back(r.command);
    return c;
  }
  std::string folder_;
  RecordingHelpViewer viewer_;
  ScopedHelpViewer scoped_{viewer_};
};

TEST_F(HtmlHelpTest, TargetsWithAndWithoutWindowType) {
  COrv_HtmlHelp help;
  help.SetOwner(77);
  help.SetHelpFile(folder_);
  viewer_.clear();

  help.ShowTopic("lessons/start.htm");
  help.ShowContents();
  help.SetWindowType("Main");
  help.ShowTopic("lessons/start.htm#play");
  help.ShowIndex();
  help.ShowSearch("echo mark");
  help.ShowSearch();

  const std::vector<HelpRequest>& r = viewer_.requests();
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].command, HelpCommand::Topic);
  EXPECT_EQ(r[0].target, folder_ + "::/lessons/start.htm");
  EXPECT_EQ(r[1].command, HelpCommand::Contents);
  EXPECT_EQ(r[1].target, folder_);
  // File, "::/", topic, ">", window type, in this order.
  EXPECT_EQ(r[2].target, folder_ + "::/lessons/start.htm#play>Main");
  EXPECT_EQ(r[3].command, HelpCommand::Index);
  EXPECT_EQ(r[3].target, folder_ + ">Main");
  EXPECT_EQ(r[4].command, HelpCommand::Search);
  EXPECT_EQ(r[4].target, folder_ + ">Main");
  EXPECT_EQ(r[4].query, "echo mark");
  EXPECT_TRUE(r[4].execute);
  EXPECT_FALSE(r[4].titlesOnly);
  EXPECT_EQ(r[5].query, "");
  for (const HelpRequest& q : r) EXPECT_EQ(q.owner, 77u);

  // The target reads back into its parts.
  const HelpAddress a = parseHelpAddress(r[2].target);
  EXPECT_EQ(a.folder, fs::path(folder_));
  EXPECT_EQ(a.topic, "lessons/start.htm#play");
  EXPECT_EQ(a.windowType, "Main");
}

TEST_F(HtmlHelpTest, NothingIsAskedWithoutAnExistingFolder) {
  COrv_HtmlHelp help;
  EXPECT_FALSE(help.HelpFileExists());  // no file set
  help.ShowContents();
  help.SetHelpFile(folder_ + "-missing");
  EXPECT_FALSE(help.HelpFileExists());
  help.ShowContents();
  help.ShowIndex();
  help.ShowSearch("x");
  help.ShowTopic("a.htm");
  EXPECT_EQ(commands(), std::vector<HelpCommand>{HelpCommand::CloseAll});
  help.SetHelpFile(folder_);
  EXPECT_TRUE(help.HelpFileExists());
}

// Owner and file changes close every help window first; the window type
// does not.
TEST_F(HtmlHelpTest, ChangesCloseTheHelpWindows) {
  COrv_HtmlHelp help;
  EXPECT_EQ(help.GetOwner(), 0u);
  EXPECT_TRUE(help.GetWindowType().empty());
  help.SetHelpFile(folder_);
  help.ShowContents();
  help.SetOwner(5);
  help.SetWindowType("Main");
  help.CloseAll();
  EXPECT_EQ(commands(), (std::vector<HelpCommand>{HelpCommand::CloseAll, HelpCommand::Contents,
                                                  HelpCommand::CloseAll, HelpCommand::CloseAll}));
  for (const HelpRequest& r : viewer_.requests())
    if (r.command == HelpCommand::CloseAll) {
      EXPECT_TRUE(r.target.empty());
      EXPECT_EQ(r.owner, 0u);
    }
  EXPECT_EQ(help.GetOwner(), 5u);
  EXPECT_EQ(help.GetHelpFile(), folder_);
}

}  // namespace
