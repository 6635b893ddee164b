#include "player/env/credential_block.h"

#include <array>

#include "shared/scrambler/scrambler.h"
#include "platform/text/utf8.h"

namespace orv {
namespace {

bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string trimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && isTrailingSpace(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string credentialName(std::string_view name) { return trimRight(plat::text::cutToBytes(name, kCredentialNameBytes)); }

std::string credentialPassword(std::string_view password) {
  return trimRight(plat::text::cutToBytes(password, kCredentialPasswordBytes));
}

std::string encodeCredentialBlock(std::string_view name, std::string_view password) {
  std::array<std::uint8_t, kCredentialBlockBytes> block;
  block.fill(' ');
  std::string_view n = plat::text::cutToBytes(name, kCredentialNameBytes);
  std::string_view p = plat::text::cutToBytes(password, kCredentialPasswordBytes);
  for (size_t i = 0; i < n.size(); ++i) block[i] = static_cast<std::uint8_t>(n[i]);
  for (size_t i = 0; i < p.size(); ++i) block[kCredentialNameBytes + i] = static_cast<std::uint8_t>(p[i]);
  COrv_Scrambler().ScrambleMod255(block.data(), block.size(), 1, 0);
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(kCredentialDigits);
  for (std::uint8_t b : block) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

bool decodeCredentialBlock(std::string_view digits, std::string& name, std::string& password) {
  if (digits.size() != kCredentialDigits) return false;
  std::array<std::uint8_t, kCredentialBlockBytes> block;
  for (size_t i = 0; i < block.size(); ++i) {
    int hi = hexValue(digits[2 * i]);
    int lo = hexValue(digits[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    block[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  COrv_Scrambler().ScrambleMod255(block.data(), block.size(), 0, 0);
  const char* bytes = reinterpret_cast<const char*>(block.data());
  name = trimRight(std::string_view(bytes, kCredentialNameBytes));
  password = trimRight(std::string_view(bytes + kCredentialNameBytes, kCredentialPasswordBytes));
  return true;
}

}  // namespace orv
