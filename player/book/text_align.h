#pragma once
// Word-by-word alignment of a learner's typed text against the reference
// text of an Echomark, and character-by-character alignment inside each
// word pair. For every reference word the result says which typed word was
// paired with it, how many characters matched, were extra, missing or
// substituted, and gives an edit text: each matched character as typed
// (folded) and one edit code per edit.
//
// The work is done on folded words (see char_table.h). In three passes:
// 1. runs of equal words are paired, longest runs first (given reference
//    words, which the learner need not type, may be skipped inside a run);
// 2. the remaining typed words are paired with the remaining, not-given
//    reference words by their character scores; a reference word taken by
//    a typed word is given up only to a strictly better pair, and the
//    displaced typed word is tried again;
// 3. a pass-2 pairing that matched too little, or has too many edits or
//    extra characters for the word's length, is dropped.
//
// Limits. Within them the results are those of the rules above; beyond
// them the behaviour is defined as follows, so that free input can neither
// overrun anything nor take long:
// - kMaxAlignWords words per text take part. Typed words after it are
//   ignored; reference words after it are only given their verdict (own
//   text when given, all missing otherwise).
// - kMaxComparedChars characters of each word take part in a character
//   comparison; characters after them never match, and show as extra,
//   missing or substituted (an equal-words pairing in pass 1 compares whole
//   words). The edit text has no fixed size: however long the words, it
//   is kept whole.
// - kMaxCandidates equal-character positions are collected per word pair,
//   the first ones in typed-then-reference position order.
// - The character comparisons of one alignment compare at most about
//   kScoreBudget character pairs before each remaining typed word is
//   compared with its kTriesPastBudget most promising reference words
//   only (by the longest common subsequence of the two words): so an
//   alignment of any texts takes a bounded time. Texts as learners type
//   them stay far below the bound.

#include "player/book/char_table.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Edit codes: values above the Unicode range, so no character is one.
inline constexpr char32_t kEditExtra = 0x110000 + 190;        // typed, not in the reference
inline constexpr char32_t kEditMissing = 0x110000 + 191;      // in the reference, not typed
inline constexpr char32_t kEditSubstituted = 0x110000 + 192;  // typed in place of another

inline constexpr int kMaxAlignWords = 255;
inline constexpr int kMaxComparedChars = 56;
inline constexpr int kMaxCandidates = 1024;
inline constexpr std::size_t kScoreBudget = 1'000'000;
inline constexpr int kTriesPastBudget = 2;

struct WordSpan {
  std::uint32_t start = 0;   // code point offset in its text
  std::uint32_t length = 0;  // in code points
};

// The outcome of comparing one typed word with one reference word.
struct PairRecord {
  int longestRun = 0;   // longest run of equal characters among the kept pairs
  int matched = 0;
  int extra = 0;
  int missing = 0;
  int substituted = 0;
  int editCount = 0;    // extra + missing + substituted
  std::u32string editText;  // matched characters and edit codes; size() is its length

  void clear();
};

struct AlignResult {
  int typedWord = -1;  // 0-based typed word paired with the reference word, -1 for none
  PairRecord pair;
  bool assigned = false;  // paired, or given
};

// Thresholds of pass 3: shares in hundredths of the reference word's length.
struct AlignTuning {
  int matchShare = 50;  // minimum matched share
  int editCount = 2;    // edits above this count ...
  int editShare = 50;   // ... and above this share drop the pairing
  int extraCount = 3;   // extra characters above this count ...
  int extraShare = 34;  // ... and above this share drop it
};

// Folds the word characters of `text` in place (separators are left as they
// are) and lists its words. Returns the number of words.
int SplitWords(std::u32string& text, std::vector<WordSpan>& words,
               const CharTable& table = CharTable::standard());

// Appends the edit codes for a gap of `typedGap` typed and `referenceGap`
// reference characters: substitutions while both have characters left,
// then extra or missing ones. Advances the two positions.
void EmitGap(PairRecord& record, int typedGap, int referenceGap, int& typedPos, int& referencePos);

