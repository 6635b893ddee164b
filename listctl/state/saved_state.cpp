// The saved-state stream: writer, reader and the two directions between a
// list and its stream (saved_state.h lays the stream out).
//
// Columns and groups are read and written through the list's own property
// handlers (select with Col / Grp, then the field's property), so the stream
// goes through the same checks as any caller's sets. Items come from and go
// to the item store.
#include "listctl/state/saved_state.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "listctl/combo/combo.h"
#include "listctl/core/dispatch.h"
#include "listctl/props/property_table.h"
#include "listctl/store/store.h"
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
};
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

void setField(LbxInstance* inst, int id, const std::uint8_t* p, std::size_t width) {
  if (typeOf(id) == props::Float) {
    const std::uint32_t bits = getLE(p, width);
    float f;
    std::memcpy(&f, &bits, 4);
    propertySet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&f));
    return;
  }
  propertySet(inst, inst->hwnd, static_cast<WPARAM>(id), static_cast<LPARAM>(signedLE(p, width)));
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
    const std::size_t want = std::max(used_ + n, capacity_ + growth_);
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

  out.u32(kMagic);
  out.u16(kVersion);
  out.u32(0);

  const std::uint32_t groups = getField(inst, 206) & 0xFFFF;
  out.recordU32(kTagGroups, groups);
  for (std::uint32_t g = 0; g < groups; ++g) {
    propertySet(inst, inst->hwnd, 197, static_cast<LPARAM>(g));
    std::uint8_t entry[18];
    writeEntry(inst, kGroupFields, entry);
    out.recordU32(kTagGroup, g);
    out.record(kTagGroupEntry, entry, sizeof entry);
    writeText(out, kTagGroupHeader, getText(inst, kGroupTextIds[0]));
    writeText(out, kTagGroupName, getText(inst, kGroupTextIds[1]));
  }

  const std::uint32_t columns = getField(inst, 32) & 0xFFFF;
  out.recordU32(kTagColumns, columns);
  for (std::uint32_t c = 0; c < columns; ++c) {
    propertySet(inst, inst->hwnd, 28, static_cast<LPARAM>(c));
    std::uint8_t entry[30];
    writeEntry(inst, kColumnFields, entry);
    out.recordU32(kTagColumn, c);
    out.record(kTagColumnEntry, entry, sizeof entry);
    for (int t = 0; t < 4; ++t) writeText(out, kColumnTextTags[t], getText(inst, kColumnTextIds[t]));
  }

  const int dpi = dpiOf(inst);
  const std::uint32_t items = static_cast<std::uint32_t>(std::max(inst->itemCount, 0));
  out.recordU32(kTagItems, items);
  for (std::uint32_t i = 0; i < items; ++i) {
    const LbxItem* item = lbxItem(inst, static_cast<int>(i));
    if (!item) continue;
    std::uint8_t entry[13] = {};
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
        if (!text || !*text) continue;
        out.recordU32(kTagColumn, c);
        writeText(out, kTagCellText, text);
      }
    } else {
      std::string text;
      if (lbxItemText(inst, static_cast<int>(i), -1, &text)) writeText(out, kTagCellText, text);
    }
  }

  std::uint8_t tip[15];
  writeEntry(inst, kTipFields, tip);
  out.record(kTagTip, tip, sizeof tip);
  out.record(kTagEnd, nullptr, 0);

  propertySet(inst, inst->hwnd, 28, col);
  propertySet(inst, inst->hwnd, 197, grp);
  propertySet(inst, inst->hwnd, 29, row);
  return !out.failed();
}

// ---- parsing

