// The so-far control and pane as widgets, offscreen: the look of each
// character kind, clicks by mode, keys and input-method commits in
// letter-by-letter mode, and a refresh in the middle of a word.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include "player/views/frm_so_far.h"
#include "player/views/pane_pictures.h"
#include "player/views/tests/pane_test_support.h"

namespace {

using orv::test::MakeState;
using orv::test::RecordingDocument;
using orv::test::Utf8;
using Model = COrv_SoFarModel;

class SoFarWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    pane_.resize(420, 200);
    pane_.SetDocument(&doc_);
    edit().SetBeep([this] { ++beeps_; });
    edit().SetMenuRunner([this](const std::vector<std::string>& entries, QPoint) {
      menuEntries_ = entries;
      return menuChoice_;
    });
  }
  COrv_SoFarEdit& edit() { return *pane_.Edit(); }
  void load(const orv::SoFarState& s) {
    doc_.soFar = s;
    pane_.UpdateButtonStates();
    pane_.Refresh();
  }
  void show() {
    pane_.show();
    pane_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
  }
  QTextCharFormat formatAt(int pos) {
    QTextCursor c(edit().document());
    c.setPosition(pos + 1);
    return c.charFormat();
  }
  QString shownText() { return edit().toPlainText(); }
  void clickWord(int n, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(edit().viewport(), Qt::LeftButton, mods, edit().WordRect(n).center());
  }

  RecordingDocument doc_;
  COrv_Frm_SoFar pane_;
  int beeps_ = 0;
  std::vector<std::string> menuEntries_;
  int menuChoice_ = 0;
};

TEST_F(SoFarWidget, EachKindHasItsFormatAndSlotsShowTheBullet) {
  // The document's slots may hold anything: the control puts the mask in.
  load(MakeState(U"cxat d?Xg", ".s.. ._w.", U"cat dog", 0x80));
  EXPECT_EQ(shownText().toStdString(), "cxat d\u2022Xg");
  struct Want {
    int pos;
    QRgb colour;
    bool strike, underline;
  };
  const Want wants[] = {
      {0, COrv_SoFarEdit::kPlainColour, false, false},
      {1, COrv_SoFarEdit::kStruckColour, true, false},
      {6, COrv_SoFarEdit::kSlotColour, false, false},
      {7, COrv_SoFarEdit::kWrongColour, false, true},
  };
  for (const Want& w : wants) {
    const QTextCharFormat f = formatAt(w.pos);
    EXPECT_EQ(f.foreground().color().rgb() & 0xFFFFFF, w.colour) << w.pos;
    EXPECT_EQ(f.fontStrikeOut(), w.strike) << w.pos;
    EXPECT_EQ(f.fontUnderline(), w.underline) << w.pos;
  }
}

TEST_F(SoFarWidget, SearchHighlightUnderlinesPlainAndSlotPositionsOnly) {
  load(MakeState(U"cxat d\u2022g fox", ".s.. ._. ...", U"cat dog fox"));
  edit().HighlightWords({1, 2});
  auto underlinedOrange = [&](int pos) {
    const QTextCharFormat f = formatAt(pos);
    return f.fontUnderline() && (f.foreground().color().rgb() & 0xFFFFFF) == COrv_SoFarEdit::kGrammarColour;
  };
  EXPECT_TRUE(underlinedOrange(0));
  EXPECT_FALSE(underlinedOrange(1));  // struck keeps its own look
  EXPECT_TRUE(formatAt(1).fontStrikeOut());
  EXPECT_TRUE(underlinedOrange(6));   // a slot
  EXPECT_FALSE(underlinedOrange(9));  // word 3 is not found
  // The next search undoes the last one.
  edit().HighlightWords({3});
  EXPECT_FALSE(underlinedOrange(0));
  EXPECT_TRUE(underlinedOrange(9));
}

