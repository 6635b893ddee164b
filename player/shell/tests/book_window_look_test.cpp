// What a learner sees of an open book in the real main frame: the window's
// pattern behind every pane and its buttons at several window sizes, the
// status bar whole and current (also behind an introduction), the strip
// showing the current Echomark, the view buttons released when their
// windows close by their own close buttons, and the speech view drawn while
// a box waits for its answer. Offscreen grabs, real panes, a real book.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <functional>
#include <set>

#include "player/audio/speech_view_dlg.h"
#include "player/book/tests/document_fixture.h"
#include "player/shell/main_frame.h"
#include "player/shell/quote_index_panel.h"
#include "player/shell/tests/play_fixture.h"
#include "player/shell/three_way_splitter_frame.h"
#include "player/views/frm_rich_view.h"
#include "player/views/frm_sc_pad.h"
#include "player/views/frm_so_far.h"
#include "player/views/view_ex_split_wnd.h"
#include "platform/ui/qt_message_box.h"
#include "platform/win/window.h"
#include "shared/buttons/button_host.h"
#include "shared/buttons/orv_button.h"

namespace {

using namespace tvtools::book;

constexpr int kShowProlog = 3;
constexpr int kSaveTvStatus = 11;

Book bookOf(int count, bool introductions = false) {
  Book b;
  b.code = "DEMO";
  b.title = "Demo book";
  for (int i = 1; i <= count; ++i) {
    Echomark e;
    e.wordText = "sentence number " + std::to_string(i) + ".";
    if (introductions) e.introduction = "Before sentence " + std::to_string(i) + ".";
    e.normalWav = makeWav(100, {});
    b.echomarks.push_back(e);
  }
  return b;
}

FrameServices quietFrame(QSize screen) {
  FrameServices s;
  s.screen = [screen] { return QRect(QPoint(0, 0), screen); };
  s.createDdeServer = [] { return true; };
  return s;
}

class BookWindowLook : public doctest::DocumentTest {
 protected:
  // A shown frame of `size` with every bar on.
  std::unique_ptr<CMainFrame> frameOf(QSize size) {
    auto frame = std::make_unique<CMainFrame>(quietFrame(QSize(1600, 1200)));
    const int32_t on = 1;
    for (int setting : {22, 23, 24, 25}) frame->FrameState().SetValue(setting, &on);
    EXPECT_TRUE(frame->OnCreate());
    frame->FrameState().SetLoggedIn(1);
    frame->resize(size);
    frame->show();
    QApplication::processEvents();
    return frame;
  }
  static C3WaySplitterFrame* child(CMainFrame& frame) { return frame.GetActiveChildFrame(); }
  static void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
};

// The pattern as the frame paints it at a pane's pixel: the pattern picture
// of shift 0 at the pane-local column and the frame row.
class Pattern {
 public:
  Pattern() : picture_(tv::buttons::LoadResourceImage(CViewExSplitWnd::kPatternTable[0], false)) {}
  bool loaded() const { return picture_.width() == 8 && picture_.height() == 8; }
  QRgb at(const QWidget* pane, QPoint local) const {
    const int row = CViewExSplitWnd::OffsetInFrame(pane) + local.y();
    return picture_.pixel(local.x() % 8, row % 8);
  }

 private:
  QImage picture_;
};

// Counts the pixels of `area` (pane-local) in the grab of the window that
// differ from the pattern.
int offPattern(const QImage& grab, const QWidget* window, const QWidget* pane, QRect area, const Pattern& p) {
  int off = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QPoint at = pane->mapTo(window, QPoint(x, y));
      if ((grab.pixel(at) & 0xFFFFFF) != (p.at(pane, QPoint(x, y)) & 0xFFFFFF)) ++off;
    }
  return off;
}

