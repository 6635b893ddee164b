// Looks up grammar links in an archive made of arbitrary bytes. The input
// is split in two: a little-endian u32 at its start gives the size of the
// page table, the bytes after it the page table and then the anchor table.
// Links are a fixed set plus the keys of the table's first page record, so
// that the fuzzer reaches the anchor search.

#include "player/book/grammar_archive.h"
#include "platform/testing/fuzz_work_folder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const fs::path& workFolder() { return tvfuzz::workFolder("grammarfuzz"); }

void put(const fs::path& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The zero-terminated text at `at` of the bytes, at most `size` long.
std::string textAt(std::string_view bytes, std::size_t at, std::size_t size) {
  if (at >= bytes.size()) return {};
  std::string_view s = bytes.substr(at, size);
  return std::string(s.substr(0, s.find('\0')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::uint32_t split = 0;
  if (input.size() >= 4) std::memcpy(&split, input.data(), 4);
  const std::string_view rest = input.substr(input.size() >= 4 ? 4 : input.size());
  const std::string_view pages = rest.substr(0, std::min<std::size_t>(split, rest.size()));
  const std::string_view anchors = rest.substr(pages.size());

  COrv_GrammarArchive archive{fs::path("/nonexistent")};
  archive.SetFolder(workFolder());
  put(archive.GetPagePath(), pages);
  put(archive.GetAnchorPath(), anchors);

  const std::string page = textAt(pages, 145, 9);
  const std::string anchor = textAt(anchors, 159, 29);
  const std::vector<std::string> links = {page, page + "#" + anchor, "0001", "0001#a", "#", ""};
  std::vector<std::string> titles;
  if (archive.FindTitles(links, titles) != static_cast<int>(links.size()) || titles.size() != links.size())
    std::abort();
  for (const std::string& t : titles)
    if (t.size() > 3 * 132) std::abort();  // a title never exceeds its field (CP1252 widens to 3 bytes)
  return 0;
}
