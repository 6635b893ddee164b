// The records behind the property handlers of a list control.
//
// Attribute pool (AttrPool). Every colour, cell-look record, picture and
// font that a property stores is an entry of the instance's attribute pool
// and is named by a 16-bit handle (0 = none). Entries are reference
// counted: a place that shares another's record (a cloned column) holds one
// more reference to the same handle. Colours with the same value share one
// entry. Before a change a place makes its record private (AttrPool::own):
// a record held by more than one place, or a place without one, gets a new
// entry copied from the shared record the place inherits from.
//
// Cell-look record (CellLook), the record that ListApplyTo addresses. Each
// field 0 means "not set": colours are pool handles, enumerated styles are
// kept as value + 1, the 3-D text offset as value + 1, pictures and the
// font as pool handles.
//
// Where each ListApplyTo level keeps its record, and which record a new
// private copy is taken from:
//   0 Default(All), 1 All Rows, 4 Sel Rows, 5 Odd Rows, 6 Even Rows
//        one record of the instance each, written in place
//   2 All Cols, 3 All Groups, 7 Col Headers, 8 Group Headers
//        one record of the instance each, copied from level 0
//   9 Single Col Header    the current column's header record, from level 7
//   10 Single Grp Header   the current group's header record, from level 8
//   11 Single Grp          the current group's record, from level 3
//   12 Single Item         Row and Col: the cell's record (LbxCell::attr),
//                          from the column's record, else level 2;
//                          Row -1: the column's record, from level 2;
//                          Col -1: the item's record (LbxItem::attr), from
//                          level 1; both -1: the level 0 record
// A get reads the addressed place's own record; a field not set there (or a
// place without a record) reads as "not set" (colours 0x8000000B).
//
// Column record (ColumnRec), one per column in display order: its data
// index (the cell slot of the item store, stable while the column lives; the
// handle by which the instance names its current column), its texts, its
// width in pixels (converted to and from the ColumnWidthScale unit at the
// property), parent group (-1 none), level, level height, hide, lock and
// sort fields, and its two look handles (cells, header). At most 256.
//
// Group record (GroupRec), one per group in display order: texts, width in
// pixels, parent group position, hide, lock, id and two look handles (the
// group, its header). At most 256.
//
// Line record (LineRec): solid colour, 3-D light and dark colour handles, a
// style kept as value + 1, the line width and the 3-D width. The instance
// keeps three (kind 0 with the line colours, 1 LineStyleH, 2 LineStyleV)
// and one per LineApplyTo value.
//
// Frame record: the 54 bytes of LbxInstance::frame that messages 0x465 and
// 0x466 copy whole, little-endian:
//   0  u8  flags (bit 0: the frame is drawn)
//   1  u8  ThreeDInsideStyle     2  u8  ThreeDOutsideStyle
//   3  u8  BorderStyle           4  u8  Appearance
//   5  u8  BorderDropShadow      6  u8  bit 0 OnFocusInvert3D, bit 1 OnFocusShadow
//   8  u32 inside highlight     12  u32 inside shadow
//  16  u32 outside highlight    20  u32 outside shadow
//  24  u32 border colour        28  u32 drop-shadow colour
//  32  u32 frame colour         36  u32 gray-area colour
//  40  i16 inside width         42  i16 outside width
//  44  i16 frame width          46  i16 border width
//  48  i16 drop-shadow width    50  4 bytes fill
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "listctl/core/lbx_instance.h"
#include "listctl/props/exports.h"
#include "platform/win/gdi.h"

namespace lindra::props {

inline constexpr std::uint32_t kUnsetColour = 0x8000000B;

struct CellLook {
  std::uint16_t back, fore;        // colour handles
  std::uint16_t light3D, dark3D;   // List3DText highlight and shadow colours
  std::uint8_t text3D;             // List3DText + 1
  std::uint8_t offset3D;           // List3DTextOffset + 1
  std::uint8_t multiLine, alignH, alignV, pictureAlignH, pictureAlignV, orientation, ellipsis;  // value + 1
  std::uint16_t picture, pictureSel;  // picture handles
  std::uint16_t font;                 // font handle
};

class AttrPool {
 public:
  AttrPool() = default;
  AttrPool(const AttrPool&) = delete;
  AttrPool& operator=(const AttrPool&) = delete;
  ~AttrPool();

