#include "player/book/text_align.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <unordered_map>

namespace orv {

namespace {

constexpr int kSkippedGiven = -2;  // reference word skipped inside a run of pass 1
constexpr std::uint32_t kNotScored = 0xFFFFFFFFu;
constexpr int kStride = kMaxComparedChars + 1;

std::u32string_view wordOf(std::u32string_view text, const WordSpan& w) {
  if (w.start >= text.size()) return {};
  return text.substr(w.start, std::min<std::size_t>(w.length, text.size() - w.start));
}

void setOwnText(AlignResult& res, std::u32string_view word) {
  const int len = static_cast<int>(word.size());
  res.pair.clear();
  res.pair.longestRun = len;
  res.pair.matched = len;
  res.pair.editText.assign(word);
  res.assigned = true;
}

void setUnpaired(AlignResult& res, int length) {
  res.typedWord = -1;
  res.pair.clear();
  res.pair.missing = length;
  res.pair.editCount = length;
  res.pair.editText.assign(static_cast<std::size_t>(length), kEditMissing);
  res.assigned = false;
}

// Lists the words of `text`, folding their characters when `fold` is set.
int splitWords(std::u32string& text, std::vector<WordSpan>& words, const CharTable& table, bool fold) {
  words.clear();
  bool inWord = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    char32_t f = table.fold(c);
    if (f == 0 && inWord && CharTable::isMark(c)) f = c;
    if (f != 0) {
      if (fold) text[i] = f;
      if (!inWord) {
        inWord = true;
        start = i;
      }
    } else if (inWord) {
      words.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(i - start)});
      inWord = false;
    }
  }
  if (inWord)
    words.push_back(
        {static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(text.size() - start)});
  return static_cast<int>(words.size());
}


}  // namespace

void PairRecord::clear() {
  longestRun = matched = extra = missing = substituted = editCount = 0;
  editText.clear();
}

int SplitWords(std::u32string& text, std::vector<WordSpan>& words, const CharTable& table) {
  return splitWords(text, words, table, true);
}

int SplitWordsKeep(std::u32string_view text, std::vector<WordSpan>& words, const CharTable& table) {
  std::u32string copy(text);
  return splitWords(copy, words, table, false);
}

int CountWords(std::u32string_view text, const CharTable& table) {
  std::vector<WordSpan> words;
  return SplitWordsKeep(text, words, table);
}

void SetBitsFromString(std::string_view text, std::vector<std::uint8_t>& bits) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '1') continue;
    if (bits.size() <= i / 8) bits.resize(i / 8 + 1, 0);
    bits[i / 8] = static_cast<std::uint8_t>(bits[i / 8] | 1u << (i % 8));
  }
}


void EmitGap(PairRecord& rec, int typedGap, int referenceGap, int& typedPos, int& referencePos) {
  while (typedGap > 0 || referenceGap > 0) {
    if (typedGap > 0 && referenceGap > 0) {
      rec.editText.push_back(kEditSubstituted);
      ++rec.substituted;
      --typedGap;
      --referenceGap;
      ++typedPos;
      ++referencePos;
    } else if (typedGap > 0) {
      rec.editText.push_back(kEditExtra);
      ++rec.extra;
      --typedGap;
      ++typedPos;
    } else {
      rec.editText.push_back(kEditMissing);
      ++rec.missing;
      --referenceGap;
      ++referencePos;
    }
    ++rec.editCount;
  }
}

const PairRecord& TextAligner::PairScore(std::u32string_view typedWord,
                                         std::u32string_view referenceWord) {
  score(typedWord, referenceWord, true);
  return m_pair;
}

