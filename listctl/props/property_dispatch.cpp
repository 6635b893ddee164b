// The set and get dispatchers of messages 0x52D and 0x52E.
//
// Each list instance has a property record (PropState) beside its instance
// record, made at the first property message and released with the window.
// It holds the attribute pool, the level records, the line, selection and
// header records, the columns and groups (prop_records.h lays them out) and
// one plain slot per property id for the values that need nothing more
// than to be kept. Items, their texts and selection live in the item store;
// the frame record in LbxInstance::frame.
//
// Results: 0 success; 30500 column out of range or no current column; 30501
// item out of range or the item operation failed; 30502 group out of range
// or no current group; 30503 a refused set (unknown id, value out of range).
// A numeric get with a pointer in lParam writes the value there (16 or 32
// bits, or a float, by the row's type) and answers the status; with lParam 0
// the value is the answer. A text get takes a {buffer, size} block and
// answers the full length; with lParam 0 it answers a movable global copy
// of the text that the caller frees.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "listctl/props/prop_records.h"
#include "listctl/props/property_table.h"
#include "listctl/props/design.h"
#include "listctl/props/view_model.h"
#include "listctl/state/saved_state.h"
#include "listctl/store/store.h"
#include "listctl/view/list_view.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;
using namespace props;

namespace {

constexpr LRESULT kOk = 0, kBadColumn = 30500, kBadItem = 30501, kBadGroup = 30502, kRefused = 30503;
constexpr int kMaxGroups = 256;  // columns: kMaxColumns of the store
// The most items a ListCount set may ask for: larger requests are refused
// before any memory is taken, so that they never end in an out-of-memory
// failure part way.
constexpr std::int32_t kMaxListCount = 1 << 22;

struct WindowRow {
  int id;
  Ptype type;
  std::int32_t def;
};
#define LINDRA_WINDOW_ROW(id, Name, type, def, en, ex) WindowRow{id, type, def},
constexpr WindowRow kWindowRows[] = {LINDRA_WINDOW_PROPERTIES(LINDRA_WINDOW_ROW)};
#undef LINDRA_WINDOW_ROW

struct Slot {
  std::int32_t value = 0;
  float real = 0;
  std::string text;
};

struct PropState {
  std::array<Slot, kLastId + 1> slots;
  AttrPool pool;
  std::uint16_t levels[9] = {};  // look records of ListApplyTo 0..8
  LineRec lines[3];              // kind 0 (line colours), 1 LineStyleH, 2 LineStyleV
  LineRec applyLines[4];         // by LineApplyTo
  LineRec sel;                   // Sel3DStyle (kept 1, 3, 4), its colours and width
  LineRec header;                // Header3DStyle and Header3DWidth
  std::vector<ColumnRec> columns;
  std::vector<GroupRec> groups;
  int currentGroup = 0;  // position
  int row = -1;
  int nextSel = -1;      // where the NextSel walk stands
  std::uint16_t windowFont = 0;  // the font made for the window properties
  ~PropState() {
    for (ColumnRec& c : columns) {
      pool.release(c.look);
      pool.release(c.headerLook);
    }
    for (GroupRec& g : groups) {
      pool.release(g.look);
      pool.release(g.headerLook);
    }
  }
};

std::unordered_map<const LbxInstance*, std::unique_ptr<PropState>>& states() {
  static std::unordered_map<const LbxInstance*, std::unique_ptr<PropState>> s;
  return s;
}

bool getOnly(int id) {
  switch (id) {
    case 90: case 103: case 104: case 153: case 154: case 155: case 268: case 269: case 270: case 271: case 272:
      return true;
    default:
      return false;
  }
}

struct Kind {
  bool known = false;
  Ptype type = Int32;
  std::int32_t def = 0;
  int highest = -1;  // -1: no enumeration
};

Kind kindOf(int id) {
  Kind k;
  if (const PropertyRow* row = rowOf(id)) {
    k.known = true;
    k.type = static_cast<Ptype>(row->flags & 0xFF);
    k.def = row->defaultValue;
    if (row->enumeration) k.highest = row->highest;
    return k;
  }
  for (const WindowRow& w : kWindowRows)
    if (w.id == id) {
      k.known = true;
      k.type = w.type;
      k.def = w.def;
    }
  return k;
}

bool inEnum(int id, std::int32_t v) {
  const Kind k = kindOf(id);
  return k.highest < 0 || (v >= 0 && v <= k.highest);
}

void releaseItemAttr(LbxInstance* inst, std::uint16_t h) {
  auto it = states().find(inst);
  if (it != states().end()) it->second->pool.release(h);
}

PropState& stateOf(LbxInstance* inst) {
  auto& s = states()[inst];
  if (!s) {
    storeHooks().releaseAttr = releaseItemAttr;
    s = std::make_unique<PropState>();
    for (int id = kFirstId; id <= kLastId; ++id) {
      const Kind k = kindOf(id);
      if (k.known) s->slots[static_cast<std::size_t>(id)].value = k.def;
    }
  }
  return *s;
}

std::int32_t boolValue(const Kind& k, LPARAM v) {
  if (v == 0) return 0;
  return k.def == -1 ? -1 : 1;  // flags kept as -1 read back as -1
}

LRESULT copyText(const std::string& text, LPARAM lParam) {
  if (lParam == 0) return reinterpret_cast<LRESULT>(globalTextCopy(text));
  auto* block = reinterpret_cast<TextBlock*>(lParam);
  if (block->buffer && block->size > 0) {
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(block->size) - 1);
    std::memcpy(block->buffer, text.data(), n);
    block->buffer[n] = '\0';
  }
  return static_cast<LRESULT>(text.size());
}

// Replaces an owned text; a set that equals the stored text changes nothing.
void setOwnedText(std::string* slot, LPARAM value) {
  const char* t = value ? reinterpret_cast<const char*>(value) : "";
  if (*slot != t) *slot = t;
}

void invalidate(LbxInstance* inst) {
  if (inst->hwnd && !(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(inst->hwnd, nullptr, pw::TRUE);
}

void relayColumns(LbxInstance* inst) {
  if (inst->hwnd) postPending(inst, 0x606);
  invalidate(inst);
}

// ---- columns and groups

int columnPos(const LbxInstance* inst, const PropState& st) {
  if (inst->currentColumn == kNoHandle) return -1;
  for (std::size_t i = 0; i < st.columns.size(); ++i)
    if (st.columns[i].dataIndex == inst->currentColumn) return static_cast<int>(i);
  return -1;
}

ColumnRec* currentColumn(LbxInstance* inst, PropState& st) {
  const int p = columnPos(inst, st);
  return p < 0 ? nullptr : &st.columns[static_cast<std::size_t>(p)];
}

GroupRec* currentGroup(PropState& st) {
  if (st.currentGroup < 0 || st.currentGroup >= static_cast<int>(st.groups.size())) return nullptr;
  return &st.groups[static_cast<std::size_t>(st.currentGroup)];
}

void syncColumns(LbxInstance* inst, const PropState& st) {
  std::uint16_t map[kMaxColumns];
  for (std::size_t i = 0; i < st.columns.size(); ++i) map[i] = st.columns[i].dataIndex;
  lbxSetColumns(inst, static_cast<int>(st.columns.size()), map);
  // The sort keys in their sequence.
  std::vector<const ColumnRec*> sorted;
  for (const ColumnRec& c : st.columns)
    if (c.sorted) sorted.push_back(&c);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const ColumnRec* a, const ColumnRec* b) { return a->sortSeq < b->sortSeq; });
  LbxSortKey keys[kMaxSortKeys];
  int n = 0;
  for (const ColumnRec* c : sorted) {
    if (n == kMaxSortKeys) break;
    keys[n++] = LbxSortKey{static_cast<std::int16_t>(c->dataIndex), static_cast<std::uint8_t>(c->sorted),
                           static_cast<std::uint8_t>(c->sortDataType)};
  }
  lbxSetSortKeys(inst, keys, n);
  relayColumns(inst);
}

std::uint16_t freeDataIndex(const PropState& st) {
  for (std::uint16_t di = 0; di < kMaxColumns; ++di) {
    bool used = false;
    for (const ColumnRec& c : st.columns) used = used || c.dataIndex == di;
    if (!used) return di;
  }
  return kNoHandle;
}

// Inserts a column at `pos` (-1: at the end), a copy of `from` when given.
LRESULT insertColumn(LbxInstance* inst, PropState& st, int pos, const ColumnRec* from) {
  if (st.columns.size() >= static_cast<std::size_t>(kMaxColumns)) return 1;
  ColumnRec c = from ? *from : ColumnRec{};
  const int sourcePos = from ? static_cast<int>(from - st.columns.data()) : -1;
  c.dataIndex = freeDataIndex(st);
  st.pool.addRef(c.look);
  st.pool.addRef(c.headerLook);
  if (pos < 0 || pos > static_cast<int>(st.columns.size())) pos = static_cast<int>(st.columns.size());
  st.columns.insert(st.columns.begin() + pos, c);
  syncColumns(inst, st);
  if (sourcePos >= 0) {
    // A clone takes the cells of its source.
    const int src = sourcePos >= pos ? sourcePos + 1 : sourcePos;
    std::string text;
    for (int i = 0; i < inst->itemCount; ++i)
      if (lbxItemText(inst, i, src, &text) && !text.empty()) lbxSetCellText(inst, i, pos, text.c_str());
  }
  return kOk;
}

