// The saved-state stream: writer, reader and the two directions between a
// list and its stream (saved_state.h lays the stream out).
//
// Columns and groups are read and written through the list's own property
// handlers (select with Col / Grp, then the field's property), so the stream
// goes through the same checks as any caller's sets. Items come from and go
// to the item store.
#include "listctl/state/saved_state.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>

#include "listctl/combo/combo.h"
#include "listctl/core/dispatch.h"
#include "listctl/props/design.h"
#include "listctl/props/property_table.h"
#include "listctl/store/store.h"
#include "platform/win/bitmap_bits.h"
#include "platform/win/window.h"

namespace lindra::state {

namespace pw = plat::win;

namespace {

// Record tags.
enum : std::uint8_t {
  kTagColumns = 6, kTagGroups = 7, kTagColumn = 8, kTagItem = 9, kTagGroup = 10, kTagGroupEntry = 11,
  kTagGroupHeader = 12, kTagColumnEntry = 13, kTagColumnHeader = 14, kTagColumnField = 15,
  kTagColumnFormat = 16, kTagItemEntry = 17, kTagColumnName = 24, kTagGroupName = 25, kTagCellText = 27,
  kTagItems = 28, kTagTip = 31, kTagEnd = 255,
  kTagFonts = 1, kTagColours = 2, kTagLooks = 4, kTagPictures = 5, kTagCellLook = 18, kTagLookSet = 19,
  kTagPicture = 29, kTagCombo = 30, kTagPlaces = 32, kTagSettings = 33, kTagComboSettings = 34,
};
constexpr std::uint32_t kDefaultIndex = 0xFFFFFFFF;  // the default group and column
constexpr int kLookSetLevels[5] = {0, 1, 4, 5, 6};  // tags 19-23
constexpr std::size_t kLookEntry = 37, kFontEntry = 56, kPictureEntry = 12, kPlaceEntry = 7, kSettingEntry = 6;
constexpr std::size_t kBitmapHead = 20;
constexpr std::uint32_t kMaxBitmapSide = 16384;  // as the drawing layer makes them

// Setting 0 of tag 33 (an id no property uses): the scroll bars the list
// was asked for (WS_HSCROLL, WS_VSCROLL), which ScrollBars, ScrollBarV and
// ScrollBarH change but do not hold.
constexpr int kScrollStyleSetting = 0;
// The list settings of tag 33, in the order they are applied. The line
// records of LineApplyTo are written as "LineApplyTo k" followed by that
// record's fields; ListApplyTo and LineApplyTo end the list with their
// values. Those that the columns, groups and items need first are applied
// before them (kEarlySettings).
constexpr int kListSettings[] = {
    34, 36, 37, 38, 39, 40, 42, 45, 46, 47, 48, 57, 58, 59, 60, 69, 70, 82, 84, 86, 88, 102,
    105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 242,
    127, 128, 129, 137, 142, 143, 144, 150, 156, 157, 158, 159, 160, 165, 189, 218, 219, 220, 221, 228, 229, 230,
    241, 247, 251, 262, 264, 27, 130, 167, kScrollStyleSetting, 33, 164, 81,
    77,  // ListIndex last: the caret of a multiple-selection list, once its items are sorted
};
constexpr int kLineFields[] = {41, 190, 191, 192, 193, 194};
constexpr int kEarlySettings[] = {71, 207, 80};
// Combo settings of tag 34 (ApplyTo last: it routes the sets before it).
constexpr int kComboSettings[] = {170, 171, 179, 180, 183, 185, 252, 253, 256, 257, 258, 259, 260, 261,
                                  273, 274, 275};

template <std::size_t N>
constexpr bool listed(const int (&ids)[N], int id) {
  return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}
// The ids tags 33 and 34 may carry: those their writer puts there, no other.
// Every one of them is a plain number, so a setting is never a pointer.
constexpr bool listSettingId(int id) {
  return id == kScrollStyleSetting || id == 195 || id == 196 || listed(kListSettings, id) ||
         listed(kLineFields, id) || listed(kEarlySettings, id);
}
constexpr bool comboSettingId(int id) { return listed(kComboSettings, id); }

constexpr std::uint8_t kColumnTextTags[4] = {kTagColumnHeader, kTagColumnField, kTagColumnFormat, kTagColumnName};
constexpr int kColumnTextIds[4] = {65, 62, 64, 235};  // ColHeaderText, ColDataField, ColFormat, ColName
constexpr int kGroupTextIds[2] = {199, 236};          // GrpHeaderText, GrpName

// A numeric field of an entry: property id and its width in the stream
// (0 for reserved bytes, which are written 0 and never read).
struct EntryField {
  int id;
  std::uint8_t width;
};
constexpr EntryField kGroupFields[] = {
    {0, 2}, {200, 4}, {201, 2}, {198, 1}, {202, 1}, {234, 4}, {0, 4},
};
constexpr EntryField kColumnFields[] = {
    {0, 2}, {73, 4}, {203, 2}, {204, 2}, {205, 2}, {72, 1}, {146, 1}, {145, 1}, {209, 1},
    {233, 4}, {74, 2}, {75, 2}, {163, 2}, {63, 2}, {0, 2},
};
constexpr EntryField kTipFields[] = {
    {263, 1}, {265, 1}, {0, 3}, {266, 4}, {267, 4}, {0, 2},
};

template <std::size_t N>
constexpr std::size_t entrySize(const EntryField (&fields)[N]) {
  std::size_t n = 0;
  for (const EntryField& f : fields) n += f.width;
  return n;
}
static_assert(entrySize(kGroupFields) == 18);
static_assert(entrySize(kColumnFields) == 30);
static_assert(entrySize(kTipFields) == 15);

void putLE(std::uint8_t* p, std::uint32_t v, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t getLE(const std::uint8_t* p, std::size_t width) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return v;
}
// Sign-extends a field narrower than 32 bits.
std::int32_t signedLE(const std::uint8_t* p, std::size_t width) {
  const std::uint32_t v = getLE(p, width);
  if (width >= 4) return static_cast<std::int32_t>(v);
  const std::uint32_t sign = 1u << (8 * width - 1);
  return static_cast<std::int32_t>((v ^ sign) - sign);
}

props::Ptype typeOf(int id) {
  const props::PropertyRow* row = props::rowOf(id);
  return row ? static_cast<props::Ptype>(row->flags & 0xFF) : props::Int32;
}

// The property's value as the stream keeps it: floats by their bits.
std::uint32_t getField(LbxInstance* inst, int id) {
  const props::Ptype t = typeOf(id);
  if (t == props::Float) {
    float f = 0;
    propertyGet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&f));
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
  }
  if (props::isSixteen(t)) {
    std::int16_t v = 0;
    propertyGet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
  }
  std::int32_t v = 0;
  propertyGet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
  return static_cast<std::uint32_t>(v);
}

// Sets a numeric field from the stream: a float by its bits, anything else
// as a number (the typed setters refuse a number for a pointer-valued id).
void setField(LbxInstance* inst, int id, const std::uint8_t* p, std::size_t width) {
  if (typeOf(id) == props::Float) {
    const std::uint32_t bits = getLE(p, width);
    float f;
    std::memcpy(&f, &bits, 4);
    propertySetFloat(inst, id, f);
    return;
  }
  propertySetNumber(inst, id, signedLE(p, width));
}

template <std::size_t N>
void writeEntry(LbxInstance* inst, const EntryField (&fields)[N], std::uint8_t* out) {
  for (const EntryField& f : fields) {
    if (f.id) putLE(out, getField(inst, f.id), f.width);
    else std::memset(out, 0, f.width);
    out += f.width;
  }
}
template <std::size_t N>
void applyEntry(LbxInstance* inst, const EntryField (&fields)[N], const std::uint8_t* in) {
  for (const EntryField& f : fields) {
    if (f.id) setField(inst, f.id, in, f.width);
    in += f.width;
  }
}

