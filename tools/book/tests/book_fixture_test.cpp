#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "shared/scrambler/scrambler.h"
#include "tools/book/book_fixture.h"
#include "player/book/byte_fields.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

using orv::le16;
using orv::le32;
std::string unscramble255(std::string s) {
  COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 0, 0);
  return s;
}
std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
// How the readers join 32-byte lines back into one text.
std::string joinLines(const std::string& s) {
  std::string out;
  for (size_t p = 0;;) {
    out += s.substr(p, 32);
    p += 32;
    if (p > s.size()) break;
    out = trimRight(out) + " ";
  }
  return out;
}

// A reader of the layout written from scratch here, to check the builder
// against the format rather than against itself.
struct Part {
  std::map<std::string, std::string> members;  // unscrambled name -> data
  uint16_t count = 0;
};

Part readPart(const std::string& file, const std::string& code) {
  Part part;
  EXPECT_EQ(file.substr(0, 2), "CD");
  std::string key = code;
  key.resize(8, ' ');
  for (int i = 0; i < le16(file, 4); ++i) {
    const size_t at = 8 + 16 * static_cast<size_t>(i);
    if (unscramble255(file.substr(at, 8)) != key) continue;
    const size_t partAt = le32(file, at + 8) - 1;
    part.count = le16(file, partAt);
    EXPECT_EQ(partAt + le32(file, at + 12) - 1, partAt + 3016 + [&] {
      size_t sum = 0;
      for (int r = 0; r < part.count; ++r) sum += le32(file, partAt + 16 + 12 * r + 7);
      return sum;
    }());
    for (int r = 0; r < part.count; ++r) {
      const size_t rec = partAt + 16 + 12 * static_cast<size_t>(r);
      const std::string name = unscramble255(file.substr(rec, 3));
      EXPECT_EQ(part.members.count(name), 0u) << name;
      part.members[name] = file.substr(le32(file, rec + 3) - 1, le32(file, rec + 7));
    }
    return part;
  }
  ADD_FAILURE() << "book " << code << " not in the index";
  return part;
}

// The Echomark groups as the readers build them from "S01": per Echomark,
// record type -> joined payloads.
std::vector<std::map<int, std::string>> readGroups(const std::string& s01) {
  std::vector<std::map<int, std::string>> out;
  int previous = 0;
  bool pending = false;
  for (size_t at = 512; at + 33 <= s01.size(); at += 33) {
    const int type = static_cast<uint8_t>(s01[at]);
    if (type != previous && previous == 9) pending = true;
    if ((type == 1 || type == 9) && (pending || out.empty())) {
      out.emplace_back();
      pending = false;
    }
    out.back()[type] += s01.substr(at + 1, 32);
    previous = type;
  }
  return out;
}

std::vector<int16_t> numbers(const std::string& payload) {
  std::vector<int16_t> v;
  for (int i = 0; i < le16(payload, 0); ++i) v.push_back(static_cast<int16_t>(le16(payload, 2 + 2 * i)));
  return v;
}

std::string rebuiltWav(const std::string& headerScrambled, const std::string& member) {
  std::string h = headerScrambled;
  COrv_Scrambler().Scramble(h.data(), h.size(), 0, 0);
  return h + member;
}

class BookFixtureTest : public ::testing::Test {
 protected:
  fs::path target() const { return tvtest::sandbox().base / "out" / "Book.tvl"; }
  void SetUp() override { fs::create_directories(target().parent_path()); }

  plat::ui::RecordingSink sink_;
  plat::ui::ScopedSink scoped_{sink_};
};

