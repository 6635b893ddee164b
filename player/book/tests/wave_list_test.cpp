#include "player/book/wave_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "player/book/tests/info_test_sink.h"

namespace {

namespace fs = std::filesystem;
using plat::riff::appendU16;
using plat::riff::appendU32;
using plat::riff::chunkBytes;

fs::path file(const std::string& name, const std::string& bytes = "x") {
  const fs::path p = tvtest::sandbox().base / name;
  tvtest::writeFile(p, bytes);
  return p;
}

std::string fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                    int extra = -1) {
  std::string s;
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  appendU16(s, tag);
  appendU16(s, channels);
  appendU32(s, rate);
  appendU32(s, rate * align);
  appendU16(s, align);
  appendU16(s, bits);
  if (extra >= 0) {
    appendU16(s, static_cast<std::uint16_t>(extra));
    s.append(static_cast<size_t>(extra), '\0');
  }
  return s;
}

std::string riff(const std::string& chunks) {
  std::string s = "RIFF";
  appendU32(s, static_cast<std::uint32_t>(4 + chunks.size()));
  return s + "WAVE" + chunks;
}

TEST(WaveList, SpeedKeys) {
  EXPECT_EQ(CQlWaves::SpeedKey(0), 0u);
  EXPECT_EQ(CQlWaves::SpeedKey(3), 3u);
  EXPECT_EQ(CQlWaves::SpeedKey(-1), 101u);
  EXPECT_EQ(CQlWaves::SpeedKey(-2), 102u);
  EXPECT_EQ(CQlWaves::SpeedKey(-4), 104u);
}

TEST(WaveList, FilesBySpeedAreOwned) {
  const fs::path a = file("a.wav"), b = file("b.wav"), c = file("c.wav"), d = file("d.wav");
  CQlWaves w;
  EXPECT_TRUE(w.SetWaveFile(-2, a));
  EXPECT_EQ(w.FindKeyPair(0, 102), 0);
  EXPECT_EQ(w.GetWaveFile(-2), a);
  EXPECT_EQ(w.GetWaveFile(2), fs::path());
  EXPECT_FALSE(w.SetWaveFile(5, c));
  EXPECT_FALSE(w.SetWaveFile(-5, c));

  EXPECT_TRUE(w.SetWaveFile(-2, a));  // the path it holds: kept
  EXPECT_TRUE(fs::exists(a));
  EXPECT_TRUE(w.SetWaveFile(-2, b));  // another path: the old file goes
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(w.GetWaveFile(-2), b);
  EXPECT_EQ(w.GetEntryCount(), 1);

  EXPECT_TRUE(w.SetWaveFile(0, c));
  EXPECT_TRUE(w.SetWaveFile(4, d));
  w.Clear();
  EXPECT_FALSE(fs::exists(b));
  EXPECT_FALSE(fs::exists(c));
  EXPECT_FALSE(fs::exists(d));
  EXPECT_EQ(w.GetWaveFile(0), fs::path());
  EXPECT_EQ(w.GetEntryCount(), 0);

  const fs::path e = file("e.wav");
  {
    CQlWaves scoped;
    scoped.SetWaveFile(1, e);
  }
  EXPECT_FALSE(fs::exists(e));
}

TEST(WaveList, CountSpeedsByDirection) {
  CQlWaves w;
  EXPECT_EQ(w.CountSpeeds(0), 0);
  w.SetWaveFile(1, file("f1"));
  w.SetWaveFile(3, file("f3"));
  w.SetWaveFile(-1, file("s1"));
  w.SetWaveFile(-4, file("s4"));
  w.SetWaveFile(-3, "");  // an entry without a file counts as none
  EXPECT_EQ(w.CountSpeeds(+1), 2);  // gaps are not looked at
  EXPECT_EQ(w.CountSpeeds(-1), 2);
  EXPECT_EQ(w.CountSpeeds(0), 0);
  w.SetWaveFile(0, file("n"));
  EXPECT_EQ(w.CountSpeeds(0), 1);
  EXPECT_EQ(w.CountSpeeds(2), 0);
  EXPECT_EQ(w.CountSpeeds(-2), 0);
  EXPECT_FALSE(w.HasWaveKey(103));
  EXPECT_TRUE(w.HasWaveKey(104));
}

TEST(WaveList, SegmentSharesGrowByOne) {
  CQlWaves w;
  EXPECT_FALSE(w.SetSegmentShare(0, 1.0f));
  EXPECT_FALSE(w.SetSegmentShare(-1, 1.0f));
  EXPECT_FALSE(w.SetSegmentShare(2, 1.0f));
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(w.SetSegmentShare(i, 10.0f * i));
  EXPECT_FALSE(w.SetSegmentShare(5, 1.0f));
  EXPECT_TRUE(w.SetSegmentShare(4, 40.0f));
  EXPECT_TRUE(w.SetSegmentShare(2, 25.0f));
  EXPECT_EQ(w.GetSegmentCount(), 4);
  EXPECT_EQ(w.GetSegmentShares(), (std::vector<float>{10.0f, 25.0f, 30.0f, 40.0f}));
  EXPECT_EQ(w.GetSegmentShare(0), 0.0f);
  EXPECT_EQ(w.GetSegmentShare(5), 0.0f);
  w.Clear();
  EXPECT_EQ(w.GetSegmentCount(), 0);
}

