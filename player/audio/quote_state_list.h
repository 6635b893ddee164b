#pragma once
// What the learner has done with each Echomark of the open book while it is
// open: the typed text, the Echomark's status word and a saved copy of its
// per-word flag words. The meaning of the bits is the document's; this
// store only keeps them. Echomarks are numbered 1..N; any other number makes
// a getter answer the empty value and a setter do nothing.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class COrv_QuoteStateList {
 public:
  // Status bits that ResetQuote clears (1, 2 and 12 to 15) and sets (13).
  static constexpr std::uint32_t kResetClear = 0xF006;
  static constexpr std::uint32_t kResetSet = 0x2000;
  static constexpr std::uint32_t kWordsMissing = 0x4;
  static constexpr std::uint32_t kVisited = 0x1;  // cleared by ResetAll

  COrv_QuoteStateList() = default;
  virtual ~COrv_QuoteStateList() = default;

  // Sizes the store for a book of `quoteCount` Echomarks (the loaded book's
  // count), forgetting everything held for an earlier book. A negative
  // count counts as 0.
  void Init(int quoteCount);
  int GetQuoteCount() const { return m_count; }

  std::string GetText(int n) const;
  void SetText(int n, const std::string& text);
  std::uint32_t GetFlags(int n) const;
  void SetFlags(int n, std::uint32_t flags);

  // Replaces the copy held for n by a copy of `flags` (element 0 belongs to
  // no word). An array without word elements (size 0 or 1) only drops the
  // copy, so that GetWordFlags never answers true with nothing in it.
  // False outside 1..N.
  bool SetWordFlags(int n, const std::vector<std::uint32_t>& flags);
  // False, `out` untouched, when no copy is held for n. Else sizes `out` to
  // the copy and copies elements 1 onwards; element 0 of `out` keeps what it
  // had (0 when `out` grew from empty).
  bool GetWordFlags(int n, std::vector<std::uint32_t>& out) const;

  // Empties n's text, clears status bits 1, 2 and 12 to 15, sets bit 13 and
  // keeps only the low 16 bits of every word-flag word held for n. False
  // outside 1..N.
  bool ResetQuote(int n);
  // ResetQuote for every Echomark, then clears bit 0 of each status word.
  // False only for a store that was never sized.
  bool ResetAll();
  // Whether some Echomark's status word has bit 2 (words missing) set.
  bool AnyWordsMissing() const;

 private:
  bool valid(int n) const { return n >= 1 && n <= m_count; }

  bool m_sized = false;
  int m_count = 0;
  std::vector<std::string> m_texts;
  std::vector<std::uint32_t> m_flags;
  std::unordered_map<int, std::vector<std::uint32_t>> m_wordFlags;
};