void eraseColumn(LbxInstance* inst, PropState& st, int pos) {
  ColumnRec& c = st.columns[static_cast<std::size_t>(pos)];
  lbxDropCells(inst, c.dataIndex);
  st.pool.release(c.look);
  st.pool.release(c.headerLook);
  const bool wasCurrent = c.dataIndex == inst->currentColumn;
  st.columns.erase(st.columns.begin() + pos);
  if (wasCurrent) {
    const int n = static_cast<int>(st.columns.size());
    inst->currentColumn = n == 0 ? kNoHandle : st.columns[static_cast<std::size_t>(std::min(pos, n - 1))].dataIndex;
  }
  syncColumns(inst, st);
}

LRESULT insertGroup(PropState& st, int pos) {
  if (st.groups.size() >= static_cast<std::size_t>(kMaxGroups)) return 1;
  if (pos < 0 || pos > static_cast<int>(st.groups.size())) pos = static_cast<int>(st.groups.size());
  st.groups.insert(st.groups.begin() + pos, GroupRec{});
  return kOk;
}

void eraseGroup(PropState& st, int pos) {
  GroupRec& g = st.groups[static_cast<std::size_t>(pos)];
  st.pool.release(g.look);
  st.pool.release(g.headerLook);
  st.groups.erase(st.groups.begin() + pos);
  // Parents follow the positions; a deleted parent leaves none.
  auto fix = [pos](std::int32_t& parent) {
    if (parent == pos) parent = -1;
    else if (parent > pos) --parent;
  };
  for (GroupRec& o : st.groups) fix(o.parentGroup);
  for (ColumnRec& c : st.columns) fix(c.parentGroup);
  const int n = static_cast<int>(st.groups.size());
  if (st.currentGroup >= n) st.currentGroup = n - 1;
}

// Widths: kept in pixels, exchanged in the ColumnWidthScale unit.
double unitPixels(LbxInstance* inst, const PropState& st) {
  const int avg = inst->columnWidth > 0 ? inst->columnWidth : 8;
  switch (st.slots[71].value) {
    case 0: return pixelsPerInchX() / 1440.0;
    case 1: return 1.0;
    case 3: {
      int maxWidth = 2 * avg;
      if (inst->hwnd)
        if (pw::HDC dc = pw::GetDC(inst->hwnd)) {
          pw::HGDIOBJ old = inst->hfont ? pw::SelectObject(dc, inst->hfont) : nullptr;
          pw::TEXTMETRIC tm;
          pw::GetTextMetrics(dc, &tm);
          if (old) pw::SelectObject(dc, old);
          pw::ReleaseDC(inst->hwnd, dc);
          if (tm.tmMaxCharWidth > 0) maxWidth = tm.tmMaxCharWidth;
        }
      return maxWidth;
    }
    default: return avg;
  }
}

// ---- the look records

// Where a place keeps its record handle. Item and cell records are packed,
// so the handle is read and written by bytes.
struct Place {
  void* handle = nullptr;    // null: nothing there (a get reads "not set")
  std::uint16_t shared = 0;  // the record a private copy starts from
  std::uint16_t load() const {
    std::uint16_t h = 0;
    if (handle) std::memcpy(&h, handle, sizeof h);
    return h;
  }
  void store(std::uint16_t h) const { std::memcpy(handle, &h, sizeof h); }
};

// The record that `level` addresses for item `row` and column position `col`.
LRESULT placeOf(LbxInstance* inst, PropState& st, int level, int row, int col, bool create, Place* out) {
  *out = Place{};
  switch (level) {
    case 0: case 1: case 4: case 5: case 6:
      out->handle = &st.levels[level];
      return kOk;
    case 2: case 3: case 7: case 8:
      out->handle = &st.levels[level];
      out->shared = st.levels[0];
      return kOk;
    case 9: case 10: case 11: {
      if (level == 9) {
        if (col < 0) return kBadColumn;
        out->handle = &st.columns[static_cast<std::size_t>(col)].headerLook;
        out->shared = st.levels[7];
        return kOk;
      }
      GroupRec* g = currentGroup(st);
      if (!g) return kBadGroup;
      out->handle = level == 10 ? &g->headerLook : &g->look;
      out->shared = st.levels[level == 10 ? 8 : 3];
      return kOk;
    }
    default:
      break;
  }
  // Level 12: the single item, column or cell.
  if (row < 0 && col < 0) {
    out->handle = &st.levels[0];
    return kOk;
  }
  ColumnRec* c = col >= 0 ? &st.columns[static_cast<std::size_t>(col)] : nullptr;
  if (row < 0) {
    out->handle = &c->look;
    out->shared = st.levels[2];
    return kOk;
  }
  LbxItem* item = lbxItem(inst, row);
  if (!item) return kBadItem;
  if (!c) {
    out->handle = reinterpret_cast<unsigned char*>(item) + offsetof(LbxItem, attr);
    out->shared = st.levels[1];
    return kOk;
  }
  const int di = c->dataIndex;
  if (item->cellCount <= di) {
    if (!create) return kOk;
    // Gives the item its cell array; the text stays as it is.
    if (lbxSetCellText(inst, row, col, lbxCellTextPtr(inst, row, col)) < 0) return kBadItem;
    item = lbxItem(inst, row);
    if (item->cellCount <= di) return kBadItem;
  }
  out->handle = reinterpret_cast<unsigned char*>(item->content) + di * sizeof(LbxCell) + offsetof(LbxCell, attr);
  out->shared = c->look ? c->look : st.levels[2];
  return kOk;
}

enum class LookField { Back, Fore, Text3D, Light3D, Dark3D, Offset3D, MultiLine, AlignH, AlignV, Picture, PictureSel,
                       PictureAlignH, PictureAlignV, Orientation, Ellipsis, None };

LookField lookFieldOf(int id) {
  switch (id) {
    case 2: return LookField::Back;
    case 3: return LookField::Fore;
    case 92: return LookField::Text3D;
    case 93: return LookField::Light3D;
    case 94: return LookField::Dark3D;
    case 95: return LookField::Offset3D;
    case 211: return LookField::MultiLine;
    case 212: return LookField::AlignH;
    case 213: return LookField::AlignV;
    case 214: return LookField::Picture;
    case 215: return LookField::PictureSel;
    case 216: return LookField::PictureAlignH;
    case 217: return LookField::PictureAlignV;
    case 222: return LookField::Orientation;
    case 250: return LookField::Ellipsis;
    default: return LookField::None;
  }
}

std::uint16_t* handleField(CellLook* l, LookField f) {
  switch (f) {
    case LookField::Back: return &l->back;
    case LookField::Fore: return &l->fore;
    case LookField::Light3D: return &l->light3D;
    case LookField::Dark3D: return &l->dark3D;
    case LookField::Picture: return &l->picture;
    case LookField::PictureSel: return &l->pictureSel;
    default: return nullptr;
  }
}

std::uint8_t* byteField(CellLook* l, LookField f) {
  switch (f) {
    case LookField::Text3D: return &l->text3D;
    case LookField::Offset3D: return &l->offset3D;
    case LookField::MultiLine: return &l->multiLine;
    case LookField::AlignH: return &l->alignH;
    case LookField::AlignV: return &l->alignV;
    case LookField::PictureAlignH: return &l->pictureAlignH;
    case LookField::PictureAlignV: return &l->pictureAlignV;
    case LookField::Orientation: return &l->orientation;
    case LookField::Ellipsis: return &l->ellipsis;
    default: return nullptr;
  }
}

bool isPictureField(LookField f) { return f == LookField::Picture || f == LookField::PictureSel; }
bool isColourField(LookField f) {
  return f == LookField::Back || f == LookField::Fore || f == LookField::Light3D || f == LookField::Dark3D;
}

// Sets field `id` of the record that (level, row, col) address.
LRESULT lookSet(LbxInstance* inst, PropState& st, int level, int row, int col, int id, LPARAM value) {
  const LookField f = lookFieldOf(id);
  const auto v32 = static_cast<std::int32_t>(value);
  // At the default level the "not set" colour changes nothing.
  if (level == 0 && (f == LookField::Back || f == LookField::Fore) &&
      static_cast<std::uint32_t>(value) == kUnsetColour)
    return kOk;
  if (isPictureField(f) && !value) return kRefused;
  if (f == LookField::Offset3D && (v32 < 0 || v32 > 254)) return kRefused;
  if (!inEnum(id, v32)) return kRefused;
  Place place;
  if (const LRESULT r = placeOf(inst, st, level, row, col, true, &place)) return r;

  // The new handle first: making entries may move the records.
  std::uint16_t fresh = 0;
  if (isPictureField(f)) {
    const auto& pic = *reinterpret_cast<const PictureBlock*>(value);
    if (pic.type != 0 || pic.value != 0 || pic.attribute != 0) {
      fresh = st.pool.picture(pic);
      if (!fresh) return kRefused;
    }
  } else if (isColourField(f)) {
    fresh = st.pool.colour(static_cast<std::uint32_t>(value));
    if (!fresh) return kRefused;
  }
  std::uint16_t handle = place.load();
  CellLook* look = st.pool.own(&handle, place.shared);
  if (!look) {
    st.pool.release(fresh);
    return kRefused;
  }
  place.store(handle);
  if (std::uint16_t* h = handleField(look, f)) {
    const std::uint16_t old = *h;
    *h = fresh;
    st.pool.release(old);
  } else if (std::uint8_t* b = byteField(look, f)) {
    *b = static_cast<std::uint8_t>(v32 + 1);
  }
  if (level == 7 || level == 8) relayColumns(inst);
  else invalidate(inst);
  return kOk;
}

