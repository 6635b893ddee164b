#pragma once
// The current Echomark of an open book as words: its reference text split
// into words, one flag word per word, the learner's text, the result of the
// last word-by-word comparison and the word engine that makes it. The
// document holds one; the text controls reach it through the document to
// mark words, put correct words in and open grammar pages.
//
// Words are numbered from 1; every per-word array has count + 1 entries and
// entry 0 belongs to no word. Texts are UTF-8; positions in the display
// text count code points.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/book/word_engine.h"

class COrv_InfoBundle;
class COrv_GrammarArchive;

namespace orv {
class InfoErrorSink;
class GrammarPageHost;
}  // namespace orv

class COrv_QuoteInfo {
 public:
  // Bits of a word's flag word.
  enum WordFlag : std::uint32_t {
    // Result of the last comparison (the low four bits).
    kResultCorrect = 0x1,      // the typed word paired with it is entirely correct
    kResultSubstituted = 0x2,
    kResultExtra = 0x4,
    kResultMissing = 0x8,
    kResultBits = 0xF,
    // Set when the Echomark is loaded.
    kKeyword = 0x100,          // numbered in the keyword list
    kFixedWord = 0x200,        // numbered in the fixed-word list
    kHasDefinition = 0x1000,   // a dictionary definition in the text language
    kHasLinks = 0x2000,        // grammar links
    // Marks of the word actions and display modes; each makes the word
    // given, which the learner need not type.
    kLazyMark = 0x10000,       // revealed by a click
    kTypedMark = 0x20000,      // given by the typing mode
    kShownNonKeyword = 0x100000,
    kShownFixedWord = 0x200000,
    kGivenBits = kLazyMark | kTypedMark | kShownNonKeyword | kShownFixedWord,
  };

  // Interface-language strings of the load failures.
  static constexpr int kStrInvalidPointer = 20036;
  static constexpr int kStrTextError = 20037;
  static constexpr int kStrPropertyError = 20038;
  static constexpr int kStrFragmentsError = 20039;
  static constexpr const char* kSourceFile = "Orv_QuoteInfo";
  static constexpr const char* kEngineFailedText = "An Error Occurred executing Word Engine !";

  COrv_QuoteInfo() = default;
  COrv_QuoteInfo(const COrv_QuoteInfo&) = delete;
  COrv_QuoteInfo& operator=(const COrv_QuoteInfo&) = delete;
  virtual ~COrv_QuoteInfo() = default;

  // Binds the object to the Echomark's information (not owned) and the
  // language of its texts. A null bundle unbinds it and fails.
  bool Attach(COrv_InfoBundle* bundle, std::uint32_t language);
  COrv_InfoBundle* GetBundle() const { return m_bundle; }
  std::uint32_t GetLanguage() const { return m_language; }

  // Where load failures are recorded (the document's error record; not
  // owned). Without one, the bundle's sink.
  void SetErrorSink(orv::InfoErrorSink* sink) { m_errorSink = sink; }
  // The main frame, which sends grammar pages to the browser (not owned).
  void SetPageHost(orv::GrammarPageHost* host) { m_pageHost = host; }
  // The archive that names grammar links (not owned). Without one, the
  // archive of the program folder, opened for each call.
  void SetGrammarArchive(const COrv_GrammarArchive* archive) { m_archive = archive; }

  // Loads the Echomark and compares an empty learner's text. The Echomark goes on with the
  // words loaded so far even when the load fails (none without a bundle or
  // a text); the answer is the load's.
  bool SetQuoteText();
  // Clears everything, then takes the word text in the language, splits it
  // and sets the word flags and segment numbers. Each failure is recorded
  // (see the string ids above) and answers false. The word engine takes
  // the loaded text as its reference (every word not given).
  bool LoadQuote();
  // Splits the reference text into words and sizes the per-word arrays.
  bool SplitQuoteText();
  // Dictionary and link flags of each word, then the fixed-word and keyword
  // flags from the bundle's lists. A list entry that names no word is
  // skipped and makes the answer false.
  bool InitWordFlags();
  // Segment numbers: entry k of the sorted list is the first word of
  // segment k, which runs to the last word unless a later entry starts
  // another. An entry that names no word is skipped and makes the answer
  // false.
  bool InitSegments();

  // Compares `text` with the reference (and keeps it as the learner's text
  // when `store`). A failed run shows a message and answers false.
  // Otherwise the display text is rebuilt and each word gets its result
  // bits and the typed word paired with it.
  bool CompareUserText(std::string_view text, bool store);

