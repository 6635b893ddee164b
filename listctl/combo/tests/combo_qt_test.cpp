// One drop-down and pick with real Qt input on an offscreen QApplication:
// a click on the combo's button opens the list in a window of its own, and
// a click on a row of that window picks the row.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <string>

#include "listctl/combo/combo.h"
#include "listctl/core/library.h"
#include "platform/win/qt_backend.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

int g_selChanges = 0;

LRESULT parentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND && HIWORD(w) == lx::CBN_SELCHANGE) ++g_selChanges;
  return DefWindowProc(h, m, w, l);
}

HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&g_selChanges); }

TEST(ComboQt, ClickingTheButtonAndARowPicksTheRow) {
  test::reset();
  ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
  WNDCLASS wc;
  wc.lpfnWndProc = parentProc;
  wc.lpszClassName = "ComboQtParent";
  ASSERT_NE(RegisterClass(&wc), 0);
  HWND top = CreateWindow("ComboQtParent", "", WS_POPUP | WS_VISIBLE, 40, 40, 300, 200, nullptr, nullptr,
                          nullptr, nullptr);
  HWND combo = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE | lx::CBS_DROPDOWN, 10, 10, 160, 24, top,
                            reinterpret_cast<HMENU>(3), nullptr, nullptr);
  ASSERT_TRUE(top && combo);
  for (const char* s : {"north", "south", "east", "west"})
    SendMessage(combo, lx::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  QWidget* view = widgetForWindow(top);
  ASSERT_TRUE(view);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
  QApplication::processEvents();

  // The button is at the combo's right end.
  RECT cr;
  GetWindowRect(combo, &cr);
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(cr.right - 40 - 5, cr.top - 40 + 12));
  QApplication::processEvents();
  ASSERT_EQ(SendMessage(combo, lx::CB_GETDROPPEDSTATE, 0, 0), 1);
  HWND list = reinterpret_cast<HWND>(SendMessage(combo, lx::kCbxGetList, 0, 0));
  QWidget* listView = widgetForWindow(list);
  ASSERT_TRUE(listView);
  EXPECT_TRUE(listView->isVisible());
  RECT lr;
  GetWindowRect(list, &lr);
  EXPECT_EQ(listView->geometry().top(), lr.top);

  const int row = static_cast<int>(SendMessage(combo, lx::CB_GETITEMHEIGHT, 0, 0));
  POINT pt{5, 2 * row + row / 2};  // "east", in list client coordinates
  ClientToScreen(list, &pt);
  QTest::mouseClick(listView, Qt::LeftButton, {}, QPoint(pt.x - lr.left, pt.y - lr.top));
  QApplication::processEvents();

  EXPECT_EQ(SendMessage(combo, lx::CB_GETDROPPEDSTATE, 0, 0), 0);
  char buf[32];
  GetWindowText(combo, buf, sizeof buf);
  EXPECT_STREQ(buf, "east");
  EXPECT_EQ(g_selChanges, 1);
  EXPECT_FALSE(listView->isVisible());

  DestroyWindow(top);
  EXPECT_EQ(lx::liveCombos(), 0);
  lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
  test::reset();
}

}  // namespace