void TextAligner::score(std::u32string_view t, std::u32string_view r, bool withText) {
  PairRecord& rec = m_pair;
  rec.clear();
  const int lt = static_cast<int>(t.size());
  const int lr = static_cast<int>(r.size());
  const int ct = std::min(lt, kMaxComparedChars);
  const int cr = std::min(lr, kMaxComparedChars);

  // Runs of equal characters from every position pair, from the ends back.
  for (int v = 0; v <= cr; ++v) m_runs[ct * kStride + v] = 0;
  for (int u = ct - 1; u >= 0; --u) {
    m_runs[u * kStride + cr] = 0;
    for (int v = cr - 1; v >= 0; --v)
      m_runs[u * kStride + v] =
          t[u] == r[v] ? static_cast<std::uint8_t>(1 + m_runs[(u + 1) * kStride + v + 1]) : 0;
  }
  int count = 0;
  for (int u = 0; u < ct && count < kMaxCandidates; ++u)
    for (int v = 0; v < cr && count < kMaxCandidates; ++v)
      if (const std::uint8_t run = m_runs[u * kStride + v])
        m_cand[count++] = {static_cast<std::uint16_t>(u), static_cast<std::uint16_t>(v), run, 0};

  if (count == 0) {
    rec.missing = rec.editCount = lr;
    if (withText) rec.editText.assign(static_cast<std::size_t>(lr), kEditMissing);
    else rec.editText.clear();
    return;
  }

  // Keep the longest runs (then the ones nearest the diagonal, then the
  // first), discarding every candidate that crosses a kept run. The order
  // in which runs are chosen depends on each candidate alone, so the
  // candidates are sorted once, by a stable counting sort on (run, distance
  // from the diagonal), and each is settled at its turn against the runs
  // chosen before it. Those runs form a chain increasing in both words, so
  // only its neighbours in the chain can discard or keep it: the last run
  // starting at or before it in the typed word, and the first one after.
  // Radix sort, least significant key first: by distance from the
  // diagonal, then by run length descending; each pass is stable.
  constexpr int kKeys = kMaxComparedChars + 1;
  std::array<std::uint16_t, kKeys + 1> bucket{};
  for (int x = 0; x < count; ++x) ++bucket[static_cast<std::size_t>(std::abs(m_cand[x].u - m_cand[x].r)) + 1];
  for (int b = 1; b <= kKeys; ++b) bucket[b] += bucket[b - 1];
  for (int x = 0; x < count; ++x)
    m_byDiagonal[bucket[static_cast<std::size_t>(std::abs(m_cand[x].u - m_cand[x].r))]++] = static_cast<std::uint16_t>(x);
  bucket.fill(0);
  for (int x = 0; x < count; ++x) ++bucket[static_cast<std::size_t>(kMaxComparedChars - m_cand[x].run) + 1];
  for (int b = 1; b <= kKeys; ++b) bucket[b] += bucket[b - 1];
  for (int o = 0; o < count; ++o) {
    const std::uint16_t x = m_byDiagonal[o];
    m_order[bucket[static_cast<std::size_t>(kMaxComparedChars - m_cand[x].run)]++] = x;
  }

  int chained = 0;  // m_chain[0..chained): chosen runs, ascending in both words
  for (int o = 0; o < count; ++o) {
    Candidate& k = m_cand[m_order[o]];
    // First chosen run starting after k in the typed word.
    const int after = static_cast<int>(
        std::upper_bound(m_chain.begin(), m_chain.begin() + chained, k.u,
                         [](std::uint16_t u, const Candidate& c) { return u < c.u; }) -
        m_chain.begin());
    bool open = true;
    if (after < chained && k.r >= m_chain[after].r) open = false, k.state = 1;
    if (open && after > 0) {
      const Candidate& c = m_chain[after - 1];
      if (k.u < c.u + c.run) {
        const bool onRun = k.u - c.u == k.r - c.r && k.u + k.run == c.u + c.run;
        k.state = onRun ? 2 : 1;
        open = false;
      } else if (k.r < c.r + c.run) {
        k.state = 1;
        open = false;
      }
    }
    if (!open) continue;
    k.state = 2;
    for (int y = chained; y > after; --y) m_chain[y] = m_chain[y - 1];
    m_chain[after] = k;
    ++chained;
  }

  // Kept candidates form a chain increasing in both words: walk them,
  // emitting the gaps between.
  int p = 0, q = 0;
  for (int x = 0; x < count; ++x) {
    const Candidate& k = m_cand[x];
    if (k.state != 2 || k.u < p || k.r < q) continue;
    EmitGap(rec, k.u - p, k.r - q, p, q);
    rec.editText.push_back(t[p]);
    ++p;
    ++q;
    ++rec.matched;
    rec.longestRun = std::max<int>(rec.longestRun, k.run);
  }
  EmitGap(rec, lt - p, lr - q, p, q);
  if (!withText) rec.editText.clear();
}

