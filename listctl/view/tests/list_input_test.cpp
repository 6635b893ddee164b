// Selection, keys, type-ahead, the mouse, scrolling and text tips of the
// list control, driven by real window messages on the window core (no
// display: text is measured with the core's fixed metric).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/view/list_view.h"
#include "platform/text/utf8.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

constexpr int kVisibleRows = 10;

struct Seen {
  std::vector<unsigned> codes;  // WM_COMMAND notification codes
  int keyDowns = 0, chars = 0, buttonDowns = 0, doubleClicks = 0;
  int tipRequests = 0;
  lx::LbxTipRequest lastTip{};
  const char* tipAnswer = nullptr;  // text the target writes; null leaves the record
  int count(unsigned code) const { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }
};
Seen g;

LRESULT parentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_COMMAND: g.codes.push_back(HIWORD(w)); return 0;
    case lx::kNotifyKeyDown: ++g.keyDowns; return 0;
    case lx::kNotifyChar: ++g.chars; return 0;
    case lx::kNotifyLButtonDown: ++g.buttonDowns; return 0;
    case lx::kNotifyLDoubleClick: ++g.doubleClicks; return 0;
    case lx::kNotifyTipText: {
      auto* req = reinterpret_cast<lx::LbxTipRequest*>(l);
      ++g.tipRequests;
      g.lastTip = *req;
      if (g.tipAnswer) {
        std::strcpy(req->text, g.tipAnswer);
        req->result = 1;
      }
      return 0;
    }
    default: return DefWindowProc(h, m, w, l);
  }
}

HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&g); }

LPARAM at(int x, int y) { return MAKELPARAM(x, y); }

class ListInput : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    setClock(&clock_);
    g = Seen{};
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = "ListInputParent";
    ASSERT_NE(RegisterClass(&wc), 0);
    parent_ = CreateWindow("ListInputParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 400, nullptr, nullptr,
                           nullptr, nullptr);
    ASSERT_TRUE(parent_);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    EXPECT_EQ(lx::liveInstances(), 0);
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    setClock(nullptr);
    test::reset();
  }

  // A list whose rows area holds exactly kVisibleRows rows.
  HWND makeList(DWORD style, int items, const std::vector<std::string>& texts = {}) {
    HWND h = CreateWindow(lx::kListClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | style, 0, 0, 200, 100, parent_,
                          reinterpret_cast<HMENU>(7), nullptr, nullptr);
    EXPECT_TRUE(h);
    inst_ = lx::instanceOf(h);
    const int frame = lx::view::frameWidth(inst_);
    SetWindowPos(h, nullptr, 0, 0, 200, kVisibleRows * inst_->rowHeight + 2 * frame, SWP_NOMOVE | SWP_NOZORDER);
    for (int i = 0; i < items; ++i) {
      const std::string t = i < static_cast<int>(texts.size()) ? texts[i] : "item " + std::to_string(i);
      SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
    }
    pumpMessages();
    g = Seen{};
    return h;
  }
  void key(HWND h, int vk, unsigned shifts = 0) {
    setKeyState(VK_SHIFT, shifts & 1);
    setKeyState(VK_CONTROL, shifts & 2);
    SendMessage(h, WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
    setKeyState(VK_SHIFT, false);
    setKeyState(VK_CONTROL, false);
  }
  void click(HWND h, int row, WPARAM mk = 0, bool twice = false) {
    const LPARAM p = at(20, row * inst_->rowHeight + inst_->rowHeight / 2);
    SendMessage(h, twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON | mk, p);
    SendMessage(h, WM_LBUTTONUP, mk, p);
  }
  std::set<int> selected(HWND h) {
    std::set<int> s;
    for (int i = 0; i < inst_->itemCount; ++i)
      if (SendMessage(h, lx::LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) s.insert(i);
    return s;
  }
  int top(HWND h) { return static_cast<int>(SendMessage(h, lx::LB_GETTOPINDEX, 0, 0)); }

  test::ManualClock clock_;
  HWND parent_ = nullptr;
  lx::LbxInstance* inst_ = nullptr;
};

TEST_F(ListInput, KeysMoveTheSelectionOfASingleSelectionList) {
  struct Case {
    int from;  // LB_SETCURSEL first (-1: none)
    int vk;
    int sel, top, selChanges;
  } cases[] = {
      {-1, VK_DOWN, 0, 0, 1},  {0, VK_DOWN, 1, 0, 1},   {5, VK_UP, 4, 0, 1},   {0, VK_UP, 0, 0, 0},
      {0, VK_NEXT, 9, 0, 1},   {9, VK_NEXT, 18, 9, 1},  {3, VK_END, 29, 20, 1}, {29, VK_HOME, 0, 0, 1},
      {12, VK_PRIOR, 3, 3, 1}, {29, VK_DOWN, 29, 20, 0}, {4, VK_RIGHT, 5, 0, 1}, {4, 'Q', 4, 0, 0},
  };
  HWND h = makeList(lx::LBS_NOTIFY, 30);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "from " << c.from << " key " << c.vk);
    SendMessage(h, lx::LB_SETCURSEL, static_cast<WPARAM>(c.from), 0);
    SendMessage(h, lx::LB_SETTOPINDEX, static_cast<WPARAM>(std::max(c.from - 9, 0)), 0);
    if (c.from >= 0 && c.from < 10) SendMessage(h, lx::LB_SETTOPINDEX, 0, 0);
    g = Seen{};
    key(h, c.vk);
    EXPECT_EQ(SendMessage(h, lx::LB_GETCURSEL, 0, 0), c.sel);
    EXPECT_EQ(top(h), c.top);
    EXPECT_EQ(g.count(lx::LBN_SELCHANGE), c.selChanges);
    EXPECT_EQ(g.keyDowns, 1);
    EXPECT_EQ(selected(h), std::set<int>{c.sel});
  }
}

