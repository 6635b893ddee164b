#pragma once
// Holds a reference text and a typed text as word lists, aligns them and
// answers per reference word: the typed word paired with it, its counts,
// its edit codes, and a display form in which missing letters show as a
// mask character.

#include "player/book/text_align.h"
#include "player/book/word_list.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class COrv_WordEngine {
 public:
  // Which text a call is about.
  static constexpr int kTyped = 2;  // any other value: the reference text

  // GetResult kinds.
  enum ResultKind {
    kTypedWord = 1,    // paired typed word (1-based) when assigned and typed, else 0
    kEditCount = 2,
    kLongestRun = 4,
    kMatched = 8,
    kEditLength = 16,
    kExtra = 18,
    kMissing = 20,
    kSubstituted = 24,
    kAssigned = 32,
  };

  // GetEditCode answers.
  enum EditCode { kCodeMissing = 0, kCodeMatched = 1, kCodeSubstituted = 2, kCodeExtra = 3 };

  // State bits.
  enum : unsigned { kReferenceSet = 1, kTypedSet = 2, kRunDone = 4, kTableLoaded = 8 };

  COrv_WordEngine();
  virtual ~COrv_WordEngine() = default;

  // Makes the word-character table available (always built in).
  bool LoadCharTable();

  // which = kTyped sets the typed text, any other value the reference text
  // (its given flags are reset to one zero per word). Either ends the last
  // run. A reference text without words still counts as set: a run then
  // succeeds with no words.
  void SetText(int which, std::string_view utf8);

  // Each non-negative value replaces the current one and ends the last run.
  void SetTuning(int matchShare, int editShare, int editCount, int extraShare, int extraCount);
  const orv::AlignTuning& Tuning() const { return m_tuning; }

  // Word n (1-based) of the reference need (not) be typed by the learner.
  void SetWordGiven(int n, bool given);

  // Aligns the typed text against the reference with the current tuning.
  // FALSE until both texts are set.
  bool Run();

  // 0 unless a run is done and 1 <= n <= reference word count.
  int GetResult(int kind, int n) const;
  // Edit code at position pos (1-based) of word n's edit text; 0 outside.
  int GetEditCode(int n, int pos) const;
  // Display character at position pos of word n: an extra or substituted
  // character shows as typed, a missing one as the mask (the engine's own
  // when mask is -1), a matched one as in the reference. 0 outside.
  char32_t GetDisplayChar(int n, int pos, int mask = -1) const;
  // One character per edit-text position; empty without a run or outside.
  std::u32string GetDisplayWord(int n, int mask = -1) const;

  // Display classes of BuildResult.
  enum DisplayClass : std::uint8_t {
    kShowPlain = 0,
    kShowExtra = 18,
    kShowMissing = 20,
    kShowSubstituted = 24
  };
  // The display text of the whole reference: its leading gap, then each
  // word's display word (with its start in `text` and its edit length) and
  // the gap after it. One class per character of `text` (gaps kShowPlain).
  // Returns the reference word count; without a run the outputs are empty
  // and it returns 0.
  int BuildResult(std::u32string& text, std::vector<std::uint8_t>& classes,
                  std::vector<int>& starts, std::vector<int>& lengths, int mask = -1) const;

  // TRUE when a run is done over at least one reference word and no word
  // has an edit.
  bool IsPerfect() const;

  int GetWordCount(int which) const { return list(which).GetWordCount(); }
  std::string GetWord(int which, int n) const { return list(which).GetWord(n); }
  std::string GetGap(int which, int n) const { return list(which).GetGap(n); }

  char32_t Mask() const { return m_mask; }
  void SetMask(char32_t mask) { m_mask = mask; }
  unsigned State() const { return m_state; }

 private:
  const COrv_WordList& list(int which) const { return which == kTyped ? m_typed : m_reference; }
  const orv::AlignResult* result(int n) const;
  void displayWord(int n, char32_t mask, std::u32string& out) const;

  char32_t m_mask = U'_';
  std::vector<std::uint8_t> m_given;
  std::vector<orv::AlignResult> m_results;
  orv::AlignTuning m_tuning;
  COrv_WordList m_typed;
  COrv_WordList m_reference;
  unsigned m_state = 0;
  const orv::CharTable* m_table = nullptr;
  orv::TextAligner m_aligner;
};
