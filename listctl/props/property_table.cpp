// The description rows and the property index, generated from the table.
#include "listctl/props/property_table.h"

#include <array>
#include <cstddef>

namespace lindra::props {
namespace {

#define LINDRA_ENUM_ARRAY(token, ...) constexpr const char* kEnum_##token[] = {__VA_ARGS__, nullptr};
LINDRA_ENUMERATIONS(LINDRA_ENUM_ARRAY)
#undef LINDRA_ENUM_ARRAY
constexpr std::nullptr_t kEnum_None = nullptr;

template <std::size_t N>
constexpr std::uint16_t highestOf(const char* const (&)[N]) {
  return static_cast<std::uint16_t>(N - 2);  // the last slot is the terminator
}
constexpr std::uint16_t highestOf(std::nullptr_t) { return 0; }

// Which stored dimension a width or height row stands for.
constexpr std::uint8_t dimensionOf(int id, Ptype t) {
  if (t != Width && t != Height) return 0;
  switch (id) {
    case 57: return 4;   // header
    case 78: return 8;   // row
    case 174: return 12; // list width
    case 178: return 16; // edit height
    case 218: return 20; // group header
    case 230: return 24; // column header
    default: return 0;
  }
}

struct Table {
  std::array<PropertyRow, kLastTableId + 1> rows{};
  std::array<bool, kLastTableId + 1> present{};
};

constexpr Table makeTable() {
  Table t;
#define LINDRA_ROW(id, Name, type, def, en, ex)                                                        \
  t.rows[id] = PropertyRow{#Name, static_cast<std::uint32_t>(type) | (static_cast<std::uint32_t>(ex) << 8), \
                           dimensionOf(id, type), 0, static_cast<std::int32_t>(def), kEnum_##en,       \
                           highestOf(kEnum_##en)};                                                      \
  t.present[id] = true;
  LINDRA_PROPERTIES(LINDRA_ROW)
#undef LINDRA_ROW
  return t;
}

constexpr Table kTable = makeTable();

}  // namespace

const PropertyRow* rowOf(int id) {
  if (id < kFirstId || id > kLastTableId || !kTable.present[static_cast<std::size_t>(id)]) return nullptr;
  return &kTable.rows[static_cast<std::size_t>(id)];
}

int enumerationCount(const PropertyRow* row) {
  if (!row || !row->enumeration) return 0;
  int n = 0;
  while (row->enumeration[n]) ++n;
  return n;
}

}  // namespace lindra::props