TEST(WaveList, PropertiesOfAPcmFile) {
  // 16-bit stereo at 8000 Hz, 1000 frames, a LIST chunk before the format
  // and a chunk after the data.
  const std::string samples(4000, '\x01');
  const std::string bytes = riff(chunkBytes(plat::riff::kListId, "INFOxxxx") +
                                 chunkBytes(plat::riff::kFmtId, fmtBody(1, 2, 8000, 16, 2)) +
                                 chunkBytes(plat::riff::kDataId, samples) +
                                 chunkBytes(plat::riff::makeId("QLON"), std::string(12, '\0')));
  CQlWaves w;
  RecordingSink sink;
  w.SetErrorSink(&sink);
  w.SetWaveFile(0, file("pcm.wav", bytes));
  struct Case {
    int property;
    std::uint64_t value;
  };
  const Case cases[] = {{1, bytes.size()}, {2, 2},    {3, 8000}, {4, 32000}, {5, 4},
                        {6, 16},           {7, 2},    {8, 4000}, {9, 1000},  {10, 4000}};
  for (const Case& c : cases) EXPECT_EQ(w.GetWaveInfo(0, c.property), c.value) << c.property;
  float seconds = -1.0f;
  EXPECT_EQ(w.GetWaveInfo(0, CQlWaves::kDuration, &seconds), 4000u);
  EXPECT_FLOAT_EQ(seconds, 0.125f);
  EXPECT_TRUE(sink.errors.empty());

  // A canonical file of our writer: 16-byte format, extra size 0.
  std::string canonical;
  ASSERT_FALSE(plat::riff::writeWav(plat::riff::WavFormat::pcm(11025, 8, 1), std::string(11025, '\x80'),
                                    canonical));
  w.SetWaveFile(1, file("c.wav", canonical));
  EXPECT_EQ(w.GetWaveInfo(1, CQlWaves::kExtraSize), 0u);
  EXPECT_EQ(w.GetWaveInfo(1, CQlWaves::kFrames), 11025u);
  EXPECT_EQ(w.GetWaveInfo(1, CQlWaves::kDuration, &seconds), 11025u);
  EXPECT_FLOAT_EQ(seconds, 1.0f);
}

TEST(WaveList, PcmOnlyPropertiesOfOtherFormatsAnswerZero) {
  // IEEE float (tag 3), mono 32-bit, 100 frames.
  const std::string bytes = riff(chunkBytes(plat::riff::kFmtId, fmtBody(3, 1, 44100, 32, 0)) +
                                 chunkBytes(plat::riff::kDataId, std::string(400, '\0')));
  CQlWaves w;
  RecordingSink sink;
  w.SetErrorSink(&sink);
  w.SetWaveFile(-1, file("float.wav", bytes));
  const std::uint64_t expected[] = {bytes.size(), 1, 0, 0, 0, 0, 0, 400, 0, 0};
  for (int p = 1; p <= 10; ++p) EXPECT_EQ(w.GetWaveInfo(-1, p), expected[p - 1]) << p;
  float seconds = -1.0f;
  w.GetWaveInfo(-1, CQlWaves::kDuration, &seconds);
  EXPECT_EQ(seconds, 0.0f);
  EXPECT_TRUE(sink.errors.empty());
}

TEST(WaveList, FailuresAreReportedWithTheirCodes) {
  const std::string good = riff(chunkBytes(plat::riff::kFmtId, fmtBody(1, 1, 8000, 8)) +
                                chunkBytes(plat::riff::kDataId, "abcd"));
  struct Case {
    const char* what;
    std::string bytes;  // empty: no file at all
    int property;
    int code;  // 0: no report
    int line;
  };
  const Case cases[] = {
      {"missing file", "", 1, 4, 195},
      {"not RIFF", "RIFX" + good.substr(4), 1, 16, 204},
      {"empty data", riff(chunkBytes(plat::riff::kFmtId, fmtBody(1, 1, 8000, 8)) +
                          chunkBytes(plat::riff::kDataId, "")),
       8, 16, 204},
      {"no format", riff(chunkBytes(plat::riff::kDataId, "abcd")), 2, 16, 204},
      {"short format", riff(chunkBytes(plat::riff::kFmtId, "0123456789abcde") +
                            chunkBytes(plat::riff::kDataId, "abcd")),
       2, 16, 204},
      {"data before format", riff(chunkBytes(plat::riff::kDataId, "abcd") +
                                  chunkBytes(plat::riff::kFmtId, fmtBody(1, 1, 8000, 8))),
       8, 16, 204},
      {"data past the end", good.substr(0, good.size() - 1), 8, 16, 204},
      {"property 0", good, 0, 18, 259},
      {"property 11", good, 11, 18, 259},
      {"zero channels", riff(chunkBytes(plat::riff::kFmtId, fmtBody(1, 0, 8000, 8)) +
                             chunkBytes(plat::riff::kDataId, "abcd")),
       9, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CQlWaves w;
    RecordingSink sink;
    w.SetErrorSink(&sink);
    const fs::path p = tvtest::sandbox().base / "case.wav";
    if (!c.bytes.empty()) tvtest::writeFile(p, c.bytes);
    w.SetWaveFile(0, p);
    float seconds = 5.0f;
    EXPECT_EQ(w.GetWaveInfo(0, c.property, &seconds), 0u);
    if (c.code == 0) {
      EXPECT_TRUE(sink.errors.empty());
    } else {
      ASSERT_EQ(sink.errors.size(), 1u);
      EXPECT_EQ(sink.errors[0], (RecordedError{c.line, "QlWaves", c.code, 0, {}}));
    }
  }
  // A speed without a file answers 0 and reports nothing.
  CQlWaves empty;
  RecordingSink sink;
  empty.SetErrorSink(&sink);
  EXPECT_EQ(empty.GetWaveInfo(0, 1), 0u);
  EXPECT_EQ(empty.GetWaveInfo(0, 11), 0u);
  EXPECT_TRUE(sink.errors.empty());
}

}  // namespace
