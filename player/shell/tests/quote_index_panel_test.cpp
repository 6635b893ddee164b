// The Echomark index panel over a recording strip: the side-by-side layout,
// the placeholder, selection bounds, filling with fewer and with more
// Echomarks than before, and when the scroll commands can run.

#include "player/shell/quote_index_panel.h"

#include <gtest/gtest.h>

#include "platform/win/window.h"
#include "player/shell/tests/stand_ins.h"
#include "player/shell/three_way_splitter_frame.h"

using namespace plat::win;

namespace {

class IndexPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "IndexTestParent";
    RegisterClass(&wc);
    parent_ = CreateWindowEx(0, "IndexTestParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 29, nullptr, nullptr,
                             nullptr, nullptr);
  }
  void TearDown() override { test::reset(); }
  COrv_QuoteIndexPanel::StripFactory factory() {
    return [this] {
      auto s = std::make_unique<standin::RecordingStrip>(&log_);
      strip_ = s.get();
      return s;
    };
  }
  HWND parent_ = nullptr;
  std::vector<std::string> log_;
  standin::RecordingStrip* strip_ = nullptr;
};

std::vector<std::uint32_t> cells(int n) {
  std::vector<std::uint32_t> v(static_cast<std::size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i) v[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(i % 3);
  return v;
}

TEST_F(IndexPanel, LaysOutSideBySideAndShowsThePlaceholder) {
  COrv_QuoteIndexPanel panel(factory());
  EXPECT_EQ(panel.PanelSize().cx, 340);
  ASSERT_TRUE(panel.Create(parent_, COrv_QuoteIndexPanel::kBarId));
  // Spacers of 2 between 22-pixel buttons and the 240-pixel strip, centred
  // in the 29-pixel bar.
  struct Case {
    int id, left, width;
  };
  const Case cases[] = {{1013, 2, 22}, {1015, 26, 22}, {222, 50, 240}, {1014, 292, 22}, {1016, 316, 22}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const RECT r = panel.GetButtonRect(c.id, COrv_QuoteIndexPanel::kCentreVertically);
    EXPECT_EQ(r.left, c.left);
    EXPECT_EQ(r.right, c.left + c.width);
    EXPECT_EQ(r.top, (29 - 22) / 2);
    EXPECT_EQ(panel.GetButtonRect(c.id, 0).top, 0);
  }
  // In a bar 400 wide, centring the whole row moves everything right by half
  // the room left.
  MoveWindow(panel.GetSafeHwnd(), 0, 0, 400, 29, TRUE);
  for (const Case& c : cases)
    EXPECT_EQ(panel.GetButtonRect(c.id, COrv_QuoteIndexPanel::kCentreRow).left, c.left + (400 - 340) / 2);
  // The strip window sits in its row with control id 0 and shows 22 cells
  // with Echomark 1 current.
  ASSERT_NE(strip_, nullptr);
  EXPECT_EQ(strip_->createdId, 0);
  EXPECT_EQ(strip_->rect.left, 50);
  EXPECT_EQ(GetParent(strip_->GetSafeHwnd()), panel.GetSafeHwnd());
  EXPECT_EQ(panel.GetQuoteCount(), 22);
  EXPECT_EQ(strip_->current, 1);
  EXPECT_EQ(strip_->cells[0], 0u);
  EXPECT_EQ(strip_->cells[22], 1u);
  // Every scroll button clicks (mode 4) and has its tooltip; the strip row
  // gives no tooltip.
  for (int i = 0; i < static_cast<int>(panel.Rows().size()); ++i) {
    if (auto* b = panel.Control(i)) {
      EXPECT_EQ(b->GetMode(), 4);
      EXPECT_FALSE(b->ToolTipText().empty());
    }
  }
  EXPECT_EQ(panel.Control(5), nullptr);
  // Help: the panel's background, not its controls.
  EXPECT_EQ(panel.HelpHitTest(POINT{1, 1}), 0x10000 + 217);
  EXPECT_EQ(panel.HelpHitTest(POINT{60, 14}), 0);
  EXPECT_EQ(panel.HelpHitTest(POINT{5, 14}), 0);
}

TEST_F(IndexPanel, WithoutAStripEverythingAnswersNothing) {
  COrv_QuoteIndexPanel panel;
  ASSERT_TRUE(panel.Create(parent_, COrv_QuoteIndexPanel::kBarId));
  EXPECT_EQ(panel.Strip(), nullptr);
  EXPECT_EQ(panel.GetQuoteCount(), 0);
  EXPECT_EQ(panel.GetFirstVisible(), 0);
  EXPECT_FALSE(panel.SelectQuote(1, true));
  EXPECT_FALSE(panel.UpdateItems(cells(3)));
  panel.ScrollForward();
  for (int id : {1013, 1014, 1015, 1016}) EXPECT_FALSE(panel.ScrollEnabled(id));
}

TEST_F(IndexPanel, ScrollCommandsAreEnabledByTheFirstVisibleCell) {
  struct Case {
    int count, first;
    bool back, forward;
  };
  const Case cases[] = {
      {1, 1, false, false},  // one Echomark: nothing to scroll
      {10, 1, false, true},  {10, 2, true, true}, {10, 10, true, false},
      {0, 0, false, false},  // no cells: the strip's first cell is its count
      {10, 11, false, false},
  };
  COrv_QuoteIndexPanel panel(factory());
  ASSERT_TRUE(panel.Create(parent_, COrv_QuoteIndexPanel::kBarId));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << "/" << c.first);
    strip_->cells = cells(c.count);
    strip_->first = c.first;
    EXPECT_EQ(panel.ScrollEnabled(1013), c.back);
    EXPECT_EQ(panel.ScrollEnabled(1015), c.back);
    EXPECT_EQ(panel.ScrollEnabled(1014), c.forward);
    EXPECT_EQ(panel.ScrollEnabled(1016), c.forward);
  }
}

