// The bitmap buttons over the window layer: faces, hover, click modes and
// the enable memory, driven by injected mouse input on a manual clock; the
// drawn faces are read back from the window's image.

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/gdi.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/window.h"
#include "shared/buttons/orv_button.h"
#include "shared/buttons/panel_pictures.h"

using namespace plat::win;
using tv::buttons::COrv_Button;
using tv::buttons::COrv_ButtonEx;

namespace {

std::vector<int> g_clicks;

LRESULT parentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND && HIWORD(w) == tv::buttons::BN_CLICKED) g_clicks.push_back(LOWORD(w));
  return DefWindowProc(h, m, w, l);
}

// The colour at the middle of a bitmap.
COLORREF bitmapCentre(HBITMAP b) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  BITMAP bm;
  GetObject(b, sizeof bm, &bm);
  const COLORREF c = GetPixel(dc, bm.bmWidth / 2, bm.bmHeight / 2);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

COLORREF windowCentre(HWND h) {
  const QImage image = windowImage(h);
  const QRgb p = image.pixel(image.width() / 2, image.height() / 2);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Stop's five faces: up, down, hover up, hover down, disabled.
constexpr int kUp = 268, kHoverUp = 265, kDown = 266, kHoverDown = 267, kDisabled = 269;

class BitmapButton : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    setClock(&clock_);
    g_clicks.clear();
    WNDCLASS wc;
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = "ButtonTestParent";
    RegisterClass(&wc);
    parent_ = CreateWindowEx(0, "ButtonTestParent", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 200,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent_);
  }
  void TearDown() override {
    test::reset();
    setClock(nullptr);
  }
  // Creates `b` at (10, 20) of the parent with the Stop faces.
  void make(COrv_ButtonEx& b, int mode, bool withDisabled = true) {
    b.SetBitmaps5(kUp, kDown, kHoverUp, kHoverDown, withDisabled ? kDisabled : 0);
    b.SetMode(mode);
    ASSERT_TRUE(b.Create("", WS_VISIBLE | tv::buttons::BS_OWNERDRAW, RECT{10, 20, 11, 21}, parent_, 152));
  }
  void mouse(int button, bool down, POINT at = {100 + 25, 100 + 35}) {
    injectMouse(nullptr, at, button, down);
    pumpMessages();
  }
  void click() {
    mouse(1, true);
    mouse(1, false);
  }
  void tick() {
    clock_.advance(60);
    pumpMessages();
  }
  test::ManualClock clock_;
  HWND parent_ = nullptr;
};

TEST_F(BitmapButton, TakesTheSizeOfItsFirstBitmapAndDrawsIt) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kDownWhileHeld);
  RECT r;
  GetWindowRect(b.GetSafeHwnd(), &r);
  EXPECT_EQ(r.left, 110);
  EXPECT_EQ(r.top, 120);
  EXPECT_EQ(r.right - r.left, 30);
  EXPECT_EQ(r.bottom - r.top, 30);
  int w = 0, h = 0;
  EXPECT_TRUE(b.GetBitmapSize(&w, &h));
  EXPECT_EQ(w, 30);
  pumpMessages();
  EXPECT_EQ(windowCentre(b.GetSafeHwnd()), bitmapCentre(b.CurrentBitmap()));

  // Every face of the family is a distinct picture.
  HBITMAP faces[] = {tv::buttons::LoadResourceBitmap(kUp, false), tv::buttons::LoadResourceBitmap(kDown, false),
                     tv::buttons::LoadResourceBitmap(kHoverUp, false),
                     tv::buttons::LoadResourceBitmap(kDisabled, false)};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(faces[i]);
    for (int j = 0; j < i; ++j) EXPECT_NE(bitmapCentre(faces[i]), bitmapCentre(faces[j])) << i << j;
  }
  for (HBITMAP f : faces) DeleteObject(f);

  COrv_ButtonEx none;
  EXPECT_FALSE(none.GetBitmapSize(&w, &h));
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST_F(BitmapButton, ClickModes) {
  struct Case {
    int mode;
    bool clicks;
    int downWhileHeld;  // state while the mouse is held
    int after;          // state after the release
  };
  const Case cases[] = {
      {COrv_ButtonEx::kIgnoreClicks, false, 1, 1},
      {COrv_ButtonEx::kToggleOnPress, true, -1, -1},
      {COrv_ButtonEx::kDownWhileHeld, true, -1, 1},
      {COrv_ButtonEx::kIgnoreClicks | COrv_ButtonEx::kDownWhileHeld, false, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    g_clicks.clear();
    COrv_ButtonEx b;
    make(b, c.mode);
    mouse(1, true);
    EXPECT_TRUE(b.MouseHeld());
    EXPECT_EQ(b.GetState(), c.downWhileHeld);
    EXPECT_EQ(b.CurrentBitmap() != nullptr, true);
    mouse(1, false);
    EXPECT_FALSE(b.MouseHeld());
    EXPECT_EQ(b.GetState(), c.after);
    EXPECT_EQ(g_clicks, c.clicks ? std::vector<int>{152} : std::vector<int>{});
  }
}

TEST_F(BitmapButton, ToggleModeAlternatesAndAReleaseOutsideIsNoClick) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kToggleOnPress);
  click();
  EXPECT_TRUE(b.IsDown());
  click();
  EXPECT_TRUE(b.IsUp());
  mouse(1, true);
  mouse(1, false, {190, 190});
  EXPECT_EQ(g_clicks, (std::vector<int>{152, 152}));
}

