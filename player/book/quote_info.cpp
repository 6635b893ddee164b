#include "player/book/quote_info.h"

#include <algorithm>

#include <QChar>

#include "platform/text/utf8.h"
#include "platform/ui/message_box.h"
#include "player/book/grammar_archive.h"
#include "player/book/grammar_page_host.h"
#include "player/book/info_bundle.h"
#include "player/book/word_list.h"
#include "player/env/error_info.h"
#include "shared/language/orv_language.h"
#include "shared/pages/work_folder.h"

namespace {

// The name of a grammar page is a four-digit, zero-padded number; longer
// names stay as they are.
constexpr std::size_t kPageNameDigits = 4;

bool endsInWhiteSpace(const std::string& text) {
  const std::u32string t = orv::toNfc32(text);
  return !t.empty() && QChar::isSpace(t.back());
}

}  // namespace

bool COrv_QuoteInfo::Attach(COrv_InfoBundle* bundle, std::uint32_t language) {
  m_bundle = bundle;
  m_language = language;
  return bundle != nullptr;
}

bool COrv_QuoteInfo::reportError(int line, int stringId) const {
  orv::InfoErrorSink* sink = m_errorSink;
  if (sink == nullptr && m_bundle != nullptr) sink = m_bundle->GetErrorSink();
  if (sink != nullptr)
    sink->SetErrorText(line, kSourceFile, stringId, 0, COrv_Language().LoadString(stringId));
  return false;
}

void COrv_QuoteInfo::clear() {
  m_text.clear();
  m_count = 0;
  m_words.clear();
  m_segments.clear();
  m_flags.clear();
  m_userText.clear();
  m_typedWords.clear();
  m_typedNumbers.clear();
  m_pairedWithUserText = false;
  m_display.clear();
  m_starts.clear();
  m_lengths.clear();
  m_classes.clear();
}

bool COrv_QuoteInfo::SetQuoteText() {
  const bool loaded = LoadQuote();
  CompareUserText({}, true);
  return loaded;
}

bool COrv_QuoteInfo::LoadQuote() {
  const bool loaded = loadWords();
  // The engine compares against what was loaded, also after a failure, so
  // that no comparison ever runs against the words of another Echomark.
  m_engine.SetText(1, m_text);
  return loaded;
}

bool COrv_QuoteInfo::loadWords() {
  clear();
  if (m_bundle == nullptr) return reportError(__LINE__, kStrInvalidPointer);
  m_text = m_bundle->Words().GetText(m_language);
  if (m_text.empty()) return reportError(__LINE__, kStrTextError);
  SplitQuoteText();
  if (!InitWordFlags()) return reportError(__LINE__, kStrPropertyError);
  if (!InitSegments()) return reportError(__LINE__, kStrFragmentsError);
  return true;
}

bool COrv_QuoteInfo::SplitQuoteText() {
  COrv_WordList list;
  m_count = list.SetText(m_text);
  const auto size = static_cast<std::size_t>(m_count) + 1;
  m_words.assign(size, {});
  for (int n = 1; n <= m_count; ++n) m_words[n] = list.GetWord(n);
  m_segments.assign(size, 0);
  m_flags.assign(size, 0);
  m_typedWords.assign(size, {});
  m_typedNumbers.assign(size, 0);
  return true;
}

bool COrv_QuoteInfo::InitWordFlags() {
  if (m_bundle == nullptr) return false;
  const auto size = static_cast<std::size_t>(m_count) + 1;
  if (m_flags.size() != size) m_flags.assign(size, 0);
  const COrv_WordInfo& lists = m_bundle->Words();
  for (int n = 1; n <= m_count; ++n) {
    const auto word = static_cast<std::uint32_t>(n);
    if (!m_bundle->Dictionary().GetDefinition(word, m_language).empty()) m_flags[n] |= kHasDefinition;
    if (m_bundle->Links().HasId(word)) m_flags[n] |= kHasLinks;
  }
  bool ok = true;
  auto mark = [&](std::uint32_t word, std::uint32_t bit) {
    if (word < 1 || word > static_cast<std::uint32_t>(m_count)) {
      ok = false;  // a list of another text, or a damaged one
      return;
    }
    m_flags[word] |= bit;
  };
  for (int k = 1; k <= lists.GetList8Count(); ++k) mark(lists.GetList8At(k), kFixedWord);
  for (int k = 1; k <= lists.GetList16Count(); ++k) mark(lists.GetList16At(k), kKeyword);
  return ok;
}

