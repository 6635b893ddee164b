// The book-text pane, the scratch pad, the text dialog and the routing of
// typed characters, offscreen.

#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include "player/views/dlg_show_text.h"
#include "shared/skin/orv_skin_frame.h"
#include "player/views/frm_rich_view.h"
#include "player/views/frm_sc_pad.h"
#include "player/views/frm_so_far.h"
#include "player/views/rich_text_layout.h"
#include "player/views/show_text.h"
#include "player/views/tests/pane_test_support.h"
#include "player/views/typed_char_router.h"

namespace {

using orv::test::MakeState;
using orv::test::RecordingDocument;
using orv::test::Utf8;
using orv::views::BuildRichText;

// ---------------------------------------------------------------- book text

// Two Echomarks: "Prolog:\nI1\n" "Text one. " "C1\n" and "Prolog:\nI2\n"
// "Text two." "C2\n".
orv::BookTextState twoEchomarks(std::uint32_t first, std::uint32_t second) {
  orv::BookTextState b;
  b.text = U"I1\nText one. C1\nI2\nText two.C2\n";
  b.lengths = {{0, 0, 0}, {3, 10, 3}, {3, 9, 3}};
  b.status = {0, first, second};
  return b;
}

struct BookCase {
  std::uint32_t status;
  bool comments, intros;
  const char* first;  // what the first Echomark shows
};

TEST(BookText, StatusAndOptionsTable) {
  const std::string placeholder = "Quote %d\n[...]\n";
  const BookCase cases[] = {
      {0, true, true, "Quote 1\n[...]\n"},
      {1, true, true, "I1\nQuote 1\n[...]\n"},
      {2, true, true, "I1\nText one. C1\n"},
      {3, true, true, "I1\nText one. C1\n"},
      {3, false, true, "I1\nText one. "},
      {3, true, false, "Text one. C1\n"},
      {3, false, false, "Text one. "},
      {1, false, false, "Quote 1\n[...]\n"},
      {0, false, false, "Quote 1\n[...]\n"},
  };
  for (const BookCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + (c.comments ? " comments" : "") + (c.intros ? " intros" : ""));
    const auto layout = BuildRichText(twoEchomarks(c.status, 3), c.comments, c.intros, placeholder);
    const std::string first = Utf8(layout.text.substr(0, static_cast<std::size_t>(layout.starts[2][0])));
    EXPECT_EQ(first, c.first);
    // The second Echomark's parts start where the first one's shown parts end.
    const int shift = static_cast<int>(layout.starts[2][0]);
    const int introLen = c.intros ? 3 : 0;
    EXPECT_EQ(layout.starts[2][1], shift + introLen);
    EXPECT_EQ(layout.starts[2][2], shift + introLen + 9);
    EXPECT_EQ(layout.starts[1][0], 0);
    // Every run lies inside the text and carries the part's format.
    for (const auto& run : layout.runs) {
      EXPECT_GE(run.start, 0);
      EXPECT_LE(run.start + run.length, static_cast<int>(layout.text.size()));
      EXPECT_TRUE(run.record >= 1 && run.record <= 3);
    }
  }
}

TEST(BookText, HostileLengthsStayInsideTheText) {
  orv::BookTextState b;
  b.text = U"short";
  b.lengths = {{0, 0, 0}, {-4, 99, 7}, {2, 2, 2}};
  b.status = {0, 3, 3};
  const auto layout = BuildRichText(b, true, true, "Quote %d %s %n");
  EXPECT_EQ(Utf8(layout.text), "short");
  // A placeholder with other conversions is only text.
  b.status = {0, 0, 0};
  EXPECT_EQ(Utf8(BuildRichText(b, true, true, "Q%d %s%n").text), "Q1 %s%nQ2 %s%n");
}

class BookTextPane : public ::testing::Test {
 protected:
  void SetUp() override {
    pane_.SetDocument(&doc_);
    pane_.resize(300, 120);
  }
  RecordingDocument doc_;
  COrv_FrmRichView pane_;
};

TEST_F(BookTextPane, FormatsEachPartAndTogglesTheOptions) {
  doc_.book = twoEchomarks(3, 0);
  pane_.BuildText();
  const QString text = pane_.Edit()->toPlainText();
  EXPECT_EQ(text.toStdString(), "I1\nText one. C1\nQuote 2\n[...]\n");
  auto colourAt = [&](int pos) {
    QTextCursor c(pane_.Edit()->document());
    c.setPosition(pos + 1);
    return c.charFormat().foreground().color().rgb() & 0xFFFFFF;
  };
  auto italicAt = [&](int pos) {
    QTextCursor c(pane_.Edit()->document());
    c.setPosition(pos + 1);
    return c.charFormat().fontItalic();
  };
  EXPECT_EQ(colourAt(0), 0x0000FFu);  // introduction
  EXPECT_TRUE(italicAt(4));           // text
  EXPECT_EQ(colourAt(13), 0xFF0000u); // comment
  // Both options off: introductions and comments are gone.
  pane_.Button(COrv_FrmRichView::kToggleComments)->click();
  pane_.Button(COrv_FrmRichView::kToggleIntroductions)->click();
  EXPECT_FALSE(pane_.ShowComments());
  EXPECT_FALSE(pane_.Button(COrv_FrmRichView::kToggleIntroductions)->isChecked());
  EXPECT_EQ(pane_.Edit()->toPlainText().toStdString(), "Text one. Quote 2\n[...]\n");
}

