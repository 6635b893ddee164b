#pragma once
// The state and the typing engine of the so-far control, without a widget:
// the shown text of the current Echomark with one character kind per
// position, the reference letters, the words, the click or typing mode and
// the caret. COrv_SoFarEdit draws it and feeds it keys and clicks; tests
// drive it directly.
//
// Letters typed into a word stay here until the word is complete, then the
// document is told (typed mark) and takes over. A refresh from the document
// in the meantime keeps them: a word whose document copy has not changed
// since the letters were typed keeps its typed state.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/views/text_pane_document.h"

class COrv_SoFarModel {
 public:
  enum Kind : int { kNoCounterpart = -1, kPlain = 0, kStruck = 18, kSlot = 20, kWrong = 24 };
  enum Mode : int {
    kDictionary = 1,
    kGrammar = 2,
    kLazy = 3,
    kLazyAlt = 4,
    kLetterByLetter = 5,
    kGrammarUnavailable = 6,
    kLazyDisabled = 7,
    kLazyAltDisabled = 8,
    kLetterByLetterDisabled = 9,
  };
  enum Key { kTab, kUp, kDown, kLeft, kRight, kReturn, kDelete };
  // Word status bits read here.
  static constexpr std::uint32_t kHasDefinition = 0x1000;
  static constexpr std::uint32_t kHasLinks = 0x2000;
  static constexpr std::uint32_t kStateBits = 0xF;
  // Document flag bits read here.
  static constexpr std::uint32_t kFlagSolved = 0x2;
  static constexpr std::uint32_t kFlagGrammar = 0x80;
  // Grammar titles shown at most: commands 1324 to 1424.
  static constexpr int kFirstGrammarCommand = 1324;
  static constexpr int kMaxGrammarTitles = 101;

  // The document the changes go to (not owned) and the beep of a refused
  // key (the system beep unless replaced).
  void SetDocument(orv::TextPaneDocument* doc) { m_doc = doc; }
  orv::TextPaneDocument* GetDocument() const { return m_doc; }
  void SetBeep(std::function<void()> beep) { m_beep = std::move(beep); }

  // Copies the document's state. Letters typed in a word that is not
  // complete survive when the document's copy of that word is the one they
  // were typed over; the caret keeps its place.
  void Load(const orv::SoFarState& state);

  // Modes: SetMode maps the asked mode by the document flags (a solved
  // Echomark disables lazy and letter-by-letter modes; an Echomark without
  // grammar makes grammar mode unavailable) and returns the previous mode.
  int SetMode(int mode);
  int GetMode() const { return m_mode; }
  // Maps a disabled or unavailable mode back to the mode it stands for and
  // sets it again (after the document flags changed).
  int RestoreMode();
  static int BaseMode(int mode);

  // Typing, in letter-by-letter mode only (elsewhere keys do nothing).
  // A refused key beeps. Answers whether the text changed.
  bool TypeChar(char32_t key);
  bool PressKey(Key key);

  // Lazy mode: a click on word n (0 or -1 off the words). With Shift and
  // Control on the last word every word with work is revealed.
  void ClickWordLazy(int n, bool shift, bool control);
  void SetRevealFlag(bool on) { m_reveal = on; }
  bool GetRevealFlag() const { return m_reveal; }
  // Spelling correction: every word with struck letters, or with slots
  // beside plain letters, gets the correct word; one recheck follows.
  // False when nothing was corrected or the mode or flags forbid it.
  bool CorrectSpelling();

  // The caret: a position 0..size. Moving it onto an editable position
  // remembers it as the last slot.
  int Caret() const { return m_caret; }
  void SetCaret(int pos);
  // The remembered slot, else the first editable position of the first
  // word with work, else 0.
  int LastSlot() const;
  void MoveToLastSlot() { SetCaret(LastSlot()); }
  // The nearest editable position to `pos` (forward on a tie); -1 when the
  // text has none.
  int NearestSlot(int pos) const;

  // Queries over the text.
  int Size() const { return static_cast<int>(m_shown.size()); }
  const std::u32string& Shown() const { return m_shown; }
  const std::u32string& Reference() const { return m_reference; }
  int KindAt(int pos) const;
  const std::vector<int>& Kinds() const { return m_kinds; }
  int WordCount() const { return static_cast<int>(m_first.size()) - 1; }
  int WordAt(int pos) const;  // 0 in a gap or outside
  int WordFirst(int n) const;
  int WordLength(int n) const;
  std::uint32_t WordStatus(int n) const;
  std::uint32_t Flags() const { return m_flags; }
  unsigned Quote() const { return m_quote; }
  bool IsEditable(int pos) const;
  bool IsTypingSlot(int pos) const;
  bool HasEditable() const;
  // Word n still has something to do (its state is not "done").
  bool HasWork(int n) const;
  // The next (previous) editable position after (before) `pos` within its
  // word, wrapping inside the word and ending on `pos` itself; -1 when the
  // word has none.
  int NextEditableInWord(int pos) const;
  int PrevEditableInWord(int pos) const;
  int FirstEditableInWord(int n) const;
  // The next (previous) word with work after (before) n, wrapping and
  // ending on n itself; 0 when none.
  int NextWordWithWork(int n) const;
  int PrevWordWithWork(int n) const;
  // The reference letter for a slot: the reference at the position less
  // the struck and counterpart-less positions before it; 0 when it lies
  // outside the reference.
  char32_t ReferenceLetter(int pos) const;

 private:
  struct WordCopy {
    std::u32string text;
    std::vector<int> kinds;
    bool operator==(const WordCopy&) const = default;
  };
  WordCopy copyOfWord(int n) const;
  bool wordDone(int n) const { return !HasWork(n); }
  bool acceptLetter(int pos, char32_t letter);
  void afterLetter(int pos);
  void completeWord(int n);
  bool deleteStruck(int pos);
  int searchWord(int pos, int step) const;
  void beep();
  bool typing() const { return m_mode == kLetterByLetter; }

  orv::TextPaneDocument* m_doc = nullptr;
  std::function<void()> m_beep;
  std::u32string m_shown;
  std::u32string m_reference;
  std::vector<int> m_kinds;
  std::vector<std::uint32_t> m_status{0};
  std::vector<int> m_first{0};
  std::vector<int> m_length{0};
  // Each word as the document gave it, to tell whether a refresh brings a
  // word the learner's letters were typed over.
  std::vector<WordCopy> m_given{WordCopy{}};
  char32_t m_mask = U'\u2022';
  std::uint32_t m_flags = 0;
  unsigned m_quote = 0;
  bool m_loaded = false;
  int m_mode = kDictionary;
  bool m_reveal = false;
  int m_caret = 0;
  int m_lastSlot = -1;
};
