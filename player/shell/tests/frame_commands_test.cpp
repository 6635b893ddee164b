// The main frame's non-audio commands over a scripted book: moving between
// Echomarks, the Text menu on the status words, the panels, view windows,
// File and Help menus, and their enabled and checked states.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QMenu>
#include <QStatusBar>
#include <QTest>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "platform/ui/help_viewer.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/env/help.h"
#include "player/shell/app_help.h"
#include "player/shell/login_dlg.h"
#include "player/shell/main_frame.h"

namespace {

using State = COrv_CommandTable::State;

// A book of a few Echomarks whose status words the test sets; every call
// that changes something is written down.
struct ScriptedBook : TalvaneDocuments {
  bool open = true;
  unsigned current = 1;
  std::vector<std::uint32_t> status{0, 0, 0, 0};  // entry 0 belongs to no Echomark
  bool wrongWords = false, correctWords = false, lazyWords = false;
  bool child = true;
  std::vector<std::string> calls;
  std::set<unsigned> unloadable;  // Echomarks whose load fails

  bool OpenDocumentFile(const std::string& code) override {
    calls.push_back("open " + code);
    return true;
  }
  bool HasActiveDocument() const override { return open; }
  void CloseActiveDocument() override {
    calls.push_back("close");
    open = false;
  }
  unsigned GetCurrentQuote() const override { return open ? current : 0; }
  unsigned GetQuoteCount() const override { return open ? static_cast<unsigned>(status.size() - 1) : 0; }
  bool GoToQuote(unsigned n, bool intro, bool full) override {
    calls.push_back("go " + std::to_string(n) + (intro ? " intro" : "") + (full ? " full" : ""));
    if (unloadable.count(n)) {
      tried.insert(n);
      return false;
    }
    current = n;
    return true;
  }
  std::set<unsigned> tried;
  bool IsQuoteUnloadable(unsigned n) const override { return tried.count(n) != 0; }
  std::uint32_t GetQuoteStatus(unsigned n) const override { return status.at(n == 0 ? current : n); }
  bool SetQuoteStatus(std::uint32_t s, unsigned n) override {
    status.at(n == 0 ? current : n) = s;
    calls.push_back("store");
    return true;
  }
  bool bits(std::uint32_t b, bool all, bool set) {
    for (unsigned n = 1; n < status.size(); ++n)
      if (all || n == current) status[n] = set ? (status[n] | b) : (status[n] & ~b);
    calls.push_back(std::string(set ? "set " : "clear ") + std::to_string(b) + (all ? " all" : ""));
    return true;
  }
  bool SetQuoteStatusBits(std::uint32_t b, bool all) override { return bits(b, all, true); }
  bool ClearQuoteStatusBits(std::uint32_t b, bool all) override { return bits(b, all, false); }
  bool CheckAllQuotes() override {
    calls.push_back("check all");
    return true;
  }
  bool RefreshViews(unsigned flags) override {
    calls.push_back("refresh " + std::to_string(flags));
    return true;
  }
  bool ResetQuote(bool all) override {
    calls.push_back(all ? "reset all" : "reset");
    return true;
  }
  bool HasWrongWords() const override { return wrongWords; }
  bool HasCorrectWords() const override { return correctWords; }
  bool AnyWordHasFlag(std::uint32_t b) const override { return b == 0x10000 && lazyWords; }
  bool CorrectWrongWords() override {
    calls.push_back("correct");
    return true;
  }
  bool ClearLazyMarks() override {
    calls.push_back("clear lazy");
    lazyWords = false;
    return true;
  }
  bool HasActiveChild() const override { return open && child; }
  void SelectInQuoteIndex(unsigned n) override { calls.push_back("index " + std::to_string(n)); }
};

struct ScriptedPlay : StartPlay {
  std::vector<std::string>& calls;
  bool recording = false;
  explicit ScriptedPlay(std::vector<std::string>& c) : calls(c) {}
  void SetLoopMode(bool) override {}
  void SetPlaySpeed(int) override {}
  void PlayAll() override {}
  void RestartPlay() override {}
  void StopAll() override { calls.push_back("stop"); }
  bool IsRecordingAvailable() const override { return recording; }
  void SetSequenceMode(bool on) override { calls.push_back(on ? "sequence on" : "sequence off"); }
  void RefreshSpeechViews() override { calls.push_back("speech views"); }
};

struct ScriptedViews : ViewWindows {
  std::set<int> shown;
  bool IsShown(int w) const override { return shown.count(w) != 0; }
  void Show(int w) override { shown.insert(w); }
  void Hide(int w) override { shown.erase(w); }
};

struct ScriptedLogin : orv::shell::LoginPrompt {
  int runs = 0;
  std::string Run() override {
    ++runs;
    return "maria";
  }
};

struct FrameCommands : ::testing::Test {
  ScriptedBook book;
  ScriptedPlay play{book.calls};
  ScriptedViews views;
  ScriptedLogin login;
  COrv_HtmlHelp help;
  plat::ui::RecordingHelpViewer viewer;
  plat::ui::ScopedHelpViewer scopedViewer{viewer};
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scopedSink{sink};
  std::unique_ptr<CMainFrame> frame;

