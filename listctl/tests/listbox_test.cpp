// The list window: start-up and unload of the library's classes, the life of
// an instance record, and the dispatcher's fixed answers, pending steps and
// notifications. Runs on the window core without a display.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/pool/pool_debug.h"
#include "platform/fs/config_root.h"
#include "platform/testing/test_env.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

const char* const kAllClasses[] = {lx::kListClass, lx::kComboClass, lx::kVScrollClass, lx::kComboListClass,
                                   lx::kComboEditClass};

// What the parent (or another notify target) of a list receives.
struct Received {
  std::vector<std::pair<HWND, WPARAM>> commands;  // target, wParam of WM_COMMAND
  std::vector<LPARAM> commandSources;
  int measureCalls = 0;
  MEASUREITEMSTRUCT measured;
  UINT measureAnswer = 0;  // 0: leave the height
  int keyNotifies = 0;
  int keyAnswer = -1;      // -1: leave the key; else write it
  std::vector<unsigned> keysHandled;
  std::vector<unsigned> shiftsHandled;
  int steps = 0;
  int compares = 0;
  bool ownerCompares = false;
};
Received g;

LRESULT targetProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_COMMAND:
      g.commands.push_back({h, w});
      g.commandSources.push_back(l);
      return 0;
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
      ++g.measureCalls;
      g.measured = *mi;
      if (g.measureAnswer) mi->itemHeight = g.measureAnswer;
      return 1;
    }
    case WM_COMPAREITEM: {
      // Orders owner-drawn items by their value, when asked to.
      ++g.compares;
      if (!g.ownerCompares) return 0;
      const auto* ci = reinterpret_cast<const COMPAREITEMSTRUCT*>(l);
      return ci->itemData1 < ci->itemData2 ? -1 : ci->itemData1 > ci->itemData2 ? 1 : 0;
    }
    case lx::kNotifyKeyDown: {
      ++g.keyNotifies;
      if (g.keyAnswer >= 0) reinterpret_cast<lx::LbxKeyNotify*>(l)->key = static_cast<std::uint16_t>(g.keyAnswer);
      return 0;
    }
    default:
      return DefWindowProc(h, m, w, l);
  }
}

void recordKeys(lx::LbxInstance*, HWND, unsigned key, unsigned shifts) {
  g.keysHandled.push_back(key);
  g.shiftsHandled.push_back(shifts);
}
void countStep(lx::LbxInstance*, HWND) { ++g.steps; }

HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&g); }

class ListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    g = Received{};
    saved_ = lx::behaviour();
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = targetProc;
    wc.lpszClassName = "ListTestTarget";
    ASSERT_NE(RegisterClass(&wc), 0);
    parent_ = CreateWindow("ListTestTarget", "parent", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr,
                           nullptr, nullptr);
    other_ = CreateWindow("ListTestTarget", "other", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                          nullptr, nullptr);
    ASSERT_TRUE(parent_ && other_);
  }
  void TearDown() override {
    for (HWND h : lists_)
      if (IsWindow(h)) DestroyWindow(h);
    // Every list test ends with no instance left and the pool gone.
    EXPECT_EQ(lx::liveInstances(), 0);
    EXPECT_EQ(lx::poolUsers(), 0);
    EXPECT_EQ(lx::libraryPool(), nullptr);
    lx::behaviour() = saved_;
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    test::reset();
  }
  HWND makeList(DWORD style = 0, int id = 42) {
    HWND h = CreateWindow(lx::kListClass, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 120, 90, parent_,
                          reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    if (h) lists_.push_back(h);
    return h;
  }
  lx::PoolStats poolStats() {
    lx::PoolStats s;
    EXPECT_TRUE(lx::PoolGetStats(lx::libraryPool(), &s));
    return s;
  }

  HWND parent_ = nullptr, other_ = nullptr;
  std::vector<HWND> lists_;
  lx::ListBehaviour saved_{};
};

// ------------------------------------------------------------- start-up

