// The combo box on the window core without a display: its children, the
// forwarded list requests, dropping down and placing the list, picking with
// the mouse and the keys, typing with completion, the text of a Drop-Down
// List, its properties and the notifications that reach the parent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listctl/combo/combo.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "platform/win/edit.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;
namespace props = lindra::props;

namespace {

struct Received {
  std::vector<unsigned> codes;  // CBN_ codes from the combo, in order
  int cancelDrop = 0;           // answer to the before-drop-down query
  int keyAnswer = -1;           // -1: leave the key code; else write it
  int charAnswer = -1;          // the same for characters
  unsigned destroyOn = 0;       // destroy the combo at this notification
  HWND combo = nullptr;
  int mouseEvents = 0;
};
Received g;

LRESULT parentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_COMMAND:
      if (LOWORD(w) == 77) {
        g.codes.push_back(HIWORD(w));
        if (g.destroyOn && HIWORD(w) == g.destroyOn && IsWindow(g.combo)) DestroyWindow(g.combo);
      }
      return 0;
    case lx::kCbxBeforeDropDown:
      *reinterpret_cast<std::int32_t*>(l) = g.cancelDrop;
      return 0;
    case lx::kCbxKeyEvent:
      if (g.keyAnswer >= 0) *reinterpret_cast<std::uint32_t*>(l) = static_cast<std::uint32_t>(g.keyAnswer);
      return 0;
    case lx::kCbxCharEvent:
      if (g.charAnswer >= 0) *reinterpret_cast<std::uint32_t*>(l) = static_cast<std::uint32_t>(g.charAnswer);
      return 0;
    case lx::kCbxMouseEvent:
      ++g.mouseEvents;
      return 0;
    default:
      return DefWindowProc(h, m, w, l);
  }
}

HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&g); }

int count(unsigned code) {
  int n = 0;
  for (unsigned c : g.codes) n += c == code;
  return n;
}

class ComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    test::setScreen(800, 600, 96);
    g = Received{};
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = "ComboTestParent";
    ASSERT_NE(RegisterClass(&wc), 0);
    parent_ = CreateWindow("ComboTestParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                           nullptr, nullptr);
    other_ = CreateWindow("ComboTestParent", "", WS_CHILD | WS_VISIBLE, 400, 400, 50, 50, parent_,
                          reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ASSERT_TRUE(parent_ && other_);
  }
  void TearDown() override {
    if (IsWindow(parent_)) DestroyWindow(parent_);
    EXPECT_EQ(lx::liveCombos(), 0);
    EXPECT_EQ(lx::liveInstances(), 0);
    EXPECT_EQ(lx::droppedCombo(), nullptr);
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    test::reset();
  }

  HWND make(DWORD style = lx::CBS_DROPDOWN, int x = 10, int y = 10, int w = 150, int h = 24) {
    HWND c = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                          reinterpret_cast<HMENU>(77), nullptr, nullptr);
    g.combo = c;
    if (c) pumpMessages();  // the posted layout
    return c;
  }
  void fill(HWND c, std::initializer_list<const char*> items) {
    for (const char* s : items) SendMessage(c, lx::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  }
  static HWND list(HWND c) { return reinterpret_cast<HWND>(SendMessage(c, lx::kCbxGetList, 0, 0)); }
  static HWND edit(HWND c) { return GetDlgItem(c, lx::kComboEditId); }
  static std::string text(HWND h) {
    char buf[256];
    GetWindowText(h, buf, sizeof buf);
    return buf;
  }
  static bool dropped(HWND c) { return SendMessage(c, lx::CB_GETDROPPEDSTATE, 0, 0) == 1; }
  static RECT rect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return r;
  }
  static void click(POINT screen) {
    injectMouse(nullptr, screen, 1, true);
    injectMouse(nullptr, screen, 1, false);
  }
  // The screen point of row `row` of an open list.
  static POINT rowPoint(HWND c, int row) {
    HWND l = list(c);
    const int h = static_cast<int>(SendMessage(c, lx::CB_GETITEMHEIGHT, 0, 0));
    POINT pt{5, row * h + h / 2};
    ClientToScreen(l, &pt);
    return pt;
  }
  static POINT buttonPoint(HWND c) {
    RECT r = rect(c);
    return POINT{r.right - 4, (r.top + r.bottom) / 2};
  }
  void type(HWND c, const std::string& s) {
    for (char ch : s) injectChar(static_cast<unsigned char>(ch));
    (void)c;
  }

  HWND parent_ = nullptr, other_ = nullptr;
};