namespace {

bool hasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

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
    std::string data(n, '\0');
    in.read(data.data(), n);
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
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
        if (!fixed(4) || !m->groupCount || getLE(p, 4) >= *m->groupCount) return kLoadMalformed;
        group = getLE(p, 4);
        m->groups[*group];
        break;
      case kTagColumn:
        if (!fixed(4) || !m->columnCount || getLE(p, 4) >= *m->columnCount) return kLoadMalformed;
        column = getLE(p, 4);
        if (!item) m->columns[*column];
        break;
      case kTagItem:
        if (!fixed(4) || !m->itemCount || getLE(p, 4) >= *m->itemCount) return kLoadMalformed;
        item = getLE(p, 4);
        column.reset();
        m->items[*item];
        break;
      case kTagGroupEntry:
        if (!fixed(18) || !group) return kLoadMalformed;
        std::memcpy(m->groups[*group].entry, p, 18);
        break;
      case kTagGroupHeader:
      case kTagGroupName:
        if (!group || hasNul(data)) return kLoadMalformed;
        (tag == kTagGroupHeader ? m->groups[*group].header : m->groups[*group].name) = data;
        break;
      case kTagColumnEntry:
        if (!fixed(30) || !column || item) return kLoadMalformed;
        std::memcpy(m->columns[*column].entry, p, 30);
        break;
      case kTagColumnHeader:
      case kTagColumnField:
      case kTagColumnFormat:
      case kTagColumnName: {
        if (!column || item || hasNul(data)) return kLoadMalformed;
        const int t = static_cast<int>(std::find(kColumnTextTags, kColumnTextTags + 4, tag) - kColumnTextTags);
        m->columns[*column].texts[t] = data;
        break;
      }
      case kTagItemEntry:
        if (!fixed(13) || !item) return kLoadMalformed;
        m->items[*item].hasEntry = true;
        std::memcpy(m->items[*item].entry, p, 13);
        break;
      case kTagCellText: {
        if (!item || hasNul(data)) return kLoadMalformed;
        StateModel::Item& it = m->items[*item];
        if (m->columnCount && *m->columnCount) {
          if (!column) return kLoadMalformed;
          it.cells[*column] = data;
        } else {
          it.text = data;
        }
        break;
      }
      case kTagTip:
        if (!fixed(15)) return kLoadMalformed;
        m->hasTip = true;
        std::memcpy(m->tip, p, 15);
        break;
      default:
        break;  // tables and settings this reader does not keep, unknown tags
    }
  }
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
    r = parseRecords(in, &m);
  }
  if (r == kLoadOk) *out = std::move(m);
  return r;
}

// ---- applying

namespace {

void applyModel(LbxInstance* inst, const StateModel& m) {
  const std::int32_t col = static_cast<std::int16_t>(getField(inst, 28));
  const std::int32_t grp = static_cast<std::int16_t>(getField(inst, 197));
  const std::int32_t row = static_cast<std::int32_t>(getField(inst, 29));
  // Painting is held while the list is rebuilt.
  const std::uint32_t style = inst->styleWord;
  inst->styleWord |= kStyleNoRedraw;

  lbxResetContent(inst);
  // Counts go to 0 first so that every record starts from its defaults.
  propertySet(inst, inst->hwnd, 206, 0);
  propertySet(inst, inst->hwnd, 32, 0);
  propertySet(inst, inst->hwnd, 206, static_cast<LPARAM>(m.groupCount.value_or(0)));
  propertySet(inst, inst->hwnd, 32, static_cast<LPARAM>(m.columnCount.value_or(0)));

  for (const auto& [g, rec] : m.groups) {
    propertySet(inst, inst->hwnd, 197, static_cast<LPARAM>(g));
    applyEntry(inst, kGroupFields, rec.entry);
    if (rec.header) propertySet(inst, inst->hwnd, kGroupTextIds[0], reinterpret_cast<LPARAM>(rec.header->c_str()));
    if (rec.name) propertySet(inst, inst->hwnd, kGroupTextIds[1], reinterpret_cast<LPARAM>(rec.name->c_str()));
  }
  for (const auto& [c, rec] : m.columns) {
    propertySet(inst, inst->hwnd, 28, static_cast<LPARAM>(c));
    applyEntry(inst, kColumnFields, rec.entry);
    for (int t = 0; t < 4; ++t)
      if (rec.texts[t]) propertySet(inst, inst->hwnd, kColumnTextIds[t], reinterpret_cast<LPARAM>(rec.texts[t]->c_str()));
  }

  const int dpi = dpiOf(inst);
  if (m.itemCount.value_or(0) > 0) lbxAppendEmpty(inst, static_cast<int>(*m.itemCount));
  for (const auto& [i, rec] : m.items) {
    const int index = static_cast<int>(i);
    LbxItem* item = lbxItem(inst, index);
    if (!item) break;  // the store could not take the items
    if (rec.text) lbxSetItemText(inst, index, rec.text->c_str(), false);
    for (const auto& [c, text] : rec.cells) lbxSetCellText(inst, index, static_cast<int>(c), text.c_str());
    if (!rec.hasEntry) continue;
    item = lbxItem(inst, index);
    lbxSetItemData(inst, index, getLE(rec.entry + 2, 4));
    const std::int32_t height = fromTwips(signedLE(rec.entry + 6, 4), dpi);
    if (height >= 0) lbxSetRowHeight(inst, index, height);
    if (rec.entry[10]) lbxSetSelected(inst, index, true);
    if (rec.entry[11] == 1 || rec.entry[11] == 2) {
      propertySet(inst, inst->hwnd, 29, index);
      propertySet(inst, inst->hwnd, 210, rec.entry[11]);
    }
    item->extra = rec.entry[12];
  }
  if (m.hasTip) applyEntry(inst, kTipFields, m.tip);

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
  StateModel m;
  const int r = parseState(in, &m);
  if (r != kLoadOk) return r;
  applyModel(inst, m);
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
