// The list control's per-window record and the library's process-wide state.
//
// Every window of the list class owns one LbxInstance, kept in window long 0
// (pointer-width here), taken zero-filled from the library pool when the
// window is created and freed there when it is destroyed.
#pragma once

#include <cstdint>

#include "listctl/pool/pool.h"
#include "listctl/store/store_types.h"
#include "platform/win/win_types.h"

namespace lindra {

using plat::win::HWND;
using plat::win::LPARAM;
using plat::win::LRESULT;
using plat::win::UINT;
using plat::win::WPARAM;

inline constexpr const char* kListClass = "nwListBox3230";
inline constexpr const char* kComboClass = "nwComboBox3230";
inline constexpr const char* kVScrollClass = "nwVScrollBar3230";
inline constexpr const char* kComboListClass = "nwComboListDLL3230";
inline constexpr const char* kComboEditClass = "nwComboEditDLL3230";

// List-box style bits (window style) and results.
inline constexpr std::uint32_t LBS_NOTIFY = 0x1, LBS_SORT = 0x2, LBS_MULTIPLESEL = 0x8,
                               LBS_OWNERDRAWFIXED = 0x10, LBS_EXTENDEDSEL = 0x800;
inline constexpr LRESULT LB_ERR = -1, LB_ERRSPACE = -2;
inline constexpr unsigned LBN_SELCHANGE = 1, LBN_DBLCLK = 2, LBN_SETFOCUS = 4, LBN_KILLFOCUS = 5;
inline constexpr UINT ODT_LISTBOX = 2;

// The "none" value of the library's 16-bit handles.
inline constexpr std::uint16_t kNoHandle = 0xFFFF;

// Bits of LbxInstance::styleWord.
inline constexpr std::uint32_t kStyleNoRedraw = 0x4;

// One default cell attribute record.
struct LbxAttr {
  std::uint32_t foreColor;  // colour references; 0x800000nn names system colour nn
  std::uint32_t backColor;
  std::uint16_t font;       // 16-bit font handle, kNoHandle for the list font
  std::uint16_t picture;
  std::int16_t lineStyle;   // line / 3-D setting
  std::int16_t align;
};

// The record of the 3-D frame drawn around the control (54 bytes, copied in
// and out whole by messages 0x465 and 0x466). Byte 0 holds its flags.
inline constexpr std::size_t kFrameRecordSize = 54;

struct LbxInstance {
  HWND hwnd;
  plat::win::HINSTANCE instance;
  HWND parent;
  std::uint32_t style;        // window style at creation, scroll-bar bits removed
  std::uint16_t controlId;

  std::int32_t itemsPerPage;  // item store page size
  std::int32_t itemCount;
  std::int32_t curSel;        // caret / selected index
  std::int32_t anchor;
  std::uint16_t hitColumn;    // last hit cell: column (kNoHandle) and row (-1)
  std::int32_t hitRow;
  std::int32_t topIndex;

  std::int32_t rowHeight;
  std::int32_t accentRoom;    // pixels the rows add above the font's ascent for its accents
  std::int32_t columnWidth;   // default column width of multi-column lists
  std::int32_t headerHeight;
  std::int32_t tabWidth;      // in space widths
  std::int32_t clientWidth, clientHeight;

  LbxAttr* attrs[5];
  std::uint32_t selBackColor, selTextColor;
  std::int32_t tipDelayMs;
  std::uint32_t tipBackColor, tipTextColor;
  char32_t decimalSep, thousandSep;
  std::int32_t horzResolution;
  std::int16_t vScrollWidth, hScrollHeight;  // scroll-bar metric - 1

  std::uint16_t font, picture, currentColumn;  // 16-bit handles
  std::int32_t noneValue;
  float noneFloat1, noneFloat2;
  plat::win::HFONT hfont;     // the font set by WM_SETFONT

  bool notifyEnable;
  bool keyNotify;
  bool drawGrid, drawFocus, drawSelection;
  bool hasFocus;
  bool captured;
  bool eraseNext;
  bool addMode;
  bool caretBlink;
  bool shiftDown, ctrlDown;
  bool dragging;
  std::uint32_t styleWord;    // kStyleNoRedraw and drawing bits
  std::uint32_t pending;      // pending-update bits (see dispatch.cpp)
  bool scrollPending;         // flag byte of the stored scroll amount
  std::int32_t scrollAmount;
  bool tipArmed;

  HWND hScroll, vScroll;      // the two "ScrollBar" children
  HWND ownVScroll;            // own vertical scroll bar, when one was made
  HWND notifyTarget;          // set by 0x611
  HWND firstNotify;           // the first target ever set
  HWND comboOwner;            // the combo that owns this list, when it is a drop-down
  HWND wheelForward;
  plat::win::HCURSOR hitCursor;  // chosen by the last hit test
  LPARAM ownerValue;             // 0x617
  std::uint8_t typeAhead[32];
  std::uint8_t frame[kFrameRecordSize];

  LbxStore store;             // items and cells (listctl/store/store.h)

  // The view: scrolling, type-ahead and text tips (listctl/view).
  std::uint32_t scrollStyle;  // WS_HSCROLL / WS_VSCROLL asked for: the bars the list draws itself
  std::int32_t horzExtent;    // LB_SETHORIZONTALEXTENT, pixels
  std::int32_t xOffset;       // horizontal scroll position, pixels
  std::int32_t wheelRest;     // wheel turn not yet worth a line
  std::uint32_t typeAheadTick;  // time of the last type-ahead character
  std::int32_t dragRow;       // row under the mouse while the button is held, -1 none
  std::int32_t resizeColumn;  // column position whose border is dragged, -1 none
  std::int32_t resizeStartX, resizeStartWidth;
  std::int32_t tipRow, tipColumn;  // cell under the mouse for the text tip, -1 none
  std::uint32_t tipSince;     // when the mouse came to that cell
  HWND tipWindow;             // the nwTextTip window while one is shown
  bool vBarShown, hBarShown;  // as last laid out
};

// The instance of a list window, or null.
LbxInstance* instanceOf(HWND hwnd);

// Where notifications of the control go: the 0x611 target, else the owning
// combo, else the parent.
HWND notifyTargetOf(const LbxInstance* inst);
// WM_COMMAND with the control id and `code` to the notify target.
void notifyCommand(LbxInstance* inst, unsigned code);

}  // namespace lindra
