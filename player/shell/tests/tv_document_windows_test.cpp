// The frame's own book windows: a book opens as a document in an MDI child,
// is the active document, and closes (keeping the learner's progress) when
// another book takes its place, when its window closes and with the frame.
#include "player/shell/tv_document_windows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMdiSubWindow>

#include "platform/testing/test_env.h"
#include "player/book/tests/document_fixture.h"
#include "player/env/users.h"
#include "player/shell/main_frame.h"
#include "player/shell/three_way_splitter_frame.h"

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
  bool IsRunning() override { return true; }
  fs::path ProgramFolder() override { return {}; }
  std::optional<std::string> Start(const fs::path&) override { return std::nullopt; }
  Wait WaitUntilReady(int) override { return Wait::Ready; }
  bool Activate() override { return true; }
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
  FrameServices services = quietFrame();
  services.grammarBrowser = &browser;
  services.grammarDde = &browser;
  CMainFrame frame(services);
  ASSERT_TRUE(frame.OnCreate());
  ASSERT_TRUE(frame.OpenTalvane("DEMO"));
  COrv_TvDocument* doc = frame.GetActiveTvDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->GetQuoteInfo().ShowGrammarPage(2, 1));
  ASSERT_FALSE(browser.requests.empty());
  EXPECT_EQ(browser.requests.back(), "GrammarPage 0007.htm");
}

}  // namespace
