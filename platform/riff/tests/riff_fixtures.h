#pragma once
// Small hand-built RIFF files for the tests: chunks are spelled out byte by
// byte so that sizes can lie.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/riff/riff.h"

namespace rifftest {

inline std::string u16(uint16_t v) {
  std::string s;
  plat::riff::appendU16(s, v);
  return s;
}

inline std::string u32(uint32_t v) {
  std::string s;
  plat::riff::appendU32(s, v);
  return s;
}

// A chunk with a stated size that may differ from its body; pad byte added
// when asked.
inline std::string rawChunk(std::string_view id, uint32_t statedSize, std::string_view body, bool pad = false) {
  std::string s(id);
  s += u32(statedSize);
  s += body;
  if (pad) s += '\0';
  return s;
}

// A well-formed chunk (pad byte after an odd body).
inline std::string chunk(std::string_view id, std::string_view body) {
  return rawChunk(id, static_cast<uint32_t>(body.size()), body, body.size() % 2 == 1);
}

// "RIFF", the true size of form type + body, form type, body.
inline std::string riff(std::string_view form, std::string_view body) {
  return "RIFF" + u32(static_cast<uint32_t>(4 + body.size())) + std::string(form) + std::string(body);
}

// A "fmt " body of tag 1.
inline std::string pcmFmt(uint16_t channels, uint32_t rate, uint16_t bits, bool withExtraSize = false) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  std::string b = u16(1) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits);
  if (withExtraSize) b += u16(0);
  return b;
}

}  // namespace rifftest
