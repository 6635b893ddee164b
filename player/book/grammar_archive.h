#pragma once
// Readable titles for grammar links. A link is "page" or "page#anchor"; the
// archive folder holds a page table (Grammar.GPT: page keys, titles and
// each page's anchor range) and an anchor table (Grammar.GPB: anchor keys
// and titles), both written by the course tools. Nothing is cached: every
// lookup opens, reads and closes both files.
//
// Layout (little-endian):
//   Grammar.GPT  145-byte header: "GPT" and a zero at 0, i16 page count at
//                6. Then one 145-byte record per page: zero-terminated key
//                in bytes 0-8, zero-terminated title in bytes 9-140, i16
//                anchor count at 141, i16 first anchor number at 143.
//   Grammar.GPB  159-byte header: "GPB" and a zero at 0 (i16 record size
//                at 4, always 159, not needed to read). Then 159-byte
//                anchor records numbered from 1, so anchor f starts at
//                159 x f: zero-terminated key in bytes 0-28, zero-terminated
//                title in bytes 29-158.
// A page's anchors are the `anchor count` records from its first anchor
// number on. Titles that are not valid UTF-8 are read as CP1252.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class COrv_GrammarArchive {
 public:
  static constexpr std::size_t kPageRecordSize = 145;  // header and records alike
  static constexpr std::size_t kAnchorRecordSize = 159;

  // The archive folder below the program folder: <program folder>/Gramm/Arch.
  // When the program folder is unknown, says so in a message box (string
  // 20004) and leaves the folder empty.
  COrv_GrammarArchive();
  // The same from a given program folder (empty: unknown).
  explicit COrv_GrammarArchive(const std::filesystem::path& programFolder);
  virtual ~COrv_GrammarArchive() = default;

  void SetFolder(const std::filesystem::path& folder) { m_folder = folder; }
  const std::filesystem::path& GetFolder() const { return m_folder; }
  std::filesystem::path GetPagePath() const { return m_folder / "Grammar.GPT"; }
  std::filesystem::path GetAnchorPath() const { return m_folder / "Grammar.GPB"; }

  // The title of a link: the page's title for "page", the anchor's title
  // for "page#anchor" (split at the first '#'); keys compare exactly. Empty
  // when a file is missing or malformed, or the page or anchor is unknown
  // (an unknown anchor never falls back to the page title).
  std::string FindTitle(std::string_view link) const;
  // FindTitle for every link, stored at the same index of `titles` (grown
  // when shorter). Answers the number of links.
  int FindTitles(const std::vector<std::string>& links, std::vector<std::string>& titles) const;

 private:
  std::filesystem::path m_folder;
};
