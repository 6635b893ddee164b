#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/riff/riff.h"
#include "platform/testing/test_env.h"
#include "player/book/book_file_writer.h"
#include "player/book/content_dispatch.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/book/tests/info_test_sink.h"
#include "shared/scrambler/scrambler.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

Book sampleBook(int version) {
  Book b;
  b.version = version;
  b.code = "DEMO";
  b.title = "A Sample Book";
  b.category = 7;
  b.language = 3;
  b.level = 4;
  b.description = "Short stories";
  Echomark e1;
  e1.introduction = "Once upon a time";
  e1.wordText = "the quick brown fox";
  e1.comment = "a comment";
  e1.fixedWords = {2, 5};
  e1.keywords = {1};
  e1.segmentStarts = {0, 3};
  e1.dictionary = {{1, 1}, {3, 2}};
  e1.links = {{"Verbs", 2}, {"Nouns", 4}};
  e1.normalWav = makeWav(400, {0.25f, 0.25f, 0.5f});
  e1.slowWav = makeWav(500, {});
  e1.fastWav = makeWav(300, {});
  Echomark e2;
  e2.introduction = "Second";
  e2.normalWav = makeWav(100, {});
  b.echomarks = {e1, e2};
  b.dictionary = {{"quick", "fast", "moving with speed"}, {"fox", "animal", "a wild dog"}};
  return b;
}

fs::path writeBook(const Book& b, const std::string& name = "book.tvb") {
  const fs::path p = tvtest::sandbox().base / name;
  std::string error;
  EXPECT_TRUE(writeBookFile(p, b, error)) << error;
  return p;
}

struct Opened {
  RecordingSink sink;
  COrv_Talvane book;
  COrv_TvlCoreIO io;
  Opened(const fs::path& path, int tvlClass = 0, const std::string& code = "DEMO") {
    io.SetErrorSink(&sink);
    book.SetCode(code);
    book.SetSourceFile(path.string(), -1);
    book.SetTvlClass(tvlClass);
  }
  std::vector<int> codes() const {
    std::vector<int> out;
    for (const auto& e : sink.errors) out.push_back(e.code);
    return out;
  }
};

size_t tempFiles() {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(tvtest::sandbox().tmp)) n += e.path().filename().string().rfind("MIO", 0) == 0;
  return n;
}

// Patches bytes of a file in place.
void patch(const fs::path& p, size_t at, const std::string& bytes) {
  std::string s = tvtest::readFile(p);
  s.replace(at, bytes.size(), bytes);
  tvtest::writeFile(p, s);
}

// The position of a member's record in the first part.
size_t memberRecord(const std::string& file, const std::string& name) {
  const std::string stored = COrv_BookFileWriter::ScrambledMemberName(name);
  for (size_t i = 0; i < 250; ++i)
    if (file.compare(4024 + 12 * i, 3, stored) == 0) return 4024 + 12 * i;
  return 0;
}

TEST(ContentReader, BothVersionsOpenAndFillEveryBookField) {
  for (int version : {2, 3}) {
    SCOPED_TRACE(version);
    Opened o(writeBook(sampleBook(version)));
    ASSERT_EQ(o.io.Open(o.book), 1);
    EXPECT_TRUE(o.sink.errors.empty());
    EXPECT_EQ(o.book.GetTvlClass(), version);
    EXPECT_EQ(o.book.GetNumQuotes(), 2);
    EXPECT_EQ(o.book.GetCategory(), 7);
    EXPECT_EQ(o.book.GetOrigLanguage(), 3);
    EXPECT_EQ(o.book.GetTitle(-1), "A Sample Book");
    EXPECT_EQ(o.book.GetTitle(3), "A Sample Book");
    EXPECT_EQ(o.book.GetDifficulty(), 4);
    EXPECT_EQ(o.book.GetDescription(-1), "Short stories");
    EXPECT_FALSE(o.book.GetSourceFile(3).empty());  // moved to the new original language
    EXPECT_EQ(o.io.GetVersion(), version);
    EXPECT_EQ(o.io.Close(), 1);
    EXPECT_EQ(tempFiles(), 0u);
  }
}