TEST_F(ListInput, ShiftAndCtrlRangesInAnExtendedSelectionList) {
  HWND h = makeList(lx::LBS_NOTIFY | lx::LBS_EXTENDEDSEL, 30);
  struct Step {
    int vk;
    unsigned shifts;
    std::set<int> sel;
    int caret;
  } steps[] = {
      {VK_DOWN, 0, {0}, 0},           {VK_DOWN, 0, {1}, 1},
      {VK_DOWN, 1, {1, 2}, 2},        {VK_DOWN, 1, {1, 2, 3}, 3},
      {VK_UP, 1, {1, 2}, 2},          {VK_DOWN, 2, {1, 2}, 3},      // Ctrl moves the caret alone
      {VK_DOWN, 2, {1, 2}, 4},        {VK_SPACE, 2, {1, 2, 4}, 4},  // Ctrl+Space adds it
      {VK_END, 3, {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}, 29},
      {VK_HOME, 0, {0}, 0},
  };
  int n = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "step " << n++);
    key(h, s.vk, s.shifts);
    EXPECT_EQ(selected(h), s.sel);
    EXPECT_EQ(SendMessage(h, lx::LB_GETCARETINDEX, 0, 0), s.caret);
  }
}

TEST_F(ListInput, MultipleSelectionKeysMoveTheCaretAndSpaceToggles) {
  HWND h = makeList(lx::LBS_NOTIFY | lx::LBS_MULTIPLESEL, 30);
  key(h, VK_DOWN);
  key(h, VK_DOWN);
  EXPECT_TRUE(selected(h).empty());
  EXPECT_EQ(g.count(lx::LBN_SELCHANGE), 0);
  key(h, VK_SPACE);
  key(h, VK_NEXT);
  key(h, VK_SPACE);
  EXPECT_EQ(selected(h), (std::set<int>{1, 10}));
  key(h, VK_SPACE);
  EXPECT_EQ(selected(h), std::set<int>{1});
  EXPECT_EQ(g.count(lx::LBN_SELCHANGE), 3);
}