TEST_F(IndexPanel, FillingUpdatesTheCellsBeforeSelecting) {
  standin::Factory f;
  C3WaySplitterFrame withStrip(&f, nullptr);
  ASSERT_TRUE(withStrip.OnCreate());
  standin::RecordingStrip& s = *f.strip;
  EXPECT_EQ(s.GetCount(), 22);

  // A book of 30 Echomarks, with 25 current: the 22-cell placeholder must
  // not refuse it.
  f.log.clear();
  EXPECT_TRUE(withStrip.FillQuoteIndex(cells(30), 25));
  EXPECT_EQ(s.GetCount(), 30);
  EXPECT_EQ(s.current, 25);
  ASSERT_GE(f.log.size(), 2u);
  EXPECT_EQ(f.log[0], "UpdateItems 30");
  EXPECT_EQ(f.log[1], "SetCurrent 25");

  // n = 0 still hands the cells over; the current Echomark stays.
  EXPECT_FALSE(withStrip.RefillQuoteIndex(cells(12), 0));
  EXPECT_EQ(s.GetCount(), 12);
  EXPECT_EQ(s.current, 25);

  // A book without Echomarks: the cells go, nothing can be selected.
  EXPECT_FALSE(withStrip.FillQuoteIndex(cells(0), 1));
  EXPECT_EQ(s.GetCount(), 0);
  EXPECT_FALSE(withStrip.ShowQuoteInIndex(1));
  EXPECT_TRUE(withStrip.SelectQuoteInIndex(7));

  // Out of range selections change nothing.
  withStrip.FillQuoteIndex(cells(5), 2);
  for (int n : {-1, 0, 6}) EXPECT_FALSE(withStrip.ShowQuoteInIndex(n)) << n;
  EXPECT_EQ(s.current, 2);
  EXPECT_TRUE(withStrip.ShowQuoteInIndex(5));
  EXPECT_EQ(s.current, 5);
}

}  // namespace