// Reads field `id` of the addressed record into *v, or the picture block.
LRESULT lookGet(LbxInstance* inst, PropState& st, int level, int row, int col, int id, std::int32_t* v,
                PictureBlock* pic) {
  const LookField f = lookFieldOf(id);
  Place place;
  if (const LRESULT r = placeOf(inst, st, level, row, col, false, &place)) return r;
  const CellLook* look = st.pool.lookOf(place.load());
  CellLook none{};
  CellLook l = look ? *look : none;
  if (isPictureField(f)) {
    *pic = st.pool.pictureOf(*handleField(&l, f));
  } else if (std::uint16_t* h = handleField(&l, f)) {
    *v = static_cast<std::int32_t>(st.pool.colourOf(*h));
  } else if (std::uint8_t* b = byteField(&l, f)) {
    // An offset not set reads as the table's 1; a style not set as 0.
    *v = *b ? *b - 1 : (f == LookField::Offset3D ? 1 : 0);
  }
  return kOk;
}

// ---- line records

LineRec* lineOf(PropState& st, int id) {
  switch (id) {
    case 36: case 37: case 38: return &st.lines[0];
    case 39: return &st.lines[1];
    case 40: return &st.lines[2];
    case 42: case 45: case 46: case 47: return &st.sel;
    case 59: case 60: return &st.header;
    case 41: case 190: case 191: case 192: case 193: case 194:
      return &st.applyLines[std::clamp(st.slots[195].value, 0, 3)];
    default: return nullptr;
  }
}

std::uint16_t* lineColour(LineRec* l, int id) {
  switch (id) {
    case 36: case 45: case 191: return &l->light;
    case 37: case 46: case 192: return &l->dark;
    case 38: case 190: return &l->solid;
    default: return nullptr;
  }
}

std::int32_t* lineWidth(LineRec* l, int id) {
  switch (id) {
    case 41: case 47: case 60: return &l->width;
    case 193: return &l->width3D;
    default: return nullptr;
  }
}

LRESULT lineSet(LbxInstance* inst, PropState& st, int id, LPARAM value) {
  LineRec* l = lineOf(st, id);
  const auto v32 = static_cast<std::int32_t>(value);
  if (std::uint16_t* c = lineColour(l, id)) {
    const std::uint16_t fresh = st.pool.colour(static_cast<std::uint32_t>(value));
    if (!fresh) return kRefused;
    st.pool.release(*c);
    *c = fresh;
  } else if (std::int32_t* w = lineWidth(l, id)) {
    if (v32 < -1 || v32 > 32767) return kRefused;
    *w = v32;
  } else if (id == 42) {  // Sel3DStyle: kept as 1, 3, 4
    if (v32 < 0 || v32 > 2) return kRefused;
    l->style = static_cast<std::uint8_t>(v32 == 0 ? 1 : v32 == 1 ? 3 : 4);
  } else {
    if (!inEnum(id, v32)) return kRefused;
    l->style = static_cast<std::uint8_t>(v32 + 1);
  }
  relayColumns(inst);
  return kOk;
}

std::int32_t lineGet(PropState& st, int id) {
  LineRec* l = lineOf(st, id);
  if (std::uint16_t* c = lineColour(l, id)) return static_cast<std::int32_t>(st.pool.colourOf(*c));
  if (std::int32_t* w = lineWidth(l, id)) return *w;
  if (id == 42) return l->style == 3 ? 1 : l->style == 4 ? 2 : 0;
  return l->style ? l->style - 1 : 0;
}

// ---- fonts

pw::LOGFONT fontDesc(pw::HFONT font) {
  pw::LOGFONT lf;
  if (!font || !pw::GetObject(font, sizeof lf, &lf)) pw::GetObject(pw::GetStockObject(pw::SYSTEM_FONT), sizeof lf, &lf);
  return lf;
}

// Character height in pixels of a font: a negative logical height is the
// character height itself; a cell height loses its internal leading.
int charHeight(HWND hwnd, const pw::LOGFONT& lf) {
  if (lf.lfHeight < 0) return -lf.lfHeight;
  pw::HFONT f = pw::CreateFontIndirect(&lf);
  int h = lf.lfHeight;
  if (pw::HDC dc = hwnd ? pw::GetDC(hwnd) : nullptr) {
    pw::HGDIOBJ old = pw::SelectObject(dc, f);
    pw::TEXTMETRIC tm;
    pw::GetTextMetrics(dc, &tm);
    pw::SelectObject(dc, old);
    pw::ReleaseDC(hwnd, dc);
    h = tm.tmHeight - tm.tmInternalLeading;
  }
  pw::DeleteObject(f);
  return h;
}

float pointsOf(HWND hwnd, const pw::LOGFONT& lf) {
  return static_cast<float>(charHeight(hwnd, lf)) * 72.0f / static_cast<float>(pixelsPerInchY());
}

std::int32_t heightOf(float points) {
  return -static_cast<std::int32_t>(points * static_cast<float>(pixelsPerInchY()) / 72.0f + 0.5f);
}

enum class FontField { Bold, Italic, Name, Size, Strike, Under };

FontField fontFieldOf(int id) {
  switch (id) {
    case 50: case 501: return FontField::Bold;
    case 51: case 502: return FontField::Italic;
    case 52: case 503: return FontField::Name;
    case 53: case 504: return FontField::Size;
    case 54: case 505: return FontField::Strike;
    default: return FontField::Under;
  }
}

// Changes one field of `lf`; false when the value is refused or changes nothing.
bool changeFont(pw::LOGFONT* lf, FontField f, LPARAM value, bool window) {
  switch (f) {
    case FontField::Bold: lf->lfWeight = value ? pw::FW_BOLD : pw::FW_NORMAL; return true;
    case FontField::Italic: lf->lfItalic = value != 0; return true;
    case FontField::Strike: lf->lfStrikeOut = value != 0; return true;
    case FontField::Under: lf->lfUnderline = value != 0; return true;
    case FontField::Size: {
      if (!value) return false;
      const float points = *reinterpret_cast<const float*>(value);
      if (!(points > 0 && points < 1000)) return false;
      lf->lfHeight = heightOf(points);
      return true;
    }
    case FontField::Name: {
      const char* name = value ? reinterpret_cast<const char*>(value) : "";
      if (window) {
        // The window's font takes only a different name that fits.
        if (std::strlen(name) >= sizeof lf->lfFaceName || std::strcmp(name, lf->lfFaceName) == 0) return false;
        lf->lfOutPrecision = 4;
      }
      std::strncpy(lf->lfFaceName, name, sizeof lf->lfFaceName - 1);
      lf->lfFaceName[sizeof lf->lfFaceName - 1] = '\0';
      return true;
    }
  }
  return false;
}

LRESULT fontGet(HWND hwnd, const pw::LOGFONT& lf, FontField f, LPARAM out, bool direct) {
  std::int32_t v = 0;
  switch (f) {
    case FontField::Name: return copyText(lf.lfFaceName, out);
    case FontField::Size:
      if (!out) return kRefused;
      *reinterpret_cast<float*>(out) = pointsOf(hwnd, lf);
      return kOk;
    case FontField::Bold: v = direct ? lf.lfWeight > pw::FW_NORMAL : lf.lfWeight == pw::FW_BOLD; break;
    case FontField::Italic: v = lf.lfItalic != 0; break;
    case FontField::Strike: v = lf.lfStrikeOut != 0; break;
    case FontField::Under: v = lf.lfUnderline != 0; break;
  }
  if (!out || direct) return v;
  *reinterpret_cast<std::int32_t*>(out) = v;
  return kOk;
}

LRESULT headerFontSet(LbxInstance* inst, PropState& st, FontField f, LPARAM value) {
  const CellLook* level7 = st.pool.lookOf(st.levels[7]);
  const pw::LOGFONT* cur = level7 ? st.pool.fontDescOf(level7->font) : nullptr;
  pw::LOGFONT lf = cur ? *cur : fontDesc(nullptr);
  if (!changeFont(&lf, f, value, false)) return f == FontField::Size ? kRefused : kOk;
  const std::uint16_t fresh = st.pool.font(lf, pw::CreateFontIndirect(&lf));
  if (!fresh) return kRefused;
  CellLook* look = st.pool.own(&st.levels[7], st.levels[0]);
  if (!look) {
    st.pool.release(fresh);
    return kRefused;
  }
  const std::uint16_t old = look->font;
  look->font = fresh;
  st.pool.release(old);
  relayColumns(inst);
  return kOk;
}

pw::LOGFONT headerFontDesc(PropState& st) {
  const CellLook* level7 = st.pool.lookOf(st.levels[7]);
  const pw::LOGFONT* cur = level7 ? st.pool.fontDescOf(level7->font) : nullptr;
  return cur ? *cur : fontDesc(nullptr);
}

LRESULT windowFontSet(LbxInstance* inst, HWND hwnd, PropState& st, FontField f, LPARAM value) {
  pw::LOGFONT lf = fontDesc(inst->hfont);
  if (!changeFont(&lf, f, value, true)) return f == FontField::Size ? kRefused : kOk;
  pw::HFONT font = pw::CreateFontIndirect(&lf);
  const std::uint16_t fresh = st.pool.font(lf, font);
  if (!fresh) return kRefused;
  pw::SendMessage(hwnd, pw::WM_SETFONT, reinterpret_cast<WPARAM>(font),
                  !(inst->styleWord & kStyleNoRedraw));
  st.pool.release(st.windowFont);
  st.windowFont = fresh;
  return kOk;
}

// ---- items

int selectedCount(const LbxInstance* inst) {
  if (!(inst->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL))) return inst->curSel >= 0 ? 1 : 0;
  int n = 0;
  for (int i = 0; i < inst->itemCount; ++i) n += lbxIsSelected(inst, i);
  return n;
}