Book richBook(int version) {
  Book b;
  b.version = version;
  b.code = "demo_1";
  b.title = "Les Misérables";
  b.category = 4;
  b.language = 2;
  b.level = 3;
  b.description = "A small book";
  b.dictionary = {{"maison", "house", "a building for people to live in"}, {"été", "summer", std::string(300, 'x')}};
  Echomark e1;
  e1.introduction = "This introduction is long enough to need two lines";
  e1.wordText = "Le soleil se lève sur la ville";
  e1.comment = std::string(40, 'c');
  e1.fixedWords = {1, 2, 3};
  e1.keywords = {2};
  e1.segmentStarts = {0, 4};
  e1.dictionary = {{3, 2}, {5, 1}};
  e1.links = {{"Verbs", 12}, {"Nouns", 3}};
  e1.normalWav = makeWav(1000, {0.25f, 0.5f, 0.0f});
  e1.slowWav = makeWav(1200, {0.5f, 0.5f});
  e1.fastWav = makeWav(800, {});
  Echomark e2;
  e2.wordText = "Deux";
  e2.normalWav = makeWav(10, {1.0f});
  Echomark e3;  // no speech: the header records still mark it
  e3.comment = "Trois";
  b.echomarks = {e1, e2, e3};
  b.spots = "spot bytes";
  return b;
}

TEST_F(BookFixtureTest, RichBookReadsBackByTheLayout) {
  for (int version : {2, 3}) {
    SCOPED_TRACE(version);
    const Book b = richBook(version);
    std::string error;
    ASSERT_TRUE(writeBookFile(target(), b, error)) << error;
    const std::string file = tvtest::readFile(target());
    EXPECT_EQ(static_cast<int>(file[2]), version);
    EXPECT_EQ(le16(file, 4), 1);
    const Part part = readPart(file, "DEMO_1");
    std::vector<std::string> names;
    for (const auto& [name, data] : part.members) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"001", "002", "201", "601", "DCI", "DCT", "G01", "ID ", "INI",
                                                "MF1", "S01"}));
    EXPECT_EQ(part.count, 11);

    std::string id = part.members.at("ID ");
    ASSERT_EQ(id.size(), 58u);
    if (version == 3) COrv_Scrambler().Scramble(id.data(), id.size(), 0, COrv_Scrambler::GetContentSeed());
    EXPECT_EQ(id[18], 4);
    EXPECT_EQ(id[20], 2);
    EXPECT_EQ(trimRight(id.substr(24, 30)), "Les Misérables");
    EXPECT_EQ(le16(id, 56), 3);
    const std::string& ini = part.members.at("INI");
    EXPECT_NE(ini.find("[DEMO_1]\r\nLevel=3\r\nDescription=A small book\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("[Books]\r\nTitle=Les Misérables\r\n") != std::string::npos, version == 3) << ini;
    EXPECT_EQ(part.members.at("MF1"), "spot bytes");
    EXPECT_EQ(part.members.at("G01"), "[Links]\r\nVerbs=12\r\nNouns=3\r\n");

    const std::string& s01 = part.members.at("S01");
    EXPECT_EQ(s01[0], 32);
    const auto groups = readGroups(s01);
    ASSERT_EQ(groups.size(), 3u);
    // The head names each Echomark's first normal-speed header record.
    for (size_t n = 1; n <= 3; ++n) {
      const size_t record = le16(s01, 10 + 2 * n);
      ASSERT_GT(record, 0u);
      EXPECT_EQ(s01[512 + 33 * (record - 1)], 9) << n;
    }
    const auto& g1 = groups[0];
    EXPECT_EQ(joinLines(trimRight(unscramble255(g1.at(1)))), b.echomarks[0].introduction);
    EXPECT_EQ(joinLines(trimRight(unscramble255(g1.at(3)))), b.echomarks[0].wordText);
    EXPECT_EQ(trimRight(unscramble255(g1.at(5))), b.echomarks[0].comment);
    EXPECT_EQ(numbers(g1.at(4)), b.echomarks[0].fixedWords);
    EXPECT_EQ(numbers(g1.at(6)), b.echomarks[0].keywords);
    EXPECT_EQ(numbers(g1.at(7)), b.echomarks[0].segmentStarts);
    EXPECT_EQ(g1.at(9).size(), 64u);
    EXPECT_EQ(g1.at(12).size(), 7 * 32u);
    EXPECT_EQ(g1.at(13).size(), 7 * 32u);
    EXPECT_EQ(trimRight(unscramble255(groups[1].at(3))), "Deux");
    EXPECT_EQ(trimRight(unscramble255(groups[2].at(5))), "Trois");
    EXPECT_EQ(groups[2].count(9), 1u);

    // Dictionary: references, the plain word in "DCI", the scrambled texts in "DCT".
    const std::string& refs = g1.at(8);
    ASSERT_EQ(le16(refs, 0), 2);
    EXPECT_EQ(le16(refs, 2), 3);
    EXPECT_EQ(le16(refs, 4), 2);
    const std::string& dci = part.members.at("DCI");
    const std::string& dct = part.members.at("DCT");
    ASSERT_EQ(dci.size(), 2 * 38u);
    for (size_t e = 0; e < 2; ++e) {
      const std::string entry = dci.substr(38 * e, 38);
      EXPECT_EQ(trimRight(entry.substr(6)), b.dictionary[e].word);
      const size_t at = le32(entry, 2) - 1;
      const uint16_t length = le16(dct, at);
      EXPECT_EQ(trimRight(unscramble255(dct.substr(at + 2, 32))), b.dictionary[e].second);
      EXPECT_EQ(unscramble255(dct.substr(at + 34, length)), b.dictionary[e].definition);
    }

    // Speech: header pieces from the records, samples and segments from the member.
    struct Speech {
      const char* member;
      std::string header;  // scrambled, from the records
      const std::string* wav;
    };
    const Speech speech[] = {{"001", g1.at(9).substr(6, 44), &b.echomarks[0].normalWav},
                             {"201", g1.at(12).substr(8, 44), &b.echomarks[0].slowWav},
                             {"601", g1.at(13).substr(8, 44), &b.echomarks[0].fastWav},
                             {"002", groups[1].at(9).substr(6, 44), &b.echomarks[1].normalWav}};
    for (const Speech& s : speech) {
      SCOPED_TRACE(s.member);
      EXPECT_EQ(rebuiltWav(s.header, part.members.at(s.member)), *s.wav) << "byte for byte";
    }
    plat::riff::Wav normal;
    ASSERT_FALSE(plat::riff::readWav(rebuiltWav(speech[0].header, part.members.at("001")), normal));
    const plat::riff::Chunk* seg = normal.layout.find(plat::riff::makeId("QLON"));
    ASSERT_NE(seg, nullptr);
    EXPECT_EQ(seg->size, 2u + 3 * 8);
  }
}