TEST_F(ListBoxTest, AttachRegistersTheFiveClassesOnceAndDetachRemovesThem) {
  for (const char* name : kAllClasses) {
    WNDCLASS wc;
    ASSERT_TRUE(GetClassInfo(fakeModule(), name, &wc)) << name;
    EXPECT_EQ(wc.hInstance, fakeModule()) << name;
    EXPECT_EQ(wc.hbrBackground, nullptr) << name;
  }
  WNDCLASS list;
  ASSERT_TRUE(GetClassInfo(fakeModule(), lx::kListClass, &list));
  EXPECT_EQ(list.style, 0x400Bu);
  EXPECT_EQ(list.lpfnWndProc, &lx::ListBoxProc);
  EXPECT_EQ(list.cbWndExtra, static_cast<int>(sizeof(void*)));

  // A second attach while attached changes nothing.
  EXPECT_EQ(lx::LibraryEntry(reinterpret_cast<HINSTANCE>(&list), lx::DLL_PROCESS_ATTACH), 1);
  EXPECT_EQ(lx::libraryModule(), fakeModule());
  EXPECT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_THREAD_ATTACH), 1);

  EXPECT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH), 1);
  for (const char* name : kAllClasses) {
    WNDCLASS wc;
    EXPECT_FALSE(GetClassInfo(fakeModule(), name, &wc)) << name;
  }
  EXPECT_EQ(lx::libraryModule(), nullptr);
  ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
}

TEST_F(ListBoxTest, AttachIsRefusedWhenTheListClassIsTaken) {
  lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
  WNDCLASS wc;
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = targetProc;
  wc.hInstance = fakeModule();
  wc.lpszClassName = lx::kListClass;
  ASSERT_NE(RegisterClass(&wc), 0);
  EXPECT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 0);
  EXPECT_EQ(lx::libraryModule(), nullptr);
  UnregisterClass(lx::kListClass, fakeModule());
  EXPECT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
}

TEST_F(ListBoxTest, StyleBitsAtCreation) {
  struct Case {
    DWORD style;
    UINT measureAnswer;
    bool measured;       // WM_MEASUREITEM reached the parent
    int rowHeight;       // 0: the font's height
  } cases[] = {
      {0, 37, false, 0},
      {lx::LBS_NOTIFY, 37, false, 0},
      {lx::LBS_OWNERDRAWFIXED, 37, true, 37},
      {lx::LBS_OWNERDRAWFIXED, 0, true, 0},  // an unanswered measure keeps the font's height
      {WS_VSCROLL | WS_HSCROLL, 37, false, 0},
      {WS_VSCROLL | lx::LBS_OWNERDRAWFIXED | lx::LBS_NOTIFY, 19, true, 19},
  };
  HWND plain = makeList();
  ASSERT_NE(plain, nullptr);
  const int fontHeight = lx::instanceOf(plain)->rowHeight;
  ASSERT_GT(fontHeight, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << c.style);
    g.measureCalls = 0;
    g.measureAnswer = c.measureAnswer;
    HWND h = makeList(c.style, 7);
    ASSERT_NE(h, nullptr);
    lx::LbxInstance* inst = lx::instanceOf(h);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(g.measureCalls, c.measured ? 1 : 0);
    if (c.measured) {
      EXPECT_EQ(g.measured.CtlType, 2u);
      EXPECT_EQ(g.measured.CtlID, 7u);
      EXPECT_EQ(g.measured.itemID, 0u);
    }
    EXPECT_EQ(inst->rowHeight, c.rowHeight ? c.rowHeight : fontHeight);
    const auto ws = static_cast<DWORD>(GetWindowLong(h, GWL_STYLE));
    EXPECT_EQ(ws & 0x300000u, 0u);
    EXPECT_EQ(inst->style & 0x300000u, 0u);
    EXPECT_EQ(ws & 0xFFFFu, c.style & 0xFFFFu);
    DestroyWindow(h);
  }
}