std::string getText(LbxInstance* inst, int id) {
  props::TextBlock probe{nullptr, 0};
  const LRESULT n = propertyGet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&probe));
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  props::TextBlock block{s.data(), static_cast<std::int32_t>(s.size())};
  propertyGet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&block));
  s.resize(static_cast<std::size_t>(n));
  return s;
}

int dpiOf(const LbxInstance* inst) { return inst->horzResolution > 0 ? inst->horzResolution : 96; }

// Pixels to twips and back, rounded half up; -1 (the default height) stays.
std::int32_t toTwips(std::int32_t px, int dpi) {
  if (px < 0) return -1;
  return static_cast<std::int32_t>((static_cast<std::int64_t>(px) * 1440 + dpi / 2) / dpi);
}
std::int32_t fromTwips(std::int32_t tw, int dpi) {
  if (tw < 0) return -1;
  return static_cast<std::int32_t>((static_cast<std::int64_t>(tw) * dpi + 720) / 1440);
}

bool writeText(StateWriter& out, std::uint8_t tag, const std::string& s) { return out.record(tag, s.data(), s.size()); }

// ---- looks and their tables

// Where each byte run of the look record goes in the 37-byte entry (after
// its 4-byte slot): record offset, length.
struct Run {
  std::uint8_t from, length;
};
constexpr Run kEntryRuns[] = {{0, 12}, {13, 4}, {18, 1}, {19, 2}, {21, 2}, {23, 1}, {24, 8}, {12, 1}, {17, 1}, {32, 1}};

void entryFromRecord(std::int32_t slot, const StateModel::LookRecord& rec, std::uint8_t* out) {
  putLE(out, static_cast<std::uint32_t>(slot), 4);
  std::size_t at = 4;
  for (const Run& r : kEntryRuns) {
    std::memcpy(out + at, rec.data() + r.from, r.length);
    at += r.length;
  }
}

StateModel::LookRecord recordFromEntry(const std::uint8_t* in) {
  StateModel::LookRecord rec{};
  std::size_t at = 4;
  for (const Run& r : kEntryRuns) {
    std::memcpy(rec.data() + r.from, in + at, r.length);
    at += r.length;
  }
  return rec;
}

// The bytes of a picture record: a resource number as its entry, a bitmap
// by its pixels; empty when the picture cannot be written (a handle that
// names no bitmap).
std::vector<std::uint8_t> pictureRecord(const props::PictureBlock& pic) {
  if (pic.kind == 1) {
    std::vector<std::uint8_t> e(kPictureEntry);
    putLE(e.data(), pic.type, 2);
    putLE(e.data() + 2, pic.kind, 2);
    putLE(e.data() + 4, pic.value, 4);
    putLE(e.data() + 8, pic.attribute, 4);
    return e;
  }
  if (pic.kind != 0) return {};
  const auto bitmap = reinterpret_cast<pw::HBITMAP>(static_cast<std::uintptr_t>(pic.value));
  const pw::LONG size = pw::GetBitmapBits(bitmap, 0, nullptr);
  pw::BITMAP bm;
  if (size <= 0 || pw::GetObject(bitmap, sizeof bm, &bm) != static_cast<int>(sizeof bm)) return {};
  std::vector<std::uint8_t> e(kBitmapHead + static_cast<std::size_t>(size));
  putLE(e.data(), pic.type, 2);
  putLE(e.data() + 2, 0, 2);
  putLE(e.data() + 4, pic.attribute, 4);
  putLE(e.data() + 8, static_cast<std::uint32_t>(bm.bmWidth), 4);
  putLE(e.data() + 12, static_cast<std::uint32_t>(bm.bmHeight), 4);
  putLE(e.data() + 16, bm.bmBitsPixel, 4);
  if (pw::GetBitmapBits(bitmap, size, e.data() + kBitmapHead) != size) return {};
  return e;
}

// Reads a picture record; false when it is malformed.
bool parsePicture(const std::uint8_t* p, std::size_t n, StateModel::Picture* out) {
  if (n == 0) return true;  // no picture
  if (n == kPictureEntry) {
    // A resource number keeps; a handle of another process means nothing here.
    if (getLE(p + 2, 2) == 1)
      *out = {{static_cast<std::uint16_t>(getLE(p, 2)), 1, getLE(p + 4, 4), getLE(p + 8, 4), 0}, false, 0, 0, 0, {}};
    return true;
  }
  if (n < kBitmapHead || getLE(p + 2, 2) != 0) return false;
  const std::uint32_t w = getLE(p + 8, 4), h = getLE(p + 12, 4), bpp = getLE(p + 16, 4);
  if (w == 0 || h == 0 || w > kMaxBitmapSide || h > kMaxBitmapSide || (bpp != 1 && bpp != 32)) return false;
  const std::uint64_t stride = bpp == 32 ? std::uint64_t{w} * 4 : (std::uint64_t{w} + 15) / 16 * 2;
  if (stride * h != n - kBitmapHead) return false;
  out->block = {static_cast<std::uint16_t>(getLE(p, 2)), 0, 0, getLE(p + 4, 4), 0};
  out->bitmap = true;
  out->width = w;
  out->height = h;
  out->bitsPerPixel = bpp;
  out->pixels.assign(p + kBitmapHead, p + n);
  return true;
}

// The record's slot fields and style bytes.
constexpr std::size_t kColourSlots[4] = {0, 2, 4, 6};  // back, fore, 3-D light, 3-D dark
constexpr std::size_t kStyleBytes = 8, kStyleCount = 9;
constexpr std::size_t kPictureSlots[2] = {17, 19}, kFontSlot = 21;

// The tables a save writes: each distinct look, colour, font and picture
// gets a slot in the order first met.
class Tables {
 public:
  explicit Tables(props::AttrPool& pool) : pool_(pool) {}

  // The slot of look `h`, 0 for none.
  std::uint16_t look(std::uint16_t h) {
    const props::CellLook* l = pool_.lookOf(h);
    if (!l) return 0;
    if (auto it = lookSlots_.find(h); it != lookSlots_.end()) return it->second;
    const auto slot = static_cast<std::uint16_t>(looks_.size() + 1);
    lookSlots_[h] = slot;
    looks_.push_back(record(*l));
    return slot;
  }
  // The record of a look with its colours, pictures and font in the tables.
  StateModel::LookRecord record(const props::CellLook& l) {
    StateModel::LookRecord rec{};
    const std::uint16_t colours[4] = {l.back, l.fore, l.light3D, l.dark3D};
    for (int i = 0; i < 4; ++i) putLE(rec.data() + kColourSlots[i], colour(colours[i]), 2);
    const std::uint8_t styles[kStyleCount] = {l.text3D,        l.offset3D,      l.multiLine,   l.alignH,  l.alignV,
                                              l.pictureAlignH, l.pictureAlignV, l.orientation, l.ellipsis};
    std::memcpy(rec.data() + kStyleBytes, styles, kStyleCount);
    putLE(rec.data() + kPictureSlots[0], picture(l.picture), 2);
    putLE(rec.data() + kPictureSlots[1], picture(l.pictureSel), 2);
    putLE(rec.data() + kFontSlot, font(l.font), 2);
    return rec;
  }
  std::uint16_t font(std::uint16_t h) { return slotOf(h, pool_.fontDescOf(h) != nullptr, fontSlots_, fonts_); }

