#include "listctl/props/prop_records.h"

#include <cstring>

#include "listctl/props/property_table.h"

namespace lindra::props {

namespace pw = plat::win;

AttrPool::~AttrPool() {
  for (Entry& e : entries_) {
    if (e.kind == Kind::Font && e.hfont) pw::DeleteObject(e.hfont);
    if (e.kind == Kind::Picture && e.ownedBitmap) pw::DeleteObject(e.ownedBitmap);
  }
}

std::uint16_t AttrPool::take(Kind kind) {
  std::uint16_t h;
  if (!free_.empty()) {
    h = free_.back();
    free_.pop_back();
  } else {
    if (entries_.size() >= 0xFFFF) return 0;
    entries_.emplace_back();
    h = static_cast<std::uint16_t>(entries_.size());
  }
  Entry& e = entries_[h - 1u];
  e = Entry{};
  e.kind = kind;
  e.refs = 1;
  return h;
}

const AttrPool::Entry* AttrPool::at(std::uint16_t h, Kind kind) const {
  if (h == 0 || h > entries_.size()) return nullptr;
  const Entry& e = entries_[h - 1u];
  return e.kind == kind ? &e : nullptr;
}

std::uint16_t AttrPool::colour(std::uint32_t value) {
  if (auto it = colours_.find(value); it != colours_.end()) {
    addRef(it->second);
    return it->second;
  }
  const std::uint16_t h = take(Kind::Colour);
  if (h) {
    entries_[h - 1u].colour = value;
    colours_[value] = h;
  }
  return h;
}

std::uint32_t AttrPool::colourOf(std::uint16_t h) const {
  const Entry* e = at(h, Kind::Colour);
  return e ? e->colour : kUnsetColour;
}

std::uint16_t AttrPool::picture(const PictureBlock& p, pw::HBITMAP owned) {
  const std::uint16_t h = take(Kind::Picture);
  if (!h) {
    if (owned) pw::DeleteObject(owned);
    return 0;
  }
  entries_[h - 1u].picture = p;
  entries_[h - 1u].ownedBitmap = owned;
  return h;
}

PictureBlock AttrPool::pictureOf(std::uint16_t h) const {
  const Entry* e = at(h, Kind::Picture);
  return e ? e->picture : PictureBlock{};
}

std::uint16_t AttrPool::font(const pw::LOGFONT& lf, pw::HFONT font) {
  const std::uint16_t h = take(Kind::Font);
  if (!h) {
    if (font) pw::DeleteObject(font);
    return 0;
  }
  entries_[h - 1u].lf = lf;
  entries_[h - 1u].hfont = font;
  return h;
}

pw::HFONT AttrPool::fontOf(std::uint16_t h) const {
  const Entry* e = at(h, Kind::Font);
  return e ? e->hfont : nullptr;
}

const pw::LOGFONT* AttrPool::fontDescOf(std::uint16_t h) const {
  const Entry* e = at(h, Kind::Font);
  return e ? &e->lf : nullptr;
}

std::uint16_t AttrPool::look(const CellLook& l) {
  const std::uint16_t h = take(Kind::Look);
  if (!h) return 0;
  entries_[h - 1u].look = l;
  // The copy holds its own references to what the record names.
  for (std::uint16_t r : {l.back, l.fore, l.light3D, l.dark3D, l.picture, l.pictureSel, l.font}) addRef(r);
  return h;
}

const CellLook* AttrPool::lookOf(std::uint16_t h) const {
  const Entry* e = at(h, Kind::Look);
  return e ? &e->look : nullptr;
}

CellLook* AttrPool::own(std::uint16_t* place, std::uint16_t shared) {
  const Entry* mine = at(*place, Kind::Look);
  if (mine && mine->refs == 1) return &entries_[*place - 1u].look;
  // Copied out first: making the new entry may move the others.
  const CellLook* from = mine ? &mine->look : lookOf(shared);
  const CellLook source = from ? *from : CellLook{};
  const std::uint16_t h = look(source);
  if (!h) return nullptr;
  release(*place);
  *place = h;
  return &entries_[h - 1u].look;
}

void AttrPool::addRef(std::uint16_t h) {
  if (h && h <= entries_.size() && entries_[h - 1u].kind != Kind::Free) ++entries_[h - 1u].refs;
}

void AttrPool::release(std::uint16_t h) {
  if (h == 0 || h > entries_.size()) return;
  Entry& e = entries_[h - 1u];
  if (e.kind == Kind::Free || --e.refs > 0) return;
  const Entry gone = e;
  e = Entry{};
  free_.push_back(h);
  switch (gone.kind) {
    case Kind::Colour: colours_.erase(gone.colour); break;
    case Kind::Font: if (gone.hfont) pw::DeleteObject(gone.hfont); break;
    case Kind::Picture: if (gone.ownedBitmap) pw::DeleteObject(gone.ownedBitmap); break;
    case Kind::Look: {
      const CellLook& l = gone.look;
      for (std::uint16_t r : {l.back, l.fore, l.light3D, l.dark3D, l.picture, l.pictureSel, l.font}) release(r);
      break;
    }
    default: break;
  }
}

int AttrPool::liveEntries() const { return static_cast<int>(entries_.size() - free_.size()); }

// ---- frame record

namespace {

struct FrameRow {
  int id;
  FrameField field;
};
// OnFocusInvert3D and ThreeDOnFocusInvert share one field, as do the two
// drop-shadow colours and the two drop-shadow widths.
constexpr FrameRow kFrameRows[] = {
    {105, {1, 1, 0}},  {106, {8, 4, 0}},  {107, {12, 4, 0}}, {108, {40, 2, 0}}, {109, {2, 1, 0}},
    {110, {16, 4, 0}}, {111, {20, 4, 0}}, {112, {42, 2, 0}}, {113, {44, 2, 0}}, {114, {3, 1, 0}},
    {115, {24, 4, 0}}, {116, {46, 2, 0}}, {117, {6, 1, 1}},  {118, {6, 1, 2}},  {119, {28, 4, 0}},
    {120, {48, 2, 0}}, {121, {6, 1, 1}},  {122, {32, 4, 0}}, {123, {4, 1, 0}},  {124, {5, 1, 0}},
    {125, {28, 4, 0}}, {126, {48, 2, 0}}, {242, {36, 4, 0}},
};

}  // namespace

const FrameField* frameField(int id) {
  for (const FrameRow& r : kFrameRows)
    if (r.id == id) return &r.field;
  return nullptr;
}

std::int32_t frameGet(const std::uint8_t* frame, const FrameField& f) {
  const std::uint8_t* p = frame + f.offset;
  switch (f.width) {
    case 1: return f.mask ? ((p[0] & f.mask) ? 1 : 0) : p[0];
    case 2: return static_cast<std::int16_t>(p[0] | (p[1] << 8));
    default:
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                       (static_cast<std::uint32_t>(p[2]) << 16) |
                                       (static_cast<std::uint32_t>(p[3]) << 24));
  }
}

