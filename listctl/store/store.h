// The item and cell store of a list control: paged item records, texts and
// cells, sorted insertion, re-sorting and searching.
//
// Every function takes the instance record; none needs a window (a null
// inst->hwnd skips repainting and messages to the list itself).
// Indexes are item indexes; column arguments are display positions, mapped
// to cells through LbxStore::dataIndex.
//
// Sorting orders texts by the root collation (dictionary order: accents
// beside their base letters); type 0 keys ignore case, type 1 keys put
// lower case first on a tie. Searching keeps the Windows list box's rule:
// Unicode simple case folding of each code point, a prefix for
// LB_FINDSTRING and the whole text for LB_FINDSTRINGEXACT, from the item
// after `start` to the end, then from 0 up to start (start -1: the whole
// list).
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "listctl/core/lbx_instance.h"

namespace lindra {

// ---- records
// The record of item `index`, or null when out of range. Inline, as are the
// text reads below: every painted row and every list-box message goes
// through them.
inline LbxItem* lbxItem(LbxInstance* inst, int index) {
  if (!inst || index < 0 || index >= inst->itemCount) return nullptr;
  const auto i = static_cast<unsigned>(index);
  const unsigned page = i / kItemsPerPage;
  if (page >= static_cast<unsigned>(inst->store.pageCount) || !inst->store.pages[page]) return nullptr;
  return &inst->store.pages[page][i % kItemsPerPage];
}
// Makes room for n zeroed records (row height -1) at pos (-1 = at the end).
// false when memory fails; the count is then unchanged.
bool lbxInsertRecords(LbxInstance* inst, int pos, int n);
// Removes n records at pos (-1 = 0) and shrinks the pages.
void lbxRemoveRecords(LbxInstance* inst, int pos, int n);
// Moves the record at `from` down to `to` (from > to), shifting those between up.
void lbxMoveItemDown(LbxInstance* inst, int from, int to);
// Releases an item's content and attribute; the record stays.
void lbxFreeItem(LbxInstance* inst, int index);

// ---- list-box operations (LB_ results)
// LB_ADDSTRING: the new index, LB_ERRSPACE when memory fails.
LRESULT lbxAddString(LbxInstance* inst, const char* text);
// LB_INSERTSTRING: index -1 appends (sorted when the list sorts); 0..count
// inserts there; others answer LB_ERR and change nothing.
LRESULT lbxInsertString(LbxInstance* inst, int index, const char* text);
// LB_DELETESTRING: the new count, LB_ERR for a bad index.
LRESULT lbxDeleteString(LbxInstance* inst, int index);
// LB_RESETCONTENT: frees every item, the pages and the page table. With
// `keepRoomFor`, the record pages that hold that many records stay
// (cleared) for a refill that follows at once.
void lbxResetContent(LbxInstance* inst, int keepRoomFor = 0);
// Appends `n` empty items (ListCount, Row = count): false when memory fails.
bool lbxAppendEmpty(LbxInstance* inst, int n);

// ---- texts
// A text the store copied (see kTextHeader); empty for null.
inline std::string_view lbxStoredText(const char* text) {
  if (!text) return {};
  std::uint32_t n;
  std::memcpy(&n, text - kTextHeader, sizeof n);
  return {text, n};
}

// lbxItemText for an item with cells or a single column.
bool lbxCellItemText(const LbxInstance* inst, const LbxItem& item, int column, std::string* out, char separator);

// Items lbxItemText reads ahead: texts are mostly read in list order
// (painting, saving, searching by hand), so while one is copied the text a
// few items on is fetched.
inline constexpr unsigned kReadAhead = 16;

// The text of item `index`; column -1: the item text (cells joined with
// `separator`, 0 = tab); false when there is no such item or column.
inline bool lbxItemText(const LbxInstance* inst, int index, int column, std::string* out, char separator = 0) {
  const LbxItem* r = lbxItem(const_cast<LbxInstance*>(inst), index);
  if (!r || (inst->style & LBS_OWNERDRAWFIXED)) return false;
  if (column >= 0 || r->cellCount != 0) return lbxCellItemText(inst, *r, column, out, separator);
  if (static_cast<unsigned>(index) % kItemsPerPage + kReadAhead < static_cast<unsigned>(kItemsPerPage) &&
      static_cast<unsigned>(index) + kReadAhead < static_cast<unsigned>(inst->itemCount))
    __builtin_prefetch(reinterpret_cast<const void*>(r[kReadAhead].content));
  out->assign(lbxStoredText(reinterpret_cast<const char*>(r->content)));
  return true;
}
// Replaces an item's whole text (cut into cells on a list with columns).
// With `resort` the item moves to its sorted place. The new index, or -1
// (bad index), -2 (memory).
int lbxSetItemText(LbxInstance* inst, int index, const char* text, bool resort);
// Stores `text` in the cell of column position `column`. The store makes
// its own copy unless `callerOwned`, in which case it keeps the pointer and
// never frees it. 1 stored, 0 unchanged (same text: the old block stays),
// -1 no such item or column, -2 memory.
int lbxSetCellText(LbxInstance* inst, int index, int column, const char* text, bool callerOwned = false);
// The text pointer stored for a cell (null when empty): lets callers see
// whether a block was kept.
const char* lbxCellTextPtr(const LbxInstance* inst, int index, int column);

// ---- columns (called by the column code when its columns change)
// Sets the column count and each position's data index (null: identity).
void lbxSetColumns(LbxInstance* inst, int count, const std::uint16_t* dataIndex);
// Frees the cells of data index `dataIndex` in every item (column deleted).
void lbxDropCells(LbxInstance* inst, int dataIndex);

// ---- rows
void lbxSetRowHeight(LbxInstance* inst, int row, int height);
int lbxRowHeight(const LbxInstance* inst, int row);  // own height or -1
bool lbxSetItemData(LbxInstance* inst, int index, std::uintptr_t data);
// Sets or clears the selection bit; false for a bad index.
bool lbxSetSelected(LbxInstance* inst, int index, bool on);
bool lbxIsSelected(const LbxInstance* inst, int index);

// ---- sorting
// Whether added items go to their sorted place.
bool lbxSortsOnInsert(const LbxInstance* inst);
// Sets the list order (Sorted 0/1/2) and re-sorts when it sorts.
void lbxSetSorted(LbxInstance* inst, int order);
// Sets the column sort keys in sequence order (ColSorted/ColSortSeq/ColSortDataType).
void lbxSetSortKeys(LbxInstance* inst, const LbxSortKey* keys, int n);
// Sorts all items now (stable); the selection, caret and anchor follow
// their items. false when memory fails (nothing changed).
bool lbxResort(LbxInstance* inst);
// Compares two texts as a key of `type` would: <0, 0, >0.
int lbxCompareText(std::string_view a, std::string_view b, int type);

// ---- searching
// LB_FINDSTRING (prefix) / LB_FINDSTRINGEXACT: the index found or LB_ERR.
LRESULT lbxFindString(LbxInstance* inst, int start, const char* text, bool exact);
// LB_SELECTSTRING: finds by prefix and makes the item the selection.
LRESULT lbxSelectString(LbxInstance* inst, int start, const char* text);
// The Search action: method 0 exact, 1 the first item whose text is not
// below `text` in the sorting collation (without case when ignoreCase),
// 2 partial (prefix); column -1 the item text, else a column position;
// from the item after `start`. The index or -1.
int lbxSearch(LbxInstance* inst, const char* text, int method, int column, int start, bool ignoreCase);

// ---- the dispatcher's seam
LRESULT lbxStoreMessage(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Hooks that other parts of the library install (defaults: nothing).
struct StoreHooks {
  void (*releaseAttr)(LbxInstance*, std::uint16_t handle);
  void (*itemsChanged)(LbxInstance*);  // per-column refresh after an insertion
};
StoreHooks& storeHooks();

}  // namespace lindra