TEST_F(ListInput, TypeAheadFindsItemsByTheirFirstLetters) {
  const std::vector<std::string> words = {"apple", "Banana", "blueberry", "cherry", "Ávila", "avocado", "bread"};
  HWND h = makeList(lx::LBS_NOTIFY, static_cast<int>(words.size()), words);
  struct Case {
    int autoSearch;
    const char* typed;  // characters typed in one go
    int pauseMs;        // after them
    int sel;
  } cases[] = {
      {1, "b", 0, 1},  {1, "b", 0, 2},  {1, "b", 0, 6},  {1, "b", 0, 1},  // single char, wrapping
      {1, "B", 0, 2},                                                   // case is ignored
      {1, "á", 0, 4},                                                   // a letter beyond ASCII
      {2, "bl", 1100, 2}, {2, "c", 1100, 3}, {2, "br", 1100, 6},        // multiple chars
      {2, "z", 1100, 6},                                                // no match keeps the selection
      {0, "a", 0, 6},                                                   // AutoSearch None
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.autoSearch << " typed " << c.typed);
    SendMessage(h, lx::kMsgSetProperty, 86, c.autoSearch);
    std::string s = c.typed;
    for (std::size_t i = 0; i < s.size();) {
      // One code point at a time, as WM_CHAR carries them.
      char32_t cp = static_cast<unsigned char>(s[i]);
      std::size_t len = 1;
      if (cp >= 0xC0) {
        cp = ((cp & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
        len = 2;
      }
      SendMessage(h, WM_CHAR, cp, 0);
      i += len;
    }
    clock_.advance(c.pauseMs);
    EXPECT_EQ(SendMessage(h, lx::LB_GETCURSEL, 0, 0), c.sel);
  }
}

// Each type-ahead mode over accented titles of a sorted list: the first
// letters match without case, "greater or equal" lands where the typed text
// would be sorted in.
TEST_F(ListInput, TypeAheadModesOverAccentedTitles) {
  const std::vector<std::string> titles = {"Zürich", "Oslo", "élan", "Apfel", "Ölkanne", "Zug", "Ärger", "Évora", "Ober"};
  HWND h = makeList(lx::LBS_NOTIFY | lx::LBS_SORT, static_cast<int>(titles.size()), titles);
  // Apfel Ärger élan Évora Ober Ölkanne Oslo Zug Zürich
  struct Case {
    int autoSearch;
    const char* typed;
    int sel;
  } cases[] = {
      {3, "p", 7}, {3, "b", 2}, {3, "Ö", 4}, {3, "Z", 7},  // greater or equal, one character
      {1, "ö", 5}, {1, "É", 2}, {1, "É", 3}, {1, "a", 0},  // single character, wrapping round
      {2, "os", 6}, {2, "zü", 8}, {2, "éV", 3},            // several characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.autoSearch << " typed " << c.typed);
    SendMessage(h, lx::kMsgSetProperty, 86, c.autoSearch);
    const std::string typed = c.typed;
    for (std::size_t i = 0; i < typed.size();) SendMessage(h, WM_CHAR, plat::text::decodeNext(typed, i), 0);
    clock_.advance(1100);
    EXPECT_EQ(SendMessage(h, lx::LB_GETCURSEL, 0, 0), c.sel);
  }
}

TEST_F(ListInput, ClicksSelectAndNotify) {
  struct Click {
    int row;
    WPARAM mk;
    bool twice;
  };
  struct Case {
    DWORD style;
    std::vector<Click> clicks;
    std::set<int> sel;
    int selChanges, dblClicks;
  } cases[] = {
      {lx::LBS_NOTIFY, {{3, 0, false}}, {3}, 1, 0},
      {lx::LBS_NOTIFY, {{3, 0, false}, {3, 0, false}}, {3}, 1, 0},  // the same row twice: no change
      {lx::LBS_NOTIFY, {{3, 0, false}, {3, 0, true}}, {3}, 1, 1},
      {0, {{3, 0, false}, {3, 0, true}}, {3}, 0, 0},                 // without LBS_NOTIFY: silent
      {lx::LBS_NOTIFY | lx::LBS_EXTENDEDSEL, {{2, 0, false}, {5, MK_SHIFT, false}}, {2, 3, 4, 5}, 2, 0},
      {lx::LBS_NOTIFY | lx::LBS_EXTENDEDSEL, {{2, 0, false}, {5, MK_SHIFT, false}, {3, MK_CONTROL, false}},
       {2, 4, 5}, 3, 0},
      {lx::LBS_NOTIFY | lx::LBS_EXTENDEDSEL,
       {{2, 0, false}, {4, MK_CONTROL, false}, {7, MK_CONTROL | MK_SHIFT, false}}, {2, 4, 5, 6, 7}, 3, 0},
      {lx::LBS_NOTIFY | lx::LBS_MULTIPLESEL, {{1, 0, false}, {4, 0, false}, {1, 0, false}}, {4}, 3, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << n++);
    HWND h = makeList(c.style, 20);
    for (const Click& k : c.clicks) click(h, k.row, k.mk, k.twice);
    EXPECT_EQ(selected(h), c.sel);
    EXPECT_EQ(g.count(lx::LBN_SELCHANGE), c.selChanges);
    EXPECT_EQ(g.count(lx::LBN_DBLCLK), c.dblClicks);
    EXPECT_EQ(g.buttonDowns, static_cast<int>(std::count_if(c.clicks.begin(), c.clicks.end(),
                                                            [](const Click& k) { return !k.twice; })));
    EXPECT_EQ(g.doubleClicks, static_cast<int>(std::count_if(c.clicks.begin(), c.clicks.end(),
                                                             [](const Click& k) { return k.twice; })));
    EXPECT_EQ(GetCapture(), nullptr);
    DestroyWindow(h);
  }
}

TEST_F(ListInput, EventSwitchesSilenceTheNotificationsButNotTheInput) {
  HWND h = makeList(lx::LBS_NOTIFY, 20);
  SendMessage(h, lx::kMsgSetProperty, 156, 0);  // EnableKeyEvents
  SendMessage(h, lx::kMsgSetProperty, 157, 0);  // EnableMouseEvents
  key(h, VK_DOWN);
  SendMessage(h, WM_CHAR, 'z', 0);
  click(h, 4);
  click(h, 4, 0, true);
  EXPECT_EQ(g.keyDowns + g.chars + g.buttonDowns + g.doubleClicks, 0);
  EXPECT_EQ(SendMessage(h, lx::LB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(g.count(lx::LBN_SELCHANGE), 2);  // Down to 0, the click to 4
  EXPECT_EQ(g.count(lx::LBN_DBLCLK), 1);

  SendMessage(h, lx::kMsgSetProperty, 156, 1);
  SendMessage(h, lx::kMsgSetProperty, 157, 1);
  key(h, VK_DOWN);
  SendMessage(h, WM_CHAR, 'z', 0);
  click(h, 2);
  click(h, 2, 0, true);
  EXPECT_EQ(g.keyDowns, 1);
  EXPECT_EQ(g.chars, 1);
  EXPECT_EQ(g.buttonDowns, 1);
  EXPECT_EQ(g.doubleClicks, 1);
}

TEST_F(ListInput, ScrollRangeFollowsAddsDeletesAndResizes) {
  HWND h = makeList(0, 100);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(inst_->vScroll, SB_CTL, &si));
  EXPECT_TRUE(IsWindowVisible(inst_->vScroll));
  EXPECT_EQ(si.nMax, 99);
  EXPECT_EQ(si.nPage, static_cast<UINT>(kVisibleRows));
  EXPECT_EQ(SendMessage(h, lx::kMsgGetProperty, 104, 0), kVisibleRows);  // VisibleRows

  // The top never leaves the last page partly empty.
  SendMessage(h, lx::LB_SETTOPINDEX, 95, 0);
  EXPECT_EQ(top(h), 90);
  RECT r;
  ASSERT_EQ(SendMessage(h, lx::LB_GETITEMRECT, 92, reinterpret_cast<LPARAM>(&r)), 1);
  EXPECT_EQ(r.top, 2 * inst_->rowHeight);
  EXPECT_EQ(r.bottom - r.top, inst_->rowHeight);
  RECT cr;
  GetClientRect(h, &cr);
  EXPECT_EQ(r.right, cr.right - GetSystemMetrics(SM_CXVSCROLL));  // the bar takes its width
  EXPECT_EQ(SendMessage(h, lx::LB_GETITEMRECT, 100, reinterpret_cast<LPARAM>(&r)), lx::LB_ERR);

  // Deleting from the end pulls the top back.
  for (int i = 0; i < 5; ++i) SendMessage(h, lx::LB_DELETESTRING, 0, 0);
  pumpMessages();
  EXPECT_EQ(top(h), 85);
  si.fMask = SIF_ALL;
  GetScrollInfo(inst_->vScroll, SB_CTL, &si);
  EXPECT_EQ(si.nMax, 94);
  EXPECT_EQ(si.nPos, 85);

  // A taller window shows more rows and needs a smaller top.
  SetWindowPos(h, nullptr, 0, 0, 200, 20 * inst_->rowHeight + 2 * lx::view::frameWidth(inst_),
               SWP_NOMOVE | SWP_NOZORDER);
  pumpMessages();
  EXPECT_EQ(top(h), 75);
  EXPECT_EQ(SendMessage(h, lx::kMsgGetProperty, 104, 0), 20);

  // Few enough rows: no bar, top 0, and the rows take the whole width.
  while (inst_->itemCount > 8) SendMessage(h, lx::LB_DELETESTRING, 0, 0);
  pumpMessages();
  EXPECT_EQ(top(h), 0);
  EXPECT_FALSE(IsWindowVisible(inst_->vScroll));
  SendMessage(h, lx::LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
  GetClientRect(h, &cr);
  EXPECT_EQ(r.right, cr.right);
}

TEST_F(ListInput, ScrollMessagesAndTheWheelMoveTheTop) {
  HWND h = makeList(0, 100);
  struct Case {
    UINT msg;
    WPARAM w;
    int top;
  } cases[] = {
      {WM_VSCROLL, SB_LINEDOWN, 1},       {WM_VSCROLL, SB_PAGEDOWN, 10},       {WM_VSCROLL, SB_LINEUP, 9},
      {WM_VSCROLL, SB_BOTTOM, 90},        {WM_VSCROLL, SB_PAGEUP, 81},         {WM_VSCROLL, SB_TOP, 0},
      {WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 40), 40},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 43},   // a notch down: three rows
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(2 * WHEEL_DELTA)), 37},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA / 2)), 37},  // half a notch: kept
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA / 2)), 40},  // ... until it adds up
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(50 * WHEEL_DELTA)), 0},
  };
  for (const Case& c : cases) {
    SendMessage(h, c.msg, c.w, 0);
    EXPECT_EQ(top(h), c.top) << "message 0x" << std::hex << c.msg << " wParam 0x" << c.w;
  }
  // The list's own bar, clicked, scrolls it.
  SendMessage(h, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(inst_->vScroll));
  EXPECT_EQ(top(h), 1);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  GetScrollInfo(inst_->vScroll, SB_CTL, &si);
  EXPECT_EQ(si.nPos, 1);
}

