// Pixels of the drawing subset, read back from the window's backing image.

#include <gtest/gtest.h>

#include <QImage>

#include "platform/win/gdi.h"
#include "platform/win/bitmap_bits.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/window.h"

using namespace plat::win;

namespace {

LRESULT plainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); }

class Gdi : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    WNDCLASS wc;
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "Plain";
    ASSERT_NE(RegisterClass(&wc), 0);
    hwnd = CreateWindowEx(0, "Plain", "", 0, 0, 0, 120, 80, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(hwnd);
    dc = GetDC(hwnd);
    ASSERT_TRUE(dc);
    RECT all{0, 0, 120, 80};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  void TearDown() override {
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(test::liveDCCount(), 0);
    test::reset();
  }
  COLORREF at(int x, int y) {
    QRgb p = windowImage(hwnd).pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
  }
  // Pixels of colour c inside [l,r) x [t,b).
  int count(COLORREF c, int l, int t, int r, int b) {
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) n += at(x, y) == c;
    return n;
  }
  HWND hwnd = nullptr;
  HDC dc = nullptr;
};

TEST_F(Gdi, FillRectExcludesRightAndBottomAndTakesSystemColourBrushes) {
  RECT r{10, 10, 20, 15};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &r, red);
  EXPECT_EQ(at(10, 10), RGB(255, 0, 0));
  EXPECT_EQ(at(19, 14), RGB(255, 0, 0));
  EXPECT_EQ(at(20, 14), RGB(255, 255, 255));
  EXPECT_EQ(at(19, 15), RGB(255, 255, 255));
  RECT s{30, 30, 32, 32};
  FillRect(dc, &s, reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_HIGHLIGHT + 1)));
  EXPECT_EQ(at(31, 31), GetSysColor(COLOR_HIGHLIGHT));
  // A brush selected into a DC is not deleted.
  HGDIOBJ old = SelectObject(dc, red);
  EXPECT_FALSE(DeleteObject(red));
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_EQ(test::liveGdiObjectCount(), 0);
}

TEST_F(Gdi, RectangleUsesPenOutlineAndBrushInside) {
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  HBRUSH br = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, br);
  Rectangle(dc, 5, 5, 15, 12);
  EXPECT_EQ(at(5, 5), RGB(0, 0, 255));
  EXPECT_EQ(at(14, 11), RGB(0, 0, 255));
  EXPECT_EQ(at(6, 6), RGB(0, 255, 0));
  EXPECT_EQ(at(15, 11), RGB(255, 255, 255));
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(pen);
  DeleteObject(br);
}

