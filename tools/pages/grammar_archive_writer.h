#pragma once
// Writes grammar archives (the page table "Grammar.GPT" and the anchor
// table "Grammar.GPB") that give grammar links their readable titles. Pages
// are written in order; their anchors are numbered from 1 across the whole
// anchor table, page after page. Layout as the player's archive reader
// documents it; integers little-endian.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tvtools::grammar {

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
  record[at] = static_cast<char>(v & 0xFF);
  record[at + 1] = static_cast<char>((v >> 8) & 0xFF);
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

}  // namespace tvtools::grammar