bool multiSel(const LbxInstance* inst) { return (inst->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

bool resorts(const PropState& st, const LbxInstance* inst) {
  return (inst->store.sorted || inst->store.sortKeyCount) && inst->store.sortState != 2 && !st.slots[100].value;
}

void clampRow(LbxInstance* inst, PropState& st) {
  st.row = std::min(st.row, inst->itemCount);
  if (inst->anchor >= inst->itemCount) inst->anchor = -1;
  if (inst->curSel >= inst->itemCount) inst->curSel = -1;
}

LRESULT setListCount(LbxInstance* inst, PropState& st, std::int32_t n) {
  if (n < 0 || n > kMaxListCount) return kRefused;
  if (n > inst->itemCount) return lbxAppendEmpty(inst, n - inst->itemCount) ? kOk : kBadItem;
  if (n == 0) lbxResetContent(inst);
  while (inst->itemCount > n) lbxDeleteString(inst, inst->itemCount - 1);
  clampRow(inst, st);
  return kOk;
}

LRESULT setListIndex(LbxInstance* inst, HWND hwnd, PropState& st, std::int32_t v) {
  if (v < -1 || v >= inst->itemCount) return kBadItem;
  if (multiSel(inst)) {
    if (v >= 0) lbxStoreMessage(inst, hwnd, 0x19E, static_cast<WPARAM>(v), 0);  // LB_SETCARETINDEX
    else inst->curSel = -1;
  } else {
    lbxStoreMessage(inst, hwnd, 0x186, static_cast<WPARAM>(v), 0);  // LB_SETCURSEL
  }
  st.nextSel = -1;
  return kOk;
}

// Text (ListIndex) and List (Row): Row = count appends an empty item first.
LRESULT setItemText(LbxInstance* inst, PropState& st, int index, LPARAM value, bool mayAppend) {
  if (mayAppend && index == inst->itemCount && !lbxAppendEmpty(inst, 1)) return kBadItem;
  if (index < 0 || index >= inst->itemCount) return kBadItem;
  const char* text = value ? reinterpret_cast<const char*>(value) : "";
  return lbxSetItemText(inst, index, text, resorts(st, inst)) < 0 ? kBadItem : kOk;
}

LRESULT setCellText(LbxInstance* inst, PropState& st, int index, LPARAM value) {
  const int col = columnPos(inst, st);
  if (col < 0) return kBadColumn;
  if (index == inst->itemCount && !lbxAppendEmpty(inst, 1)) return kBadItem;
  if (index < 0 || index >= inst->itemCount) return kBadItem;
  const int r = lbxSetCellText(inst, index, col, value ? reinterpret_cast<const char*>(value) : "");
  if (r < 0) return kBadItem;
  if (r > 0) invalidate(inst);
  return kOk;
}

LRESULT action(LbxInstance* inst, HWND hwnd, PropState& st, std::int32_t v) {
  switch (v) {
    case 0: {  // Search
      const int found = lbxSearch(inst, st.slots[89].text.c_str(), st.slots[88].value, st.slots[70].value,
                                  st.slots[87].value, st.slots[165].value != 0);
      st.slots[87].value = found;
      return kOk;
    }
    case 1:  // Select all: only a list that holds several selections
      if (multiSel(inst)) {
        for (int i = 0; i < inst->itemCount; ++i) lbxSetSelected(inst, i, true);
        invalidate(inst);
      }
      return kOk;
    case 2:
      for (int i = 0; i < inst->itemCount; ++i) lbxSetSelected(inst, i, false);
      if (!multiSel(inst)) inst->curSel = -1;
      invalidate(inst);
      return kOk;
    case 3:
      lbxResetContent(inst);
      clampRow(inst, st);
      st.nextSel = -1;
      invalidate(inst);
      return kOk;
    case 4:
      if (st.row < 0 || st.row >= inst->itemCount) return kBadItem;
      lbxDeleteString(inst, st.row);
      clampRow(inst, st);
      return kOk;
    case 5:
      if (hwnd) pw::UpdateWindow(hwnd);
      return kOk;
    case 6:
      std::memset(inst->typeAhead, 0, sizeof inst->typeAhead);
      return kOk;
    case 7:
      return insertColumn(inst, st, columnPos(inst, st), nullptr);
    case 8: {
      const int p = columnPos(inst, st);
      if (p < 0) return kBadColumn;
      eraseColumn(inst, st, p);
      return kOk;
    }
    case 9:
      invalidate(inst);
      return kOk;
    case 10:
      return insertGroup(st, st.currentGroup);
    case 11:
      if (!currentGroup(st)) return kBadGroup;
      eraseGroup(st, st.currentGroup);
      return kOk;
    case 12: {
      const int p = columnPos(inst, st);
      if (p < 0) return kBadColumn;
      return insertColumn(inst, st, p + 1, &st.columns[static_cast<std::size_t>(p)]);
    }
    default:
      return kOk;  // values above 12 do nothing
  }
}

bool sameName(const std::string& a, const char* b) { return !a.empty() && lbxCompareText(a, b, 0) == 0; }

// ---- column and group fields

std::string* columnText(ColumnRec& c, int id) {
  switch (id) {
    case 62: return &c.dataField;
    case 64: return &c.format;
    case 65: return &c.headerText;
    case 235: return &c.name;
    default: return nullptr;
  }
}

std::int32_t* columnValue(ColumnRec& c, int id) {
  switch (id) {
    case 63: return &c.dataFieldType;
    case 72: return &c.hide;
    case 74: return &c.sorted;
    case 75: return &c.sortSeq;
    case 145: return &c.lock;
    case 146: return &c.lockResize;
    case 163: return &c.sortDataType;
    case 209: return &c.merge;
    case 233: return &c.id;
    case 203: return &c.parentGroup;
    case 204: return &c.level;
    case 205: return &c.levelHeight;
    default: return nullptr;
  }
}

bool isColumnId(int id) {
  switch (id) {
    case 62: case 63: case 64: case 65: case 72: case 73: case 74: case 75: case 145: case 146: case 163:
    case 203: case 204: case 205: case 209: case 233: case 235:
      return true;
    default:
      return false;
  }
}

std::string* groupText(GroupRec& g, int id) { return id == 199 ? &g.headerText : id == 236 ? &g.name : nullptr; }

std::int32_t* groupValue(GroupRec& g, int id) {
  switch (id) {
    case 198: return &g.hide;
    case 201: return &g.parentGroup;
    case 202: return &g.lockResize;
    case 234: return &g.id;
    default: return nullptr;
  }
}

bool isGroupId(int id) { return id == 200 || id == 198 || id == 199 || id == 201 || id == 202 || id == 234 || id == 236; }

LRESULT columnSet(LbxInstance* inst, PropState& st, int id, LPARAM value) {
  ColumnRec* c = currentColumn(inst, st);
  if (!c) return kBadColumn;
  const auto v32 = static_cast<std::int32_t>(value);
  if (id == 73) {
    if (!value) return kRefused;
    const float w = *reinterpret_cast<const float*>(value);
    if (!(w >= 0)) return kRefused;
    c->widthPx = w * unitPixels(inst, st);
    relayColumns(inst);
    return kOk;
  }
  if (std::string* t = columnText(*c, id)) {
    setOwnedText(t, value);
    relayColumns(inst);
    return kOk;
  }
  const std::int32_t levels = st.slots[207].value;
  if (id == 203 && (v32 < -1 || v32 >= static_cast<int>(st.groups.size()))) return kBadGroup;
  if (id == 204 && (v32 < 0 || v32 >= levels)) return kRefused;
  if (id == 205 && (v32 < 0 || v32 > levels)) return kRefused;
  if (!inEnum(id, v32)) return kRefused;
  std::int32_t* f = columnValue(*c, id);
  *f = kindOf(id).type == Bool ? (v32 != 0) : v32;
  syncColumns(inst, st);
  if ((id == 74 || id == 75 || id == 163) && resorts(st, inst)) lbxResort(inst);
  return kOk;
}

LRESULT columnGet(LbxInstance* inst, PropState& st, int id, LPARAM out, std::int32_t* v) {
  ColumnRec* c = currentColumn(inst, st);
  if (!c) return kBadColumn;
  if (id == 73) {
    if (!out) return kRefused;
    *reinterpret_cast<float*>(out) = static_cast<float>(c->widthPx / unitPixels(inst, st));
    return kOk;
  }
  if (std::string* t = columnText(*c, id)) return copyText(*t, out);
  *v = *columnValue(*c, id);
  return -1;  // the caller writes *v
}

LRESULT groupSet(LbxInstance* inst, PropState& st, int id, LPARAM value) {
  GroupRec* g = currentGroup(st);
  if (!g) return kBadGroup;
  const auto v32 = static_cast<std::int32_t>(value);
  if (id == 200) {
    if (!value) return kRefused;
    const float w = *reinterpret_cast<const float*>(value);
    if (!(w >= 0)) return kRefused;
    g->widthPx = w * unitPixels(inst, st);
  } else if (std::string* t = groupText(*g, id)) {
    setOwnedText(t, value);
  } else {
    if (id == 201 && (v32 < -1 || v32 >= static_cast<int>(st.groups.size()) || v32 == st.currentGroup))
      return kBadGroup;
    *groupValue(*g, id) = kindOf(id).type == Bool ? (v32 != 0) : v32;
  }
  relayColumns(inst);
  return kOk;
}

LRESULT groupGet(LbxInstance* inst, PropState& st, int id, LPARAM out, std::int32_t* v) {
  GroupRec* g = currentGroup(st);
  if (!g) return kBadGroup;
  if (id == 200) {
    if (!out) return kRefused;
    *reinterpret_cast<float*>(out) = static_cast<float>(g->widthPx / unitPixels(inst, st));
    return kOk;
  }
  if (std::string* t = groupText(*g, id)) return copyText(*t, out);
  *v = *groupValue(*g, id);
  return -1;
}

// The shortcuts into the look class: the level, row and column they use.
struct Shortcut {
  int id, level, target;
  bool rowNone, colNone, keeps;  // keeps: the level and Row stay set after the call
};
constexpr Shortcut kShortcuts[] = {
    {49, 7, 2, false, false, false},   {56, 7, 3, false, false, false},   {96, 7, 92, false, false, false},
    {97, 7, 93, false, false, false},  {98, 7, 94, false, false, false},  {99, 7, 95, false, false, false},
    {61, 12, 212, true, false, true},  {66, 9, 212, true, false, true},   {132, 12, 211, true, false, true},
    {141, 12, 216, true, false, true}, {139, 12, 214, true, false, false}, {140, 12, 215, true, false, false},
    {147, 12, 214, false, true, false}, {148, 12, 215, false, true, false}, {43, 4, 2, false, false, false},
    {44, 4, 3, false, false, false},
};

const Shortcut* shortcutOf(int id) {
  for (const Shortcut& s : kShortcuts)
    if (s.id == id) return &s;
  return nullptr;
}

// The look call of property `id`: level, row, column position and target id.
// `error` is set when the shortcut's column or item is missing.
struct LookCall {
  int level, row, col, target;
  LRESULT error = kOk;
};

bool lookCallOf(LbxInstance* inst, PropState& st, int id, LookCall* call) {
  const int level = st.slots[196].value;
  if (lookFieldOf(id) != LookField::None) {
    *call = {level, st.row, columnPos(inst, st), id};
    return true;
  }
  if (const Shortcut* s = shortcutOf(id)) {
    *call = {s->level, s->rowNone ? -1 : st.row, s->colNone ? -1 : columnPos(inst, st), s->target};
    // The column shortcuts need a current column, the row ones an item.
    if (s->rowNone && call->col < 0) call->error = kBadColumn;
    if (s->colNone && (call->row < 0 || call->row >= inst->itemCount)) call->error = kBadItem;
    if (call->error) return true;
    if (s->keeps) {
      st.slots[196].value = s->level;
      st.row = -1;
    }
    return true;
  }
  return false;
}

bool isItemLook(int id) { return id == 135 || id == 136; }
bool isColumnLook(int id) { return id == 133 || id == 134; }

}  // namespace

void propertyRelease(LbxInstance* inst) { states().erase(inst); }

void propertyInitFrame(LbxInstance* inst) { frameInit(inst->frame); }

pw::HFONT propertyHeaderFont(LbxInstance* inst) {
  PropState& st = stateOf(inst);
  const CellLook* level7 = st.pool.lookOf(st.levels[7]);
  return level7 ? st.pool.fontOf(level7->font) : nullptr;
}

LRESULT propertySet(LbxInstance* inst, HWND hwnd, WPARAM wParam, LPARAM value) {
  const int id = static_cast<int>(wParam);
  const Kind k = kindOf(id);
  if (!k.known || getOnly(id)) return kRefused;
  // ColDesigner: the list's saved state, from a block made by its get.
  if (id == state::kStateProperty)
    return state::setStateBlob(inst, id, reinterpret_cast<pw::HGLOBAL>(value)) == state::kLoadOk ? kOk : kRefused;
  PropState& st = stateOf(inst);
  Slot& slot = st.slots[static_cast<std::size_t>(id)];
  const auto v32 = static_cast<std::int32_t>(value);

  if (LookCall call; lookCallOf(inst, st, id, &call)) {
    if (call.error) return call.error;
    return lookSet(inst, st, call.level, call.row, call.col, call.target, value);
  }
  if (isColumnLook(id)) {
    const int col = columnPos(inst, st);
    if (col < 0) return kBadColumn;
    return lookSet(inst, st, 12, -1, col, id - 131, value);
  }
  if (isItemLook(id)) {
    if (st.row < 0 || st.row >= inst->itemCount) return kOk;  // no item: nothing
    return lookSet(inst, st, 12, st.row, -1, id - 133, value);
  }
  if (lineOf(st, id)) return lineSet(inst, st, id, value);
  if (frameField(id)) {
    if (!frameStore(inst->frame, id, v32)) return kRefused;
    // The non-client area follows unless an update of it is pending.
    if (hwnd && !(inst->pending & pendingBit(0x601)))
      pw::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       pw::SWP_NOMOVE | pw::SWP_NOSIZE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE | pw::SWP_FRAMECHANGED);
    return kOk;
  }
  if ((id >= 50 && id <= 55) || (id >= 501 && id <= 506)) {
    const FontField f = fontFieldOf(id);
    return id < 500 ? headerFontSet(inst, st, f, value) : windowFontSet(inst, hwnd, st, f, value);
  }
  if (isColumnId(id)) return columnSet(inst, st, id, value);
  if (isGroupId(id)) return groupSet(inst, st, id, value);

  switch (id) {
    case 28:  // Col
      if (v32 < -1 || v32 >= static_cast<int>(st.columns.size())) return kBadColumn;
      inst->currentColumn = v32 < 0 ? kNoHandle : st.columns[static_cast<std::size_t>(v32)].dataIndex;
      return kOk;
    case 29:  // Row: the count addresses the place after the last item
      if (v32 < -1 || v32 > inst->itemCount) return kBadItem;
      st.row = v32;
      return kOk;
    case 197:  // Grp
      if (v32 < -1 || v32 >= static_cast<int>(st.groups.size())) return kBadGroup;
      st.currentGroup = v32;
      return kOk;
    case 224: {  // ColPos: moves the current column to that position
      const int from = columnPos(inst, st);
      if (from < 0 || v32 < 0 || v32 >= static_cast<int>(st.columns.size())) return kBadColumn;
      ColumnRec c = std::move(st.columns[static_cast<std::size_t>(from)]);
      st.columns.erase(st.columns.begin() + from);
      st.columns.insert(st.columns.begin() + v32, std::move(c));
      syncColumns(inst, st);
      return kOk;
    }
    case 226: {  // GrpPos: moves the current group; parents follow their groups
      const int from = st.currentGroup;
      const int n = static_cast<int>(st.groups.size());
      if (!currentGroup(st) || v32 < 0 || v32 >= n) return kBadGroup;
      std::vector<int> newPos(static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i)
        newPos[static_cast<std::size_t>(i)] = i == from ? v32 : i - (i > from) + (i - (i > from) >= v32 && i != from);
      GroupRec g = std::move(st.groups[static_cast<std::size_t>(from)]);
      st.groups.erase(st.groups.begin() + from);
      st.groups.insert(st.groups.begin() + v32, std::move(g));
      auto fix = [&](std::int32_t& parent) {
        if (parent >= 0) parent = newPos[static_cast<std::size_t>(parent)];
      };
      for (GroupRec& o : st.groups) fix(o.parentGroup);
      for (ColumnRec& c : st.columns) fix(c.parentGroup);
      st.currentGroup = v32;
      relayColumns(inst);
      return kOk;
    }
    case 32:  // Columns
      if (st.slots[81].value) return 1;
      if (v32 < 0 || v32 > kMaxColumns) return kRefused;
      while (static_cast<int>(st.columns.size()) < v32) insertColumn(inst, st, -1, nullptr);
      while (static_cast<int>(st.columns.size()) > v32) eraseColumn(inst, st, static_cast<int>(st.columns.size()) - 1);
      return kOk;
    case 206:  // Groups
      if (v32 < 0 || v32 > kMaxGroups) return kRefused;
      while (static_cast<int>(st.groups.size()) < v32) insertGroup(st, -1);
      while (static_cast<int>(st.groups.size()) > v32) eraseGroup(st, static_cast<int>(st.groups.size()) - 1);
      return kOk;
    case 207:  // ColumnLevels
      if (v32 < 1 || v32 > 256) return kRefused;
      slot.value = v32;
      relayColumns(inst);
      return kOk;
    case 85:
      return action(inst, hwnd, st, v32);
    case 30:
      return setItemText(inst, st, inst->curSel, value, false);
    case 31:
      return setItemText(inst, st, st.row, value, true);
    case 67: {
      // ColText: the ListIndex item's cell; the item is then selected again,
      // so that its selection and caret show the new text.
      const int index = inst->curSel;
      const LRESULT r = setCellText(inst, st, index, value);
      if (r == kOk) setListIndex(inst, hwnd, st, index);
      return r;
    }
    case 68:
      return setCellText(inst, st, st.row, value);
    case 76:
      return setListCount(inst, st, v32);
    case 77:
      return setListIndex(inst, hwnd, st, v32);
    case 246:
      if (v32 < -1 || v32 >= inst->itemCount) return kBadItem;
      st.nextSel = v32;
      return kOk;
    case 35:  // TopIndex
      return lbxStoreMessage(inst, hwnd, 0x197, static_cast<WPARAM>(v32), 0) == LB_ERR ? kBadItem : kOk;
    case 78:  // RowHeight: 0 to 65534, else automatic; Row -1 the list's rows
      if (st.row >= inst->itemCount) return kBadItem;
      lbxSetRowHeight(inst, st.row, v32 >= 0 && v32 <= 65534 ? v32 : -1);
      invalidate(inst);
      return kOk;
    case 79:
      return lbxSetItemData(inst, st.row, static_cast<std::uintptr_t>(static_cast<std::uint32_t>(v32))) ? kOk : kBadItem;
    case 83:  // Selected: the Row item
      if (st.row < 0 || st.row >= inst->itemCount) return kBadItem;
      if (multiSel(inst)) lbxSetSelected(inst, st.row, value != 0);
      else if (value) lbxStoreMessage(inst, hwnd, 0x186, static_cast<WPARAM>(st.row), 0);
      else if (inst->curSel == st.row) lbxStoreMessage(inst, hwnd, 0x186, static_cast<WPARAM>(-1), 0);
      invalidate(inst);
      return kOk;
    case 138: {  // InsertRow: the text at Row (-1 appends)
      if (!value) return kOk;
      const LRESULT r = lbxInsertString(inst, st.row, reinterpret_cast<const char*>(value));
      return r < 0 ? kBadItem : kOk;
    }
    case 249: {  // RowHide
      LbxItem* item = lbxItem(inst, st.row);
      if (!item) return kBadItem;
      item->flags = static_cast<std::uint8_t>(value ? item->flags | kItemHidden : item->flags & ~kItemHidden);
      if (value && inst->curSel == st.row) inst->curSel = -1;
      invalidate(inst);
      return kOk;
    }
    case 210: {  // RowMerge: two item flags and the count of merged rows
      LbxItem* item = lbxItem(inst, st.row);
      if (!item) return kBadItem;
      if (!inEnum(id, v32)) return kRefused;
      const bool was = item->flags & (kItemMergeAlways | kItemMergeRestricted);
      item->flags = static_cast<std::uint8_t>(item->flags & ~(kItemMergeAlways | kItemMergeRestricted));
      if (v32 == 1) item->flags |= kItemMergeAlways;
      if (v32 == 2) item->flags |= kItemMergeRestricted;
      inst->store.mergedRows += (v32 != 0) - was;
      invalidate(inst);
      return kOk;
    }
    case 27:  // ScrollBars: both scroll styles, and each bar shown or hidden
      if (!inEnum(id, v32)) return kRefused;
      slot.value = v32;
      st.slots[167].value = v32 & 1 ? 0 : 3;
      st.slots[130].value = v32 & 2 ? 0 : 3;
      inst->scrollStyle = (v32 & 1 ? pw::WS_HSCROLL : 0u) | (v32 & 2 ? pw::WS_VSCROLL : 0u);
      relayColumns(inst);
      return kOk;
    case 130: case 167:  // ScrollBarV, ScrollBarH: Hide clears the bar's style bit
      if (!inEnum(id, v32)) return kRefused;
      slot.value = v32;
      if (v32 == 3) inst->scrollStyle &= ~(id == 130 ? pw::WS_VSCROLL : pw::WS_HSCROLL);
      else inst->scrollStyle |= id == 130 ? pw::WS_VSCROLL : pw::WS_HSCROLL;
      relayColumns(inst);
      return kOk;
    case 33:
      if (!inEnum(id, v32)) return kRefused;
      if (st.slots[100].value || inst->store.sortState == 2) inst->store.sorted = static_cast<std::uint8_t>(v32);
      else lbxSetSorted(inst, v32);
      return kOk;
    case 164:
      if (!inEnum(id, v32)) return kRefused;
      inst->store.sortState = static_cast<std::uint8_t>(v32);
      if (v32 == 1 && !st.slots[100].value) lbxResort(inst);
      return kOk;
    case 80: {  // MultiSelect: the style bits; None keeps only the caret item
      if (!inEnum(id, v32)) return kRefused;
      inst->style &= ~(LBS_MULTIPLESEL | LBS_EXTENDEDSEL);
      if (v32 == 1) inst->style |= LBS_MULTIPLESEL;
      if (v32 == 2) inst->style |= LBS_EXTENDEDSEL;
      if (v32 == 0)
        for (int i = 0; i < inst->itemCount; ++i)
          if (i != inst->curSel) lbxSetSelected(inst, i, false);
      invalidate(inst);
      return kOk;
    }
    case 69:
      if (v32 < 0 || v32 > 255) return kRefused;
      inst->store.separator = static_cast<std::uint8_t>(v32 == 9 ? 0 : v32);
      slot.value = v32;
      return kOk;
    case 70:
      if (v32 < -1) return kRefused;
      slot.value = v32;
      return kOk;
    case 254:  // VRowPos: 0 to VRowCount
      if (v32 < 0 || v32 > st.slots[101].value) return kRefused;
      slot.value = v32;
      invalidate(inst);
      return kOk;
    case 149:  // RowPictureCol: -1 or a column position
      if (v32 < -1 || v32 >= static_cast<int>(st.columns.size())) return kBadColumn;
      slot.value = v32;
      invalidate(inst);
      return kOk;
    case 82:
      if (v32 < 0) return kRefused;
      slot.value = v32;
      return kOk;
    case 129: case 241:  // frozen columns and groups: not while wrapping
      if (st.slots[81].value || v32 < 0) return kRefused;
      slot.value = v32;
      return kOk;
    case 57: case 218: case 230:  // header heights: negative is automatic
      slot.value = v32 < 0 ? -1 : v32;
      if (id == 57) inst->headerHeight = slot.value;
      relayColumns(inst);
      return kOk;
    case 237: case 238: {  // ColFromID / GrpFromID
      slot.value = v32;
      if (id == 237) {
        for (const ColumnRec& c : st.columns)
          if (c.id == v32) {
            inst->currentColumn = c.dataIndex;
            return kOk;
          }
      } else {
        for (std::size_t i = 0; i < st.groups.size(); ++i)
          if (st.groups[i].id == v32) {
            st.currentGroup = static_cast<int>(i);
            return kOk;
          }
      }
      return 1;
    }
    case 239: case 240: {  // ColFromName / GrpFromName, without regard to case
      setOwnedText(&slot.text, value);
      const char* name = slot.text.c_str();
      if (id == 239) {
        for (const ColumnRec& c : st.columns)
          if (sameName(c.name, name)) {
            inst->currentColumn = c.dataIndex;
            return kOk;
          }
      } else {
        for (std::size_t i = 0; i < st.groups.size(); ++i)
          if (sameName(st.groups[i].name, name)) {
            st.currentGroup = static_cast<int>(i);
            return kOk;
          }
      }
      return 1;
    }
    case 264:
      inst->tipDelayMs = v32;
      break;
    case 266:
      inst->tipBackColor = static_cast<std::uint32_t>(value);
      break;
    case 267:
      inst->tipTextColor = static_cast<std::uint32_t>(value);
      break;
    case 255:  // Redraw: off holds back repainting as WM_SETREDRAW does
      slot.value = boolValue(k, value);
      inst->styleWord = value ? inst->styleWord & ~kStyleNoRedraw : inst->styleWord | kStyleNoRedraw;
      if (value && hwnd) {
        invalidate(inst);
        pw::UpdateWindow(hwnd);
      }
      return kOk;
    case 500:
      pw::EnableWindow(hwnd, value != 0);
      return kOk;
    case 508: {
      const auto style = static_cast<pw::LONG>(pw::GetWindowLong(hwnd, pw::GWL_STYLE));
      pw::SetWindowLong(hwnd, pw::GWL_STYLE, value ? style | static_cast<pw::LONG>(pw::WS_TABSTOP)
                                                  : style & ~static_cast<pw::LONG>(pw::WS_TABSTOP));
      return kOk;
    }
    case 509:
      pw::ShowWindow(hwnd, value != 0 ? 5 : 0);
      return kOk;
    default:
      break;
  }

  switch (k.type) {
    case Text:
      setOwnedText(&slot.text, value);
      return kOk;
    case Float:
      if (!value) return kRefused;
      slot.real = *reinterpret_cast<const float*>(value);
      return kOk;
    case Bool:
      slot.value = boolValue(k, value);
      return kOk;
    case Enum:
      if (!inEnum(id, v32)) return kRefused;
      slot.value = v32;
      return kOk;
    case Int16:
      slot.value = static_cast<std::int16_t>(value);
      return kOk;
    case Picture:
      return kRefused;
    default:
      if (k.type == Width && (v32 < -1 || v32 > 32767)) return kRefused;
      slot.value = v32;
      return kOk;
  }
}

