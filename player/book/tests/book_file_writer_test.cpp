#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/book/book_file_writer.h"
#include "shared/scrambler/scrambler.h"

namespace {

namespace fs = std::filesystem;
using W = COrv_BookFileWriter;

void le16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void le32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
std::string u32(uint32_t v) {
  std::string s(4, '\0');
  le32(s, 0, v);
  return s;
}
std::string u16(uint16_t v) {
  std::string s(2, '\0');
  le16(s, 0, v);
  return s;
}

std::string samples(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return s;
}

// The segment chunk for a table of (start, length) records.
std::string segmentChunk(const std::vector<std::pair<uint32_t, uint32_t>>& records) {
  std::string body = u16(static_cast<uint16_t>(records.size()));
  for (auto [start, length] : records) body += u32(start) + u32(length);
  return "QLON" + u32(static_cast<uint32_t>(body.size())) + body;
}

// A hand-made WAV: "fmt ", an optional LIST chunk before the data, the data,
// then optionally a segment chunk.
std::string makeWav(const std::string& data, bool withList, const std::string& trailing,
                    uint16_t formatTag = 1) {
  std::string fmt = u16(formatTag) + u16(1) + u32(11025) + u32(22050) + u16(2) + u16(16);
  std::string body = "WAVE";
  body += "fmt " + u32(16) + fmt;
  if (withList) body += "LIST" + u32(8) + "INFOxyz!";
  body += "data" + u32(static_cast<uint32_t>(data.size())) + data;
  if (data.size() & 1) body += '\0';
  body += trailing;
  return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

// The canonical header of a mono 16-bit 11025 Hz WAV, written out by hand.
std::string canonicalHeader(uint32_t dataSize, uint32_t trailing) {
  return "RIFF" + u32(36 + dataSize + (dataSize & 1) + trailing) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(1) +
         u32(11025) + u32(22050) + u16(2) + u16(16) + "data" + u32(dataSize);
}

std::string scrambled255(std::string s) {
  COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 1, 0);
  return s;
}
std::string scrambledAdd(std::string s) {
  COrv_Scrambler().Scramble(s.data(), s.size(), 1, 0);
  return s;
}
std::string unscrambledAdd(std::string s) {
  COrv_Scrambler().Scramble(s.data(), s.size(), 0, 0);
  return s;
}

class BookFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = tvtest::sandbox().base / "books";
    fs::create_directories(folder_);
  }

  // Opens the writer on folder_/name and writes the empty frame: header,
  // index records 1-248, an empty part header and 250 empty member records.
  void startBook(W& w, const std::string& name = "Book.tvl") {
    w.SetFolder(folder_.string());
    w.SetName(name);
    w.BuildPath();
    ASSERT_TRUE(w.Create()) << w.LastError();
    w.InitHeader(2, 0, 1, 0);
    ASSERT_TRUE(w.WriteHeader());
    w.SetIndexEntry("", 0, 0);
    for (int n = 1; n <= 248; ++n) ASSERT_TRUE(w.WriteIndexEntry(n, 0));
    ASSERT_TRUE(w.Seek(W::kPartOffset));
    w.SetPartHeader(0, "");
    ASSERT_TRUE(w.WritePartHeader());
    w.SetMemberRecord("", 0, 0, 0);
    for (int i = 0; i < W::kMemberRecords; ++i) ASSERT_TRUE(w.WriteMemberRecord());
  }

  std::string writeSource(const std::string& name, const std::string& bytes) {
    const fs::path p = tvtest::sandbox().base / name;
    tvtest::writeFile(p, bytes);
    return p.string();
  }

  std::vector<std::string> filesInFolder() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder_)) out.push_back(e.path().filename().string());
    return out;
  }

  fs::path folder_;
  plat::ui::RecordingSink sink_;
  plat::ui::ScopedSink scoped_{sink_};
  plat::fs::FaultScope faults_;
};

