// The built-in edit control on the window core, without a display: typing,
// selection and caret keys, the text limit and the EN_ notifications that
// reach the parent.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/edit.h"
#include "platform/win/window.h"

using namespace plat::win;

namespace {

std::vector<WPARAM> g_commands;  // wParam of every WM_COMMAND the parent got
HWND g_destroyOnChange = nullptr;

LRESULT parentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND) {
    g_commands.push_back(w);
    if (g_destroyOnChange && HIWORD(w) == EN_CHANGE) {
      HWND victim = g_destroyOnChange;
      g_destroyOnChange = nullptr;
      DestroyWindow(victim);
    }
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    g_commands.clear();
    g_destroyOnChange = nullptr;
    WNDCLASS wc;
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = "EditTestParent";
    ASSERT_NE(RegisterClass(&wc), 0);
    parent_ = CreateWindow("EditTestParent", "", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 300, 100, nullptr, nullptr,
                           nullptr, nullptr);
    edit_ = CreateWindow("Edit", "", WS_CHILD | WS_VISIBLE, 5, 5, 200, 20, parent_,
                         reinterpret_cast<HMENU>(static_cast<std::intptr_t>(7)), nullptr, nullptr);
    ASSERT_TRUE(parent_ && edit_);
    SetFocus(edit_);
    g_commands.clear();
  }
  void TearDown() override { test::reset(); }

  std::string text() {
    char buf[256];
    GetWindowText(edit_, buf, sizeof buf);
    return buf;
  }
  std::pair<int, int> sel() {
    DWORD s = 0, e = 0;
    SendMessage(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    return {static_cast<int>(s), static_cast<int>(e)};
  }
  void type(const std::u32string& s) {
    for (char32_t c : s) SendMessage(edit_, WM_CHAR, c, 0);
  }
  int count(UINT code) {
    int n = 0;
    for (WPARAM w : g_commands)
      if (HIWORD(w) == code && LOWORD(w) == 7) ++n;
    return n;
  }

  HWND parent_ = nullptr, edit_ = nullptr;
};