bool COrv_QuoteInfo::InitSegments() {
  if (m_bundle == nullptr) return false;
  const auto size = static_cast<std::size_t>(m_count) + 1;
  if (m_segments.size() != size) m_segments.assign(size, 0);
  const COrv_WordInfo& lists = m_bundle->Words();
  bool ok = true;
  for (int k = 1; k <= lists.GetSortedCount(); ++k) {
    const std::uint32_t first = lists.GetSortedAt(k);
    if (first < 1 || first > static_cast<std::uint32_t>(m_count)) {
      ok = false;
      continue;
    }
    for (std::size_t n = first; n < size; ++n) m_segments[n] = static_cast<unsigned>(k);
  }
  return ok;
}

bool COrv_QuoteInfo::CompareUserText(std::string_view view, bool store) {
  // A copy first: the view may be of the learner's text itself, which the
  // store replaces.
  const std::string text(view);
  if (store) m_userText = text;
  m_engine.SetText(COrv_WordEngine::kTyped, text);
  m_pairedWithUserText = false;
  if (!m_engine.Run()) {
    m_display.clear();
    m_starts.clear();
    m_lengths.clear();
    m_classes.clear();
    plat::ui::AppMessageBox(kEngineFailedText, plat::ui::MB_OK | plat::ui::MB_ICONEXCLAMATION);
    return false;
  }
  m_engine.BuildResult(m_display, m_classes, m_starts, m_lengths);
  for (int n = 1; n <= m_count; ++n) {
    m_flags[n] = (m_flags[n] & ~static_cast<std::uint32_t>(kResultBits)) | GetWordResult(n);
    m_typedWords[n].clear();
    m_typedNumbers[n] = 0;
    const int m = m_engine.GetResult(COrv_WordEngine::kTypedWord, n);
    if (m > 0) {
      m_typedNumbers[n] = m;
      m_typedWords[n] = m_engine.GetWord(COrv_WordEngine::kTyped, m);
    }
  }
  m_pairedWithUserText = store;
  return true;
}

std::uint32_t COrv_QuoteInfo::GetWordResult(int n) const {
  // A word the display text does not hold (no comparison yet) was not typed.
  if (!valid(n) || static_cast<std::size_t>(n) > m_starts.size()) return 0;
  const auto from = static_cast<std::size_t>(m_starts[n - 1]);
  const auto to = from + static_cast<std::size_t>(m_lengths[n - 1]);
  if (to > m_classes.size()) return 0;
  bool matched = false, missing = false, extra = false, substituted = false;
  for (std::size_t i = from; i < to; ++i) {
    switch (m_classes[i]) {
      case COrv_WordEngine::kShowMissing: missing = true; break;
      case COrv_WordEngine::kShowExtra: extra = true; break;
      case COrv_WordEngine::kShowSubstituted: substituted = true; break;
      default: matched = true; break;
    }
  }
  if (!missing && !extra && !substituted) return kResultCorrect;
  if (missing && !extra && !substituted && !matched) return 0;
  std::uint32_t result = 0;
  if (substituted) result |= kResultSubstituted;
  if (extra) result |= kResultExtra;
  if (missing) result |= kResultMissing;
  return result;
}

bool COrv_QuoteInfo::IsWordWrong(int n) const {
  if (!valid(n)) return false;
  const std::uint32_t f = m_flags[n];
  return (f & (kResultExtra | kResultSubstituted)) != 0 ||
         ((f & kResultMissing) != 0 && (f & kResultCorrect) == 0);
}