// The whole file of a book with a record member and one audio member, built
// byte by byte from the layout.
TEST_F(BookFileWriterTest, TwoMemberBookHasTheGoldenLayout) {
  std::string s01(512 + 2 * 33, '\0');
  s01[0] = 32;
  s01[512] = 9;
  s01[512 + 33] = 9;
  const std::string data = samples(300);
  const std::string chunk = segmentChunk({{0, 100}, {100, 200}});
  const std::string wavPath = writeSource("e1.wav", makeWav(data, true, chunk));

  W w;
  startBook(w);
  uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
  ASSERT_EQ(w.AppendBufferEntry("S01", s01.data(), static_cast<uint32_t>(s01.size()), d, m, len), 1) << w.LastError();
  EXPECT_EQ(len, s01.size());
  const uint32_t p = W::kFirstDataPosition + 512;
  ASSERT_EQ(w.AppendAudioFile(wavPath, "001", d, m, p, 32, len), 1) << w.LastError();
  EXPECT_EQ(len, data.size() + chunk.size());
  EXPECT_EQ(d, W::kFirstDataPosition + s01.size() + data.size() + chunk.size());
  EXPECT_EQ(m, W::kFirstTablePosition + 24);
  w.SetIndexEntry("Ab_12", 4009, static_cast<int32_t>(1 + W::kPartTableSize + d - W::kFirstDataPosition));
  ASSERT_TRUE(w.WriteIndexEntry(1, 1));
  ASSERT_TRUE(w.Seek(W::kPartOffset));
  w.SetPartHeader(2, "");
  ASSERT_TRUE(w.WritePartHeader());
  ASSERT_FALSE(fs::exists(w.GetPath())) << "the target appears only on commit";
  ASSERT_TRUE(w.Commit()) << w.LastError();

  std::string expected(W::kFirstDataPosition, '\0');
  expected.replace(0, 4, std::string("CD\x02\x00", 4));
  le16(expected, 4, 1);
  expected.replace(8, 8, scrambled255("AB_12   "));
  le32(expected, 16, 4009);
  le32(expected, 20, static_cast<uint32_t>(1 + 3016 + s01.size() + data.size() + chunk.size()));
  le16(expected, 4008, 2);
  expected.replace(4024, 3, scrambled255("S01"));
  le32(expected, 4027, 7025);
  le32(expected, 4031, static_cast<uint32_t>(s01.size()));
  expected.replace(4036, 3, scrambled255("001"));
  le32(expected, 4039, static_cast<uint32_t>(7025 + s01.size()));
  le32(expected, 4043, static_cast<uint32_t>(data.size() + chunk.size()));
  std::string s01Stored = s01;
  const std::string header = scrambledAdd(canonicalHeader(300, static_cast<uint32_t>(chunk.size())));
  s01Stored.replace(512 + 7, 26, header.substr(0, 26));
  s01Stored.replace(512 + 34, 18, header.substr(26));
  expected += s01Stored + data + chunk;

  const std::string got = tvtest::readFile(w.GetPath());
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "first difference at byte " << i;
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"Book.tvl"});
}

// Where the header pieces go by the member's first character, and that the
// pieces and the member rebuild a canonical WAV that still has its segments.
TEST_F(BookFileWriterTest, AudioHeaderPiecesByMemberKind) {
  struct Case {
    const char* name;
    size_t split;      // 0: no header kept
    uint32_t firstAt;  // offset of the first piece from P
  };
  const Case cases[] = {{"001", 26, 7}, {"201", 24, 9}, {"601", 24, 9}, {"G01", 0, 0}, {"101", 0, 0}};
  const uint32_t k = 32;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = samples(2048);
    const std::string chunk = segmentChunk({{0, 1000}, {1000, 1000}, {2000, 48}});
    const std::string wavPath = writeSource("w.wav", makeWav(data, true, chunk));
    const std::string area(7 * 33, '\x55');
    W w;
    startBook(w);
    uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
    ASSERT_EQ(w.AppendBufferEntry("S01", area.data(), static_cast<uint32_t>(area.size()), d, m, len), 1);
    const uint32_t p = W::kFirstDataPosition;
    ASSERT_EQ(w.AppendAudioFile(wavPath, c.name, d, m, p, k, len), 1) << w.LastError();
    ASSERT_TRUE(w.Commit());

    const std::string file = tvtest::readFile(w.GetPath());
    const std::string storedArea = file.substr(W::kFirstDataPosition, area.size());
    const std::string member = file.substr(W::kFirstDataPosition + area.size());
    EXPECT_EQ(member, data + chunk);
    if (c.split == 0) {
      EXPECT_EQ(storedArea, area);
      continue;
    }
    const std::string header =
        unscrambledAdd(storedArea.substr(c.firstAt, c.split) + storedArea.substr(k + 2, 44 - c.split));
    EXPECT_EQ(header, canonicalHeader(2048, static_cast<uint32_t>(chunk.size())));
    plat::riff::Wav rebuilt;
    ASSERT_FALSE(plat::riff::readWav(header + member, rebuilt));
    EXPECT_EQ(rebuilt.samples, data);
    const plat::riff::Chunk* seg = rebuilt.layout.find(plat::riff::makeId("QLON"));
    ASSERT_NE(seg, nullptr);
    EXPECT_EQ(seg->size, chunk.size() - 8);
  }
}