  // A handle for a colour (a new reference), 0 when the pool is full.
  std::uint16_t colour(std::uint32_t value);
  std::uint32_t colourOf(std::uint16_t h) const;  // kUnsetColour for 0
  // A picture entry; one given `owned` (a bitmap the list made, whose handle
  // is p.value) deletes that bitmap when its last reference goes.
  std::uint16_t picture(const PictureBlock& p, plat::win::HBITMAP owned = nullptr);
  PictureBlock pictureOf(std::uint16_t h) const;
  // A font entry takes ownership of `font`.
  std::uint16_t font(const plat::win::LOGFONT& lf, plat::win::HFONT font);
  plat::win::HFONT fontOf(std::uint16_t h) const;
  const plat::win::LOGFONT* fontDescOf(std::uint16_t h) const;

  std::uint16_t look(const CellLook& l);
  const CellLook* lookOf(std::uint16_t h) const;
  // Makes `*place` a record of its own, copied from `shared` (or from the
  // record it shares) when it has none; null when the pool is full.
  CellLook* own(std::uint16_t* place, std::uint16_t shared);

  void addRef(std::uint16_t h);
  void release(std::uint16_t h);
  int liveEntries() const;

 private:
  enum class Kind : std::uint8_t { Free, Colour, Look, Picture, Font };
  struct Entry {
    Kind kind = Kind::Free;
    int refs = 0;
    std::uint32_t colour = 0;
    CellLook look{};
    PictureBlock picture{};
    plat::win::HBITMAP ownedBitmap = nullptr;
    plat::win::LOGFONT lf{};
    plat::win::HFONT hfont = nullptr;
  };
  std::uint16_t take(Kind kind);
  const Entry* at(std::uint16_t h, Kind kind) const;
  std::vector<Entry> entries_;
  std::vector<std::uint16_t> free_;
  std::unordered_map<std::uint32_t, std::uint16_t> colours_;
};

struct ColumnRec {
  std::uint16_t dataIndex = 0;
  std::string dataField, format, headerText, name;
  std::int32_t dataFieldType = 0, hide = 0, sorted = 0, sortSeq = 0, lockResize = 0, lock = 0, sortDataType = 0,
               merge = 0, id = 0;
  double widthPx = 0;
  std::int32_t parentGroup = -1, level = 0, levelHeight = 1;
  std::uint16_t look = 0, headerLook = 0;
};

struct GroupRec {
  std::string headerText, name;
  std::int32_t hide = 0, lockResize = 0, id = 0, parentGroup = -1;
  double widthPx = 0;
  std::uint16_t look = 0, headerLook = 0;
};

struct LineRec {
  std::uint16_t solid = 0, light = 0, dark = 0;  // colour handles
  std::uint8_t style = 0;                        // value + 1
  std::int32_t width = 1, width3D = 1;
};

// The frame record's fields: byte offset and width (1, 2 or 4).
struct FrameField {
  std::uint8_t offset, width;
  std::uint8_t mask;  // bit mask within a byte field, 0 = the whole byte
};
// The field of frame property `id` (105..126, 242), or null.
const FrameField* frameField(int id);
std::int32_t frameGet(const std::uint8_t* frame, const FrameField& f);
void frameSet(std::uint8_t* frame, const FrameField& f, std::int32_t v);
// Fills the frame record's defaults (the property table's values).
void frameInit(std::uint8_t* frame);
// Stores value `v` of frame property `id` after checking it against the
// property's range (an enumeration's values, widths -1..32767; the inside
// style also takes 16 and 32); false, and nothing stored, when refused.
bool frameStore(std::uint8_t* frame, int id, std::int32_t v);

}  // namespace lindra::props
