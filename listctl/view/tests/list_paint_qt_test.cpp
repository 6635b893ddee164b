// What a list and a combo look like, read back pixel by pixel from the host
// widget's grab on an offscreen QApplication: header and group texts, the
// rows' texts in every column, the selection colour, the focus rectangle,
// a set BackColor, the frame and the scroll bar; a combo closed and open
// with its rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QTest>
#include <QVBoxLayout>

#include <string>

#include "listctl/combo/combo.h"
#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "listctl/view/list_view.h"
#include "platform/win/gdi.h"
#include "platform/win/host_widget.h"
#include "platform/win/qt_backend.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

int g_anchor;
HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&g_anchor); }

QRgb rgbOf(COLORREF c) {
  c = TranslateColor(c);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF;
}

// Pixels of `img` inside `r` (exclusive right/bottom) whose colour is not `background`.
int inkIn(const QImage& img, const RECT& r, QRgb background) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (img.valid(x, y) && (img.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) ++n;
  return n;
}

QRgb at(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

class ListPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
  }
  void TearDown() override {
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    test::reset();
  }
  static void prop(HWND h, int id, LPARAM v) { SendMessage(h, lx::kMsgSetProperty, static_cast<WPARAM>(id), v); }
  static void propText(HWND h, int id, const char* t) { prop(h, id, reinterpret_cast<LPARAM>(t)); }
  static void propFloat(HWND h, int id, float f) { prop(h, id, reinterpret_cast<LPARAM>(&f)); }
  // The window's client area in the grab of `host`.
  static QPoint clientOrigin(HWND h, HostWidget* host) {
    POINT p{0, 0};
    ClientToScreen(h, &p);
    return host->mapFromGlobal(QPoint(p.x, p.y));
  }
};

