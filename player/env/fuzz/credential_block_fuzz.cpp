// Credential blocks come from settings files anyone can edit: decoding any
// text must answer false or give a name and password that fit their fields,
// and what decodes must encode and decode to the same pair.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "player/env/credential_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string name, password;
  if (!orv::decodeCredentialBlock(text, name, password)) return 0;
  if (name.size() > orv::kCredentialNameBytes || password.size() > orv::kCredentialPasswordBytes) std::abort();
  const std::string again = orv::encodeCredentialBlock(name, password);
  if (again.size() != orv::kCredentialDigits) std::abort();
  std::string name2, password2;
  if (!orv::decodeCredentialBlock(again, name2, password2)) std::abort();
  if (name2 != orv::credentialName(name) || password2 != orv::credentialPassword(password)) std::abort();
  return 0;
}