TEST(ContentReader, TitlesAndLanguageByte) {
  Book b = sampleBook(2);
  b.title = std::string(30, 'T');
  Opened full(writeBook(b, "a.tvb"));
  ASSERT_EQ(full.io.Open(full.book), 1);
  EXPECT_EQ(full.book.GetTitle(-1), std::string(30, 'T'));

  b.title = "Short";
  b.language = 32;
  Opened padded(writeBook(b, "b.tvb"));
  ASSERT_EQ(padded.io.Open(padded.book), 1);
  EXPECT_EQ(padded.book.GetTitle(-1), "Short");
  EXPECT_EQ(padded.book.GetOrigLanguage(), 0);
}

TEST(ContentReader, Version3TitleComesFromBooksSection) {
  const fs::path p = writeBook(sampleBook(3));
  // Without a [Books] section the title is empty: rewrite the INI member
  // in place with the same length.
  std::string file = tvtest::readFile(p);
  const size_t rec = memberRecord(file, "INI");
  ASSERT_NE(rec, 0u);
  const uint32_t off = plat::riff::getU32(file.data() + rec + 3) - 1;
  const uint32_t len = plat::riff::getU32(file.data() + rec + 7);
  std::string ini = file.substr(off, len);
  ini.replace(ini.find("[Books]"), 7, "[Other]");
  file.replace(off, len, ini);
  tvtest::writeFile(p, file);
  Opened o(p);
  ASSERT_EQ(o.io.Open(o.book), 1);
  EXPECT_EQ(o.book.GetTitle(-1), "");
}

TEST(ContentReader, DispatcherCodes) {
  const fs::path v2 = writeBook(sampleBook(2), "v2.tvb");
  const fs::path v3 = writeBook(sampleBook(3), "v3.tvb");
  {  // a mismatched version gives 16 both ways
    Opened a(v2, 3), b(v3, 2);
    EXPECT_EQ(a.io.Open(a.book), 0);
    EXPECT_EQ(a.codes(), std::vector<int>{16});
    EXPECT_EQ(b.io.Open(b.book), 0);
    EXPECT_EQ(b.codes(), std::vector<int>{16});
    EXPECT_EQ(b.sink.errors[0].source, "TvlClass2");
  }
  {  // 14: a second Open keeps the first content
    Opened o(v2);
    ASSERT_EQ(o.io.Open(o.book), 1);
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.codes(), std::vector<int>{14});
    EXPECT_EQ(o.io.GetVersion(), 2);
  }
  {  // 15: no code, no source
    Opened a(v2, 0, ""), b("", 0);
    EXPECT_EQ(a.io.Open(a.book), 0);
    EXPECT_EQ(b.io.Open(b.book), 0);
    EXPECT_EQ(a.codes(), std::vector<int>{15});
    EXPECT_EQ(b.codes(), std::vector<int>{15});
  }
  {  // 103: ReadInfo after a failed Open
    Opened o(v2, 3);
    COrv_InfoBundle bundle;
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.io.ReadInfo(1, 1, bundle, -1, 0), 0);
    EXPECT_EQ(o.codes(), (std::vector<int>{16, 103}));
  }
  {  // a version-1 book fails silently
    Opened o(v2, 1);
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_TRUE(o.sink.errors.empty());
  }
  {  // a file not starting "CD" gives 2; an unreadable one 4
    const fs::path junk = tvtest::sandbox().base / "junk.tvb";
    tvtest::writeFile(junk, "XD\x02\x00 and more");
    Opened o(junk), missing(tvtest::sandbox().base / "none.tvb");
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.codes(), std::vector<int>{2});
    EXPECT_EQ(o.sink.errors[0].source, "TvlCoreIO");
    EXPECT_EQ(missing.io.Open(missing.book), 0);
    EXPECT_EQ(missing.codes(), std::vector<int>{4});
  }
}

