#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>

#include "platform/fs/fault.h"
#include "platform/riff/tests/riff_fixtures.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "player/env/file_util.h"
#include "player/env/segment_chunk.h"

using namespace orv;
using namespace rifftest;
namespace rf = plat::riff;

namespace {

std::string samples(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(i * 7 + 1);
  return s;
}

// A canonical mono 16-bit WAV with `dataSize` sample bytes.
std::string wav(size_t dataSize) {
  return riff("WAVE", chunk("fmt ", pcmFmt(1, 11025, 16)) + chunk("data", samples(dataSize)));
}

std::filesystem::path put(const std::string& bytes, const char* name = "a.wav") {
  const auto path = tvtest::sandbox().base / name;
  tvtest::writeFile(path, bytes);
  return path;
}

// The segment tables of a file, in order, decoded against its data size.
std::vector<std::vector<Segment>> tables(const std::string& bytes) {
  rf::RiffLayout layout;
  rf::MemorySource src(bytes);
  EXPECT_FALSE(rf::readLayout(src, layout));
  const rf::Chunk* data = layout.find(rf::kDataId);
  EXPECT_NE(data, nullptr);
  std::vector<std::vector<Segment>> out;
  for (const rf::Chunk& c : layout.chunks) {
    if (c.id != kSegmentChunkId) continue;
    std::string body;
    EXPECT_FALSE(rf::readBody(src, c, body));
    std::vector<Segment> segs;
    EXPECT_FALSE(decodeSegmentTable(body, data ? data->size : 0, segs)) << "table at " << c.offset;
    out.push_back(segs);
  }
  return out;
}

TEST(SegmentChunk, OneSegmentIsTheWholeData) {
  const std::string before = wav(1000);
  const auto path = put(before);
  const float share = 0.3f;  // not read: the only segment takes everything
  ASSERT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 1, &share), 1);
  const std::string after = tvtest::readFile(path);
  ASSERT_EQ(after.size(), before.size() + 18);
  EXPECT_EQ(after.substr(0, 4), "RIFF");
  EXPECT_EQ(after.substr(8, before.size() - 8), before.substr(8));
  EXPECT_EQ(after.substr(before.size()), "QLON" + u32(10) + u16(1) + u32(0) + u32(1000));
  EXPECT_EQ(rf::getU32(after.data() + 4), after.size() - 8);
  // A null share list is enough for one segment.
  EXPECT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 1, nullptr), 1);
}

TEST(SegmentChunk, SharesCutTheDataAndTheLastTakesTheRest) {
  const std::string before = wav(1000);
  const auto path = put(before);
  const float shares[] = {0.25f, 0.5f, 123.0f};
  ASSERT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 3, shares), 1);
  const std::string after = tvtest::readFile(path);
  ASSERT_EQ(after.size(), before.size() + 34);
  EXPECT_EQ(rf::getU32(after.data() + 4), rf::getU32(before.data() + 4) + 34);
  EXPECT_EQ(after.substr(before.size(), 10), "QLON" + u32(26) + u16(3));
  EXPECT_EQ(tables(after), (std::vector<std::vector<Segment>>{{{0, 250}, {250, 500}, {750, 250}}}));
  // The result is still a WAV file the strict reader takes, samples intact.
  rf::Wav back;
  ASSERT_FALSE(rf::readWav(after, back));
  EXPECT_EQ(back.samples, samples(1000));
}

TEST(SegmentChunk, CutTable) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    uint32_t dataSize;
    std::vector<float> shares;
    bool ok;
    std::vector<Segment> segments;
  } cases[] = {
      {"truncated lengths leave the rest to the last", 10, {0.33f, 0.33f, 0.0f}, true, {{0, 3}, {3, 3}, {6, 4}}},
      {"shares past the whole are cut to what remains", 1000, {0.75f, 0.5f, 0.5f}, true, {{0, 750}, {750, 250}, {1000, 0}}},
      {"a share above 1 takes everything", 100, {7.0f, 0.0f}, true, {{0, 100}, {100, 0}}},
      {"zero shares", 8, {0.0f, 0.0f}, true, {{0, 0}, {0, 8}}},
      {"empty data", 0, {0.5f, 0.5f}, true, {{0, 0}, {0, 0}}},
      {"largest data", 0xFFFFFFFFu, {1.0f, 0.5f}, true, {{0, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0}}},
      {"the last share is not read", 4, {0.5f, nan}, true, {{0, 2}, {2, 2}}},
      {"NaN", 100, {nan, 0.5f}, false, {}},
      {"negative", 100, {-0.1f, 0.5f}, false, {}},
      {"infinite", 100, {inf, 0.5f}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Segment> out;
    const std::error_code ec = cutSegments(c.dataSize, static_cast<int>(c.shares.size()), c.shares.data(), out);
    EXPECT_EQ(!ec, c.ok);
    EXPECT_EQ(out, c.segments);
  }
  std::vector<Segment> out;
  EXPECT_TRUE(cutSegments(10, 0, nullptr, out));
  EXPECT_TRUE(cutSegments(10, kMaxSegments + 1, nullptr, out));
  EXPECT_TRUE(cutSegments(10, 2, nullptr, out));
}