TEST_F(SoFarWidget, GrammarModeColoursLinkedWordsOrange) {
  load(MakeState(U"c\u2022t dog", "._. ...", U"cat dog", 0x80, 0x2000));
  pane_.OnCommand(COrv_Frm_SoFar::kGrammarMode);
  EXPECT_EQ(edit().GetMode(), Model::kGrammar);
  EXPECT_EQ(formatAt(0).foreground().color().rgb() & 0xFFFFFF, COrv_SoFarEdit::kGrammarColour);
  EXPECT_EQ(formatAt(1).foreground().color().rgb() & 0xFFFFFF, COrv_SoFarEdit::kGrammarColour);
  pane_.OnCommand(COrv_Frm_SoFar::kDictionaryMode);
  EXPECT_EQ(formatAt(1).foreground().color().rgb() & 0xFFFFFF, COrv_SoFarEdit::kSlotColour);
}

TEST_F(SoFarWidget, AnOffscreenGrabShowsTheSlotsInBlue) {
  load(MakeState(U"\u2022\u2022\u2022 dog", "___ ...", U"cat dog"));
  show();
  const QImage image = edit().viewport()->grab().toImage();
  int blue = 0, black = 0;
  const QRect slotWord = edit().WordRect(1), plainWord = edit().WordRect(2);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (slotWord.contains(x, y) && c.blue() > 180 && c.red() < 90 && c.green() < 90) ++blue;
      if (plainWord.contains(x, y) && c.red() < 60 && c.green() < 60 && c.blue() < 60) ++black;
    }
  EXPECT_GT(blue, 5);
  EXPECT_GT(black, 5);
}

TEST_F(SoFarWidget, ClicksByMode) {
  load(MakeState(U"c\u2022t dog f\u2022x", "._. ... ._.", U"cat dog fox", 0x80, 0x1000));
  show();
  // Dictionary mode: a word with a definition opens it.
  clickWord(3);
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"Dictionary(3)"});
  doc_.calls.clear();
  // Lazy mode: a click on a word with work reveals it.
  pane_.OnCommand(COrv_Frm_SoFar::kLazyMode);
  clickWord(3);
  clickWord(2);
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"SetWordMark(3,0x10000,6)"});
  doc_.calls.clear();
  // Off every word nothing happens.
  QTest::mouseClick(edit().viewport(), Qt::LeftButton, {}, QPoint(400, 180));
  EXPECT_TRUE(doc_.calls.empty());
  // Double and right clicks are swallowed.
  QTest::mouseClick(edit().viewport(), Qt::RightButton, {}, edit().WordRect(1).center());
  EXPECT_TRUE(doc_.calls.empty());
}

TEST_F(SoFarWidget, CursorsByModeAndWord) {
  // Word 1 has a definition and grammar pages and is done, word 2 has work.
  auto s = MakeState(U"cat d\u2022g", "... ._.", U"cat dog", 0x80);
  s.status[1] |= 0x3000;
  load(s);
  show();
  const QPoint done = edit().WordRect(1).center(), open = edit().WordRect(2).center(), off(380, 180);
  struct Case {
    int command;
    QPoint at;
    int cursor;
  };
  const Case cases[] = {
      {COrv_Frm_SoFar::kDictionaryMode, done, 182}, {COrv_Frm_SoFar::kDictionaryMode, open, 183},
      {COrv_Frm_SoFar::kGrammarMode, done, 184},    {COrv_Frm_SoFar::kGrammarMode, open, 187},
      {COrv_Frm_SoFar::kLazyMode, open, 185},       {COrv_Frm_SoFar::kLazyMode, done, 183},
      {COrv_Frm_SoFar::kLazyMode, off, 183},        {COrv_Frm_SoFar::kLetterMode, open, 183},
  };
  for (const Case& c : cases) {
    pane_.OnCommand(c.command);
    EXPECT_EQ(edit().CursorAt(c.at), c.cursor) << c.command << " " << c.at.x();
  }
  pane_.OnCommand(COrv_Frm_SoFar::kLazyMode);
  edit().Model().SetRevealFlag(true);
  EXPECT_EQ(edit().CursorAt(open), 186);
  // Every cursor but the arrow is a picture of its own.
  for (int id : {182, 184, 185, 186, 187}) EXPECT_FALSE(orv::views::PaneCursor(id).pixmap().isNull()) << id;
}