// ------------------------------------------------------------- children

TEST_F(ComboTest, EachStyleGetsItsChildren) {
  struct Case {
    DWORD style;
    bool hasEdit, listIsPopup;
  } cases[] = {
      {lx::CBS_DROPDOWN, true, true},
      {lx::CBS_SIMPLE, true, false},
      {lx::CBS_DROPDOWNLIST, false, true},
  };
  for (const Case& k : cases) {
    HWND c = make(k.style);
    ASSERT_TRUE(c) << k.style;
    HWND l = list(c);
    ASSERT_TRUE(l);
    EXPECT_EQ(SendMessage(l, lx::kMsgGetNotifyTarget, 0, 0), reinterpret_cast<LRESULT>(c));
    EXPECT_EQ((GetWindowLong(l, GWL_STYLE) & static_cast<LONG>(WS_POPUP)) != 0, k.listIsPopup);
    EXPECT_EQ(edit(c) != nullptr, k.hasEdit);
    if (k.hasEdit) {
      EXPECT_EQ(SendMessage(edit(c), EM_GETLIMITTEXT, 0, 0), 150);
    }
    EXPECT_EQ(SendMessage(c, lx::CB_GETDROPPEDSTATE, 0, 0), k.style == lx::CBS_SIMPLE ? 1 : 0);
    DestroyWindow(c);
    EXPECT_FALSE(IsWindow(l));
  }
  EXPECT_EQ(lx::liveCombos(), 0);
}

TEST_F(ComboTest, ADisabledComboDisablesItsEdit) {
  HWND c = make(lx::CBS_DROPDOWN | WS_DISABLED);
  EXPECT_FALSE(IsWindowEnabled(edit(c)));
}

// ------------------------------------------------------------- forwarded requests

TEST_F(ComboTest, ListRequestsGoToTheListAndTheShownTextFollowsTheSelection) {
  HWND c = make(lx::CBS_DROPDOWN | lx::CBS_SORT);
  fill(c, {"pear", "apple", "fig"});
  EXPECT_EQ(SendMessage(c, lx::CB_GETCOUNT, 0, 0), 3);
  char buf[32];
  EXPECT_EQ(SendMessage(c, lx::CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf)), 5);
  EXPECT_STREQ(buf, "apple");  // sorted by the list
  EXPECT_EQ(SendMessage(c, lx::CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("FIG")), 1);
  SendMessage(c, lx::CB_SETCURSEL, 2, 0);
  EXPECT_EQ(text(c), "pear");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 2);
  // An item inserted before the shown one moves it; the text stays.
  SendMessage(c, lx::CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("kiwi"));
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(text(c), "pear");
  SendMessage(c, lx::CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(text(c), "");
  SendMessage(c, lx::CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessage(c, lx::CB_GETCOUNT, 0, 0), 0);
  EXPECT_TRUE(g.codes.empty());  // the program's own changes are not reported
}

TEST_F(ComboTest, EditRequestsWithoutAnEditAnswerError) {
  HWND c = make(lx::CBS_DROPDOWNLIST);
  EXPECT_EQ(SendMessage(c, lx::CB_GETEDITSEL, 0, 0), lx::CB_ERR);
  EXPECT_EQ(SendMessage(c, lx::CB_LIMITTEXT, 5, 0), lx::CB_ERR);
  HWND d = make(lx::CBS_DROPDOWN);
  SetWindowText(d, "abcdef");
  SendMessage(d, lx::CB_SETEDITSEL, 0, MAKELPARAM(1, 3));
  EXPECT_EQ(SendMessage(d, lx::CB_GETEDITSEL, 0, 0), MAKELONG(1, 3));
  SendMessage(d, lx::CB_LIMITTEXT, 4, 0);
  EXPECT_EQ(SendMessage(edit(d), EM_GETLIMITTEXT, 0, 0), 4);
}

