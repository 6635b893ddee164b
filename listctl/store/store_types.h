// The records of a list control's item store, kept inside LbxInstance.
//
// Items live in pages of kItemsPerPage records taken zero-filled from the
// library pool. Content and text fields are pointer-width, so a page of
// 3555 records is larger than 64 KB and comes from the pool's large path.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lindra {

inline constexpr int kItemsPerPage = 3555;
inline constexpr int kMaxColumns = 256;
inline constexpr int kMaxSortKeys = 8;

// Item flag bits.
inline constexpr std::uint8_t kItemSelected = 0x01, kItemMergeAlways = 0x04, kItemMergeRestricted = 0x08,
                              kItemOwnHeight = 0x20, kItemHidden = 0x40;
// Cell flag bits.
inline constexpr std::uint8_t kCellCallerText = 0x01;

// The texts the store copies (item texts, and cell texts that are not the
// caller's) are pool blocks of a 32-bit length, the bytes and their NUL.
// Items and cells point at the bytes, so each reads as a plain NUL-terminated
// text, and the store knows a text's length without scanning it. A
// caller-owned cell text (kCellCallerText) is the caller's own pointer with no
// length before it. Only the store makes and frees these blocks.
inline constexpr std::size_t kTextHeader = sizeof(std::uint32_t);

#pragma pack(push, 1)
struct LbxItem {
  std::uint8_t flags;
  std::int32_t rowHeight;   // -1: the list's default row height
  std::uint16_t attr;       // attribute handle, 0 = none
  std::uintptr_t content;   // char* text, LbxCell* array, or the owner's value
  std::uint16_t cellCount;  // cells in the array; 0 when content is a text
  std::uintptr_t itemData;  // LB_SETITEMDATA / ItemData
  std::uint8_t extra;       // saved and restored with the item
};
struct LbxCell {
  std::uint8_t flags;
  char* text;               // NUL-terminated UTF-8, null = empty
  std::uint16_t attr;
};
#pragma pack(pop)

// One key of a sort: a column's data index (-1: the whole item text), its
// order (1 ascending, 2 descending) and its data type (0 text ignoring case,
// 1 text with case, 2 integer, 3 float, 4 date).
struct LbxSortKey {
  std::int16_t dataIndex;
  std::uint8_t order;
  std::uint8_t type;
};

// The store's part of the instance record.
struct LbxStore {
  std::int32_t capacity;
  std::int32_t pageCount;
  LbxItem** pages;
  std::int32_t mergedRows;      // items with a merge bit set
  std::int32_t lastAdded;       // index of the last added item (NewIndex)
  std::int32_t searchPos[2];    // cached search positions, -1 = none

  // Columns as the store sees them: the data index of each display
  // position. The column code keeps this in step with its own records.
  std::uint16_t columnCount;
  std::uint16_t dataIndex[kMaxColumns];
  std::uint8_t separator;       // column separator of added texts, 0 = tab

  // Sorting: the list order (Sorted: 0 none, 1 ascending, 2 descending),
  // SortState (0 active, 1 re-sort, 2 suspended) and the column keys in
  // their sequence (ColSorted / ColSortSeq / ColSortDataType).
  std::uint8_t sorted;
  std::uint8_t sortState;
  std::uint8_t sortKeyCount;
  LbxSortKey sortKeys[kMaxSortKeys];
};

}  // namespace lindra
