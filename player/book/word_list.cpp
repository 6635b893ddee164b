#include "player/book/word_list.h"

COrv_WordList::COrv_WordList(const orv::CharTable* table) : m_table(table) {}

int COrv_WordList::SetText(std::string_view utf8) {
  m_words.clear();
  m_text = orv::toNfc32(utf8);
  m_folded = m_text;
  if (m_table == nullptr || m_text.empty()) return 0;
  return orv::SplitWords(m_folded, m_words, *m_table);
}

std::u32string_view COrv_WordList::Word32(int n) const {
  if (n < 1 || n > GetWordCount()) return {};
  const orv::WordSpan& w = m_words[n - 1];
  return std::u32string_view(m_text).substr(w.start, w.length);
}

std::u32string_view COrv_WordList::Gap32(int n) const {
  const int count = GetWordCount();
  if (n < 0 || n > count || m_text.empty()) return {};
  const std::u32string_view text(m_text);
  if (count == 0) return text;  // a text without words is all gap
  const std::size_t from = n == 0 ? 0 : m_words[n - 1].start + m_words[n - 1].length;
  const std::size_t to = n == count ? text.size() : m_words[n].start;
  return text.substr(from, to - from);
}

std::string COrv_WordList::GetWord(int n) const { return orv::toUtf8(Word32(n)); }
std::string COrv_WordList::GetText() const { return orv::toUtf8(m_text); }
std::string COrv_WordList::GetGap(int n) const { return orv::toUtf8(Gap32(n)); }

int COrv_WordList::GetWordStart(int n) const {
  if (n < 1 || n > GetWordCount()) return -1;
  return static_cast<int>(m_words[n - 1].start);
}

int COrv_WordList::GetWordLength(int n) const {
  if (n < 1 || n > GetWordCount()) return 0;
  return static_cast<int>(m_words[n - 1].length);
}
