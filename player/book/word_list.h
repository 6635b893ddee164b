#pragma once
// A text split into words by the word-character table. The text is kept in
// NFC; word starts and lengths count its code points. Words are numbered
// from 1.

#include "player/book/char_table.h"
#include "player/book/text_align.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

class COrv_WordList {
 public:
  explicit COrv_WordList(const orv::CharTable* table = &orv::CharTable::standard());
  virtual ~COrv_WordList() = default;

  // Stores the text (UTF-8, normalised to NFC; malformed bytes become
  // U+FFFD) and splits it. Returns the number of words: 0 for an empty text
  // or without a table.
  int SetText(std::string_view utf8);
  void SetCharTable(const orv::CharTable* table) { m_table = table; }

  int GetWordCount() const { return static_cast<int>(m_words.size()); }
  // Word n as it stands in the text; empty outside 1..count.
  std::string GetWord(int n) const;
  std::string GetText() const;
  // Code point offset of word n (0-based); -1 outside 1..count.
  int GetWordStart(int n) const;
  // Length of word n in code points; 0 outside 1..count.
  int GetWordLength(int n) const;
  // Text between word n and n + 1: n = 0 before the first word, n = count
  // after the last; empty outside 0..count (and for an empty text).
  std::string GetGap(int n) const;

  // The same, in code points.
  const std::u32string& Text32() const { return m_text; }
  const std::u32string& Folded32() const { return m_folded; }
  std::span<const orv::WordSpan> Words() const { return m_words; }
  std::u32string_view Word32(int n) const;
  std::u32string_view Gap32(int n) const;

 private:
  const orv::CharTable* m_table;
  std::u32string m_text;
  std::u32string m_folded;
  std::vector<orv::WordSpan> m_words;
};