bool propertyTakesPointer(int id) {
  const Kind k = kindOf(id);
  return !k.known || id == state::kStateProperty || k.type == Text || k.type == Float || k.type == Picture;
}

LRESULT propertySetNumber(LbxInstance* inst, int id, std::int32_t value) {
  if (propertyTakesPointer(id)) return kRefused;
  return propertySet(inst, inst->hwnd, static_cast<WPARAM>(id), static_cast<LPARAM>(value));
}

LRESULT propertySetFloat(LbxInstance* inst, int id, float value) {
  if (kindOf(id).type != Float || !kindOf(id).known) return kRefused;
  return propertySet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&value));
}

LRESULT propertySetText(LbxInstance* inst, int id, const std::string& text) {
  if (kindOf(id).type != Text || !kindOf(id).known || id == state::kStateProperty) return kRefused;
  return propertySet(inst, inst->hwnd, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(text.c_str()));
}

LRESULT propertyGet(LbxInstance* inst, HWND hwnd, WPARAM wParam, LPARAM out) {
  const int id = static_cast<int>(wParam);
  const Kind k = kindOf(id);
  if (!k.known || id == 85) return kRefused;
  // ColDesigner: a new block with the list's saved state, which the caller frees.
  if (id == state::kStateProperty) return reinterpret_cast<LRESULT>(state::getStateBlob(inst, id));
  PropState& st = stateOf(inst);
  const Slot& slot = st.slots[static_cast<std::size_t>(id)];

  std::int32_t v = slot.value;
  if (LookCall call; lookCallOf(inst, st, id, &call) || isColumnLook(id) || isItemLook(id)) {
    if (isColumnLook(id)) {
      const int col = columnPos(inst, st);
      if (col < 0) return kBadColumn;
      call = {12, -1, col, id - 131};
    } else if (isItemLook(id)) {
      call = {12, st.row, -1, id - 133};
      if (st.row < 0 || st.row >= inst->itemCount) call = {-1, 0, 0, 0};
    }
    if (call.error) return call.error;
    PictureBlock pic{};
    v = static_cast<std::int32_t>(kUnsetColour);
    if (call.level >= 0)
      if (const LRESULT r = lookGet(inst, st, call.level, call.row, call.col, call.target, &v, &pic)) return r;
    if (k.type == Picture) {
      if (!out) return kRefused;
      *reinterpret_cast<PictureBlock*>(out) = pic;
      return kOk;
    }
  } else if (lineOf(st, id)) {
    v = lineGet(st, id);
  } else if (const FrameField* f = frameField(id)) {
    v = frameGet(inst->frame, *f);
  } else if (id >= 50 && id <= 55) {
    return fontGet(hwnd, headerFontDesc(st), fontFieldOf(id), out, false);
  } else if (id >= 501 && id <= 506) {
    return fontGet(hwnd, fontDesc(inst->hfont), fontFieldOf(id), out, id != 503 && id != 504);
  } else if (isColumnId(id) || isGroupId(id)) {
    const LRESULT r = isColumnId(id) ? columnGet(inst, st, id, out, &v) : groupGet(inst, st, id, out, &v);
    if (r != -1) return r;
  } else {
    switch (id) {
      case 28: case 224: v = columnPos(inst, st); break;
      case 29: v = st.row; break;
      case 197: case 226: v = st.currentGroup; break;
      case 32: v = static_cast<std::int32_t>(st.columns.size()); break;
      case 206: v = static_cast<std::int32_t>(st.groups.size()); break;
      case 76: v = inst->itemCount; break;
      case 77: v = inst->curSel; break;
      case 35: v = inst->topIndex; break;
      case 33: v = inst->store.sorted; break;
      case 164: v = inst->store.sortState; break;
      case 90: v = inst->store.lastAdded; break;
      case 255: v = inst->styleWord & kStyleNoRedraw ? 0 : -1; break;
      case 103: v = selectedCount(inst); break;
      case 104:  // VisibleRows: last visible - top + 1, a row cut at the bottom counting
        v = view::rowsFrom(inst, view::geometry(inst), inst->topIndex, true);
        break;
      case 80: v = inst->style & LBS_EXTENDEDSEL ? 2 : inst->style & LBS_MULTIPLESEL ? 1 : 0; break;
      case 153: case 154: case 155: case 231: case 232: {  // MouseOver*: what lies under the cursor now
        const view::CursorHit hit = view::hitAtCursor(inst);
        v = id == 153 ? hit.column : id == 154 ? hit.row : id == 155 ? hit.columnHeader : id == 231 ? hit.group
                                                                                          : hit.groupHeader;
        break;
      }
      case 268: case 269: {  // IsHScrollVisible, IsVScrollVisible: as the list lays itself out now
        const view::Geometry g = view::geometry(inst);
        v = (id == 268 ? g.hBar : g.vBar) ? 1 : 0;
        break;
      }
      case 30: case 31: {  // the text of ListIndex / Row; none is empty
        std::string text;
        lbxItemText(inst, id == 30 ? inst->curSel : st.row, -1, &text);
        // Empty cells at the end add nothing to the text.
        const char sep = inst->store.separator ? static_cast<char>(inst->store.separator) : '\t';
        if (inst->store.columnCount > 1)
          while (!text.empty() && text.back() == sep) text.pop_back();
        return copyText(text, out);
      }
      case 67: case 68: {
        const int col = columnPos(inst, st);
        if (col < 0) return kBadColumn;
        const int index = id == 67 ? inst->curSel : st.row;
        if (index < 0 || index >= inst->itemCount) return kBadItem;
        std::string text;
        lbxItemText(inst, index, col, &text);
        return copyText(text, out);
      }
      case 78:
        if (st.row >= inst->itemCount) return kBadItem;
        v = st.row < 0 ? inst->rowHeight : lbxRowHeight(inst, st.row);
        break;
      case 79: case 83: case 249: case 210: {
        const LbxItem* item = lbxItem(inst, st.row);
        if (!item) return kBadItem;
        if (id == 79) v = static_cast<std::int32_t>(item->itemData);
        else if (id == 83) v = multiSel(inst) ? lbxIsSelected(inst, st.row) : inst->curSel == st.row;
        else if (id == 249) v = (item->flags & kItemHidden) != 0;
        else v = item->flags & kItemMergeAlways ? 1 : item->flags & kItemMergeRestricted ? 2 : 0;
        break;
      }
      case 246: {  // NextSel: the next selected item after the walk's position
        int found = -1;
        for (int i = st.nextSel + 1; i < inst->itemCount; ++i)
          if (multiSel(inst) ? lbxIsSelected(inst, i) : inst->curSel == i) {
            found = i;
            break;
          }
        st.nextSel = found;
        v = found;
        break;
      }
      case 500: return pw::IsWindowEnabled(hwnd) ? -1 : 0;
      case 509: return pw::IsWindowVisible(hwnd) ? -1 : 0;
      case 508: return (pw::GetWindowLong(hwnd, pw::GWL_STYLE) & static_cast<pw::LONG>(pw::WS_TABSTOP)) ? 1 : 0;
      case 507:  // written through lParam
        if (!out) return -1;
        *reinterpret_cast<std::int32_t*>(out) = slot.value;
        return kOk;
      default: break;
    }
    switch (k.type) {
      case Text:
        return copyText(slot.text, out);
      case Float:
        if (!out) return kRefused;
        *reinterpret_cast<float*>(out) = slot.real;
        return kOk;
      case Picture:
        return kRefused;
      default:
        break;
    }
  }
  // Direct gets and message users without a pointer get the value itself.
  const bool direct = id >= 500 || (id >= 268 && id <= 272) || id == 276;
  if (!out || direct) return v;
  if (isSixteen(k.type)) *reinterpret_cast<std::int16_t*>(out) = static_cast<std::int16_t>(v);
  else *reinterpret_cast<std::int32_t*>(out) = v;
  return kOk;
}

}  // namespace lindra