// Member lengths: an empty WAV still keeps its header, an odd sample count
// keeps its pad byte, a WAV without segments is the samples alone, an
// extensible PCM WAV is stored as plain PCM.
TEST_F(BookFileWriterTest, AudioMemberLengths) {
  struct Case {
    std::string wav;
    std::string member;
    std::string header;
  };
  const std::string seg = segmentChunk({{0, 5}});
  std::string ext = u16(0xFFFE) + u16(1) + u32(11025) + u32(22050) + u16(2) + u16(16) + u16(22) + u16(16) +
                    u32(4) + u16(1) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  std::string extBody = "WAVEfmt " + u32(static_cast<uint32_t>(ext.size())) + ext + "data" + u32(4) + "abcd";
  const Case cases[] = {
      {makeWav("", false, ""), "", canonicalHeader(0, 0)},
      {makeWav("abcde", false, seg), std::string("abcde\0", 6) + seg, canonicalHeader(5, static_cast<uint32_t>(seg.size()))},
      {makeWav("abcd", true, ""), "abcd", canonicalHeader(4, 0)},
      {"RIFF" + u32(static_cast<uint32_t>(extBody.size())) + extBody, "abcd", canonicalHeader(4, 0)},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(i++);
    const std::string wavPath = writeSource("w.wav", c.wav);
    const std::string area(100, '\0');
    W w;
    startBook(w);
    uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 99;
    ASSERT_EQ(w.AppendBufferEntry("S01", area.data(), 100, d, m, len), 1);
    ASSERT_EQ(w.AppendAudioFile(wavPath, "007", d, m, W::kFirstDataPosition, 32, len), 1) << w.LastError();
    EXPECT_EQ(len, c.member.size());
    ASSERT_TRUE(w.Commit());
    const std::string file = tvtest::readFile(w.GetPath());
    EXPECT_EQ(file.substr(W::kFirstDataPosition + 100), c.member);
    const std::string stored = file.substr(W::kFirstDataPosition, 100);
    EXPECT_EQ(unscrambledAdd(stored.substr(7, 26) + stored.substr(34, 18)), c.header);
  }
}

TEST_F(BookFileWriterTest, IndexRecords) {
  struct Case {
    std::string name;
    int n;
    int scramble;
    bool ok;
    std::string stored;  // the 8 name bytes
  };
  const Case cases[] = {
      {"abc", 1, 1, true, scrambled255("ABC     ")},
      {"ABCDEFGH", 2, 1, true, scrambled255("ABCDEFGH")},
      {"ABCDEFGHI", 3, 1, false, ""},  // would be matched on its first 8 bytes
      {"AB-1", 3, 1, false, ""},
      {"", 3, 1, false, ""},
      {"x", 250, 0, true, std::string("x\0\0\0\0\0\0\0", 8)},
      {"TOOLONGNAME", 249, 0, false, ""},
      {"A", 0, 1, false, ""},
      {"A", 251, 1, false, ""},
  };
  W w;
  startBook(w);
  for (const Case& c : cases) {
    w.SetIndexEntry(c.name, 4009, -2);
    EXPECT_EQ(w.WriteIndexEntry(c.n, c.scramble), c.ok) << c.name << " " << c.n;
  }
  ASSERT_TRUE(w.Commit());
  const std::string file = tvtest::readFile(w.GetPath());
  for (const Case& c : cases) {
    if (!c.ok) continue;
    const size_t at = 16 * static_cast<size_t>(c.n) - 8;
    EXPECT_EQ(file.substr(at, 8), c.stored) << c.name;
    EXPECT_EQ(file.substr(at + 8, 8), u32(4009) + u32(0xFFFFFFFE)) << c.name;
  }
  EXPECT_EQ(file.substr(16 * 3 - 8, 16), std::string(16, '\0')) << "refused records leave the record alone";
}