TEST_F(BookWindowLook, ThePatternRunsBehindEveryPaneAndItsButtonsAtEverySize) {
  doctest::installBook(bookOf(3));
  const Pattern pattern;
  ASSERT_TRUE(pattern.loaded());
  for (const QSize size : {QSize(800, 600), QSize(1024, 768), QSize(1400, 1000)}) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    auto frame = frameOf(size);
    ASSERT_TRUE(frame->OpenTalvane("DEMO"));
    settle();
    C3WaySplitterFrame* book = child(*frame);
    ASSERT_NE(book, nullptr);
    const QImage grab = frame->grab().toImage();
    // TV_TEST_SHOTS names a folder for the grabs, to look at.
    if (const char* shots = std::getenv("TV_TEST_SHOTS"))
      grab.save(QString("%1/book-window-%2x%3.png").arg(shots).arg(size.width()).arg(size.height()));
    struct Area {
      const char* name;
      QWidget* pane;
      QRect area;
    };
    auto* rich = static_cast<COrv_FrmRichView*>(book->RichView());
    auto* soFar = static_cast<COrv_Frm_SoFar*>(book->SoFarView());
    auto* pad = static_cast<COrv_Frm_ScPad*>(book->ScratchPadView());
    // The row of buttons: right of the last button; the scratch pad's
    // button column below its button; the margin around each text control.
    const auto rowRight = [](QWidget* pane, QWidget* lastButton) {
      const int left = lastButton->geometry().right() + 4;
      return QRect(left, lastButton->y(), pane->width() - 4 - left, lastButton->height());
    };
    const QWidget* padButton = pad->Button();
    const Area areas[] = {
        {"book text: button row", rich, rowRight(rich, rich->Button(COrv_FrmRichView::kToggleIntroductions))},
        {"book text: margin", rich, QRect(0, 0, rich->width(), 2)},
        {"so far: button row", soFar, rowRight(soFar, soFar->Button(COrv_Frm_SoFar::kResults))},
        {"so far: margin", soFar, QRect(0, soFar->height() - 2, soFar->width(), 2)},
        {"scratch pad: below its button", pad,
         QRect(padButton->x(), padButton->geometry().bottom() + 4, padButton->width(), 40)},
        {"scratch pad: margin", pad, QRect(0, 0, 2, pad->height())},
    };
    for (const Area& a : areas) {
      SCOPED_TRACE(a.name);
      ASSERT_GE(a.area.width(), 2);
      ASSERT_GE(a.area.height(), 2);
      ASSERT_GE(a.area.width() * a.area.height(), 40);
      EXPECT_EQ(offPattern(grab, frame.get(), a.pane, a.area, pattern), 0);
    }
    frame.reset();
  }
}

TEST_F(BookWindowLook, TheCountPaneIsWholeInsideTheWindowForOneToThreeDigits) {
  for (int count : {7, 42, 123}) {
    SCOPED_TRACE(count);
    auto frame = std::make_unique<CMainFrame>([count] {
      FrameServices s = quietFrame(QSize(1600, 1200));
      s.statusFacts = [count]() -> std::optional<COrv_StatusFacts> {
        return COrv_StatusFacts{"A rather long title of a Talvane", 0, 2, 9, static_cast<unsigned>(count), 5};
      };
      return s;
    }());
    const int32_t on = 1;
    for (int setting : {23, 24, 25}) frame->FrameState().SetValue(setting, &on);
    ASSERT_TRUE(frame->OnCreate());
    frame->resize(800, 600);
    frame->show();
    frame->StatusBar()->UpdatePanes();
    settle();
    QLabel* pane = frame->StatusBar()->PaneLabel(COrv_StatusBar::kCount);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->text().trimmed(), QString::number(count));
    const QRect inFrame(pane->mapTo(frame.get(), QPoint(0, 0)), pane->size());
    // The pane, its right border included, lies inside the window, clear
    // of its edge.
    EXPECT_LT(inFrame.right(), frame->width() - 1);
    EXPECT_GE(pane->width(), pane->fontMetrics().horizontalAdvance(pane->text()) + 2 * pane->frameWidth());
    // Its right border is drawn: the last column differs from the pane's
    // face just inside it.
    const QImage grab = frame->grab().toImage();
    const int mid = inFrame.center().y();
    EXPECT_NE(grab.pixel(inFrame.right(), mid), grab.pixel(inFrame.right() - 2 * pane->frameWidth() - 1, mid));
  }
}

