// Alignment of a typed text against a reference text, as the word engine
// runs it when the learner checks an Echomark: 40, 60 and 255 words with
// 0, 10 and 30 % mistyped words, in order and shuffled, and adversarial
// texts of several shapes. Each case reports the 95th percentile of one
// run in milliseconds (p95_ms) besides the mean.

#include "player/book/word_engine.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

std::string randomWord(std::mt19937& rng) {
  static const char* const kSyllables[] = {"ka", "te", "ro", "lin", "mo", "sa", "ver", "de",
                                           "ul", "pri", "sto", "na", "é", "gar", "bé", "tu"};
  std::string w;
  const int parts = 1 + static_cast<int>(rng() % 3);
  for (int k = 0; k < parts; ++k) w += kSyllables[rng() % 16];
  return w;
}

std::string mistype(std::string w, std::mt19937& rng) {
  switch (rng() % 3) {
    case 0: w[rng() % w.size()] = 'x'; break;  // substitution (may split a UTF-8 é: a separator)
    case 1: w.insert(w.begin() + static_cast<long>(rng() % w.size()), 'q'); break;
    default: if (w.size() > 1) w.erase(w.begin() + static_cast<long>(rng() % w.size())); break;
  }
  return w;
}

void reportP95(benchmark::State& state, std::vector<double>& ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  state.counters["p95_ms"] = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  state.counters["maxrss_MB"] = static_cast<double>(use.ru_maxrss) / 1024.0;
}

void runEngine(benchmark::State& state, COrv_WordEngine& engine) {
  std::vector<double> ms;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    engine.SetTuning(-1, -1, -1, -1, -1);  // ends the last run
    benchmark::DoNotOptimize(engine.Run());
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count());
  }
  reportP95(state, ms);
}

// Arguments: words, percent mistyped, shuffled (0 or 1).
void BM_Align(benchmark::State& state) {
  const int words = static_cast<int>(state.range(0));
  const int typos = static_cast<int>(state.range(1));
  const bool shuffled = state.range(2) != 0;
  std::mt19937 rng(1234 + words * 7 + typos);
  std::vector<std::string> ref(words);
  for (auto& w : ref) w = randomWord(rng);
  std::vector<std::string> typed = ref;
  for (auto& w : typed)
    if (static_cast<int>(rng() % 100) < typos) w = mistype(w, rng);
  if (shuffled) std::shuffle(typed.begin(), typed.end(), rng);
  std::string refText, typedText;
  for (auto& w : ref) refText += w + " ";
  for (auto& w : typed) typedText += w + " ";
  COrv_WordEngine engine;
  engine.SetText(1, refText);
  engine.SetText(COrv_WordEngine::kTyped, typedText);
  runEngine(state, engine);
}
BENCHMARK(BM_Align)
    ->ArgsProduct({{40, 60, 255}, {0, 10, 30}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// 255 long words of repeated letters, none typed exactly: every pair has
// many equal characters and none pairs in the first pass.
void BM_AlignRepeatedLetters(benchmark::State& state) {
  const int len = static_cast<int>(state.range(0));
  std::string ref, typed;
  for (int k = 0; k < 255; ++k) {
    ref += std::string(static_cast<std::size_t>(len), 'a') + static_cast<char>('b' + k % 20) + " ";
    typed += std::string(static_cast<std::size_t>(len - 1), 'a') +
             static_cast<char>('b' + (k + 7) % 20) + "z ";
  }
  COrv_WordEngine engine;
  engine.SetText(1, ref);
  engine.SetText(COrv_WordEngine::kTyped, typed);
  runEngine(state, engine);
}
BENCHMARK(BM_AlignRepeatedLetters)->Arg(33)->Arg(56)->Arg(200)->Unit(benchmark::kMillisecond);

// Realistic texts as the learner types them: 255 words, 10 % mistyped,
// shuffled. The p95 of a few runs, the yardstick of the adversarial cases.
double realisticP95() {
  std::mt19937 rng(99);
  std::vector<std::string> ref(255);
  for (auto& w : ref) w = randomWord(rng);
  std::vector<std::string> typed = ref;
  for (auto& w : typed)
    if (rng() % 100 < 10) w = mistype(w, rng);
  std::shuffle(typed.begin(), typed.end(), rng);
  std::string refText, typedText;
  for (auto& w : ref) refText += w + " ";
  for (auto& w : typed) typedText += w + " ";
  COrv_WordEngine engine;
  engine.SetText(1, refText);
  engine.SetText(COrv_WordEngine::kTyped, typedText);
  std::vector<double> ms;
  for (int k = 0; k < 40; ++k) {
    const auto t0 = std::chrono::steady_clock::now();
    engine.SetTuning(-1, -1, -1, -1, -1);
    benchmark::DoNotOptimize(engine.Run());
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() * 95 / 100];
}

// 255 reference words against 255 typed words that share many characters
// with them, in several shapes: 56 characters of one letter, of "ab"
// against "a", of "ab" against "abb", random words of two letters, a
// repeated word against its typo, and random words of 56 characters over
// two letters. Reports the p95 against the realistic p95 of the same run
// (x_realistic).
void BM_AlignAdversarial(benchmark::State& state) {
  const int shape = static_cast<int>(state.range(0));
  std::mt19937 rng(7);
  auto periodic = [](const char* period, std::size_t len) {
    std::string w;
    while (w.size() < len) w += period;
    w.resize(len);
    return w;
  };
  std::string ref, typed;
  for (int k = 0; k < 255; ++k) {
    std::string r, t;
    switch (shape) {
      case 0: r = std::string(56, 'a'), t = std::string(55, 'a') + "b"; break;  // repeated letters
      case 1: r = periodic("ab", 56), t = std::string(56, 'a'); break;          // alternating pairs
      case 2: r = periodic("ab", 56), t = periodic("abb", 56); break;           // periods of two and three
      case 3:                                                                   // random two-letter words
        r = {static_cast<char>('a' + rng() % 4), static_cast<char>('a' + rng() % 4)};
        t = {static_cast<char>('a' + rng() % 4), static_cast<char>('a' + rng() % 4)};
        break;
      case 5:  // random long words over two letters: every pair scored in full
        for (int c = 0; c < 56; ++c) r += static_cast<char>('a' + rng() % 2), t += static_cast<char>('a' + rng() % 2);
        break;
      default: r = periodic("dasist", 56), t = periodic("dasits", 56); break;   // repeated words
    }
    ref += r + " ";
    typed += t + " ";
  }
  const double yardstick = realisticP95();
  COrv_WordEngine engine;
  engine.SetText(1, ref);
  engine.SetText(COrv_WordEngine::kTyped, typed);
  std::vector<double> ms;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    engine.SetTuning(-1, -1, -1, -1, -1);
    benchmark::DoNotOptimize(engine.Run());
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  reportP95(state, ms);
  state.counters["realistic_p95_ms"] = yardstick;
  state.counters["x_realistic"] = state.counters["p95_ms"] / yardstick;
}
BENCHMARK(BM_AlignAdversarial)->DenseRange(0, 5)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
