// The frame's own book windows: a book opens as a document in an MDI child,
// is the active document, and closes (keeping the learner's progress) when
// another book takes its place, when its window closes and with the frame.
#include "player/shell/tv_document_windows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiSubWindow>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "platform/testing/test_env.h"
#include "platform/ui/help_viewer.h"
#include "player/env/help.h"
#include "player/shell/app_help.h"
#include "player/shell/status_bar.h"
#include "player/book/tests/document_fixture.h"
#include "player/env/users.h"
#include "player/shell/main_frame.h"
#include "player/shell/three_way_splitter_frame.h"
#include "player/views/frm_so_far.h"
#include "player/views/so_far_edit.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

Book twoEchomarks() {
  Book b;
  b.code = "DEMO";
  b.title = "Demo book";
  for (const char* text : {"the first one.", "the second one."}) {
    Echomark e;
    e.wordText = text;
    e.normalWav = makeWav(100, {});
    b.echomarks.push_back(e);
  }
  // The second word of the first Echomark links to grammar page 7.
  b.echomarks[0].links.push_back(Link{"7", 2});
  return b;
}

// A grammar browser that runs already and takes every request.
struct RunningBrowser : GrammarBrowserHost, GrammarDdeClient {
  std::vector<std::string> requests;
  int activations = 0;
  bool IsRunning() override { return true; }
  fs::path ProgramFolder() override { return {}; }
  std::optional<std::string> Start(const fs::path&) override { return std::nullopt; }
  Wait WaitUntilReady(int) override { return Wait::Ready; }
  bool Activate() override {
    ++activations;
    return true;
  }
  bool Close() override { return true; }
  Result Execute(const char*, const char* topic, const std::string& command) override {
    requests.push_back(std::string(topic) + " " + fs::path(command).filename().string());
    return Result::Done;
  }
};

FrameServices quietFrame() {
  FrameServices s;
  s.screen = [] { return QRect(0, 0, 1024, 768); };
  s.createDdeServer = [] { return true; };
  return s;
}

// A frame whose grammar browser is `browser`.
FrameServices browserFrame(RunningBrowser& browser) {
  FrameServices s = quietFrame();
  s.grammarBrowser = &browser;
  s.grammarDde = &browser;
  return s;
}

std::string lastQuote() {
  orv::COrv_Users users;
  users.SetCurrentUser("");
  return std::to_string(users.ReadLastQuote("DEMO"));
}

class BookWindows : public doctest::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    doctest::installBook(twoEchomarks());
  }
};

TEST_F(BookWindows, OpenReplaceAndClose) {
  auto frame = std::make_unique<CMainFrame>(quietFrame());
  ASSERT_TRUE(frame->OnCreate());
  const int32_t save = 1;
  frame->ApplySetting(COrv_TvDocument::kSetSaveTvStatus, &save);
  EXPECT_FALSE(frame->HasActiveTvDocument());

  ASSERT_TRUE(frame->OpenTalvane("demo"));
  COrv_TvDocument* doc = frame->GetActiveTvDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetBookCode(), "DEMO");
  ASSERT_EQ(frame->Client()->subWindowList().size(), 1);
  EXPECT_EQ(frame->Client()->subWindowList()[0]->windowTitle(), "Demo book");
  ASSERT_TRUE(doc->GoToQuote(2, false, true));
  // The book window is the three-way frame with the panes over the document.
  auto* window = dynamic_cast<C3WaySplitterFrame*>(frame->Client()->subWindowList()[0]);
  ASSERT_NE(window, nullptr);
  EXPECT_NE(window->RichView(), nullptr);
  EXPECT_NE(window->SoFarView(), nullptr);
  EXPECT_NE(window->ScratchPadView(), nullptr);
  EXPECT_NE(doc->GetTextView(TvDocumentView::kRichText), nullptr);
  EXPECT_NE(doc->GetTextView(TvDocumentView::kSoFar), nullptr);
  EXPECT_NE(doc->GetTextView(TvDocumentView::kScratchPad), nullptr);
  EXPECT_NE(doc->GetSplitterFrame(), nullptr);

  // A book that cannot be opened leaves the one before closed, its
  // progress kept.
  EXPECT_FALSE(frame->OpenTalvane("nobook"));
  EXPECT_FALSE(frame->HasActiveTvDocument());
  EXPECT_EQ(lastQuote(), "2");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame->Client()->subWindowList().isEmpty());

  // Closing the window closes its document.
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  ASSERT_TRUE(frame->GetActiveTvDocument()->GoToQuote(1, false, true));
  frame->Client()->subWindowList()[0]->close();
  EXPECT_FALSE(frame->HasActiveTvDocument());
  EXPECT_EQ(lastQuote(), "1");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame->Client()->subWindowList().isEmpty());

  // So does the frame's end.
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  ASSERT_TRUE(frame->GetActiveTvDocument()->GoToQuote(2, false, true));
  frame.reset();
  EXPECT_EQ(lastQuote(), "2");
}