TEST_F(ListBoxTest, NewInstanceDefaults) {
  tvtest::writeFile(plat::fs::configRoot() / "win.ini", "[intl]\r\nsDecimal=,\r\nsThousand=\xC2\xB7\r\n");
  HWND h = makeList(0, 0x12345);
  ASSERT_NE(h, nullptr);
  lx::LbxInstance* inst = lx::instanceOf(h);
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst->hwnd, h);
  EXPECT_EQ(inst->parent, parent_);
  EXPECT_EQ(inst->controlId, 0x2345);  // 16 bits of the identifier
  EXPECT_EQ(inst->itemsPerPage, 3555);
  EXPECT_EQ(inst->curSel, -1);
  EXPECT_EQ(inst->anchor, -1);
  EXPECT_EQ(inst->hitColumn, 0xFFFF);
  EXPECT_EQ(inst->hitRow, -1);
  EXPECT_EQ(inst->tabWidth, 2);
  EXPECT_EQ(inst->selBackColor, 0x8000000Du);
  EXPECT_EQ(inst->selTextColor, 0x8000000Eu);
  EXPECT_EQ(inst->tipDelayMs, 500);
  EXPECT_EQ(inst->tipBackColor, 0x80000018u);
  EXPECT_EQ(inst->tipTextColor, 0x80000017u);
  EXPECT_EQ(inst->decimalSep, U',');
  EXPECT_EQ(inst->thousandSep, U'\u00B7');
  EXPECT_EQ(inst->horzResolution, screenDpi());
  EXPECT_EQ(inst->vScrollWidth, GetSystemMetrics(SM_CXVSCROLL) - 1);
  EXPECT_EQ(inst->font, 0xFFFF);
  EXPECT_EQ(inst->noneFloat1, -1.0f);
  EXPECT_TRUE(inst->notifyEnable && inst->keyNotify);
  int lineStyle2 = 0;
  for (lx::LbxAttr* a : inst->attrs) {
    ASSERT_NE(a, nullptr);
    if (a->lineStyle == 2) ++lineStyle2;
  }
  EXPECT_EQ(lineStyle2, 2);
  // Two zero-size scroll-bar children.
  ASSERT_TRUE(IsWindow(inst->hScroll) && IsWindow(inst->vScroll));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(inst->vScroll, GWL_STYLE)) & 0x40000001u, 0x40000001u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(inst->hScroll, GWL_STYLE)) & 1u, 0u);
  RECT r;
  GetWindowRect(inst->vScroll, &r);
  EXPECT_EQ(r.right - r.left, 0);
  // The record and its five attribute records are the pool's only blocks.
  EXPECT_EQ(poolStats().blocksInUse, 6u);
}

TEST_F(ListBoxTest, SeparatorsDefaultWithoutRegionalSettings) {
  HWND h = makeList();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(lx::instanceOf(h)->decimalSep, U'.');
  EXPECT_EQ(lx::instanceOf(h)->thousandSep, U',');
}

TEST_F(ListBoxTest, NoDeviceContextLeavesNothingBehind) {
  const int windows = test::liveWindowCount();
  test::failGetDC(1);
  EXPECT_EQ(makeList(), nullptr);
  EXPECT_EQ(test::liveWindowCount(), windows);
  EXPECT_EQ(lx::liveInstances(), 0);
  EXPECT_EQ(lx::libraryPool(), nullptr);
  EXPECT_EQ(lx::columnBorderCursor(), nullptr);

  // With another list alive the pool stays, holding only that list's blocks.
  HWND first = makeList();
  ASSERT_NE(first, nullptr);
  const std::size_t blocks = poolStats().blocksInUse;
  test::failGetDC(1);
  EXPECT_EQ(makeList(), nullptr);
  EXPECT_EQ(lx::liveInstances(), 1);
  EXPECT_EQ(lx::poolUsers(), 1);
  EXPECT_EQ(poolStats().blocksInUse, blocks);
  std::string fault;
  EXPECT_TRUE(lx::PoolCheck(lx::libraryPool(), &fault)) << fault;
}