TEST_F(ListInput, ATextTipAppearsAfterItsDelay) {
  HWND h = makeList(lx::LBS_NOTIFY, 20);
  SendMessage(h, lx::kMsgSetProperty, 263, 1);    // TextTip Fixed
  SendMessage(h, lx::kMsgSetProperty, 264, 500);  // TextTipDelay
  g.tipAnswer = "the whole title";
  POINT pt{30, 3 * inst_->rowHeight + 2};
  ClientToScreen(h, &pt);
  injectMouse(nullptr, pt, 0, false);
  clock_.advance(499);
  pumpMessages();
  EXPECT_EQ(g.tipRequests, 0);
  EXPECT_EQ(SendMessage(h, lx::kMsgTipQuery1, 0, 0), 0);
  clock_.advance(1);
  pumpMessages();
  ASSERT_EQ(g.tipRequests, 1);
  // The record is packed: its fields are read by value.
  const int row = g.lastTip.row, column = g.lastTip.column, result = g.lastTip.result, top = g.lastTip.top;
  EXPECT_EQ(row, 3);
  EXPECT_EQ(column, -1);
  EXPECT_STREQ(g.lastTip.text, "item 3");
  EXPECT_EQ(result, 0);  // "item 3" fits its row
  EXPECT_EQ(top, 3 * inst_->rowHeight);
  auto tip = reinterpret_cast<HWND>(SendMessage(h, lx::kMsgTipQuery1, 0, 0));
  ASSERT_TRUE(IsWindow(tip));
  EXPECT_TRUE(IsWindowVisible(tip));
  char text[64];
  GetWindowText(tip, text, sizeof text);
  EXPECT_STREQ(text, "the whole title");
  RECT tr;
  GetWindowRect(tip, &tr);
  EXPECT_GT(tr.right - tr.left, 15 * 2) << "the tip is as wide as its text";
  EXPECT_EQ(SendMessage(h, lx::kMsgTipQuery2, 0, 0), MAKELONG(static_cast<WORD>(-1), 3));

  // Moving to another row takes it down; a target that declines shows none.
  g.tipAnswer = nullptr;
  pt = POINT{30, 6 * inst_->rowHeight + 2};
  ClientToScreen(h, &pt);
  injectMouse(nullptr, pt, 0, false);
  EXPECT_FALSE(IsWindow(tip));
  clock_.advance(500);
  pumpMessages();
  EXPECT_EQ(g.tipRequests, 2);
  EXPECT_EQ(SendMessage(h, lx::kMsgTipQuery1, 0, 0), 0);

  // TextTip Off: no request at all.
  SendMessage(h, lx::kMsgSetProperty, 263, 0);
  pt = POINT{30, 8 * inst_->rowHeight + 2};
  ClientToScreen(h, &pt);
  injectMouse(nullptr, pt, 0, false);
  clock_.advance(1000);
  pumpMessages();
  EXPECT_EQ(g.tipRequests, 2);
}

}  // namespace