TEST_F(EditTest, TypingInsertsAtTheCaretAndReplacesTheSelection) {
  type(U"hello");
  EXPECT_EQ(text(), "hello");
  EXPECT_EQ(sel(), std::make_pair(5, 5));
  EXPECT_EQ(count(EN_CHANGE), 5);

  SendMessage(edit_, EM_SETSEL, 1, 3);  // "el"
  type(U"a");
  EXPECT_EQ(text(), "halo");
  EXPECT_EQ(sel(), std::make_pair(2, 2));

  // Control characters are not text; Backspace deletes before the caret.
  type(U"\t\r\x1b");
  EXPECT_EQ(text(), "halo");
  SendMessage(edit_, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(text(), "hlo");
  SendMessage(edit_, EM_SETSEL, 0, 0);
  SendMessage(edit_, WM_CHAR, VK_BACK, 0);  // nothing before the caret
  EXPECT_EQ(text(), "hlo");
}

TEST_F(EditTest, PositionsCountCharactersNotBytes) {
  type(U"\u00e9t\u00e9");  // three characters, five bytes
  EXPECT_EQ(sel(), std::make_pair(3, 3));
  SendMessage(edit_, WM_KEYDOWN, VK_LEFT, 0);
  SendMessage(edit_, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(text(), "\u00e9\u00e9");
  SendMessage(edit_, EM_SETSEL, 1, -1);
  EXPECT_EQ(sel(), std::make_pair(1, 2));
  SendMessage(edit_, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(text(), "\u00e9");
}

TEST_F(EditTest, SelectionMessagesClampAndOrder) {
  SetWindowText(edit_, "abcdef");
  struct Case {
    int start, end;
    std::pair<int, int> want;
  } cases[] = {
      {0, -1, {0, 6}},   // -1 end: to the end
      {4, 2, {2, 4}},    // reversed
      {3, 99, {3, 6}},   // past the end
      {-1, 0, {6, 6}},   // start -1 removes the selection, keeps the caret (at its end)
  };
  for (const Case& c : cases) {
    SendMessage(edit_, EM_SETSEL, static_cast<WPARAM>(c.start), c.end);
    EXPECT_EQ(sel(), c.want) << c.start << "," << c.end;
  }
  // EM_GETSEL also answers both positions packed.
  SendMessage(edit_, EM_SETSEL, 1, 4);
  EXPECT_EQ(SendMessage(edit_, EM_GETSEL, 0, 0), MAKELONG(1, 4));
}

TEST_F(EditTest, CaretKeysMoveAndShiftExtends) {
  SetWindowText(edit_, "abcd");
  SendMessage(edit_, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(sel(), std::make_pair(4, 4));
  setKeyState(VK_SHIFT, true);
  SendMessage(edit_, WM_KEYDOWN, VK_LEFT, 0);
  SendMessage(edit_, WM_KEYDOWN, VK_LEFT, 0);
  setKeyState(VK_SHIFT, false);
  EXPECT_EQ(sel(), std::make_pair(2, 4));
  // Left without Shift collapses a selection to its start.
  SendMessage(edit_, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(sel(), std::make_pair(2, 2));
  SendMessage(edit_, WM_KEYDOWN, VK_HOME, 0);
  SendMessage(edit_, WM_KEYDOWN, VK_LEFT, 0);  // stays at 0
  EXPECT_EQ(sel(), std::make_pair(0, 0));
  SendMessage(edit_, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(text(), "bcd");
}

TEST_F(EditTest, TheLimitCutsTypingAndReplacementAndReportsMaxText) {
  SendMessage(edit_, EM_LIMITTEXT, 3, 0);
  EXPECT_EQ(SendMessage(edit_, EM_GETLIMITTEXT, 0, 0), 3);
  type(U"abcd");
  EXPECT_EQ(text(), "abc");
  EXPECT_EQ(count(EN_MAXTEXT), 1);
  SendMessage(edit_, EM_SETSEL, 1, 2);
  SendMessage(edit_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("XYZ"));
  EXPECT_EQ(text(), "aXc");  // only one character of room
  EXPECT_EQ(count(EN_MAXTEXT), 2);
  SendMessage(edit_, EM_LIMITTEXT, 0, 0);  // 0: no practical limit
  EXPECT_EQ(SendMessage(edit_, EM_GETLIMITTEXT, 0, 0), kEditDefaultLimit);
}

TEST_F(EditTest, SetTextResetsTheCaretAndNotifies) {
  type(U"ab");
  g_commands.clear();
  SetWindowText(edit_, "xyz");
  EXPECT_EQ(text(), "xyz");
  EXPECT_EQ(GetWindowTextLength(edit_), 3);
  EXPECT_EQ(sel(), std::make_pair(0, 0));
  EXPECT_EQ(count(EN_UPDATE), 1);
  EXPECT_EQ(count(EN_CHANGE), 1);
}

TEST_F(EditTest, FocusChangesAreReported) {
  SetFocus(parent_);
  EXPECT_EQ(count(EN_KILLFOCUS), 1);
  SetFocus(edit_);
  EXPECT_EQ(count(EN_SETFOCUS), 1);
  EXPECT_EQ(SendMessage(edit_, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS);
}

TEST_F(EditTest, ReadOnlyRefusesEditingButNotTheCaret) {
  SetWindowText(edit_, "abc");
  SendMessage(edit_, EM_SETREADONLY, 1, 0);
  type(U"x");
  SendMessage(edit_, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(text(), "abc");
  SendMessage(edit_, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(sel(), std::make_pair(3, 3));
}

TEST_F(EditTest, AParentThatDestroysTheEditOnChangeIsSafe) {
  g_destroyOnChange = edit_;
  type(U"a");
  EXPECT_FALSE(IsWindow(edit_));
}

}  // namespace
