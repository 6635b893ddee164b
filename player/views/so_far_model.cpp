#include "player/views/so_far_model.h"

#include <QApplication>
#include <QChar>

#include <algorithm>
#include <cstdlib>

namespace {

char32_t fold(char32_t c) { return QChar::toCaseFolded(c); }

}  // namespace

// ---------------------------------------------------------------- loading

COrv_SoFarModel::WordCopy COrv_SoFarModel::copyOfWord(int n) const {
  WordCopy w;
  if (n < 1 || n > WordCount()) return w;
  const int f = m_first[n], len = m_length[n];
  w.text = m_shown.substr(static_cast<std::size_t>(f), static_cast<std::size_t>(len));
  w.kinds.assign(m_kinds.begin() + f, m_kinds.begin() + f + len);
  return w;
}

void COrv_SoFarModel::Load(const orv::SoFarState& state) {
  // Take the document's copy, trusting none of its sizes.
  std::u32string shown = state.shown;
  std::vector<int> kinds = state.kinds;
  kinds.resize(shown.size(), kPlain);
  const std::size_t words =
      std::min({state.status.size(), state.first.size(), state.length.size()});
  std::vector<std::uint32_t> status(std::max<std::size_t>(words, 1), 0);
  std::vector<int> first(status.size(), 0), length(status.size(), 0);
  int end = 0;
  for (std::size_t n = 1; n < words; ++n) {
    // Words lie in order, inside the text and apart; one that does not is
    // kept as an empty word after the previous one.
    int f = state.first[n], len = state.length[n];
    if (f < end || len < 0 || f > static_cast<int>(shown.size()) ||
        len > static_cast<int>(shown.size()) - f) {
      f = end;
      len = 0;
    }
    status[n] = state.status[n];
    first[n] = f;
    length[n] = len;
    end = f + len;
  }
  for (std::size_t p = 0; p < shown.size(); ++p)
    if (kinds[p] == kSlot) shown[p] = state.mask;

  const bool sameQuote = m_loaded && state.quote == m_quote && state.reference == m_reference &&
                         static_cast<int>(status.size()) - 1 == WordCount();
  std::vector<WordCopy> given(status.size());
  for (std::size_t n = 1; n < status.size(); ++n) {
    given[n].text = shown.substr(static_cast<std::size_t>(first[n]),
                                 static_cast<std::size_t>(length[n]));
    given[n].kinds.assign(kinds.begin() + first[n], kinds.begin() + first[n] + length[n]);
  }

  if (sameQuote) {
    // Splice in the words that hold letters typed here over the copy the
    // document gives again, and that the document has not finished since.
    std::u32string outText;
    std::vector<int> outKinds;
    int at = 0;
    for (std::size_t n = 1; n < status.size(); ++n) {
      outText.append(shown, static_cast<std::size_t>(at), static_cast<std::size_t>(first[n] - at));
      outKinds.insert(outKinds.end(), kinds.begin() + at, kinds.begin() + first[n]);
      const int ni = static_cast<int>(n);
      const WordCopy mine = copyOfWord(ni);
      const std::uint32_t low = status[n] & kStateBits;
      const bool docHasWork = low == 0 || (low & 0xE) != 0;
      const WordCopy& word =
          (given[n] == m_given[n] && !(mine == m_given[n]) && docHasWork) ? mine : given[n];
      if (&word == &mine) status[n] = (status[n] & ~kStateBits) | (m_status[n] & kStateBits);
      at = first[n] + length[n];
      first[n] = static_cast<int>(outText.size());
      length[n] = static_cast<int>(word.text.size());
      outText += word.text;
      outKinds.insert(outKinds.end(), word.kinds.begin(), word.kinds.end());
    }
    outText.append(shown, static_cast<std::size_t>(at));
    outKinds.insert(outKinds.end(), kinds.begin() + at, kinds.end());
    shown = std::move(outText);
    kinds = std::move(outKinds);
  } else {
    m_caret = 0;
    m_lastSlot = -1;
  }

  m_shown = std::move(shown);
  m_kinds = std::move(kinds);
  m_status = std::move(status);
  m_first = std::move(first);
  m_length = std::move(length);
  m_given = std::move(given);
  m_reference = state.reference;
  m_mask = state.mask;
  m_flags = state.flags;
  m_quote = state.quote;
  m_loaded = true;
  m_caret = std::clamp(m_caret, 0, Size());
  if (m_lastSlot >= 0 && !IsEditable(m_lastSlot)) m_lastSlot = -1;
}

