// The loaders against content files that lie about their own layout, and
// against failing file operations while the speech is rebuilt.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/testing/test_env.h"
#include "player/book/content_dispatch.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/book/tests/content_fixture.h"
#include "player/book/tests/info_test_sink.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;
using booktest::le16;
using booktest::le32;
using booktest::member;
using booktest::patch;
using booktest::recordPayload;

struct Opened {
  RecordingSink sink;
  COrv_Talvane book;
  COrv_TvlCoreIO io;
  COrv_InfoBundle bundle;
  explicit Opened(const fs::path& p) {
    io.SetErrorSink(&sink);
    book.SetCode("DEMO");
    book.SetSourceFile(p.string(), -1);
  }
};

Book listsBook() {
  Book b;
  b.language = 1;
  Echomark e;
  e.fixedWords = {1, 2};
  e.keywords = {3};
  e.segmentStarts = {0, 4};
  e.dictionary = {{1, 1}, {2, 2}};
  e.links = {{"Verbs", 2}, {"Nouns", 5}};
  e.normalWav = makeWav(200, {0.5f, 0.5f});
  b.echomarks = {e};
  b.dictionary = {{"one", "first", "the first word"}, {"two", "second", "the second word"}};
  return b;
}

TEST(LoaderBounds, NumberListsAndDictionaryPairsOutOfBounds) {
  struct Case {
    const char* name;
    int kind;
    std::function<void(const fs::path&, const std::string&)> spoil;
  };
  const auto count = [](int type) {
    return [type](const fs::path& p, const std::string& s) { patch(p, recordPayload(s, type), le16(0x7FFF)); };
  };
  const auto pairEntry = [](uint16_t entry) {
    return [entry](const fs::path& p, const std::string& s) { patch(p, recordPayload(s, 8) + 4, le16(entry)); };
  };
  const std::vector<Case> cases = {
      {"fixed words longer than their group", 8, count(4)},
      {"keywords longer than their group", 16, count(6)},
      {"sorted words longer than their group", 64, count(7)},
      {"more dictionary pairs than the group holds", 32, count(8)},
      {"dictionary entry 0", 32, pairEntry(0)},
      {"dictionary entry past the entry member", 32, pairEntry(3)},
      {"dictionary text outside its member", 32,
       [](const fs::path& p, const std::string& s) { patch(p, member(s, "DCI").offset + 2, le32(0x00FFFFFF)); }},
      {"dictionary text longer than its member", 32,
       [](const fs::path& p, const std::string& s) { patch(p, member(s, "DCT").offset, le16(0x7FFF)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = booktest::writeBook(listsBook(), "bounds.tvb");
    c.spoil(p, tvtest::readFile(p));
    Opened o(p);
    ASSERT_EQ(o.io.Open(o.book), 1);
    EXPECT_EQ(o.io.ReadInfo(c.kind, 1, o.bundle, -1, 0), 0);
    ASSERT_EQ(o.sink.errors.size(), 1u);
    EXPECT_EQ(o.sink.errors[0].code, 101);
    EXPECT_FALSE(o.sink.errors[0].text.empty());
    const COrv_WordInfo& w = o.bundle.Words();
    EXPECT_EQ(w.GetList8Count() + w.GetList16Count() + w.GetSortedCount(), 0);
    EXPECT_EQ(o.bundle.Dictionary().GetWordCount(), 0);
  }
}

TEST(LoaderBounds, LinkMembers) {
  struct Case {
    const char* name;
    std::string from, to;
    int result;
    int links;
  };
  const std::vector<Case> cases = {
      {"as written", "", "", 1, 2},
      {"no [Links] line", "[Links]", "[Other]", 0, 0},
      {"a first line without =", "Verbs=2", "Verbs 2", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = booktest::writeBook(listsBook(), "links.tvb");
    if (!c.from.empty()) {
      const std::string s = tvtest::readFile(p);
      const size_t at = s.find(c.from, member(s, "G01").offset);
      ASSERT_NE(at, std::string::npos);
      patch(p, at, c.to);
    }
    Opened o(p);
    ASSERT_EQ(o.io.Open(o.book), 1);
    EXPECT_EQ(o.io.ReadInfo(512, 1, o.bundle, -1, 0), c.result);
    EXPECT_EQ(o.bundle.Links().GetLinkCount(), c.links);
    EXPECT_EQ(o.bundle.Links().GetLoaded(), 1);
    // A refused member says why.
    EXPECT_EQ(o.sink.errors.size(), c.result == 0 ? 1u : 0u);
    EXPECT_EQ(booktest::tempFiles(), 0u);
  }
}

// 100 Echomarks; 10 and 99 have speech of their own lengths. Echomark 100
// must never play another Echomark's speech.
Book hundredEchomarks() {
  Book b;
  b.language = 1;
  for (int n = 1; n <= 100; ++n) {
    Echomark e;
    e.introduction = "Echomark " + std::to_string(n);
    if (n == 10) e.normalWav = makeWav(60, {});
    if (n == 99) e.normalWav = makeWav(70, {});
    b.echomarks.push_back(e);
  }
  return b;
}

// The first normal-speed header record of Echomark n (from the "S01" head).
size_t headerRecord(const std::string& file, int n) {
  const booktest::Place s01 = member(file, "S01");
  const uint16_t record = static_cast<uint16_t>(static_cast<uint8_t>(file[s01.offset + 10 + 2 * n]) |
                                                static_cast<uint8_t>(file[s01.offset + 11 + 2 * n]) << 8);
  return s01.offset + 512 + 33 * (static_cast<size_t>(record) - 1);
}

TEST(LoaderBounds, EchomarksAbove99HaveNoSpeech) {
  const fs::path p = booktest::writeBook(hundredEchomarks(), "hundred.tvb");
  Opened o(p);
  ASSERT_EQ(o.io.Open(o.book), 1);
  ASSERT_EQ(o.io.ReadInfo(128, 99, o.bundle, -1, 1), 1);
  EXPECT_EQ(tvtest::readFile(o.bundle.Waves().GetWaveFile(0)), makeWav(70, {}));
  ASSERT_EQ(o.io.ReadInfo(128, 10, o.bundle, -1, 1), 1);
  EXPECT_EQ(tvtest::readFile(o.bundle.Waves().GetWaveFile(0)), makeWav(60, {}));

  o.bundle.ClearAll();
  EXPECT_EQ(o.io.ReadInfo(128, 100, o.bundle, -1, 1), 0);
  ASSERT_EQ(o.sink.errors.size(), 1u);
  EXPECT_EQ(o.sink.errors[0].code, 18);
  EXPECT_NE(o.sink.errors[0].text.find("Echomark 100"), std::string::npos) << o.sink.errors[0].text;
  EXPECT_TRUE(o.bundle.Waves().GetWaveFile(0).empty());
  EXPECT_EQ(o.io.ReadInfo(128, 100, o.bundle, -1, 0x1FE), 1);  // other speeds are simply absent
  EXPECT_EQ(o.io.ReadInfo(512, 100, o.bundle, -1, 0), 1);      // and so are links
  EXPECT_FALSE(o.bundle.Links().HasLinks());
  EXPECT_EQ(booktest::tempFiles(), 0u);
}

TEST(LoaderBounds, SpeechDescribedAbove99IsRefused) {
  struct Case {
    const char* name;
    size_t offset;  // from Echomark 100's first header record
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"a normal-speed header", 1 + 6, std::string("RIFF")},
      {"a slower rendering", 33, std::string(1, '\x0C')},
      {"a faster rendering", 33, std::string(1, '\x0D')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = booktest::writeBook(hundredEchomarks(), "refused.tvb");
    patch(p, headerRecord(tvtest::readFile(p), 100) + c.offset, c.bytes);
    Opened o(p);
    EXPECT_EQ(o.io.Open(o.book), 0);
    ASSERT_EQ(o.sink.errors.size(), 1u);
    EXPECT_EQ(o.sink.errors[0].code, 16);
    EXPECT_EQ(o.sink.errors[0].text, "Echomark 100 has speech, but only Echomarks 1 to 99 can have it");
    EXPECT_EQ(booktest::tempFiles(), 0u);
  }
}

TEST(LoaderBounds, FaultsWhileRebuildingTheSpeech) {
  struct Case {
    const char* name;
    plat::fs::FaultOp op;
    const char* path;
    int skip;
    int code;
    bool waveKept;  // the rebuilt file already belongs to the wave list
  };
  using Op = plat::fs::FaultOp;
  const std::vector<Case> cases = {
      {"no temporary file", Op::Open, "MIO", 0, 19, false},
      {"the temporary file cannot be opened", Op::Open, "MIO", 1, 19, false},
      {"the temporary file cannot be written", Op::Write, "MIO", 0, 19, false},
      {"the content file cannot be opened", Op::Open, "speech.tvb", 0, 4, false},
      {"the speech cannot be read", Op::Read, "speech.tvb", 0, 4, false},
      {"the rebuilt file cannot be opened to be checked", Op::Open, "MIO", 2, 16, false},
      {"the rebuilt file cannot be opened for its segments", Op::Open, "MIO", 3, 4, true},
  };
  const fs::path p = booktest::writeBook(listsBook(), "speech.tvb");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened o(p);
    ASSERT_EQ(o.io.Open(o.book), 1);
    plat::fs::FaultScope scope;
    plat::fs::injectFault(c.op, c.path, EIO, 1, c.skip);
    EXPECT_EQ(o.io.ReadInfo(128, 1, o.bundle, -1, 1), 0);
    ASSERT_EQ(o.sink.errors.size(), 1u);
    EXPECT_EQ(o.sink.errors[0].code, c.code);
    EXPECT_EQ(o.sink.errors[0].source, "TvlClass2");
    EXPECT_EQ(o.bundle.Waves().GetWaveFile(0).empty(), !c.waveKept);
    EXPECT_EQ(booktest::tempFiles(), c.waveKept ? 1u : 0u);
    o.bundle.ClearAll();
    EXPECT_EQ(booktest::tempFiles(), 0u);
  }
}

}  // namespace
