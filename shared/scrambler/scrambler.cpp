#include "shared/scrambler/scrambler.h"

#include <cmath>

double COrv_Scrambler::NextRandom() {
  m_state = std::fmod(m_state * m_multiplier, m_modulus);
  return m_state / m_modulus;
}

void COrv_Scrambler::FillTable(int table[kTableSize], int count, double seed) {
  if (seed == 0.0) {
    for (int i = 0; i < kTableSize; ++i) table[i] = kDefaultTable[i];
    return;
  }
  m_state = seed;
  if (count > kTableSize) count = kTableSize;
  for (int i = 0; i < count; ++i) table[i] = static_cast<int>(NextRandom() * 256.0);
}

template <typename Combine>
void COrv_Scrambler::Walk(std::uint8_t* buffer, std::size_t length, int direction,
                          std::uint32_t seed, Combine combine) {
  if (buffer == nullptr || length == 0) return;
  int table[kTableSize] = {};
  FillTable(table, kTableSize, static_cast<double>(seed));
  int index = 0;
  int step = 1;
  bool toggle = false;
  bool plus = direction != 0;
  for (std::size_t i = 0; i < length; ++i) {
    const int value = plus ? table[index] : -table[index];
    plus = !plus;
    buffer[i] = combine(buffer[i], value);
    if (toggle) {
      const int next = index + step;
      if (next > kTableSize - 1 || next < 0) {
        // Turn at the ends without repeating them: 8, 9, 8 and 1, 0, 1.
        const int oldIndex = index;
        const int oldStep = step;
        step = -step;
        index = oldIndex - oldStep;
      } else {
        index = next;
      }
    }
    toggle = !toggle;
  }
}

void COrv_Scrambler::Scramble(std::uint8_t* buffer, std::size_t length, int direction,
                              std::uint32_t seed) {
  Walk(buffer, length, direction, seed, [](std::uint8_t byte, int value) {
    return static_cast<std::uint8_t>((byte + value) & 0xFF);
  });
}

void COrv_Scrambler::ScrambleMod255(std::uint8_t* buffer, std::size_t length, int direction,
                                    std::uint32_t seed) {
  Walk(buffer, length, direction, seed, [](std::uint8_t byte, int value) {
    int v = byte + value;
    if (v <= 0)
      v += 255;
    else if (v >= 256)
      v -= 255;
    return static_cast<std::uint8_t>(v);
  });
}

void ScrambleBuffer(char* buffer, std::size_t length, int direction, std::uint32_t seed) {
  COrv_Scrambler().Scramble(buffer, length, direction, seed);
}