TEST_F(BookWindowLook, TheStatusBarIsCurrentBehindAnIntroduction) {
  doctest::installBook(bookOf(3, true));
  auto frame = frameOf(QSize(1024, 768));
  const int32_t on = 1;
  frame->ApplySetting(kShowProlog, &on);
  COrv_StatusBar* bar = frame->StatusBar();
  // Each introduction that shows is closed by Escape, as the learner
  // would; what the bar shows meanwhile is kept.
  std::vector<std::pair<QString, QString>> seen;  // current, count
  QTimer watch;
  watch.setInterval(20);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    seen.emplace_back(bar->PaneLabel(COrv_StatusBar::kCurrent)->text().trimmed(),
                      bar->PaneLabel(COrv_StatusBar::kCount)->text().trimmed());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &escape);
  });
  watch.start();
  // The first open: the bar is not blank behind the book's first
  // introduction.
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_pair(QString("1"), QString("3")));
  EXPECT_EQ(bar->PaneLabel(COrv_StatusBar::kTitle)->text(), "Demo book");
  // A move: the new number behind the next introduction.
  ASSERT_TRUE(frame->Commands().Execute(125));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], std::make_pair(QString("2"), QString("3")));
  watch.stop();
  // The user pane of the anonymous user names the default user.
  EXPECT_EQ(bar->PaneLabel(COrv_StatusBar::kUser)->text(), "Default");
}

TEST_F(BookWindowLook, TheStripShowsTheCurrentEchomark) {
  doctest::installBook(bookOf(40));
  const int32_t on = 1;
  {
    // Leave the book at Echomark 36 of 40.
    auto frame = frameOf(QSize(800, 600));
    frame->ApplySetting(kSaveTvStatus, &on);
    ASSERT_TRUE(frame->OpenTalvane("DEMO"));
    ASSERT_TRUE(frame->GoToQuote(36, 0));
  }
  auto frame = frameOf(QSize(800, 600));
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  settle();
  C3WaySplitterFrame* book = child(*frame);
  ASSERT_NE(book, nullptr);
  COrv_QuoteStrip* strip = book->IndexPanel().Strip();
  ASSERT_NE(strip, nullptr);
  plat::win::RECT client{};
  plat::win::GetClientRect(strip->GetSafeHwnd(), &client);
  const int page = std::max(1, static_cast<int>(client.right / 26));
  ASSERT_LT(page, 36);  // the strip cannot show every cell at once
  const auto showsCurrent = [&](int n) {
    EXPECT_EQ(frame->GetActiveTvDocument()->GetCurrentQuote(), static_cast<unsigned>(n));
    EXPECT_LE(strip->GetFirstVisible(), n);
    EXPECT_LT(n, strip->GetFirstVisible() + page);
  };
  {
    SCOPED_TRACE("restored");
    showsCurrent(36);
  }
  // Moves by the Echomark commands past either edge of the strip.
  struct Move {
    const char* name;
    int firstVisible;  // where the learner scrolled the strip to
    int command;
    int times;
    int expected;
  };
  const Move moves[] = {{"forward to the last", 1, 125, 4, 40}, {"back", 40, 124, 3, 37}};
  for (const Move& m : moves) {
    SCOPED_TRACE(m.name);
    strip->SetFirstVisible(m.firstVisible);
    for (int i = 0; i < m.times; ++i) ASSERT_TRUE(frame->Commands().Execute(m.command));
    showsCurrent(m.expected);
  }
}

// A view window closed by its own close button releases its panel button,
// and its command is no longer checked.
TEST_F(BookWindowLook, AViewClosedByItsCloseButtonReleasesItsButton) {
  doctest::installBook(bookOf(2));
  auto frame = frameOf(QSize(1024, 768));
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  struct View {
    const char* name;
    int command;
    int window;
    bool secondary;
  };
  const View views[] = {
      {"speech view", 119, ViewWindows::kSpeechView, false},
      {"fragment selector", 120, ViewWindows::kFragmentSelector, false},
      {"volume", 126, ViewWindows::kVolume, true},
  };
  for (const View& v : views) {
    SCOPED_TRACE(v.name);
    const COrv_Panel& panel = v.secondary ? static_cast<COrv_Panel&>(frame->SecondaryPanel())
                                          : static_cast<COrv_Panel&>(frame->AudioPanel());
    ASSERT_TRUE(frame->Commands().Execute(v.command));
    settle();
    auto* window = dynamic_cast<COrv_ViewDialog*>(frame->AudioViewWindow(v.window));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    ASSERT_TRUE(playtest::buttonDown(panel, v.command));
    auto* close = dynamic_cast<tv::buttons::ButtonHost*>(window->Skin().CloseButtonWidget());
    ASSERT_NE(close, nullptr);
    close->Click();
    settle();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(playtest::buttonDown(panel, v.command));
    EXPECT_FALSE(frame->Commands().Query(v.command).checked);
    // And the button shows it again the next time.
    ASSERT_TRUE(frame->Commands().Execute(v.command));
    settle();
    EXPECT_TRUE(playtest::buttonDown(panel, v.command));
    ASSERT_TRUE(frame->Commands().Execute(v.command));
    settle();
    EXPECT_FALSE(playtest::buttonDown(panel, v.command));
  }
}

