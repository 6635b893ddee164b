#pragma once
// Small helpers for tests that write a book content file with the fixture
// builder and then spoil or inspect single bytes of it.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/riff/riff.h"
#include "platform/testing/test_env.h"
#include "player/book/book_file_writer.h"
#include "tools/book/book_fixture.h"

namespace booktest {

namespace fs = std::filesystem;

// Writes the book into the test's sandbox.
inline fs::path writeBook(const tvtools::book::Book& b, const std::string& name = "book.tvb") {
  const fs::path p = tvtest::sandbox().base / name;
  std::string error;
  EXPECT_TRUE(tvtools::book::writeBookFile(p, b, error)) << error;
  return p;
}

// Replaces bytes of a file in place.
inline void patch(const fs::path& p, size_t at, const std::string& bytes) {
  std::string s = tvtest::readFile(p);
  ASSERT_LE(at + bytes.size(), s.size());
  s.replace(at, bytes.size(), bytes);
  tvtest::writeFile(p, s);
}

inline std::string le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string le32(uint32_t v) {
  std::string s(4, '\0');
  plat::riff::putU32(s.data(), v);
  return s;
}

// Where a member of the file's first part lies (from 0); npos when absent.
struct Place {
  size_t offset = std::string::npos;
  size_t length = 0;
  size_t record = 0;  // its record in the member table
};
inline Place member(const std::string& file, const std::string& name) {
  const std::string stored = COrv_BookFileWriter::ScrambledMemberName(name);
  for (size_t i = 0; i < 250; ++i) {
    const size_t at = 4024 + 12 * i;
    if (file.compare(at, 3, stored) == 0)
      return {plat::riff::getU32(file.data() + at + 3) - 1, plat::riff::getU32(file.data() + at + 7), at};
  }
  return {};
}

// The file offset of the first payload byte of the nth record (from 1) of
// a type in "S01"; npos when there is none.
inline size_t recordPayload(const std::string& file, int type, int nth = 1) {
  const Place s01 = member(file, "S01");
  if (s01.offset == std::string::npos) return std::string::npos;
  for (size_t at = s01.offset + 512; at + 33 <= s01.offset + s01.length; at += 33)
    if (static_cast<uint8_t>(file[at]) == type && --nth == 0) return at + 1;
  return std::string::npos;
}

// Temporary files of the readers ("MIO...") in the test's temporary folder.
inline size_t tempFiles() {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(tvtest::sandbox().tmp))
    n += e.path().filename().string().rfind("MIO", 0) == 0;
  return n;
}

}  // namespace booktest