// ------------------------------------------------------------- dropping down

TEST_F(ComboTest, AnEmptyListStaysClosedAfterCbnDropDown) {
  HWND c = make();
  SetFocus(c);
  g.codes.clear();
  SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(g.codes, (std::vector<unsigned>{lx::CBN_DROPDOWN}));
  EXPECT_FALSE(IsWindowVisible(list(c)));
}

TEST_F(ComboTest, DroppingDownShowsMaxDropRowsUnderTheComboAndClosingUpHidesThem) {
  HWND c = make();
  fill(c, {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"});
  SetFocus(c);
  g.codes.clear();
  SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);
  ASSERT_TRUE(dropped(c));
  HWND l = list(c);
  EXPECT_TRUE(IsWindowVisible(l));
  EXPECT_EQ(lx::droppedCombo(), c);
  const RECT cr = rect(c), lr = rect(l);
  EXPECT_EQ(lr.top, cr.bottom);
  EXPECT_EQ(lr.left, cr.left);
  EXPECT_EQ(lr.right - lr.left, cr.right - cr.left);
  RECT client;
  GetClientRect(l, &client);
  const int row = static_cast<int>(SendMessage(c, lx::CB_GETITEMHEIGHT, 0, 0));
  EXPECT_EQ(client.bottom, 8 * row);  // MaxDrop 8 of 10
  // Asking for the state it already has does nothing.
  SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);
  SendMessage(c, lx::CB_SHOWDROPDOWN, 0, 0);
  EXPECT_FALSE(dropped(c));
  EXPECT_FALSE(IsWindowVisible(l));
  EXPECT_EQ(lx::droppedCombo(), nullptr);
  EXPECT_EQ(g.codes, (std::vector<unsigned>{lx::CBN_DROPDOWN, lx::CBN_CLOSEUP}));
}

TEST_F(ComboTest, TheListStaysClosedWhenCancelledWithoutFocusOrInASimpleCombo) {
  HWND c = make();
  fill(c, {"a"});
  SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);  // no focus
  EXPECT_FALSE(dropped(c));
  EXPECT_TRUE(g.codes.empty());
  SetFocus(c);
  g.cancelDrop = 1;
  SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(count(lx::CBN_DROPDOWN), 0);
  HWND s = make(lx::CBS_SIMPLE);
  fill(s, {"a"});
  SetFocus(s);
  g.cancelDrop = 0;
  g.codes.clear();
  SendMessage(s, lx::CB_SHOWDROPDOWN, 1, 0);
  EXPECT_EQ(count(lx::CBN_DROPDOWN), 0);
}

TEST_F(ComboTest, TheListIsPlacedWithinTheScreen) {
  struct Case {
    const char* name;
    int x, y, listWidth;
    int position;  // ListPosition
    bool above;
    int left;      // expected screen left, -1: the combo's left
  } cases[] = {
      {"room below", 10, 10, -1, 0, false, -1},
      {"too close to the bottom", 10, 560, -1, 0, true, -1},
      {"asked above", 10, 300, -1, 1, true, -1},
      {"wider than the room on the right", 700, 10, 300, 0, false, 500},
      {"wider than the screen", 10, 10, 1000, 0, false, 0},
  };
  for (const Case& k : cases) {
    HWND c = make(lx::CBS_DROPDOWN, k.x, k.y);
    fill(c, {"a", "b", "c", "d"});
    if (k.listWidth > 0) CbxSetListWidth(c, k.listWidth);
    CbxSetListPosition(c, static_cast<std::int16_t>(k.position));
    SetFocus(c);
    SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);
    ASSERT_TRUE(dropped(c)) << k.name;
    const RECT cr = rect(c), lr = rect(list(c));
    EXPECT_EQ(k.above ? lr.bottom : lr.top, k.above ? cr.top : cr.bottom) << k.name;
    EXPECT_EQ(lr.left, k.left < 0 ? cr.left : k.left) << k.name;
    EXPECT_GE(lr.left, 0) << k.name;
    DestroyWindow(c);
  }
}

