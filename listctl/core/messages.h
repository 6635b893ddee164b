// The list control's messages: the system list-box messages it answers and
// the library's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win/win_types.h"

namespace lindra {

using plat::win::UINT;

inline constexpr UINT LB_ADDSTRING = 0x180, LB_INSERTSTRING = 0x181, LB_DELETESTRING = 0x182,
                      LB_SELITEMRANGEEX = 0x183, LB_RESETCONTENT = 0x184, LB_SETSEL = 0x185,
                      LB_SETCURSEL = 0x186, LB_GETSEL = 0x187, LB_GETCURSEL = 0x188,
                      LB_GETTEXT = 0x189, LB_GETTEXTLEN = 0x18A, LB_GETCOUNT = 0x18B,
                      LB_SELECTSTRING = 0x18C, LB_DIR = 0x18D, LB_GETTOPINDEX = 0x18E,
                      LB_FINDSTRING = 0x18F, LB_GETSELCOUNT = 0x190, LB_GETSELITEMS = 0x191,
                      LB_SETTABSTOPS = 0x192, LB_GETHORIZONTALEXTENT = 0x193,
                      LB_SETHORIZONTALEXTENT = 0x194, LB_SETCOLUMNWIDTH = 0x195,
                      LB_SETTOPINDEX = 0x197, LB_GETITEMRECT = 0x198, LB_GETITEMDATA = 0x199,
                      LB_SETITEMDATA = 0x19A, LB_SELITEMRANGE = 0x19B, LB_SETCARETINDEX = 0x19E,
                      LB_GETCARETINDEX = 0x19F, LB_SETITEMHEIGHT = 0x1A0, LB_GETITEMHEIGHT = 0x1A1,
                      LB_FINDSTRINGEXACT = 0x1A2, LB_GETHITROW = 0x1B3;

// Library messages.
inline constexpr UINT kMsgGetFrame = 0x465, kMsgSetFrame = 0x466, kMsgPaintFrame = 0x471,
                      kMsgLoadState = 0x474, kMsgSaveState = 0x475, kMsgSetMultiSel = 0x47D,
                      kMsgTextExtent = 0x47E, kMsgLastHitCell = 0x47F,
                      kMsgSetPropertyAlias = 0x4CB, kMsgGetPropertyAlias = 0x4CC,
                      kMsgSetProperty = 0x52D, kMsgGetProperty = 0x52E,
                      kMsgPendingFirst = 0x600, kMsgPendingLast = 0x609,
                      kMsgRecomputeMetrics = 0x60C, kMsgResize = 0x60D, kMsgSetValueBlock = 0x60E,
                      kMsgGetNotifyTarget = 0x610, kMsgSetNotifyTarget = 0x611,
                      kMsgDrawRequest = 0x612, kMsgCurrentText = 0x613, kMsgCurrentTextLength = 0x614,
                      kMsgColumnsChanged = 0x615, kMsgSetOwnerValue = 0x617,
                      kMsgTipQuery1 = 0x771, kMsgTipQuery2 = 0x772;

// Notifications to the notify target (wParam: the control identifier).
inline constexpr UINT kNotifyKeyDown = 0x502,     // lParam: LbxKeyNotify*
                      kNotifyChar = 0x503,        // lParam: std::uint32_t* (the character)
                      kNotifyLButtonDown = 0x506, // lParam: the mouse position
                      kNotifyLDoubleClick = 0x507,
                      kNotifyFirstTarget = 0x508,
                      kNotifyTipText = 0x50C;

// The record of a key-down notification; the target may change or zero the key.
struct LbxKeyNotify {
  std::uint16_t key;
  std::uint16_t shifts;  // 1 Shift, 2 Ctrl, 4 Alt
};

inline constexpr plat::win::UINT_PTR kCaretBlinkTimer = 0x93;

// WM_COMMAND codes of a click on a header: 2000 a column header, 2001 a
// group header. The clicked column (or group) position is the column of the
// last hit cell (0x47F), with row -1.
inline constexpr unsigned kLbnHeaderClick = 2000, kLbnGroupHeaderClick = 2001;

// The record of the text-tip request 0x50C (wParam: the control
// identifier). The list fills it with the cell under the mouse and its text,
// and `result` 1 when the text does not fit its cell; the target may change
// the text and sets `result` to 1 to show the tip, 0 for none.
inline constexpr std::size_t kTipTextSize = 1024;
#pragma pack(push, 1)
struct LbxTipRequest {
  std::int32_t result;                 // byte 0
  std::int32_t left, top, right, bottom;  // bytes 4-19: the cell, client coordinates
  std::int16_t column;                 // byte 20: column position, -1 without columns
  std::int32_t row;                    // byte 22
  char text[kTipTextSize];             // byte 26: NUL-terminated UTF-8
};
#pragma pack(pop)
static_assert(offsetof(LbxTipRequest, column) == 20 && offsetof(LbxTipRequest, row) == 22 &&
              offsetof(LbxTipRequest, text) == 26);

}  // namespace lindra