TEST_F(SoFarWidget, ALetterByLetterClickPutsTheCaretOnTheNearestSlot) {
  load(MakeState(U"ab\u2022\u2022e fgh\u2022", "..__. ..._", U"abcde fghi"));
  show();
  pane_.OnCommand(COrv_Frm_SoFar::kLetterMode);
  const struct {
    int clickedChar;
    int wantCaret;
  } cases[] = {{0, 2}, {4, 3}, {6, 9}, {8, 9}};
  for (const auto& c : cases) {
    QTest::mouseClick(edit().viewport(), Qt::LeftButton, {}, edit().CharRect(c.clickedChar).center());
    EXPECT_EQ(edit().textCursor().position(), c.wantCaret) << c.clickedChar;
  }
  // A press off the text goes back to the last slot.
  edit().Model().SetCaret(3);
  QTest::mousePress(edit().viewport(), Qt::LeftButton, {}, QPoint(380, 180));
  EXPECT_EQ(edit().textCursor().position(), 3);
  EXPECT_TRUE(doc_.calls.empty());
}

TEST_F(SoFarWidget, GrammarMenuOffersAtMostItsCommandsAndOpensThePage) {
  load(MakeState(U"cat dog", "... ...", U"cat dog", 0x80, 0x2000));
  show();
  pane_.OnCommand(COrv_Frm_SoFar::kGrammarMode);
  for (int i = 0; i < 150; ++i) doc_.grammarTitles.push_back("Title " + std::to_string(i + 1));
  menuChoice_ = 2;
  clickWord(2);
  EXPECT_EQ(menuEntries_.size(), 101u);
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"GrammarPage(2,2)"});
  // Off the text: the go-to menu, built from the frame's one answer.
  doc_.calls.clear();
  doc_.goToState = orv::TextPaneDocument::kGoToCurrentPage;
  menuChoice_ = 1;
  QTest::mouseClick(edit().viewport(), Qt::LeftButton, {}, QPoint(400, 180));
  EXPECT_EQ(menuEntries_, std::vector<std::string>{"Go to current page"});
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"GoToGrammar(2)"});
}

TEST_F(SoFarWidget, LetterByLetterTypingKeepsTabAndTakesInputMethodLetters) {
  load(MakeState(U"caf\u2022 \u2022\u2022", "..._ __", U"caf\u00e9 ou"));
  show();
  pane_.OnCommand(COrv_Frm_SoFar::kLetterMode);
  ASSERT_EQ(edit().GetMode(), Model::kLetterByLetter);
  EXPECT_FALSE(edit().isReadOnly());
  EXPECT_EQ(edit().textCursor().position(), 3);
  ASSERT_TRUE(edit().hasFocus());
  // Tab stays in the control: the caret goes to the next word with work.
  QTest::keyClick(&edit(), Qt::Key_Tab);
  EXPECT_TRUE(edit().hasFocus());
  EXPECT_EQ(edit().textCursor().position(), 5);
  QTest::keyClick(&edit(), Qt::Key_Tab);
  EXPECT_EQ(edit().textCursor().position(), 3);
  // "é" composed by an input method arrives as a commit.
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("\u00e9"));
  QApplication::sendEvent(&edit(), &commit);
  EXPECT_EQ(shownText().toStdString(), "caf\u00e9 \u2022\u2022");
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"SetWordMark(1,0x20000,4)"});
  EXPECT_EQ(edit().textCursor().position(), 5);
  // A pre-edit string is not typed.
  QInputMethodEvent preedit(QStringLiteral("o"), {});
  QApplication::sendEvent(&edit(), &preedit);
  EXPECT_EQ(shownText().toStdString(), "caf\u00e9 \u2022\u2022");
  // Punctuation beeps.
  QTest::keyClicks(&edit(), QStringLiteral(","));
  EXPECT_EQ(beeps_, 1);
  QTest::keyClicks(&edit(), QStringLiteral("OU"));
  EXPECT_EQ(shownText().toStdString(), "caf\u00e9 ou");
  EXPECT_EQ(doc_.calls.back(), "Recheck(1)");
}