  void write(StateWriter& out, int dpi) const {
    if (!looks_.empty()) {
      std::vector<std::uint8_t> data(4 + looks_.size() * kLookEntry);
      putLE(data.data(), static_cast<std::uint32_t>(looks_.size()), 2);
      putLE(data.data() + 2, static_cast<std::uint32_t>(looks_.size()), 2);
      for (std::size_t i = 0; i < looks_.size(); ++i)
        entryFromRecord(static_cast<std::int32_t>(i + 1), looks_[i], data.data() + 4 + i * kLookEntry);
      out.record(kTagLooks, data.data(), data.size());
    }
    if (!colours_.empty()) {
      std::vector<std::uint8_t> data(4 + colours_.size() * 4);
      putLE(data.data(), static_cast<std::uint32_t>(colours_.size()), 2);
      putLE(data.data() + 2, static_cast<std::uint32_t>(colours_.size()), 2);
      for (std::size_t i = 0; i < colours_.size(); ++i) putLE(data.data() + 4 + i * 4, pool_.colourOf(colours_[i]), 4);
      out.record(kTagColours, data.data(), data.size());
    }
    if (!fonts_.empty()) {
      std::vector<std::uint8_t> data(4 + fonts_.size() * kFontEntry, 0);
      putLE(data.data(), static_cast<std::uint32_t>(fonts_.size()), 2);
      putLE(data.data() + 2, static_cast<std::uint32_t>(fonts_.size()), 2);
      for (std::size_t i = 0; i < fonts_.size(); ++i) {
        const pw::LOGFONT& lf = *pool_.fontDescOf(fonts_[i]);
        std::uint8_t* e = data.data() + 4 + i * kFontEntry;
        putLE(e, static_cast<std::uint32_t>(pw::MulDiv(lf.lfHeight, 7200, dpi)), 4);
        putLE(e + 4, static_cast<std::uint32_t>(lf.lfWidth), 4);
        putLE(e + 8, static_cast<std::uint32_t>(lf.lfEscapement), 4);
        putLE(e + 12, static_cast<std::uint32_t>(lf.lfWeight), 4);
        const std::uint8_t flags[8] = {lf.lfItalic,      lf.lfUnderline,     lf.lfStrikeOut, lf.lfCharSet,
                                       lf.lfOutPrecision, lf.lfClipPrecision, lf.lfQuality,   lf.lfPitchAndFamily};
        std::memcpy(e + 16, flags, 8);
        std::memcpy(e + 24, lf.lfFaceName, 31);
      }
      out.record(kTagFonts, data.data(), data.size());
    }
    if (!pictures_.empty()) {
      std::uint8_t head[4];
      putLE(head, static_cast<std::uint32_t>(pictures_.size()), 2);
      putLE(head + 2, static_cast<std::uint32_t>(pictures_.size()), 2);
      out.record(kTagPictures, head, 4);
      for (std::uint16_t h : pictures_) {
        const std::vector<std::uint8_t> data = pictureRecord(pool_.pictureOf(h));
        out.record(kTagPicture, data.data(), data.size());
      }
    }
  }

 private:
  std::uint16_t colour(std::uint16_t h) { return slotOf(h, h != 0, colourSlots_, colours_); }
  std::uint16_t picture(std::uint16_t h) { return slotOf(h, h != 0, pictureSlots_, pictures_); }
  static std::uint16_t slotOf(std::uint16_t h, bool exists, std::map<std::uint16_t, std::uint16_t>& slots,
                              std::vector<std::uint16_t>& order) {
    if (!h || !exists) return 0;
    if (auto it = slots.find(h); it != slots.end()) return it->second;
    order.push_back(h);
    return slots[h] = static_cast<std::uint16_t>(order.size());
  }
  props::AttrPool& pool_;
  std::map<std::uint16_t, std::uint16_t> lookSlots_, colourSlots_, fontSlots_, pictureSlots_;
  std::vector<StateModel::LookRecord> looks_;
  std::vector<std::uint16_t> colours_, fonts_, pictures_;
};

std::uint16_t itemLook(const LbxItem* item) {
  std::uint16_t h = 0;
  std::memcpy(&h, reinterpret_cast<const unsigned char*>(item) + offsetof(LbxItem, attr), sizeof h);
  return h;
}

// The cell of column position `col` (null when the item has no such cell).
LbxCell* cellOf(LbxInstance* inst, LbxItem* item, int col) {
  if (!item || col < 0 || col >= inst->store.columnCount) return nullptr;
  const int di = inst->store.dataIndex[col];
  if (item->cellCount <= di || !item->content) return nullptr;
  return reinterpret_cast<LbxCell*>(item->content) + di;
}

std::uint16_t cellLook(LbxInstance* inst, LbxItem* item, int col) {
  LbxCell* cell = cellOf(inst, item, col);
  if (!cell) return 0;
  std::uint16_t h = 0;
  std::memcpy(&h, reinterpret_cast<const unsigned char*>(cell) + offsetof(LbxCell, attr), sizeof h);
  return h;
}

// A frame entry of tag 30: bytes 0-39 of the record, then four widths.
void frameEntry(const std::uint8_t* frame, std::uint8_t* out) {
  std::memcpy(out, frame, 40);
  for (int i = 0; i < 4; ++i) out[40 + i] = static_cast<std::uint8_t>(std::clamp<int>(signedLE(frame + 40 + 2 * i, 2), 0, 255));
}
void frameFromEntry(const std::uint8_t* in, std::uint8_t* frame) {
  std::memcpy(frame, in, 40);
  for (int i = 0; i < 4; ++i) putLE(frame + 40 + 2 * i, in[40 + i], 2);
}

void setting(std::vector<std::uint8_t>& data, LbxInstance* inst, int id) {
  std::uint8_t e[kSettingEntry];
  putLE(e, static_cast<std::uint32_t>(id), 2);
  putLE(e + 2, id == kScrollStyleSetting ? inst->scrollStyle : getField(inst, id), 4);
  data.insert(data.end(), e, e + kSettingEntry);
}

}  // namespace

// ---- writer

StateWriter::~StateWriter() {
  if (block_) {
    pw::GlobalUnlock(block_);
    pw::GlobalFree(block_);
  }
}

bool StateWriter::append(const void* data, std::size_t n) {
  if (failed_) return false;
  if (n == 0) return true;
  if (n > std::numeric_limits<std::uint32_t>::max() - used_) {
    failed_ = true;
    return false;
  }
  if (used_ + n > capacity_) {
    const std::size_t want = std::max(used_ + n, capacity_ + std::max(growth_, capacity_));
    pw::HGLOBAL grown;
    if (block_) {
      pw::GlobalUnlock(block_);
      grown = pw::GlobalReAlloc(block_, want, pw::GMEM_MOVEABLE | pw::GMEM_ZEROINIT);
    } else {
      grown = pw::GlobalAlloc(pw::GMEM_MOVEABLE | pw::GMEM_ZEROINIT, want);
    }
    if (!grown) {
      // The old block (if any) is still valid: keep it locked for the destructor.
      if (block_) data_ = static_cast<std::uint8_t*>(pw::GlobalLock(block_));
      failed_ = true;
      return false;
    }
    block_ = grown;
    data_ = static_cast<std::uint8_t*>(pw::GlobalLock(block_));
    capacity_ = want;
  }
  std::memcpy(data_ + used_, data, n);
  used_ += n;
  return true;
}

bool StateWriter::u16(std::uint16_t v) {
  std::uint8_t b[2];
  putLE(b, v, 2);
  return append(b, 2);
}

bool StateWriter::u32(std::uint32_t v) {
  std::uint8_t b[4];
  putLE(b, v, 4);
  return append(b, 4);
}

bool StateWriter::record(std::uint8_t tag, const void* data, std::size_t n) {
  if (n > std::numeric_limits<std::uint32_t>::max()) {
    failed_ = true;
    return false;
  }
  return u8(tag) && u32(static_cast<std::uint32_t>(n)) && append(data, n);
}

bool StateWriter::recordU32(std::uint8_t tag, std::uint32_t v) {
  std::uint8_t b[4];
  putLE(b, v, 4);
  return record(tag, b, 4);
}

pw::HGLOBAL StateWriter::release() {
  pw::HGLOBAL b = block_;
  if (b) pw::GlobalUnlock(b);
  block_ = nullptr;
  data_ = nullptr;
  used_ = capacity_ = 0;
  return b;
}

// ---- reader

bool StateReader::read(void* out, std::size_t n) {
  if (n > size_ - pos_) return false;
  if (n) std::memcpy(out, data_ + pos_, n);
  pos_ += n;
  return true;
}