TEST_F(ListBoxTest, LastDestroyFreesCursorsBrushAndPool) {
  const int gdiBefore = test::liveGdiObjectCount();
  HWND a = makeList();
  HWND b = makeList();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(lx::liveInstances(), 2);
  EXPECT_EQ(lx::poolUsers(), 2);
  // The two resize cursors are pictures of the library's own, not system cursors.
  const HCURSOR cursors[2] = {lx::columnBorderCursor(), lx::groupBorderCursor()};
  EXPECT_NE(cursors[0], cursors[1]);
  for (HCURSOR c : cursors) {
    const detail::CursorImage* img = detail::cursorImage(c);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 32);
    EXPECT_EQ(img->xHot, 16);
    int black = 0;
    for (std::size_t i = 0; i < img->andPlane.size(); ++i)
      for (int bit = 0; bit < 8; ++bit) black += !((img->andPlane[i] | img->xorPlane[i]) >> bit & 1);
    EXPECT_GT(black, 40);
  }
  EXPECT_NE(detail::cursorImage(cursors[0])->andPlane, detail::cursorImage(cursors[1])->andPlane);
  EXPECT_FALSE(lx::hasFocusBrush());  // made only when first drawn
  ASSERT_NE(lx::focusPatternBrush(), nullptr);
  EXPECT_EQ(lx::focusPatternBrush(), lx::focusPatternBrush());

  DestroyWindow(a);
  EXPECT_EQ(lx::liveInstances(), 1);
  EXPECT_TRUE(lx::hasFocusBrush());
  ASSERT_NE(lx::libraryPool(), nullptr);
  EXPECT_EQ(poolStats().blocksInUse, 6u);

  DestroyWindow(b);
  EXPECT_EQ(lx::liveInstances(), 0);
  EXPECT_FALSE(lx::hasFocusBrush());
  EXPECT_EQ(lx::columnBorderCursor(), nullptr);
  EXPECT_EQ(lx::groupBorderCursor(), nullptr);
  EXPECT_EQ(detail::cursorImage(cursors[0]), nullptr);
  EXPECT_EQ(lx::libraryPool(), nullptr);
  EXPECT_EQ(test::liveGdiObjectCount(), gdiBefore);
}

// ------------------------------------------------------------- dispatcher

TEST_F(ListBoxTest, FixedAnswers) {
  HWND h = makeList();
  HWND od = makeList(lx::LBS_OWNERDRAWFIXED);
  ASSERT_TRUE(h && od);
  const int rowHeight = lx::instanceOf(h)->rowHeight;
  int one = 4, two[2] = {4, 8};
  char buf[16] = "x";
  struct Case {
    const char* what;
    HWND hwnd;
    UINT msg;
    WPARAM w;
    LPARAM l;
    LRESULT expected;
  } cases[] = {
      {"WM_SETTEXT", h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("new"), -2},
      {"WM_GETDLGCODE", h, WM_GETDLGCODE, 0, 0, 0x81},
      {"LB_DIR", h, lx::LB_DIR, 0, reinterpret_cast<LPARAM>("*.*"), -1},
      {"LB_SETTABSTOPS 0", h, lx::LB_SETTABSTOPS, 0, 0, 0},
      {"LB_SETTABSTOPS 2", h, lx::LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(two), 0},
      {"LB_SETTABSTOPS 1 without stops", h, lx::LB_SETTABSTOPS, 1, 0, 0},
      {"LB_SETTABSTOPS 1", h, lx::LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&one), 1},
      {"LB_GETITEMHEIGHT header", h, lx::LB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0, 0},
      {"LB_GETITEMHEIGHT row", h, lx::LB_GETITEMHEIGHT, 0, 0, rowHeight},
      {"hit row", h, lx::LB_GETHITROW, 0, 0, -1},
      {"last hit cell", h, lx::kMsgLastHitCell, 0, 0, -1},
      {"LB_GETCOUNT", h, lx::LB_GETCOUNT, 0, 0, 0},
      {"LB_GETCURSEL", h, lx::LB_GETCURSEL, 0, 0, -1},
      {"LB_GETITEMDATA, no item", h, lx::LB_GETITEMDATA, 0, 0, -1},
      {"LB_SETITEMDATA, no item", h, lx::LB_SETITEMDATA, 0, 5, -1},
      {"LB_ADDSTRING", h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"), 0},
      {"LB_SETITEMDATA", h, lx::LB_SETITEMDATA, 0, 5, 0},
      {"LB_GETITEMDATA", h, lx::LB_GETITEMDATA, 0, 0, 5},
      {"property set", h, lx::kMsgSetProperty, 105, 16, 0},
      {"property get", h, lx::kMsgGetPropertyAlias, 105, 0, 16},
      {"WM_GETTEXT", h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), 0},
      {"WM_GETTEXT owner-draw", od, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), -1},
      {"current text, none", h, lx::kMsgCurrentText, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(buf), 1},
      {"current text length, none", h, lx::kMsgCurrentTextLength, static_cast<WPARAM>(-1), 0, 0},
      {"WM_ERASEBKGND", h, WM_ERASEBKGND, 0, 0, 1},
      {"WM_NCHITTEST", h, WM_NCHITTEST, 0, 0, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(SendMessage(c.hwnd, c.msg, c.w, c.l), c.expected) << c.what;
  EXPECT_EQ(lx::instanceOf(h)->tabWidth, 4);
  // With the header shown, index -1 answers its height.
  SendMessage(h, lx::kMsgSetProperty, 58, 1);  // HeaderShow
  EXPECT_EQ(SendMessage(h, lx::LB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), rowHeight + 4);
  SendMessage(h, lx::kMsgSetProperty, 230, 30);  // ColumnHeaderHeight
  EXPECT_EQ(SendMessage(h, lx::LB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), 30);
  EXPECT_STREQ(buf, "");
  char title[8];
  GetWindowText(h, title, sizeof title);
  EXPECT_STREQ(title, "");  // WM_SETTEXT left the text alone
}

