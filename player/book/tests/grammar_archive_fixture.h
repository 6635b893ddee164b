#pragma once
// Writes small grammar archives (page table and anchor table) for tests and
// fuzz seeds. Pages are written in order; their anchors are numbered from 1
// across the whole anchor table, page after page.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/riff/riff.h"
#include "platform/testing/test_env.h"

namespace grammar_fixture {

struct Anchor {
  std::string key;
  std::string title;
};

struct Page {
  std::string key;
  std::string title;
  std::vector<Anchor> anchors;
};

// A fixed-size record with `text` at `at`, cut to `size` bytes (a text of
// exactly `size` bytes has no terminating zero).
inline void put(std::string& record, std::size_t at, std::size_t size, const std::string& text) {
  record.replace(at, std::min(size, text.size()), text.substr(0, size));
}

inline void putI16(std::string& record, std::size_t at, int v) {
  std::string le;
  plat::riff::appendU16(le, static_cast<std::uint16_t>(v));
  record.replace(at, 2, le);
}

// The page table; `count` < 0 writes the number of pages.
inline std::string pageTable(const std::vector<Page>& pages, int count = -1) {
  std::string header(145, '\0');
  put(header, 0, 4, "GPT");
  putI16(header, 6, count < 0 ? static_cast<int>(pages.size()) : count);
  std::string out = header;
  int next = 1;
  for (const Page& p : pages) {
    std::string r(145, '\0');
    put(r, 0, 9, p.key);
    put(r, 9, 132, p.title);
    putI16(r, 141, static_cast<int>(p.anchors.size()));
    putI16(r, 143, p.anchors.empty() ? 0 : next);
    next += static_cast<int>(p.anchors.size());
    out += r;
  }
  return out;
}

inline std::string anchorTable(const std::vector<Page>& pages) {
  std::string out(159, '\0');
  put(out, 0, 4, "GPB");
  putI16(out, 4, 159);
  for (const Page& p : pages)
    for (const Anchor& a : p.anchors) {
      std::string r(159, '\0');
      put(r, 0, 29, a.key);
      put(r, 29, 130, a.title);
      out += r;
    }
  return out;
}

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
