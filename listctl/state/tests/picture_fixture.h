// The list with pictures that the saved-state tests save in one process and
// load in another: two columns, three rows, a colour bitmap in front of
// column 0 and a one-bit bitmap in front of row 1, and how such a list is
// painted into memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listctl/core/library.h"
#include "listctl/props/exports.h"
#include "platform/win/bitmap_bits.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

namespace statefixture {

inline constexpr int kListW = 200, kListH = 90;

// 6 x 5 pixels, each of its own colour (0x00RRGGBB).
inline std::vector<std::uint32_t> colourPixels() {
  std::vector<std::uint32_t> px;
  for (std::uint32_t y = 0; y < 5; ++y)
    for (std::uint32_t x = 0; x < 6; ++x) px.push_back((0x30 + 0x20 * x) << 16 | (0x40 + 0x28 * y) << 8 | 0x99);
  return px;
}
// 9 x 4 pixels, a checkerboard of two-pixel squares, rows padded to 16 bits.
inline std::vector<std::uint8_t> monoPixels() { return {0xCC, 0x80, 0xCC, 0x80, 0x33, 0x00, 0x33, 0x00}; }

// The bitmaps of a picture list; the caller deletes them after the list.
struct Bitmaps {
  plat::win::HBITMAP colour, mono;
};

inline std::uint32_t handleValue(plat::win::HBITMAP b) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(b));
}

inline Bitmaps fillPictureList(plat::win::HWND h) {
  namespace pw = plat::win;
  namespace props = lindra::props;
  const std::vector<std::uint32_t> colour = colourPixels();
  const std::vector<std::uint8_t> mono = monoPixels();
  Bitmaps b{pw::CreateBitmap(6, 5, 1, 32, colour.data()), pw::CreateBitmap(9, 4, 1, 1, mono.data())};
  auto set = [&](int id, pw::LPARAM v) { return pw::SendMessage(h, props::kSetMessage, static_cast<pw::WPARAM>(id), v); };
  set(32, 2);  // Columns
  for (const char* row : {"pear\tripe", "fig\tdried", "plum\tfresh"})
    pw::SendMessage(h, 0x180, 0, reinterpret_cast<pw::LPARAM>(row));  // LB_ADDSTRING
  set(28, 0);
  props::PictureBlock colourPic{1, 0, handleValue(b.colour), 3, 0};
  set(139, reinterpret_cast<pw::LPARAM>(&colourPic));  // ColPicture
  set(29, 1);
  props::PictureBlock monoPic{1, 0, handleValue(b.mono), 0, 0};
  set(147, reinterpret_cast<pw::LPARAM>(&monoPic));  // RowPicture
  return b;
}

// The list's client area painted into a memory bitmap: its pixels.
inline std::string paint(plat::win::HWND h) {
  namespace pw = plat::win;
  pw::HDC screen = pw::GetDC(nullptr);
  pw::HDC mem = pw::CreateCompatibleDC(screen);
  pw::HBITMAP target = pw::CreateBitmap(kListW, kListH, 1, 32, nullptr);
  pw::HGDIOBJ old = pw::SelectObject(mem, target);
  pw::SendMessage(h, pw::WM_PRINT, reinterpret_cast<pw::WPARAM>(mem), pw::PRF_CLIENT);
  pw::SelectObject(mem, old);
  std::string pixels(static_cast<std::size_t>(pw::GetBitmapBits(target, 0, nullptr)), '\0');
  pw::GetBitmapBits(target, static_cast<pw::LONG>(pixels.size()), pixels.data());
  pw::DeleteObject(target);
  pw::DeleteDC(mem);
  pw::ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace statefixture