bool COrv_QuoteInfo::HasWrongWords() const {
  for (int n = 1; n <= m_count; ++n)
    if (IsWordWrong(n)) return true;
  return false;
}

bool COrv_QuoteInfo::HasCorrectWords() const { return AnyWordHasFlag(kResultCorrect); }

bool COrv_QuoteInfo::HasNonKeywords() const {
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & kKeyword) == 0) return true;
  return false;
}

bool COrv_QuoteInfo::HasFixedWords() const {
  return m_bundle != nullptr && m_bundle->Words().GetList8Count() > 0;
}

bool COrv_QuoteInfo::HasWordsWithoutLinks() const {
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & kHasLinks) == 0) return true;
  return false;
}

bool COrv_QuoteInfo::AnyWordHasFlag(std::uint32_t bits) const {
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & bits) != 0) return true;
  return false;
}

bool COrv_QuoteInfo::SetWordFlag(int n, std::uint32_t bit, bool set) {
  if (!valid(n)) return false;
  if (set) {
    m_flags[n] |= bit;
    m_engine.SetWordGiven(n, true);
  } else {
    m_flags[n] &= ~bit;
    if ((m_flags[n] & kGivenBits) == 0) m_engine.SetWordGiven(n, false);
  }
  return true;
}

bool COrv_QuoteInfo::ShowFixedWords(bool set) {
  if (!AnyWordHasFlag(kFixedWord)) return false;
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & kFixedWord) != 0) SetWordFlag(n, kShownFixedWord, set);
  return true;
}

bool COrv_QuoteInfo::ShowNonKeywords(bool set) {
  if (!HasNonKeywords()) return false;
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & kKeyword) == 0) SetWordFlag(n, kShownNonKeyword, set);
  return true;
}

bool COrv_QuoteInfo::ApplyLazyMarks(bool set) {
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & kLazyMark) != 0) SetWordFlag(n, kLazyMark, set);
  return true;
}

bool COrv_QuoteInfo::ApplyTypedMarks(bool set) {
  for (int n = 1; n <= m_count; ++n)
    if ((m_flags[n] & kTypedMark) != 0) SetWordFlag(n, kTypedMark, set);
  return true;
}

bool COrv_QuoteInfo::SetWordFlags(const std::vector<std::uint32_t>& flags) {
  if (flags.size() != m_flags.size() || m_flags.empty()) return false;
  std::copy(flags.begin() + 1, flags.end(), m_flags.begin() + 1);
  return true;
}

bool COrv_QuoteInfo::CorrectWord(int n) {
  if (!valid(n)) return false;
  const int m = m_typedNumbers[n];
  if (m_pairedWithUserText && m > 0) {
    COrv_WordList typed;
    if (m <= typed.SetText(m_userText)) {
      std::u32string text = typed.Text32();
      text.replace(static_cast<std::size_t>(typed.GetWordStart(m)),
                   static_cast<std::size_t>(typed.GetWordLength(m)), orv::toNfc32(m_words[n]));
      m_userText = orv::toUtf8(text);
      m_typedWords[n] = m_words[n];
      return true;
    }
  }
  return AppendWord(n);
}

bool COrv_QuoteInfo::CorrectWords(const std::vector<unsigned>& numbers) {
  bool all = true;
  for (unsigned n : numbers)
    if (n > static_cast<unsigned>(m_count) || !CorrectWord(static_cast<int>(n))) all = false;
  return all;
}

bool COrv_QuoteInfo::AppendWord(int n) {
  if (!valid(n)) return false;
  if (!m_userText.empty() && !endsInWhiteSpace(m_userText)) m_userText += ' ';
  m_userText += m_words[n];
  m_userText += ' ';
  return true;
}