TEST_F(BookWindows, AWordsGrammarLinkReachesTheFramesBrowser) {
  RunningBrowser browser;
  CMainFrame frame(browserFrame(browser));
  ASSERT_TRUE(frame.OnCreate());
  ASSERT_TRUE(frame.OpenTalvane("DEMO"));
  COrv_TvDocument* doc = frame.GetActiveTvDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->GetQuoteInfo().ShowGrammarPage(2, 1));
  ASSERT_FALSE(browser.requests.empty());
  EXPECT_EQ(browser.requests.back(), "GrammarPage 0007.htm");
}

// The Tools command of the index panel works on the frame's own book
// window: its tick is the panel's visibility, which a new window takes from
// setting 22.
TEST_F(BookWindows, TheIndexPanelCommandShowsAndHidesTheActiveWindowsPanel) {
  auto frame = std::make_unique<CMainFrame>(quietFrame());
  ASSERT_TRUE(frame->OnCreate());
  constexpr int kIndexPanel = 32787;
  EXPECT_FALSE(frame->Commands().Query(kIndexPanel).enabled);
  for (const int32_t setting : {0, 1}) {
    SCOPED_TRACE(setting);
    frame->ApplySetting(C3WaySplitterFrame::kSettingShowIndex, &setting);
    ASSERT_TRUE(frame->OpenTalvane("DEMO"));
    C3WaySplitterFrame* window = frame->GetActiveChildFrame();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->IsIndexPanelShown(), setting != 0);
    EXPECT_EQ(frame->Commands().Query(kIndexPanel).checked, setting != 0);
    for (int i = 0; i < 2; ++i) {
      EXPECT_TRUE(frame->Commands().Execute(kIndexPanel));
      const bool shown = (setting != 0) == (i == 1);
      EXPECT_EQ(window->IsIndexPanelShown(), shown);
      EXPECT_EQ(frame->Commands().Query(kIndexPanel).checked, shown);
      EXPECT_TRUE(frame->Commands().Query(kIndexPanel).enabled);
    }
  }
}