namespace {

TEST_F(ListInput, ABorderUnderTheMouseShowsTheResizeCursorAndDragsTheWidth) {
  HWND h = makeList(0, 20);
  SendMessage(h, lx::kMsgSetProperty, 71, 1);  // pixels
  SendMessage(h, lx::kMsgSetProperty, 32, 2);
  SendMessage(h, lx::kMsgSetProperty, 28, 0);
  float w = 60;
  SendMessage(h, lx::kMsgSetProperty, 73, reinterpret_cast<LPARAM>(&w));
  SendMessage(h, lx::kMsgSetProperty, 58, 1);   // HeaderShow
  SendMessage(h, lx::kMsgSetProperty, 142, 1);  // AllowColResize: in the header
  struct Case {
    int x, y;
    bool resize;
  } cases[] = {{60, 3, true}, {61, 3, true}, {30, 3, false}, {60, 40, false}};  // a row is no header
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    POINT pt{c.x, c.y};
    ClientToScreen(h, &pt);
    injectMouse(nullptr, pt, 0, false);  // WM_NCHITTEST, then WM_SETCURSOR
    EXPECT_EQ(GetCursor() == lx::columnBorderCursor(), c.resize);
  }
  // Dragging the border makes the column wider.
  SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 3));
  SendMessage(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(85, 3));
  SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(85, 3));
  SendMessage(h, lx::kMsgSetProperty, 28, 0);
  SendMessage(h, lx::kMsgGetProperty, 73, reinterpret_cast<LPARAM>(&w));
  EXPECT_FLOAT_EQ(w, 85.0f);
}

