// Unpacks arbitrary bytes as a packed grammar page: never a crash, a hang
// or more output than the limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "grammar/page_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<std::string> page =
      UnpackPageBytes(std::string(reinterpret_cast<const char*>(data), size), 1u << 20);
  if (page && page->size() > (1u << 20)) __builtin_trap();
  return 0;
}