TEST_F(Gdi, SunkenEdgeHasShadowTopLeftAndHighlightBottomRight) {
  RECT r{10, 10, 40, 30};
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  EXPECT_EQ(at(10, 10), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(at(11, 11), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(at(39, 29), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(at(38, 28), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(at(20, 20), RGB(255, 255, 255));
  EXPECT_EQ(r.left, 12);  // BF_ADJUST leaves the inside
  EXPECT_EQ(r.bottom, 28);
}

TEST_F(Gdi, MonoPatternBrushTakesTextAndBackgroundColours) {
  // An 8 x 8 checkerboard: rows alternate 0xAA and 0x55 (1 bits are white).
  unsigned char bits[16];
  for (int y = 0; y < 8; ++y) {
    bits[2 * y] = (y % 2) ? 0x55 : 0xAA;
    bits[2 * y + 1] = 0;
  }
  HBITMAP bm = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH pat = CreatePatternBrush(bm);
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkColor(dc, RGB(0, 0, 255));
  RECT r{0, 0, 16, 16};
  FillRect(dc, &r, pat);
  EXPECT_EQ(at(0, 0), RGB(0, 0, 255));  // bit set: background colour
  EXPECT_EQ(at(1, 0), RGB(255, 0, 0));  // bit clear: text colour
  EXPECT_EQ(at(0, 1), RGB(255, 0, 0));
  EXPECT_EQ(at(8, 0), RGB(0, 0, 255));  // the pattern repeats every 8 pixels
  EXPECT_EQ(count(RGB(255, 0, 0), 0, 0, 16, 16), 128);
  DeleteObject(pat);
  DeleteObject(bm);
}

// A bitmap's pixels come out in the form CreateBitmap takes them, at either
// depth, and with what was drawn on it; a short buffer gets whole rows.
TEST_F(Gdi, BitmapBitsComeOutInTheFormTheyWentIn) {
  const unsigned char mono[6] = {0xA5, 0x80, 0x0F, 0x00, 0xFF, 0xC0};  // 10 x 3, rows of two bytes
  std::uint32_t colour[6] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0, 0x00FFFFFF};
  struct Case {
    const char* what;
    int w, h, bpp;
    const void* bits;
    std::size_t size;
  } cases[] = {{"1 bit", 10, 3, 1, mono, sizeof mono}, {"32 bits", 3, 2, 32, colour, sizeof colour}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HBITMAP bm = CreateBitmap(c.w, c.h, 1, static_cast<UINT>(c.bpp), c.bits);
    ASSERT_TRUE(bm);
    ASSERT_EQ(GetBitmapBits(bm, 0, nullptr), static_cast<LONG>(c.size));
    std::vector<unsigned char> out(c.size + 4, 0xEE);
    EXPECT_EQ(GetBitmapBits(bm, static_cast<LONG>(out.size()), out.data()), static_cast<LONG>(c.size));
    EXPECT_EQ(std::memcmp(out.data(), c.bits, c.size), 0);
    EXPECT_EQ(out[c.size], 0xEE);  // nothing past the pixels
    const LONG row = static_cast<LONG>(c.size) / c.h;
    EXPECT_EQ(GetBitmapBits(bm, row + 1, out.data()), row);
    DeleteObject(bm);
  }
  EXPECT_EQ(GetBitmapBits(nullptr, 16, nullptr), 0);
  EXPECT_EQ(GetBitmapBits(GetStockObject(WHITE_BRUSH), 16, nullptr), 0);
  // What is drawn on a bitmap is in its bits.
  HBITMAP bm = CreateBitmap(4, 1, 1, 32, nullptr);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bm);
  SetPixel(mem, 2, 0, RGB(10, 20, 30));
  SelectObject(mem, old);
  DeleteDC(mem);
  unsigned char px[16] = {};
  ASSERT_EQ(GetBitmapBits(bm, sizeof px, px), 16);
  EXPECT_EQ(px[8], 30);  // blue, green, red, 0
  EXPECT_EQ(px[9], 20);
  EXPECT_EQ(px[10], 10);
  DeleteObject(bm);
}

TEST_F(Gdi, TextIsDrawnInsideItsMeasuredExtent) {
  LOGFONT lf;
  lf.lfHeight = -14;
  HFONT f = CreateFontIndirect(&lf);
  HGDIOBJ old = SelectObject(dc, f);
  SIZE sz;
  ASSERT_TRUE(GetTextExtentPoint32(dc, "Hello", 5, &sz));
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  EXPECT_EQ(sz.cy, tm.tmHeight);
  EXPECT_GT(sz.cx, 4 * tm.tmAveCharWidth / 2);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  TextOut(dc, 10, 20, "Hello", 5);
  int inside = count(RGB(0, 0, 0), 10, 20, 10 + sz.cx, 20 + sz.cy);
  int all = count(RGB(0, 0, 0), 0, 0, 120, 80);
  EXPECT_GT(inside, 10);
  EXPECT_EQ(inside, all);
  // DT_CALCRECT measures without drawing; DT_RIGHT puts the text at the right edge.
  RECT calc{0, 0, 0, 0};
  DrawText(dc, "Hello", -1, &calc, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(calc.right, sz.cx);
  EXPECT_EQ(calc.bottom, sz.cy);
  EXPECT_EQ(count(RGB(0, 0, 0), 0, 0, 120, 80), all);
  RECT box{0, 50, 118, 50 + sz.cy};
  DrawText(dc, "Hello", -1, &box, DT_SINGLELINE | DT_RIGHT);
  EXPECT_GT(count(RGB(0, 0, 0), 118 - sz.cx, 50, 118, 50 + sz.cy), 10);
  EXPECT_EQ(count(RGB(0, 0, 0), 0, 50, 118 - sz.cx, 50 + sz.cy), 0);
  SelectObject(dc, old);
  DeleteObject(f);
}

TEST_F(Gdi, DrawTextWrapsAndElidesWithinItsBox) {
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SIZE word;
  GetTextExtentPoint32(dc, "word", 4, &word);
  struct Case { const char* text; UINT fmt; int width; int lines; } cases[] = {
      {"word word word", DT_WORDBREAK, word.cx + 2, 3},        // one word a line
      {"word word word", DT_SINGLELINE, word.cx + 2, 1},
      {"one\ntwo", 0, 200, 2},                                 // explicit line breaks
      {"&File", DT_SINGLELINE, 200, 1},
  };
  for (const auto& c : cases) {
    RECT r{0, 0, c.width, 0};
    int h = DrawText(dc, c.text, -1, &r, c.fmt | DT_CALCRECT);
    EXPECT_EQ(h, c.lines * tm.tmHeight) << c.text;
  }
  // The mnemonic marker is not measured.
  RECT pre{0, 0, 200, 0};
  DrawText(dc, "&File", -1, &pre, DT_SINGLELINE | DT_CALCRECT);
  SIZE plain;
  GetTextExtentPoint32(dc, "File", 4, &plain);
  EXPECT_EQ(pre.right, plain.cx);
  // An elided line stays inside its box.
  SetBkMode(dc, TRANSPARENT);
  RECT box{10, 10, 10 + word.cx, 10 + tm.tmHeight};
  DrawText(dc, "word word word word", -1, &box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
  EXPECT_GT(count(RGB(0, 0, 0), box.left, box.top, box.right, box.bottom), 5);
  EXPECT_EQ(count(RGB(0, 0, 0), box.right + 1, 0, 120, 80), 0);
}

TEST_F(Gdi, ClippingLimitsDrawing) {
  IntersectClipRect(dc, 0, 0, 10, 10);
  RECT r{0, 0, 50, 50};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(count(RGB(0, 0, 0), 0, 0, 120, 80), 100);
  RECT box;
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 10);
}

LRESULT frameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCPAINT) {
    // A frame of its own: a red ring one pixel wide.
    HDC dc = GetWindowDC(h);
    RECT r;
    GetWindowRect(h, &r);
    OffsetRect(&r, -r.left, -r.top);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FrameRect(dc, &r, red);
    DeleteObject(red);
    ReleaseDC(h, dc);
    return 0;
  }
  if (m == WM_NCCALCSIZE) {
    RECT* r = w ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0] : reinterpret_cast<RECT*>(l);
    InflateRect(r, -1, -1);
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

TEST_F(Gdi, NonClientFramesAreDrawnThroughGetWindowDC) {
  // The default frame: a black border, then a sunken client edge.
  HWND framed = CreateWindowEx(WS_EX_CLIENTEDGE, "Plain", "", WS_BORDER | WS_VISIBLE, 0, 0, 40,
                               30, nullptr, nullptr, nullptr, nullptr);
  pumpMessages();
  QImage img = windowImage(framed);
  auto px = [&](int x, int y) { QRgb p = img.pixel(x, y); return RGB(qRed(p), qGreen(p), qBlue(p)); };
  EXPECT_EQ(px(0, 0), GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(px(1, 1), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(px(2, 2), GetSysColor(COLOR_3DDKSHADOW));
  RECT cr;
  GetClientRect(framed, &cr);
  EXPECT_EQ(cr.right, 40 - 2 * 3);
  // A window's own frame, painted from its WM_NCPAINT; GetDC cannot reach it.
  WNDCLASS wc;
  wc.lpfnWndProc = frameProc;
  wc.lpszClassName = "Framed";
  RegisterClass(&wc);
  HWND own = CreateWindowEx(0, "Framed", "", WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
  pumpMessages();
  HDC cdc = GetDC(own);
  RECT all{-5, -5, 30, 30};
  FillRect(cdc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(own, cdc);
  QImage oi = windowImage(own);
  EXPECT_EQ(oi.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(oi.pixel(19, 19) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(oi.pixel(1, 1) & 0xFFFFFF, 0x000000u);
}

TEST_F(Gdi, BeginPaintErasesWithTheClassBrushAndClipsToTheUpdate) {
  WNDCLASS wc;
  wc.lpfnWndProc = plainProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = "Faced";
  RegisterClass(&wc);
  HWND h = CreateWindowEx(0, "Faced", "", WS_VISIBLE, 0, 0, 30, 30, nullptr, nullptr, nullptr, nullptr);
  pumpMessages();
  EXPECT_EQ(windowImage(h).pixel(15, 15) & 0xFFFFFF, GetSysColor(COLOR_BTNFACE) == RGB(212, 208, 200) ? 0xD4D0C8u : 0u);
  RECT part{0, 0, 5, 5};
  InvalidateRect(h, &part, FALSE);
  PAINTSTRUCT ps;
  HDC pdc = BeginPaint(h, &ps);
  ASSERT_TRUE(pdc);
  EXPECT_EQ(ps.rcPaint.right, 5);
  RECT all{0, 0, 30, 30};
  FillRect(pdc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(h, &ps);
  EXPECT_EQ(windowImage(h).pixel(4, 4) & 0xFFFFFF, 0u);
  EXPECT_NE(windowImage(h).pixel(6, 6) & 0xFFFFFF, 0u);
}

TEST_F(Gdi, BlitsFromAMemoryBitmapWithRasterOperations) {
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
  HGDIOBJ old = SelectObject(mem, bm);
  RECT r{0, 0, 4, 4};
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  FillRect(mem, &r, green);
  struct Case { DWORD rop; COLORREF dest, want; } cases[] = {
      {SRCCOPY, RGB(255, 0, 0), RGB(0, 255, 0)},
      {SRCAND, RGB(255, 255, 0), RGB(0, 255, 0)},
      {SRCPAINT, RGB(255, 0, 0), RGB(255, 255, 0)},
      {SRCINVERT, RGB(0, 255, 255), RGB(0, 0, 255)},
  };
  int x = 0;
  for (const auto& c : cases) {
    RECT d{x, 0, x + 4, 4};
    HBRUSH b = CreateSolidBrush(c.dest);
    FillRect(dc, &d, b);
    DeleteObject(b);
    BitBlt(dc, x, 0, 4, 4, mem, 0, 0, c.rop);
    EXPECT_EQ(at(x + 1, 1), c.want) << std::hex << c.rop;
    x += 10;
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bm);
  DeleteObject(green);
  EXPECT_EQ(test::liveGdiObjectCount(), 0);
}

TEST_F(Gdi, FocusRectangleIsRemovedByASecondCall) {
  RECT r{10, 10, 30, 20};
  DrawFocusRect(dc, &r);
  int dotted = count(RGB(0, 0, 0), 0, 0, 120, 80);
  EXPECT_GT(dotted, 10);
  EXPECT_EQ(at(10, 10), RGB(0, 0, 0));
  EXPECT_EQ(at(11, 10), RGB(255, 255, 255));
  DrawFocusRect(dc, &r);
  EXPECT_EQ(count(RGB(0, 0, 0), 0, 0, 120, 80), 0);
}

}  // namespace

namespace {

TEST(GdiHandles, StayBelowTwoToTheThirtyOneAfterManyReusesAndStaleOnesAreRefused) {
  test::reset();
  // A slot used again and again: its handles keep fitting a 32-bit field
  // that is read back signed, and a deleted handle names nothing.
  for (int i = 0; i < 1000; ++i) {
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(b);
    const auto value = reinterpret_cast<std::uintptr_t>(b);
    ASSERT_LT(value, std::uintptr_t{1} << 31) << "after " << i << " reuses";
    const auto back = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
    LOGBRUSH lb;
    ASSERT_EQ(GetObject(back, sizeof lb, &lb), static_cast<int>(sizeof lb));
    ASSERT_TRUE(DeleteObject(b));
    ASSERT_EQ(GetObject(b, sizeof lb, &lb), 0) << "a deleted handle";
  }
  test::reset();
}

}  // namespace
