#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "player/book/content_dispatch.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/book/tests/info_test_sink.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

struct Loaded {
  RecordingSink sink;
  COrv_Talvane book;
  COrv_TvlCoreIO io;
  COrv_InfoBundle bundle;
  explicit Loaded(const Book& b) {
    const fs::path p = tvtest::sandbox().base / ("book" + std::to_string(counter()++) + ".tvb");
    std::string error;
    EXPECT_TRUE(writeBookFile(p, b, error)) << error;
    io.SetErrorSink(&sink);
    book.SetCode(b.code);
    book.SetSourceFile(p.string(), -1);
    EXPECT_EQ(io.Open(book), 1);
  }
  static int& counter() {
    static int n = 0;
    return n;
  }
};

Book bookWith(const Echomark& e, int version = 2) {
  Book b;
  b.version = version;
  b.language = 2;
  Echomark m = e;
  if (m.normalWav.empty()) m.normalWav = makeWav(50, {});
  b.echomarks = {m};
  return b;
}

TEST(InfoLoaders, TextsOfEveryLength) {
  const std::string x32(32, 'x'), y31(31, 'y'), y32(32, 'y');
  struct Case {
    std::string text, joined;
  };
  const std::vector<Case> cases = {
      {"", ""}, {std::string(31, 'a'), std::string(31, 'a')}, {x32, x32 + " "},
      {x32 + " " + y31, x32 + " " + y31}, {x32 + " " + y32, x32 + " " + y32 + " "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    Echomark e;
    e.wordText = c.text;
    e.introduction = c.text;
    e.comment = c.text;
    Loaded l(bookWith(e));
    ASSERT_EQ(l.io.ReadInfo(1, 1, l.bundle, -1, 0), 1);
    ASSERT_EQ(l.io.ReadInfo(2, 1, l.bundle, -1, 0), 1);
    ASSERT_EQ(l.io.ReadInfo(4, 1, l.bundle, -1, 0), 1);
    EXPECT_EQ(l.bundle.Words().GetText(2), c.joined);
    EXPECT_EQ(l.bundle.Introductions().GetText(2), c.joined);
    EXPECT_EQ(l.bundle.Comments().GetText(2), c.text);
    EXPECT_EQ(l.bundle.Comments().GetLoaded(), c.text.empty() ? 0 : 1);
    EXPECT_TRUE(l.sink.errors.empty());
  }
}

TEST(InfoLoaders, TextsInOtherScriptsCrossRecordsWhole) {
  // German and Russian texts whose letters of two bytes fall on the 32-byte
  // boundaries of the records, written and read back through the content
  // file: the comment (cut at exactly 32 bytes), the word text and the
  // introduction (wrapped at blanks).
  const std::string texts[] = {
      "Die Brücke über den Fluß führt zur größten Straße der Stadt Köln.",
      "Übermäßig schöne Grüße aus München, wo die Bäume blühen.",
      "Мы шли по широкой улице к старому мосту через реку Москву.",
      "Съешь же ещё этих мягких французских булок да выпей чаю.",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    Echomark e;
    e.wordText = text;
    e.introduction = text;
    e.comment = text;
    Loaded l(bookWith(e));
    for (int kind : {1, 2, 4}) ASSERT_EQ(l.io.ReadInfo(kind, 1, l.bundle, -1, 0), 1);
    EXPECT_EQ(l.bundle.Comments().GetText(2), text);
    // Wrapped texts read a full last line back with the blank it ends at.
    auto unwrapped = [](std::string s) { return s.ends_with(' ') ? s.substr(0, s.size() - 1) : s; };
    EXPECT_EQ(unwrapped(l.bundle.Words().GetText(2)), text);
    EXPECT_EQ(unwrapped(l.bundle.Introductions().GetText(2)), text);
    EXPECT_TRUE(l.sink.errors.empty());
  }
}

TEST(InfoLoaders, NumberListsAndDictionary) {
  Echomark e;
  e.fixedWords = {4, 2};
  e.keywords = {9};
  e.segmentStarts = {5, 0, 3};
  e.dictionary = {{1, 2}, {3, 1}};
  Book b = bookWith(e);
  b.dictionary = {{"quick", "fast", "moving with speed"}, {"fox", "animal", std::string(300, 'd')}};
  Loaded l(b);
  for (int kind : {8, 16, 64, 32}) ASSERT_EQ(l.io.ReadInfo(kind, 1, l.bundle, -1, 0), 1) << kind;
  const COrv_WordInfo& w = l.bundle.Words();
  EXPECT_EQ(w.GetList8Count(), 2);
  EXPECT_EQ(w.GetList8At(1), 4u);
  EXPECT_EQ(w.GetList16At(1), 9u);
  ASSERT_EQ(w.GetSortedCount(), 4);
  EXPECT_EQ((std::vector<uint32_t>{w.GetSortedAt(1), w.GetSortedAt(2), w.GetSortedAt(3), w.GetSortedAt(4)}),
            (std::vector<uint32_t>{1, 1, 4, 6}));
  const COrv_DictionaryInfo& d = l.bundle.Dictionary();
  EXPECT_EQ(d.GetFirstText(1, 2), "fox");
  EXPECT_EQ(d.GetSecondText(1, 2), "animal");
  EXPECT_EQ(d.GetDefinition(1, 2), std::string(300, 'd'));
  EXPECT_EQ(d.GetFirstText(3, 2), "quick");
  EXPECT_EQ(d.GetDefinition(3, 2), "moving with speed");

  Loaded empty(bookWith(Echomark{}));
  ASSERT_EQ(empty.io.ReadInfo(64, 1, empty.bundle, -1, 0), 1);
  EXPECT_EQ(empty.bundle.Words().GetSortedCount(), 1);
  EXPECT_EQ(empty.bundle.Words().GetSortedAt(1), 1u);
}

TEST(InfoLoaders, WavesAreRebuiltByteForByte) {
  Echomark e;
  e.normalWav = makeWav(400, {0.25f, 0.25f, 0.5f});
  e.slowWav = makeWav(500, {});
  e.fastWav = makeWav(300, {});
  Loaded l(bookWith(e, 3));
  ASSERT_EQ(l.io.ReadInfo(128, 1, l.bundle, -1, 0), 1);  // flags 0: nothing
  EXPECT_TRUE(l.bundle.Waves().GetWaveFile(0).empty());
  ASSERT_EQ(l.io.ReadInfo(128, 1, l.bundle, -1, 0x1FF), 1);
  EXPECT_TRUE(l.sink.errors.empty());
  const CQlWaves& w = l.bundle.Waves();
  EXPECT_EQ(tvtest::readFile(w.GetWaveFile(0)), e.normalWav);
  EXPECT_EQ(tvtest::readFile(w.GetWaveFile(-1)), e.slowWav);
  EXPECT_EQ(tvtest::readFile(w.GetWaveFile(1)), e.fastWav);
  EXPECT_TRUE(w.GetWaveFile(-2).empty());  // absent renderings are fine
  EXPECT_EQ(w.GetSegmentShares(), (std::vector<float>{25.0f, 25.0f, 50.0f}));
}

TEST(InfoLoaders, SegmentTables) {
  std::vector<float> thirty(30, 1.0f / 30);
  struct Case {
    std::vector<float> shares;
    uint32_t samples;
    size_t count;
  };
  for (const Case& c : std::vector<Case>{{{0.5f, 0.25f, 0.25f}, 400, 3}, {thirty, 3000, 30}, {{}, 400, 1}, {{}, 20, 1}}) {
    SCOPED_TRACE(c.count);
    Echomark e;
    e.normalWav = makeWav(c.samples, c.shares);
    Loaded l(bookWith(e));
    ASSERT_EQ(l.io.ReadInfo(128, 1, l.bundle, -1, 1), 1);
    const std::vector<float>& s = l.bundle.Waves().GetSegmentShares();
    ASSERT_EQ(s.size(), c.count);
    float sum = 0;
    for (float v : s) sum += v;
    EXPECT_NEAR(sum, 100.0f, 0.01f);
  }
}

TEST(InfoLoaders, MissingNormalSpeechIsAnError) {
  Book b = bookWith(Echomark{});
  Echomark silent;
  silent.introduction = "no speech";
  b.echomarks.push_back(silent);
  Loaded l(b);
  EXPECT_EQ(l.io.ReadInfo(128, 2, l.bundle, -1, 0x1FF), 0);
  ASSERT_EQ(l.sink.errors.size(), 1u);
  EXPECT_EQ(l.sink.errors[0].code, 18);  // told as a missing member, not as damage
  EXPECT_EQ(l.io.ReadInfo(128, 1, l.bundle, -1, 0x2), 1);  // no slower rendering: fine
  EXPECT_EQ(l.io.ReadInfo(1, 3, l.bundle, -1, 0), 0);       // no such Echomark
  EXPECT_EQ(l.sink.errors.back().code, 101);
}

TEST(InfoLoaders, Links) {
  Echomark e;
  e.links = {{"Verbs", 12}, {"Past tense", 3}};
  Loaded l(bookWith(e));
  ASSERT_EQ(l.io.ReadInfo(512, 1, l.bundle, -1, 0), 1);
  std::vector<std::string> names;
  EXPECT_EQ(l.bundle.Links().GetLinks(12, names), 1);
  EXPECT_EQ(names, std::vector<std::string>{"Verbs"});  // CRLF lines: no CR in the name
  EXPECT_TRUE(l.bundle.Links().HasName("Past tense"));

  Loaded none(bookWith(Echomark{}));
  EXPECT_EQ(none.io.ReadInfo(512, 1, none.bundle, -1, 0), 1);
  EXPECT_FALSE(none.bundle.Links().HasLinks());
  EXPECT_EQ(none.bundle.Links().GetLoaded(), 1);
}

}  // namespace