  // Result bits of word n computed from its display classes; 0 for a word
  // not typed at all and outside 1..count.
  std::uint32_t GetWordResult(int n) const;
  // The last run found no edit in any word (false without words).
  bool IsSolved() const { return m_engine.IsPerfect(); }
  bool IsWordWrong(int n) const;
  bool HasWrongWords() const;
  bool HasCorrectWords() const;
  bool HasNonKeywords() const;
  // The bundle's fixed-word list is not empty.
  bool HasFixedWords() const;
  bool HasWordsWithoutLinks() const;
  bool AnyWordHasFlag(std::uint32_t bits) const;

  // Sets or clears `bit` on word n (false outside 1..count). Setting makes
  // the word given to the engine; clearing makes it not given once none of
  // kGivenBits is left.
  bool SetWordFlag(int n, std::uint32_t bit, bool set);
  // Shows or hides the fixed words; false, changing nothing, without any.
  bool ShowFixedWords(bool set);
  // Shows or hides the non-keywords; false when every word is a keyword.
  bool ShowNonKeywords(bool set);
  // Sets or clears the lazy or typed mark on every word that carries it,
  // so that restored flags tell the engine again which words are given.
  bool ApplyLazyMarks(bool set);
  bool ApplyTypedMarks(bool set);
  // Copies a flag array in the form of GetWordFlags (count + 1 entries);
  // false, changing nothing, for any other size.
  bool SetWordFlags(const std::vector<std::uint32_t>& flags);

  // Puts reference word n into the learner's text: in place of the typed
  // word paired with it, else appended (AppendWord).
  bool CorrectWord(int n);
  // CorrectWord for each number; true only when every call succeeded.
  bool CorrectWords(const std::vector<unsigned>& numbers);
  // Appends reference word n and a blank, with a blank before it unless
  // the text is empty or already ends in white space.
  bool AppendWord(int n);
  // Removes from the learner's text the typed word paired with word n;
  // false when there is none.
  bool RemoveUserWord(int n);

  // "Page n. <n><#>".
  void FormatPageLabel(int n, std::string& text) const;
  // Has the main frame show grammar link k (from 1) of word n. The answer
  // is the main frame's; false without such a link, an unsafe name or a
  // main frame.
  bool ShowGrammarPage(int n, int k) const;
  // The page file of a grammar link in the grammar browser's working folder
  // ("12#a" -> <work>/0012.htm#a, tv::pages::WorkFolder()); empty for a
  // name that is not a plain file name, or without a working folder.
  static std::string GrammarPagePath(std::string_view link);
  // The titles of word n's grammar links; answers their number.
  int GetGrammarTitles(int n, std::vector<std::string>& titles) const;
  // Appends the id of every link named as link k (from 0) of word n;
  // answers the size of `ids`.
  int FindLinkIds(int n, int k, std::vector<std::uint32_t>& ids) const;

  // The texts and per-word data.
  const std::string& GetQuoteText() const { return m_text; }
  const std::string& GetUserText() const { return m_userText; }
  int GetWordCount() const { return m_count; }
  std::string GetWord(int n) const;
  std::uint32_t GetWordFlag(int n) const;
  const std::vector<std::uint32_t>& GetWordFlags() const { return m_flags; }
  unsigned GetSegment(int n) const;
  // The typed word paired with word n and its number (from 1); empty and 0
  // when none.
  std::string GetTypedWord(int n) const;
  int GetTypedNumber(int n) const;
  // The display text of the last comparison, the start and length of each
  // word in it and one class per character (COrv_WordEngine::DisplayClass).
  const std::u32string& GetDisplayText() const { return m_display; }
  int GetDisplayStart(int n) const;
  int GetDisplayLength(int n) const;
  const std::vector<std::uint8_t>& GetDisplayClasses() const { return m_classes; }

  COrv_WordEngine& Engine() { return m_engine; }
  const COrv_WordEngine& Engine() const { return m_engine; }

 private:
  bool valid(int n) const { return n >= 1 && n <= m_count; }
  bool loadWords();
  bool reportError(int line, int stringId) const;
  std::vector<std::string> wordLinks(int n) const;
  void clear();

  COrv_InfoBundle* m_bundle = nullptr;
  std::uint32_t m_language = 0;
  std::string m_text;
  int m_count = 0;
  std::vector<std::string> m_words;
  std::vector<unsigned> m_segments;
  std::vector<std::uint32_t> m_flags;
  std::string m_userText;
  std::vector<std::string> m_typedWords;
  std::vector<int> m_typedNumbers;
  // The pairings above belong to m_userText (the last comparison stored
  // its text); only then may word actions edit the text by them.
  bool m_pairedWithUserText = false;
  std::u32string m_display;
  std::vector<int> m_starts;   // 0-based per word, as the engine gives them
  std::vector<int> m_lengths;
  std::vector<std::uint8_t> m_classes;
  COrv_WordEngine m_engine;

  orv::InfoErrorSink* m_errorSink = nullptr;
  orv::GrammarPageHost* m_pageHost = nullptr;
  const COrv_GrammarArchive* m_archive = nullptr;
};
