// The Echomark strip: bounded scrolling, current cell, clicks and painting,
// on the window layer with injected mouse input.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/gdi.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/window.h"
#include "player/views/quote_scroll.h"

using namespace plat::win;

namespace {

class QuoteStrip : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "StripTestParent";
    RegisterClass(&wc);
    parent_ = CreateWindowEx(0, "StripTestParent", "", WS_POPUP | WS_VISIBLE, 100, 100, 400, 60,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent_);
    // 260 pixels: ten cells a page.
    ASSERT_TRUE(strip_.Create(RECT{10, 10, 270, 32}, parent_, 222));
    strip_.SetGoToQuote([this](int n, int id) { goTo_.emplace_back(n, id); });
  }
  void TearDown() override { test::reset(); }
  static std::vector<std::uint32_t> cells(int count, std::uint32_t value = 1) {
    std::vector<std::uint32_t> v(static_cast<std::size_t>(count) + 1, value);
    v[0] = 0;
    return v;
  }
  void clickAt(int x, int y) {
    injectMouse(nullptr, POINT{100 + 10 + x, 100 + 10 + y}, 1, true);
    injectMouse(nullptr, POINT{100 + 10 + x, 100 + 10 + y}, 1, false);
    pumpMessages();
  }
  HWND parent_ = nullptr;
  COrv_QuoteScroll strip_;
  std::vector<std::pair<int, int>> goTo_;
};

struct ScrollCase {
  const char* name;
  int count;
  int start;
  std::function<void(COrv_QuoteScroll&)> op;
  int wantFirst;
};

TEST_F(QuoteStrip, ScrollingStaysWithinTheCells) {
  const ScrollCase cases[] = {
      {"no cells: back", 0, 1, [](COrv_QuoteScroll& s) { s.ScrollPrev(); }, 1},
      {"no cells: forward", 0, 1, [](COrv_QuoteScroll& s) { s.ScrollNext(); }, 1},
      {"no cells: set", 0, 1, [](COrv_QuoteScroll& s) { s.SetFirstVisible(5); }, 1},
      {"no cells: page back", 0, 1, [](COrv_QuoteScroll& s) { s.PagePrev(); }, 1},
      {"one cell: forward", 1, 1, [](COrv_QuoteScroll& s) { s.ScrollNext(); }, 1},
      {"one cell: back", 1, 1, [](COrv_QuoteScroll& s) { s.ScrollPrev(); }, 1},
      {"one cell: page forward", 1, 1, [](COrv_QuoteScroll& s) { s.PageNext(); }, 1},
      {"N cells: back from 1", 30, 1, [](COrv_QuoteScroll& s) { s.ScrollPrev(); }, 1},
      {"N cells: forward", 30, 1, [](COrv_QuoteScroll& s) { s.ScrollNext(); }, 2},
      {"N cells: forward from the last", 30, 30, [](COrv_QuoteScroll& s) { s.ScrollNext(); }, 30},
      {"N cells: back", 30, 30, [](COrv_QuoteScroll& s) { s.ScrollPrev(); }, 29},
      {"N cells: page forward", 30, 1, [](COrv_QuoteScroll& s) { s.PageNext(); }, 11},
      {"N cells: page forward near the end", 30, 25, [](COrv_QuoteScroll& s) { s.PageNext(); }, 30},
      {"N cells: page back", 30, 15, [](COrv_QuoteScroll& s) { s.PagePrev(); }, 5},
      {"N cells: page back near the start", 30, 4, [](COrv_QuoteScroll& s) { s.PagePrev(); }, 1},
      {"N cells: set 0", 30, 7, [](COrv_QuoteScroll& s) { s.SetFirstVisible(0); }, 1},
      {"N cells: set -3", 30, 7, [](COrv_QuoteScroll& s) { s.SetFirstVisible(-3); }, 1},
      {"N cells: set past the end", 30, 7, [](COrv_QuoteScroll& s) { s.SetFirstVisible(99); }, 30},
      {"N cells: set inside", 30, 7, [](COrv_QuoteScroll& s) { s.SetFirstVisible(12); }, 12},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto v = cells(c.count);
    ASSERT_TRUE(strip_.UpdateItems(&v));
    strip_.SetFirstVisible(c.start);
    c.op(strip_);
    EXPECT_EQ(strip_.GetFirstVisible(), c.wantFirst);
    EXPECT_EQ(strip_.GetCount(), c.count);
  }
}

