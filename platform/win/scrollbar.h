#pragma once
// The built-in "ScrollBar" control (SB_CTL): range, page and position,
// painted arrows, track and thumb; clicks and drags send WM_VSCROLL or
// WM_HSCROLL with the scroll codes to the parent, with the control's
// handle in lParam.

#include "platform/win/win_types.h"

namespace plat::win {

struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0, nMax = 0;
  UINT nPage = 0;
  int nPos = 0, nTrackPos = 0;
};

constexpr DWORD SBS_HORZ = 0x0, SBS_VERT = 0x1;
constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
              SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4,
              SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7,
              SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
               SIF_TRACKPOS = 0x10, SIF_ALL = 0x17;
constexpr UINT SBM_SETPOS = 0xE0, SBM_GETPOS = 0xE1, SBM_SETRANGE = 0xE2, SBM_GETRANGE = 0xE3,
               SBM_ENABLE_ARROWS = 0xE4, SBM_SETRANGEREDRAW = 0xE6, SBM_SETSCROLLINFO = 0xE9,
               SBM_GETSCROLLINFO = 0xEA;
constexpr UINT ESB_ENABLE_BOTH = 0, ESB_DISABLE_BOTH = 3;

// Only SB_CTL bars are kept; the window's own SB_HORZ and SB_VERT bars are
// not drawn by this layer (controls draw their own), and these calls
// answer 0 for them.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* si, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* si);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos);
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
BOOL EnableScrollBar(HWND hwnd, int bar, UINT arrows);

namespace detail {
LRESULT scrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
}

}  // namespace plat::win