TEST_F(ListBoxTest, WindowTextIsTheSelectedItemCutToTheCallersBuffer) {
  HWND h = makeList();
  ASSERT_TRUE(h);
  ASSERT_EQ(SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("h\xC3\xA9llo world")), 0);
  ASSERT_EQ(SendMessage(h, lx::LB_SETCURSEL, 0, 0), 0);
  struct Case {
    WPARAM capacity;
    LRESULT copied;
    const char* text;  // what the buffer holds afterwards
  } cases[] = {
      {64, 12, "h\xC3\xA9llo world"},
      {13, 12, "h\xC3\xA9llo world"},  // exactly the text and its NUL
      {12, 11, "h\xC3\xA9llo worl"},
      {3, 1, "h"},  // never half a character
      {2, 1, "h"},
      {1, 0, ""},
      {0, 0, "untouched"},
  };
  for (const Case& c : cases) {
    char buf[64] = "untouched";
    EXPECT_EQ(SendMessage(h, WM_GETTEXT, c.capacity, reinterpret_cast<LPARAM>(buf)), c.copied) << c.capacity;
    EXPECT_STREQ(buf, c.text) << c.capacity;
  }
}

TEST(ListLibraryAttach, ReadsNoScreen) {
  // A library loads before any display need exist.
  test::reset();
  ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
  EXPECT_FALSE(test::screenWasRead());
  lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
  test::reset();
}

TEST_F(ListBoxTest, TheResolutionIsReadAtTheFirstList) {
  test::setScreen(1024, 768, 120);
  ASSERT_TRUE(makeList());
  EXPECT_EQ(lx::pixelsPerInchY(), 120);
}

TEST_F(ListBoxTest, ThreePostsOfOnePendingStepRunItOnce) {
  HWND h = makeList();
  ASSERT_NE(h, nullptr);
  while (pumpMessages() > 0) {
  }
  lx::behaviour().pending[0] = countStep;  // 0x600
  lx::behaviour().pending[8] = countStep;  // 0x608
  lx::LbxInstance* inst = lx::instanceOf(h);
  for (int i = 0; i < 3; ++i) lx::postPending(inst, 0x600);
  EXPECT_EQ(inst->pending & 0x200u, 0x200u);
  pumpMessages();
  EXPECT_EQ(g.steps, 1);
  EXPECT_EQ(inst->pending & 0x200u, 0u);
  // A step message whose bit is clear runs nothing.
  SendMessage(h, 0x600, 0, 0);
  SendMessage(h, 0x608, 0, 0);
  EXPECT_EQ(g.steps, 1);
  // Two different steps each run once.
  lx::postPending(inst, 0x608);
  lx::postPending(inst, 0x600);
  lx::postPending(inst, 0x608);
  pumpMessages();
  EXPECT_EQ(g.steps, 3);
}