// Builds a S01 member from a type sequence.
std::string s01Of(const std::vector<int>& types) {
  std::string s(512, '\0');
  for (int t : types) {
    s.push_back(static_cast<char>(t));
    s.append(32, '\0');
  }
  return s;
}

TEST(ContentReader, RecordTypeSequencesToGroups) {
  using G = COrv_TvlReader::Group;
  struct Case {
    const char* name;
    std::vector<int> types;
    int echomarks;
    int ok;
    // (Echomark, group, first, count)
    std::vector<std::array<int, 4>> groups;
  };
  const std::vector<Case> cases = {
      {"one Echomark", {1, 9, 9, 3, 3, 5}, 1, 1, {{1, 0, 1, 1}, {1, 1, 2, 2}, {1, 4, 4, 2}, {1, 8, 6, 1}}},
      {"two Echomarks", {9, 9, 3, 1, 9, 9}, 2, 1, {{1, 1, 1, 2}, {1, 4, 3, 1}, {2, 0, 4, 1}, {2, 1, 5, 2}}},
      {"a run of one type merges across Echomarks", {9, 9, 3, 3}, 2, 1, {{1, 4, 3, 2}, {2, 4, 0, 0}}},
      {"header runs without a break merge", {9, 9, 9, 9}, 2, 1, {{1, 1, 1, 4}, {2, 1, 0, 0}}},
      {"slower and faster", {9, 9, 12, 12, 13}, 1, 1, {{1, 2, 3, 2}, {1, 3, 5, 1}}},
      {"bad type", {9, 9, 2}, 1, 0, {}},
      {"type 0", {0}, 1, 0, {}},
      {"more Echomarks than counted", {9, 9, 3, 9}, 1, 0, {}},
      {"records but no Echomark", {9}, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSink sink;
    COrv_TvlClass2 reader;
    reader.SetErrorSink(&sink);
    std::string s01 = s01Of(c.types);
    s01 += "partial";  // a length that is not a multiple of 33 ends at the last whole record
    ASSERT_EQ(reader.BuildRecordIndex(s01, c.echomarks), c.ok);
    if (!c.ok) {
      ASSERT_EQ(sink.errors.size(), 1u);
      EXPECT_EQ(sink.errors[0].code, 16);
      continue;
    }
    for (const auto& g : c.groups) {
      const G& got = reader.GetGroups().at(static_cast<size_t>(g[0] - 1))[static_cast<size_t>(g[1])];
      EXPECT_EQ(got.first, g[2]) << g[0] << "/" << g[1];
      EXPECT_EQ(got.count, g[3]) << g[0] << "/" << g[1];
    }
  }
}

TEST(ContentReader, HostileFilesAreRefused) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> spoil;
    int code;
  };
  const std::vector<Case> cases = {
      {"index word 0", [](const fs::path& p) { patch(p, 4, std::string(2, '\0')); }, 16},
      {"index count above 250", [](const fs::path& p) { patch(p, 4, "\xFB\x00"); }, 16},
      {"member count above 250", [](const fs::path& p) { patch(p, 4008, "\xFB\x00"); }, 16},
      {"truncated file",
       [](const fs::path& p) { std::string s = tvtest::readFile(p); tvtest::writeFile(p, s.substr(0, 5000)); }, 16},
      {"truncated members",
       [](const fs::path& p) { std::string s = tvtest::readFile(p); tvtest::writeFile(p, s.substr(0, 7100)); }, 16},
      {"missing ID member", [](const fs::path& p) {
         const size_t rec = memberRecord(tvtest::readFile(p), "ID ");
         patch(p, rec, COrv_BookFileWriter::ScrambledMemberName("XX"));
       }, 18},
      {"ID counts fewer Echomarks than S01 describes", [](const fs::path& p) {
         const std::string s = tvtest::readFile(p);
         const size_t rec = memberRecord(s, "ID ");
         patch(p, plat::riff::getU32(s.data() + rec + 3) - 1 + 56, "\x01\x00");
       }, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = writeBook(sampleBook(2), "hostile.tvb");
    c.spoil(p);
    Opened o(p, 2);
    EXPECT_EQ(o.io.Open(o.book), 0);
    ASSERT_FALSE(o.sink.errors.empty());
    EXPECT_EQ(o.sink.errors.back().code, c.code);
    EXPECT_EQ(o.io.GetVersion(), 0);
    EXPECT_EQ(tempFiles(), 0u);
  }
}