bool COrv_QuoteInfo::RemoveUserWord(int n) {
  if (!valid(n) || !m_pairedWithUserText) return false;
  const int m = m_typedNumbers[n];
  COrv_WordList typed;
  if (m < 1 || m > typed.SetText(m_userText)) return false;
  std::u32string text = typed.Text32();
  text.erase(static_cast<std::size_t>(typed.GetWordStart(m)),
             static_cast<std::size_t>(typed.GetWordLength(m)));
  m_userText = orv::toUtf8(text);
  // The typed words after it move down one place: keep the pairings
  // pointing at the same words until the next comparison.
  m_typedNumbers[n] = 0;
  m_typedWords[n].clear();
  for (int i = 1; i <= m_count; ++i)
    if (m_typedNumbers[i] > m) --m_typedNumbers[i];
  return true;
}

void COrv_QuoteInfo::FormatPageLabel(int n, std::string& text) const {
  text = "Page n. " + std::to_string(n) + "<#>";
}

std::vector<std::string> COrv_QuoteInfo::wordLinks(int n) const {
  std::vector<std::string> names;
  if (m_bundle != nullptr && valid(n)) m_bundle->Links().GetLinks(static_cast<std::uint32_t>(n), names);
  return names;
}

std::string COrv_QuoteInfo::GrammarPagePath(std::string_view link) {
  const std::size_t hash = link.find('#');
  const std::string_view page = link.substr(0, hash);
  // The page is a file of the page folder: a name that could leave it or
  // that no file system takes is refused.
  for (char c : page)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return {};
  if (page == "." || page == "..") return {};
  std::string name(page);
  const std::size_t chars = plat::text::countChars(name);
  if (chars < kPageNameDigits) name.insert(0, kPageNameDigits - chars, '0');
  name += ".htm";
  if (hash != std::string_view::npos) name += link.substr(hash);
  const std::filesystem::path folder = tv::pages::WorkFolder();
  if (folder.empty()) return {};
  return (folder / name).string();
}

bool COrv_QuoteInfo::ShowGrammarPage(int n, int k) const {
  const std::vector<std::string> names = wordLinks(n);
  if (k < 1 || k > static_cast<int>(names.size()) || m_pageHost == nullptr) return false;
  const std::string page = GrammarPagePath(names[static_cast<std::size_t>(k - 1)]);
  if (page.empty()) return false;
  return m_pageHost->SendGrammarPage(page);
}

int COrv_QuoteInfo::GetGrammarTitles(int n, std::vector<std::string>& titles) const {
  titles.clear();
  const std::vector<std::string> names = wordLinks(n);
  if (names.empty()) return 0;
  if (m_archive != nullptr) return m_archive->FindTitles(names, titles);
  return COrv_GrammarArchive().FindTitles(names, titles);
}

int COrv_QuoteInfo::FindLinkIds(int n, int k, std::vector<std::uint32_t>& ids) const {
  const std::vector<std::string> names = wordLinks(n);
  if (m_bundle != nullptr && k >= 0 && k < static_cast<int>(names.size()))
    return m_bundle->Links().FindIds(names[static_cast<std::size_t>(k)], ids);
  return static_cast<int>(ids.size());
}

std::string COrv_QuoteInfo::GetWord(int n) const { return valid(n) ? m_words[n] : std::string(); }

std::uint32_t COrv_QuoteInfo::GetWordFlag(int n) const { return valid(n) ? m_flags[n] : 0; }

unsigned COrv_QuoteInfo::GetSegment(int n) const { return valid(n) ? m_segments[n] : 0; }

std::string COrv_QuoteInfo::GetTypedWord(int n) const {
  return valid(n) ? m_typedWords[n] : std::string();
}

int COrv_QuoteInfo::GetTypedNumber(int n) const { return valid(n) ? m_typedNumbers[n] : 0; }

int COrv_QuoteInfo::GetDisplayStart(int n) const {
  return valid(n) && static_cast<std::size_t>(n) <= m_starts.size() ? m_starts[n - 1] : -1;
}

int COrv_QuoteInfo::GetDisplayLength(int n) const {
  return valid(n) && static_cast<std::size_t>(n) <= m_lengths.size() ? m_lengths[n - 1] : 0;
}