// The speech view is drawn while a box of the play commands waits for its
// answer: shown and at once followed by the speed button's box (a book
// without slower and faster renderings), its zoom pane is on the screen
// with the waveform before the box is answered; the real box goes by
// Escape. The screen is what the windows have painted, not a fresh render.
TEST_F(BookWindowLook, TheSpeechViewIsDrawnUnderTheSpeedBox) {
  Book b = bookOf(2);
  for (Echomark& e : b.echomarks) e.normalWav = makeWav(22050, {});
  doctest::installBook(b);
  auto frame = frameOf(QSize(1024, 768));
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  settle();
  COrv_SpeechViewDlg* view = frame->SpeechView(COrv_SpeechViewDlg::kAudioId);
  ASSERT_NE(view, nullptr);
  COrv_WaveformView& zoom = view->ZoomPane();
  QScreen* screen = QGuiApplication::primaryScreen();

  plat::ui::QtMessageSink realBoxes;
  plat::ui::ScopedSink shown{realBoxes};
  QImage underBox;
  QString boxText;
  QRect zoomOnScreen, boxOnScreen;
  int ticks = 0;
  QTimer watch;
  watch.setInterval(20);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr || !underBox.isNull()) return;
    // A few turns of the box's own loop: what is drawn by then is what
    // the learner sees behind the box.
    if (++ticks < 10) return;
    zoomOnScreen = QRect(zoom.mapToGlobal(QPoint(0, 0)), zoom.size());
    boxOnScreen = box->frameGeometry();
    underBox = screen->grabWindow(0, zoomOnScreen.x(), zoomOnScreen.y(), zoom.width(), zoom.height()).toImage();
    if (const char* shots = std::getenv("TV_TEST_SHOTS")) {
      underBox.save(QString("%1/zoom-under-box.png").arg(shots));
      screen->grabWindow(0).save(QString("%1/speech-view-under-box.png").arg(shots));
    }
    if (auto* b = qobject_cast<QMessageBox*>(box)) boxText = b->text();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &escape);
  });
  watch.start();
  ASSERT_TRUE(frame->Commands().Execute(119));
  view->move(screen->geometry().topLeft());
  ASSERT_TRUE(frame->Commands().Execute(225));
  watch.stop();
  ASSERT_FALSE(underBox.isNull()) << "no box was shown";
  EXPECT_EQ(boxText, "Fast and slow audio files are unavailable for the current Echomark.");
  ASSERT_TRUE(screen->geometry().contains(zoomOnScreen));
  ASSERT_FALSE(zoomOnScreen.intersects(boxOnScreen)) << "the box hides the pane";
  // Every column inside the pane's edge carries the black line of its
  // peaks, and the rest of the column is the pane's white.
  int blank = 0, unpainted = 0;
  for (int x = 1; x < underBox.width() - 1; ++x) {
    int ink = 0, white = 0;
    for (int y = 1; y < underBox.height() - 1; ++y) {
      const QRgb c = underBox.pixel(x, y) & 0xFFFFFF;
      ink += c == 0 ? 1 : 0;
      white += c == 0xFFFFFF ? 1 : 0;
    }
    if (ink == 0) ++blank;
    if (white == 0) ++unpainted;
  }
  EXPECT_EQ(blank, 0) << "of " << underBox.width() - 2 << " columns";
  EXPECT_EQ(unpainted, 0) << "of " << underBox.width() - 2 << " columns";
}

}  // namespace
