#pragma once
// What the book benchmarks share: the large book they load (80 Echomarks,
// each with an introduction, a comment, word lists, eight dictionary
// references and three renderings) and the timing of single runs.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/book/book_fixture.h"

namespace benchbook {

inline constexpr int kEchomarks = 80;

// The normal rendering has `samples` 16-bit mono samples in twelve
// segments; the slower and faster ones are `spread` samples longer and
// shorter.
inline tvtools::book::Book largeBook(std::uint32_t samples, std::uint32_t spread) {
  using namespace tvtools::book;
  Book b;
  b.code = "LARGE";
  b.title = "A large book";
  b.language = 1;
  for (int i = 0; i < 40; ++i)
    b.dictionary.push_back({"word" + std::to_string(i), "second", std::string(200, static_cast<char>('a' + i % 26))});
  const std::string normal = makeWav(samples, std::vector<float>(12, 1.0f / 12));
  const std::string slow = makeWav(samples + spread, {});
  const std::string fast = makeWav(samples - spread, {});
  for (int n = 1; n <= kEchomarks; ++n) {
    Echomark e;
    e.introduction = "Echomark " + std::to_string(n) + " begins with an introduction of a few words";
    e.wordText = "and goes on with the words of the text that the learner reads and hears";
    e.comment = "with a comment on the text";
    e.fixedWords = {1, 4, 7};
    e.keywords = {2, 3, 9, 11};
    e.segmentStarts = {0, 3, 6, 9};
    for (int16_t w = 1; w <= 8; ++w) e.dictionary.push_back({w, static_cast<int16_t>(1 + (n + w) % 40)});
    e.normalWav = normal;
    e.slowWav = slow;
    e.fastWav = fast;
    b.echomarks.push_back(std::move(e));
  }
  return b;
}

// The run's time in milliseconds; `ok` turns false when the run fails.
inline double millisecondsOf(const std::function<bool()>& run, bool& ok) {
  const auto t0 = std::chrono::steady_clock::now();
  ok = run() && ok;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

inline double p95(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(0.95 * static_cast<double>(v.size())))];
}

}  // namespace benchbook
