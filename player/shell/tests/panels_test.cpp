// The main window's button panels: the stacked layout of their rows, the
// speed button's replacement in place, the state calls the frame makes, the
// background and help hit-test, and a click that reaches the frame's
// command table.

#include "player/shell/panels.h"

#include <gtest/gtest.h>

#include <QDockWidget>

#include "platform/win/gdi.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/window.h"
#include "player/shell/main_frame.h"

using namespace plat::win;
using tv::buttons::COrv_ButtonEx;

namespace {

class Panels : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "PanelTestParent";
    RegisterClass(&wc);
    parent_ = CreateWindowEx(0, "PanelTestParent", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 600,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent_);
  }
  void TearDown() override { test::reset(); }
  HWND parent_ = nullptr;
};

COLORREF pixel(HWND h, int x, int y) {
  const QRgb p = windowImage(h).pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

TEST_F(Panels, RowsStackFromTheTopAndCentreAcross) {
  COrv_AudioPanel audio;
  COrv_SecondaryPanel secondary;
  ASSERT_EQ(audio.Rows().size(), 33u);
  ASSERT_EQ(secondary.Rows().size(), 17u);
  EXPECT_EQ(audio.RowsHeight(), 519);
  EXPECT_EQ(secondary.RowsHeight(), 281);
  ASSERT_TRUE(audio.Create(parent_, COrv_AudioPanel::kBarId));
  ASSERT_TRUE(secondary.Create(parent_, COrv_SecondaryPanel::kBarId));

  // Stop follows the 12-pixel spacer, the title and a 1-pixel spacer.
  const RECT stop = audio.GetButtonRect(152);
  EXPECT_EQ(stop.top, 43);
  EXPECT_EQ(stop.bottom, 73);
  EXPECT_EQ(stop.left, (COrv_Panel::kWidth - 30) / 2);
  EXPECT_EQ(stop.right, stop.left + 30);
  EXPECT_EQ(secondary.GetButtonRect(126).top, 281 - 30);

  // Every button row has its window with its id where its rectangle says;
  // spacers have no control.
  for (COrv_Panel* panel : {static_cast<COrv_Panel*>(&audio), static_cast<COrv_Panel*>(&secondary)}) {
    for (int i = 0; i < static_cast<int>(panel->Rows().size()); ++i) {
      const COrv_PanelRow& row = panel->Rows()[static_cast<std::size_t>(i)];
      SCOPED_TRACE(row.id);
      if (row.kind != COrv_PanelRow::kButton) {
        EXPECT_EQ(panel->Control(i), nullptr);
        continue;
      }
      ASSERT_TRUE(panel->Control(i));
      HWND b = panel->Control(i)->GetSafeHwnd();
      ASSERT_TRUE(IsWindow(b));
      EXPECT_EQ(GetDlgCtrlID(b), row.id);
      EXPECT_EQ(panel->Control(i)->GetMode(), row.mode);
      RECT r;
      GetWindowRect(b, &r);
      POINT origin{0, 0};
      ClientToScreen(panel->GetSafeHwnd(), &origin);
      const RECT want = panel->GetButtonRect(row.id);
      EXPECT_EQ(r.left - origin.x, want.left);
      EXPECT_EQ(r.top - origin.y, want.top);
      EXPECT_EQ(r.right - r.left, 30);
      EXPECT_EQ(r.bottom - r.top, 30);
    }
  }
  // The English tooltips.
  EXPECT_EQ(audio.Control(3)->ToolTipText(), "Stop");
  EXPECT_EQ(secondary.Control(16)->ToolTipText(), "Volume");
}

TEST_F(Panels, SpeedSettersLeaveOneSpeedButtonInRowEleven) {
  struct Case {
    std::vector<int> steps;  // 1 fast, -1 slow, 0 normal
    int id;
  };
  const Case cases[] = {
      {{}, 225},      {{1}, 226},        {{-1}, 227},          {{1, -1}, 227},
      {{-1, 0}, 225}, {{1, 1, 0, -1}, 227}, {{-1, 1, 1}, 226},
  };
  for (const Case& c : cases) {
    for (bool created : {true, false}) {
      SCOPED_TRACE(c.id);
      COrv_AudioPanel audio;
      if (created) {
        ASSERT_TRUE(audio.Create(parent_, COrv_AudioPanel::kBarId));
      }
      for (int s : c.steps) {
        const BOOL ok = s > 0 ? audio.SetFastSpeedButton() : s < 0 ? audio.SetSlowSpeedButton() : audio.ResetSpeedButton();
        EXPECT_TRUE(ok);
      }
      EXPECT_EQ(audio.GetSpeedButtonId(), c.id);
      EXPECT_EQ(audio.FindSpeedButton(), COrv_AudioPanel::kSpeedRow);
      int speedRows = 0;
      for (const COrv_PanelRow& row : audio.Rows())
        speedRows += row.id >= 225 && row.id <= 227 ? 1 : 0;
      EXPECT_EQ(speedRows, 1);
      const COrv_PanelRow& row = audio.Rows()[COrv_AudioPanel::kSpeedRow];
      EXPECT_EQ(row.up, COrv_AudioPanel::SpeedRow(c.id).up);
      COrv_ButtonEx* b = audio.Control(COrv_AudioPanel::kSpeedRow);
      if (!created) continue;
      EXPECT_EQ(b->ToolTipText(), "Select speed");
      EXPECT_EQ(GetDlgItem(audio.GetSafeHwnd(), c.id), b->GetSafeHwnd());
      EXPECT_TRUE(IsWindowVisible(b->GetSafeHwnd()));
      EXPECT_EQ(b->BitmapId(COrv_ButtonEx::kUp), row.up);
      EXPECT_EQ(b->GetMode(), 4);
      for (int other : {225, 226, 227})
        if (other != c.id) {
          EXPECT_EQ(GetDlgItem(audio.GetSafeHwnd(), other), nullptr);
        }
    }
  }
  COrv_AudioPanel audio;
  EXPECT_EQ(audio.FindButtonIndex(152), 3);
  EXPECT_EQ(audio.FindButtonIndex(4242), -1);
  EXPECT_FALSE(audio.HasButton(4242));
  EXPECT_FALSE(audio.RebuildButton(4242, COrv_AudioPanel::SpeedRow(226)));
}

TEST_F(Panels, StateCallsReachTheButtonOfTheId) {
  COrv_AudioPanel audio;
  // Before the window exists nothing is changed, and nothing fails.
  EXPECT_TRUE(audio.SetButtonState(115, true));
  EXPECT_TRUE(audio.Control(5)->IsUp());
  ASSERT_TRUE(audio.Create(parent_, COrv_AudioPanel::kBarId));

  EXPECT_TRUE(audio.SetButtonState(115, true));
  EXPECT_TRUE(audio.Control(5)->IsDown());
  EXPECT_TRUE(audio.DisableButton(115));
  EXPECT_FALSE(audio.Control(5)->IsEnabled());
  EXPECT_TRUE(audio.EnableButton(115, 0));
  EXPECT_TRUE(audio.Control(5)->IsDown());
  EXPECT_TRUE(audio.SetButtonState(115, false));
  EXPECT_TRUE(audio.Control(5)->IsUp());
  // The recording Play shares the listening Play's pictures, not its state.
  EXPECT_TRUE(audio.Control(23)->IsUp());
  // An id no button has: a no-op that succeeds.
  EXPECT_TRUE(audio.DisableButton(4242));

  // The title button has no disabled picture and stays enabled.
  EXPECT_TRUE(audio.DisableButton(220));
  EXPECT_TRUE(audio.Control(1)->IsEnabled());
}

TEST_F(Panels, BackgroundAndHelpHitTest) {
  COrv_SecondaryPanel panel;
  panel.SetBackgroundColor(RGB(252, 204, 36));
  ASSERT_TRUE(panel.Create(parent_, COrv_SecondaryPanel::kBarId));
  RedrawWindow(panel.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(pixel(panel.GetSafeHwnd(), 2, 2), RGB(252, 204, 36));

  // A picture that does not exist: light grey, and solid for good.
  panel.SetBackgroundBitmap(9999);
  RedrawWindow(panel.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(pixel(panel.GetSafeHwnd(), 2, 2), RGB(192, 192, 192));
  EXPECT_EQ(panel.GetBackgroundMode(), COrv_Panel::kSolid);
  EXPECT_EQ(panel.GetBackgroundValue(), COrv_Panel::kDefaultColour);

  // A picture that exists is laid as a pattern.
  panel.SetBackgroundBitmap(268);
  RedrawWindow(panel.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(panel.GetBackgroundMode(), COrv_Panel::kBitmap);
  HBITMAP picture = tv::buttons::LoadResourceBitmap(268, false);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, picture);
  EXPECT_EQ(pixel(panel.GetSafeHwnd(), 15, 2), GetPixel(dc, 15, 2));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(picture);

  struct Case {
    POINT at;
    int answer;
  };
  const RECT next = panel.GetButtonRect(125);
  const Case cases[] = {
      {{2, 2}, 0x10000 + 215},
      {{next.left + 5, next.top + 5}, 0x10000 + 125},
      {{500, 5}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(panel.HelpHitTest(c.at), c.answer);
    EXPECT_EQ(SendMessage(panel.GetSafeHwnd(), COrv_Panel::WM_HELPHITTEST, 0, MAKELPARAM(c.at.x, c.at.y)),
              c.answer);
  }
}

TEST_F(Panels, ButtonsGoWithThePanelWindow) {
  COrv_AudioPanel audio;
  ASSERT_TRUE(audio.Create(parent_, COrv_AudioPanel::kBarId));
  const int objects = test::liveGdiObjectCount();
  EXPECT_GT(objects, 0);
  DestroyWindow(audio.GetSafeHwnd());
  EXPECT_EQ(audio.GetSafeHwnd(), nullptr);
  EXPECT_EQ(audio.Control(3), nullptr);
  EXPECT_EQ(audio.FindButtonIndex(152), -2);
  EXPECT_TRUE(audio.SetButtonState(152, true) == FALSE);
  EXPECT_FALSE(audio.SetFastSpeedButton());
  EXPECT_LT(test::liveGdiObjectCount(), objects);
}

// The frame docks both panels, shows them as the frame state says, and a
// click on a button runs its command from the command table.
TEST(PanelsInFrame, DockedShownAndClicksReachTheCommandTable) {
  FrameServices s;
  s.screen = [] { return QRect(0, 0, 1024, 768); };
  s.createDdeServer = [] { return true; };
  CMainFrame frame(s);
  const int32_t on = 1, off = 0;
  frame.FrameState().SetValue(24, &on);
  frame.FrameState().SetValue(25, &off);
  ASSERT_TRUE(frame.OnCreate());
  ASSERT_TRUE(frame.AudioDock() && frame.SecondaryDock());
  EXPECT_EQ(frame.dockWidgetArea(frame.AudioDock()), Qt::LeftDockWidgetArea);
  EXPECT_EQ(frame.dockWidgetArea(frame.SecondaryDock()), Qt::RightDockWidgetArea);
  EXPECT_FALSE(frame.AudioDock()->isHidden());
  EXPECT_TRUE(frame.SecondaryDock()->isHidden());
  EXPECT_EQ(frame.AudioPanel().GetBackgroundValue(), RGB(252, 204, 36));

  std::vector<int> ran;
  frame.Commands().Add(152, [&] { ran.push_back(152); });
  frame.Commands().Add(221, [&] { ran.push_back(221); });
  for (int row : {3, 17}) {  // Stop, and the recording title that ignores clicks
    HWND b = frame.AudioPanel().Control(row)->GetSafeHwnd();
    RECT r;
    GetWindowRect(b, &r);
    const POINT mid{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    injectMouse(b, mid, 1, true);
    injectMouse(b, mid, 1, false);
    pumpMessages();
  }
  EXPECT_EQ(ran, std::vector<int>{152});

  auto* host = static_cast<PanelHost*>(frame.AudioDock()->widget());
  const RECT stop = frame.AudioPanel().GetButtonRect(152);
  EXPECT_EQ(host->ToolTipAt(QPoint(stop.left + 3, stop.top + 3)), "Stop");
  EXPECT_EQ(host->ToolTipAt(QPoint(2, 2)), "");
}

}  // namespace