const std::uint8_t* StateReader::take(std::size_t n) {
  if (n > size_ - pos_) return nullptr;
  const std::uint8_t* p = data_ + pos_;
  pos_ += n;
  return p;
}

bool StateReader::u16(std::uint16_t* v) {
  std::uint8_t b[2];
  if (!read(b, 2)) return false;
  *v = static_cast<std::uint16_t>(getLE(b, 2));
  return true;
}

bool StateReader::u32(std::uint32_t* v) {
  std::uint8_t b[4];
  if (!read(b, 4)) return false;
  *v = getLE(b, 4);
  return true;
}

// ---- saving

bool saveState(LbxInstance* inst, StateWriter& out) {
  const std::int32_t col = static_cast<std::int16_t>(getField(inst, 28));
  const std::int32_t grp = static_cast<std::int16_t>(getField(inst, 197));
  const std::int32_t row = static_cast<std::int32_t>(getField(inst, 29));
  const std::uint32_t groups = getField(inst, 206) & 0xFFFF;
  const std::uint32_t columns = getField(inst, 32) & 0xFFFF;
  const std::uint32_t items = static_cast<std::uint32_t>(std::max(inst->itemCount, 0));
  const int dpi = dpiOf(inst);

  // First every look gets its slot, in the order the records name them.
  props::AttrPool& pool = designPool(inst);
  Tables tables(pool);
  StateModel::LookRecord sets[5];
  for (int k = 0; k < 5; ++k) {
    const props::CellLook* l = pool.lookOf(*designLevel(inst, kLookSetLevels[k]));
    sets[k] = tables.record(l ? *l : props::CellLook{});
  }
  const std::uint16_t defaultGroupLook = tables.look(*designLevel(inst, 3));
  std::vector<std::uint16_t> groupLooks(groups), columnLooks(columns);
  for (std::uint32_t g = 0; g < groups; ++g) groupLooks[g] = tables.look(*designGroupLook(inst, static_cast<int>(g), false));
  const std::uint16_t defaultColumnLook = tables.look(*designLevel(inst, 2));
  for (std::uint32_t c = 0; c < columns; ++c)
    columnLooks[c] = tables.look(*designColumnLook(inst, static_cast<int>(c), false));
  std::vector<std::uint16_t> itemLooks(items);
  std::vector<std::vector<std::uint16_t>> cellLooks(items);
  for (std::uint32_t i = 0; i < items; ++i) {
    LbxItem* item = lbxItem(inst, static_cast<int>(i));
    if (!item) continue;
    itemLooks[i] = tables.look(itemLook(item));
    if (item->cellCount) {
      cellLooks[i].resize(columns);
      for (std::uint32_t c = 0; c < columns; ++c)
        cellLooks[i][c] = tables.look(cellLook(inst, item, static_cast<int>(c)));
    }
  }
  std::vector<std::uint8_t> places;
  auto place = [&](std::uint8_t kind, std::int32_t index, std::uint16_t slot) {
    if (!slot) return;
    std::uint8_t e[kPlaceEntry];
    e[0] = kind;
    putLE(e + 1, static_cast<std::uint32_t>(index), 4);
    putLE(e + 5, slot, 2);
    places.insert(places.end(), e, e + kPlaceEntry);
  };
  for (int level : {7, 8}) place(0, level, tables.look(*designLevel(inst, level)));
  for (std::uint32_t c = 0; c < columns; ++c)
    place(1, static_cast<std::int32_t>(c), tables.look(*designColumnLook(inst, static_cast<int>(c), true)));
  for (std::uint32_t g = 0; g < groups; ++g)
    place(2, static_cast<std::int32_t>(g), tables.look(*designGroupLook(inst, static_cast<int>(g), true)));
  place(3, 0, tables.font(designWindowFont(inst)));

  out.u32(kMagic);
  out.u16(kVersion);
  out.u32(0);
  tables.write(out, dpi);
  for (int k = 0; k < 5; ++k) {
    std::uint8_t e[kLookEntry];
    entryFromRecord(-1, sets[k], e);
    out.record(static_cast<std::uint8_t>(kTagLookSet + k), e, sizeof e);
  }

  out.recordU32(kTagGroups, groups);
  {
    std::uint8_t entry[18] = {};
    putLE(entry, defaultGroupLook, 2);
    out.recordU32(kTagGroup, kDefaultIndex);
    out.record(kTagGroupEntry, entry, sizeof entry);
  }
  for (std::uint32_t g = 0; g < groups; ++g) {
    propertySet(inst, inst->hwnd, 197, static_cast<LPARAM>(g));
    std::uint8_t entry[18];
    writeEntry(inst, kGroupFields, entry);
    putLE(entry, groupLooks[g], 2);
    out.recordU32(kTagGroup, g);
    out.record(kTagGroupEntry, entry, sizeof entry);
    writeText(out, kTagGroupHeader, getText(inst, kGroupTextIds[0]));
    writeText(out, kTagGroupName, getText(inst, kGroupTextIds[1]));
  }
  out.recordU32(kTagColumns, columns);
  {
    std::uint8_t entry[30] = {};
    putLE(entry, defaultColumnLook, 2);
    out.recordU32(kTagColumn, kDefaultIndex);
    out.record(kTagColumnEntry, entry, sizeof entry);
  }
  for (std::uint32_t c = 0; c < columns; ++c) {
    propertySet(inst, inst->hwnd, 28, static_cast<LPARAM>(c));
    std::uint8_t entry[30];
    writeEntry(inst, kColumnFields, entry);
    putLE(entry, columnLooks[c], 2);
    out.recordU32(kTagColumn, c);
    out.record(kTagColumnEntry, entry, sizeof entry);
    for (int t = 0; t < 4; ++t) writeText(out, kColumnTextTags[t], getText(inst, kColumnTextIds[t]));
  }
  out.recordU32(kTagItems, items);
  for (std::uint32_t i = 0; i < items; ++i) {
    const LbxItem* item = lbxItem(inst, static_cast<int>(i));
    if (!item) continue;
    std::uint8_t entry[13] = {};
    putLE(entry, itemLooks[i], 2);
    putLE(entry + 2, static_cast<std::uint32_t>(item->itemData), 4);
    putLE(entry + 6, static_cast<std::uint32_t>(toTwips(lbxRowHeight(inst, static_cast<int>(i)), dpi)), 4);
    entry[10] = item->flags & kItemSelected ? 1 : 0;
    entry[11] = item->flags & kItemMergeAlways ? 1 : item->flags & kItemMergeRestricted ? 2 : 0;
    entry[12] = item->extra;
    out.recordU32(kTagItem, i);
    out.record(kTagItemEntry, entry, sizeof entry);
    if (columns) {
      for (std::uint32_t c = 0; c < columns; ++c) {
        const char* text = lbxCellTextPtr(inst, static_cast<int>(i), static_cast<int>(c));
        const std::uint16_t look = cellLooks[i].empty() ? 0 : cellLooks[i][c];
        if ((!text || !*text) && !look) continue;
        out.recordU32(kTagColumn, c);
        if (look) {
          std::uint8_t b[2];
          putLE(b, look, 2);
          out.record(kTagCellLook, b, 2);
        }
        if (text && *text) writeText(out, kTagCellText, text);
      }
    } else {
      std::string text;
      if (lbxItemText(inst, static_cast<int>(i), -1, &text)) writeText(out, kTagCellText, text);
    }
  }

  CbxInstance* combo = inst->comboOwner ? comboOf(inst->comboOwner) : nullptr;
  if (combo) {
    std::uint8_t e[102] = {};
    frameEntry(combo->frame, e);
    frameEntry(inst->frame, e + 44);
    putLE(e + 88, static_cast<std::uint32_t>(combo->listWidth), 4);
    putLE(e + 92, static_cast<std::uint32_t>(combo->editHeight), 4);
    putLE(e + 96, static_cast<std::uint32_t>(combo->maxDrop), 2);
    e[98] = combo->style;
    e[99] = combo->applyTo;
    e[100] = getField(inst, 156) ? 1 : 0;
    e[101] = getField(inst, 157) ? 1 : 0;
    out.record(kTagCombo, e, sizeof e);
  }
  std::uint8_t tip[15];
  writeEntry(inst, kTipFields, tip);
  out.record(kTagTip, tip, sizeof tip);
  if (!places.empty()) out.record(kTagPlaces, places.data(), places.size());

  std::vector<std::uint8_t> settings;
  for (int id : kEarlySettings) setting(settings, inst, id);
  for (int id : kListSettings) setting(settings, inst, id);
  const std::uint32_t lineApplyTo = getField(inst, 195);
  for (int k = 0; k < 4; ++k) {
    propertySet(inst, inst->hwnd, 195, k);
    setting(settings, inst, 195);
    for (int id : kLineFields) setting(settings, inst, id);
  }
  propertySet(inst, inst->hwnd, 195, static_cast<LPARAM>(static_cast<std::int32_t>(lineApplyTo)));
  setting(settings, inst, 195);
  setting(settings, inst, 196);
  out.record(kTagSettings, settings.data(), settings.size());
  if (combo) {
    std::vector<std::uint8_t> data;
    for (int id : kComboSettings) {
      std::int32_t v = 0;
      if (props::isSixteen(typeOf(id))) {
        std::int16_t v16 = 0;
        pw::SendMessage(combo->hwnd, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v16));
        v = v16;
      } else {
        pw::SendMessage(combo->hwnd, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
      }
      std::uint8_t e[kSettingEntry];
      putLE(e, static_cast<std::uint32_t>(id), 2);
      putLE(e + 2, static_cast<std::uint32_t>(v), 4);
      data.insert(data.end(), e, e + kSettingEntry);
    }
    out.record(kTagComboSettings, data.data(), data.size());
  }
  out.record(kTagEnd, nullptr, 0);
  propertySet(inst, inst->hwnd, 28, col);
  propertySet(inst, inst->hwnd, 197, grp);
  propertySet(inst, inst->hwnd, 29, row);
  return !out.failed();
}

