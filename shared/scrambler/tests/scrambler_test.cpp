#include "shared/scrambler/scrambler.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::string toHex(const std::string& bytes) {
  std::string hex;
  for (unsigned char b : bytes) {
    static const char* const digits = "0123456789abcdef";
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}


using Table = std::array<int, COrv_Scrambler::kTableSize>;

Table fill(double seed, int count = COrv_Scrambler::kTableSize) {
  COrv_Scrambler s;
  Table t;
  t.fill(-1);
  s.FillTable(t.data(), count, seed);
  return t;
}

// Table entry that serves byte i: pairs of bytes walk 0..9, 8..1, 0..9, ...
int entryOfByte(std::size_t i) {
  const std::size_t pair = (i / 2) % 18;
  return pair <= 9 ? static_cast<int>(pair) : static_cast<int>(18 - pair);
}

TEST(ScramblerTable, SeededTablesFollowTheMinimalStandardGenerator) {
  EXPECT_EQ(fill(1), (Table{0, 33, 193, 117, 136, 56, 12, 173, 173, 239}));
  EXPECT_EQ(fill(COrv_Scrambler::GetContentSeed()),
            (Table{108, 74, 143, 245, 41, 78, 127, 188, 78, 184}));
  EXPECT_EQ(COrv_Scrambler::GetContentSeed(), 0x5A3C71E4u);
}

TEST(ScramblerTable, GeneratorStepsAndState) {
  COrv_Scrambler s;
  EXPECT_EQ(s.GetState(), 1.0);
  EXPECT_DOUBLE_EQ(s.NextRandom(), 16807.0 / 2147483647.0);
  EXPECT_EQ(s.GetState(), 16807.0);
  s.NextRandom();
  EXPECT_EQ(s.GetState(), 282475249.0);
  s.NextRandom();
  EXPECT_EQ(s.GetState(), 1622650073.0);
  s.SetState(1.0);
  EXPECT_EQ(s.GetState(), 1.0);
  EXPECT_DOUBLE_EQ(s.NextRandom(), 16807.0 / 2147483647.0);
}

TEST(ScramblerTable, DefaultTableForSeedZero) {
  const Table t = fill(0, 3);  // seed 0 always copies all ten entries
  std::set<int> distinct(t.begin(), t.end());
  EXPECT_EQ(distinct.size(), t.size());
  for (int v : t) {
    EXPECT_GT(v, 0);
    EXPECT_LT(v, 255);
  }
  // A fill from the default table leaves the generator alone.
  COrv_Scrambler s;
  s.SetState(42.0);
  Table u;
  s.FillTable(u.data(), 10, 0.0);
  EXPECT_EQ(s.GetState(), 42.0);
  EXPECT_EQ(u, t);
}

TEST(ScramblerTable, StoredDataStaysReadable) {
  // Every stored index, member name, credential block and content file was
  // scrambled with the default table or the content seed: these ciphertexts
  // must never change, or installed books and users become unreadable.
  const std::string plain = "The Talvane scrambler, pinned: 0123456789";
  struct Case {
    const char* walk;
    std::uint32_t seed;
    bool mod255;
    const char* hex;
  } cases[] = {
      {"additive, default table", 0, false,
       "af0d285d6b4a15cd9f30394ce4f201d2933c547d9806afe1dafd4291a2fcc987481bf67190dbfa7550"},
      {"kept in 1..255, default table", 0, true,
       "af0d295c6b4a16cc9f303a4be4f102d1933c557c9806afe0dafc4390a2fbc986481bf67090dafa7450"},
      {"additive, content seed", COrv_Scrambler::GetContentSeed(), false,
       "c0fcafd6e3d261818a45b3d2f2e42ea5bb1424adc0dedcb4e8efbc178d11153bc0a37deaa1ca81eec8"},
  };
  for (const Case& c : cases) {
    std::string s = plain;
    if (c.mod255) COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 1, c.seed);
    else COrv_Scrambler().Scramble(s.data(), s.size(), 1, c.seed);
    EXPECT_EQ(toHex(s), c.hex) << c.walk;
    // The grammar browser's entry walks the same way.
    if (!c.mod255) {
      std::string b = plain;
      ScrambleBuffer(b.data(), b.size(), 1, c.seed);
      EXPECT_EQ(toHex(b), c.hex) << c.walk;
    }
  }
}

