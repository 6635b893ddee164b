// The saved-state stream of a list control: its columns, groups, items with
// their cells and its text-tip settings written into one byte stream, and a
// list rebuilt from such a stream.
//
// Layout (all numbers little-endian):
//   0  u32 magic 0x3139452B ("+E91")   4  u16 version (written: 103)
//   6  u32 0                          10  records up to the end record
// Record: u8 tag, u32 length n, n bytes. The end record is tag 255, length 0.
// Records written, in order:
//   4  attribute table (when any look is in use): u16 slots, u16 used, then
//      per look a 37-byte attribute entry (below) with its slot number
//   2  colour table (when any): u16 n, u16 n, n u32 colour values
//   1  font table (when any): u16 n, u16 n, n 56-byte font entries
//   5  picture table (when any): u16 n, u16 n; then n 29 records, each one
//      picture (below)
//   19-23  the look sets Default(All), All Rows, Sel Rows, Odd Rows and
//      Even Rows, each an attribute entry with slot -1
//   7  u32 group count; for the default group (index -1, whose look slot is
//      All Groups) and each group: 10 u32 index, 11 group entry (18 bytes),
//      12 header text, 25 name
//   6  u32 column count; for the default column (index -1, whose look slot
//      is All Cols) and each column: 8 u32 position, 13 column entry (30
//      bytes), 14 header text, 15 data field, 16 format, 24 name
//   28 u32 item count; per item: 9 u32 index, 17 item entry (13 bytes); then
//      on a list with columns, per cell with a look or a text: 8 u32 column,
//      18 u16 look slot (when it has one), 27 text; on a list without
//      columns, 27 the item text when it has one
//   30 combo settings (102 bytes, only for the list of a combo): the combo's
//      frame entry (44), the list's frame entry (44), u32 ListWidth, u32
//      EditHeight, u16 MaxDrop, u8 Style, u8 ApplyTo, u8 EnableKeyEvents, u8
//      EnableMouseEvents. A frame entry is bytes 0-39 of the frame record
//      followed by the inside, outside, frame and border widths as u8.
//   31 text-tip settings (15 bytes)
//   32 look places (when any): per place u8 kind, i32 index, u16 slot; kind
//      0 a ListApplyTo level (7 Col Headers, 8 Group Headers), 1 a column's
//      header look, 2 a group's header look (index: the position), 3 the
//      window font (slot in the font table)
//   33 list settings: per setting u16 property id, u32 value (floats by
//      their bits), applied in order through the property handlers. Only
//      the ids the writer puts there (all plain numbers); any other id
//      refuses the stream.
//   34 combo settings beyond tag 30, in the same form (list of a combo
//      only), with the same rule for its own ids
//   255 end
// Attribute entry: i32 slot, then the bytes of the 33-byte look record in
// the order 0-11, 13-16, 18, 19-20, 21-22, 23, 24-31, 12, 17, 32. Look
// record: u16 back, u16 fore, u16 3-D light and u16 3-D dark colour slots,
// u8 List3DText, List3DTextOffset, MultiLine, AlignH, AlignV, PictureAlignH,
// PictureAlignV, TextOrientation and TextEllipsis (each value + 1, 0 not
// set), u16 picture and u16 selected picture slots, u16 font slot, 10
// reserved bytes. Slots count from 1; 0 is "none".
// Font entry: i32 height in hundredths of a point, i32 width, i32
// escapement, i32 weight, 8 bytes italic, underline, strike-out, character
// set, output, clip, quality, pitch and family, 32 bytes face name.
// Group entry: u16 look slot (0: none), f32 width, i16 parent group, u8
// hide, u8 lock resize, i32 id, 4 reserved bytes.
// Column entry: u16 look slot (0), f32 width, i16 parent group, i16 level,
// i16 level height, u8 hide, u8 lock resize, u8 lock, u8 merge, i32 id, i16
// sorted, i16 sort sequence, i16 sort data type, i16 data field type, 2
// reserved bytes.
// Item entry: u16 look slot (0), u32 item data, i32 height in twips (-1:
// the default height), u8 selected, u8 merge (1 always, 2 restricted, 0
// none), u8 the item's extra byte.
// Picture (tag 29), by its length:
//   0    no picture (one that could not be written)
//   12   u16 type, u16 storage kind, u32 value, u32 attribute: kind 1 is a
//        resource number and loads as that number; any other kind is a
//        handle of the process that wrote it and loads as no picture
//   20+  a bitmap by its pixels: u16 type, u16 storage kind (0), u32
//        attribute, u32 width, u32 height (each 1 to 16384), u32 bits per
//        pixel (1 or 32), then the rows from the top: 32 bits a pixel as
//        blue, green, red, 0; 1 bit a pixel (1 white), most significant bit
//        first, rows padded to 16 bits. The length is exactly 20 + the rows.
//   A picture record of any other length or form refuses the stream.
// Tip settings: u8 TextTip, u8 TextTipMultiLine, 3 reserved, u32 back
// colour, u32 text colour, 2 reserved. Readers ignore reserved bytes.
//
// Tag 3 (sub-attributes) and 26 (cell values), which this list does not
// keep, and any tag this reader does not know, are skipped by their length,
// so a stream from a writer that knows more still loads.
//
// The stream is untrusted input. The reader parses the whole stream into a
// separate model first, checking every length, count and index; only a
// stream that parses completely is applied to the list. A refused stream
// leaves the list exactly as it was.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "listctl/core/lbx_instance.h"
#include "listctl/props/exports.h"
#include "platform/win/gdi.h"
#include "platform/win/win_types.h"