// ---------------------------------------------------------------- modes

int COrv_SoFarModel::SetMode(int mode) {
  const int previous = m_mode;
  if (m_flags & kFlagSolved) {
    if (mode == kLazy) mode = kLazyDisabled;
    else if (mode == kLazyAlt) mode = kLazyAltDisabled;
    else if (mode == kLetterByLetter) mode = kLetterByLetterDisabled;
  }
  if (!(m_flags & kFlagGrammar) && mode == kGrammar) mode = kGrammarUnavailable;
  m_mode = mode;
  return previous;
}

int COrv_SoFarModel::BaseMode(int mode) {
  switch (mode) {
    case kGrammarUnavailable: return kGrammar;
    case kLazyDisabled: return kLazy;
    case kLazyAltDisabled: return kLazyAlt;
    case kLetterByLetterDisabled: return kLetterByLetter;
    default: return mode;
  }
}

int COrv_SoFarModel::RestoreMode() { return SetMode(BaseMode(m_mode)); }

// ---------------------------------------------------------------- queries

int COrv_SoFarModel::KindAt(int pos) const {
  return pos >= 0 && pos < Size() ? m_kinds[static_cast<std::size_t>(pos)] : kPlain;
}

bool COrv_SoFarModel::IsEditable(int pos) const {
  const int k = KindAt(pos);
  return pos >= 0 && pos < Size() && (k == kStruck || k == kSlot || k == kWrong);
}

bool COrv_SoFarModel::IsTypingSlot(int pos) const {
  const int k = KindAt(pos);
  return pos >= 0 && pos < Size() && (k == kSlot || k == kWrong);
}

bool COrv_SoFarModel::HasEditable() const {
  for (int p = 0; p < Size(); ++p)
    if (IsEditable(p)) return true;
  return false;
}

int COrv_SoFarModel::WordAt(int pos) const {
  for (int n = 1; n <= WordCount(); ++n)
    if (pos >= m_first[n] && pos < m_first[n] + m_length[n]) return n;
  return 0;
}

int COrv_SoFarModel::WordFirst(int n) const { return n >= 1 && n <= WordCount() ? m_first[n] : -1; }
int COrv_SoFarModel::WordLength(int n) const { return n >= 1 && n <= WordCount() ? m_length[n] : 0; }
std::uint32_t COrv_SoFarModel::WordStatus(int n) const {
  return n >= 1 && n <= WordCount() ? m_status[n] : 0;
}

bool COrv_SoFarModel::HasWork(int n) const {
  if (n < 1 || n > WordCount()) return false;
  const std::uint32_t low = m_status[n] & kStateBits;
  return low == 0 || (low & 0xE) != 0;
}

int COrv_SoFarModel::searchWord(int pos, int step) const {
  const int n = WordAt(pos);
  if (n == 0) return -1;
  const int f = m_first[n], len = m_length[n];
  // Every other position of the word in turn, the start itself last: a
  // wrong letter that is the word's only editable position is found again.
  for (int i = 1; i <= len; ++i) {
    const int p = f + (((pos - f + step * i) % len) + len) % len;
    if (IsEditable(p)) return p;
  }
  return -1;
}

int COrv_SoFarModel::NextEditableInWord(int pos) const { return searchWord(pos, 1); }
int COrv_SoFarModel::PrevEditableInWord(int pos) const { return searchWord(pos, -1); }

int COrv_SoFarModel::FirstEditableInWord(int n) const {
  for (int p = WordFirst(n), e = p + WordLength(n); p >= 0 && p < e; ++p)
    if (IsEditable(p)) return p;
  return -1;
}