TEST_F(ListBoxTest, NotificationsGoToTheSetTargetElseTheParent) {
  HWND h = makeList(lx::LBS_NOTIFY, 1062);
  HWND quiet = makeList(0, 9);
  ASSERT_TRUE(h && quiet);
  SetFocus(h);
  SetFocus(quiet);
  ASSERT_EQ(g.commands.size(), 2u);
  EXPECT_EQ(g.commands[0].first, parent_);
  EXPECT_EQ(g.commands[0].second, MAKEWPARAM(1062, 4));
  EXPECT_EQ(g.commands[1].second, MAKEWPARAM(1062, 5));
  EXPECT_EQ(g.commandSources[0], reinterpret_cast<LPARAM>(h));

  g.commands.clear();
  EXPECT_EQ(SendMessage(h, lx::kMsgSetNotifyTarget, 0, reinterpret_cast<LPARAM>(other_)), 0);
  EXPECT_EQ(SendMessage(h, lx::kMsgGetNotifyTarget, 0, 0), reinterpret_cast<LRESULT>(other_));
  SetFocus(h);
  ASSERT_EQ(g.commands.size(), 1u);
  EXPECT_EQ(g.commands[0].first, other_);
  EXPECT_EQ(g.commands[0].second, MAKEWPARAM(1062, 4));

  // A target that has gone hands the notifications back to the parent.
  HWND gone = CreateWindow("ListTestTarget", "gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(gone);
  SendMessage(h, lx::kMsgSetNotifyTarget, 0, reinterpret_cast<LPARAM>(gone));
  EXPECT_EQ(lx::instanceOf(h)->firstNotify, other_);
  DestroyWindow(gone);
  g.commands.clear();
  SetFocus(quiet);
  SetFocus(h);
  ASSERT_EQ(g.commands.size(), 2u);  // LBN_KILLFOCUS (quiet has no LBS_NOTIFY), LBN_SETFOCUS
  for (const auto& [target, w] : g.commands) EXPECT_EQ(target, parent_);
}

TEST_F(ListBoxTest, KeyDownNotificationMayChangeOrZeroTheKey) {
  struct Case {
    const char* what;
    int answer;      // what the target writes; -1 leaves the key
    bool keyNotify;
    int handled;     // key given to the keyboard handler; -1 none
  } cases[] = {
      {"left alone", -1, true, VK_DOWN},
      {"changed", VK_UP, true, VK_UP},
      {"zeroed", 0, true, -1},
      {"notification off", 0, false, VK_DOWN},
  };
  lx::behaviour().keyboard = recordKeys;
  HWND h = makeList();
  ASSERT_NE(h, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g.keysHandled.clear();
    g.keyNotifies = 0;
    g.keyAnswer = c.answer;
    lx::instanceOf(h)->keyNotify = c.keyNotify;
    SendMessage(h, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(g.keyNotifies, c.keyNotify ? 1 : 0);
    if (c.handled < 0) {
      EXPECT_TRUE(g.keysHandled.empty());
    } else {
      ASSERT_EQ(g.keysHandled.size(), 1u);
      EXPECT_EQ(g.keysHandled[0], static_cast<unsigned>(c.handled));
    }
  }
  g.keyAnswer = -1;
  lx::instanceOf(h)->keyNotify = true;
  g.shiftsHandled.clear();
  setKeyState(VK_SHIFT, true);
  setKeyState(VK_CONTROL, true);
  SendMessage(h, WM_KEYDOWN, VK_DELETE, 1);
  setKeyState(VK_SHIFT, false);
  setKeyState(VK_CONTROL, false);
  ASSERT_EQ(g.shiftsHandled.size(), 1u);
  EXPECT_EQ(g.shiftsHandled[0], 3u);
}

TEST_F(ListBoxTest, ASortedOwnerDrawnListAsksItsOwnerToOrderItems) {
  struct Case {
    bool ownerCompares;
    std::vector<std::uintptr_t> order;
  } cases[] = {{true, {10, 20, 30, 40}}, {false, {30, 10, 40, 20}}};  // no answer: all equal, added in turn
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ownerCompares);
    g.ownerCompares = c.ownerCompares;
    g.compares = 0;
    HWND h = makeList(lx::LBS_OWNERDRAWFIXED | lx::LBS_SORT);
    for (std::uintptr_t v : {30, 10, 40, 20}) SendMessage(h, lx::LB_ADDSTRING, 0, static_cast<LPARAM>(v));
    EXPECT_GT(g.compares, 0);
    std::vector<std::uintptr_t> got;
    for (int i = 0; i < 4; ++i) {
      std::uintptr_t v = 0;
      SendMessage(h, lx::LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&v));
      got.push_back(v);
    }
    EXPECT_EQ(got, c.order);
    DestroyWindow(h);
  }
}