namespace lindra::state {

inline constexpr std::uint32_t kMagic = 0x3139452B;
inline constexpr std::uint16_t kVersion = 103;
inline constexpr int kStateProperty = 166;

// Load results (low 16 bits of LB_LoadState).
inline constexpr int kLoadOk = 0, kLoadTruncated = 1, kLoadMalformed = 2, kLoadBadMagic = 0xFFFF;

// The most items a stream may announce; larger counts are refused before
// any memory is taken.
inline constexpr std::uint32_t kMaxStateItems = 1u << 20;

// Growing output buffer: a movable global block grown by at least
// `growth` bytes at a time, and by its own size once it is larger, so that
// writing n bytes costs time in proportion to n. A block that cannot grow marks the writer
// failed; from then on nothing more is written and every append is false.
class StateWriter {
 public:
  explicit StateWriter(std::size_t growth = 1000) : growth_(growth) {}
  StateWriter(const StateWriter&) = delete;
  StateWriter& operator=(const StateWriter&) = delete;
  ~StateWriter();

  bool append(const void* data, std::size_t n);
  bool u8(std::uint8_t v) { return append(&v, 1); }
  bool u16(std::uint16_t v);
  bool u32(std::uint32_t v);
  // One record: tag, length, data.
  bool record(std::uint8_t tag, const void* data, std::size_t n);
  bool recordU32(std::uint8_t tag, std::uint32_t v);

  bool failed() const { return failed_; }
  std::size_t size() const { return used_; }
  const std::uint8_t* data() const { return data_; }
  // Gives up the block (the caller frees it).
  plat::win::HGLOBAL release();

 private:
  plat::win::HGLOBAL block_ = nullptr;
  std::uint8_t* data_ = nullptr;
  std::size_t used_ = 0, capacity_ = 0, growth_;
  bool failed_ = false;
};

// Input cursor over borrowed bytes. A read past the end fails and leaves
// the position where it was.
class StateReader {
 public:
  StateReader(const void* data, std::size_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  bool read(void* out, std::size_t n);
  bool u8(std::uint8_t* v) { return read(v, 1); }
  bool u16(std::uint16_t* v);
  bool u32(std::uint32_t* v);
  // The next n bytes in place (null, nothing read, when fewer remain).
  const std::uint8_t* take(std::size_t n);
  std::size_t remaining() const { return size_ - pos_; }
  std::size_t position() const { return pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The parsed stream, before it is applied.
struct StateModel {
  using LookRecord = std::array<std::uint8_t, 33>;
  struct Place {
    std::uint8_t kind;
    std::int32_t index;
    std::uint16_t slot;
  };
  std::vector<std::uint32_t> colours;
  std::vector<plat::win::LOGFONT> fonts;
  struct Picture {
    props::PictureBlock block{};  // a resource number (kind 1) as it stands
    bool bitmap = false;          // a bitmap made from the fields below
    std::uint32_t width = 0, height = 0, bitsPerPixel = 0;
    std::vector<std::uint8_t> pixels;
    // Neither: no picture.
  };
  std::vector<Picture> pictures;
  std::optional<std::uint32_t> pictureCount;
  std::map<std::uint32_t, LookRecord> looks;  // by slot
  std::optional<LookRecord> lookSets[5];      // tags 19-23
  std::vector<Place> places;
  std::vector<std::pair<std::uint16_t, std::uint32_t>> settings, comboSettings;
  std::optional<std::array<std::uint8_t, 102>> combo;
  std::uint16_t defaultGroupLook = 0, defaultColumnLook = 0;
  struct Group {
    std::uint8_t entry[18] = {};
    std::optional<std::string> header, name;
  };
  struct Column {
    std::uint8_t entry[30] = {};
    std::optional<std::string> texts[4];  // header, data field, format, name
  };
  std::optional<std::uint32_t> groupCount, columnCount, itemCount;
  std::map<std::uint32_t, Group> groups;
  std::map<std::uint32_t, Column> columns;
  // The items are checked but not kept: a load reads their records a second
  // time, straight into the list. Kept are where the records start and the
  // look slots the items and their cells name.
  std::size_t recordsAt = 0;
  std::bitset<65536> itemLooks;
  bool hasTip = false;
  std::uint8_t tip[15] = {};
};

// Parses a stream without touching any list. kLoadOk and `*out` filled, or
// the refusal (kLoadTruncated, kLoadMalformed, kLoadBadMagic). The items of
// a stream are checked, not kept (see StateModel).
int parseState(StateReader& in, StateModel* out);

// Writes the list's stream. True when every byte was written.
bool saveState(LbxInstance* inst, StateWriter& out);
// Reads a stream into the list: parsed completely first, applied only when
// it parsed. The load result.
int loadState(LbxInstance* inst, StateReader& in);

// The stream in a movable global block: u32 length, then the stream. Only
// for property id 166; null when the id is another, the stream could not be
// written or memory ran out. The caller owns the block.
plat::win::HGLOBAL getStateBlob(LbxInstance* inst, int id);
// Loads a block made by getStateBlob: only for id 166 and a non-null block.
// The load result (kLoadMalformed for a wrong id, a null block, or a length
// larger than the block). The block stays the caller's.
int setStateBlob(LbxInstance* inst, int id, plat::win::HGLOBAL block);

}  // namespace lindra::state

// Exported forms, by window (a list, or a combo whose list is meant). A
// window that is neither answers -1 (null for the blob).
LINDRA_API int LB_SaveState(plat::win::HWND hwnd, lindra::state::StateWriter* out);
LINDRA_API int LB_LoadState(plat::win::HWND hwnd, lindra::state::StateReader* in);
LINDRA_API plat::win::HGLOBAL LB_GetStateBlob(plat::win::HWND hwnd, int id);
LINDRA_API int LB_SetStateBlob(plat::win::HWND hwnd, int id, plat::win::HGLOBAL block);
