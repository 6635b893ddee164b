#include <gtest/gtest.h>

#include <cerrno>

#include "platform/fs/fault.h"
#include "platform/riff/riff.h"
#include "platform/riff/tests/riff_fixtures.h"
#include "platform/testing/test_env.h"

using namespace plat::riff;
using namespace rifftest;

namespace {

std::vector<std::string> ids(const std::vector<Chunk>& chunks) {
  std::vector<std::string> out;
  for (const Chunk& c : chunks) out.push_back(idText(c.id));
  return out;
}

TEST(RiffLayout, WalksOddChunksWithTheirPadBytesAndListsLists) {
  const std::string info = chunk("INAM", "abc") + chunk("ICMT", "hello!");
  const std::string body = chunk("fmt ", pcmFmt(1, 11025, 16)) + chunk("odd ", "xyz") + chunk("data", "12345") +
                           chunk("LIST", "INFO" + info);
  const std::string file = riff("WAVE", body);
  MemorySource src(file);
  RiffLayout layout;
  ASSERT_FALSE(readLayout(src, kWaveForm, layout));
  EXPECT_EQ(layout.riff.form, kWaveForm);
  EXPECT_EQ(layout.sourceSize, file.size());
  ASSERT_EQ(ids(layout.chunks), (std::vector<std::string>{"fmt ", "odd ", "data", "LIST"}));
  EXPECT_EQ(layout.chunks[0].offset, 12u);
  EXPECT_EQ(layout.chunks[1].offset, 36u);
  EXPECT_EQ(layout.chunks[1].size, 3u);
  EXPECT_EQ(layout.chunks[2].offset, 48u);  // after "odd " and its pad byte
  EXPECT_EQ(layout.chunks[3].offset, 62u);  // after 5 data bytes and a pad byte
  EXPECT_EQ(layout.chunks[3].form, makeId("INFO"));
  EXPECT_EQ(layout.appendOffset(), file.size());

  std::string data;
  ASSERT_FALSE(readBody(src, *layout.find(kDataId), data));
  EXPECT_EQ(data, "12345");

  std::vector<Chunk> sub;
  ASSERT_FALSE(listSubChunks(src, *layout.find(kListId), sub));
  ASSERT_EQ(ids(sub), (std::vector<std::string>{"INAM", "ICMT"}));
  std::string comment;
  ASSERT_FALSE(readBody(src, sub[1], comment));
  EXPECT_EQ(comment, "hello!");
}

TEST(RiffLayout, TheLastChunkMayLackItsPadByte) {
  // RIFF size odd: the final 3-byte chunk ends the form without a pad.
  const std::string file = riff("TEST", chunk("aaaa", "1234") + rawChunk("bbbb", 3, "xyz"));
  RiffLayout layout;
  ASSERT_FALSE(readLayout(MemorySource(file), layout));
  ASSERT_EQ(ids(layout.chunks), (std::vector<std::string>{"aaaa", "bbbb"}));
  EXPECT_EQ(layout.appendOffset(), file.size() + 1);
}

TEST(RiffLayout, FindTakesTheFirstAndFindLastTheLast) {
  const std::string file = riff("TEST", chunk("QLON", "1.") + chunk("data", "") + chunk("QLON", "2."));
  RiffLayout layout;
  ASSERT_FALSE(readLayout(MemorySource(file), layout));
  EXPECT_EQ(layout.find(makeId("QLON"))->offset, 12u);
  EXPECT_EQ(layout.findLast(makeId("QLON"))->offset, 30u);
  EXPECT_EQ(layout.find(makeId("none")), nullptr);
  EXPECT_EQ(layout.findLast(makeId("none")), nullptr);
}

struct BadCase {
  const char* name;
  std::string bytes;
  Error error;
};

TEST(RiffLayout, SizesThatLieAreErrorsNeverReads) {
  const std::string ok = chunk("fmt ", pcmFmt(1, 8000, 8));
  const BadCase cases[] = {
      {"empty", "", Error::NotRiff},
      {"other tag", "RIFX" + u32(4) + "WAVE", Error::NotRiff},
      {"header cut", "RIFF" + u32(4), Error::Truncated},
      {"no room for the form type", "RIFF" + u32(2) + "WAVE", Error::NotRiff},
      {"form past the file", "RIFF" + u32(100) + "WAVE" + ok, Error::Truncated},
      {"huge form size", "RIFF" + u32(0xFFFFFFFF) + "WAVE" + ok, Error::Truncated},
      {"chunk past the file", riff("WAVE", ok + rawChunk("data", 1000, "abcd")), Error::Truncated},
      {"huge chunk size", riff("WAVE", ok + rawChunk("data", 0xFFFFFFFF, "abcd")), Error::Truncated},
      {"chunk past the form",
       "RIFF" + u32(4 + static_cast<uint32_t>(ok.size()) + 8 + 2) + "WAVE" + ok + rawChunk("data", 4, "abcd"),
       Error::PastParent},
      {"stray bytes at the end of the form", riff("WAVE", ok + "abc"), Error::Truncated},
      {"stray bytes inside a form followed by more bytes",
       "RIFF" + u32(4 + static_cast<uint32_t>(ok.size()) + 3) + "WAVE" + ok + "abc" + std::string(20, 'x'),
       Error::PastParent},
      {"list without room for its type", riff("WAVE", ok + rawChunk("LIST", 2, "IN")), Error::PastParent},
      {"pad byte of a middle chunk missing",
       // "odd " says 3 bytes; without its pad the next header is misaligned
       // and reads as a chunk of absurd size.
       riff("WAVE", rawChunk("odd ", 3, "xyz") + chunk("data", "abcd")), Error::Truncated},
  };
  for (const BadCase& c : cases) {
    RiffLayout layout;
    EXPECT_EQ(readLayout(MemorySource(c.bytes), layout), make_error_code(c.error)) << c.name;
    EXPECT_TRUE(layout.chunks.empty()) << c.name;
  }
}

TEST(RiffLayout, SubChunksMustStayInsideTheirList) {
  // The LIST says 16 bytes, its "INAM" claims 10 more than that leaves.
  const std::string list = rawChunk("LIST", 4 + 12, "INFO" + rawChunk("INAM", 10, "abcd")) + chunk("xxxx", std::string(12, 'x'));
  const std::string file = riff("TEST", list);
  MemorySource src(file);
  RiffLayout layout;
  ASSERT_FALSE(readLayout(src, layout));
  std::vector<Chunk> sub;
  EXPECT_EQ(listSubChunks(src, *layout.find(kListId), sub), make_error_code(Error::PastParent));
  EXPECT_TRUE(sub.empty());
  EXPECT_EQ(listSubChunks(src, layout.riff, sub), std::error_code());  // the outer chunk is a list too
  EXPECT_EQ(ids(sub).front(), "LIST");
}

TEST(RiffLayout, WrongFormType) {
  RiffLayout layout;
  EXPECT_EQ(readLayout(MemorySource(riff("AVI ", chunk("data", ""))), kWaveForm, layout),
            make_error_code(Error::WrongForm));
}

TEST(RiffLayout, ErrorsHaveTheirOwnCategoryAndText) {
  const std::error_code ec = Error::PastParent;
  EXPECT_EQ(ec.category().name(), std::string("riff"));
  EXPECT_EQ(ec.message(), "chunk runs past the end of its parent");
}

TEST(RiffAppend, AppendsAtTheEndOfTheFormAndGrowsTheRiffSize) {
  std::string file = riff("WAVE", chunk("fmt ", pcmFmt(1, 11025, 16)) + chunk("data", std::string(1000, 'a')));
  const size_t before = file.size();
  const uint32_t riffBefore = getU32(file.data() + 4);

  const std::string body26(26, 's');
  ASSERT_FALSE(appendChunk(file, makeId("QLON"), body26));
  EXPECT_EQ(file.size(), before + 34);
  EXPECT_EQ(getU32(file.data() + 4), riffBefore + 34);
  EXPECT_EQ(file.substr(before), chunkBytes(makeId("QLON"), body26));

  // A second append goes after the first; an odd body gets its pad byte.
  ASSERT_FALSE(appendChunk(file, makeId("QLON"), "abc"));
  EXPECT_EQ(file.size(), before + 34 + 12);
  EXPECT_EQ(getU32(file.data() + 4), file.size() - 8);
  RiffLayout layout;
  ASSERT_FALSE(readLayout(MemorySource(file), layout));
  ASSERT_EQ(ids(layout.chunks), (std::vector<std::string>{"fmt ", "data", "QLON", "QLON"}));
  EXPECT_EQ(layout.findLast(makeId("QLON"))->size, 3u);
}

TEST(RiffAppend, AddsTheMissingPadOfTheLastChunk) {
  std::string file = riff("WAVE", chunk("fmt ", pcmFmt(1, 11025, 8)) + rawChunk("data", 5, "12345"));
  const size_t before = file.size();
  ASSERT_EQ(before % 2, 1u);
  ASSERT_FALSE(appendChunk(file, makeId("QLON"), std::string(10, 'q')));
  EXPECT_EQ(file.size(), before + 1 + 18);
  EXPECT_EQ(file[before], '\0');
  RiffLayout layout;
  ASSERT_FALSE(readLayout(MemorySource(file), layout));
  EXPECT_EQ(layout.findLast(makeId("QLON"))->offset, before + 1);
}

TEST(RiffAppend, RefusesAndLeavesTheBytesAlone) {
  const std::string good = riff("WAVE", chunk("data", "ab"));
  const BadCase cases[] = {
      {"bytes after the form", good + "junk", Error::TrailingData},
      {"not RIFF", "hello, world", Error::NotRiff},
      {"chunk past the file", riff("WAVE", rawChunk("data", 50, "ab")), Error::Truncated},
  };
  for (const BadCase& c : cases) {
    std::string bytes = c.bytes;
    EXPECT_EQ(appendChunk(bytes, makeId("QLON"), "xx"), make_error_code(c.error)) << c.name;
    EXPECT_EQ(bytes, c.bytes) << c.name;
  }
}

TEST(RiffAppendFile, SameBytesAsInMemory) {
  const auto path = tvtest::sandbox().tmp / "a.wav";
  std::string expected = riff("WAVE", chunk("fmt ", pcmFmt(2, 22050, 16)) + rawChunk("data", 7, "1234567"));
  tvtest::writeFile(path, expected);
  ASSERT_FALSE(appendChunkToFile(path, makeId("QLON"), "segments"));
  ASSERT_FALSE(appendChunk(expected, makeId("QLON"), "segments"));
  EXPECT_EQ(tvtest::readFile(path), expected);
}

TEST(RiffAppendFile, FailuresLeaveTheFileAsItWas) {
  const auto path = tvtest::sandbox().tmp / "b.wav";
  const std::string original = riff("WAVE", chunk("data", "abcd"));
  plat::fs::FaultScope faults;
  struct {
    plat::fs::FaultOp op;
    int skip;
    int error;
  } cases[] = {
      {plat::fs::FaultOp::Open, 0, EACCES},
      {plat::fs::FaultOp::Read, 0, EIO},
      {plat::fs::FaultOp::Write, 0, ENOSPC},  // the chunk
      {plat::fs::FaultOp::Write, 1, EIO},     // the RIFF size after the chunk
  };
  for (const auto& c : cases) {
    tvtest::writeFile(path, original);
    plat::fs::injectFault(c.op, "b.wav", c.error, 1, c.skip);
    EXPECT_EQ(appendChunkToFile(path, makeId("QLON"), "xx"), std::error_code(c.error, std::generic_category()));
    EXPECT_EQ(tvtest::readFile(path), original);
    plat::fs::clearFaults();
  }

  tvtest::writeFile(path, original + "tail");
  EXPECT_EQ(appendChunkToFile(path, makeId("QLON"), "xx"), make_error_code(Error::TrailingData));
  EXPECT_EQ(tvtest::readFile(path), original + "tail");

  EXPECT_EQ(appendChunkToFile(tvtest::sandbox().tmp / "missing.wav", makeId("QLON"), "xx"),
            std::errc::no_such_file_or_directory);
}

TEST(FileSource, ReadsOnlyWhatIsThere) {
  const auto path = tvtest::sandbox().tmp / "c.bin";
  tvtest::writeFile(path, "0123456789");
  FileSource src;
  ASSERT_FALSE(src.open(path));
  EXPECT_EQ(src.size(), 10u);
  char buf[4];
  ASSERT_FALSE(src.read(6, 4, buf));
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(src.read(7, 4, buf), make_error_code(Error::Truncated));
  EXPECT_EQ(src.read(~uint64_t{0}, 4, buf), make_error_code(Error::Truncated));
  EXPECT_EQ(src.open(tvtest::sandbox().tmp), std::errc::is_a_directory);
}

}  // namespace
