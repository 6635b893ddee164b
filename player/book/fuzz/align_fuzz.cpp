// Feeds arbitrary bytes to the word engine as a reference and a typed text
// (split at the first NUL; the first byte picks given words) and checks
// that every result stays consistent with its words.

#include "player/book/word_engine.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned givenMask = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = rest.find('\0');
  const std::string_view reference = rest.substr(0, cut);
  const std::string_view typed = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

  COrv_WordEngine engine;
  engine.SetText(1, reference);
  engine.SetText(COrv_WordEngine::kTyped, typed);
  for (int n = 1; n <= engine.GetWordCount(1) && n <= 8; ++n)
    engine.SetWordGiven(n, (givenMask >> (n - 1)) & 1);
  if (!engine.Run()) std::abort();
  for (int n = 1; n <= engine.GetWordCount(1); ++n) {
    using E = COrv_WordEngine;
    const int len = engine.GetResult(E::kEditLength, n);
    if (len != engine.GetResult(E::kMatched, n) + engine.GetResult(E::kExtra, n) +
                   engine.GetResult(E::kMissing, n) + engine.GetResult(E::kSubstituted, n))
      std::abort();
    if (static_cast<int>(engine.GetDisplayWord(n).size()) != len) std::abort();
    const int typedWord = engine.GetResult(E::kTypedWord, n);
    if (typedWord < 0 || typedWord > engine.GetWordCount(E::kTyped)) std::abort();
  }
  std::u32string text;
  std::vector<std::uint8_t> classes;
  std::vector<int> starts, lengths;
  engine.BuildResult(text, classes, starts, lengths);
  if (classes.size() != text.size()) std::abort();
  return 0;
}