// ---- what the view reads
namespace lindra {

namespace {

// Fills the fields of `out` still unset from the records in `handles`, in
// order; a zero handle or an unset field passes on to the next record.
struct LookMerge {
  std::uint16_t back = 0, fore = 0, picture = 0, pictureSel = 0, light3D = 0, dark3D = 0;
  std::uint8_t alignH = 0, alignV = 0, ellipsis = 0, pictureAlignH = 0, pictureAlignV = 0, text3D = 0, offset3D = 0;
  void from(const AttrPool& pool, std::uint16_t h) {
    const CellLook* l = pool.lookOf(h);
    if (!l) return;
    if (!back) back = l->back;
    if (!fore) fore = l->fore;
    if (!alignH) alignH = l->alignH;
    if (!alignV) alignV = l->alignV;
    if (!ellipsis) ellipsis = l->ellipsis;
    if (!picture) picture = l->picture;
    if (!pictureSel) pictureSel = l->pictureSel;
    if (!pictureAlignH) pictureAlignH = l->pictureAlignH;
    if (!pictureAlignV) pictureAlignV = l->pictureAlignV;
    // 3-D text "Default" (5, kept as 6) leaves it to the records below.
    if (!text3D && l->text3D != 6) text3D = l->text3D;
    if (!light3D) light3D = l->light3D;
    if (!dark3D) dark3D = l->dark3D;
    if (!offset3D) offset3D = l->offset3D;
  }
  // The picture a cell shows: the selected one on a selected row when set.
  void pictureInto(const AttrPool& pool, bool selected, ViewLook* v) const {
    const std::uint16_t h = selected && pictureSel ? pictureSel : picture;
    if (!h) return;
    const PictureBlock pic = pool.pictureOf(h);
    v->pictureKind = pic.kind;
    v->picture = pic.value;
    // PictureAlignH is kept as value + 1: 1 Default, 2 Left, 3 Center, 4 Right, 5/6 of the text.
    v->pictureAlignH = pictureAlignH == 3 ? 1 : pictureAlignH == 4 ? 2 : 0;
    // PictureAlignV likewise: 1 Default, 2 Top, 3 Center, 4 Bottom, 5 Top of Text, 6 Bottom of Text.
    v->pictureAlignV = pictureAlignV == 2 ? 0 : pictureAlignV >= 4 ? pictureAlignV - 2 : 1;
  }
  ViewLook result(const AttrPool& pool, std::uint32_t defBack, std::uint32_t defFore) const {
    ViewLook v;
    v.back = back ? pool.colourOf(back) : defBack;
    v.fore = fore ? pool.colourOf(fore) : defFore;
    // AlignH is kept as value + 1: 1 Default, 2 Left, 3 Center, 4 Right.
    v.alignH = alignH == 3 ? 1 : alignH == 4 ? 2 : 0;
    // AlignV: 1 Default (centre), 2 Top, 3 Center, 4 Bottom.
    v.alignV = alignV == 2 ? 0 : alignV == 4 ? 2 : 1;
    v.ellipsis = ellipsis == 3;  // TextEllipsis Yes
    v.text3D = text3D ? text3D - 1 : 0;
    v.light3D = light3D ? pool.colourOf(light3D) : 0x00FFFFFFu;
    v.dark3D = dark3D ? pool.colourOf(dark3D) : (pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNSHADOW);
    v.offset3D = offset3D ? offset3D - 1 : 1;
    return v;
  }
};

std::uint16_t cellHandle(LbxInstance* inst, const ColumnRec& c, int row) {
  const LbxItem* item = lbxItem(inst, row);
  if (!item || item->cellCount <= c.dataIndex || !item->content) return 0;
  const auto* cells = reinterpret_cast<const unsigned char*>(item->content);
  std::uint16_t h = 0;
  std::memcpy(&h, cells + c.dataIndex * sizeof(LbxCell) + offsetof(LbxCell, attr), sizeof h);
  return h;
}

std::uint16_t itemHandle(LbxInstance* inst, int row) {
  const LbxItem* item = lbxItem(inst, row);
  if (!item) return 0;
  std::uint16_t h = 0;
  std::memcpy(&h, reinterpret_cast<const unsigned char*>(item) + offsetof(LbxItem, attr), sizeof h);
  return h;
}

constexpr std::uint32_t kSysWindow = pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOW;
constexpr std::uint32_t kSysWindowText = pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOWTEXT;
constexpr std::uint32_t kSysFace = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNFACE;
constexpr std::uint32_t kSysButtonText = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNTEXT;

}  // namespace

std::vector<ViewColumn> viewColumns(LbxInstance* inst) {
  PropState& st = stateOf(inst);
  std::vector<ViewColumn> out(st.columns.size());
  for (std::size_t i = 0; i < st.columns.size(); ++i) {
    const ColumnRec& c = st.columns[i];
    out[i].width = static_cast<int>(std::lround(c.widthPx));
    out[i].hidden = c.hide != 0;
    out[i].parentGroup = c.parentGroup;
    out[i].header = c.headerText;
  }
  return out;
}

std::vector<ViewGroup> viewGroups(LbxInstance* inst) {
  PropState& st = stateOf(inst);
  std::vector<ViewGroup> out(st.groups.size());
  for (std::size_t i = 0; i < st.groups.size(); ++i) {
    out[i].width = static_cast<int>(std::lround(st.groups[i].widthPx));
    out[i].hidden = st.groups[i].hide != 0;
    out[i].header = st.groups[i].headerText;
  }
  return out;
}

std::int32_t viewValue(LbxInstance* inst, int id) {
  if (id < kFirstId || id > kLastId) return 0;
  return stateOf(inst).slots[static_cast<std::size_t>(id)].value;
}

ViewLook viewCellLook(LbxInstance* inst, int row, int colPos, bool selected) {
  PropState& st = stateOf(inst);
  LookMerge m;
  const ColumnRec* c =
      colPos >= 0 && colPos < static_cast<int>(st.columns.size()) ? &st.columns[static_cast<std::size_t>(colPos)] : nullptr;
  if (c) m.from(st.pool, cellHandle(inst, *c, row));
  const bool columnFirst = st.slots[137].value == 1;
  if (columnFirst && c) m.from(st.pool, c->look);
  m.from(st.pool, itemHandle(inst, row));
  if (!columnFirst && c) m.from(st.pool, c->look);
  if (row >= 0) m.from(st.pool, st.levels[row % 2 == 0 ? 5 : 6]);  // rows count from 1: index 0 is odd
  m.from(st.pool, st.levels[1]);
  if (c) m.from(st.pool, st.levels[2]);
  m.from(st.pool, st.levels[0]);
  ViewLook v = m.result(st.pool, kSysWindow, kSysWindowText);
  m.pictureInto(st.pool, selected, &v);
  if (selected) {
    // A selected row shows the selection's colours whatever the levels below say.
    LookMerge sel;
    sel.from(st.pool, st.levels[4]);
    v.back = sel.back ? st.pool.colourOf(sel.back) : inst->selBackColor;
    v.fore = sel.fore ? st.pool.colourOf(sel.fore) : inst->selTextColor;
  }
  return v;
}

int ViewLine::thickness() const {
  const int flat = std::max(width, 0), bands = std::max(width3D, 0);
  switch (style) {
    case 1: return flat;
    case 2: case 3: return 2 * bands;
    case 4: case 5: return 2 * bands + flat;
    default: return 0;
  }
}

ViewLines viewLines(LbxInstance* inst) {
  PropState& st = stateOf(inst);
  const LineRec& all = st.applyLines[0];
  auto colour = [&](std::uint16_t own, std::uint16_t def, std::uint16_t legacy, std::uint32_t fallback) {
    const std::uint16_t h = own ? own : def ? def : legacy;
    return h ? st.pool.colourOf(h) : fallback;
  };
  constexpr std::uint32_t kLight = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNHIGHLIGHT;
  constexpr std::uint32_t kDark = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNSHADOW;
  // A LineApplyTo record with a style (other than Default) wins, then the
  // Default record, then (rows and columns) LineStyleH / LineStyleV.
  auto lineOf = [&](const LineRec& own, const LineRec* legacy) {
    ViewLine l;
    const LineRec* r = own.style > 1 ? &own : all.style > 1 ? &all : nullptr;
    if (r) {
      l.style = r->style - 2;  // kept as value + 1: 2 None, 3 Flat, 4 Lowered, 5 Raised, 6/7 with a line
      l.width = r->width < 0 ? 1 : r->width;
      l.width3D = r->width3D < 0 ? 1 : r->width3D;
      l.colour = colour(r->solid, all.solid, st.lines[0].solid, pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOWTEXT);
      l.light = colour(r->light, all.light, st.lines[0].light, kLight);
      l.dark = colour(r->dark, all.dark, st.lines[0].dark, kDark);
    } else if (legacy && legacy->style > 1) {
      l.style = legacy->style - 1;  // kept as value + 1: 1 None, 2 Solid, 3 Lowered, 4 Raised
      l.colour = colour(0, 0, st.lines[0].solid, kDark);
      l.light = colour(0, 0, st.lines[0].light, kLight);
      l.dark = colour(0, 0, st.lines[0].dark, kDark);
    }
    return l;
  };
  ViewLines l;
  l.h = lineOf(st.applyLines[1], &st.lines[1]);
  l.v = lineOf(st.applyLines[2], &st.lines[2]);
  l.header = lineOf(st.applyLines[3], nullptr);
  return l;
}

ViewEdge viewHeaderEdge(LbxInstance* inst) {
  PropState& st = stateOf(inst);
  ViewEdge e;
  // Header3DStyle is kept as value + 1: 1 None, 2 Solid, 3 Lowered, 4 Raised.
  e.set = st.header.style != 0;
  e.style = e.set ? st.header.style - 1 : 0;
  e.width = std::max(st.header.width, 0);
  e.light = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNHIGHLIGHT;
  e.dark = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNSHADOW;
  return e;
}

ViewEdge viewSelectionEdge(LbxInstance* inst) {
  PropState& st = stateOf(inst);
  ViewEdge e;
  // Sel3DStyle is kept as 1 None, 3 Lowered, 4 Raised.
  e.style = st.sel.style == 3 ? 2 : st.sel.style == 4 ? 3 : 0;
  e.set = e.style != 0;
  e.width = std::max(st.sel.width, 0);
  e.light = st.sel.light ? st.pool.colourOf(st.sel.light) : 0x00FFFFFFu;
  e.dark = st.sel.dark ? st.pool.colourOf(st.sel.dark) : (pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNSHADOW);
  return e;
}

void viewSetColumnWidth(LbxInstance* inst, int pos, int pixels) {
  PropState& st = stateOf(inst);
  if (pos < 0 || pos >= static_cast<int>(st.columns.size())) return;
  st.columns[static_cast<std::size_t>(pos)].widthPx = std::max(pixels, 1);
  relayColumns(inst);
}

ViewLook viewHeaderLook(LbxInstance* inst, int colPos) {
  PropState& st = stateOf(inst);
  LookMerge m;
  if (colPos >= 0 && colPos < static_cast<int>(st.columns.size()))
    m.from(st.pool, st.columns[static_cast<std::size_t>(colPos)].headerLook);
  m.from(st.pool, st.levels[7]);
  return m.result(st.pool, kSysFace, kSysButtonText);
}

ViewLook viewGroupHeaderLook(LbxInstance* inst, int grpPos) {
  PropState& st = stateOf(inst);
  LookMerge m;
  if (grpPos >= 0 && grpPos < static_cast<int>(st.groups.size()))
    m.from(st.pool, st.groups[static_cast<std::size_t>(grpPos)].headerLook);
  m.from(st.pool, st.levels[8]);
  return m.result(st.pool, kSysFace, kSysButtonText);
}

}  // namespace lindra

