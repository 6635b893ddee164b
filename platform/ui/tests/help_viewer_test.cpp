#include "platform/ui/help_viewer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "platform/ui/test_mode.h"

namespace {

namespace fs = std::filesystem;
using namespace plat::ui;

struct AddressCase {
  const char* target;
  const char* folder;
  const char* topic;
  const char* windowType;
};

TEST(HelpAddress, ParseAndFormat) {
  const AddressCase cases[] = {
      {"/p/Orv_HLENG", "/p/Orv_HLENG", "", ""},
      {"/p/Orv_HLENG>Main", "/p/Orv_HLENG", "", "Main"},
      {"/p/Orv_HLENG::/a/b.htm", "/p/Orv_HLENG", "a/b.htm", ""},
      {"/p/Orv_HLENG::/a/b.htm#x>Main", "/p/Orv_HLENG", "a/b.htm#x", "Main"},
      // A '>' inside the folder's path is not a window type.
      {"/p/a>b/Orv_HLENG", "/p/a>b/Orv_HLENG", "", ""},
      {"/p/a>b/Orv_HLENG::/t.htm>W", "/p/a>b/Orv_HLENG", "t.htm", "W"},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.target);
    const HelpAddress a = parseHelpAddress(c.target);
    EXPECT_EQ(a.folder, fs::path(c.folder));
    EXPECT_EQ(a.topic, c.topic);
    EXPECT_EQ(a.windowType, c.windowType);
    EXPECT_EQ(formatHelpAddress(a), c.target);
  }
  EXPECT_EQ(topicAnchor("a.htm#sec"), "sec");
  EXPECT_EQ(topicAnchor("a.htm"), "");
}

struct TextCase {
  std::string html;
  std::string title;
  std::string text;
};

TEST(HelpPageText, VisibleTextOfAPage) {
  const TextCase cases[] = {
      {"<html><head><title>Start &amp; Play</title><style>p{color:red}</style></head>"
       "<body><p>Press <b>Play</b>.</p><script>var x = '<p>hidden</p>';</script><!-- note --></body></html>",
       "Start & Play", "Press Play ."},
      {"<p>caf&eacute; &lt;x&gt; &#233;&#xE9; &nbsp;A&amp;B lone & sign</p>", "", "caf&eacute; <x> éé A&B lone & sign"},
      // CP1252 text: 0xE9 is é, 0x95 the bullet.
      {"<title>Le\xE9on</title>\x95 un", "Le\xC3\xA9on", "\xE2\x80\xA2 un"},
      // A tag that never closes ends the text.
      {"before <p unclosed", "", "before"},
      {"", "", ""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.html);
    const PageText t = extractPageText(c.html);
    EXPECT_EQ(t.title, c.title);
    EXPECT_EQ(t.text, c.text);
  }
}

class HelpFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tvtest::sandbox().base / "Orv_HLENG";
    tvtest::writeFile(root_ / "contents.html", "<title>Talvane Help</title><a href='start.htm'>Start</a>");
    tvtest::writeFile(root_ / "index.html", "<title>Index</title>Keywords");
    tvtest::writeFile(root_ / "start.htm", "<title>Getting started</title><p>Open a book and press Play.</p>");
    tvtest::writeFile(root_ / "lessons/echo.html",
                      "<title>Echo marks</title><p>An ECHOMARK repeats the sentence.</p>");
    tvtest::writeFile(root_ / "notes.txt", "Play echo");  // not a page
    tvtest::writeFile(tvtest::sandbox().base / "outside.htm", "<p>Play echo secret</p>");
  }
  fs::path root_;
};

TEST_F(HelpFolderTest, PagesContentsAndIndex) {
  const HelpFolder folder(root_);
  EXPECT_TRUE(folder.exists());
  EXPECT_EQ(folder.pages(), (std::vector<HelpPage>{{"contents.html", "Talvane Help"},
                                                   {"index.html", "Index"},
                                                   {"lessons/echo.html", "Echo marks"},
                                                   {"start.htm", "Getting started"}}));
  EXPECT_EQ(folder.contentsPage(), fs::canonical(root_ / "contents.html"));
  EXPECT_EQ(folder.indexPage(), fs::canonical(root_ / "index.html"));

  fs::remove(root_ / "index.html");
  EXPECT_TRUE(folder.indexPage().empty());
  const HelpFolder missing(root_ / "nothing");
  EXPECT_FALSE(missing.exists());
  EXPECT_TRUE(missing.pages().empty());
  EXPECT_TRUE(missing.contentsPage().empty());
  EXPECT_TRUE(missing.search("play").empty());
  EXPECT_FALSE(missing.topicFile("start.htm"));
}

