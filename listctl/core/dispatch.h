// The list window procedure's dispatcher, and the seams through which the
// painting, keyboard, mouse, layout and store code plug into it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "listctl/core/lbx_instance.h"
#include "platform/win/win_types.h"

namespace lindra {

struct DispatchResult {
  LRESULT value = 0;
  bool useDefault = false;  // answer DefWindowProc's result instead
};

DispatchResult ListBoxDispatch(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Behaviour behind the dispatcher. Each entry takes the instance and the
// window; the defaults do nothing. Deferred work is posted with postPending.
struct ListBehaviour {
  using Step = void (*)(LbxInstance*, HWND);
  // Answers true when it took the message (the mouse-wheel filter).
  bool (*wheelFilter)(LbxInstance*, HWND, UINT, WPARAM, LPARAM, HWND forward);
  void (*keyboard)(LbxInstance*, HWND, unsigned key, unsigned shifts);
  void (*typeAhead)(LbxInstance*, HWND, char32_t ch);
  // button 1 left, 2 right, 3 middle; doubleClick for the double-click message.
  void (*button)(LbxInstance*, HWND, int button, bool doubleClick, LPARAM point);
  void (*paint)(LbxInstance*, HWND, plat::win::HDC dc);
  Step pending[10];  // steps of messages 0x600..0x609
};
ListBehaviour& behaviour();

// The item store and the property handlers. Until they are built they
// answer LB_ERR.
LRESULT storeMessage(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The text of item `index` (column -1: the item text); false when none.
bool storeItemText(LbxInstance* inst, int index, int column, std::string* text);
// An item's own height, or -1 when it has none.
int storeItemHeight(LbxInstance* inst, int index);
LRESULT propertySet(LbxInstance* inst, HWND hwnd, WPARAM id, LPARAM value);
LRESULT propertyGet(LbxInstance* inst, HWND hwnd, WPARAM id, LPARAM out);
// Sets for values that come from data rather than from a program (the
// saved-state stream). Each takes the value itself and sets only the ids of
// its own kind: a number never reaches a property whose lParam is a pointer
// (a text, a float, a picture, the saved state), so no value read from a
// file is ever taken for an address. Another id answers 30503.
LRESULT propertySetNumber(LbxInstance* inst, int id, std::int32_t value);
LRESULT propertySetFloat(LbxInstance* inst, int id, float value);
LRESULT propertySetText(LbxInstance* inst, int id, const std::string& text);
// True for the ids whose set takes a pointer in lParam; unknown ids too.
bool propertyTakesPointer(int id);
// Frees the property record of an instance (at its window's destruction).
void propertyRelease(LbxInstance* inst);
// Fills the frame record's default fields (at creation).
void propertyInitFrame(LbxInstance* inst);
// The font of the column-header level, null while it has none (the system
// font is then used).
plat::win::HFONT propertyHeaderFont(LbxInstance* inst);

// Posts pending step `msg` (0x600..0x609) to the control unless it is
// already pending: requests fold into one run.
void postPending(LbxInstance* inst, UINT msg);
// The pending-word bit of a step message, 0 for those without one.
std::uint32_t pendingBit(UINT msg);

// A movable, zero-filled global memory copy of `text` with its NUL, which the
// caller owns and frees: the answer to a string property asked with lParam 0.
plat::win::HGLOBAL globalTextCopy(std::string_view text);

}  // namespace lindra