// ---- parsing

namespace {

bool hasNul(std::string_view s) { return s.find('\0') != std::string_view::npos; }

// The current stream reader (versions 102 and 103; 101 streams stop at
// their first tag other than a column count).
int parseRecords(StateReader& in, StateModel* m) {
  std::optional<std::uint32_t> group, column, item;
  for (;;) {
    std::uint8_t tag;
    std::uint32_t n;
    if (!in.u8(&tag) || !in.u32(&n)) return kLoadTruncated;
    if (n > in.remaining()) return kLoadTruncated;
    if (tag == kTagEnd) return n == 0 ? kLoadOk : kLoadMalformed;
    const std::uint8_t* p = in.take(n);
    const std::string_view data(reinterpret_cast<const char*>(p), n);
    auto fixed = [&](std::size_t want) { return n == want; };
    switch (tag) {
      case kTagGroups:
      case kTagColumns:
      case kTagItems: {
        if (!fixed(4)) return kLoadMalformed;
        const std::uint32_t count = getLE(p, 4);
        auto& slot = tag == kTagGroups ? m->groupCount : tag == kTagColumns ? m->columnCount : m->itemCount;
        const std::uint32_t most = tag == kTagItems ? kMaxStateItems : static_cast<std::uint32_t>(kMaxColumns);
        if (slot || count > most) return kLoadMalformed;  // once each, within the list's limits
        slot = count;
        break;
      }
      case kTagGroup:
        if (!fixed(4) || !m->groupCount) return kLoadMalformed;
        if (getLE(p, 4) == kDefaultIndex) {
          group = kDefaultIndex;
          break;
        }
        if (getLE(p, 4) >= *m->groupCount) return kLoadMalformed;
        group = getLE(p, 4);
        m->groups[*group];
        break;
      case kTagColumn:
        if (!fixed(4) || !m->columnCount) return kLoadMalformed;
        if (getLE(p, 4) == kDefaultIndex && !item) {
          column = kDefaultIndex;
          break;
        }
        if (getLE(p, 4) >= *m->columnCount) return kLoadMalformed;
        column = getLE(p, 4);
        if (!item) m->columns[*column];
        break;
      case kTagItem:
        if (!fixed(4) || !m->itemCount || getLE(p, 4) >= *m->itemCount) return kLoadMalformed;
        item = getLE(p, 4);
        column.reset();
        break;
      case kTagGroupEntry:
        if (!fixed(18) || !group) return kLoadMalformed;
        if (*group == kDefaultIndex) m->defaultGroupLook = static_cast<std::uint16_t>(getLE(p, 2));
        else std::memcpy(m->groups[*group].entry, p, 18);
        break;
      case kTagGroupHeader:
      case kTagGroupName:
        if (!group || *group == kDefaultIndex || hasNul(data)) return kLoadMalformed;
        (tag == kTagGroupHeader ? m->groups[*group].header : m->groups[*group].name) = std::string(data);
        break;
      case kTagColumnEntry:
        if (!fixed(30) || !column || item) return kLoadMalformed;
        if (*column == kDefaultIndex) m->defaultColumnLook = static_cast<std::uint16_t>(getLE(p, 2));
        else std::memcpy(m->columns[*column].entry, p, 30);
        break;
      case kTagColumnHeader:
      case kTagColumnField:
      case kTagColumnFormat:
      case kTagColumnName: {
        if (!column || *column == kDefaultIndex || item || hasNul(data)) return kLoadMalformed;
        const int t = static_cast<int>(std::find(kColumnTextTags, kColumnTextTags + 4, tag) - kColumnTextTags);
        m->columns[*column].texts[t] = std::string(data);
        break;
      }
      case kTagItemEntry:
        if (!fixed(13) || !item) return kLoadMalformed;
        m->itemLooks.set(getLE(p, 2));
        break;
      case kTagCellText:
        if (!item || hasNul(data)) return kLoadMalformed;
        if (m->columnCount && *m->columnCount && !column) return kLoadMalformed;
        break;
      case kTagTip:
        if (!fixed(15)) return kLoadMalformed;
        m->hasTip = true;
        std::memcpy(m->tip, p, 15);
        break;
      case kTagCellLook:
        if (!fixed(2) || !item || !column || !m->columnCount || !*m->columnCount) return kLoadMalformed;
        m->itemLooks.set(getLE(p, 2));
        break;
      case kTagLooks: {
        // u16 slots, u16 used, then the entries by their slot numbers.
        if (n < 4 || (n - 4) % kLookEntry != 0 || !m->looks.empty()) return kLoadMalformed;
        const std::uint32_t slots = getLE(p, 2), used = getLE(p + 2, 2);
        if (used != (n - 4) / kLookEntry || used > slots) return kLoadMalformed;
        for (std::uint32_t k = 0; k < used; ++k) {
          const std::uint8_t* e = p + 4 + k * kLookEntry;
          const std::uint32_t slot = getLE(e, 4);
          if (slot == 0 || slot > slots || m->looks.count(slot)) return kLoadMalformed;
          m->looks[slot] = recordFromEntry(e);
        }
        break;
      }
      case kTagColours: {
        if (n < 4 || (n - 4) % 4 != 0 || !m->colours.empty() || getLE(p, 2) != (n - 4) / 4) return kLoadMalformed;
        for (std::uint32_t k = 0; k < (n - 4) / 4; ++k) m->colours.push_back(getLE(p + 4 + 4 * k, 4));
        break;
      }
      case kTagFonts: {
        if (n < 4 || (n - 4) % kFontEntry != 0 || !m->fonts.empty() || getLE(p, 2) != (n - 4) / kFontEntry)
          return kLoadMalformed;
        for (std::uint32_t k = 0; k < (n - 4) / kFontEntry; ++k) {
          const std::uint8_t* e = p + 4 + k * kFontEntry;
          pw::LOGFONT lf;
          lf.lfHeight = signedLE(e, 4);  // hundredths of a point until applied
          lf.lfWidth = signedLE(e + 4, 4);
          lf.lfEscapement = lf.lfOrientation = signedLE(e + 8, 4);
          lf.lfWeight = signedLE(e + 12, 4);
          lf.lfItalic = e[16];
          lf.lfUnderline = e[17];
          lf.lfStrikeOut = e[18];
          lf.lfCharSet = e[19];
          lf.lfOutPrecision = e[20];
          lf.lfClipPrecision = e[21];
          lf.lfQuality = e[22];
          lf.lfPitchAndFamily = e[23];
          std::memcpy(lf.lfFaceName, e + 24, 31);
          lf.lfFaceName[31] = '\0';
          m->fonts.push_back(lf);
        }
        break;
      }
      case kTagPictures:
        if (!fixed(4) || m->pictureCount || getLE(p, 2) > 0xFFFF) return kLoadMalformed;
        m->pictureCount = getLE(p, 2);
        break;
      case kTagPicture: {
        if (!m->pictureCount || m->pictures.size() >= *m->pictureCount) return kLoadMalformed;
        StateModel::Picture pic;
        if (!parsePicture(p, n, &pic)) return kLoadMalformed;
        m->pictures.push_back(std::move(pic));
        break;
      }
      case kTagLookSet: case kTagLookSet + 1: case kTagLookSet + 2: case kTagLookSet + 3: case kTagLookSet + 4:
        if (!fixed(kLookEntry)) return kLoadMalformed;
        m->lookSets[tag - kTagLookSet] = recordFromEntry(p);
        break;
      case kTagPlaces:
        if (n % kPlaceEntry != 0) return kLoadMalformed;
        for (std::uint32_t k = 0; k < n / kPlaceEntry; ++k) {
          const std::uint8_t* e = p + k * kPlaceEntry;
          if (e[0] > 3) return kLoadMalformed;
          m->places.push_back({e[0], signedLE(e + 1, 4), static_cast<std::uint16_t>(getLE(e + 5, 2))});
        }
        break;
      case kTagSettings:
      case kTagComboSettings: {
        if (n % kSettingEntry != 0) return kLoadMalformed;
        auto& list = tag == kTagSettings ? m->settings : m->comboSettings;
        for (std::uint32_t k = 0; k < n / kSettingEntry; ++k) {
          const auto id = static_cast<std::uint16_t>(getLE(p + k * kSettingEntry, 2));
          if (!(tag == kTagSettings ? listSettingId(id) : comboSettingId(id))) return kLoadMalformed;
          list.emplace_back(id, getLE(p + k * kSettingEntry + 2, 4));
        }
        break;
      }
      case kTagCombo: {
        if (!fixed(102)) return kLoadMalformed;
        std::array<std::uint8_t, 102> c;
        std::memcpy(c.data(), p, 102);
        m->combo = c;
        break;
      }
      default:
        break;  // tables and settings this reader does not keep, unknown tags
    }
  }
}

// Every slot the stream names must lie in its table.
bool recordValid(const StateModel& m, const StateModel::LookRecord& rec) {
  for (std::size_t at : kColourSlots)
    if (getLE(rec.data() + at, 2) > m.colours.size()) return false;
  for (std::size_t at : kPictureSlots)
    if (getLE(rec.data() + at, 2) > m.pictures.size()) return false;
  return getLE(rec.data() + kFontSlot, 2) <= m.fonts.size();
}

bool slotsValid(const StateModel& m) {
  for (const auto& [slot, rec] : m.looks)
    if (!recordValid(m, rec)) return false;
  for (const auto& set : m.lookSets)
    if (set && !recordValid(m, *set)) return false;
  auto look = [&](std::uint32_t slot) { return slot == 0 || m.looks.count(slot) != 0; };
  if (!look(m.defaultGroupLook) || !look(m.defaultColumnLook)) return false;
  for (const auto& [g, rec] : m.groups)
    if (!look(getLE(rec.entry, 2))) return false;
  for (const auto& [c, rec] : m.columns)
    if (!look(getLE(rec.entry, 2))) return false;
  for (std::size_t slot = 1; slot < m.itemLooks.size(); ++slot)
    if (m.itemLooks.test(slot) && !look(static_cast<std::uint32_t>(slot))) return false;
  for (const StateModel::Place& p : m.places) {
    if (p.kind == 3 ? p.slot > m.fonts.size() : !look(p.slot)) return false;
    if (p.kind == 0 && p.index != 7 && p.index != 8) return false;
    if (p.kind == 1 && (p.index < 0 || static_cast<std::uint32_t>(p.index) >= m.columnCount.value_or(0))) return false;
    if (p.kind == 2 && (p.index < 0 || static_cast<std::uint32_t>(p.index) >= m.groupCount.value_or(0))) return false;
  }
  return !m.pictureCount || m.pictures.size() == *m.pictureCount;
}

// Version 101: tag 1 carries a u16 column count; tag 2 (an older block form
// this reader does not read) and any other tag end the stream.
int parseVersion101(StateReader& in, StateModel* m) {
  for (;;) {
    std::uint8_t tag;
    if (!in.u8(&tag)) return kLoadTruncated;
    if (tag != 1) return kLoadOk;
    std::uint16_t n;
    if (!in.u16(&n)) return kLoadTruncated;
    if (n > kMaxColumns) return kLoadMalformed;
    m->columnCount = n;
  }
}

}  // namespace