TEST_F(BookFixtureTest, SegmentChunkAsTheInstallerMakesIt) {
  const std::string body = segmentChunkBody(1000, {0.25f, 0.5f, 0.9f});
  ASSERT_EQ(body.size(), 26u);
  EXPECT_EQ(le16(body, 0), 3);
  const uint32_t expected[] = {0, 250, 250, 500, 750, 250};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(le32(body, 2 + 4 * i), expected[i]) << i;
  EXPECT_EQ(segmentChunkBody(1000, {0.3f}).substr(2), segmentChunkBody(1000, {1.0f}).substr(2));
  EXPECT_TRUE(segmentChunkBody(1000, {}).empty());
}

TEST_F(BookFixtureTest, LibraryOfTwoBooks) {
  Book a = richBook(2);
  Book b;
  b.code = "SECOND";
  b.title = "Second";
  Echomark e;
  e.wordText = "one";
  e.normalWav = makeWav(20, {1.0f});
  b.echomarks = {e};
  std::string error;
  ASSERT_TRUE(writeLibraryFile(target(), {a, b}, error)) << error;
  const std::string file = tvtest::readFile(target());
  EXPECT_EQ(le16(file, 4), 2);
  EXPECT_EQ(readPart(file, "DEMO_1").count, 11);
  const Part second = readPart(file, "SECOND");
  EXPECT_EQ(second.count, 4);
  EXPECT_EQ(second.members.count("001"), 1u);
  EXPECT_EQ(le32(file, 24 + 8) - 1, le32(file, 8 + 8) - 1 + le32(file, 8 + 12) - 1) << "the second part follows the first";
}

