#include "listctl/core/instance.h"
#include "listctl/view/list_view.h"

#include <cstring>
#include <string>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/store/store.h"
#include "platform/fs/config_root.h"
#include "platform/profile/profile.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;

namespace {

// The first character of a UTF-8 text, or `def` when it is empty or broken.
char32_t firstChar(const std::string& s, char32_t def) {
  if (s.empty()) return def;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  if (p[0] < 0x80) return p[0];
  int len = (p[0] & 0xE0) == 0xC0 ? 2 : (p[0] & 0xF0) == 0xE0 ? 3 : (p[0] & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || n < static_cast<std::size_t>(len)) return def;
  char32_t c = p[0] & (0x7F >> len);
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return def;
    c = (c << 6) | (p[i] & 0x3F);
  }
  return c;
}

void readSeparators(LbxInstance* inst) {
  // The user's regional settings live in the "intl" section of the user
  // profile under the configuration root.
  const auto file = plat::fs::configRoot() / "win.ini";
  inst->decimalSep = firstChar(plat::profile::getString(file, "intl", "sDecimal", ".", 8), U'.');
  inst->thousandSep = firstChar(plat::profile::getString(file, "intl", "sThousand", ",", 8), U',');
}

void initAttr(LbxAttr* a, std::int16_t lineStyle) {
  a->foreColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOWTEXT;
  a->backColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOW;
  a->font = kNoHandle;
  a->picture = kNoHandle;
  a->lineStyle = lineStyle;
  a->align = 0;
}

void freeRecord(LbxInstance* inst) {
  for (LbxAttr*& a : inst->attrs) {
    if (a) PoolFree(a);
    a = nullptr;
  }
  PoolFree(inst);
}

void destroyChild(HWND& child) {
  if (child && pw::IsWindow(child)) pw::DestroyWindow(child);
  child = nullptr;
}

// Undoes the steps of a creation that failed part way.
void rollBack(HWND hwnd, LbxInstance* inst) {
  if (inst) {
    destroyChild(inst->hScroll);
    destroyChild(inst->vScroll);
    freeRecord(inst);
  }
  pw::SetWindowLongPtr(hwnd, 0, 0);
  uncountInstance();
  releasePool();
}

}  // namespace

LbxInstance* allocRecord() {
  auto* inst = static_cast<LbxInstance*>(PoolAlloc(libraryPool(), sizeof(LbxInstance), kAllocZero));
  if (!inst) return nullptr;
  for (LbxAttr*& a : inst->attrs) {
    a = static_cast<LbxAttr*>(PoolAlloc(libraryPool(), sizeof(LbxAttr), kAllocZero));
    if (!a) {
      freeRecord(inst);
      return nullptr;
    }
  }
  return inst;
}

