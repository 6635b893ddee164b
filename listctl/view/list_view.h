// The list control on screen: its layout (header rows, columns, the rows
// area and the two scroll bars it draws itself), painting, scrolling,
// selection by keyboard and mouse, type-ahead search, the wheel and the
// text tip.
//
// Where a rule is open, the Windows list box decides:
//  - a single-selection list selects what the caret reaches; a multiple-
//    selection list (LBS_MULTIPLESEL) moves the caret with the keys and
//    toggles with Space or a click; an extended-selection list
//    (LBS_EXTENDEDSEL) selects one item, or with Shift the range from the
//    anchor, and with Ctrl moves the caret (keys) or toggles (click);
//  - LBN_SELCHANGE and LBN_DBLCLK are sent only with LBS_NOTIFY, and only
//    when the selection changed (double clicks always);
//  - the top index never leaves the last page partly empty;
//  - a wheel notch (WHEEL_DELTA) scrolls three rows;
//  - type-ahead (AutoSearch): "Single Char" finds the next item after the
//    caret that starts with the character, wrapping; "Multiple Char" adds
//    the character to a buffer that a pause of a second clears and finds
//    the first item from the caret on that starts with the buffer; case is
//    ignored.
//
// Painting costs only the rows that are visible: rows are walked from the
// top index until the rows area is full.
#pragma once

#include <cstdint>
#include <vector>

#include "listctl/core/lbx_instance.h"
#include "platform/win/win_types.h"

namespace lindra::view {

// A column or group as laid out: x in content coordinates (before the
// horizontal scroll), width, and its position in the property records.
struct Span {
  int x = 0, width = 0, index = 0;
  int group = -1;  // columns: the position of their group, -1 none
};

struct Geometry {
  plat::win::RECT client;
  int groupRowHeight = 0, columnRowHeight = 0;  // header rows, 0 when not shown
  plat::win::RECT rows;                         // where the rows are painted
  bool vBar = false, hBar = false;
  int barWidth = 0, barHeight = 0;
  std::vector<Span> columns;  // visible columns only
  std::vector<Span> groups;
  int contentWidth = 0;       // all columns, or the horizontal extent
  int headerHeight() const { return groupRowHeight + columnRowHeight; }
};

Geometry geometry(LbxInstance* inst);

// The height of row `row` in pixels.
int rowHeightOf(const LbxInstance* inst, int row);
// The row under client y, -1 when none.
int rowAt(LbxInstance* inst, const Geometry& g, int y);
// Rows that fit in the rows area from `top` on, counting a last partial row
// only when `partial`.
int rowsFrom(LbxInstance* inst, const Geometry& g, int top, bool partial);
// The largest top index that still fills the rows area.
int maxTop(LbxInstance* inst, const Geometry& g);
// The rectangle of item `row` in client coordinates; false for a bad index.
bool itemRect(LbxInstance* inst, int row, plat::win::RECT* r);

// Sets the top index (clamped), moves the scroll bars and repaints.
void setTop(LbxInstance* inst, int top);
void setXOffset(LbxInstance* inst, int x);
// Scrolls so that `row` is fully visible.
void ensureVisible(LbxInstance* inst, int row);
// Lays out the scroll-bar children and sets their ranges (the pending
// scroll-bar step).
void layoutBars(LbxInstance* inst);
// WM_VSCROLL / WM_HSCROLL.
void scroll(LbxInstance* inst, bool vertical, int code, int thumb);

void paint(LbxInstance* inst, HWND hwnd, plat::win::HDC dc);

// The frame drawn around a list (its non-client area: WM_NCCALCSIZE,
// WM_NCPAINT, 0x471) or a combo, from a 54-byte frame record. From the
// outside in: the drop shadow along the right and bottom (BorderDropShadow,
// OnFocusShadow) with the gray-area colour in the two corners it leaves;
// the border (BorderStyle, BorderWidth, BorderColor; Appearance "3-D with
// Border" alone gives a one-line dark border); then either the flat line
// (Appearance "Flat") or the outside edge, the frame band (Appearance
// "Custom" only, ThreeDFrameWidth and ThreeDFrameColor) and the inside
// edge. "Custom" draws the edges in their own colours, the 3-D appearances
// in the system's 3-D colours; each edge is as many pixels wide as its
// width, and OnFocusInvert3D turns lowered into raised while focused.
struct FrameInsets {
  int left = 0, top = 0, right = 0, bottom = 0;
};
FrameInsets frameInsets(const std::uint8_t* frame);
// Paints the frame into `outer`, the rectangle that the insets surround.
void paintFrameRecord(const std::uint8_t* frame, plat::win::HDC dc, const plat::win::RECT& outer, bool focused);
// The list's own frame: its left inset, and its painting into the window.
int frameWidth(const LbxInstance* inst);
void paintFrame(LbxInstance* inst, plat::win::HDC windowDc, const plat::win::RECT& outer);

// Input.
void keyboard(LbxInstance* inst, HWND hwnd, unsigned key, unsigned shifts);
void typeAhead(LbxInstance* inst, HWND hwnd, char32_t ch);
void button(LbxInstance* inst, HWND hwnd, int button, bool doubleClick, LPARAM point);
void mouseMove(LbxInstance* inst, HWND hwnd, LPARAM point);
void buttonUp(LbxInstance* inst, HWND hwnd, LPARAM point);
bool wheel(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, HWND forward);
// Finds the column or group border under a client point: the resize cursor
// for it, or null.
plat::win::HCURSOR borderCursorAt(LbxInstance* inst, plat::win::POINT pt);

// What lies under the mouse cursor now (the MouseOver properties): the
// row and column of a cell, the column or group whose header it is over,
// and the group of the column; -1 for none.
struct CursorHit {
  int row = -1, column = -1, columnHeader = -1, group = -1, groupHeader = -1;
};
CursorHit hitAtCursor(LbxInstance* inst);

// Selection changes that the keys, the mouse and type-ahead share. `extend`:
// the range from the anchor; `toggle`: flip the item (multiple and Ctrl).
void selectByUser(LbxInstance* inst, int row, bool extend, bool toggle, bool keepOthers);

// Text tips (class "nwTextTip").
void tipTick(LbxInstance* inst, HWND hwnd);     // the tip timer
void hideTip(LbxInstance* inst);
bool registerTipClass(plat::win::HINSTANCE module);
void unregisterTipClass(plat::win::HINSTANCE module);
inline constexpr plat::win::UINT_PTR kTipTimer = 0x94;
inline constexpr const char* kTipClass = "nwTextTip";

}  // namespace lindra::view