TEST_F(BitmapButton, DisableRemembersTheStateItCameFrom) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kToggleOnPress);
  b.SetPressed(true);
  ASSERT_TRUE(b.IsDown());
  EXPECT_TRUE(b.Disable());
  EXPECT_FALSE(b.IsEnabled());
  EXPECT_TRUE(b.Disable());  // already disabled
  EXPECT_EQ(windowCentre(b.GetSafeHwnd()), bitmapCentre(b.CurrentBitmap()));
  const COLORREF disabledFace = windowCentre(b.GetSafeHwnd());

  // Disabled: presses are swallowed, SetPressed and Toggle refuse.
  click();
  EXPECT_TRUE(g_clicks.empty());
  EXPECT_FALSE(b.SetPressed(false));
  EXPECT_EQ(b.Toggle(), 0);
  EXPECT_FALSE(b.IsEnabled());

  EXPECT_TRUE(b.Enable(0));
  EXPECT_TRUE(b.IsDown());
  EXPECT_NE(windowCentre(b.GetSafeHwnd()), disabledFace);

  // Through the window: WM_ENABLE false disables, true restores.
  EnableWindow(b.GetSafeHwnd(), FALSE);
  EXPECT_FALSE(b.IsEnabled());
  EnableWindow(b.GetSafeHwnd(), TRUE);
  EXPECT_TRUE(b.IsDown());

  // An explicit state wins over the saved one.
  b.Disable();
  b.Enable(1);
  EXPECT_TRUE(b.IsUp());

  COrv_ButtonEx plain;
  plain.SetBitmaps2(kUp, kDown);
  plain.SetMode(COrv_ButtonEx::kToggleOnPress);
  ASSERT_TRUE(plain.Create("", WS_VISIBLE, RECT{60, 20, 61, 21}, parent_, 153));
  EXPECT_FALSE(plain.Disable());
  EXPECT_TRUE(plain.IsEnabled());
}

TEST_F(BitmapButton, SetPressedWaitsWhileTheMouseIsHeld) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kIgnoreClicks);
  mouse(1, true);
  EXPECT_TRUE(b.SetPressed(true));
  EXPECT_TRUE(b.IsUp());
  mouse(1, false);
  EXPECT_TRUE(b.SetPressed(true));
  EXPECT_TRUE(b.IsDown());
  EXPECT_EQ(b.Toggle(), -1);
  EXPECT_TRUE(b.IsUp());

  // A press that makes no click, released away from the button, still ends
  // the hold: the button goes on following SetPressed.
  mouse(1, true);
  mouse(1, false, {190, 190});
  EXPECT_FALSE(b.MouseHeld());
  EXPECT_TRUE(b.SetPressed(true));
  EXPECT_TRUE(b.IsDown());
}

TEST_F(BitmapButton, AHoldTakenAwayIsNoClickAndReleasesTheFace) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kDownWhileHeld);
  mouse(1, true);
  ASSERT_TRUE(b.IsDown());
  SetCapture(parent_);  // something else takes the mouse
  EXPECT_FALSE(b.MouseHeld());
  EXPECT_TRUE(b.IsUp());
  ReleaseCapture();
  mouse(1, false);
  EXPECT_TRUE(g_clicks.empty());
}

TEST_F(BitmapButton, HoverShowsItsFaceUntilTheTimerSeesTheMouseGone) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kDownWhileHeld);
  HBITMAP up = b.CurrentBitmap();
  mouse(0, false);
  EXPECT_TRUE(b.IsHovering());
  EXPECT_NE(b.CurrentBitmap(), up);
  EXPECT_EQ(windowCentre(b.GetSafeHwnd()), bitmapCentre(b.CurrentBitmap()));
  tick();  // still over the button
  EXPECT_TRUE(b.IsHovering());
  mouse(0, false, {250, 250});
  tick();
  EXPECT_FALSE(b.IsHovering());
  EXPECT_EQ(b.CurrentBitmap(), up);
  EXPECT_EQ(windowCentre(b.GetSafeHwnd()), bitmapCentre(up));

  // Hover switched off for the up state: no hover face and no timer.
  b.SetHoverEnable(false, true);
  mouse(0, false);
  EXPECT_FALSE(b.IsHovering());
  EXPECT_FALSE(KillTimer(b.GetSafeHwnd(), tv::buttons::kHoverTimer));
}