int COrv_SoFarModel::NextWordWithWork(int n) const {
  const int count = WordCount();
  if (count <= 0) return 0;
  const int from = n >= 1 && n <= count ? n : 0;
  for (int i = 1; i <= count; ++i) {
    const int m = (from - 1 + i) % count + 1;
    if (HasWork(m) && FirstEditableInWord(m) >= 0) return m;
  }
  return 0;
}

int COrv_SoFarModel::PrevWordWithWork(int n) const {
  const int count = WordCount();
  if (count <= 0) return 0;
  const int from = n >= 1 && n <= count ? n : count + 1;
  for (int i = 1; i <= count; ++i) {
    const int m = (((from - 1 - i) % count) + count) % count + 1;
    if (HasWork(m) && FirstEditableInWord(m) >= 0) return m;
  }
  return 0;
}

char32_t COrv_SoFarModel::ReferenceLetter(int pos) const {
  if (pos < 0 || pos >= Size()) return 0;
  int skipped = 0;
  for (int p = 0; p <= pos; ++p)
    if (m_kinds[static_cast<std::size_t>(p)] == kStruck ||
        m_kinds[static_cast<std::size_t>(p)] == kNoCounterpart)
      ++skipped;
  const int at = pos - skipped;
  if (at < 0 || at >= static_cast<int>(m_reference.size())) return 0;
  return m_reference[static_cast<std::size_t>(at)];
}

// ---------------------------------------------------------------- caret

void COrv_SoFarModel::SetCaret(int pos) {
  m_caret = std::clamp(pos, 0, Size());
  if (IsEditable(m_caret)) m_lastSlot = m_caret;
}

int COrv_SoFarModel::LastSlot() const {
  if (m_lastSlot >= 0 && IsEditable(m_lastSlot)) return m_lastSlot;
  const int n = NextWordWithWork(0);
  return n ? FirstEditableInWord(n) : 0;
}

int COrv_SoFarModel::NearestSlot(int pos) const {
  const int size = Size();
  if (size == 0) return -1;
  pos = std::clamp(pos, 0, size - 1);
  int forward = -1, backward = -1;
  for (int i = 0; i < size && forward < 0; ++i)
    if (IsEditable((pos + i) % size)) forward = (pos + i) % size;
  if (forward < 0) return -1;
  for (int i = 0; i < size && backward < 0; ++i)
    if (IsEditable(((pos - i) % size + size) % size)) backward = ((pos - i) % size + size) % size;
  return std::abs(backward - pos) < std::abs(forward - pos) ? backward : forward;
}

// ---------------------------------------------------------------- typing

void COrv_SoFarModel::beep() {
  if (m_beep) m_beep();
  else if (qApp) QApplication::beep();
}

bool COrv_SoFarModel::acceptLetter(int pos, char32_t letter) {
  const char32_t ref = ReferenceLetter(pos);
  if (ref == 0) return false;
  const bool right = fold(letter) == fold(ref);
  m_shown[static_cast<std::size_t>(pos)] = right ? ref : letter;
  m_kinds[static_cast<std::size_t>(pos)] = right ? kPlain : kWrong;
  return true;
}

void COrv_SoFarModel::afterLetter(int pos) {
  const int next = NextEditableInWord(pos);
  if (next >= 0) SetCaret(next);
  else completeWord(WordAt(pos));
}

void COrv_SoFarModel::completeWord(int n) {
  if (n < 1 || n > WordCount()) return;
  m_status[n] = (m_status[n] & ~kStateBits) | 1;
  m_given[n] = copyOfWord(n);
  const int next = NextWordWithWork(n);
  if (next) SetCaret(FirstEditableInWord(next));
  // The document may refresh this control from inside these calls: nothing
  // here is touched after them.
  orv::TextPaneDocument* doc = m_doc;
  if (!doc) return;
  doc->SetWordMark(n, orv::TextPaneDocument::kMarkTyped, orv::TextPaneDocument::kRefreshScratchPad);
  if (!next) doc->RecheckUserText(true);
}