int parseState(StateReader& in, StateModel* out) {
  StateModel m;
  std::uint32_t magic;
  std::uint16_t version;
  if (!in.u32(&magic)) return kLoadTruncated;
  if (magic != kMagic) return kLoadBadMagic;
  if (!in.u16(&version)) return kLoadTruncated;
  int r;
  if (version == 101) {
    r = parseVersion101(in, &m);
  } else {
    std::uint32_t zero;
    if (!in.u32(&zero)) return kLoadTruncated;
    m.recordsAt = in.position();
    r = parseRecords(in, &m);
  }
  if (r == kLoadOk && !slotsValid(m)) r = kLoadMalformed;
  if (r == kLoadOk) *out = std::move(m);
  return r;
}

// ---- applying

namespace {

// Makes the pool entries of a stream's looks, each slot once, and puts
// them in their places. Every place holds its own reference; the builder's
// references go when it does.
class LookBuilder {
 public:
  LookBuilder(LbxInstance* inst, const StateModel& m) : inst_(inst), m_(m), pool_(designPool(inst)) {}
  ~LookBuilder() {
    for (auto& [slot, h] : looks_) pool_.release(h);
    for (auto& [slot, h] : pictures_) pool_.release(h);
    for (auto& [slot, h] : fonts_) pool_.release(h);
  }
  std::uint16_t make(const StateModel::LookRecord& rec) {
    props::CellLook l{};
    std::uint16_t* colours[4] = {&l.back, &l.fore, &l.light3D, &l.dark3D};
    for (int i = 0; i < 4; ++i)
      if (const std::uint32_t s = getLE(rec.data() + kColourSlots[i], 2)) *colours[i] = pool_.colour(m_.colours[s - 1]);
    std::uint8_t* styles[kStyleCount] = {&l.text3D,        &l.offset3D,      &l.multiLine,   &l.alignH,  &l.alignV,
                                         &l.pictureAlignH, &l.pictureAlignV, &l.orientation, &l.ellipsis};
    for (std::size_t i = 0; i < kStyleCount; ++i) *styles[i] = rec[kStyleBytes + i];
    l.picture = picture(static_cast<std::uint16_t>(getLE(rec.data() + kPictureSlots[0], 2)));
    l.pictureSel = picture(static_cast<std::uint16_t>(getLE(rec.data() + kPictureSlots[1], 2)));
    l.font = font(static_cast<std::uint16_t>(getLE(rec.data() + kFontSlot, 2)));
    const std::uint16_t h = pool_.look(l);
    // The look took its own references to its colours.
    for (std::uint16_t* c : colours) pool_.release(*c);
    return h;
  }
  // The look of `slot` (made at its first use), 0 for none.
  std::uint16_t look(std::uint16_t slot) {
    if (!slot) return 0;
    if (auto it = looks_.find(slot); it != looks_.end()) return it->second;
    return looks_[slot] = make(m_.looks.at(slot));
  }
  // Puts look `h` in `place`, releasing what was there.
  void put(std::uint16_t* place, std::uint16_t h) {
    if (!place) return;
    pool_.addRef(h);
    pool_.release(*place);
    *place = h;
  }
  void putBytes(void* place, std::uint16_t h) {
    std::uint16_t v;
    std::memcpy(&v, place, sizeof v);
    put(&v, h);
    std::memcpy(place, &v, sizeof v);
  }
  pw::LOGFONT fontDesc(std::uint16_t slot) const {
    pw::LOGFONT lf = m_.fonts[slot - 1u];
    lf.lfHeight = pw::MulDiv(lf.lfHeight, dpiOf(inst_), 7200);
    return lf;
  }