TEST(SegmentChunk, SecondAppendAddsASecondTable) {
  const std::string before = wav(100);
  const auto path = put(before);
  const float a[] = {0.5f, 0.0f};
  const float b[] = {0.1f, 0.2f, 0.0f};
  ASSERT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 2, a), 1);
  ASSERT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 3, b), 1);
  const std::string after = tvtest::readFile(path);
  EXPECT_EQ(after.size(), before.size() + 26 + 34);
  EXPECT_EQ(rf::getU32(after.data() + 4), after.size() - 8);
  EXPECT_EQ(tables(after), (std::vector<std::vector<Segment>>{{{0, 50}, {50, 50}}, {{0, 10}, {10, 20}, {30, 70}}}));
}

TEST(SegmentChunk, LayoutsAroundTheData) {
  const std::string fmt = chunk("fmt ", pcmFmt(1, 8000, 8));
  // An odd data chunk whose pad byte the writer dropped (it ends the form).
  const std::string oddNoPad = "RIFF" + u32(4 + 8 + 16 + 8 + 5) + "WAVE" + fmt + rawChunk("data", 5, "abcde");
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t dataSize;
  } cases[] = {
      {"odd data with its pad byte", riff("WAVE", fmt + chunk("data", "abcde")), 5},
      {"odd data without the final pad byte", oddNoPad, 5},
      {"a LIST chunk after the data", riff("WAVE", fmt + chunk("data", samples(40)) + chunk("LIST", "INFOIART" + u32(3) + "ab\0" + std::string(1, '\0'))), 40},
      {"\"data\" spelled inside a chunk before the data", riff("WAVE", fmt + chunk("junk", "data" + u32(99)) + chunk("data", samples(12))), 12},
      {"data before fmt", riff("WAVE", chunk("data", samples(6)) + fmt), 6},
      {"data tag at byte 96, its size past byte 100", riff("WAVE", fmt + chunk("LIST", "INFO" + std::string(48, 'x')) + chunk("data", samples(30))), 30},
      {"data far past the first 100 bytes", riff("WAVE", fmt + chunk("LIST", "INFO" + std::string(500, 'x')) + chunk("data", samples(30))), 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = put(c.bytes);
    const float shares[] = {0.5f, 0.0f};
    ASSERT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 2, shares), 1);
    const std::string after = tvtest::readFile(path);
    const uint32_t half = c.dataSize / 2;
    EXPECT_EQ(tables(after), (std::vector<std::vector<Segment>>{{{0, half}, {half, c.dataSize - half}}}));
    EXPECT_EQ(rf::getU32(after.data() + 4), after.size() - 8);
    // The chunk stands after every other chunk: it ends the file.
    EXPECT_EQ(after.substr(after.size() - 26, 4), "QLON");
    // The in-memory writer gives the same bytes.
    std::string mem = c.bytes;
    ASSERT_FALSE(appendSegmentChunk(mem, 2, shares));
    EXPECT_EQ(mem, after);
  }
}

