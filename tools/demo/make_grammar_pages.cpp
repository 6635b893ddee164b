// make_grammar_pages PAGES.txt OUT_FOLDER
//
// Builds the grammar browser's page folder from the course's page list
// (lines "key | title"; "#" starts a comment): every page "key.htm" beside
// the list is packed as OUT_FOLDER/key.cht, and the titles go into the
// grammar archive OUT_FOLDER/Arch (Grammar.GPT and Grammar.GPB), from which
// the player names the grammar links of a word.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/pages/grammar_archive_writer.h"
#include "tools/pages/page_file_writer.h"

namespace fs = std::filesystem;

namespace {

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_grammar_pages PAGES.txt OUT_FOLDER\n");
    return 2;
  }
  const fs::path list = argv[1];
  const fs::path out = argv[2];
  std::ifstream in(list);
  if (!in) return std::fprintf(stderr, "make_grammar_pages: cannot read %s\n", argv[1]), 1;
  std::vector<tvtools::grammar::Page> pages;
  int lineNo = 0;
  std::error_code ec;
  fs::create_directories(out / "Arch", ec);
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    const auto bar = line.find('|');
    const std::string key = trim(line.substr(0, bar));
    if (bar == std::string::npos || key.empty() || key.size() > 8 || key.find_first_of("/\\.") != std::string::npos)
      return std::fprintf(stderr, "%s:%d: \"key | title\" with a key of 1 to 8 characters\n", argv[1], lineNo), 1;
    const fs::path source = list.parent_path() / (key + ".htm");
    std::ifstream page(source, std::ios::binary);
    if (!page) return std::fprintf(stderr, "make_grammar_pages: cannot read %s\n", source.c_str()), 1;
    std::ostringstream html;
    html << page.rdbuf();
    try {
      tvtools::writePageFile(out / (key + ".cht"), html.str());
    } catch (const std::exception& e) {
      return std::fprintf(stderr, "make_grammar_pages: %s\n", e.what()), 1;
    }
    pages.push_back({key, trim(line.substr(bar + 1)), {}});
  }
  if (!writeFile(out / "Arch" / "Grammar.GPT", tvtools::grammar::pageTable(pages)) ||
      !writeFile(out / "Arch" / "Grammar.GPB", tvtools::grammar::anchorTable(pages)))
    return std::fprintf(stderr, "make_grammar_pages: cannot write the archive in %s\n", argv[2]), 1;
  return 0;
}