TEST(ScramblerTable, CountIsBoundedByTheTable) {
  const Table full = fill(1);
  Table part = fill(1, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(part[i], full[i]);
  for (int i = 4; i < 10; ++i) EXPECT_EQ(part[i], -1) << i;
  EXPECT_EQ(fill(1, 1000), full);  // never writes past ten entries
  EXPECT_EQ(fill(1, -3), (Table{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));
}

TEST(ScramblerWalk, IndexWalksBackAndForthInPairs) {
  // Seed 0's table has distinct entries, so each byte's entry can be read
  // back from a scrambled block of zeros.
  const Table t = fill(0);
  std::vector<std::uint8_t> buf(80, 0);
  COrv_Scrambler s;
  s.Scramble(buf.data(), buf.size(), 1, 0);
  auto entryOf = [&](std::size_t i) {
    for (int e = 0; e < 10; ++e) {
      const int expected = (i % 2 == 0) ? t[e] : (256 - t[e]) & 0xFF;
      if (buf[i] == expected) return e;
    }
    return -1;
  };
  struct Case {
    std::size_t byte;
    int entry;
  } cases[] = {{0, 0}, {1, 0}, {2, 1}, {18, 9}, {19, 9}, {20, 8}, {21, 8},
               {34, 1}, {35, 1}, {36, 0}, {37, 0}, {38, 1}, {39, 1}, {54, 9}, {56, 8}};
  for (const Case& c : cases) EXPECT_EQ(entryOf(c.byte), c.entry) << "byte " << c.byte;
  for (std::size_t i = 0; i < buf.size(); ++i) EXPECT_EQ(entryOf(i), entryOfByte(i)) << i;
}

TEST(ScramblerWalk, DirectionSetsTheFirstSign) {
  const Table t = fill(0);
  COrv_Scrambler s;
  std::uint8_t up[2] = {100, 100};
  s.Scramble(up, 2, 7, 0);  // any non-zero direction scrambles
  EXPECT_EQ(up[0], (100 + t[0]) & 0xFF);
  EXPECT_EQ(up[1], (100 - t[0]) & 0xFF);
  std::uint8_t down[2] = {100, 100};
  s.Scramble(down, 2, 0, 0);
  EXPECT_EQ(down[0], (100 - t[0]) & 0xFF);
  EXPECT_EQ(down[1], (100 + t[0]) & 0xFF);
}

TEST(ScramblerWalk, EmptyAndOneByteBuffers) {
  COrv_Scrambler s;
  std::uint8_t guard[2] = {7, 9};
  s.Scramble(guard, 0, 1, 0);
  s.ScrambleMod255(guard, 0, 1, 0);
  EXPECT_EQ(guard[0], 7);
  EXPECT_EQ(guard[1], 9);
  s.Scramble(guard, 1, 1, 0);
  EXPECT_EQ(guard[0], (7 + fill(0)[0]) & 0xFF);
  EXPECT_EQ(guard[1], 9);
  s.Scramble(static_cast<std::uint8_t*>(nullptr), 5, 1, 0);  // no buffer: nothing to do
  // Seed 1's first entry is 0: a one-byte block stays as it is.
  std::uint8_t one = 200;
  s.Scramble(&one, 1, 1, 1);
  EXPECT_EQ(one, 200);
}

TEST(ScramblerWalk, EachCallStartsFromItsOwnTable) {
  std::vector<std::uint8_t> a(50, 3), b(50, 3);
  COrv_Scrambler s;
  s.Scramble(a.data(), a.size(), 1, 12345);
  s.NextRandom();
  s.Scramble(b.data(), b.size(), 1, 0);
  s.Scramble(b.data(), b.size(), 0, 0);
  s.Scramble(b.data(), b.size(), 1, 12345);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, std::vector<std::uint8_t>(50, 3));
}

TEST(ScramblerWalk, RandomRoundTripsOfBothWalks) {
  std::mt19937 rng(20261210);
  const std::uint32_t fixedSeeds[] = {0u, 1u, COrv_Scrambler::GetContentSeed(), 0xFFFFFFFFu};
  for (int round = 0; round < 400; ++round) {
    const std::uint32_t seed = round < 4 ? fixedSeeds[round] : rng();
    std::vector<std::uint8_t> data(rng() % 300);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    COrv_Scrambler s;

    std::vector<std::uint8_t> work = data;
    s.Scramble(work.data(), work.size(), 1, seed);
    s.Scramble(work.data(), work.size(), 0, seed);
    ASSERT_EQ(work, data) << "seed " << seed;

    work = data;
    s.ScrambleMod255(work.data(), work.size(), 1, seed);
    s.ScrambleMod255(work.data(), work.size(), 0, seed);
    for (std::size_t i = 0; i < data.size(); ++i)
      ASSERT_EQ(work[i], data[i] == 0 ? 255 : data[i]) << "seed " << seed << " byte " << i;
  }
}

TEST(ScramblerWalk, Mod255KeepsBytesOutOfZero) {
  COrv_Scrambler s;
  std::vector<std::uint8_t> text(64);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>(1 + i * 4);
  std::vector<std::uint8_t> zeros(64, 0);
  for (auto* buf : {&text, &zeros}) {
    std::vector<std::uint8_t> work = *buf;
    s.ScrambleMod255(work.data(), work.size(), 1, 0);
    for (std::uint8_t b : work) EXPECT_NE(b, 0);
  }
  // 0 comes back as 255, which is why text blocks use this walk.
  std::uint8_t z[3] = {0, 0, 0};
  s.ScrambleMod255(z, 3, 1, 0);
  s.ScrambleMod255(z, 3, 0, 0);
  EXPECT_EQ(z[0], 255);
  EXPECT_EQ(z[1], 255);
  EXPECT_EQ(z[2], 255);
  // The wrap: 250 + 0xE8 passes 255 and wraps by 255, not 256.
  const int e0 = fill(0)[0];
  std::uint8_t w = 250;
  s.ScrambleMod255(&w, 1, 1, 0);
  EXPECT_EQ(w, 250 + e0 - 255);
}

}  // namespace