 private:
  std::uint16_t picture(std::uint16_t slot) {
    if (!slot) return 0;
    if (auto it = pictures_.find(slot); it != pictures_.end()) return it->second;
    return pictures_[slot] = makePicture(m_.pictures[slot - 1u]);
  }
  // A picture's pool entry: a bitmap is made again from its pixels and
  // belongs to the entry. 0 for no picture.
  std::uint16_t makePicture(const StateModel::Picture& pic) {
    if (!pic.bitmap) return pic.block.kind == 1 ? pool_.picture(pic.block) : 0;
    pw::HBITMAP bm = pw::CreateBitmap(static_cast<int>(pic.width), static_cast<int>(pic.height), 1,
                                      pic.bitsPerPixel, pic.pixels.data());
    const auto value = reinterpret_cast<std::uintptr_t>(bm);
    if (!bm || value > 0xFFFFFFFFu) {  // a picture names its bitmap in 32 bits
      if (bm) pw::DeleteObject(bm);
      return 0;
    }
    props::PictureBlock block = pic.block;
    block.value = static_cast<std::uint32_t>(value);
    return pool_.picture(block, bm);
  }
  std::uint16_t font(std::uint16_t slot) {
    if (!slot) return 0;
    if (auto it = fonts_.find(slot); it != fonts_.end()) return it->second;
    const pw::LOGFONT lf = fontDesc(slot);
    return fonts_[slot] = pool_.font(lf, pw::CreateFontIndirect(&lf));
  }
  LbxInstance* inst_;
  const StateModel& m_;
  props::AttrPool& pool_;
  std::map<std::uint16_t, std::uint16_t> looks_, pictures_, fonts_;
};

bool isEarly(int id) { return std::find(std::begin(kEarlySettings), std::end(kEarlySettings), id) != std::end(kEarlySettings); }

void applySetting(LbxInstance* inst, std::uint16_t id, std::uint32_t value) {
  if (id == kScrollStyleSetting) {
    inst->scrollStyle = value & (pw::WS_HSCROLL | pw::WS_VSCROLL);
    return;
  }
  std::uint8_t b[4];
  putLE(b, value, 4);
  setField(inst, id, b, 4);
}

// Fills item `index` from its 13-byte entry.
void applyItemEntry(LbxInstance* inst, int index, const std::uint8_t* entry, LookBuilder& looks) {
  lbxSetItemData(inst, index, getLE(entry + 2, 4));
  const std::int32_t height = fromTwips(signedLE(entry + 6, 4), dpiOf(inst));
  if (height >= 0) lbxSetRowHeight(inst, index, height);
  if (entry[10]) {
    lbxSetSelected(inst, index, true);
    // A single-selection list's selection is its current index.
    if (!(inst->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL))) inst->curSel = index;
  }
  looks.putBytes(reinterpret_cast<unsigned char*>(lbxItem(inst, index)) + offsetof(LbxItem, attr),
                 looks.look(static_cast<std::uint16_t>(getLE(entry, 2))));
  if (entry[11] == 1 || entry[11] == 2) {
    propertySetNumber(inst, 29, index);
    propertySetNumber(inst, 210, entry[11]);
  }
  lbxItem(inst, index)->extra = entry[12];
}

// Reads the item records of a stream that parsed (from `records`, where its
// records start) into the list's items, which exist already: texts, cells,
// cell looks, then each item's entry.
void applyItems(LbxInstance* inst, const StateModel& m, StateReader records, LookBuilder& looks) {
  const bool hasColumns = m.columnCount.value_or(0) > 0;
  int item = -1, column = -1;
  const std::uint8_t* entry = nullptr;
  std::string text;  // a NUL-terminated copy for the store
  auto finishItem = [&] {
    if (item >= 0 && entry) applyItemEntry(inst, item, entry, looks);
    entry = nullptr;
  };
  for (;;) {
    std::uint8_t tag;
    std::uint32_t n;
    if (!records.u8(&tag) || !records.u32(&n)) break;
    const std::uint8_t* p = records.take(n);
    if (tag == kTagEnd || !p) break;
    switch (tag) {
      case kTagItem:
        finishItem();
        item = static_cast<int>(getLE(p, 4));
        column = -1;
        if (!lbxItem(inst, item)) item = -1;
        break;
      case kTagColumn:
        if (item >= 0) column = static_cast<int>(getLE(p, 4));
        break;
      case kTagItemEntry:
        if (item >= 0) entry = p;
        break;
      case kTagCellText:
        if (item < 0) break;
        text.assign(reinterpret_cast<const char*>(p), n);
        if (hasColumns) lbxSetCellText(inst, item, column, text.c_str());
        else lbxSetItemText(inst, item, text.c_str(), false);
        break;
      case kTagCellLook:
        if (item < 0) break;
        if (!cellOf(inst, lbxItem(inst, item), column)) lbxSetCellText(inst, item, column, lbxCellTextPtr(inst, item, column));
        if (LbxCell* cell = cellOf(inst, lbxItem(inst, item), column))
          looks.putBytes(reinterpret_cast<unsigned char*>(cell) + offsetof(LbxCell, attr),
                         looks.look(static_cast<std::uint16_t>(getLE(p, 2))));
        break;
      default:
        break;
    }
  }
  finishItem();
}