TEST_F(BookTextPane, ScrollToQuotePutsTheEchomarksFirstLineAtTheTop) {
  // Forty solved Echomarks of one line each.
  doc_.book.lengths.push_back({0, 0, 0});
  doc_.book.status.push_back(0);
  for (int n = 1; n <= 40; ++n) {
    const std::u32string line = QString("Line %1.\n").arg(n).toStdU32String();
    doc_.book.text += line;
    doc_.book.lengths.push_back({0, static_cast<int>(line.size()), 0});
    doc_.book.status.push_back(3);
  }
  pane_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
  pane_.BuildText();
  for (unsigned n : {25u, 3u, 1u}) {
    const int pos = pane_.ScrollToQuote(n);
    EXPECT_EQ(pos, pane_.Layout().starts[n][0]);
    QTextCursor c(pane_.Edit()->document());
    c.setPosition(pos);
    const int top = pane_.Edit()->cursorRect(c).top();
    EXPECT_GE(top, 0) << n;
    EXPECT_LT(top, pane_.Edit()->fontMetrics().height()) << n;
  }
  EXPECT_EQ(pane_.ScrollToQuote(0), -1);
  EXPECT_EQ(pane_.ScrollToQuote(41), -1);
}

// ---------------------------------------------------------------- scratch pad

class ScratchPad : public ::testing::Test {
 protected:
  void SetUp() override {
    pane_.SetDocument(&doc_);
    pane_.Edit()->SetIdleDelay(40);
    pane_.resize(300, 100);
    pane_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane_));
    pane_.Edit()->setFocus();
  }
  int checks() const {
    int n = 0;
    for (const auto& c : doc_.calls) n += c.rfind("Check(", 0) == 0;
    return n;
  }
  RecordingDocument doc_;
  COrv_Frm_ScPad pane_;
};

TEST_F(ScratchPad, ABlankChecksAtOnceLettersAfterTheIdleDelay) {
  QTest::keyClicks(pane_.Edit(), QStringLiteral("the"));
  EXPECT_EQ(checks(), 0);
  EXPECT_TRUE(pane_.Edit()->IdleTimerActive());
  QTest::keyClick(pane_.Edit(), Qt::Key_Space);
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"Check(the ,1)"});
  EXPECT_FALSE(pane_.Edit()->IdleTimerActive());
  QTest::keyClicks(pane_.Edit(), QStringLiteral("cat"));
  EXPECT_EQ(checks(), 1);
  // One check once the learner pauses, not one per letter.
  QTest::qWait(150);
  EXPECT_EQ(checks(), 2);
  EXPECT_EQ(doc_.calls.back(), "Check(the cat,1)");
  QTest::keyClick(pane_.Edit(), Qt::Key_Return);
  EXPECT_EQ(checks(), 3);
  // An accented letter from an input method counts as typed.
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("\u00e9"));
  QApplication::sendEvent(pane_.Edit(), &commit);
  QTest::qWait(150);
  EXPECT_EQ(doc_.calls.back(), "Check(the cat\n\u00e9,1)");
}

TEST_F(ScratchPad, PastedTextIsCheckedAfterTheDelay) {
  QApplication::clipboard()->setText(QStringLiteral("a dog"));
  pane_.Edit()->paste();
  EXPECT_EQ(checks(), 0);
  QTest::qWait(150);
  EXPECT_EQ(doc_.calls, std::vector<std::string>{"Check(a dog,1)"});
}

TEST_F(ScratchPad, ApplyFormatWithReloadSelectsWhatTheDocumentAdded) {
  pane_.Edit()->setPlainText(QStringLiteral("the"));
  doc_.userText = "the cat ";
  pane_.ApplyFormat(true);
  const QTextCursor c = pane_.Edit()->textCursor();
  EXPECT_EQ(pane_.Edit()->toPlainText().toStdString(), "the cat ");
  EXPECT_EQ(c.selectionStart(), 3);
  EXPECT_EQ(c.selectionEnd(), 8);
  EXPECT_TRUE(pane_.Edit()->IsFormatted());
  // The text takes the scratch pad's format.
  QTextCursor at(pane_.Edit()->document());
  at.setPosition(1);
  EXPECT_FALSE(at.charFormat().fontItalic());
}

