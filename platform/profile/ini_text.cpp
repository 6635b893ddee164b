#include "platform/profile/ini_text.h"

#include "platform/text/utf8.h"

namespace plat::profile::text {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char32_t fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c & kRawByte) return c;
  const auto evenToOdd = [c](char32_t lo, char32_t hi) { return c >= lo && c <= hi && (c - lo) % 2 == 0; };
  // Latin-1 Supplement and Latin Extended-A.
  if (c == 0xB5) return 0x3BC;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (evenToOdd(0x100, 0x12E) || evenToOdd(0x132, 0x136) || evenToOdd(0x139, 0x147) ||
      evenToOdd(0x14A, 0x176) || evenToOdd(0x179, 0x17D))
    return c + 1;
  if (c == 0x178) return 0xFF;
  if (c == 0x17F) return 's';
  // Latin Extended-B: the digraphs and the regular pairs.
  if (c == 0x1C4 || c == 0x1C5) return 0x1C6;
  if (c == 0x1C7 || c == 0x1C8) return 0x1C9;
  if (c == 0x1CA || c == 0x1CB) return 0x1CC;
  if (c == 0x1F1 || c == 0x1F2) return 0x1F3;
  if (evenToOdd(0x1CD, 0x1DB) || evenToOdd(0x1DE, 0x1EE) || c == 0x1F4 || evenToOdd(0x1F8, 0x21E) ||
      evenToOdd(0x222, 0x232))
    return c + 1;
  // Greek.
  switch (c) {
    case 0x345: return 0x3B9;
    case 0x386: return 0x3AC;
    case 0x38C: return 0x3CC;
    case 0x3C2: return 0x3C3;
    case 0x3D0: return 0x3B2;
    case 0x3D1: return 0x3B8;
    case 0x3D5: return 0x3C6;
    case 0x3D6: return 0x3C0;
    case 0x3F0: return 0x3BA;
    case 0x3F1: return 0x3C1;
    case 0x3F5: return 0x3B5;
    default: break;
  }
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return c + 0x20;
  if (evenToOdd(0x3D8, 0x3EE)) return c + 1;
  // Cyrillic.
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (evenToOdd(0x460, 0x480) || evenToOdd(0x48A, 0x4BE) || evenToOdd(0x4D0, 0x52E)) return c + 1;
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CD && (c - 0x4C1) % 2 == 0) return c + 1;
  // Armenian.
  if (c >= 0x531 && c <= 0x556) return c + 0x30;
  // Latin Extended Additional.
  if (evenToOdd(0x1E00, 0x1E94) || evenToOdd(0x1EA0, 0x1EFE)) return c + 1;
  if (c == 0x1E9B) return 0x1E61;
  if (c == 0x1E9E) return 0xDF;
  // Letterlike signs and fullwidth Latin.
  if (c == 0x2126) return 0x3C9;
  if (c == 0x212A) return 'k';
  if (c == 0x212B) return 0xE5;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
  return c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[j]);
    if (x < 0x80 && y < 0x80) {
      if (fold(x) != fold(y)) return false;
      ++i, ++j;
      continue;
    }
    if (fold(next(a, i)) != fold(next(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

std::string foldKey(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const char32_t c = fold(next(s, i));
    if (c & kRawByte) {
      // 0xFF never occurs in UTF-8, so a raw byte cannot collide with a
      // character.
      out += '\xFF';
      out += static_cast<char>(c & 0xFF);
    } else {
      plat::text::appendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace plat::profile::text