TEST(SegmentChunk, RefusedFilesStayUnchanged) {
  const std::string fmt = chunk("fmt ", pcmFmt(1, 8000, 8));
  const float good[] = {0.5f, 0.0f};
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(), 0.0f};
  struct Case {
    const char* what;
    std::string bytes;
    int count;
    const float* shares;
  } cases[] = {
      {"no data chunk", riff("WAVE", fmt), 2, good},
      {"\"data\" only inside another chunk", riff("WAVE", fmt + chunk("LIST", "INFOdata" + u32(2) + "xy")), 2, good},
      {"not RIFF", "RIFX" + wav(10).substr(4), 2, good},
      {"another form", riff("AVI ", chunk("data", "abcd")), 2, good},
      {"data size larger than the bytes present", "RIFF" + u32(4 + 8 + 16 + 8 + 4) + "WAVE" + fmt + rawChunk("data", 400, "abcd"), 2, good},
      {"bytes after the form", wav(10) + "tail", 2, good},
      {"empty file", "", 2, good},
      {"bad share", wav(10), 2, bad},
      {"negative count", wav(10), -1, good},
      {"count past 16 bits", wav(10), kMaxSegments + 1, good},
      {"no shares for two segments", wav(10), 2, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = put(c.bytes);
    EXPECT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), c.count, c.shares), 0);
    EXPECT_EQ(tvtest::readFile(path), c.bytes);
    std::string mem = c.bytes;
    EXPECT_TRUE(appendSegmentChunk(mem, c.count, c.shares));
    EXPECT_EQ(mem, c.bytes);
  }
}

TEST(SegmentChunk, CountZeroSucceedsWithoutWriting) {
  const auto path = put(wav(10));
  EXPECT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 0, nullptr), 1);
  EXPECT_EQ(tvtest::readFile(path), wav(10));
  // Even a file that is no WAV at all is not looked at.
  const auto other = put("plain text", "b.txt");
  EXPECT_EQ(COrv_FileUtil().AppendSegmentChunk(other.string(), 0, nullptr), 1);
}

TEST(SegmentChunk, FileThatCannotBeOpenedIsReported) {
  const auto path = tvtest::sandbox().base / "missing.wav";
  testing::internal::CaptureStderr();
  EXPECT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 1, nullptr), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Can't open file " + path.string() + ", error = " + std::to_string(ENOENT) + "\n");
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SegmentChunk, FailedWriteLeavesTheFileAsItWas) {
  plat::fs::FaultScope faults;
  const std::string before = wav(100);
  const auto path = put(before);
  plat::fs::injectFault(plat::fs::FaultOp::Write, "a.wav", ENOSPC);
  testing::internal::CaptureStderr();
  EXPECT_EQ(COrv_FileUtil().AppendSegmentChunk(path.string(), 1, nullptr), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(tvtest::readFile(path), before);
}

TEST(SegmentTable, DecodeChecksCountOrderAndSum) {
  const std::string good = u16(2) + u32(0) + u32(3) + u32(3) + u32(7);
  struct Case {
    const char* what;
    std::string body;
    bool ok;
  } cases[] = {
      {"good", good, true},
      {"empty table of empty data needs data size 0", u16(0), false},
      {"count larger than the body", u16(3) + good.substr(2), false},
      {"count smaller than the body", u16(1) + good.substr(2), false},
      {"a gap", u16(2) + u32(0) + u32(3) + u32(4) + u32(6), false},
      {"lengths past the data", u16(2) + u32(0) + u32(3) + u32(3) + u32(8), false},
      {"lengths short of the data", u16(2) + u32(0) + u32(3) + u32(3) + u32(6), false},
      {"wrapping length", u16(2) + u32(0) + u32(0xFFFFFFFFu) + u32(0xFFFFFFFFu) + u32(11), false},
      {"one byte", std::string(1, '\0'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Segment> out;
    EXPECT_EQ(!decodeSegmentTable(c.body, 10, out), c.ok);
    EXPECT_EQ(out.size(), c.ok ? 2u : 0u);
  }
}

TEST(FindBytes, FindsTheFirstMatchUpToTheLastPosition) {
  const std::string buffer = "xxRIFFabcdata";
  struct Case {
    std::string pattern;
    size_t count;
    std::ptrdiff_t index;
  } cases[] = {
      {"RIFF", buffer.size(), 2},
      {"data", buffer.size(), 9},     // ends at the last byte
      {"data", buffer.size() - 1, -1},  // one byte short of it
      {"a", buffer.size(), 6},
      {"zz", buffer.size(), -1},
      {"", buffer.size(), -1},
      {"xxRIFFabcdata!", buffer.size(), -1},
      {"x", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + "/" + std::to_string(c.count));
    EXPECT_EQ(FindBytes(buffer.data(), c.pattern.data(), c.count, c.pattern.size()), c.index);
  }
}

}  // namespace
