#include "tools/book/spot_file.h"

#include <algorithm>

namespace tvtools::book {

namespace {

constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kGroupSize = 32;
constexpr std::size_t kItemSize = 266;
constexpr std::size_t kNameAt = 8;

void put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& s, std::size_t at, std::uint32_t v) {
  put16(s, at, v & 0xFFFF);
  put16(s, at + 2, v >> 16);
}

}  // namespace

std::string spotFile(const std::vector<SpotGroup>& groups) {
  std::string out(kHeaderSize, '\0');
  put32(out, 4, kHeaderSize - 4);
  put16(out, 10, static_cast<std::uint32_t>(groups.size()));
  for (const SpotGroup& g : groups) {
    std::string rec(kGroupSize, '\0');
    std::size_t span = kGroupSize;
    for (const SpotItem& i : g.items) span += kItemSize + i.contents.size();
    put32(rec, 0, static_cast<std::uint32_t>(span));
    put32(rec, 4, kGroupSize);
    put16(rec, 8, static_cast<std::uint32_t>(g.items.size()));
    put16(rec, 10, g.main);
    put16(rec, 12, g.trigger);
    put16(rec, 14, g.viewer);
    rec[24] = static_cast<char>(g.day);
    rec[25] = static_cast<char>(g.month);
    put16(rec, 26, g.year);
    out += rec;
    for (const SpotItem& i : g.items) {
      std::string item(kItemSize, '\0');
      put32(item, 0, static_cast<std::uint32_t>(kItemSize + i.contents.size()));
      put16(item, 4, i.width);
      put16(item, 6, i.height);
      const std::size_t nameLength = std::min(i.name.size(), kItemSize - kNameAt - 1);
      item.replace(kNameAt, nameLength, i.name, 0, nameLength);
      out += item;
      out += i.contents;
    }
  }
  put32(out, 0, static_cast<std::uint32_t>(out.size()));
  return out;
}

}  // namespace tvtools::book
