#include "player/book/text_align.h"

#include <algorithm>
#include <cstdlib>

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

}  // namespace

void PairRecord::clear() {
  longestRun = matched = extra = missing = substituted = editCount = 0;
  editText.clear();
}

int SplitWords(std::u32string& text, std::vector<WordSpan>& words, const CharTable& table) {
  words.clear();
  bool inWord = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    char32_t f = table.fold(c);
    if (f == 0 && inWord && CharTable::isMark(c)) f = c;
    if (f != 0) {
      text[i] = f;
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
  // first), discarding every candidate that crosses a kept run.
  for (;;) {
    int c = -1;
    for (int x = 0; x < count; ++x) {
      const Candidate& k = m_cand[x];
      if (k.state != 0) continue;
      if (c < 0 || k.run > m_cand[c].run ||
          (k.run == m_cand[c].run &&
           std::abs(k.u - k.r) < std::abs(m_cand[c].u - m_cand[c].r)))
        c = x;
    }
    if (c < 0) break;
    m_cand[c].state = 2;
    const int uc = m_cand[c].u, rc = m_cand[c].r, len = m_cand[c].run;
    for (int x = 0; x < count; ++x) {
      Candidate& k = m_cand[x];
      if (k.state != 0) continue;
      if (k.u < uc) {
        if (k.r >= rc) k.state = 1;
      } else if (k.u < uc + len) {
        const bool onRun = k.u - uc == k.r - rc && k.u + k.run == uc + len;
        k.state = onRun ? 2 : 1;
      } else if (k.r < rc + len) {
        k.state = 1;
      }
    }
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

void TextAligner::Align(std::u32string_view reference, std::span<const WordSpan> referenceWords,
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
  m_memo.assign(cells, kNotScored);
  auto scoreOf = [&](int i, int j) {
    std::uint32_t& s = m_memo[i * m + j];
    if (s == kNotScored) {
      score(typWord(i), refWord(j), false);
      s = static_cast<std::uint32_t>(m_pair.matched) << 16 |
          static_cast<std::uint32_t>(m_pair.longestRun);
    }
    return s;
  };
  auto lenDiff = [&](int i, int j) {
    return std::abs(static_cast<int>(refWord(j).size()) - static_cast<int>(typWord(i).size()));
  };
  bool again = true;
  while (again) {
    again = false;
    for (int i = 0; i < n; ++i) {
      if (m_done[i]) continue;
      int bestJ = -1, bestMatched = 0, bestRun = 0, bestDiff = 0;
      for (int j = 0; j < m; ++j) {
        if (m_refPaired[j] || isGiven(j)) continue;
        const std::uint32_t s = scoreOf(i, j);
        const int matched = static_cast<int>(s >> 16), run = static_cast<int>(s & 0xFFFF);
        const int diff = lenDiff(i, j);
        if (bestJ >= 0) {
          if (matched < bestMatched) continue;
          if (matched == bestMatched && (diff > bestDiff || (diff == bestDiff && bestRun >= run)))
            continue;
        }
        const AlignResult& cur = results[j];
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
      score(typWord(i), refWord(bestJ), true);
      res.typedWord = i;
      res.pair.longestRun = m_pair.longestRun;
      res.pair.matched = m_pair.matched;
      res.pair.extra = m_pair.extra;
      res.pair.missing = m_pair.missing;
      res.pair.substituted = m_pair.substituted;
      res.pair.editCount = m_pair.editCount;
      res.pair.editText.assign(m_pair.editText);
      res.assigned = true;
    }
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