TEST_F(QuoteStrip, CurrentAndItems) {
  EXPECT_EQ(strip_.GetFirstVisible(), 1);
  EXPECT_EQ(strip_.GetCurrent(), 0);
  EXPECT_FALSE(strip_.SetCurrent(1));  // no cells
  EXPECT_FALSE(strip_.SetItems(nullptr, 1));
  EXPECT_FALSE(strip_.UpdateItems(nullptr));
  const auto v = cells(5);
  ASSERT_TRUE(strip_.SetItems(&v, 3));
  EXPECT_EQ(strip_.GetCurrent(), 3);
  EXPECT_TRUE(IsWindowEnabled(strip_.GetSafeHwnd()));
  for (int n : {0, 6, -1}) EXPECT_FALSE(strip_.SetCurrent(n)) << n;
  EXPECT_EQ(strip_.GetCurrent(), 3);
  // A shorter array keeps the current one and the first visible inside it.
  strip_.SetFirstVisible(5);
  const auto shorter = cells(2);
  ASSERT_TRUE(strip_.UpdateItems(&shorter));
  EXPECT_EQ(strip_.GetCount(), 2);
  EXPECT_LE(strip_.GetCurrent(), 2);
  EXPECT_EQ(strip_.GetFirstVisible(), 2);
}

// The current cell is always brought into view, scrolling as little as it
// takes: a book restored at a late Echomark, a move forward or back past
// the strip's edge, and a strip that narrows.
TEST_F(QuoteStrip, TheCurrentCellComesIntoView) {
  struct Case {
    const char* name;
    int first;    // first visible cell before
    int current;  // made current (SetItems when `restore`, else SetCurrent)
    bool restore;
    int wantFirst;
  };
  const Case cases[] = {
      {"restored late", 1, 28, true, 19},
      {"restored at the last", 1, 30, true, 21},
      {"restored inside the page", 1, 10, true, 1},
      {"forward past the right edge", 1, 11, false, 2},
      {"far forward", 1, 25, false, 16},
      {"back past the left edge", 10, 9, false, 9},
      {"far back", 20, 2, false, 2},
      {"inside: no scroll", 5, 14, false, 5},
  };
  const auto v = cells(30);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(strip_.SetItems(&v, 1));
    strip_.SetFirstVisible(c.first);
    if (c.restore)
      ASSERT_TRUE(strip_.SetItems(&v, c.current));
    else
      ASSERT_TRUE(strip_.SetCurrent(c.current));
    EXPECT_EQ(strip_.GetFirstVisible(), c.wantFirst);
    EXPECT_GE(c.current, strip_.GetFirstVisible());
    EXPECT_LT(c.current, strip_.GetFirstVisible() + strip_.pageSize());
  }
  // The scroll buttons may still look elsewhere.
  strip_.SetFirstVisible(1);
  EXPECT_EQ(strip_.GetFirstVisible(), 1);
  // A strip that narrows to four cells keeps the current one in view.
  ASSERT_TRUE(strip_.SetCurrent(9));
  EXPECT_EQ(strip_.GetFirstVisible(), 1);
  MoveWindow(strip_.GetSafeHwnd(), 10, 10, 4 * COrv_QuoteScroll::kCellWidth, 22, TRUE);
  pumpMessages();
  EXPECT_EQ(strip_.pageSize(), 4);
  EXPECT_EQ(strip_.GetFirstVisible(), 6);
}

TEST_F(QuoteStrip, AClickOnACellGoesThereAndAMissGoesNowhere) {
  const auto v = cells(30);
  strip_.SetItems(&v, 1);
  strip_.SetFirstVisible(4);
  clickAt(2 * COrv_QuoteScroll::kCellWidth + 5, 10);  // third visible cell
  EXPECT_EQ(strip_.GetCurrent(), 6);
  EXPECT_EQ(goTo_, (std::vector<std::pair<int, int>>{{6, 222}}));

  // Past the last cell: no move and no report.
  const auto few = cells(3);
  strip_.UpdateItems(&few);
  strip_.SetFirstVisible(1);
  goTo_.clear();
  clickAt(5 * COrv_QuoteScroll::kCellWidth + 5, 10);
  EXPECT_TRUE(goTo_.empty());
  EXPECT_EQ(strip_.GetCurrent(), 3);

  // No cells at all.
  const std::vector<std::uint32_t> none{0};
  strip_.UpdateItems(&none);
  clickAt(5, 10);
  EXPECT_TRUE(goTo_.empty());
}

TEST_F(QuoteStrip, PaintsTheCellsByState) {
  std::vector<std::uint32_t> v{0, 0, 1, 3, 1};
  strip_.SetItems(&v, 4);
  pumpMessages();
  const QImage image = windowImage(strip_.GetSafeHwnd());
  ASSERT_EQ(image.width(), 260);
  auto at = [&](int cell) {
    const QRgb p = image.pixel((cell - 1) * COrv_QuoteScroll::kCellWidth + 4, 5);
    return RGB(qRed(p), qGreen(p), qBlue(p));
  };
  EXPECT_EQ(at(1), RGB(255, 255, 255));  // never visited
  EXPECT_EQ(at(2), RGB(255, 236, 160));  // visited
  EXPECT_EQ(at(3), RGB(96, 176, 80));    // solved
  EXPECT_EQ(at(4), RGB(0, 64, 160));     // current
  // Past the cells: the strip's own background.
  const QRgb bg = image.pixel(200, 11);
  EXPECT_EQ(RGB(qRed(bg), qGreen(bg), qBlue(bg)), COrv_QuoteScroll::kBackground);
}

}  // namespace