TEST_F(ScratchPad, ACheckThatReloadsThePadPutsTheCaretBackInsideTheText) {
  // The check rewrites the pad from inside the key handler, shorter than
  // the caret's place.
  doc_.onChange = [&] {
    doc_.userText = "ab";
    pane_.ApplyFormat(true);
  };
  QTest::keyClicks(pane_.Edit(), QStringLiteral("abcdef"));
  QTest::keyClick(pane_.Edit(), Qt::Key_Space);
  EXPECT_EQ(pane_.Edit()->toPlainText().toStdString(), "ab");
  EXPECT_EQ(pane_.Edit()->textCursor().position(), 2);
  // With a longer text the caret stays where the learner was typing.
  doc_.onChange = [&] {
    doc_.userText = "xy abc ";
    pane_.ApplyFormat(true);
  };
  pane_.Edit()->setPlainText(QStringLiteral("abc"));
  QTextCursor c(pane_.Edit()->document());
  c.setPosition(3);
  pane_.Edit()->setTextCursor(c);
  QTest::keyClick(pane_.Edit(), Qt::Key_Space);
  EXPECT_EQ(pane_.Edit()->textCursor().position(), 4);
}

// ---------------------------------------------------------------- text dialog

// The text dialog wears the program's frame: its caption is the text's
// caption, the frame's close button closes it, and a drag of its corner
// stops at 100 x 80.
TEST(TextDialog, TheSkinnedFrameCarriesTheCaptionAndKeepsTheMinimumSize) {
  COrv_DlgShowText dlg;
  dlg.m_caption = "Dictionary definition";
  dlg.m_text = "to be: [verb] exist";
  dlg.Populate();
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(dlg.Skin().Caption().toStdString(), "Dictionary definition");
  // The text lies below the caption band.
  EXPECT_GE(dlg.TextControl()->geometry().top(), COrv_SkinFrame::kCaptionHeight);
  const QImage shot = dlg.grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) shot.save(QString(dir) + "/text_dialog.png");
  // The bottom-right corner dragged far up and left.
  const QRect start = dlg.geometry();
  dlg.Skin().OnLButtonDown(0, start.width() - 1, start.height() - 1);
  ASSERT_EQ(dlg.Skin().DragCode(), COrv_SkinFrame::kBottomRight);
  dlg.Skin().OnMouseMove(0, -500, -500);
  dlg.Skin().OnLButtonUp(0, -500, -500);
  EXPECT_EQ(dlg.geometry().size(), QSize(COrv_DlgShowText::kMinWidth, COrv_DlgShowText::kMinHeight));
  // The frame's close button ends the dialog.
  QTest::mouseClick(dlg.Skin().CloseButtonWidget(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(dlg.isVisible());
}

TEST(TextDialog, MarkupShowsBracketSpansBoldRedAndAngleSpansBoldGreen) {
  QTextDocument doc;
  COrv_TextFormat format;
  format.chars.mask = COrv_CharFormat::kColour;
  format.chars.colour = COrv_CharFormat::Rgb(0, 0, 255);
  const QString text = QStringLiteral("go [verb] <irr.> on [open");
  COrv_DlgShowText::FillDocument(doc, text, format, true);
  EXPECT_EQ(doc.toPlainText(), text);
  auto at = [&](int pos) {
    QTextCursor c(&doc);
    c.setPosition(pos + 1);
    return c.charFormat();
  };
  struct Want {
    int pos;
    QRgb colour;
    bool bold;
  };
  const Want wants[] = {
      {0, 0x0000FF, false},  // plain text keeps the dialog's format
      {3, 0xFF0000, true},   // "["
      {5, 0xFF0000, true},   // inside the square span
      {8, 0xFF0000, true},   // "]"
      {10, 0x008000, true},  // "<"
      {14, 0x008000, true},  // ">"
      {16, 0x0000FF, false},
      {20, 0x0000FF, false},  // a bracket left open is plain
  };
  for (const Want& w : wants) {
    EXPECT_EQ(at(w.pos).foreground().color().rgb() & 0xFFFFFF, w.colour) << w.pos;
    EXPECT_EQ(at(w.pos).fontWeight() == QFont::Bold, w.bold) << w.pos;
  }
  // Without mark-up the brackets are only text.
  COrv_DlgShowText::FillDocument(doc, text, format, false);
  EXPECT_EQ(at(5).fontWeight() == QFont::Bold, false);
}

TEST(TextDialog, ATypedCharacterClosesIt) {
  orv::views::TypedCharRouter router;
  router.SetPaneFinder([] { return orv::views::TypedCharRouter::Panes{}; });
  qApp->installEventFilter(&router);
  COrv_DlgShowText dlg;
  dlg.m_caption = "Comment";
  dlg.m_text = "A comment.";
  bool typed = false;
  QTimer::singleShot(50, &dlg, [&] {
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Comment");
    EXPECT_EQ(dlg.TextControl()->toPlainText().toStdString(), "A comment.");
    dlg.activateWindow();
    dlg.TextControl()->setFocus();
    QTest::keyClick(dlg.TextControl(), Qt::Key_X);
    typed = true;
  });
  // Closed by the character, not by this safety net.
  QTimer::singleShot(3000, &dlg, [&] { dlg.done(99); });
  const int result = dlg.DoModal();
  qApp->removeEventFilter(&router);
  EXPECT_TRUE(typed);
  EXPECT_NE(result, 99);
}

// ---------------------------------------------------------------- routing

class Routing : public ::testing::Test {
 protected:
  void SetUp() override {
    router_.SetPaneFinder([this] { return orv::views::TypedCharRouter::Panes{soFar_.Edit(), pad_.Edit()}; });
    qApp->installEventFilter(&router_);
    soFar_.SetDocument(&doc_);
    pad_.SetDocument(&doc_);
    pad_.Edit()->SetIdleDelay(10000);
    rich_.SetDocument(&doc_);
    doc_.soFar = MakeState(U"c\u2022t", "._.", U"cat");
    soFar_.Refresh();
    window_.resize(600, 400);
    soFar_.setParent(&window_);
    pad_.setParent(&window_);
    rich_.setParent(&window_);
    soFar_.setGeometry(0, 0, 300, 150);
    pad_.setGeometry(0, 150, 300, 150);
    rich_.setGeometry(300, 0, 300, 300);
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  void TearDown() override { qApp->removeEventFilter(&router_); }
  RecordingDocument doc_;
  orv::views::TypedCharRouter router_;
  QWidget window_;
  COrv_Frm_SoFar soFar_;
  COrv_Frm_ScPad pad_;
  COrv_FrmRichView rich_;
};

TEST_F(Routing, ALetterTypedElsewhereLandsInTheScratchPad) {
  soFar_.Edit()->setFocus();  // dictionary mode
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
  EXPECT_EQ(pad_.Edit()->toPlainText().toStdString(), "k");
  EXPECT_EQ(QApplication::focusWidget(), pad_.Edit());
  // An input-method letter goes the same way.
  soFar_.Edit()->setFocus();
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("\u00e9"));
  QApplication::sendEvent(soFar_.Edit(), &commit);
  EXPECT_EQ(pad_.Edit()->toPlainText().toStdString(), "k\u00e9");
  // Navigation keys are no characters and stay where they are.
  soFar_.Edit()->setFocus();
  QTest::keyClick(soFar_.Edit(), Qt::Key_Left);
  EXPECT_EQ(QApplication::focusWidget(), soFar_.Edit());
}

TEST_F(Routing, LetterByLetterModeKeepsItsCharacters) {
  soFar_.OnCommand(COrv_Frm_SoFar::kLetterMode);
  ASSERT_EQ(QApplication::focusWidget(), soFar_.Edit());
  QTest::keyClick(soFar_.Edit(), Qt::Key_A);
  EXPECT_EQ(soFar_.Edit()->toPlainText().toStdString(), "cat");
  EXPECT_TRUE(pad_.Edit()->toPlainText().isEmpty());
}

TEST(RoutingInTheMainWindow, TheActiveBookWindowsScratchPadTakesTheCharacter) {
  // As the program wires it: the application's router with its own way of
  // finding the active book window's panes.
  orv::views::TypedCharRouter router;
  qApp->installEventFilter(&router);
  RecordingDocument doc;
  QMainWindow frame;
  auto* area = new QMdiArea(&frame);
  frame.setCentralWidget(area);
  // Two book windows; the second one is active.
  COrv_Frm_ScPad* pads[2] = {};
  COrv_Frm_SoFar* soFars[2] = {};
  for (int i = 0; i < 2; ++i) {
    auto* child = new QWidget;
    auto* layout = new QVBoxLayout(child);
    soFars[i] = new COrv_Frm_SoFar(child);
    pads[i] = new COrv_Frm_ScPad(child);
    soFars[i]->SetDocument(&doc);
    pads[i]->SetDocument(&doc);
    pads[i]->Edit()->SetIdleDelay(10000);
    layout->addWidget(soFars[i]);
    layout->addWidget(pads[i]);
    area->addSubWindow(child)->show();
  }
  frame.resize(700, 500);
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  area->setActiveSubWindow(area->subWindowList().at(1));
  soFars[1]->Edit()->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q);
  qApp->removeEventFilter(&router);
  EXPECT_EQ(pads[1]->Edit()->toPlainText().toStdString(), "q");
  EXPECT_TRUE(pads[0]->Edit()->toPlainText().isEmpty());
}

}  // namespace