// ------------------------------------------------------------- picking

TEST_F(ComboTest, AClickOnTheButtonOpensAndAClickOnARowPicksIt) {
  HWND c = make();
  fill(c, {"red", "green", "blue"});
  click(buttonPoint(c));
  ASSERT_TRUE(dropped(c));
  EXPECT_EQ(GetFocus(), edit(c));
  g.codes.clear();
  click(rowPoint(c, 1));
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(text(c), "green");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(g.codes, (std::vector<unsigned>{lx::CBN_CLOSEUP, lx::CBN_SELCHANGE, lx::kCbnClick}));
  EXPECT_EQ(GetFocus(), edit(c));  // the list never took the focus
  // The whole edit text is selected after a pick.
  EXPECT_EQ(SendMessage(c, lx::CB_GETEDITSEL, 0, 0), MAKELONG(0, 5));
  // Without the click event the pick is only a selection change; picking
  // the shown item again changes nothing.
  LC_SetEnableClickEvent(c, 0);
  g.codes.clear();
  click(buttonPoint(c));
  click(rowPoint(c, 2));
  EXPECT_EQ(g.codes, (std::vector<unsigned>{lx::CBN_DROPDOWN, lx::CBN_CLOSEUP, lx::CBN_SELCHANGE}));
  g.codes.clear();
  click(buttonPoint(c));
  click(rowPoint(c, 2));
  EXPECT_EQ(g.codes, (std::vector<unsigned>{lx::CBN_DROPDOWN, lx::CBN_CLOSEUP}));
}

TEST_F(ComboTest, APressDraggedOntoTheListPicksWhereItIsReleased) {
  HWND c = make(lx::CBS_DROPDOWNLIST);
  fill(c, {"one", "two", "three"});
  injectMouse(nullptr, buttonPoint(c), 1, true);
  ASSERT_TRUE(dropped(c));
  const POINT target = rowPoint(c, 2);
  injectMouse(nullptr, target, 0, false);  // moves onto the list
  injectMouse(nullptr, target, 1, false);
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(text(c), "three");
  EXPECT_EQ(count(lx::CBN_SELCHANGE), 1);
}

TEST_F(ComboTest, AClickElsewhereClosesTheListAndPicksNothing) {
  HWND c = make();
  fill(c, {"x", "y"});
  SendMessage(c, lx::CB_SETCURSEL, 0, 0);
  click(buttonPoint(c));
  ASSERT_TRUE(dropped(c));
  POINT away{420, 420};  // on the other window
  click(away);
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(text(c), "x");
  EXPECT_EQ(count(lx::CBN_SELCHANGE), 0);
  EXPECT_EQ(count(lx::CBN_KILLFOCUS), 0);  // the other window takes no focus
}

TEST_F(ComboTest, KeysStepThroughTheListAndToggleIt) {
  HWND c = make();
  fill(c, {"a1", "a2", "a3"});
  SetFocus(c);
  g.codes.clear();
  injectKey(VK_DOWN, true);
  EXPECT_EQ(text(c), "a1");
  injectKey(VK_DOWN, true);
  injectKey(VK_DOWN, true);
  injectKey(VK_DOWN, true);  // stays on the last
  EXPECT_EQ(text(c), "a3");
  EXPECT_EQ(count(lx::CBN_SELCHANGE), 3);
  injectKey(VK_F4, true);
  EXPECT_TRUE(dropped(c));
  injectKey(VK_UP, true);
  EXPECT_EQ(text(c), "a2");
  injectKey(VK_RETURN, true);
  EXPECT_FALSE(dropped(c));
  injectKey(VK_DOWN, true, true);  // Alt+Down toggles
  EXPECT_TRUE(dropped(c));
  injectKey(VK_ESCAPE, true);
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(text(c), "a2");
}

