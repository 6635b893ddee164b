// Feeds arbitrary bytes to the module reader. A module that reads must
// write back to text that reads as the same module.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/ui/resources/res_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const plat::ui::ResReadResult first = plat::ui::readResourceModule(bytes);
  if (!first.module) return 0;
  const plat::ui::ResReadResult second = plat::ui::readResourceModule(plat::ui::writeResourceModule(*first.module));
  if (!second.module || !(*second.module == *first.module)) std::abort();
  return 0;
}
