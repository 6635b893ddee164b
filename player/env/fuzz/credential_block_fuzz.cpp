// Credential blocks come from settings files anyone can edit: decoding any
// text must answer false or give a name and password that fit their fields,
// and what decodes must encode and decode to the same pair.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "player/env/credential_block.h"

namespace {

// A position-dependent mod-255 walk standing in for the real scrambler.
class WalkScrambler : public orv::BlockScrambler {
 public:
  void scrambleMod255(std::span<std::uint8_t> bytes, int direction, std::uint32_t seed) const override {
    for (size_t i = 0; i < bytes.size(); ++i) {
      int step = static_cast<int>((i * 53 + seed + 7) % 254) + 1;
      int v = bytes[i] + (direction == 1 ? step : -step);
      if (v <= 0)
        v += 255;
      else if (v >= 256)
        v -= 255;
      bytes[i] = static_cast<std::uint8_t>(v);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WalkScrambler scrambler;
  orv::setBlockScrambler(&scrambler);
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string name, password;
  if (!orv::decodeCredentialBlock(text, name, password)) return 0;
  if (name.size() > orv::kCredentialNameBytes || password.size() > orv::kCredentialPasswordBytes) std::abort();
  auto again = orv::encodeCredentialBlock(name, password);
  if (!again || again->size() != orv::kCredentialDigits) std::abort();
  std::string name2, password2;
  if (!orv::decodeCredentialBlock(*again, name2, password2)) std::abort();
  if (name2 != orv::credentialName(name) || password2 != orv::credentialPassword(password)) std::abort();
  return 0;
}