TEST_F(ComboTest, TheKeyFilterMaySwallowOrChangeAKey) {
  HWND c = make();
  fill(c, {"a", "b"});
  SetFocus(c);
  g.keyAnswer = 0;  // swallowed
  injectKey(VK_DOWN, true);
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), -1);
  g.keyAnswer = VK_F4;  // any key becomes F4
  injectKey('Q', true);
  EXPECT_TRUE(dropped(c));
  // With key events off the filter passes keys unchanged.
  g.keyAnswer = 0;
  SendMessage(c, props::kSetMessage, 156, 0);
  EXPECT_EQ(SendMessage(c, lx::kCbxKeyFilter, VK_DOWN, 0), VK_DOWN);
}

TEST_F(ComboTest, EnterEscAndTabNeverReachTheEditAsText) {
  HWND c = make();
  SetFocus(c);
  for (char32_t ch : {U'a', U'\r', U'\x1b', U'\t', U'b'}) injectChar(ch);
  EXPECT_EQ(text(c), "ab");
}

TEST_F(ComboTest, CharactersBeyondSixteenBitsReachTheEditWhole) {
  HWND c = make();
  fill(c, {"\xF0\x9F\x98\x80 smile", "plain"});
  SetFocus(c);
  // U+1F600 passes the character filter (which answers 16 bits) unchanged,
  // and finds the item that starts with it.
  for (char32_t ch : {U'\U0001F600', U' ', U's'}) injectChar(ch);
  EXPECT_EQ(text(c), "\xF0\x9F\x98\x80 s");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 0);
  // A target that changes it gets its own character instead.
  SendMessage(c, lx::CB_RESETCONTENT, 0, 0);
  SetWindowText(c, "");
  g.charAnswer = 'x';
  injectChar(U'\U0001F601');
  EXPECT_EQ(text(c), "x");
}

// ------------------------------------------------------------- typing

TEST_F(ComboTest, TypingFindsTheFirstItemStartingWithTheText) {
  HWND c = make();
  fill(c, {"cherry", "banana", "Bandit", "apple"});
  SetFocus(c);
  g.codes.clear();
  type(c, "ban");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(text(c), "ban");  // no completion by default
  EXPECT_EQ(count(lx::CBN_EDITCHANGE), 3);
  type(c, "x");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), -1);
  EXPECT_EQ(count(lx::CBN_EDITCHANGE), 4);
  EXPECT_EQ(count(lx::CBN_SELCHANGE), 0);
}

TEST_F(ComboTest, CompletionFillsTheRestSelectedAndLeavesDeletionsAlone) {
  HWND c = make();
  fill(c, {"cherry", "banana"});
  CbxSetAutoSearchFill(c, 1);
  CbxSetAutoSearchFillDelay(c, 0);
  SetFocus(c);
  type(c, "b");
  EXPECT_EQ(text(c), "banana");
  EXPECT_EQ(SendMessage(c, lx::CB_GETEDITSEL, 0, 0), MAKELONG(1, 6));
  type(c, "a");  // replaces the selected rest
  EXPECT_EQ(text(c), "banana");
  EXPECT_EQ(SendMessage(c, lx::CB_GETEDITSEL, 0, 0), MAKELONG(2, 6));
  // Backspace removes the completed part and then a typed character; the
  // completion does not put them back.
  injectChar(VK_BACK);
  EXPECT_EQ(text(c), "ba");
  injectChar(VK_BACK);
  EXPECT_EQ(text(c), "b");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 1);
}

