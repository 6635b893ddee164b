#include <gtest/gtest.h>

#include <cerrno>

#include "platform/fs/fault.h"
#include "platform/riff/tests/riff_fixtures.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"

using namespace plat::riff;
using namespace rifftest;

namespace {

TEST(WavWrite, CanonicalHeaderBytes) {
  const std::string expected("RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x11\x2B\0\0\x22\x56\0\0\x02\0\x10\0data\x04\0\0\0",
                             44);
  EXPECT_EQ(canonicalHeader(WavFormat::pcm(11025, 16, 1), 4), expected);
  std::string out;
  ASSERT_FALSE(writeWav(WavFormat::pcm(11025, 16, 1), "abcd", out));
  EXPECT_EQ(out, expected + "abcd");
  // Trailing chunks are counted in the RIFF size only.
  EXPECT_EQ(getU32(canonicalHeader(WavFormat::pcm(11025, 16, 1), 1000, 34).data() + 4), 36u + 1000 + 34);
  EXPECT_EQ(getU32(canonicalHeader(WavFormat::pcm(11025, 16, 1), 1000, 34).data() + 40), 1000u);
}

TEST(WavRoundTrip, EveryAcceptedFormat) {
  struct {
    uint32_t rate;
    uint16_t bits, channels;
  } cases[] = {{11025, 16, 1}, {44100, 16, 2}, {22050, 8, 1}, {8000, 8, 2}, {48000, 24, 2}, {96000, 32, 1}, {1, 8, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << "/" << c.bits << "/" << c.channels);
    const WavFormat f = WavFormat::pcm(c.rate, c.bits, c.channels);
    std::string samples;
    for (int i = 0; i < 3 * f.blockAlign; ++i) samples += static_cast<char>(i * 37);
    std::string bytes;
    ASSERT_FALSE(writeWav(f, samples, bytes));
    EXPECT_EQ(bytes.size(), kCanonicalHeaderSize + samples.size() + samples.size() % 2);
    Wav back;
    ASSERT_FALSE(readWav(bytes, back));
    EXPECT_EQ(back.format, f);
    EXPECT_EQ(back.samples, samples);
    EXPECT_EQ(back.fmtChunk.size(), 16u);
    EXPECT_EQ(back.data.bodyOffset(), kCanonicalHeaderSize);
  }
}

TEST(WavRoundTrip, OddSampleCountGetsAPadByte) {
  const WavFormat f = WavFormat::pcm(8000, 8, 1);
  std::string bytes;
  ASSERT_FALSE(writeWav(f, "12345", bytes));
  ASSERT_EQ(bytes.size(), 44u + 6);
  EXPECT_EQ(bytes.back(), '\0');
  EXPECT_EQ(getU32(bytes.data() + 4), bytes.size() - 8);
  EXPECT_EQ(getU32(bytes.data() + 40), 5u);
  Wav back;
  ASSERT_FALSE(readWav(bytes, back));
  EXPECT_EQ(back.samples, "12345");
}

TEST(WavRead, ChunksAroundFmtAndDataAreWalkedAndKept) {
  // An 18-byte "fmt " after an odd junk chunk, a "data" chunk of odd size
  // and a LIST chunk after it.
  const std::string file =
      riff("WAVE", chunk("junk", "abc") + chunk("fmt ", pcmFmt(2, 22050, 16, true)) + chunk("data", "1234567") +
                       chunk("LIST", "INFO" + chunk("INAM", "Echomark 3")));
  Wav wav;
  ASSERT_FALSE(readWav(file, wav));
  EXPECT_EQ(wav.format, WavFormat::pcm(22050, 16, 2));
  EXPECT_EQ(wav.fmtChunk.size(), 18u);
  EXPECT_EQ(wav.samples, "1234567");
  ASSERT_NE(wav.layout.find(kListId), nullptr);
  EXPECT_EQ(wav.layout.find(kListId)->form, makeId("INFO"));
  EXPECT_EQ(wav.layout.chunks.size(), 4u);

  std::string canonical;
  ASSERT_FALSE(canonicalWav(file, canonical));
  std::string expected;
  ASSERT_FALSE(writeWav(WavFormat::pcm(22050, 16, 2), "1234567", expected));
  EXPECT_EQ(canonical, expected);
}

TEST(WavRead, DataIsFoundByWalkingNotBySearching) {
  // "data" and a size inside another chunk's body is not a data chunk.
  const std::string decoy = "xxdata" + u32(4) + "fake";
  const std::string fmt = chunk("fmt ", pcmFmt(1, 11025, 16));
  Wav wav;
  EXPECT_EQ(readWav(riff("WAVE", fmt + chunk("note", decoy)), wav), make_error_code(Error::NoData));
  ASSERT_FALSE(readWav(riff("WAVE", chunk("note", decoy) + fmt + chunk("data", "real")), wav));
  EXPECT_EQ(wav.samples, "real");
}

TEST(WavRead, Extensible) {
  const std::string pcmGuid("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
  const std::string floatGuid("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
  auto ext = [&](const std::string& guid, uint16_t validBits, uint16_t cb = 22) {
    std::string b = u16(0xFFFE) + u16(2) + u32(44100) + u32(44100 * 4) + u16(4) + u16(16) + u16(cb) + u16(validBits) +
                    u32(3) + guid;
    return riff("WAVE", chunk("fmt ", b) + chunk("data", "LRLR"));
  };
  Wav wav;
  ASSERT_FALSE(readWav(ext(pcmGuid, 16), wav));
  EXPECT_EQ(wav.format.formatTag, kFormatExtensible);
  EXPECT_EQ(wav.format.validBits, 16);
  EXPECT_EQ(wav.format.channelMask, 3u);
  std::string canonical;
  ASSERT_FALSE(canonicalWav(ext(pcmGuid, 16), canonical));
  ASSERT_FALSE(readWav(canonical, wav));
  EXPECT_EQ(wav.format, WavFormat::pcm(44100, 16, 2));

  EXPECT_EQ(readWav(ext(floatGuid, 16), wav), make_error_code(Error::Unsupported));
  EXPECT_EQ(readWav(ext(pcmGuid, 20), wav), make_error_code(Error::BadFormat));
  EXPECT_EQ(readWav(ext(pcmGuid, 16, 10), wav), make_error_code(Error::BadFormat));
}

TEST(WavRead, FormatsThatAreRefused) {
  auto fmt = [](uint16_t tag, uint16_t ch, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits) {
    return u16(tag) + u16(ch) + u32(rate) + u32(avg) + u16(align) + u16(bits);
  };
  const struct {
    const char* name;
    std::string body;
    Error error;
  } cases[] = {
      {"float", fmt(3, 1, 8000, 32000, 4, 32), Error::Unsupported},
      {"ADPCM", fmt(2, 1, 8000, 4096, 256, 4) + u16(32) + std::string(32, '\0'), Error::Unsupported},
      {"no channels", fmt(1, 0, 8000, 0, 0, 16), Error::BadFormat},
      {"three channels", fmt(1, 3, 8000, 48000, 6, 16), Error::Unsupported},
      {"12 bits", fmt(1, 1, 8000, 16000, 2, 12), Error::Unsupported},
      {"zero bits", fmt(1, 1, 8000, 0, 0, 0), Error::BadFormat},
      {"rate 0", fmt(1, 1, 0, 0, 2, 16), Error::BadFormat},
      {"block align lies", fmt(1, 2, 8000, 16000, 2, 16), Error::BadFormat},
      {"byte rate lies", fmt(1, 1, 8000, 8000, 2, 16), Error::BadFormat},
      {"byte rate zero", fmt(1, 1, 8000, 0, 2, 16), Error::BadFormat},
      {"chunk too short", fmt(1, 1, 8000, 16000, 2, 16).substr(0, 14), Error::BadFormat},
      {"extra size past the chunk", fmt(1, 1, 8000, 16000, 2, 16) + u16(4) + "ab", Error::BadFormat},
      {"huge chunk", fmt(1, 1, 8000, 16000, 2, 16) + u16(0) + std::string(70000, '\0'), Error::BadFormat},
  };
  for (const auto& c : cases) {
    Wav wav;
    EXPECT_EQ(readWav(riff("WAVE", chunk("fmt ", c.body) + chunk("data", "abcd")), wav), make_error_code(c.error))
        << c.name;
    EXPECT_TRUE(wav.samples.empty()) << c.name;
  }
}

TEST(WavRead, MissingChunksAndOtherForms) {
  const std::string fmt = chunk("fmt ", pcmFmt(1, 11025, 16));
  const struct {
    const char* name;
    std::string bytes;
    Error error;
  } cases[] = {
      {"no data", riff("WAVE", fmt + chunk("LIST", "INFO")), Error::NoData},
      {"no fmt", riff("WAVE", chunk("data", "abcd")), Error::NoFormat},
      {"data inside a LIST only", riff("WAVE", fmt + chunk("LIST", "wavl" + chunk("data", "abcd"))), Error::NoData},
      {"not WAVE", riff("AVI ", fmt + chunk("data", "abcd")), Error::WrongForm},
      {"data past the file", riff("WAVE", fmt + rawChunk("data", 0x7FFFFFF0, "abcd")), Error::Truncated},
  };
  for (const auto& c : cases) {
    Wav wav;
    EXPECT_EQ(readWav(c.bytes, wav), make_error_code(c.error)) << c.name;
  }
}

TEST(WavRead, EveryTruncationOfAFileFailsCleanly) {
  const std::string file =
      riff("WAVE", chunk("fmt ", pcmFmt(1, 11025, 16, true)) + chunk("data", std::string(9, 's')) +
                       chunk("LIST", "INFO" + chunk("ICMT", "xyz")));
  Wav wav;
  ASSERT_FALSE(readWav(file, wav));
  for (size_t n = 0; n < file.size(); ++n) {
    const std::error_code ec = readWav(std::string_view(file).substr(0, n), wav);
    EXPECT_TRUE(ec == Error::Truncated || ec == Error::NotRiff) << n << ": " << ec.message();
    EXPECT_TRUE(wav.samples.empty());
  }
}

TEST(WavFile, ReadWriteAndCanonicalise) {
  const auto dir = tvtest::sandbox().tmp;
  const WavFormat f = WavFormat::pcm(11025, 16, 1);
  ASSERT_FALSE(writeWavFile(dir / "w.wav", f, "abcdef"));
  Wav wav;
  ASSERT_FALSE(readWavFile(dir / "w.wav", wav));
  EXPECT_EQ(wav.format, f);
  EXPECT_EQ(wav.samples, "abcdef");

  WavInfo info;
  ASSERT_FALSE(readWavFileInfo(dir / "w.wav", info));
  EXPECT_EQ(info.data.size, 6u);
  EXPECT_EQ(info.data.bodyOffset(), 44u);

  const std::string messy =
      riff("WAVE", chunk("LIST", "INFO") + chunk("fmt ", pcmFmt(1, 11025, 16, true)) + chunk("data", "abcdef"));
  tvtest::writeFile(dir / "m.wav", messy);
  ASSERT_FALSE(canonicaliseWavFile(dir / "m.wav"));
  EXPECT_EQ(tvtest::readFile(dir / "m.wav"), tvtest::readFile(dir / "w.wav"));

  EXPECT_EQ(readWavFile(dir / "missing.wav", wav), std::errc::no_such_file_or_directory);
  tvtest::writeFile(dir / "bad.wav", "RIFF");
  EXPECT_EQ(canonicaliseWavFile(dir / "bad.wav"), make_error_code(Error::Truncated));
  EXPECT_EQ(tvtest::readFile(dir / "bad.wav"), "RIFF");

  plat::fs::FaultScope faults;
  plat::fs::injectFault(plat::fs::FaultOp::Read, "w.wav", EIO, 1, 1);  // after the outer header
  EXPECT_EQ(readWavFile(dir / "w.wav", wav), std::error_code(EIO, std::generic_category()));
  EXPECT_TRUE(wav.samples.empty());
}

TEST(WavWrite, RefusesWhatItCannotWrite) {
  std::string out = "old";
  WavFormat lying = WavFormat::pcm(8000, 16, 1);
  lying.avgBytesPerSec = 1;
  EXPECT_EQ(writeWav(lying, "ab", out), make_error_code(Error::BadFormat));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(writeWav(WavFormat::pcm(8000, 16, 6), "ab", out), make_error_code(Error::Unsupported));
}

}  // namespace
