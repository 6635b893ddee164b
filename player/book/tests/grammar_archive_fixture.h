#pragma once
// Small grammar archives (page table and anchor table) for tests and fuzz
// seeds, written into a folder.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "tools/pages/grammar_archive_writer.h"

namespace grammar_fixture {

using tvtools::grammar::Anchor;
using tvtools::grammar::anchorTable;
using tvtools::grammar::Page;
using tvtools::grammar::pageTable;
using tvtools::grammar::put;
using tvtools::grammar::putI16;

inline void write(const std::filesystem::path& folder, const std::string& pageBytes,
                  const std::string& anchorBytes) {
  std::filesystem::create_directories(folder);
  tvtest::writeFile(folder / "Grammar.GPT", pageBytes);
  tvtest::writeFile(folder / "Grammar.GPB", anchorBytes);
}

inline void write(const std::filesystem::path& folder, const std::vector<Page>& pages) {
  write(folder, pageTable(pages), anchorTable(pages));
}

}  // namespace grammar_fixture