// The aligner with its work areas, kept between calls so that repeated
// alignments do not allocate. Not for concurrent use.
class TextAligner {
 public:
  // Aligns folded typed words against folded reference words. `given` holds
  // one flag per reference word (missing flags count as not given).
  // `results` gets one record per reference word. False when the second
  // pass did not settle within its bound of sweeps (which the pairing rules
  // never reach): the results are then those of the last sweep.
  bool Align(std::u32string_view reference, std::span<const WordSpan> referenceWords,
             std::u32string_view typed, std::span<const WordSpan> typedWords,
             std::span<const std::uint8_t> given, const AlignTuning& tuning,
             std::vector<AlignResult>& results);

  // True when the last Align reached its bound on the work of the second
  // pass (see kScoreBudget): its pairing is then a valid one, but not
  // necessarily the best the rules would find.
  bool BoundReached() const { return m_boundReached; }

  // Character comparison of one folded typed word with one folded reference
  // word. The record stays valid until the next call.
  const PairRecord& PairScore(std::u32string_view typedWord, std::u32string_view referenceWord);

 private:
  struct Candidate {
    std::uint16_t u, r, run;
    std::uint8_t state;  // 0 open, 1 discarded, 2 kept
  };
  struct Run {
    int start = 0;   // first reference word
    int words = 0;   // matched words
    int span = 0;    // matched plus skipped given words
    bool taken = false;
  };

  void score(std::u32string_view t, std::u32string_view r, bool withText);

  PairRecord m_pair;
  std::array<Candidate, kMaxCandidates> m_cand{};
  // Candidates in the order runs are chosen, and the same after the first
  // pass of their radix sort.
  std::array<std::uint16_t, kMaxCandidates> m_order{}, m_byDiagonal{};
  // The chosen runs, ascending in both words (at most one per character).
  std::array<Candidate, kMaxComparedChars + 1> m_chain{};
  std::array<std::uint8_t, (kMaxComparedChars + 1) * (kMaxComparedChars + 1)> m_runs{};
  std::vector<std::uint8_t> m_equal;  // typed x reference: folded words equal
  std::vector<std::uint32_t> m_memo;  // typed x reference: matched << 16 | longest run
  std::vector<int> m_typedId, m_refId;  // first occurrence of each word's characters
  std::vector<std::uint8_t> m_bound;  // typed x reference: bound on matched (0xFF: not yet)
  struct CharMask {
    char32_t c;
    std::uint64_t mask;  // the positions of c among the compared characters
  };
  std::vector<std::vector<CharMask>> m_refMasks;
  struct Try {
    int bound, j;
  };
  std::vector<Try> m_tryFlat;     // typed x reference: each typed word's try order
  std::vector<int> m_tryCount;    // per typed word: its length, -1 not made yet
  bool m_boundReached = false;
  std::vector<Run> m_best;
  std::vector<std::uint8_t> m_typedPaired, m_refPaired, m_done;
  std::vector<int> m_refTyped;
};

// The number of words of `text` by `table`, as SplitWords counts them.
int CountWords(std::u32string_view text, const CharTable& table = CharTable::standard());
// SplitWords without folding: `text` stays as it is.
int SplitWordsKeep(std::u32string_view text, std::vector<WordSpan>& words,
                   const CharTable& table = CharTable::standard());
// Sets bit i (bit i % 8 of byte i / 8) of `bits` for every '1' at position
// i of `text`; `bits` grows to hold them.
void SetBitsFromString(std::string_view text, std::vector<std::uint8_t>& bits);
// The size of one result record as stored: the typed word, the pair
// record with its 56-byte edit text, and the assigned flag.
constexpr int ResultRecordSize() { return 74; }

// Splits both UTF-8 texts with `table` and aligns them (one aligner for the
// call). Returns 0.
int AlignTexts(std::string_view reference, std::string_view typed, const CharTable& table,
               std::span<const std::uint8_t> given, std::vector<AlignResult>& results,
               int matchShare, int editCount, int editShare, int extraCount, int extraShare);

}  // namespace orv