TEST_F(ComboTest, ADelayedCompletionWaitsForTheTimerAndSkipsAStaleText) {
  test::ManualClock clock;
  setClock(&clock);
  HWND c = make();
  fill(c, {"banana"});
  CbxSetAutoSearchFill(c, 1);
  CbxSetAutoSearchFillDelay(c, 300);
  SetFocus(c);
  type(c, "b");
  EXPECT_EQ(text(c), "b");
  clock.advance(299);
  pumpMessages();
  EXPECT_EQ(text(c), "b");
  clock.advance(2);
  pumpMessages();
  EXPECT_EQ(text(c), "banana");
  // Typed again, then the text set by the program before the timer fires.
  SetWindowText(c, "");
  type(c, "b");
  SetWindowText(c, "bob");
  clock.advance(400);
  pumpMessages();
  EXPECT_EQ(text(c), "bob");
  setClock(nullptr);
}

// ------------------------------------------------------------- text

TEST_F(ComboTest, ADropDownListKeepsItsOwnTextAndReportsOnlyChanges) {
  HWND c = make(lx::CBS_DROPDOWNLIST);
  fill(c, {"alpha", "beta"});
  SetWindowText(c, "Beta");
  EXPECT_EQ(text(c), "Beta");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 1);  // found without regard to case
  SetWindowText(c, "Beta");
  EXPECT_EQ(count(lx::CBN_EDITCHANGE), 1);
  SetWindowText(c, "alp");  // a prefix is no match
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), -1);
  EXPECT_EQ(count(lx::CBN_EDITCHANGE), 2);
  char small[4];
  EXPECT_EQ(GetWindowText(c, small, sizeof small), 3);
  EXPECT_STREQ(small, "alp");
  // The Text property reads and sets the same text.
  char buf[16];
  EXPECT_EQ(LC_GetText(c, buf, sizeof buf), 3);
  EXPECT_STREQ(buf, "alp");
  EXPECT_EQ(CbxSetText(c, "alpha"), 0);
  EXPECT_EQ(SendMessage(c, lx::CB_GETCURSEL, 0, 0), 0);
}

TEST_F(ComboTest, ASimpleCombosListPicksInPlace) {
  HWND c = make(lx::CBS_SIMPLE, 10, 10, 150, 150);
  fill(c, {"one", "two", "three"});
  HWND l = list(c);
  EXPECT_TRUE(IsWindowVisible(l));
  const RECT er = rect(edit(c)), lr = rect(l);
  EXPECT_GE(lr.top, er.bottom);  // the list lies under the edit
  click(rowPoint(c, 1));
  EXPECT_EQ(text(c), "two");
  EXPECT_EQ(count(lx::CBN_SELCHANGE), 1);
  EXPECT_EQ(count(lx::CBN_CLOSEUP), 0);
  EXPECT_TRUE(IsWindowVisible(l));
}

TEST_F(ComboTest, AScrollRequestOnTheEditStepsTheClosedList) {
  HWND c = make();
  fill(c, {"a", "b", "c", "d"});
  struct Case {
    int code, pos;
    const char* want;
  } cases[] = {
      {SB_LINEDOWN, 0, "a"}, {SB_LINEDOWN, 0, "b"}, {SB_PAGEDOWN, 0, "d"},
      {SB_LINEUP, 0, "c"}, {SB_THUMBPOSITION, 0, "a"}, {SB_LINEUP, 0, "a"},
  };
  for (const Case& k : cases) {
    SendMessage(edit(c), WM_VSCROLL, MAKEWPARAM(k.code, k.pos), 0);
    EXPECT_EQ(text(c), k.want) << k.code;
  }
}

// ------------------------------------------------------------- properties