TEST_F(BookFixtureTest, RefusesWhatReadersWouldReadDifferently) {
  struct Case {
    const char* label;
    std::function<void(Book&)> change;
    const char* reason;
  };
  const Case cases[] = {
      {"long word", [](Book& b) { b.echomarks[0].wordText = "a " + std::string(33, 'w'); }, "longer than 32"},
      {"long introduction word", [](Book& b) { b.echomarks[0].introduction = std::string(33, 'w'); }, "longer than 32"},
      {"Echomark 100 with speech",
       [](Book& b) {
         b.echomarks.resize(100);
         for (auto& e : b.echomarks) e.wordText = "w";
         b.echomarks[99].normalWav = makeWav(4, {});
       },
       "1 to 99"},
      {"Echomark 100 with links",
       [](Book& b) {
         b.echomarks.resize(100);
         for (auto& e : b.echomarks) e.wordText = "w";
         b.echomarks[99].links = {{"x", 1}};
       },
       "1 to 99"},
      {"header runs would merge", [](Book& b) { b.echomarks = {Echomark{}, Echomark{}}; }, "read as one"},
      {"code too long", [](Book& b) { b.code = "ABCDEFGHI"; }, "code"},
      {"code with a dash", [](Book& b) { b.code = "AB-C"; }, "code"},
      {"version 1", [](Book& b) { b.version = 1; }, "version"},
      {"missing dictionary entry", [](Book& b) { b.echomarks[0].dictionary = {{1, 3}}; }, "does not exist"},
      {"long definition", [](Book& b) { b.dictionary[0].definition = std::string(2049, 'd'); }, "2048"},
      {"link name with =", [](Book& b) { b.echomarks[0].links = {{"a=b", 1}}; }, "link name"},
      {"speech that is not a WAV", [](Book& b) { b.echomarks[1].normalWav = "not a wave"; }, "002"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Book b = richBook(2);
    c.change(b);
    std::string error;
    EXPECT_FALSE(writeBookFile(target(), b, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(target().parent_path())) << "nothing is left on disk";
  }
  std::string error;
  EXPECT_FALSE(writeLibraryFile(target(), {richBook(2), richBook(2)}, error));
  EXPECT_NE(error.find("twice"), std::string::npos) << error;
  EXPECT_FALSE(writeLibraryFile(target(), {richBook(2), richBook(3)}, error));
}

TEST_F(BookFixtureTest, ManyEchomarksFillTheTableAndStop) {
  Book b;
  for (int i = 0; i < 99; ++i) {
    Echomark e;
    e.wordText = "w";
    e.normalWav = makeWav(2, {});
    e.slowWav = makeWav(2, {});
    b.echomarks.push_back(e);
  }
  std::string error;
  ASSERT_TRUE(writeBookFile(target(), b, error)) << error;  // 3 + 198 members
  for (int i = 0; i < 99; ++i) b.echomarks[i].fastWav = makeWav(2, {});
  EXPECT_FALSE(writeBookFile(target(), b, error));
  EXPECT_NE(error.find("250"), std::string::npos) << error;
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(target().parent_path()), {}),
            std::vector<fs::path>{target()})
      << "the earlier file stays, no temporary is left";
}

TEST(BookFixtureText, WrapAndCut) {
  struct Case {
    std::string text;
    bool ok;
    std::vector<std::string> lines;  // without their padding
  };
  const std::string w32(32, 'a');
  const Case wraps[] = {
      {"", true, {}},
      {"   ", true, {}},
      {"one two  three  ", true, {"one two three"}},
      {w32, true, {w32}},
      {w32 + "b", false, {}},
      {std::string(20, 'x') + " " + std::string(11, 'y'), true, {std::string(20, 'x') + " " + std::string(11, 'y')}},
      {std::string(20, 'x') + " " + std::string(12, 'y'), true, {std::string(20, 'x'), std::string(12, 'y')}},
  };
  for (const Case& c : wraps) {
    std::string lines;
    EXPECT_EQ(wrapText(c.text, lines), c.ok) << c.text;
    std::string expected;
    for (std::string l : c.lines) expected += l.append(32 - l.size(), ' ');
    EXPECT_EQ(lines, expected) << c.text;
  }
  // Comments are cut at exactly 32 bytes, a letter spanning two records.
  EXPECT_EQ(cutText(std::string(40, 'c') + "  "), std::string(40, 'c') + std::string(24, ' '));
  const std::string accented = std::string(31, 'a') + "é" + "z";
  EXPECT_EQ(cutText(accented), accented + std::string(30, ' '));
  EXPECT_EQ(cutText(w32 + w32), w32 + w32);
}

}  // namespace
