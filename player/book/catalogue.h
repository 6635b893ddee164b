#pragma once
// COrv_CatalogueRecord: what a book content file holds, read from its index
// without opening any of its books: per entry the book code, the content
// format version (value B) and the reader's second number (value A). The
// install steps use it to list the books of a library or packet.
//
// Below it, the names of the temporary files into which parts of content
// files are unpacked: "<prefix><unique number in hex>.tmp" in the system's
// temporary folder.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class COrv_CatalogueRecord {
 public:
  COrv_CatalogueRecord() = default;
  virtual ~COrv_CatalogueRecord() = default;

  // Reads the index of the content file at `path`; answers the number of
  // entries, 0 when nothing could be read. What an earlier Load read is
  // replaced either way.
  int Load(const std::string& path);

  int GetCount() const { return m_count; }
  // Entry n, counted from 1: its name, value A and value B. Outside 1 to
  // the count: an empty name and 0.
  std::string GetName(int n) const;
  std::uint32_t GetValueA(int n) const;
  std::uint32_t GetValueB(int n) const;
  // Every entry's name, in order.
  const std::vector<std::string>& GetNames() const { return m_names; }

 private:
  bool valid(int n) const { return n >= 1 && n <= m_count; }

  int m_count = 0;
  std::vector<std::string> m_names;
  std::vector<std::uint32_t> m_valueA;
  std::vector<std::uint32_t> m_valueB;
};

namespace orv {

// Creates a new empty temporary file with the prefix and answers its name;
// empty when there is no temporary folder or the file cannot be made.
std::string GetTempFileNameIn(std::string_view prefix);
// The same, answering the file's unique number instead of its name (0 on
// failure).
std::uint32_t MakeTempFileNumber(std::string_view prefix);
// The name that `unique` gives with the prefix, without creating the file.
// False (and `name` emptied) for unique 0, a prefix holding a separator or
// no temporary folder.
bool TempFileNameOf(std::string_view prefix, std::uint32_t unique, std::string& name);

}  // namespace orv
