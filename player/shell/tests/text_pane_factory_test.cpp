// The three panes and the strip over a real document of an installed book,
// as the child frame gets them from the pane factory: the learner types in
// the scratch pad and letter by letter, and the panes follow the document's
// refreshes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QToolButton>

#include "platform/win/window.h"
#include "player/shell/text_pane_factory.h"
#include "player/views/frm_rich_view.h"
#include "player/views/frm_sc_pad.h"
#include "player/views/frm_so_far.h"
#include "player/shell/tests/panes_book_fixture.h"

namespace {

using doctest::DocumentTest;

class PanesOverDocument : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    doctest::installBook(panestest::twoEchomarkBook());
    doc_ = std::make_unique<COrv_TvDocument>(around.services());
    ASSERT_TRUE(doc_->OnOpenDocument("PANES"));
    CCreateContext context{doc_.get()};
    window_.resize(800, 500);
    rich_ = static_cast<COrv_FrmRichView*>(factory_.CreateRichView(&window_, context));
    soFar_ = static_cast<COrv_Frm_SoFar*>(factory_.CreateSoFarView(&window_, context));
    pad_ = static_cast<COrv_Frm_ScPad*>(factory_.CreateScratchPadView(&window_, context));
    rich_->setGeometry(0, 0, 400, 300);
    soFar_->setGeometry(400, 0, 400, 300);
    pad_->setGeometry(0, 300, 800, 200);
    pad_->Edit()->SetIdleDelay(10000);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  void TearDown() override {
    // The panes leave the document's views before it goes.
    delete rich_;
    delete soFar_;
    delete pad_;
    doc_.reset();
  }
  std::string soFarText() { return soFar_->Edit()->toPlainText().toStdString(); }
  std::string bookText() { return rich_->Edit()->toPlainText().toStdString(); }

  COrv_TextPaneFactory factory_;
  std::unique_ptr<COrv_TvDocument> doc_;
  QWidget window_;
  COrv_FrmRichView* rich_ = nullptr;
  COrv_Frm_SoFar* soFar_ = nullptr;
  COrv_Frm_ScPad* pad_ = nullptr;
};

TEST_F(PanesOverDocument, TheLearnerSolvesAnEchomarkAcrossThePanes) {
  // Nothing heard yet: the book text has placeholders, the so-far pane
  // slots in place of every letter.
  EXPECT_EQ(bookText().rfind("Prolog:\nAt the caf\u00e9.\nQuote 1\n[...]\nQuote 2\n[...]", 0), 0u)
      << bookText();
  EXPECT_EQ(soFarText(), "\u2022\u2022\u2022 \u2022\u2022\u2022 \u2022\u2022\u2022 \u2022\u2022 "
                         "\u2022\u2022\u2022 \u2022\u2022\u2022\u2022.");
  EXPECT_EQ(doc_->GetTextView(TvDocumentView::kSoFar), static_cast<TvDocumentView*>(soFar_));

  // The scratch pad checks at the blank; the document refreshes the so-far
  // pane with the words found.
  pad_->Edit()->setFocus();
  QTest::keyClicks(pad_->Edit(), QStringLiteral("the cat sat in the "));
  EXPECT_EQ(doc_->GetUserText(), "the cat sat in the ");
  EXPECT_EQ(soFarText(), "The cat sat in the \u2022\u2022\u2022\u2022.");

  // Letter by letter: "caf" then an input-method "é" completes the last
  // word, which solves the Echomark.
  soFar_->OnCommand(COrv_Frm_SoFar::kLetterMode);
  ASSERT_EQ(soFar_->GetMode(), COrv_SoFarModel::kLetterByLetter);
  QTest::keyClicks(soFar_->Edit(), QStringLiteral("caf"));
  EXPECT_EQ(soFarText(), "The cat sat in the caf\u2022.");
  // A refresh from the document in the middle of the word keeps "caf".
  doc_->RefreshViews(COrv_TvDocument::kRefreshSoFar);
  EXPECT_EQ(soFarText(), "The cat sat in the caf\u2022.");
  // So does a check of the scratch pad that leaves the word as it was.
  QTest::keyClick(pad_->Edit(), Qt::Key_Space);
  EXPECT_EQ(soFarText(), "The cat sat in the caf\u2022.");
  soFar_->Edit()->setFocus();
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("\u00c9"));
  QApplication::sendEvent(soFar_->Edit(), &commit);
  EXPECT_EQ(doc_->GetQuoteStatus(0) & COrv_TvDocument::kSolved, COrv_TvDocument::kSolved);
  EXPECT_NE(bookText().find("The cat sat in the caf\u00e9."), std::string::npos) << bookText();
  EXPECT_NE(bookText().find("A quiet morning."), std::string::npos) << bookText();
  // Solved: typing is disabled, the comment button can be used.
  EXPECT_EQ(soFar_->GetMode(), COrv_SoFarModel::kLetterByLetterDisabled);
  EXPECT_FALSE(soFar_->Button(COrv_Frm_SoFar::kComment)->isChecked());
}

