#pragma once
// A reversible byte walk that hides book content, container entries and
// credentials from plain reading. A ten-entry table of small integers, made
// from a 32-bit seed by the minimal-standard generator (or the fixed default
// table for seed 0), is added to and subtracted from the bytes in turn while
// an index walks back and forth over the table in pairs of bytes:
// bytes 0-1 use entry 0, ..., 18-19 entry 9, 20-21 entry 8, ..., 36-37 entry
// 0, 38-39 entry 1, and so on. The same call with the direction flag cleared
// undoes it. Callers make one on the stack around one buffer.

#include <cstddef>
#include <cstdint>

class COrv_Scrambler {
 public:
  static constexpr int kTableSize = 10;

  // The table used for seed 0. It is part of every file format that is
  // scrambled with seed 0: never change it. Entries are non-zero, distinct
  // and below 255 (an entry of 255 would leave bytes unchanged in the walk
  // kept in 1..255).
  static constexpr int kDefaultTable[kTableSize] = {0x5B, 0xC3, 0x17, 0xA9, 0x3E,
                                                    0xD4, 0x71, 0x8F, 0x26, 0xE8};

  COrv_Scrambler() = default;
  virtual ~COrv_Scrambler() = default;

  // Modulo-256 walk over `length` bytes in place. A non-zero `direction`
  // scrambles (the first byte is increased), zero unscrambles.
  void Scramble(std::uint8_t* buffer, std::size_t length, int direction, std::uint32_t seed);
  void Scramble(char* buffer, std::size_t length, int direction, std::uint32_t seed) {
    Scramble(reinterpret_cast<std::uint8_t*>(buffer), length, direction, seed);
  }

  // The same walk on byte values kept in 1..255: a scrambled byte is never
  // 0 (unless a generated table holds 255 and the byte was 0), and
  // unscrambling restores every byte in 1..255. A 0 byte comes back as 255.
  void ScrambleMod255(std::uint8_t* buffer, std::size_t length, int direction, std::uint32_t seed);
  void ScrambleMod255(char* buffer, std::size_t length, int direction, std::uint32_t seed) {
    ScrambleMod255(reinterpret_cast<std::uint8_t*>(buffer), length, direction, seed);
  }

  // Fills `table` from `seed`: seed 0 copies the default table (all ten
  // entries); otherwise the generator state becomes the seed and the first
  // `count` entries (at most ten; a negative count fills none) get
  // trunc(NextRandom() * 256). A seed that is a multiple of the modulus
  // drives the generator to 0 and gives a table of zeros (no scrambling).
  void FillTable(int table[kTableSize], int count, double seed);

  // One step of the minimal-standard generator (Park and Miller), in
  // doubles: state = fmod(state * 16807, 2^31 - 1); returns state / modulus,
  // in [0, 1).
  double NextRandom();

  void SetState(double state) { m_state = state; }
  double GetState() const { return m_state; }

  // The fixed seed of version-3 library content headers.
  static std::uint32_t GetContentSeed() { return 0x5A3C71E4u; }

 private:
  template <typename Combine>
  void Walk(std::uint8_t* buffer, std::size_t length, int direction, std::uint32_t seed,
            Combine combine);

  double m_modulus = 2147483647.0;
  double m_multiplier = 16807.0;
  double m_state = 1.0;
};

// The grammar browser's entry to the modulo-256 walk: scrambles (non-zero
// `direction`) or unscrambles `length` bytes of `buffer` in place, exactly
// as COrv_Scrambler::Scramble does.
void ScrambleBuffer(char* buffer, std::size_t length, int direction, std::uint32_t seed);
