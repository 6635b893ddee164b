#pragma once
// Writes packed grammar page files (".cht") for tests and the demo: the
// page's HTML as a gzip stream whose first 32 bytes are scrambled with the
// fixed default table (seed 0), the form the grammar browser unpacks.

#include <filesystem>
#include <string>
#include <string_view>

namespace tvtools {

// The packed bytes of a page. `members` > 1 splits the HTML into that many
// concatenated gzip members (readers must take them all).
std::string packPage(std::string_view html, int members = 1);

// Scrambles (or, with `scramble` false, unscrambles) the first 32 bytes of
// `bytes` in place, as the page files do.
void scrambleHead(std::string& bytes, bool scramble);

// Writes packPage(html) to `path`; throws std::runtime_error on failure.
void writePageFile(const std::filesystem::path& path, std::string_view html);

}  // namespace tvtools