TEST(ContentReader, CodesThatAreNotBooks) {
  const fs::path p = writeBook(sampleBook(2));
  for (const char* code : {"DEMOXXXXX", "NOTHERE", "DE MO"}) {
    Opened o(p, 2, code);
    EXPECT_EQ(o.io.Open(o.book), 0) << code;
    EXPECT_EQ(o.codes(), std::vector<int>{16}) << code;
  }
  Opened lower(p, 2, "demo");
  EXPECT_EQ(lower.io.Open(lower.book), 1);
}

TEST(ContentReader, FaultsGiveTheirCodes) {
  const fs::path p = writeBook(sampleBook(2));
  {
    plat::fs::FaultScope scope;
    plat::fs::injectFault(plat::fs::FaultOp::Open, "book.tvb", EIO, 1, 0);
    Opened o(p, 2);
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.codes(), std::vector<int>{4});
  }
  {
    plat::fs::FaultScope scope;
    plat::fs::injectFault(plat::fs::FaultOp::Read, "book.tvb", EIO, 1, 0);
    Opened o(p, 2);
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.codes(), std::vector<int>{4});
  }
  {  // the media spots' temporary file
    Book b = sampleBook(2);
    b.spots = "spots";
    const fs::path withSpots = writeBook(b, "spots.tvb");
    plat::fs::FaultScope scope;
    plat::fs::injectFault(plat::fs::FaultOp::Open, "MIO", EACCES, 1000, 0);
    Opened o(withSpots, 2);
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.codes(), std::vector<int>{19});
  }
  {  // a member too large to hold: 17
    const fs::path big = tvtest::sandbox().base / "big.tvb";
    fs::copy_file(p, big);
    std::string s = tvtest::readFile(big);
    const size_t rec = memberRecord(s, "S01");
    const uint32_t length = 80u << 20;
    std::string le(4, '\0');
    plat::riff::putU32(le.data(), length);
    patch(big, rec + 7, le);
    fs::resize_file(big, static_cast<uintmax_t>(length) + 8000);
    Opened o(big, 2);
    EXPECT_EQ(o.io.Open(o.book), 0);
    EXPECT_EQ(o.codes(), std::vector<int>{17});
  }
  {  // 14 for a catalogue while the reader holds the book, 102 and 103
    Opened o(p, 2);
    COrv_InfoBundle bundle;
    EXPECT_EQ(o.io.ReadInfo(1, 1, bundle, -1, 0), 0);
    ASSERT_EQ(o.io.Open(o.book), 1);
    std::vector<int> v, n;
    std::vector<std::string> names;
    EXPECT_EQ(o.io.ReadCatalogue(o.book, v, n, names), 0);
    EXPECT_EQ(o.io.ReadInfo(3, 1, bundle, -1, 0), 0);
    EXPECT_EQ(o.codes(), (std::vector<int>{103, 14, 102}));
  }
}

TEST(ContentReader, CatalogueOfALibrary) {
  Book a = sampleBook(3), b = sampleBook(3);
  b.code = "SECOND";
  const fs::path p = tvtest::sandbox().base / "lib.tvl";
  std::string error;
  ASSERT_TRUE(writeLibraryFile(p, {a, b}, error)) << error;
  Opened o(p);
  std::vector<int> v, n;
  std::vector<std::string> names;
  ASSERT_EQ(o.io.ReadCatalogue(o.book, v, n, names), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"DEMO", "SECOND"}));
  EXPECT_EQ(v, (std::vector<int>{3, 3}));
  EXPECT_EQ(n, (std::vector<int>{1, 1}));
  Opened second(p, 0, "SECOND");
  ASSERT_EQ(second.io.Open(second.book), 1);
}

}  // namespace
