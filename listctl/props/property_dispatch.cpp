// The set and get dispatchers of messages 0x52D and 0x52E.
//
// Each list instance has a property record (PropState) beside its instance
// record, made at the first property message and released with the window.
// It keeps one slot per property id: the 32-bit value, the float, the owned
// text and the picture block. Fresh slots hold the table's default, except
// the colours of the cell-look and line records, which start "not set" and
// read back as 0x8000000B until set.
//
// Results: 0 success; 30500 column out of range; 30501 item out of range;
// 30502 group out of range; 30503 a refused set (unknown id, value out of
// range). A numeric get with a pointer in lParam writes the value there (16
// or 32 bits, or a float, by the row's type) and answers the status; with
// lParam 0 the value is the answer. A text get takes a {buffer, size} block
// and answers the full length; with lParam 0 it answers a movable global
// copy of the text that the caller frees.
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "listctl/core/dispatch.h"
#include "listctl/props/exports.h"
#include "listctl/props/property_table.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;
using namespace props;

namespace {

constexpr LRESULT kOk = 0, kBadColumn = 30500, kBadItem = 30501, kBadGroup = 30502, kRefused = 30503;
constexpr std::uint32_t kUnsetColour = 0x8000000B;
constexpr int kMaxGroups = 256;  // columns: kMaxColumns of the store

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
  PictureBlock picture{};
};

struct PropState {
  std::array<Slot, kLastId + 1> slots;
  int columns = 0;
  int groups = 0;
  int currentColumn = -1;
  int currentGroup = 0;
  int row = -1;
};

std::unordered_map<const LbxInstance*, std::unique_ptr<PropState>>& states() {
  static std::unordered_map<const LbxInstance*, std::unique_ptr<PropState>> s;
  return s;
}

bool colourStartsUnset(int id) {
  switch (id) {
    case 2: case 3: case 36: case 37: case 38: case 93: case 94: case 97: case 98:
    case 133: case 134: case 135: case 136: case 190: case 191: case 192:
      return true;
    default:
      return false;
  }
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

PropState& stateOf(LbxInstance* inst) {
  auto& s = states()[inst];
  if (!s) {
    s = std::make_unique<PropState>();
    for (int id = kFirstId; id <= kLastId; ++id) {
      const Kind k = kindOf(id);
      if (!k.known) continue;
      Slot& slot = s->slots[static_cast<std::size_t>(id)];
      slot.value = k.type == Colour && colourStartsUnset(id) ? static_cast<std::int32_t>(kUnsetColour) : k.def;
    }
  }
  return *s;
}

std::int32_t boolValue(const Kind& k, LPARAM v) {
  if (v == 0) return 0;
  return k.def == -1 ? -1 : 1;  // flags kept as -1 read back as -1
}

bool isWidth(const Kind& k) { return k.type == Width; }

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

}  // namespace

void propertyRelease(LbxInstance* inst) { states().erase(inst); }