TEST_F(ListPaint, ThreeColumnsWithHeaderGroupsSelectionFocusAndBackColour) {
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* host = new HostWidget(&dlg);
  layout->addWidget(host);
  HWND list = CreateWindow(lx::kListClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | lx::LBS_NOTIFY,
                           0, 0, 10, 10, host->hostWindow(), reinterpret_cast<HMENU>(5), nullptr, nullptr);
  ASSERT_TRUE(list);
  const COLORREF back = RGB(0xE0, 0xF0, 0xD0);
  prop(list, 71, 1);    // ColumnWidthScale: pixels
  prop(list, 32, 3);    // Columns
  prop(list, 206, 2);   // Groups
  const char* heads[] = {"Title", "Lang", "Level"};
  const float widths[] = {120, 70, 70};
  const int parents[] = {0, 0, 1};
  for (int c = 0; c < 3; ++c) {
    prop(list, 28, c);
    propText(list, 65, heads[c]);
    propFloat(list, 73, widths[c]);
    prop(list, 203, parents[c]);
  }
  prop(list, 197, 0);
  propText(list, 199, "Book");
  prop(list, 197, 1);
  propText(list, 199, "Grade");
  prop(list, 58, 1);    // HeaderShow
  prop(list, 2, static_cast<LPARAM>(back));  // BackColor, Default(All)
  // A red 6 x 6 picture in front of the texts of column 1.
  std::uint32_t redBits[36];
  for (auto& px : redBits) px = 0x00FF0000;
  HBITMAP red = CreateBitmap(6, 6, 1, 32, redBits);
  ASSERT_TRUE(red);
  prop(list, 28, 1);
  lindra::props::PictureBlock pic{1, 0, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(red)), 0, 0};
  prop(list, 139, reinterpret_cast<LPARAM>(&pic));  // ColPicture
  for (int i = 0; i < 10000; ++i) {
    const std::string row = "Row " + std::to_string(i) + "\tfr\tB" + std::to_string(i % 3);
    SendMessage(list, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  }
  SendMessage(list, lx::LB_SETCURSEL, 2, 0);
  dlg.resize(320, 240);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  SetFocus(list);
  QApplication::processEvents();
  pumpMessages();
  QApplication::processEvents();

  const QImage img = host->grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) img.save(QString(dir) + "/list_paint.png");
  const QPoint o = clientOrigin(list, host);
  const int headerH = static_cast<int>(SendMessage(list, lx::LB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  const int rowH = static_cast<int>(SendMessage(list, lx::LB_GETITEMHEIGHT, 0, 0));
  const lx::view::Geometry geo = lx::view::geometry(lx::instanceOf(list));
  ASSERT_GT(geo.groupRowHeight, 0);
  ASSERT_GT(geo.columnRowHeight, 0);
  EXPECT_EQ(headerH, geo.groupRowHeight + geo.columnRowHeight);
  const QRgb face = rgbOf(SYSCOLOR_REF_BIT | COLOR_BTNFACE);

  auto cell = [&](int x0, int x1, int y0, int y1) {
    return RECT{o.x() + x0 + 3, o.y() + y0 + 2, o.x() + x1 - 3, o.y() + y1 - 2};
  };
  // Group texts over their columns, then the column headers.
  EXPECT_GT(inkIn(img, cell(0, 190, 0, geo.groupRowHeight), face), 10) << "group header \"Book\"";
  EXPECT_GT(inkIn(img, cell(190, 260, 0, geo.groupRowHeight), face), 10) << "group header \"Grade\"";
  const int colTop = geo.groupRowHeight;
  EXPECT_GT(inkIn(img, cell(0, 120, colTop, headerH), face), 10);
  EXPECT_GT(inkIn(img, cell(120, 190, colTop, headerH), face), 10);
  EXPECT_GT(inkIn(img, cell(190, 260, colTop, headerH), face), 10);
  EXPECT_EQ(at(img, o.x() + 100, o.y() + colTop + 3), face) << "header cells are button face";

  // Row 0: the set back colour and text in each column.
  const QRgb backRgb = rgbOf(back);
  EXPECT_EQ(at(img, o.x() + 110, o.y() + headerH + rowH / 2), backRgb);
  EXPECT_GT(inkIn(img, cell(0, 120, headerH, headerH + rowH), backRgb), 5);
  EXPECT_GT(inkIn(img, cell(120, 190, headerH, headerH + rowH), backRgb), 5);
  EXPECT_GT(inkIn(img, cell(190, 260, headerH, headerH + rowH), backRgb), 5);
  // Column 1's picture sits at its left, its text after it.
  EXPECT_EQ(at(img, o.x() + 120 + 2 + 3, o.y() + headerH + rowH / 2), qRgb(0xFF, 0, 0) & 0xFFFFFF);
  EXPECT_GT(inkIn(img, cell(120 + 10, 190, headerH, headerH + rowH), backRgb), 5);
  // Beyond the last column the row keeps the list's back colour.
  EXPECT_EQ(at(img, o.x() + 270, o.y() + headerH + rowH / 2), backRgb);

  // Row 2 is selected and has the focus: highlight inside, a dotted frame on its edge.
  const QRgb high = rgbOf(SYSCOLOR_REF_BIT | COLOR_HIGHLIGHT);
  const int selTop = headerH + 2 * rowH;
  EXPECT_EQ(at(img, o.x() + 110, o.y() + selTop + rowH / 2), high);
  EXPECT_GT(inkIn(img, cell(0, 120, selTop, selTop + rowH), high), 5) << "selected text";
  int focusDots = 0;
  for (int x = 0; x < 100; ++x)
    if (at(img, o.x() + x, o.y() + selTop) != high) ++focusDots;
  EXPECT_GT(focusDots, 20) << "focus rectangle along the top of the caret row";
  EXPECT_LT(focusDots, 100) << "the focus rectangle is dotted";

  // The vertical bar at the right, and the frame around the client area.
  RECT cr;
  GetClientRect(list, &cr);
  const int barX = static_cast<int>(cr.right) - GetSystemMetrics(SM_CXVSCROLL) / 2;
  EXPECT_NE(at(img, o.x() + barX, o.y() + cr.bottom / 2), backRgb);
  EXPECT_TRUE(IsWindowVisible(lx::instanceOf(list)->vScroll));
  EXPECT_NE(at(img, o.x() - 1, o.y() + cr.bottom / 2), backRgb) << "3-D frame";
  EXPECT_NE(at(img, o.x() - 1, o.y() + cr.bottom / 2), at(img, o.x() - 2, o.y() + cr.bottom / 2))
      << "two edges of the frame";
  DestroyWindow(list);
  DeleteObject(red);
  EXPECT_EQ(lx::liveInstances(), 0);
}

TEST_F(ListPaint, ComboClosedAndOpenShowsItsRows) {
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  auto* host = new HostWidget(&dlg);
  host->setFillWithFirstChild(false);
  layout->addWidget(host);
  HWND combo = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE | lx::CBS_DROPDOWNLIST, 10, 10, 180, 24,
                            host->hostWindow(), reinterpret_cast<HMENU>(3), nullptr, nullptr);
  ASSERT_TRUE(combo);
  for (const char* s : {"Deutsch", "English", "Español", "Français"})
    SendMessage(combo, lx::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  SendMessage(combo, lx::CB_SETCURSEL, 1, 0);
  dlg.resize(300, 200);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QApplication::processEvents();
  pumpMessages();
  QApplication::processEvents();

  // Closed: the chosen text in the text area.
  QImage closed = host->grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) closed.save(QString(dir) + "/combo_closed.png");
  const QPoint co = clientOrigin(combo, host);
  const QRgb window = rgbOf(SYSCOLOR_REF_BIT | COLOR_WINDOW);
  EXPECT_GT(inkIn(closed, RECT{co.x() + 3, co.y() + 4, co.x() + 100, co.y() + 20}, window), 10);

  // Open: the list's own window shows the four rows, the current one highlighted.
  SetFocus(combo);
  SendMessage(combo, lx::CB_SHOWDROPDOWN, 1, 0);
  ASSERT_EQ(SendMessage(combo, lx::CB_GETDROPPEDSTATE, 0, 0), 1);
  HWND list = reinterpret_cast<HWND>(SendMessage(combo, lx::kCbxGetList, 0, 0));
  pumpMessages();
  QApplication::processEvents();
  QWidget* view = widgetForWindow(list);
  ASSERT_TRUE(view);
  ASSERT_TRUE(view->isVisible());
  const QImage open = view->grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) open.save(QString(dir) + "/combo_open.png");
  POINT lo{0, 0};
  ClientToScreen(list, &lo);
  RECT lw;
  GetWindowRect(list, &lw);
  const int ox = lo.x - lw.left, oy = lo.y - lw.top;
  const int rowH = static_cast<int>(SendMessage(combo, lx::CB_GETITEMHEIGHT, 0, 0));
  const QRgb high = rgbOf(SYSCOLOR_REF_BIT | COLOR_HIGHLIGHT);
  for (int r = 0; r < 4; ++r) {
    SCOPED_TRACE(testing::Message() << "row " << r);
    const QRgb bg = r == 1 ? high : window;
    EXPECT_EQ(at(open, ox + 150, oy + r * rowH + rowH / 2), bg);
    EXPECT_GT(inkIn(open, RECT{ox + 2, oy + r * rowH + 1, ox + 90, oy + (r + 1) * rowH - 1}, bg), 5);
  }
  SendMessage(combo, lx::CB_SHOWDROPDOWN, 0, 0);
  DestroyWindow(combo);
  EXPECT_EQ(lx::liveCombos(), 0);
}

}  // namespace