TEST_F(BitmapButton, DestroyWindowForgetsEverything) {
  COrv_ButtonEx b;
  make(b, COrv_ButtonEx::kToggleOnPress);
  b.SetToolTipText("Stop");
  b.SetPressed(true);
  EXPECT_TRUE(b.DestroyWindow());
  EXPECT_FALSE(IsWindow(b.GetSafeHwnd()));
  EXPECT_EQ(b.BitmapId(COrv_ButtonEx::kUp), 0);
  EXPECT_TRUE(b.IsUp());
  EXPECT_EQ(b.GetMode(), COrv_ButtonEx::kIgnoreClicks);
  EXPECT_FALSE(b.ToolTipActive());
  EXPECT_EQ(b.ToolTipText(), "");
  const int before = test::liveGdiObjectCount();
  make(b, COrv_ButtonEx::kToggleOnPress);
  EXPECT_TRUE(b.DestroyWindow());
  EXPECT_EQ(test::liveGdiObjectCount(), before);
}

TEST_F(BitmapButton, MissingBitmapsLoadAsNone) {
  COrv_ButtonEx b;
  b.SetBitmaps5(kUp, 9999, 0, 0, 0);
  b.LoadBitmaps();
  EXPECT_EQ(b.BitmapId(COrv_ButtonEx::kDown), 0);
  EXPECT_EQ(b.BitmapId(COrv_ButtonEx::kUp), kUp);
}

TEST_F(BitmapButton, SimpleButtonTogglesAndResizesToItsBitmap) {
  COrv_Button b;
  b.SetBitmap(kUp);
  ASSERT_TRUE(b.Create("", WS_VISIBLE, RECT{10, 20, 90, 40}, parent_, 7));
  HBITMAP normal = b.CurrentBitmap();
  // Without a pressed bitmap the state flips and the face stays.
  EXPECT_EQ(b.Toggle(), 0);
  EXPECT_EQ(b.GetState(), 1);
  EXPECT_EQ(b.CurrentBitmap(), normal);
  EXPECT_EQ(b.Toggle(), 1);

  b.SetBitmaps4(315, kDown, kHoverUp, kHoverDown);
  const SIZE s = b.LoadBitmaps(true);
  EXPECT_EQ(s.cx, 30);
  RECT r;
  GetWindowRect(b.GetSafeHwnd(), &r);
  EXPECT_EQ(r.left, 110);
  EXPECT_EQ(r.right - r.left, 30);
  b.Toggle();
  EXPECT_EQ(windowCentre(b.GetSafeHwnd()), bitmapCentre(b.CurrentBitmap()));
  click();
  EXPECT_EQ(g_clicks, std::vector<int>{7});
}

}  // namespace

namespace {

// Every button picture the program names is drawn, at its button's size;
// the speed button's faces do not look like Play's.
TEST(ButtonPictures, EveryFaceIsDrawnAndTheSpeedButtonIsNotPlay) {
  struct Range {
    int first, last, side;
  };
  const Range ranges[] = {{239, 317, 30}, {318, 337, 22}, {339, 358, 30}, {146, 153, 30}, {155, 158, 30}};
  int drawn = 0;
  for (const Range& r : ranges) {
    for (int id = r.first; id <= r.last; ++id) {
      const QImage image = tv::buttons::LoadResourceImage(id, false);
      if (image.isNull() || id == 290) continue;
      ++drawn;
      EXPECT_EQ(image.size(), QSize(r.side, r.side)) << id;
    }
  }
  // The faces of the two panels, the index panel's scroll buttons and the
  // browser's bar; 290 (the dialog close button, 11 x 11) is not counted.
  EXPECT_EQ(drawn, 116);
  for (int id : {239, 268, 278, 300, 317, 318, 337, 339, 358, 146, 153, 155, 158})
    EXPECT_FALSE(tv::buttons::LoadResourceImage(id, false).isNull()) << id;

  const QImage play = tv::buttons::LoadResourceImage(278, false);
  for (int speed : {352, 347, 357}) {
    const QImage face = tv::buttons::LoadResourceImage(speed, false);
    int differing = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x) differing += face.pixel(x, y) != play.pixel(x, y) ? 1 : 0;
    EXPECT_GT(differing, 60) << speed;
  }
}

}  // namespace