void frameSet(std::uint8_t* frame, const FrameField& f, std::int32_t v) {
  std::uint8_t* p = frame + f.offset;
  const auto u = static_cast<std::uint32_t>(v);
  switch (f.width) {
    case 1:
      if (f.mask) p[0] = static_cast<std::uint8_t>(v ? (p[0] | f.mask) : (p[0] & ~f.mask));
      else p[0] = static_cast<std::uint8_t>(u);
      break;
    case 2:
      p[0] = static_cast<std::uint8_t>(u);
      p[1] = static_cast<std::uint8_t>(u >> 8);
      break;
    default:
      for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
  }
}

bool frameStore(std::uint8_t* frame, int id, std::int32_t v) {
  const FrameField* f = frameField(id);
  const PropertyRow* row = rowOf(id);
  if (!f || !row) return false;
  const auto type = static_cast<Ptype>(row->flags & 0xFF);
  const bool listed = !row->enumeration || (v >= 0 && v <= row->highest) || (id == 105 && (v == 16 || v == 32));
  if (!listed || (type == Width && (v < -1 || v > 32767))) return false;
  frameSet(frame, *f, type == Bool ? (v != 0) : v);
  return true;
}

void frameInit(std::uint8_t* frame) {
  for (const FrameRow& r : kFrameRows)
    if (const PropertyRow* row = rowOf(r.id)) frameSet(frame, r.field, row->defaultValue);
}

}  // namespace lindra::props
