// The combo box control: window class nwComboBox3230 with an edit child
// (class nwComboEditDLL3230, a superclass of the window layer's "Edit") and
// a drop-down list child (class nwComboListDLL3230, a full list control of
// this library). The combo keeps a small record of its own and hands every
// list request to the list child, so columns, sorting and the rest of the
// list library work inside the drop-down.
#pragma once

#include <cstdint>

#include "listctl/core/lbx_instance.h"
#include "platform/win/win_types.h"

namespace lindra {

// Combo-box styles (window style bits).
inline constexpr std::uint32_t CBS_SIMPLE = 0x1, CBS_DROPDOWN = 0x2, CBS_DROPDOWNLIST = 0x3,
                               CBS_OWNERDRAWFIXED = 0x10, CBS_OWNERDRAWVARIABLE = 0x20,
                               CBS_AUTOHSCROLL = 0x40, CBS_SORT = 0x100, CBS_HASSTRINGS = 0x200,
                               CBS_NOINTEGRALHEIGHT = 0x400, CBS_DISABLENOSCROLL = 0x800,
                               kCbsListVariable = 0x1000;

// Combo-box messages.
inline constexpr UINT CB_GETEDITSEL = 0x140, CB_LIMITTEXT = 0x141, CB_SETEDITSEL = 0x142,
                      CB_ADDSTRING = 0x143, CB_DELETESTRING = 0x144, CB_DIR = 0x145,
                      CB_GETCOUNT = 0x146, CB_GETCURSEL = 0x147, CB_GETLBTEXT = 0x148,
                      CB_GETLBTEXTLEN = 0x149, CB_INSERTSTRING = 0x14A, CB_RESETCONTENT = 0x14B,
                      CB_FINDSTRING = 0x14C, CB_SELECTSTRING = 0x14D, CB_SETCURSEL = 0x14E,
                      CB_SHOWDROPDOWN = 0x14F, CB_GETITEMDATA = 0x150, CB_SETITEMDATA = 0x151,
                      CB_GETDROPPEDCONTROLRECT = 0x152, CB_SETITEMHEIGHT = 0x153,
                      CB_GETITEMHEIGHT = 0x154, CB_SETEXTENDEDUI = 0x155, CB_GETEXTENDEDUI = 0x156,
                      CB_GETDROPPEDSTATE = 0x157, CB_FINDSTRINGEXACT = 0x158;
inline constexpr LRESULT CB_ERR = -1;

// Combo-box notifications (high word of WM_COMMAND's wParam).
inline constexpr unsigned CBN_ERRSPACE = 0xFFFF, CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3,
                          CBN_KILLFOCUS = 4, CBN_EDITCHANGE = 5, CBN_EDITUPDATE = 6, CBN_DROPDOWN = 7,
                          CBN_CLOSEUP = 8,
                          kCbnClick = 123;  // after a pick by a click, with the list's EnableClickEvent on

// The combo's private messages.
inline constexpr UINT kCbxGetList = 0x700, kCbxLayout = 0x701, kCbxKeyFilter = 0x702,
                      kCbxCharFilter = 0x703, kCbxSuppressSel = 0x704, kCbxSetHeight = 0x705,
                      kCbxGetRecord = 0x707, kCbxRepaintList = 0x708;
// Notifications of the combo to its notify target.
inline constexpr UINT kCbxBeforeDropDown = 0x50D,  // wParam 0, lParam: std::int32_t* cancel word
                      kCbxKeyEvent = 0x552,        // wParam the sender, lParam: std::uint32_t* key code
                      kCbxCharEvent = 0x553,
                      kCbxMouseEvent = 0x554;      // wParam the mouse message, lParam the point (combo client)

inline constexpr int kComboListId = 1561, kComboEditId = 1562;
inline constexpr plat::win::UINT_PTR kAutoFillTimer = 148;

enum ComboStyleValue : std::uint8_t { kDropDownCombo = 0, kSimpleCombo = 1, kDropDownList = 2 };
enum ApplyToValue : std::uint8_t { kApplyBoth = 0, kApplyListOnly = 1, kApplyEditOnly = 2 };

// One per combo window, zero-filled from the library pool at WM_NCCREATE and
// kept in window long 0.
struct CbxInstance {
  HWND notifyTarget;          // set by 0x611; null: see comboNotifyTarget
  bool sendToSelf;
  HWND hwnd, list, edit;      // edit is null for the Drop-Down List style
  std::int32_t dropped;
  std::uint32_t createStyle;
  std::uint16_t buttonWidth;
  std::uint16_t editLineHeight;
  std::uint8_t frame[kFrameRecordSize];
  char* paintedText;          // pool string: the text of a Drop-Down List
  std::int16_t columnEdit, columnBound;
  std::uint8_t style;         // ComboStyleValue
  std::uint8_t applyTo;       // ApplyToValue
  std::int16_t maxDrop;
  std::int32_t listWidth, editHeight;
  std::uint32_t grayAreaColor;
  std::int32_t listLeftOffset;
  plat::win::RECT editRect, buttonRect;
  std::uint32_t backColor, foreColor;
  plat::win::HBRUSH backBrush;
  bool suppressSel, editUpdating, buttonPressed, buttonHot;
  std::int32_t remembered;    // index of the list item whose text is shown
  std::int32_t layoutPending;
  std::int16_t comboGap;
  std::int16_t maxEditLen;
  std::int16_t editMargin[4]; // left, top, right, bottom
  std::int32_t keyEvents, mouseEvents;
  plat::win::HFONT font;
  std::int32_t helpContextId;
  std::uint8_t listPosition;  // 0 below, 1 above
  std::uint8_t button3D;
  bool redrawOff;
  bool autoSearchFill;
  std::int32_t autoSearchFillDelay;
  bool autoMenu;
  std::uint8_t editAlignH, editAlignV;
  bool notifySuppressed;
  std::int32_t lastEditLength;  // characters of the edit text at the last change
  char* fillPrefix;             // pool string: the text a delayed fill was armed for
  std::int32_t fillItem;
  bool focused;                 // CBN_SETFOCUS sent, CBN_KILLFOCUS not yet
};

// The window procedures of the three classes.
LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CB_EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CB_Colvanec(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Registration at library attach and removal at detach. Register answers
// false when a class cannot be registered.
bool RegisterComboClasses(plat::win::HINSTANCE module);
void UnregisterComboClasses(plat::win::HINSTANCE module);

// The combo instance of a window, or null.
CbxInstance* comboOf(HWND hwnd);
// The combos alive in the process.
int liveCombos();
// The combo whose list is dropped down, or null.
HWND droppedCombo();

}  // namespace lindra
