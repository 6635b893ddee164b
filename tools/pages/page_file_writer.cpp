#include "tools/pages/page_file_writer.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "shared/scrambler/scrambler.h"
#include "tools/packet/packet_writer.h"

namespace tvtools {

namespace {
constexpr std::size_t kHeadBytes = 32;
}

void scrambleHead(std::string& bytes, bool scramble) {
  COrv_Scrambler().Scramble(bytes.data(), std::min(bytes.size(), kHeadBytes), scramble ? 1 : 0, 0);
}

std::string packPage(std::string_view html, int members) {
  members = std::max(members, 1);
  std::string out;
  const std::size_t step = html.size() / static_cast<std::size_t>(members) + 1;
  std::size_t at = 0;
  for (int m = 0; m < members; ++m) {
    const std::string_view part = at < html.size() ? html.substr(at, m + 1 == members ? std::string_view::npos : step)
                                                   : std::string_view();
    at += part.size();
    out += gzipBytes(part);
  }
  scrambleHead(out, true);
  return out;
}

void writePageFile(const std::filesystem::path& path, std::string_view html) {
  const std::string bytes = packPage(html);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace tvtools
