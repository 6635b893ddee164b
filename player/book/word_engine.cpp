#include "player/book/word_engine.h"

COrv_WordEngine::COrv_WordEngine() : m_typed(nullptr), m_reference(nullptr) { LoadCharTable(); }

bool COrv_WordEngine::LoadCharTable() {
  m_table = &orv::CharTable::standard();
  m_typed.SetCharTable(m_table);
  m_reference.SetCharTable(m_table);
  m_state |= kTableLoaded;
  return true;
}

void COrv_WordEngine::SetText(int which, std::string_view utf8) {
  if (which == kTyped) {
    m_state &= ~(kTypedSet | kRunDone);
    m_typed.SetText(utf8);
    m_state |= kTypedSet;
    return;
  }
  m_state &= ~(kReferenceSet | kRunDone);
  m_reference.SetText(utf8);
  m_given.assign(static_cast<std::size_t>(m_reference.GetWordCount()), 0);
  m_state |= kReferenceSet;
}

void COrv_WordEngine::SetTuning(int matchShare, int editShare, int editCount, int extraShare,
                                int extraCount) {
  if (matchShare >= 0) m_tuning.matchShare = matchShare;
  if (editShare >= 0) m_tuning.editShare = editShare;
  if (editCount >= 0) m_tuning.editCount = editCount;
  if (extraShare >= 0) m_tuning.extraShare = extraShare;
  if (extraCount >= 0) m_tuning.extraCount = extraCount;
  m_state &= ~kRunDone;
}

void COrv_WordEngine::SetWordGiven(int n, bool given) {
  if (!(m_state & kReferenceSet) || n < 1 || n > static_cast<int>(m_given.size())) return;
  m_given[n - 1] = given ? 1 : 0;
}

bool COrv_WordEngine::Run() {
  m_state &= ~kRunDone;
  if ((m_state & (kReferenceSet | kTypedSet)) != (kReferenceSet | kTypedSet)) return false;
  m_aligner.Align(m_reference.Folded32(), m_reference.Words(), m_typed.Folded32(),
                  m_typed.Words(), m_given, m_tuning, m_results);
  m_state |= kRunDone;
  return true;
}

const orv::AlignResult* COrv_WordEngine::result(int n) const {
  if (!(m_state & kRunDone) || n < 1 || n > static_cast<int>(m_results.size())) return nullptr;
  return &m_results[n - 1];
}

int COrv_WordEngine::GetResult(int kind, int n) const {
  const orv::AlignResult* r = result(n);
  if (r == nullptr) return 0;
  switch (kind) {
    case kTypedWord: return r->assigned && r->typedWord >= 0 ? r->typedWord + 1 : 0;
    case kEditCount: return r->pair.editCount;
    case kLongestRun: return r->pair.longestRun;
    case kMatched: return r->pair.matched;
    case kEditLength: return static_cast<int>(r->pair.editText.size());
    case kExtra: return r->pair.extra;
    case kMissing: return r->pair.missing;
    case kSubstituted: return r->pair.substituted;
    case kAssigned: return r->assigned ? 1 : 0;
    default: return 0;
  }
}

int COrv_WordEngine::GetEditCode(int n, int pos) const {
  const orv::AlignResult* r = result(n);
  if (r == nullptr || pos < 1 || pos > static_cast<int>(r->pair.editText.size())) return 0;
  switch (r->pair.editText[pos - 1]) {
    case orv::kEditMissing: return kCodeMissing;
    case orv::kEditSubstituted: return kCodeSubstituted;
    case orv::kEditExtra: return kCodeExtra;
    default: return kCodeMatched;
  }
}

void COrv_WordEngine::displayWord(int n, char32_t mask, std::u32string& out) const {
  out.clear();
  const orv::AlignResult* r = result(n);
  if (r == nullptr) return;
  const std::u32string_view ref = m_reference.Word32(n);
  const std::u32string_view typed =
      r->typedWord >= 0 ? m_typed.Word32(r->typedWord + 1) : std::u32string_view();
  std::size_t rp = 0, tp = 0;
  auto typedAt = [&](std::size_t i) { return i < typed.size() ? typed[i] : mask; };
  for (char32_t code : r->pair.editText) {
    switch (code) {
      case orv::kEditExtra:
        out.push_back(typedAt(tp++));
        break;
      case orv::kEditMissing:
        out.push_back(mask);
        ++rp;
        break;
      case orv::kEditSubstituted:
        out.push_back(typedAt(tp++));
        ++rp;
        break;
      default:
        out.push_back(rp < ref.size() ? ref[rp] : code);
        ++rp;
        ++tp;
        break;
    }
  }
}

char32_t COrv_WordEngine::GetDisplayChar(int n, int pos, int mask) const {
  const orv::AlignResult* r = result(n);
  if (r == nullptr || pos < 1 || pos > static_cast<int>(r->pair.editText.size())) return 0;
  std::u32string word;
  displayWord(n, mask < 0 ? m_mask : static_cast<char32_t>(mask), word);
  return word[static_cast<std::size_t>(pos - 1)];
}

std::u32string COrv_WordEngine::GetDisplayWord(int n, int mask) const {
  std::u32string word;
  displayWord(n, mask < 0 ? m_mask : static_cast<char32_t>(mask), word);
  return word;
}

int COrv_WordEngine::BuildResult(std::u32string& text, std::vector<std::uint8_t>& classes,
                                 std::vector<int>& starts, std::vector<int>& lengths,
                                 int mask) const {
  text.clear();
  classes.clear();
  starts.clear();
  lengths.clear();
  if (!(m_state & kRunDone)) return 0;
  const char32_t m = mask < 0 ? m_mask : static_cast<char32_t>(mask);
  auto addGap = [&](std::u32string_view gap) {
    text.append(gap);
    classes.insert(classes.end(), gap.size(), kShowPlain);
  };
  addGap(m_reference.Gap32(0));
  std::u32string word;
  const int count = m_reference.GetWordCount();
  for (int n = 1; n <= count; ++n) {
    displayWord(n, m, word);
    starts.push_back(static_cast<int>(text.size()));
    lengths.push_back(static_cast<int>(word.size()));
    text.append(word);
    for (char32_t code : m_results[n - 1].pair.editText) {
      switch (code) {
        case orv::kEditMissing: classes.push_back(kShowMissing); break;
        case orv::kEditSubstituted: classes.push_back(kShowSubstituted); break;
        case orv::kEditExtra: classes.push_back(kShowExtra); break;
        default: classes.push_back(kShowPlain); break;
      }
    }
    addGap(m_reference.Gap32(n));
  }
  return count;
}

bool COrv_WordEngine::IsPerfect() const {
  if (!(m_state & kRunDone) || m_results.empty()) return false;
  for (const orv::AlignResult& r : m_results)
    if (r.pair.editCount != 0) return false;
  return true;
}
