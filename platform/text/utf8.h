#pragma once
// UTF-8 text handling shared by every module: encoding one code point,
// decoding with malformed bytes kept as raw bytes, counting characters and
// the one rule for cutting text to a field (characters for ini and setting
// values, bytes at a character boundary for binary fields).

#include <cstddef>
#include <string>
#include <string_view>

namespace plat::text {

// Appends the UTF-8 form of `c`, which must be at most 0x10FFFF (callers
// that may hold surrogates or larger values filter them first).
inline void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the character at s[i] and advances i past it. A well-formed
// UTF-8 sequence gives its code point; any other byte (a stray
// continuation, an overlong form, a surrogate, a value past U+10FFFF, a cut
// sequence) gives kRawByte | byte and advances by one.
inline constexpr char32_t kRawByte = 0x80000000u;
char32_t decodeNext(std::string_view s, std::size_t& i);

// Whether every byte of `s` belongs to a well-formed UTF-8 sequence (no
// raw byte in the decoder's sense).
bool isValidUtf8(std::string_view s);

// The number of characters of `s` (a raw byte counts as one).
std::size_t countChars(std::string_view s);

// The longest prefix of `s` holding at most `maxChars` characters.
std::string_view cutChars(std::string_view s, std::size_t maxChars);

// The longest prefix of `s` of at most `maxBytes` bytes that does not end
// inside a character.
std::string_view cutToBytes(std::string_view s, std::size_t maxBytes);

}  // namespace plat::text