bool COrv_SoFarModel::deleteStruck(int pos) {
  const int n = WordAt(pos);
  if (n == 0 || KindAt(pos) != kStruck) return false;
  m_shown.erase(static_cast<std::size_t>(pos), 1);
  m_kinds.erase(m_kinds.begin() + pos);
  --m_length[n];
  for (int m = n + 1; m <= WordCount(); ++m) --m_first[m];
  if (m_lastSlot > pos) --m_lastSlot;
  else if (m_lastSlot == pos) m_lastSlot = -1;
  if (FirstEditableInWord(n) < 0) {
    m_caret = std::min(pos, Size());
    completeWord(n);
    return true;
  }
  // The caret goes on to the word's next editable position from where the
  // struck letter stood.
  int next = -1;
  for (int p = pos; p < m_first[n] + m_length[n] && next < 0; ++p)
    if (IsEditable(p)) next = p;
  SetCaret(next >= 0 ? next : FirstEditableInWord(n));
  return true;
}

bool COrv_SoFarModel::TypeChar(char32_t key) {
  if (!typing()) return false;
  const int pos = m_caret < Size() ? m_caret : -1;
  if (!QChar::isLetterOrNumber(key) || !IsTypingSlot(pos) || !acceptLetter(pos, key)) {
    beep();
    return false;
  }
  afterLetter(pos);
  return true;
}

bool COrv_SoFarModel::PressKey(Key key) {
  if (!typing()) return false;
  const int pos = m_caret < Size() ? m_caret : -1;
  const int word = WordAt(pos);
  switch (key) {
    case kTab:
    case kUp:
    case kDown: {
      const int n = key == kDown ? PrevWordWithWork(word) : NextWordWithWork(word);
      if (n) SetCaret(FirstEditableInWord(n));
      return false;
    }
    case kLeft:
    case kRight: {
      const int p = key == kLeft ? PrevEditableInWord(pos) : NextEditableInWord(pos);
      if (p >= 0) SetCaret(p);
      return false;
    }
    case kReturn:
      if (IsTypingSlot(pos)) {
        if (!acceptLetter(pos, ReferenceLetter(pos))) return false;
        afterLetter(pos);
        return true;
      }
      return KindAt(pos) == kStruck && pos >= 0 ? deleteStruck(pos) : false;
    case kDelete:
      return KindAt(pos) == kStruck && pos >= 0 ? deleteStruck(pos) : false;
  }
  return false;
}

// ---------------------------------------------------------------- clicks

void COrv_SoFarModel::ClickWordLazy(int n, bool shift, bool control) {
  if (m_mode != kLazy && m_mode != kLazyAlt) return;
  orv::TextPaneDocument* doc = m_doc;
  if (!doc || n < 1 || n > WordCount()) return;
  if (shift && control && n == WordCount()) {
    std::vector<int> open;
    for (int m = 1; m <= WordCount(); ++m)
      if (HasWork(m)) open.push_back(m);
    for (int m : open)
      doc->SetWordMark(m, orv::TextPaneDocument::kMarkRevealed,
                       orv::TextPaneDocument::kRefreshScratchPad);
    if (!open.empty()) doc->RecheckUserText(true);
    return;
  }
  if (HasWork(n) && !m_reveal)
    doc->SetWordMark(n, orv::TextPaneDocument::kMarkRevealed,
                     orv::TextPaneDocument::kRefreshScratchPad | orv::TextPaneDocument::kRecheck);
}

bool COrv_SoFarModel::CorrectSpelling() {
  if (typing() || (m_flags & kFlagSolved) || !m_doc) return false;
  std::vector<int> words;
  for (int n = 1; n <= WordCount(); ++n) {
    bool struck = false, slot = false, plain = false;
    for (int p = m_first[n], e = p + m_length[n]; p < e; ++p) {
      const int k = m_kinds[static_cast<std::size_t>(p)];
      struck |= k == kStruck;
      slot |= k == kSlot || k == kWrong;
      plain |= k == kPlain;
    }
    if (struck || (slot && plain)) words.push_back(n);
  }
  orv::TextPaneDocument* doc = m_doc;
  for (int n : words)
    doc->SetWordMark(n, orv::TextPaneDocument::kMarkCorrected,
                     orv::TextPaneDocument::kRefreshScratchPad);
  if (!words.empty()) doc->RecheckUserText(true);
  return !words.empty();
}
