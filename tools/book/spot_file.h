#pragma once
// Builds media-spot files, the member "MF1" of a book: groups of items
// (pictures or pages) that a viewer shows when the book opens or an
// Echomark becomes current.
//
// Layout (little-endian, absolute offsets): a 20-byte header (i32 file size
// at 0; i32 at 4: the first group starts at this + 4, here 16; u16 group
// count at 10), then per group a 32-byte record (i32 at 0: its span up to
// the next group; i32 at 4: distance to its first item, here 32; u16 item
// count at 8, main item at 10, trigger key at 12, viewer kind at 14; expiry
// day u8 at 24, month u8 at 25, year u16 at 26) followed by its items: a
// 266-byte record (i32 at 0: the item's total size with this record; u16
// window width at 4, height at 6; zero-terminated file name at 8) and the
// item's file contents.

#include <cstdint>
#include <string>
#include <vector>

namespace tvtools::book {

struct SpotItem {
  std::string name;  // at most 257 bytes
  std::uint16_t width = 0, height = 0;
  std::string contents;
};

struct SpotGroup {
  std::vector<SpotItem> items;
  std::uint16_t main = 1;     // the item the viewer shows, from 1
  std::uint16_t trigger = 0;  // 0: when the book opens
  std::uint16_t viewer = 0;   // 0: the spot viewer
  std::uint8_t day = 0, month = 0;
  std::uint16_t year = 0;  // all three 0: never expires
};

// The spot file of `groups`. Names longer than the record holds are cut.
std::string spotFile(const std::vector<SpotGroup>& groups);

}  // namespace tvtools::book