  void SetUp() override {
    const auto folder = tvtest::sandbox().base / "Orv_HLENG";
    tvtest::writeFile(folder / "contents.html", "<title>Contents</title>");
    help.SetHelpFile(folder.string());
    help.SetWindowType("Main");
    FrameServices s;
    // At the screen's corner: the offscreen screen is no larger than the frame.
    s.screen = [] { return QRect(0, 0, 640, 480); };
    s.createDdeServer = [] { return true; };
    s.documents = &book;
    s.play = &play;
    s.views = &views;
    s.help = &help;
    s.login = &login;
    frame = std::make_unique<CMainFrame>(s);
    ASSERT_TRUE(frame->OnCreate());
  }
  COrv_CommandTable& commands() { return frame->Commands(); }
  State state(int id) { return commands().Query(id); }
  // Runs a command and answers the calls it made.
  std::vector<std::string> run(int id) {
    book.calls.clear();
    commands().Execute(id);
    return book.calls;
  }
  // The last help request as "command topic".
  std::string lastHelp() const {
    if (viewer.requests().empty()) return "none";
    const auto& r = viewer.requests().back();
    return std::string(plat::ui::helpCommandName(r.command)) + " " + plat::ui::parseHelpAddress(r.target).topic;
  }
};

using Calls = std::vector<std::string>;

TEST_F(FrameCommands, PagingKeysMoveBetweenEchomarks) {
  constexpr std::uint32_t kSolved = 0x2;
  struct Case {
    const char* name;
    unsigned from;
    std::vector<std::uint32_t> status;
    int command;
    unsigned to;
    Calls calls;
  };
  const Case cases[] = {
      {"PgDn", 2, {0, 0, 0, 0}, 125, 3, {"stop", "index 3", "go 3 intro full", "sequence off", "speech views"}},
      // On the last Echomark PgDn is refused: nothing happens, the play goes on.
      {"PgDn on the last", 3, {0, 0, 0, 0}, 125, 3, {}},
      {"PgUp", 3, {0, 0, 0, 0}, 124, 2,
       {"stop", "stop", "index 2", "go 2 intro full", "sequence off", "speech views"}},
      // On the first the play stops and the Echomark stays.
      {"PgUp on the first", 1, {0, 0, 0, 0}, 124, 1, {"stop"}},
      {"Ctrl+PgDn skips the solved", 1, {0, 0, kSolved, 0}, 230, 3,
       {"stop", "index 3", "go 3 intro full", "sequence off", "speech views"}},
      {"Ctrl+PgDn with every later one solved", 1, {0, 0, kSolved, kSolved}, 230, 1, {}},
      {"Ctrl+PgUp skips the solved", 3, {0, 0, kSolved, 0}, 231, 1,
       {"stop", "index 1", "go 1 intro full", "sequence off", "speech views"}},
      {"Ctrl+PgUp with every earlier one solved", 3, {0, kSolved, kSolved, 0}, 231, 3, {}},
  };
  for (const Case& c : cases) {
    book.current = c.from;
    book.status = c.status;
    EXPECT_EQ(run(c.command), c.calls) << c.name;
    EXPECT_EQ(book.current, c.to) << c.name;
  }
  // With a recording the sequence mode stays.
  play.recording = true;
  book.current = 1;
  EXPECT_EQ(run(125), (Calls{"stop", "index 2", "go 2 intro full", "speech views"}));
}

TEST_F(FrameCommands, GoToQuoteRefusesNumbersOutsideTheBookAndSparesTheIndexThatAsked) {
  struct Case {
    unsigned n;
    int source;
    bool done;
    Calls calls;
  };
  const Case cases[] = {
      {0, 125, false, {"stop"}},
      {4, 125, false, {"stop"}},
      {2, CMainFrame::kSourceQuoteIndex, true, {"stop", "go 2 intro full", "sequence off", "speech views"}},
      {3, 1500, true, {"stop", "index 3", "go 3 intro full", "sequence off", "speech views"}},
  };
  for (const Case& c : cases) {
    book.calls.clear();
    EXPECT_EQ(frame->GoToQuote(c.n, c.source), c.done) << c.n;
    EXPECT_EQ(book.calls, c.calls) << c.n;
  }
  book.open = false;
  book.calls.clear();
  EXPECT_FALSE(frame->GoToQuote(1, 125));
  EXPECT_EQ(book.calls, Calls{"stop"});
  EXPECT_FALSE(frame->HasActiveTvDocument());
}

TEST_F(FrameCommands, AnEchomarkThatCannotBeLoadedIsToldAndTheLearnerStays) {
  plat::ui::RecordingSink boxes;
  plat::ui::ScopedSink scope(boxes);
  book.unloadable = {3};
  book.current = 2;
  EXPECT_TRUE(state(125).enabled);
  EXPECT_EQ(run(125), (Calls{"stop", "index 3", "go 3 intro full", "index 2"}));
  EXPECT_EQ(book.current, 2u);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.last().request.text, "An error occurred while loading a Echomark.");
  EXPECT_EQ(boxes.last().request.caption, "Talvane Player: Error Window");
  // Page Down no longer offers what it cannot do; the others still move.
  EXPECT_FALSE(state(125).enabled);
  EXPECT_EQ(run(124), (Calls{"stop", "stop", "index 1", "go 1 intro full", "sequence off", "speech views"}));
  EXPECT_TRUE(state(125).enabled);
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(FrameCommands, TextCommandsFollowTheStatusWord) {
  struct Case {
    const char* name;
    std::uint32_t status;
    bool wrong, lazy;
    std::map<int, State> expected;
  };
  const State off{false, false}, on{true, false}, checked{true, true};
  const Case cases[] = {
      {"plain Echomark", 0, false, false,
       {{32780, off}, {32781, off}, {32783, off}, {32784, off}, {32785, off}, {32790, off}}},
      {"non-keywords hidden", 0x400, false, false, {{32780, on}, {32781, off}, {32783, on}}},
      {"non-keywords shown", 0x400 | 0x1000, false, false, {{32780, checked}, {32781, off}}},
      // Without fixed words the command is off and unchecked, whatever bit 0x2000 says.
      {"no fixed words, bit left", 0x2000, false, false, {{32781, off}, {32783, off}}},
      {"fixed words shown", 0x800 | 0x2000, false, false, {{32781, checked}, {32783, on}}},
      {"some word correct", 0x4, false, false, {{32785, on}, {32786, on}}},
      {"wrong and lazy words", 0, true, true, {{32790, on}, {32784, on}}},
  };
  for (const Case& c : cases) {
    book.status = {0, c.status, 0, 0};
    book.current = 1;
    book.wrongWords = c.wrong;
    book.lazyWords = c.lazy;
    for (const auto& [id, want] : c.expected) {
      const State got = state(id);
      EXPECT_EQ(got.enabled, want.enabled) << c.name << " " << id;
      EXPECT_EQ(got.checked, want.checked) << c.name << " " << id;
    }
  }
  // Clear all Echomarks looks at every Echomark, not the current one only.
  book.status = {0, 0, 0, 0x4};
  EXPECT_TRUE(state(32786).enabled);
  EXPECT_FALSE(state(32785).enabled);

  // F2 flips the bit on the current Echomark only.
  book.status = {0, 0x400, 0x400, 0x400};
  EXPECT_EQ(run(32780), Calls{"set 4096"});
  EXPECT_EQ(book.status, (std::vector<std::uint32_t>{0, 0x1400, 0x400, 0x400}));
  EXPECT_EQ(run(32780), Calls{"clear 4096"});
  EXPECT_EQ(run(32785), Calls{});  // refused: nothing correct yet
  book.wrongWords = true;
  EXPECT_EQ(run(32790), Calls{"correct"});
}

TEST_F(FrameCommands, ApplyToAllTakesTheTwoDisplayCommandsAsTheyStand) {
  // Non-keywords shown here, fixed words present but hidden.
  book.status = {0, 0x400 | 0x800 | 0x1000, 0x800 | 0x2000, 0};
  EXPECT_EQ(run(32783), (Calls{"set 4096 all", "clear 8192 all", "check all", "refresh 56"}));
  EXPECT_EQ(book.status, (std::vector<std::uint32_t>{0, 0x1C00, 0x1800, 0x1000}));
  // Only fixed words: the non-keyword bit is left alone everywhere.
  book.status = {0, 0x800 | 0x2000, 0x1000, 0};
  EXPECT_EQ(run(32783), (Calls{"set 8192 all", "check all", "refresh 56"}));
  EXPECT_EQ(book.status[2], 0x3000u);
}

TEST_F(FrameCommands, ClearLazyWordsRewritesTheStatus) {
  struct Case {
    const char* name;
    std::uint32_t before;
    bool correctLeft;
    std::uint32_t after;
    Calls calls;
  };
  const Case cases[] = {
      {"solved with correct words left", 0x1 | 0x2 | 0x4 | 0x4000, true, 0x1 | 0x4,
       {"clear lazy", "store", "refresh 2", "refresh 56"}},
      {"not solved, nothing correct left", 0x1 | 0x4, false, 0x1, {"clear lazy", "store", "refresh 2"}},
  };
  for (const Case& c : cases) {
    book.status = {0, c.before, 0, 0};
    book.lazyWords = true;
    book.correctWords = c.correctLeft;
    EXPECT_EQ(run(32784), c.calls) << c.name;
    EXPECT_EQ(book.status[1], c.after) << c.name;
    EXPECT_FALSE(state(32784).enabled) << c.name;
  }
}

TEST_F(FrameCommands, WithoutABookOnlyFileHelpAndGrammarCommandsWork) {
  book.open = false;
  for (int id : {115, 124, 125, 119, 120, 126, 197, 198, 123, 132, 32780, 32781, 32783, 32784, 32785, 32786, 32787,
                 32790, 57602})
    EXPECT_FALSE(state(id).enabled) << id;
  for (int id : {57601, 32815, 57665, 57666, 57667, 57670, 57671, 32900, 228, 229, 230, 231, 219, 220, 221, 32776,
                 32782, 59393})
    EXPECT_TRUE(state(id).enabled) << id;
  // Install follows the administrator's enabling 0.
  orv::COrv_Environment().SetEnabled(0, false);
  EXPECT_FALSE(state(32814).enabled);
  orv::COrv_Environment().SetEnabled(0, true);
  EXPECT_TRUE(state(32814).enabled);

  // The dialogs this build lacks say so.
  for (int id : {57601, 32814, 32815}) {
    sink.clear();
    EXPECT_TRUE(commands().Execute(id)) << id;
    ASSERT_EQ(sink.boxes().size(), 1u) << id;
    EXPECT_NE(sink.last().request.text.find("not available"), std::string::npos) << id;
  }
}

TEST_F(FrameCommands, OpenShowsItsDialogAndOpensTheChosenBook) {
  FrameServices s;
  s.screen = [] { return QRect(0, 0, 1024, 768); };
  s.createDdeServer = [] { return true; };
  s.documents = &book;
  std::string answer = "HAMLET";
  s.openDialog = [&answer] { return answer; };
  CMainFrame withDialog(s);
  ASSERT_TRUE(withDialog.OnCreate());
  book.calls.clear();
  withDialog.Commands().Execute(57601);
  EXPECT_EQ(book.calls, (Calls{"close", "open HAMLET"}));
  answer.clear();  // cancelled
  book.calls.clear();
  withDialog.Commands().Execute(57601);
  EXPECT_TRUE(book.calls.empty());
  EXPECT_TRUE(sink.boxes().empty());
}

TEST_F(FrameCommands, PanelsAndStatusBarToggleAndShowTheirState) {
  frame->show();
  for (int id : {32776, 32782}) {
    QDockWidget* dock = id == 32776 ? frame->AudioDock() : frame->SecondaryDock();
    dock->setVisible(true);
    EXPECT_TRUE(state(id).checked) << id;
    commands().Execute(id);
    EXPECT_FALSE(dock->isVisible()) << id;
    EXPECT_FALSE(state(id).checked) << id;
    commands().Execute(id);
    EXPECT_TRUE(dock->isVisible()) << id;
  }
  frame->statusBar()->show();
  commands().Execute(59393);
  EXPECT_TRUE(frame->statusBar()->isHidden());
  EXPECT_FALSE(state(59393).checked);
  // The index panel command: with no book window it is refused (the
  // window's own panel is tested with the frame's book windows).
  book.child = false;
  EXPECT_FALSE(state(32787).enabled);
}

TEST_F(FrameCommands, ViewButtonsShowAndHideTheirWindows) {
  struct Case {
    int command;
    int window;
  };
  for (const Case c : {Case{119, ViewWindows::kSpeechView}, Case{120, ViewWindows::kFragmentSelector},
                       Case{126, ViewWindows::kVolume}}) {
    commands().Execute(c.command);
    EXPECT_TRUE(views.IsShown(c.window)) << c.command;
    EXPECT_EQ(state(c.command).checked, true) << c.command;
    commands().Execute(c.command);
    EXPECT_FALSE(views.IsShown(c.window)) << c.command;
    EXPECT_FALSE(state(c.command).checked) << c.command;
  }
  // The recording's windows need a recording; without one a shown window goes.
  play.recording = true;
  commands().Execute(197);
  EXPECT_TRUE(views.IsShown(ViewWindows::kRecSpeechView));
  play.recording = false;
  EXPECT_FALSE(state(197).enabled);
  EXPECT_FALSE(views.IsShown(ViewWindows::kRecSpeechView));

  // A closing book hides every view window.
  views.shown = {207, 208, 189, 202, 218};
  frame->HideViewWindows();
  EXPECT_TRUE(views.shown.empty());
}

TEST_F(FrameCommands, HelpMenuAndF1OpenTheirPages) {
  struct Case {
    int command;
    std::string shown;
  };
  for (const Case& c : {Case{57671, "contents "}, Case{57667, "contents "}, Case{57666, "index "},
                        Case{32900, "search "}}) {
    viewer.clear();
    EXPECT_TRUE(commands().Execute(c.command));
    EXPECT_EQ(lastHelp(), c.shown) << c.command;
  }
  EXPECT_EQ(viewer.requests().back().query, "");

  // F1 over a panel button opens the button's topic, elsewhere the contents.
  frame->AudioDock()->show();
  frame->SecondaryDock()->show();
  frame->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  // Every button of both panels, with the page the topic table gives it
  // (the contents for a button without a topic).
  const std::pair<COrv_Panel*, QDockWidget*> panels[] = {{&frame->AudioPanel(), frame->AudioDock()},
                                                         {&frame->SecondaryPanel(), frame->SecondaryDock()}};
  QApplication::processEvents();
  int buttons = 0;
  for (const auto& [panel, dock] : panels) {
    for (const COrv_PanelRow& row : panel->Rows()) {
      if (row.kind != COrv_PanelRow::kButton) continue;
      ++buttons;
      const plat::win::RECT r = panel->GetButtonRect(row.id);
      const QPoint at = dock->widget()->mapToGlobal(QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
      EXPECT_EQ(frame->HelpContextAt(at), 0x10000u + static_cast<unsigned>(row.id)) << row.id;
      QCursor::setPos(at);
      viewer.clear();
      commands().Execute(57670);
      const std::string_view topic = orv::shell::HelpTopicForId(static_cast<std::uint32_t>(row.id));
      EXPECT_EQ(lastHelp(), topic.empty() ? "contents " : "topic " + std::string(topic)) << row.id;
    }
  }
  EXPECT_EQ(buttons, 24);
  QCursor::setPos(frame->Client()->mapToGlobal(QPoint(100, 100)));
  viewer.clear();
  commands().Execute(57670);
  EXPECT_EQ(lastHelp(), "contents ");

  // F1 on a highlighted menu entry: that entry's topic.
  QAction* install = commands().ActionFor(32814);
  ASSERT_NE(install, nullptr);
  auto* fileMenu = qobject_cast<QMenu*>(install->parent());
  ASSERT_NE(fileMenu, nullptr);
  fileMenu->popup(QPoint(10, 10));
  fileMenu->setActiveAction(install);
  viewer.clear();
  QTest::keyClick(fileMenu, Qt::Key_F1);
  EXPECT_EQ(lastHelp(), "topic installtv.htm");
  fileMenu->hide();

  // Shift+F1, then a click on a button: its topic, and the mode ends.
  const plat::win::RECT r = frame->AudioPanel().GetButtonRect(120);
  const QPoint inHost((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  commands().Execute(57669);
  EXPECT_TRUE(frame->InContextHelpMode());
  viewer.clear();
  QTest::mouseClick(frame->AudioDock()->widget(), Qt::LeftButton, {}, inHost);
  EXPECT_FALSE(frame->InContextHelpMode());
  EXPECT_EQ(lastHelp(), "topic fragment.htm");
}

TEST_F(FrameCommands, HelpLanguageAndTheLogInSettings) {
  frame->SetHelpLanguage(1);
  EXPECT_EQ(std::filesystem::path(help.GetHelpFile()).filename(), "Orv_HLFRE");

  // A new data path (33) or user (35) logs in again.
  for (int n : {33, 35}) {
    frame->FrameState().SetUserName("");
    const int32_t value = 1;
    frame->ApplySetting(n, &value);
    EXPECT_EQ(frame->FrameState().GetUserName(), "maria") << n;
  }
  EXPECT_EQ(login.runs, 2);
}

// The grammar browser's commands and the go-to menu over a scripted
// browser; closing the frame closes the browser and stops the play.
struct ScriptedBrowser : GrammarBrowserHost, GrammarDdeClient {
  std::vector<std::string> calls;
  bool running = false;
  bool IsRunning() override { return running; }
  std::filesystem::path ProgramFolder() override { return {}; }
  std::optional<std::string> Start(const std::filesystem::path&) override { return std::nullopt; }
  Wait WaitUntilReady(int) override { return Wait::Ready; }
  bool Activate() override {
    calls.push_back("activate");
    return true;
  }
  bool Close() override {
    calls.push_back("close");
    running = false;
    return true;
  }
  Result Execute(const char*, const char* topic, const std::string&) override {
    calls.push_back(topic);
    return Result::Done;
  }
};

TEST_F(FrameCommands, GrammarKeysGoToMenuAndClose) {
  ScriptedBrowser browser;
  FrameServices s;
  s.screen = [] { return QRect(0, 0, 1024, 768); };
  s.createDdeServer = [] { return true; };
  s.play = &play;
  s.grammarBrowser = &browser;
  s.grammarDde = &browser;
  auto f = std::make_unique<CMainFrame>(s);
  ASSERT_TRUE(f->OnCreate());

  EXPECT_EQ(f->GoToMenuState(), CMainFrame::kGoToIndex);
  f->Commands().Execute(228);  // Shift+F2 with the browser closed: nothing
  EXPECT_TRUE(browser.calls.empty());

  browser.running = true;
  EXPECT_EQ(f->GoToMenuState(), CMainFrame::kGoToIndex | CMainFrame::kGoToCurrentPage);
  EXPECT_TRUE(f->GoToGrammar(CMainFrame::kGoToIndex));
  EXPECT_TRUE(f->GoToGrammar(CMainFrame::kGoToCurrentPage));
  EXPECT_EQ(browser.calls, (Calls{"GrammarPage", "activate", "activate"}));

  // A new interface language goes to the running browser.
  browser.calls.clear();
  f->SetInterfaceLanguage(2);
  EXPECT_EQ(browser.calls, Calls{"ChangeGUILang"});

  browser.calls.clear();
  book.calls.clear();
  f->show();
  f->close();
  EXPECT_EQ(browser.calls, Calls{"close"});
  EXPECT_EQ(book.calls, Calls{"stop"});
  f.reset();
  EXPECT_EQ(browser.calls, Calls{"close"});  // closed once

  // A frame that goes without a close (the program ends on a signal) still
  // closes the browser.
  browser.running = true;
  browser.calls.clear();
  std::make_unique<CMainFrame>(s).reset();
  EXPECT_EQ(browser.calls, Calls{"close"});
}

TEST_F(FrameCommands, ANewLanguageRedrawsTheBookPanes) {
  book.calls.clear();
  frame->SetInterfaceLanguage(1);
  EXPECT_EQ(book.calls, Calls{"refresh 14"});
}

TEST_F(FrameCommands, MenuEntriesWithoutAHandlerStayGreyed) {
  for (int id : {32803, 32804, 32805, 32808, 32811, 32812}) EXPECT_FALSE(state(id).enabled) << id;
}

}  // namespace
