#pragma once
// Little-endian fields of the book's binary records (content files, spot
// files). Callers check that `at` plus the field's width lies inside `s`.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orv {

inline std::uint16_t le16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    (static_cast<unsigned char>(s[at + 1]) << 8));
}

inline std::uint32_t le32(std::string_view s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{static_cast<unsigned char>(s[at + i])} << (8 * i);
  return v;
}

}  // namespace orv