bool TextAligner::Align(std::u32string_view reference, std::span<const WordSpan> referenceWords,
                        std::u32string_view typed, std::span<const WordSpan> typedWords,
                        std::span<const std::uint8_t> given, const AlignTuning& tuning,
                        std::vector<AlignResult>& results) {
  const std::size_t mAll = referenceWords.size();
  results.resize(mAll);
  for (AlignResult& res : results) {
    res.typedWord = -1;
    res.pair.clear();
    res.assigned = false;
  }
  const int m = static_cast<int>(std::min<std::size_t>(mAll, kMaxAlignWords));
  const int n = static_cast<int>(std::min<std::size_t>(typedWords.size(), kMaxAlignWords));
  auto refWord = [&](int j) { return wordOf(reference, referenceWords[j]); };
  auto typWord = [&](int i) { return wordOf(typed, typedWords[i]); };
  auto isGiven = [&](std::size_t j) { return j < given.size() && given[j] != 0; };

  const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(m);
  m_equal.assign(cells, 0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j) m_equal[i * m + j] = typWord(i) == refWord(j) ? 1 : 0;
  auto eq = [&](int i, int j) { return m_equal[i * m + j] != 0; };

  // Pass 1: runs of equal words, longest first, until a sweep finds none.
  m_typedPaired.assign(n, 0);
  m_refPaired.assign(m, 0);
  m_refTyped.assign(m, -1);
  m_best.assign(n, Run{});
  for (;;) {
    bool found = false;
    std::fill(m_best.begin(), m_best.end(), Run{});
    for (int i = 0; i < n; ++i) {
      if (m_typedPaired[i]) continue;
      for (int j = 0; j < m; ++j) {
        if (m_refPaired[j] || !eq(i, j)) continue;
        int a = 1, skip = 0, k = 1;
        while (i + a < n && j + a + skip < m && !m_typedPaired[i + a]) {
          const int c = j + a + skip;
          if (m_refPaired[c]) break;
          if (eq(i + a, c)) {
            ++k;
            ++a;
            continue;
          }
          if (!isGiven(c)) break;
          ++skip;
        }
        found = true;
        if (m_best[i].words < k) m_best[i] = {j, k, skip + k, false};
      }
    }
    if (!found) break;
    for (;;) {
      int pick = -1;
      for (int i = 0; i < n; ++i)
        if (m_best[i].words > 0 && !m_best[i].taken &&
            (pick < 0 || m_best[i].words > m_best[pick].words))
          pick = i;
      if (pick < 0) break;
      Run& run = m_best[pick];
      run.taken = true;
      int rj = run.start;
      for (int t = 0; t < run.words; ++t) {
        const int ti = pick + t;
        if (ti >= n || m_typedPaired[ti]) break;
        bool stop = false;
        for (;;) {
          if (rj >= m || m_refPaired[rj]) {
            stop = true;
            break;
          }
          if (isGiven(rj) && !eq(ti, rj)) {
            m_refPaired[rj] = 1;
            m_refTyped[rj] = kSkippedGiven;
            ++rj;
            continue;
          }
          m_refPaired[rj] = 1;
          m_refTyped[rj] = ti;
          m_typedPaired[ti] = 1;
          ++rj;
          break;
        }
        if (stop) break;
      }
    }
  }

  // Pass 2: character scores for what is left.
  m_done.assign(m_typedPaired.begin(), m_typedPaired.end());
  for (int j = 0; j < m; ++j) {
    if (m_refPaired[j] && m_refTyped[j] >= 0) {
      results[j].typedWord = m_refTyped[j];
      setOwnText(results[j], refWord(j));
    }
  }
  // Scores depend on the words' characters only: words that recur (as in
  // a text that repeats itself) share their scores, kept under the first
  // occurrence of each word.
  auto firstOccurrence = [](int count, auto word, std::vector<int>& ids) {
    std::unordered_map<std::u32string_view, int> seen;
    ids.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) ids[static_cast<std::size_t>(k)] = seen.emplace(word(k), k).first->second;
  };
  firstOccurrence(n, typWord, m_typedId);
  firstOccurrence(m, refWord, m_refId);
  auto cell = [&](int i, int j) {
    return static_cast<std::size_t>(m_typedId[static_cast<std::size_t>(i)]) * static_cast<std::size_t>(m) +
           static_cast<std::size_t>(m_refId[static_cast<std::size_t>(j)]);
  };
  m_memo.assign(cells, kNotScored);
  auto scoreOf = [&](int i, int j, std::size_t& work) {
    std::uint32_t& s = m_memo[cell(i, j)];
    if (s == kNotScored) {
      const std::u32string_view t = typWord(i), r = refWord(j);
      work += std::min<std::size_t>(t.size(), kMaxComparedChars) * std::min<std::size_t>(r.size(), kMaxComparedChars);
      score(t, r, false);
      s = static_cast<std::uint32_t>(m_pair.matched) << 16 |
          static_cast<std::uint32_t>(m_pair.longestRun);
    }
    return s;
  };
  auto lenDiff = [&](int i, int j) {
    return std::abs(static_cast<int>(refWord(j).size()) - static_cast<int>(typWord(i).size()));
  };
  // The longest common subsequence of the compared characters bounds the
  // matched characters of a pair from above (the kept pairs are one such
  // subsequence), and costs a fraction of a score: a reference word whose
  // bound cannot beat the best pair found so far is not scored.
  m_refMasks.resize(static_cast<std::size_t>(m));
  for (int j = 0; j < m; ++j) {
    std::vector<CharMask>& masks = m_refMasks[static_cast<std::size_t>(j)];
    masks.clear();
    const std::u32string_view w = refWord(j);
    for (std::size_t v = 0; v < w.size() && v < static_cast<std::size_t>(kMaxComparedChars); ++v) {
      auto at = std::find_if(masks.begin(), masks.end(), [&](const CharMask& c) { return c.c == w[v]; });
      if (at == masks.end()) at = masks.insert(masks.end(), CharMask{w[v], 0});
      at->mask |= std::uint64_t{1} << v;
    }
  }
  m_bound.assign(cells, 0xFF);
  auto boundOf = [&](int i, int j) {
    std::uint8_t& b = m_bound[cell(i, j)];
    if (b == 0xFF) {
      const std::vector<CharMask>& masks = m_refMasks[static_cast<std::size_t>(j)];
      const std::u32string_view t = typWord(i);
      const int cr = std::min<int>(static_cast<int>(refWord(j).size()), kMaxComparedChars);
      const std::uint64_t all = cr == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << cr) - 1;
      std::uint64_t v = all;
      for (std::size_t u = 0; u < t.size() && u < static_cast<std::size_t>(kMaxComparedChars); ++u) {
        std::uint64_t match = 0;
        for (const CharMask& c : masks)
          if (c.c == t[u]) match = c.mask;
        const std::uint64_t x = v & match;
        v = ((v + x) | (v - x)) & all;
      }
      b = static_cast<std::uint8_t>(cr - std::popcount(v));
    }
    return static_cast<int>(b);
  };
  // The reference words each typed word tries, by their bound, highest
  // first (then by index). Which words are open to it does not change in
  // this pass, so the order is made once, on the typed word's first turn.
  m_tryFlat.resize(cells);
  m_tryCount.assign(static_cast<std::size_t>(n), -1);
  auto tryOrder = [&](int i) {
    Try* order = m_tryFlat.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m);
    int& count = m_tryCount[static_cast<std::size_t>(i)];
    if (count < 0) {
      count = 0;
      for (int j = 0; j < m; ++j)
        if (!m_refPaired[j] && !isGiven(j)) order[count++] = {boundOf(i, j), j};
      std::sort(order, order + count, [](const Try& a, const Try& b) {
        return a.bound != b.bound ? a.bound > b.bound : a.j < b.j;
      });
    }
    return std::span<const Try>(order, static_cast<std::size_t>(count));
  };
  // The scores of one call are bounded: on texts whose words share most
  // of their characters with every other word (long words over a few
  // letters) the bound above prunes nothing and every pair would be
  // scored. Once the scores made have compared kScoreBudget character
  // pairs, a typed word is scored against its kTriesPastBudget most
  // promising reference words only, or, when it can take none of them,
  // against the first one still free: the pairing stays a valid one, chosen
  // among fewer words, and no typed word is left out while a reference word
  // is free. Texts as learners type them stay far below the bound.
  std::size_t work = 0;
  m_boundReached = false;
  // A reference word changes hands only to a strictly better pair, so the
  // sweeps end; the bound turns a broken rule into a wrong result rather
  // than a hang.
  const std::size_t maxSweeps = cells + 2;
  bool again = true;
  std::size_t sweep = 0;
  for (; again && sweep < maxSweeps; ++sweep) {
    again = false;
    for (int i = 0; i < n; ++i) {
      if (m_done[i]) continue;
      // The best pair: most matched characters, then the smallest length
      // difference, then the longest run, then the first reference word;
      // a word already taken changes hands only to a strictly better pair.
      int bestJ = -1, bestMatched = 0, bestRun = 0, bestDiff = 0;
      int tried = 0;
      for (const Try& t : tryOrder(i)) {
        const int j = t.j;
        const int diff = lenDiff(i, j);
        if (bestJ >= 0 && (t.bound < bestMatched || (t.bound == bestMatched && diff > bestDiff))) {
          if (t.bound < bestMatched) break;
          continue;
        }
        const AlignResult& cur = results[j];
        if (cur.assigned && t.bound < cur.pair.matched) continue;
        if (work >= kScoreBudget) {
          // Past the bound: the few most promising words, and when none
          // of them could be taken, the first one still free.
          m_boundReached = true;
          if (tried >= kTriesPastBudget && (bestJ >= 0 || cur.assigned)) {
            if (bestJ >= 0) break;
            continue;
          }
        }
        ++tried;
        const std::uint32_t s = scoreOf(i, j, work);
        const int matched = static_cast<int>(s >> 16), run = static_cast<int>(s & 0xFFFF);
        if (bestJ >= 0) {
          if (matched < bestMatched) continue;
          if (matched == bestMatched &&
              (diff > bestDiff || (diff == bestDiff && (bestRun > run || (bestRun == run && bestJ < j)))))
            continue;
        }
        if (cur.assigned) {
          const int curDiff = lenDiff(cur.typedWord, j);
          if (matched < cur.pair.matched) continue;
          if (matched == cur.pair.matched &&
              (diff > curDiff || (diff == curDiff && cur.pair.longestRun >= run)))
            continue;
        }
        bestJ = j;
        bestMatched = matched;
        bestRun = run;
        bestDiff = diff;
      }
      m_done[i] = 1;
      if (bestJ < 0) continue;
      AlignResult& res = results[bestJ];
      if (res.assigned && res.typedWord != i) {
        m_done[res.typedWord] = 0;
        again = true;
      }
      // Only the matched characters and the longest run take part in the
      // choices: the full record is made once the pairing has settled.
      res.typedWord = i;
      res.pair.matched = bestMatched;
      res.pair.longestRun = bestRun;
      res.assigned = true;
    }
  }
  for (int j = 0; j < m; ++j) {
    AlignResult& res = results[j];
    if (!res.assigned || (m_refPaired[j] && m_refTyped[j] >= 0)) continue;
    score(typWord(res.typedWord), refWord(j), true);
    res.pair.longestRun = m_pair.longestRun;
    res.pair.matched = m_pair.matched;
    res.pair.extra = m_pair.extra;
    res.pair.missing = m_pair.missing;
    res.pair.substituted = m_pair.substituted;
    res.pair.editCount = m_pair.editCount;
    res.pair.editText.assign(m_pair.editText);
  }

  // Pass 3: verdicts.
  const float matchShare = static_cast<float>(tuning.matchShare) / 100.0f;
  const float editShare = static_cast<float>(tuning.editShare) / 100.0f;
  const float extraShare = static_cast<float>(tuning.extraShare) / 100.0f;
  for (std::size_t j = 0; j < mAll; ++j) {
    AlignResult& res = results[j];
    const std::u32string_view word = wordOf(reference, referenceWords[j]);
    const bool inPass1 = j < static_cast<std::size_t>(m) && m_refPaired[j] && m_refTyped[j] >= 0;
    if (isGiven(j)) {
      res.typedWord = inPass1 ? m_refTyped[j] : -1;
      setOwnText(res, word);
      continue;
    }
    if (inPass1) continue;
    const float len = static_cast<float>(word.size());
    bool keep = res.assigned;
    if (keep) {
      const PairRecord& p = res.pair;
      if (static_cast<float>(p.matched) < len * matchShare)
        keep = false;
      else if (p.editCount > tuning.editCount && static_cast<float>(p.editCount) > len * editShare)
        keep = false;
      else if (p.extra > tuning.extraCount && static_cast<float>(p.extra) > len * extraShare)
        keep = false;
    }
    if (!keep) setUnpaired(res, static_cast<int>(word.size()));
  }
  return !again;
}

int AlignTexts(std::string_view reference, std::string_view typed, const CharTable& table,
               std::span<const std::uint8_t> given, std::vector<AlignResult>& results,
               int matchShare, int editCount, int editShare, int extraCount, int extraShare) {
  std::u32string ref = toNfc32(reference);
  std::u32string typ = toNfc32(typed);
  std::vector<WordSpan> refWords, typWords;
  SplitWords(ref, refWords, table);
  SplitWords(typ, typWords, table);
  TextAligner aligner;
  aligner.Align(ref, refWords, typ, typWords, given,
                AlignTuning{matchShare, editCount, editShare, extraCount, extraShare}, results);
  return 0;
}

}  // namespace orv