TEST_F(BookFileWriterTest, RefusesMemberNamesReadersWouldMixUp) {
  W w;
  startBook(w);
  uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
  ASSERT_EQ(w.AppendBufferEntry("010", "x", 1, d, m, len), 1);
  ASSERT_EQ(w.AppendBufferEntry("ID", "y", 1, d, m, len), 1);
  for (std::string bad : {std::string("0100"), std::string(""), std::string("010"), std::string("ID "),
                          std::string("a\0b", 3)}) {
    const uint32_t d0 = d, m0 = m;
    EXPECT_EQ(w.AppendBufferEntry(bad, "z", 1, d, m, len), 0) << bad;
    EXPECT_FALSE(w.LastError().empty());
    EXPECT_EQ(d, d0);
    EXPECT_EQ(m, m0);
  }
  // The same names are free again in the next part.
  w.SetPartStart(d);
  d += W::kPartTableSize;
  m = w.GetPartStart() + W::kPartHeaderSize;
  EXPECT_EQ(w.AppendBufferEntry("010", "x", 1, d, m, len), 1) << w.LastError();
  // Data must not overwrite the table, records must stay inside it.
  uint32_t low = w.GetPartStart() + 100;
  EXPECT_EQ(w.AppendBufferEntry("011", "x", 1, low, m, len), 0);
  uint32_t odd = m + 1;
  EXPECT_EQ(w.AppendBufferEntry("012", "x", 1, d, odd, len), 0);
}

TEST_F(BookFileWriterTest, MemberTableHoldsTwoHundredFiftyAndRefusesMore) {
  W w;
  startBook(w);
  uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
  for (int i = 0; i < W::kMemberRecords; ++i) {
    char name[4];
    std::snprintf(name, sizeof name, "%03d", i);
    ASSERT_EQ(w.AppendBufferEntry(name, "abc", 3, d, m, len), 1) << i;
  }
  EXPECT_EQ(m, W::kFirstDataPosition);
  const uint32_t dataEnd = d;
  EXPECT_EQ(w.AppendBufferEntry("X", "abc", 3, d, m, len), 0);
  EXPECT_NE(w.LastError().find("250"), std::string::npos) << w.LastError();
  EXPECT_EQ(d, dataEnd);
  // The audio path refuses the same way, with a message.
  const std::string wavPath = writeSource("w.wav", makeWav("ab", false, ""));
  EXPECT_EQ(w.AppendAudioFile(wavPath, "099", d, m, W::kFirstDataPosition, 32, len), 0);
  ASSERT_EQ(sink_.boxes().size(), 1u);
  EXPECT_NE(sink_.last().request.text.find("An error occurred while appending audio files !"), std::string::npos);
  w.Abort();
  EXPECT_TRUE(filesInFolder().empty()) << "nothing is left on disk";
}