TEST_F(SoFarWidget, NothingButTypedLettersReachesTheText) {
  load(MakeState(U"c\u2022t", "._.", U"cat"));
  show();
  pane_.OnCommand(COrv_Frm_SoFar::kLetterMode);
  QApplication::clipboard()->setText(QStringLiteral("a"));
  QTest::keyClick(&edit(), Qt::Key_V, Qt::ControlModifier);
  edit().paste();
  QMimeData drop;
  drop.setText(QStringLiteral("a"));
  EXPECT_FALSE(edit().canPaste());
  QTest::keyClick(&edit(), Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(&edit(), Qt::Key_Backspace);
  EXPECT_EQ(shownText().toStdString(), "c\u2022t");
  EXPECT_TRUE(doc_.calls.empty());
}

TEST_F(SoFarWidget, ARefreshInTheMiddleOfAWordKeepsItsLetters) {
  load(MakeState(U"\u2022\u2022\u2022\u2022 \u2022\u2022", "____ __", U"word is"));
  show();
  pane_.OnCommand(COrv_Frm_SoFar::kLetterMode);
  QTest::keyClicks(&edit(), QStringLiteral("wo"));
  ASSERT_EQ(shownText().toStdString(), "wo\u2022\u2022 \u2022\u2022");
  // The document refreshes the pane (flag 2), e.g. after a check of the
  // scratch pad that did not touch this word.
  pane_.UpdateButtonStates();
  pane_.Refresh();
  EXPECT_EQ(shownText().toStdString(), "wo\u2022\u2022 \u2022\u2022");
  EXPECT_EQ(edit().textCursor().position(), 2);
  QTest::keyClicks(&edit(), QStringLiteral("rd"));
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"SetWordMark(1,0x20000,4)"});
}

TEST_F(SoFarWidget, ButtonStatesFollowTheEchomark) {
  struct Case {
    std::uint32_t flags;
    const char* kinds;
    bool intro, comment, spelling;
  };
  const Case cases[] = {
      {0x380, "._.", false, true, false},   // introduction and comment, not solved
      {0x382, "...", false, false, true},  // solved: comment open, spelling done
      {0x080, "._.", true, true, false},   // neither
      {0x180, "...", true, true, true},    // nothing editable
  };
  for (const Case& c : cases) {
    load(MakeState(U"cat", c.kinds, U"cat", c.flags));
    EXPECT_EQ(pane_.Button(COrv_Frm_SoFar::kIntroduction)->isChecked(), c.intro) << std::hex << c.flags;
    EXPECT_EQ(pane_.Button(COrv_Frm_SoFar::kComment)->isChecked(), c.comment) << std::hex << c.flags;
    EXPECT_EQ(pane_.Button(COrv_Frm_SoFar::kSpelling)->isChecked(), c.spelling) << std::hex << c.flags;
  }
  // A pressed button does nothing; a released one asks the document.
  load(MakeState(U"cxat", ".s..", U"cat", 0x180));
  pane_.Button(COrv_Frm_SoFar::kIntroduction)->click();
  pane_.Button(COrv_Frm_SoFar::kComment)->click();
  EXPECT_TRUE(doc_.calls.empty());
  load(MakeState(U"cxat", ".s..", U"cat", 0x382 & ~0x2u));
  pane_.Button(COrv_Frm_SoFar::kIntroduction)->click();
  pane_.Button(COrv_Frm_SoFar::kSpelling)->click();
  EXPECT_EQ(doc_.calls, (std::vector<std::string>{"Introduction", "SetWordMark(1,0x40000,4)", "Recheck(1)"}));
  // Mode buttons: one pressed at a time; a solved Echomark disables typing.
  load(MakeState(U"cat", "...", U"cat", 0x82));
  pane_.Button(COrv_Frm_SoFar::kLetterMode)->click();
  EXPECT_EQ(pane_.GetMode(), Model::kLetterByLetterDisabled);
  EXPECT_TRUE(pane_.Button(COrv_Frm_SoFar::kLetterMode)->isChecked());
  EXPECT_FALSE(pane_.Button(COrv_Frm_SoFar::kDictionaryMode)->isChecked());
}

}  // namespace