// ---- what the saved state reads and rebuilds
namespace lindra {

props::AttrPool& designPool(LbxInstance* inst) { return stateOf(inst).pool; }

std::uint16_t* designLevel(LbxInstance* inst, int level) {
  if (level < 0 || level > 8) return nullptr;
  return &stateOf(inst).levels[level];
}

std::uint16_t* designColumnLook(LbxInstance* inst, int pos, bool header) {
  PropState& st = stateOf(inst);
  if (pos < 0 || pos >= static_cast<int>(st.columns.size())) return nullptr;
  ColumnRec& c = st.columns[static_cast<std::size_t>(pos)];
  return header ? &c.headerLook : &c.look;
}

std::uint16_t* designGroupLook(LbxInstance* inst, int pos, bool header) {
  PropState& st = stateOf(inst);
  if (pos < 0 || pos >= static_cast<int>(st.groups.size())) return nullptr;
  GroupRec& g = st.groups[static_cast<std::size_t>(pos)];
  return header ? &g.headerLook : &g.look;
}

std::uint16_t designWindowFont(LbxInstance* inst) { return stateOf(inst).windowFont; }

void designSetWindowFont(LbxInstance* inst, const pw::LOGFONT& lf) {
  PropState& st = stateOf(inst);
  pw::HFONT font = pw::CreateFontIndirect(&lf);
  const std::uint16_t fresh = st.pool.font(lf, font);
  if (!fresh) return;
  if (inst->hwnd) pw::SendMessage(inst->hwnd, pw::WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  else inst->hfont = font;
  st.pool.release(st.windowFont);
  st.windowFont = fresh;
}

}  // namespace lindra