TEST_F(BookFileWriterTest, AudioFailuresAreReported) {
  struct Case {
    std::string label;
    std::string bytes;  // empty: no file
    std::string message;
    std::string code;
  };
  const Case cases[] = {
      {"missing", "", "Can't open file !", "1717.550"},
      {"float", makeWav("abcd", false, "", 3), "An error occurred while appending audio files !", "1744.550"},
      {"not riff", "hello, this is no wave file at all, not even close to one", "An error occurred while appending audio files !", "1744.550"},
      {"truncated", makeWav("abcdefgh", false, "").substr(0, 47), "An error occurred while appending audio files !", "1744.550"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    sink_.clear();
    const fs::path wav = tvtest::sandbox().base / "in.wav";
    fs::remove(wav);
    if (!c.bytes.empty()) tvtest::writeFile(wav, c.bytes);
    W w;
    startBook(w);
    const std::string area(100, '\0');
    uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
    ASSERT_EQ(w.AppendBufferEntry("S01", area.data(), 100, d, m, len), 1);
    EXPECT_EQ(w.AppendAudioFile(wav, "001", d, m, W::kFirstDataPosition, 32, len), 0);
    EXPECT_EQ(d, W::kFirstDataPosition + 100);
    ASSERT_EQ(sink_.boxes().size(), 1u);
    const auto& box = sink_.last().request;
    EXPECT_EQ(box.caption, "Talvane Player: Error Window");
    EXPECT_EQ(box.icon, plat::ui::Icon::Error);
    EXPECT_EQ(box.text.rfind("Error Code:  " + c.code + "\n\n" + c.message + " \n\n ", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(wav.string()), std::string::npos);
  }
}

TEST_F(BookFileWriterTest, HeaderPositionsMustLieInWrittenData) {
  const std::string wavPath = writeSource("w.wav", makeWav("abcd", false, ""));
  W w;
  startBook(w);
  const std::string area(60, '\0');
  uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
  ASSERT_EQ(w.AppendBufferEntry("S01", area.data(), 60, d, m, len), 1);
  EXPECT_EQ(w.AppendAudioFile(wavPath, "001", d, m, W::kFirstDataPosition + 20, 32, len), 0) << "past the data";
  EXPECT_EQ(w.AppendAudioFile(wavPath, "001", d, m, 100, 32, len), 0) << "inside the index";
  EXPECT_EQ(w.AppendAudioFile(wavPath, "G01", d, m, 100, 32, len), 1) << "no header kept, nothing to place";
}

TEST_F(BookFileWriterTest, FailuresLeaveNothingHalfWritten) {
  const fs::path target = folder_ / "Book.tvl";
  tvtest::writeFile(target, "old content");
  {
    W w;
    startBook(w);
    w.Abort();
  }
  EXPECT_EQ(tvtest::readFile(target), "old content");
  {
    W w;
    startBook(w);
  }  // dropped without commit
  EXPECT_EQ(tvtest::readFile(target), "old content");
  {
    W w;
    startBook(w);
    plat::fs::injectFault(plat::fs::FaultOp::Write, ".tvw", EIO);
    uint32_t d = W::kFirstDataPosition, m = W::kFirstTablePosition, len = 0;
    EXPECT_EQ(w.AppendBufferEntry("S01", "abc", 3, d, m, len), 0);
    EXPECT_NE(w.LastError().find("write failed"), std::string::npos) << w.LastError();
  }
  EXPECT_EQ(tvtest::readFile(target), "old content");
  {
    W w;
    startBook(w);
    plat::fs::injectFault(plat::fs::FaultOp::Rename, ".tvw", EIO);
    EXPECT_FALSE(w.Commit());
  }
  EXPECT_EQ(tvtest::readFile(target), "old content");
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"Book.tvl"});
  {
    W w;
    startBook(w);
    ASSERT_TRUE(w.Commit());
  }
  EXPECT_EQ(tvtest::readFile(target).size(), W::kFirstDataPosition);
}

TEST(BookFileWriterPaths, NameFolderAndPath) {
  W w;
  w.SetName("a:b<c>d/e\\f|g?h\"i.tvl");
  EXPECT_EQ(w.GetName(), "a b c d e f g h i.tvl");
  w.SetFolder("/x/y");
  EXPECT_EQ(w.GetFolder(), "/x/y/");
  w.SetFolder("/x/y/");
  EXPECT_EQ(w.GetFolder(), "/x/y/");
  w.BuildPath();
  EXPECT_STREQ(w.GetPathPtr(), "/x/y/a b c d e f g h i.tvl");
  w.SetPath("/z/q.tvl");
  EXPECT_EQ(w.GetPath(), "/z/q.tvl");
  w.ClearName();
  w.ClearFolder();
  w.ClearPath();
  EXPECT_TRUE(w.GetName().empty() && w.GetFolder().empty() && w.GetPath().empty());
  EXPECT_FALSE(w.Create()) << "no path";
}

}  // namespace
