#pragma once
// The built-in single-line "Edit" control: a UTF-8 text with a selection
// and a caret, typed characters (WM_CHAR), editing and caret keys, a text
// limit, and the EN_ notifications to the parent by WM_COMMAND (control id
// in the low, code in the high word of wParam, the edit in lParam).
//
// Positions (EM_GETSEL, EM_SETSEL) count characters, not bytes.

#include "platform/win/win_types.h"

namespace plat::win {

// Edit styles.
constexpr DWORD ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_AUTOHSCROLL = 0x80,
                ES_NOHIDESEL = 0x100, ES_READONLY = 0x800;

// Edit messages.
constexpr UINT EM_GETSEL = 0xB0, EM_SETSEL = 0xB1, EM_SCROLLCARET = 0xB7, EM_GETMODIFY = 0xB8,
               EM_SETMODIFY = 0xB9, EM_REPLACESEL = 0xC2, EM_LIMITTEXT = 0xC5,
               EM_SETLIMITTEXT = 0xC5, EM_SETREADONLY = 0xCF, EM_GETLIMITTEXT = 0xD5;

// Edit notifications.
constexpr UINT EN_SETFOCUS = 0x100, EN_KILLFOCUS = 0x200, EN_CHANGE = 0x300, EN_UPDATE = 0x400,
               EN_ERRSPACE = 0x500, EN_MAXTEXT = 0x501;

// The limit of an edit whose limit was never set (or set to 0).
constexpr int kEditDefaultLimit = 0x7FFFFFFE;

namespace detail {
LRESULT editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
}

}  // namespace plat::win