TEST_F(ListInput, MouseOverPropertiesAnswerWhatLiesUnderTheCursor) {
  HWND h = makeList(0, 20);
  SendMessage(h, lx::kMsgSetProperty, 71, 1);  // pixels
  SendMessage(h, lx::kMsgSetProperty, 32, 2);
  for (int c = 0; c < 2; ++c) {
    SendMessage(h, lx::kMsgSetProperty, 28, c);
    float w = 60;
    SendMessage(h, lx::kMsgSetProperty, 73, reinterpret_cast<LPARAM>(&w));
  }
  SendMessage(h, lx::kMsgSetProperty, 58, 1);  // HeaderShow
  const int header = static_cast<int>(SendMessage(h, lx::LB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  const int rh = inst_->rowHeight;
  struct Case {
    int x, y;
    int col, row, colHeader;
  } cases[] = {
      {10, header + 3 * rh + 2, 0, 3, -1},
      {70, header + 1, 1, 0, -1},
      {70, 2, -1, -1, 1},
      {150, header + 2 * rh, -1, 2, -1},  // beyond the last column: the row only
      {-5, 10, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    POINT pt{c.x, c.y};
    ClientToScreen(h, &pt);
    injectMouse(nullptr, pt, 0, false);
    auto get16 = [&](int id) {
      std::int16_t v = 0;
      SendMessage(h, lx::kMsgGetProperty, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
      return static_cast<int>(v);
    };
    std::int32_t row = 0;
    SendMessage(h, lx::kMsgGetProperty, 154, reinterpret_cast<LPARAM>(&row));
    EXPECT_EQ(get16(153), c.col);
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(get16(155), c.colHeader);
  }
}

}  // namespace
