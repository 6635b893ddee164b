// The player's side of the grammar browser against a scripted system side:
// the order of start, wait, language and page, and what the learner is told
// when a step fails.
#include "player/shell/grammar_link.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "shared/pages/work_folder.h"

namespace {

namespace fs = std::filesystem;

// The browser as a script: whether it runs, what its start and its wait
// answer. Every call is written down in `calls`.
struct ScriptedBrowser : GrammarBrowserHost, GrammarDdeClient {
  std::vector<std::string> calls;
  bool running = false;
  fs::path folder;
  std::optional<std::string> startFailure;
  Wait wait = Wait::Ready;
  GrammarDdeClient::Result execResult = GrammarDdeClient::Result::Done;

  bool IsRunning() override { return running; }
  fs::path ProgramFolder() override { return folder; }
  std::optional<std::string> Start(const fs::path& program) override {
    calls.push_back("start " + program.filename().string());
    return startFailure;
  }
  std::function<void()> whileWaiting;
  Wait WaitUntilReady(int) override {
    calls.push_back("wait");
    if (whileWaiting) whileWaiting();
    if (wait == Wait::Ready) running = true;
    return wait;
  }
  bool Activate() override {
    calls.push_back("activate");
    return true;
  }
  bool Close() override {
    calls.push_back("close");
    return true;
  }
  Result Execute(const char* service, const char* topic, const std::string& command) override {
    calls.push_back(std::string("exec ") + service + " " + topic + " " + command);
    return execResult;
  }
};

struct GrammarLinkTest : ::testing::Test {
  ScriptedBrowser browser;
  int language = 3;
  COrv_GrammarLink link{browser, &browser, [this] { return language; }};
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  const std::string index = COrv_GrammarLink::IndexPage().string();

  void SetUp() override {
    browser.folder = tvtest::sandbox().base / "program";
    fs::create_directories(browser.folder);
    tvtest::writeFile(browser.folder / "brindle", "");
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& b : sink.boxes()) out.push_back(b.request.text);
    return out;
  }
};

TEST_F(GrammarLinkTest, IndexPageStartsTheBrowserSendsLanguageThenPageAndRaisesIt) {
  EXPECT_EQ(COrv_GrammarLink::IndexPage(), tv::pages::WorkFolder() / "0000.htm");
  link.OnShowGrammarPage();
  EXPECT_EQ(browser.calls, (std::vector<std::string>{"start brindle", "wait", "exec Brindle ChangeGUILang 3",
                                                      "exec Brindle GrammarPage " + index, "activate"}));
  EXPECT_TRUE(sink.boxes().empty());

  // A running browser is not started again; a word's page goes the same way.
  browser.calls.clear();
  const std::string page = (tv::pages::WorkFolder() / "0012.htm").string();
  EXPECT_TRUE(link.SendGrammarPage(page));
  EXPECT_EQ(browser.calls, (std::vector<std::string>{"exec Brindle GrammarPage " + page, "activate"}));
}

TEST_F(GrammarLinkTest, ActivateAndCloseOnlyReachARunningBrowser) {
  link.OnActivateGrammarBrowser();
  EXPECT_TRUE(link.CloseGrammarBrowser());
  EXPECT_FALSE(link.SendGrammarLanguage(1));
  EXPECT_TRUE(browser.calls.empty());

  browser.running = true;
  link.OnActivateGrammarBrowser();
  EXPECT_TRUE(link.SendGrammarLanguage(6));
  link.CloseGrammarBrowser();
  EXPECT_EQ(browser.calls, (std::vector<std::string>{"activate", "exec Brindle ChangeGUILang 6", "close"}));
}

TEST_F(GrammarLinkTest, EachFailureEndsTheRequestWithItsMessage) {
  struct Case {
    const char* name;
    std::function<void(ScriptedBrowser&)> arrange;
    std::vector<std::string> calls;
    std::vector<std::string> boxes;
  };
  const std::string noPath = "Player Error !\n\nI can't find the path of the Grammar Browser";
  const std::string noBrowser = "Player Error !\n\nI can't find the Grammar Browser";
  const Case cases[] = {
      {"no program folder", [](ScriptedBrowser& b) { b.folder.clear(); }, {}, {noPath}},
      {"no program file", [](ScriptedBrowser& b) { fs::remove(b.folder / "brindle"); }, {}, {noBrowser}},
      {"start refused", [](ScriptedBrowser& b) { b.startFailure = "Permission denied"; }, {"start brindle"},
       {"Permission denied"}},
      // A browser that does not answer in time: the player says so.
      {"no answer", [](ScriptedBrowser& b) { b.wait = GrammarBrowserHost::Wait::TimedOut; },
       {"start brindle", "wait"}, {noBrowser}},
      // A browser that ended before answering has told the learner itself.
      {"ended at once", [](ScriptedBrowser& b) { b.wait = GrammarBrowserHost::Wait::Ended; },
       {"start brindle", "wait"}, {}},
      // A refused conversation or execute ends the request silently, and
      // the browser is not raised for a page it did not take.
      {"no conversation", [](ScriptedBrowser& b) { b.execResult = GrammarDdeClient::Result::NoConnection; },
       {"start brindle", "wait", "exec Brindle ChangeGUILang 3", "exec Brindle GrammarPage /p.htm"}, {}},
      {"execute refused", [](ScriptedBrowser& b) { b.execResult = GrammarDdeClient::Result::Refused; },
       {"start brindle", "wait", "exec Brindle ChangeGUILang 3", "exec Brindle GrammarPage /p.htm"}, {}},
  };
  for (const Case& c : cases) {
    SetUp();
    browser = ScriptedBrowser{};
    browser.folder = tvtest::sandbox().base / "program";
    c.arrange(browser);
    sink.clear();
    EXPECT_FALSE(link.SendGrammarPage("/p.htm")) << c.name;
    EXPECT_EQ(browser.calls, c.calls) << c.name;
    EXPECT_EQ(texts(), c.boxes) << c.name;
    if (std::string(c.name) == "start refused") {
      EXPECT_EQ(sink.last().request.caption, "Orvex Error");
      EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Information);
    }
  }
}

TEST_F(GrammarLinkTest, ARequestWhileTheBrowserStartsStartsNoSecondOne) {
  browser.whileWaiting = [this] { EXPECT_FALSE(link.SendGrammarPage("/p.htm")); };
  EXPECT_TRUE(link.SendGrammarPage(index));
  EXPECT_EQ(browser.calls, (std::vector<std::string>{"start brindle", "wait", "exec Brindle ChangeGUILang 3",
                                                      "exec Brindle GrammarPage " + index, "activate"}));
}

TEST_F(GrammarLinkTest, WithoutDdeNothingIsDelivered) {
  browser.running = true;
  COrv_GrammarLink noDde(browser, nullptr, [] { return 0; });
  EXPECT_FALSE(noDde.SendGrammarPage(index));
  EXPECT_FALSE(noDde.SendGrammarLanguage(0));
  EXPECT_TRUE(browser.calls.empty());
}

}  // namespace