TEST_F(ComboTest, PropertiesIgnoreValuesOutOfRange) {
  HWND c = make();
  struct Case {
    const char* name;
    int id;
    std::int32_t value, expect;
  } cases[] = {
      {"MaxDrop 100", 173, 100, 100},   {"MaxDrop 101 ignored", 173, 101, 100},
      {"MaxDrop -1 ignored", 173, -1, 100}, {"ComboGap 639", 183, 639, 639},
      {"ComboGap 640 ignored", 183, 640, 639}, {"ComboGap -3 ignored", 183, -3, 639},
      {"ListWidth 0 is automatic", 174, 0, -1}, {"ListWidth 120", 174, 120, 120},
      {"EditHeight -5 is automatic", 178, -5, -1}, {"ListPosition 2 ignored", 252, 2, 0},
      {"MaxEditLen 32001 ignored", 185, 32001, 150}, {"ApplyTo 3 ignored", 181, 3, 0},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(SendMessage(c, props::kSetMessage, static_cast<WPARAM>(k.id), k.value), 0) << k.name;
    std::int32_t v = 0;
    SendMessage(c, props::kGetMessage, static_cast<WPARAM>(k.id), reinterpret_cast<LPARAM>(&v));
    // Sixteen-bit properties write sixteen bits.
    if (props::isSixteen(static_cast<props::Ptype>(props::rowOf(k.id)->flags & 0xFF))) v = static_cast<std::int16_t>(v);
    EXPECT_EQ(v, k.expect) << k.name;
  }
}

TEST_F(ComboTest, PropertiesReachTheEditAndTheList) {
  HWND c = make();
  CbxSetMaxEditLen(c, 3);
  SetFocus(c);
  type(c, "abcd");
  EXPECT_EQ(text(c), "abc");
  CbxSetSelStart(c, 1);
  CbxSetSelLength(c, 65535);
  char buf[8];
  EXPECT_EQ(CbxGetSelText(c, buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "bc");
  CbxSetSelText(c, "Z");
  EXPECT_EQ(text(c), "aZ");
  // Ids the combo does not keep are the list's.
  fill(c, {"p", "q"});
  std::int32_t n = 0;
  LC_GetListCount(c, &n);
  EXPECT_EQ(n, 2);
  // Clear empties the text and the list.
  LC_SetAction(c, 3);
  EXPECT_EQ(text(c), "");
  EXPECT_EQ(SendMessage(c, lx::CB_GETCOUNT, 0, 0), 0);
}

TEST_F(ComboTest, ListDownOpensAndClosesTheList) {
  HWND c = make();
  fill(c, {"a"});
  SetFocus(c);
  CbxSetListDown(c, 1);
  EXPECT_TRUE(dropped(c));
  std::int32_t v = 0;
  CbxGetListDown(c, &v);
  EXPECT_NE(v, 0);
  CbxSetListDown(c, 0);
  EXPECT_FALSE(dropped(c));
}

// ------------------------------------------------------------- focus and lifetime

TEST_F(ComboTest, FocusGoesToTheEditAndIsReportedOnce) {
  HWND c = make();
  fill(c, {"a"});
  SetFocus(c);
  EXPECT_EQ(GetFocus(), edit(c));
  EXPECT_EQ(count(lx::CBN_SETFOCUS), 1);
  SendMessage(c, lx::CB_SHOWDROPDOWN, 1, 0);
  SetFocus(other_);
  EXPECT_EQ(count(lx::CBN_KILLFOCUS), 1);
  EXPECT_FALSE(dropped(c));
  EXPECT_EQ(SendMessage(c, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL);
}

TEST_F(ComboTest, AParentThatDestroysTheComboInANotificationIsSafe) {
  for (unsigned code : {lx::CBN_SELCHANGE, lx::CBN_CLOSEUP, lx::CBN_DROPDOWN, lx::CBN_EDITCHANGE}) {
    HWND c = make();
    fill(c, {"a", "b"});
    g.destroyOn = code;
    click(buttonPoint(c));
    if (IsWindow(c)) click(rowPoint(c, 1));
    if (IsWindow(c)) type(c, "z");
    EXPECT_FALSE(IsWindow(c)) << code;
    EXPECT_EQ(lx::droppedCombo(), nullptr) << code;
  }
}

TEST_F(ComboTest, MouseOnTheEditIsReportedToTheParent) {
  HWND c = make();
  RECT er = rect(edit(c));
  click(POINT{er.left + 2, er.top + 2});
  EXPECT_EQ(g.mouseEvents, 2);
  SendMessage(c, props::kSetMessage, 157, 0);
  click(POINT{er.left + 2, er.top + 2});
  EXPECT_EQ(g.mouseEvents, 2);
}

}  // namespace
