// The hive reader on hostile bytes: it must never crash, and whatever it
// reads or keeps as it stood must come back unchanged through the writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry/hive.h"

using namespace plat::registry::hive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Key first;
  parse(text, first);
  const std::string written = serialize(first);
  Key second;
  parse(written, second);
  if (!sameTree(first, second)) std::abort();
  if (serialize(second) != written) std::abort();
  return 0;
}
