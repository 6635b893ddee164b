#include "player/audio/quote_state_list.h"

#include <algorithm>

void COrv_QuoteStateList::Init(int quoteCount) {
  m_count = std::max(quoteCount, 0);
  m_texts.assign(static_cast<size_t>(m_count) + 1, std::string());
  m_flags.assign(static_cast<size_t>(m_count) + 1, 0);
  m_wordFlags.clear();
  m_sized = true;
}

std::string COrv_QuoteStateList::GetText(int n) const {
  return valid(n) ? m_texts[static_cast<size_t>(n)] : std::string();
}

void COrv_QuoteStateList::SetText(int n, const std::string& text) {
  if (valid(n)) m_texts[static_cast<size_t>(n)] = text;
}

std::uint32_t COrv_QuoteStateList::GetFlags(int n) const {
  return valid(n) ? m_flags[static_cast<size_t>(n)] : 0;
}

void COrv_QuoteStateList::SetFlags(int n, std::uint32_t flags) {
  if (valid(n)) m_flags[static_cast<size_t>(n)] = flags;
}

bool COrv_QuoteStateList::SetWordFlags(int n, const std::vector<std::uint32_t>& flags) {
  if (!valid(n)) return false;
  if (flags.size() <= 1)
    m_wordFlags.erase(n);
  else
    m_wordFlags[n] = flags;
  return true;
}

bool COrv_QuoteStateList::GetWordFlags(int n, std::vector<std::uint32_t>& out) const {
  if (!valid(n)) return false;
  const auto it = m_wordFlags.find(n);
  if (it == m_wordFlags.end()) return false;
  const std::vector<std::uint32_t>& copy = it->second;
  out.resize(copy.size());
  std::copy(copy.begin() + 1, copy.end(), out.begin() + 1);
  return true;
}

bool COrv_QuoteStateList::ResetQuote(int n) {
  if (!valid(n)) return false;
  m_texts[static_cast<size_t>(n)].clear();
  std::uint32_t& status = m_flags[static_cast<size_t>(n)];
  status = (status & ~kResetClear) | kResetSet;
  // Only a copy that is held is trimmed: none is made where there was none.
  const auto it = m_wordFlags.find(n);
  if (it != m_wordFlags.end())
    for (std::uint32_t& w : it->second) w &= 0xFFFF;
  return true;
}

bool COrv_QuoteStateList::ResetAll() {
  if (!m_sized) return false;
  for (int n = 1; n <= m_count; ++n) {
    ResetQuote(n);
    m_flags[static_cast<size_t>(n)] &= ~kVisited;
  }
  return true;
}

bool COrv_QuoteStateList::AnyWordsMissing() const {
  for (int n = 1; n <= m_count; ++n)
    if (m_flags[static_cast<size_t>(n)] & kWordsMissing) return true;
  return false;
}