TEST_F(PanesOverDocument, EveryWordTypedLetterByLetterSolvesTheEchomark) {
  soFar_->OnCommand(COrv_Frm_SoFar::kLetterMode);
  QTest::keyClicks(soFar_->Edit(), QStringLiteral("thecatsatinthecaf"));
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("\u00e9"));
  QApplication::sendEvent(soFar_->Edit(), &commit);
  EXPECT_EQ(soFarText(), "The cat sat in the caf\u00e9.");
  EXPECT_EQ(doc_->GetQuoteStatus(0) & COrv_TvDocument::kSolved, COrv_TvDocument::kSolved);
  EXPECT_NE(bookText().find("The cat sat in the caf\u00e9.\nA quiet morning."), std::string::npos) << bookText();
  // The jingle once.
  EXPECT_EQ(std::count(around.log.begin(), around.log.end(), "sound WAVE_TADA"), 1);
}

TEST_F(PanesOverDocument, LazyClicksRevealWordsThroughTheDocument) {
  soFar_->OnCommand(COrv_Frm_SoFar::kLazyMode);
  const QRect word = soFar_->Edit()->WordRect(2);
  QTest::mouseClick(soFar_->Edit()->viewport(), Qt::LeftButton, {}, word.center());
  EXPECT_EQ(soFarText().rfind("\u2022\u2022\u2022 cat \u2022", 0), 0u) << soFarText();
  EXPECT_NE(doc_->GetQuoteInfo().GetWordFlag(2) & COrv_QuoteInfo::kLazyMark, 0u);
}

TEST_F(PanesOverDocument, TheGoToMenuAsksTheMainWindow) {
  std::vector<int> followed;
  COrv_TextPaneFactory factory({}, [] { return 3; }, [&](int entry) {
    followed.push_back(entry);
    return true;
  });
  std::unique_ptr<QWidget> widget(factory.CreateSoFarView(&window_, CCreateContext{doc_.get()}));
  auto* pane = static_cast<COrv_Frm_SoFar*>(widget.get());
  pane->setGeometry(0, 0, 400, 300);
  pane->show();
  std::vector<std::string> offered;
  pane->Edit()->SetMenuRunner([&](const std::vector<std::string>& entries, QPoint) {
    offered = entries;
    return 2;
  });
  pane->OnCommand(COrv_Frm_SoFar::kGrammarMode);
  ASSERT_EQ(pane->GetMode(), COrv_SoFarModel::kGrammar);
  QTest::mouseClick(pane->Edit()->viewport(), Qt::LeftButton, {}, QPoint(380, 250));
  EXPECT_EQ(offered, (std::vector<std::string>{"Go to Index", "Go to current page"}));
  EXPECT_EQ(followed, std::vector<int>{2});
}

TEST_F(PanesOverDocument, TheFactorysStripGoesToTheClickedEchomark) {
  std::vector<std::pair<int, int>> moves;
  COrv_TextPaneFactory factory([&](int n, int id) { moves.emplace_back(n, id); });
  auto strip = factory.CreateQuoteStrip();
  ASSERT_TRUE(strip);
  plat::win::WNDCLASS wc;
  wc.lpfnWndProc = plat::win::DefWindowProc;
  wc.lpszClassName = "PanesStripParent";
  plat::win::RegisterClass(&wc);
  plat::win::HWND parent = plat::win::CreateWindowEx(0, "PanesStripParent", "", plat::win::WS_POPUP | plat::win::WS_VISIBLE,
                                                     0, 0, 300, 40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(strip->Create(plat::win::RECT{0, 0, 260, 22}, parent, 222));
  const auto status = doc_->GetStatusArray();
  ASSERT_TRUE(strip->SetItems(&status, 1));
  EXPECT_EQ(strip->GetCount(), 2);
  plat::win::injectMouse(nullptr, plat::win::POINT{26 + 5, 10}, 1, true);
  plat::win::injectMouse(nullptr, plat::win::POINT{26 + 5, 10}, 1, false);
  plat::win::pumpMessages();
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{2, 222}}));
  strip.reset();
  plat::win::DestroyWindow(parent);
}

}  // namespace
