#include "platform/ui/help_viewer_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <filesystem>

#include "platform/testing/test_env.h"

namespace {

namespace fs = std::filesystem;
using namespace plat::ui;

class QtHelpViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tvtest::sandbox().base / "Orv_HLENG";
    tvtest::writeFile(root_ / "contents.html", "<title>Talvane Help</title><p>Contents page</p>");
    tvtest::writeFile(root_ / "start.htm", "<title>Getting started</title><p>Press Play.</p><a name='more'></a>");
    tvtest::writeFile(root_ / "echo.htm", "<title>Echo marks</title><p>An echomark repeats.</p>");
  }
  HelpRequest request(HelpCommand command, const std::string& target) {
    HelpRequest r;
    r.command = command;
    r.target = target;
    return r;
  }
  fs::path root_;
  QtHelpViewer viewer_;
};

TEST_F(QtHelpViewerTest, ContentsTopicAndWindowTypes) {
  const std::string folder = root_.string();
  ASSERT_TRUE(qtHelpUsable());
  EXPECT_TRUE(viewer_.display(request(HelpCommand::Contents, folder)));
  EXPECT_TRUE(viewer_.isOpen(""));
  EXPECT_EQ(viewer_.shownFile(""), fs::canonical(root_ / "contents.html").string());
  EXPECT_NE(viewer_.shownText("").find("Contents page"), std::string::npos);

  // A window type gets a window of its own.
  EXPECT_TRUE(viewer_.display(request(HelpCommand::Topic, folder + "::/start.htm#more>Main")));
  EXPECT_TRUE(viewer_.isOpen("Main"));
  EXPECT_EQ(viewer_.shownFile("Main"), fs::canonical(root_ / "start.htm").string());
  EXPECT_NE(viewer_.shownText("Main").find("Press Play."), std::string::npos);
  EXPECT_EQ(viewer_.shownFile(""), fs::canonical(root_ / "contents.html").string());

  // A missing topic or folder shows nothing.
  EXPECT_FALSE(viewer_.display(request(HelpCommand::Topic, folder + "::/gone.htm>Other")));
  EXPECT_FALSE(viewer_.display(request(HelpCommand::Contents, folder + "-missing>Other")));
  EXPECT_FALSE(viewer_.isOpen("Other"));

  EXPECT_TRUE(viewer_.display(request(HelpCommand::CloseAll, "")));
  EXPECT_FALSE(viewer_.isOpen(""));
  EXPECT_FALSE(viewer_.isOpen("Main"));
}

TEST_F(QtHelpViewerTest, SearchAndGeneratedIndex) {
  const std::string folder = root_.string();
  HelpRequest s = request(HelpCommand::Search, folder);
  s.query = "echomark";
  s.execute = true;
  EXPECT_TRUE(viewer_.display(s));
  EXPECT_EQ(viewer_.searchText(""), "echomark");
  EXPECT_TRUE(viewer_.shownFile("").empty());
  const std::string found = viewer_.shownText("");
  EXPECT_NE(found.find("Echo marks"), std::string::npos);
  EXPECT_EQ(found.find("Getting started"), std::string::npos);

  // Without execute the query waits in the field.
  s.query = "play";
  s.execute = false;
  EXPECT_TRUE(viewer_.display(s));
  EXPECT_EQ(viewer_.shownText("").find("Getting started"), std::string::npos);
  viewer_.runSearch("");
  EXPECT_NE(viewer_.shownText("").find("Getting started"), std::string::npos);

  // No index page: the window lists the pages.
  EXPECT_TRUE(viewer_.display(request(HelpCommand::Index, folder)));
  const std::string index = viewer_.shownText("");
  for (const char* title : {"Talvane Help", "Getting started", "Echo marks"})
    EXPECT_NE(index.find(title), std::string::npos) << title;
}

// Closing the program's window ends the main loop even with a help window
// open: help never keeps a program running (and its start-up mark in
// place) after the learner chose Exit.
TEST_F(QtHelpViewerTest, AnOpenHelpWindowDoesNotKeepTheMainLoopRunning) {
  ASSERT_TRUE(QGuiApplication::quitOnLastWindowClosed());
  QWidget main;
  main.show();
  ASSERT_TRUE(viewer_.display(request(HelpCommand::Contents, root_.string())));
  ASSERT_TRUE(viewer_.isOpen(""));
  QTimer::singleShot(0, &main, [&] { main.close(); });
  // Only a guard against a hang: the loop is expected to end at once.
  bool hung = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    hung = true;
    QCoreApplication::exit(1);
  });
  guard.start(20000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_FALSE(hung);
  EXPECT_TRUE(viewer_.display(request(HelpCommand::CloseAll, "")));
  EXPECT_FALSE(viewer_.isOpen(""));
}

}  // namespace
