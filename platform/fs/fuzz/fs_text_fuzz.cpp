// Feeds hostile text to the layer's small text readers: the mount table, the
// user-dirs file and the wildcard matcher.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/fs/disk.h"
#include "platform/fs/folder_listing.h"
#include "platform/fs/special_folders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const plat::fs::MountTable table = plat::fs::MountTable::parse(text);
  for (const plat::fs::MountEntry& e : table.entries)
    if (e.mountPoint.empty() || e.mountPoint[0] != '/') __builtin_trap();

  (void)plat::fs::userDirsEntry(text, "XDG_DOCUMENTS_DIR", "/home/fuzz");

  // First line: a pattern; the rest: a name.
  const size_t nl = text.find('\n');
  if (nl != std::string_view::npos) {
    const std::string_view pattern = text.substr(0, nl);
    const std::string_view name = text.substr(nl + 1);
    if (plat::fs::equalNoCase(pattern, name) != plat::fs::equalNoCase(name, pattern))
      __builtin_trap();
    (void)plat::fs::matchesPattern(pattern, name);
  }
  return 0;
}