TEST_F(ListBoxTest, ExtentAndHitCellPacking) {
  HWND h = makeList();
  ASSERT_NE(h, nullptr);
  const char* text = "abcdefg";
  HDC dc = GetDC(h);
  SIZE sz;
  GetTextExtentPoint32(dc, text, static_cast<int>(std::strlen(text)), &sz);
  ReleaseDC(h, dc);
  ASSERT_GT(sz.cx, 0);
  ASSERT_NE(sz.cx, sz.cy);
  const auto packed = static_cast<ULONG_PTR>(SendMessage(h, lx::kMsgTextExtent, 0, reinterpret_cast<LPARAM>(text)));
  EXPECT_EQ(LOWORD(packed), sz.cx);  // width low
  EXPECT_EQ(HIWORD(packed), sz.cy);  // height high
  EXPECT_EQ(SendMessage(h, lx::kMsgTextExtent, 0, 0), -1);  // no item 0

  lx::LbxInstance* inst = lx::instanceOf(h);
  inst->hitRow = 7;
  inst->hitColumn = 3;
  EXPECT_EQ(SendMessage(h, lx::kMsgLastHitCell, 0, 0), (7 << 16) | 3);
  EXPECT_EQ(SendMessage(h, lx::LB_GETHITROW, 0, 0), 7);
}

TEST_F(ListBoxTest, RedrawMultiSelectionAndFrameRecord) {
  HWND h = makeList();
  ASSERT_NE(h, nullptr);
  lx::LbxInstance* inst = lx::instanceOf(h);
  SendMessage(h, WM_SETREDRAW, 0, 0);
  EXPECT_EQ(inst->styleWord & lx::kStyleNoRedraw, lx::kStyleNoRedraw);
  SendMessage(h, WM_SETREDRAW, 1, 0);
  EXPECT_EQ(inst->styleWord & lx::kStyleNoRedraw, 0u);

  while (pumpMessages() > 0) {
  }
  SendMessage(h, lx::kMsgSetMultiSel, 1, 0);
  EXPECT_TRUE(GetWindowLong(h, GWL_STYLE) & lx::LBS_MULTIPLESEL);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, h, lx::LB_SETCURSEL, lx::LB_SETCURSEL, PM_REMOVE));
  EXPECT_EQ(static_cast<LONG_PTR>(m.wParam), -1);
  SendMessage(h, lx::kMsgSetMultiSel, 0, 0);
  EXPECT_FALSE(GetWindowLong(h, GWL_STYLE) & lx::LBS_MULTIPLESEL);

  std::uint8_t frame[lx::kFrameRecordSize];
  for (std::size_t i = 0; i < sizeof frame; ++i) frame[i] = static_cast<std::uint8_t>(i * 3);
  SendMessage(h, lx::kMsgSetFrame, 0, reinterpret_cast<LPARAM>(frame));
  std::uint8_t back[lx::kFrameRecordSize] = {};
  SendMessage(h, lx::kMsgGetFrame, 0, reinterpret_cast<LPARAM>(back));
  EXPECT_EQ(std::memcmp(frame, back, sizeof frame), 0);
}

TEST(ListGlobalText, CopyIsOwnedAndFreedByTheCaller) {
  const int before = test::liveGlobalCount();
  HGLOBAL mem = lx::globalTextCopy("K\xC3\xA4se");
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(GlobalSize(mem), 6u);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(mem)), "K\xC3\xA4se");
  GlobalUnlock(mem);
  EXPECT_EQ(GlobalFree(mem), nullptr);
  EXPECT_EQ(test::liveGlobalCount(), before);
  test::failGlobalAlloc(1);
  EXPECT_EQ(lx::globalTextCopy("x"), nullptr);
}

}  // namespace