bool createInstance(HWND hwnd, const pw::CREATESTRUCT* cs) {
  countInstance();
  if (!acquirePool()) {
    uncountInstance();
    return false;
  }
  LbxInstance* inst = allocRecord();
  if (!inst) {
    rollBack(hwnd, nullptr);
    return false;
  }
  pw::SetWindowLongPtr(hwnd, 0, reinterpret_cast<pw::LONG_PTR>(inst));

  const auto style = static_cast<std::uint32_t>(cs->style);
  inst->hwnd = hwnd;
  inst->instance = cs->hInstance;
  inst->parent = cs->hwndParent;
  inst->style = style & ~(pw::WS_HSCROLL | pw::WS_VSCROLL);
  inst->scrollStyle = style & (pw::WS_HSCROLL | pw::WS_VSCROLL);
  inst->dragRow = inst->resizeColumn = inst->tipRow = inst->tipColumn = -1;
  inst->controlId = static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(cs->hMenu));
  inst->itemsPerPage = 3555;
  inst->curSel = -1;
  inst->anchor = -1;
  inst->hitColumn = kNoHandle;
  inst->hitRow = -1;
  inst->tabWidth = 2;
  initAttr(inst->attrs[0], 0);
  initAttr(inst->attrs[1], 2);
  initAttr(inst->attrs[2], 2);
  initAttr(inst->attrs[3], 0);
  initAttr(inst->attrs[4], 0);
  inst->selBackColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_HIGHLIGHT;
  inst->selTextColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_HIGHLIGHTTEXT;
  inst->tipDelayMs = 500;
  inst->tipBackColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_INFOBK;
  inst->tipTextColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_INFOTEXT;
  readSeparators(inst);
  inst->horzResolution = pixelsPerInchX();
  inst->vScrollWidth = static_cast<std::int16_t>(pw::GetSystemMetrics(pw::SM_CXVSCROLL) - 1);
  inst->hScrollHeight = static_cast<std::int16_t>(pw::GetSystemMetrics(pw::SM_CYHSCROLL) - 1);
  inst->font = kNoHandle;
  inst->picture = kNoHandle;
  inst->currentColumn = kNoHandle;
  inst->noneValue = -1;
  inst->noneFloat1 = -1.0f;
  inst->noneFloat2 = -1.0f;
  inst->notifyEnable = true;
  inst->keyNotify = true;
  inst->drawGrid = inst->drawFocus = inst->drawSelection = true;
  inst->frame[0] = 1;
  propertyInitFrame(inst);
  inst->store.lastAdded = -1;
  inst->store.searchPos[0] = inst->store.searchPos[1] = -1;

  // Row height and column width from the default font. Every device
  // context starts with that font, so the screen's serves: the window's
  // own would make its backing image long before anything paints.
  pw::HDC dc = pw::GetDC(nullptr);
  if (!dc) {
    rollBack(hwnd, inst);
    return false;
  }
  pw::TEXTMETRIC tm;
  pw::GetTextMetrics(dc, &tm);
  pw::ReleaseDC(nullptr, dc);
  inst->rowHeight = tm.tmHeight + tm.tmExternalLeading;
  inst->columnWidth = tm.tmAveCharWidth;

  if (style & LBS_OWNERDRAWFIXED) {
    if (HWND target = notifyTargetOf(inst)) {
      pw::MEASUREITEMSTRUCT mi;
      mi.CtlType = ODT_LISTBOX;
      mi.CtlID = inst->controlId;
      mi.itemID = 0;
      mi.itemHeight = static_cast<UINT>(inst->rowHeight);
      pw::SendMessage(target, pw::WM_MEASUREITEM, inst->controlId, reinterpret_cast<LPARAM>(&mi));
      if (!pw::IsWindow(hwnd)) return false;
      if (mi.itemHeight > 0 && mi.itemHeight < 0x8000) inst->rowHeight = static_cast<std::int32_t>(mi.itemHeight);
    }
  }

  inst->hScroll = pw::CreateWindowEx(0, "ScrollBar", nullptr, 0x50000000, 0, 0, 0, 0, hwnd, nullptr,
                                     cs->hInstance, nullptr);
  inst->vScroll = pw::CreateWindowEx(0, "ScrollBar", nullptr, 0x50000001, 0, 0, 0, 0, hwnd, nullptr,
                                     cs->hInstance, nullptr);
  if (!inst->hScroll || !inst->vScroll) {
    rollBack(hwnd, inst);
    return false;
  }

  // The control draws its own scroll bars.
  pw::SetWindowLong(hwnd, pw::GWL_STYLE,
                    pw::GetWindowLong(hwnd, pw::GWL_STYLE) & ~static_cast<pw::LONG>(pw::WS_HSCROLL | pw::WS_VSCROLL));

  if (style & 0x2000) pw::SendMessage(hwnd, kMsgSetPropertyAlias, 105, 16);
  else if (style & 0x4000) pw::SendMessage(hwnd, kMsgSetPropertyAlias, 105, 32);
  return true;
}

void destroyInstance(HWND hwnd) {
  if (!pw::IsWindow(hwnd)) return;
  LbxInstance* inst = instanceOf(hwnd);
  if (!inst) return;
  // Items and cells belong to the store, columns, groups, fonts and
  // pictures to the property code; the record's own blocks are freed here.
  view::hideTip(inst);
  pw::KillTimer(hwnd, view::kTipTimer);
  lbxResetContent(inst);
  propertyRelease(inst);
  destroyChild(inst->hScroll);
  destroyChild(inst->vScroll);
  destroyChild(inst->ownVScroll);
  pw::SetWindowLongPtr(hwnd, 0, 0);
  freeRecord(inst);
  uncountInstance();
  releasePool();
}

}  // namespace lindra