// A click below the so-far text in grammar mode opens the go-to menu built
// on the frame's browser, and each entry reaches it.
TEST_F(BookWindows, TheSoFarPanesGoToMenuFollowsTheFramesBrowser) {
  RunningBrowser browser;
  CMainFrame frame(browserFrame(browser));
  ASSERT_TRUE(frame.OnCreate());
  frame.resize(900, 700);
  frame.show();
  ASSERT_TRUE(frame.OpenTalvane("DEMO"));
  QApplication::processEvents();
  auto* pane = dynamic_cast<COrv_Frm_SoFar*>(frame.GetActiveChildFrame()->SoFarView());
  ASSERT_NE(pane, nullptr);
  pane->OnCommand(COrv_Frm_SoFar::kGrammarMode);
  COrv_SoFarEdit* edit = pane->Edit();
  for (int choice : {1, 2}) {
    SCOPED_TRACE(choice);
    std::vector<std::string> shown;
    edit->SetMenuRunner([&](const std::vector<std::string>& entries, QPoint) {
      shown = entries;
      return choice;
    });
    const QPoint below(edit->viewport()->width() / 2, edit->viewport()->height() - 3);
    ASSERT_FALSE(edit->PointInText(below));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(below), edit->viewport()->mapToGlobal(QPointF(below)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(edit->viewport(), &release);
    EXPECT_EQ(shown, (std::vector<std::string>{"Go to Index", "Go to current page"}));
  }
  ASSERT_FALSE(browser.requests.empty());
  EXPECT_NE(std::find(browser.requests.begin(), browser.requests.end(), "GrammarPage 0000.htm"), browser.requests.end())
      << browser.requests.front();
  EXPECT_GE(browser.activations, 1);
}

// Shift+F1 and a click: the index panel of the book window and each pane
// of the status bar open their own topics.
TEST_F(BookWindows, ContextHelpOverTheIndexPanelAndTheStatusBarPanes) {
  COrv_HtmlHelp help;
  const auto folder = tvtest::sandbox().base / "Orv_HLENG";
  tvtest::writeFile(folder / "contents.html", "<title>Contents</title>");
  help.SetHelpFile(folder.string());
  plat::ui::RecordingHelpViewer viewer;
  plat::ui::ScopedHelpViewer scopedViewer{viewer};
  FrameServices services = quietFrame();
  services.help = &help;
  CMainFrame frame(services);
  ASSERT_TRUE(frame.OnCreate());
  const int32_t on = 1;
  frame.ApplySetting(C3WaySplitterFrame::kSettingShowIndex, &on);
  // Within the screen, where the help mode looks for what was clicked.
  frame.setGeometry(0, 0, 780, 560);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(frame.OpenTalvane("DEMO"));
  QApplication::processEvents();
  C3WaySplitterFrame* window = frame.GetActiveChildFrame();
  ASSERT_NE(window, nullptr);
  COrv_StatusBar* bar = frame.StatusBar();
  const auto paneCentre = [bar](int pane) { return bar->PaneLabel(pane)->geometry().center(); };
  struct Case {
    const char* where;
    QWidget* widget;
    QPoint point;
    std::string topic;
  } cases[] = {
      // The panel's own background, left of its first button.
      {"index panel", window->IndexHost(), QPoint(1, 1), "quotebar.htm"},
      {"category pane", bar, paneCentre(COrv_StatusBar::kCategory), "tvcategory.htm"},
      {"difficulty pane", bar, paneCentre(COrv_StatusBar::kDifficulty), "tvdifficultylevel.htm"},
      {"title pane", bar, paneCentre(COrv_StatusBar::kTitle), "statusbar.htm"},
      {"user pane", bar, paneCentre(COrv_StatusBar::kUser), "statusbar.htm"},
      {"count pane", bar, paneCentre(COrv_StatusBar::kCount), "statusbar.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    viewer.clear();
    ASSERT_TRUE(frame.Commands().Execute(57669));
    ASSERT_TRUE(frame.InContextHelpMode());
    QTest::mouseClick(c.widget, Qt::LeftButton, {}, c.point);
    EXPECT_FALSE(frame.InContextHelpMode());
    ASSERT_FALSE(viewer.requests().empty());
    EXPECT_EQ(plat::ui::parseHelpAddress(viewer.requests().back().target).topic, c.topic);
  }
}

// The menu bar of a book window is the one its document answers: the
// frame's copy of the book menu; the document loads its own copy too.
TEST_F(BookWindows, TheBookWindowsMenuIsTheOneItsDocumentAnswers) {
  auto frame = std::make_unique<CMainFrame>(quietFrame());
  ASSERT_TRUE(frame->OnCreate());
  EXPECT_EQ(frame->CurrentMenuId(), 128);
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  QApplication::processEvents();
  COrv_TvDocument* doc = frame->GetActiveTvDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetDefaultMenu(), &frame->BookMenu());
  EXPECT_EQ(frame->CurrentMenuId(), 130);
  ASSERT_NE(frame->BookMenu().findCommand(32787), nullptr);
  EXPECT_NE(frame->Commands().ActionFor(32787), nullptr) << "the bar shows the book menu";
  EXPECT_EQ(doc->DocumentMenu(), frame->BookMenu());
  EXPECT_TRUE(doc->LoadDocumentMenu());
  EXPECT_EQ(doc->DocumentMenu(), frame->BookMenu());
  // A document without a window host has no default menu.
  EXPECT_EQ(COrv_TvDocument().GetDefaultMenu(), nullptr);
}

}  // namespace