LRESULT propertySet(LbxInstance* inst, HWND hwnd, WPARAM wParam, LPARAM value) {
  const int id = static_cast<int>(wParam);
  const Kind k = kindOf(id);
  if (!k.known || getOnly(id)) return kRefused;
  PropState& st = stateOf(inst);
  Slot& slot = st.slots[static_cast<std::size_t>(id)];
  const auto v32 = static_cast<std::int32_t>(value);

  switch (id) {
    case 28:  // Col
      if (v32 < -1 || v32 >= st.columns) return kBadColumn;
      st.currentColumn = v32;
      return kOk;
    case 29:  // Row: the count addresses the place after the last item
      if (v32 < -1 || v32 > inst->itemCount) return kBadItem;
      st.row = v32;
      return kOk;
    case 197:  // Grp
      if (v32 < -1 || v32 >= st.groups) return kBadGroup;
      st.currentGroup = v32;
      return kOk;
    case 207:  // ColumnLevels
      if (v32 < 1 || v32 > 256) return kRefused;
      slot.value = v32;
      return kOk;
    case 42:  // Sel3DStyle: kept as 1, 3, 4
      if (v32 < 0 || v32 > 2) return kRefused;
      slot.value = v32 == 0 ? 1 : v32 == 1 ? 3 : 4;
      return kOk;
    case 105:  // ThreeDInsideStyle; 16 and 32 come from the creation style bits
      if (v32 != 16 && v32 != 32 && (v32 < 0 || v32 > 2)) return kRefused;
      slot.value = v32;
      return kOk;
    case 85:  // Action
      if (v32 < 0 || v32 > 12) return kOk;
      if (v32 == 7) {
        if (st.columns >= kMaxColumns) return 1;
        ++st.columns;
      } else if (v32 == 8 && st.columns > 0 && st.currentColumn >= 0) {
        --st.columns;
        if (st.currentColumn >= st.columns) st.currentColumn = st.columns - 1;
      } else if (v32 == 10) {
        if (st.groups >= kMaxGroups) return 1;
        ++st.groups;
      } else if (v32 == 11 && st.groups > 0) {
        --st.groups;
      }
      return kOk;
    case 2:
    case 3:
      // At the default level the "unset" colour changes nothing.
      if (static_cast<std::uint32_t>(value) == kUnsetColour) return kOk;
      break;
    case 500:
      pw::EnableWindow(hwnd, value != 0);
      return kOk;
    case 509:
      pw::ShowWindow(hwnd, value != 0 ? 5 : 0);
      return kOk;
    default:
      break;
  }

  switch (k.type) {
    case Text:
      slot.text = value ? reinterpret_cast<const char*>(value) : "";
      return kOk;
    case Float:
      if (!value) return kRefused;
      slot.real = *reinterpret_cast<const float*>(value);
      return kOk;
    case Picture:
      if (!value) return kRefused;
      slot.picture = *reinterpret_cast<const PictureBlock*>(value);
      return kOk;
    case Bool:
      slot.value = boolValue(k, value);
      return kOk;
    case Enum:
      if (v32 < 0 || v32 > k.highest) return kRefused;
      slot.value = v32;
      return kOk;
    case Int16:
      slot.value = static_cast<std::int16_t>(value);
      return kOk;
    default:
      if (isWidth(k) && (v32 < -1 || v32 > 32767)) return kRefused;
      slot.value = v32;
      return kOk;
  }
}

LRESULT propertyGet(LbxInstance* inst, HWND hwnd, WPARAM wParam, LPARAM out) {
  const int id = static_cast<int>(wParam);
  const Kind k = kindOf(id);
  if (!k.known || id == 85) return kRefused;
  PropState& st = stateOf(inst);
  const Slot& slot = st.slots[static_cast<std::size_t>(id)];

  std::int32_t v = slot.value;
  switch (id) {
    case 28: case 224: v = st.currentColumn; break;
    case 29: v = st.row; break;
    case 197: case 226: v = st.currentGroup; break;
    case 32: v = st.columns; break;
    case 206: v = st.groups; break;
    case 76: v = inst->itemCount; break;
    case 42: v = slot.value == 3 ? 1 : slot.value == 4 ? 2 : 0; break;
    case 500: return pw::IsWindowEnabled(hwnd) ? -1 : 0;
    case 509: return pw::IsWindowVisible(hwnd) ? -1 : 0;
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
      if (!out) return kRefused;
      *reinterpret_cast<PictureBlock*>(out) = slot.picture;
      return kOk;
    default:
      break;
  }
  // Direct gets and message users without a pointer get the value itself.
  const bool direct = id >= 500 || (id >= 268 && id <= 272) || id == 276;
  if (!out || direct) return v;
  if (isSixteen(k.type)) *reinterpret_cast<std::int16_t*>(out) = static_cast<std::int16_t>(v);
  else *reinterpret_cast<std::int32_t*>(out) = v;
  return kOk;
}

}  // namespace lindra