void applyModel(LbxInstance* inst, const StateModel& m, StateReader records) {
  const std::int32_t col = static_cast<std::int16_t>(getField(inst, 28));
  const std::int32_t grp = static_cast<std::int16_t>(getField(inst, 197));
  const std::int32_t row = static_cast<std::int32_t>(getField(inst, 29));
  // Painting is held while the list is rebuilt.
  const std::uint32_t style = inst->styleWord;
  inst->styleWord |= kStyleNoRedraw;

  // The record pages stay for the items the state brings.
  lbxResetContent(inst, static_cast<int>(std::min<std::uint64_t>(m.itemCount.value_or(0), INT_MAX)));
  // Counts go to 0 first so that every record starts from its defaults.
  propertySet(inst, inst->hwnd, 206, 0);
  propertySet(inst, inst->hwnd, 32, 0);
  propertySet(inst, inst->hwnd, 206, static_cast<LPARAM>(m.groupCount.value_or(0)));
  for (const auto& [id, value] : m.settings)
    if (isEarly(id)) applySetting(inst, id, value);
  propertySet(inst, inst->hwnd, 32, static_cast<LPARAM>(m.columnCount.value_or(0)));
  LookBuilder looks(inst, m);
  // The window font first: widths in character units are measured with it.
  for (const StateModel::Place& p : m.places)
    if (p.kind == 3 && p.slot) designSetWindowFont(inst, looks.fontDesc(p.slot));

  for (const auto& [g, rec] : m.groups) {
    propertySet(inst, inst->hwnd, 197, static_cast<LPARAM>(g));
    applyEntry(inst, kGroupFields, rec.entry);
    looks.put(designGroupLook(inst, static_cast<int>(g), false), looks.look(static_cast<std::uint16_t>(getLE(rec.entry, 2))));
    if (rec.header) propertySetText(inst, kGroupTextIds[0], *rec.header);
    if (rec.name) propertySetText(inst, kGroupTextIds[1], *rec.name);
  }
  for (const auto& [c, rec] : m.columns) {
    propertySet(inst, inst->hwnd, 28, static_cast<LPARAM>(c));
    applyEntry(inst, kColumnFields, rec.entry);
    looks.put(designColumnLook(inst, static_cast<int>(c), false), looks.look(static_cast<std::uint16_t>(getLE(rec.entry, 2))));
    for (int t = 0; t < 4; ++t)
      if (rec.texts[t]) propertySetText(inst, kColumnTextIds[t], *rec.texts[t]);
  }

  if (m.itemCount.value_or(0) > 0 && lbxAppendEmpty(inst, static_cast<int>(*m.itemCount)))
    applyItems(inst, m, records, looks);
  if (m.hasTip) applyEntry(inst, kTipFields, m.tip);

  // The list-wide looks and the places of tag 32.
  for (int k = 0; k < 5; ++k)
    if (m.lookSets[k]) {
      const std::uint16_t h = looks.make(*m.lookSets[k]);
      looks.put(designLevel(inst, kLookSetLevels[k]), h);
      designPool(inst).release(h);
    }
  looks.put(designLevel(inst, 2), looks.look(m.defaultColumnLook));
  looks.put(designLevel(inst, 3), looks.look(m.defaultGroupLook));
  for (const StateModel::Place& p : m.places) {
    switch (p.kind) {
      case 0: looks.put(designLevel(inst, p.index), looks.look(p.slot)); break;
      case 1: looks.put(designColumnLook(inst, p.index, true), looks.look(p.slot)); break;
      case 2: looks.put(designGroupLook(inst, p.index, true), looks.look(p.slot)); break;
      default: break;  // the window font, set above
    }
  }
  for (const auto& [id, value] : m.settings)
    if (!isEarly(id)) applySetting(inst, id, value);

  // The combo's own settings, when the list belongs to one.
  CbxInstance* combo = inst->comboOwner ? comboOf(inst->comboOwner) : nullptr;
  if (combo && m.combo) {
    const std::uint8_t* e = m.combo->data();
    frameFromEntry(e, combo->frame);
    frameFromEntry(e + 44, inst->frame);
    HWND ch = combo->hwnd;
    pw::SendMessage(ch, props::kSetMessage, 172, e[98]);
    pw::SendMessage(ch, props::kSetMessage, 173, signedLE(e + 96, 2));
    pw::SendMessage(ch, props::kSetMessage, 174, signedLE(e + 88, 4));
    pw::SendMessage(ch, props::kSetMessage, 178, signedLE(e + 92, 4));
    propertySet(inst, inst->hwnd, 156, e[100]);
    propertySet(inst, inst->hwnd, 157, e[101]);
    for (const auto& [id, value] : m.comboSettings)
      if (!propertyTakesPointer(id))  // the parser let only numbers through; a number is all that goes
        pw::SendMessage(ch, props::kSetMessage, id, static_cast<LPARAM>(static_cast<std::int32_t>(value)));
    pw::SendMessage(ch, props::kSetMessage, 181, e[99]);
    if (comboOf(ch) == combo)
      pw::SetWindowPos(ch, nullptr, 0, 0, 0, 0,
                       pw::SWP_NOMOVE | pw::SWP_NOSIZE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE | pw::SWP_FRAMECHANGED);
  }

  // The current column, group and row come back when they still exist.
  propertySet(inst, inst->hwnd, 28, col);
  propertySet(inst, inst->hwnd, 197, grp);
  propertySet(inst, inst->hwnd, 29, row);
  inst->styleWord = (inst->styleWord & ~kStyleNoRedraw) | (style & kStyleNoRedraw);
  if (inst->hwnd) {
    postPending(inst, 0x606);
    if (!(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(inst->hwnd, nullptr, pw::TRUE);
  }
}

}  // namespace

int loadState(LbxInstance* inst, StateReader& in) {
  StateReader records = in;
  StateModel m;
  const int r = parseState(in, &m);
  if (r != kLoadOk) return r;
  // Version 101 streams have no records to read again.
  if (m.recordsAt) records.take(m.recordsAt - records.position());
  else records = StateReader(nullptr, 0);
  applyModel(inst, m, records);
  return kLoadOk;
}

pw::HGLOBAL getStateBlob(LbxInstance* inst, int id) {
  if (id != kStateProperty) return nullptr;
  StateWriter w(1000);
  if (!saveState(inst, w) || w.size() == 0) return nullptr;
  pw::HGLOBAL block = pw::GlobalAlloc(pw::GMEM_MOVEABLE | pw::GMEM_ZEROINIT, w.size() + 4);
  if (!block) return nullptr;
  auto* p = static_cast<std::uint8_t*>(pw::GlobalLock(block));
  putLE(p, static_cast<std::uint32_t>(w.size()), 4);
  std::memcpy(p + 4, w.data(), w.size());
  pw::GlobalUnlock(block);
  return block;
}

int setStateBlob(LbxInstance* inst, int id, pw::HGLOBAL block) {
  if (id != kStateProperty || !block) return kLoadMalformed;
  const std::size_t size = pw::GlobalSize(block);
  const auto* p = static_cast<const std::uint8_t*>(pw::GlobalLock(block));
  if (!p) return kLoadMalformed;
  int r = kLoadTruncated;
  if (size >= 4) {
    const std::uint32_t n = getLE(p, 4);
    if (n > size - 4) {
      r = kLoadTruncated;
    } else {
      StateReader in(p + 4, n);
      r = loadState(inst, in);
    }
  }
  pw::GlobalUnlock(block);
  return r;
}

}  // namespace lindra::state

// ---- exports

namespace {
// The list instance behind a window handed to an export: a list window (of
// either list class), or a combo's list. Window long 0 of other windows holds
// other records, so the class is checked before it is read.
lindra::LbxInstance* listInstanceOf(plat::win::HWND hwnd) {
  if (!hwnd || !plat::win::IsWindow(hwnd)) return nullptr;
  if (lindra::CbxInstance* combo = lindra::comboOf(hwnd)) hwnd = combo->list;
  char cls[32];
  if (!hwnd || !plat::win::GetClassName(hwnd, cls, sizeof cls)) return nullptr;
  if (std::strcmp(cls, lindra::kListClass) != 0 && std::strcmp(cls, lindra::kComboListClass) != 0) return nullptr;
  return lindra::instanceOf(hwnd);
}
}  // namespace

LINDRA_API int LB_SaveState(plat::win::HWND hwnd, lindra::state::StateWriter* out) {
  lindra::LbxInstance* inst = listInstanceOf(hwnd);
  if (!inst || !out) return -1;
  return lindra::state::saveState(inst, *out) ? 0 : -1;
}

LINDRA_API int LB_LoadState(plat::win::HWND hwnd, lindra::state::StateReader* in) {
  lindra::LbxInstance* inst = listInstanceOf(hwnd);
  if (!inst || !in) return -1;
  return lindra::state::loadState(inst, *in);
}

LINDRA_API plat::win::HGLOBAL LB_GetStateBlob(plat::win::HWND hwnd, int id) {
  lindra::LbxInstance* inst = listInstanceOf(hwnd);
  return inst ? lindra::state::getStateBlob(inst, id) : nullptr;
}

LINDRA_API int LB_SetStateBlob(plat::win::HWND hwnd, int id, plat::win::HGLOBAL block) {
  lindra::LbxInstance* inst = listInstanceOf(hwnd);
  return inst ? lindra::state::setStateBlob(inst, id, block) : -1;
}