TEST_F(HelpFolderTest, TopicsStayInsideTheFolder) {
  const HelpFolder folder(root_);
  EXPECT_EQ(folder.topicFile("lessons/echo.html#repeat"), fs::canonical(root_ / "lessons/echo.html"));
  EXPECT_EQ(folder.topicFile("lessons/../start.htm"), fs::canonical(root_ / "start.htm"));
  fs::create_symlink(tvtest::sandbox().base / "outside.htm", root_ / "link.htm");
  for (const char* bad : {"", "#x", "missing.htm", "notes.txt", "lessons", "../outside.htm",
                          "lessons/../../outside.htm", "link.htm"}) {
    EXPECT_FALSE(folder.topicFile(bad)) << bad;
  }
  EXPECT_FALSE(folder.topicFile((tvtest::sandbox().base / "outside.htm").string()));
  // A link is not a page of the folder.
  for (const HelpPage& p : folder.pages()) EXPECT_NE(p.path, "link.htm");
}

TEST_F(HelpFolderTest, SearchFindsPagesHoldingEveryWord) {
  const HelpFolder folder(root_);
  auto paths = [&](std::string_view q, bool titlesOnly = false) {
    std::vector<std::string> p;
    for (const HelpPage& h : folder.search(q, titlesOnly)) p.push_back(h.path);
    return p;
  };
  EXPECT_EQ(paths("play"), (std::vector<std::string>{"start.htm"}));
  EXPECT_EQ(paths("  Echomark   SENTENCE "), (std::vector<std::string>{"lessons/echo.html"}));
  EXPECT_EQ(paths("play echomark"), std::vector<std::string>{});
  // Titles count as text; markup and the file outside do not.
  EXPECT_EQ(paths("getting"), (std::vector<std::string>{"start.htm"}));
  EXPECT_EQ(paths("href"), std::vector<std::string>{});
  EXPECT_EQ(paths("secret"), std::vector<std::string>{});
  EXPECT_EQ(paths("echo", true), (std::vector<std::string>{"lessons/echo.html"}));
  EXPECT_EQ(paths("sentence", true), std::vector<std::string>{});
  EXPECT_EQ(paths(""), std::vector<std::string>{});
  EXPECT_EQ(paths("   "), std::vector<std::string>{});
}

TEST(HelpViewerChoice, RecordingViewerAndScopedViewer) {
  RecordingHelpViewer viewer;
  const fs::path folder = tvtest::sandbox().base / "Orv_HLFRE";
  fs::create_directories(folder);
  {
    ScopedHelpViewer scoped(viewer);
    EXPECT_EQ(&currentHelpViewer(), &viewer);
    HelpRequest r;
    r.command = HelpCommand::Topic;
    r.target = folder.string() + "::/a.htm";
    EXPECT_TRUE(HtmlHelp(r));
    r.target = folder.string() + "x::/a.htm";
    EXPECT_FALSE(HtmlHelp(r));
    EXPECT_TRUE(HtmlHelp(HelpRequest{HelpCommand::CloseAll, 0, "", "", false, false}));
  }
  EXPECT_NE(&currentHelpViewer(), &viewer);
  EXPECT_EQ(viewer.requests().size(), 3u);
  // Without a QApplication the default viewer shows nothing.
  HelpRequest r;
  r.target = folder.string();
  EXPECT_FALSE(HtmlHelp(r));
}

// A program in test mode records its help requests in the shared log, so
// that tests running the real programs see which page was asked for.
TEST(HelpViewerChoiceDeathTest, TestModeLogsEveryRequest) {
  // The child runs the test again in a sandbox of its own: it learns the
  // parent's log from the environment.
  const char* inherited = std::getenv("HELP_VIEWER_TEST_LOG");
  const fs::path log = inherited != nullptr ? fs::path(inherited) : tvtest::sandbox().tmp / "events.log";
  ::setenv("HELP_VIEWER_TEST_LOG", log.c_str(), 1);
  EXPECT_EXIT(
      {
        ::setenv(kTestModeVariable, "virtual", 1);
        ::setenv(kTestLogVariable, log.c_str(), 1);
        HelpRequest r;
        r.command = HelpCommand::Topic;
        r.target = "/help/Orv_HLENG::/audio\tmodes.htm";
        HtmlHelp(r);
        r.command = HelpCommand::Search;
        r.query = "echo";
        HtmlHelp(r);
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "");
  const std::vector<LoggedEvent> events = parseTestLog(tvtest::readFile(log));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events[0].isHelp);
  EXPECT_EQ(events[0].helpCommand, "topic");
  EXPECT_EQ(events[0].helpTarget, "/help/Orv_HLENG::/audio\tmodes.htm");
  EXPECT_EQ(events[1].helpCommand, "search");
  EXPECT_EQ(events[1].helpQuery, "echo");
}

}  // namespace
