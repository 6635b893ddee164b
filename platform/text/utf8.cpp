#include "platform/text/utf8.h"

namespace plat::text {

char32_t decodeNext(std::string_view s, std::size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  size_t len;
  char32_t cp;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return kRawByte | b0;
  }
  if (s.size() - i < len) {
    ++i;
    return kRawByte | b0;
  }
  for (size_t k = 1; k < len; ++k) {
    const unsigned char bk = byte(i + k);
    if ((bk & 0xC0) != 0x80) {
      ++i;
      return kRawByte | b0;
    }
    cp = (cp << 6) | (bk & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    ++i;
    return kRawByte | b0;
  }
  i += len;
  return cp;
}


bool isValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();)
    if (decodeNext(s, i) & kRawByte) return false;
  return true;
}

std::size_t countChars(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++n) decodeNext(s, i);
  return n;
}

std::string_view cutChars(std::string_view s, std::size_t maxChars) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < maxChars && i < s.size(); ++n) decodeNext(s, i);
  return s.substr(0, i);
}

std::string_view cutToBytes(std::string_view s, std::size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  // Walk whole characters; the first that would cross the limit is left
  // out, so a field never ends inside a character.
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t next = i;
    decodeNext(s, next);
    if (next > maxBytes) break;
    i = next;
  }
  return s.substr(0, i);
}

}  // namespace plat::text
