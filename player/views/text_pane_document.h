#pragma once
// What the three text panes of a Talvane window take from their document and
// ask of it. The panes never change learner state themselves: every
// revealed, typed or corrected word and every typed text goes through these
// calls, and the document answers by refreshing the panes by flag bits.
//
// TvDocumentPanes (tv_document_panes.h) answers it from the real document;
// tests answer it with a recording stand-in.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "player/book/text_format.h"

namespace orv {

// The current Echomark as the so-far pane shows it. Words are numbered
// from 1 (entry 0 of each per-word array belongs to no word); positions
// count code points of `shown`.
struct SoFarState {
  std::u32string shown;       // the display text, hidden letters as `mask`
  std::u32string reference;   // the Echomark's text, the letters typing is checked against
  std::vector<int> kinds;     // one per position of `shown` (COrv_SoFarModel::Kind)
  std::vector<std::uint32_t> status;  // per word: flag word, low four bits its result
  std::vector<int> first;     // per word: first position in `shown`
  std::vector<int> length;    // per word: number of positions
  char32_t mask = U'\u2022';
  std::uint32_t flags = 0;    // the current Echomark's status word
  unsigned quote = 0;         // the Echomark these belong to
};

// The book text and what the book-text pane needs to lay it out: per
// Echomark n (1..count) the lengths of its introduction, text and comment
// in `text` (in code points) and its status word.
struct BookTextState {
  std::u32string text;
  std::vector<std::array<int, 3>> lengths;  // entry 0 unused
  std::vector<std::uint32_t> status;        // entry 0 unused
};

class TextPaneDocument {
 public:
  // Format records of the document, numbered 1 to 6.
  enum Record {
    kIntroductionFormat = 1,
    kTextFormat = 2,
    kCommentFormat = 3,
    kSoFarFormat = 4,
    kScratchPadFormat = 5,
    kDictionaryFormat = 6,
  };
  // Word marks and refresh bits of SetWordMark.
  static constexpr std::uint32_t kMarkRevealed = 0x10000;
  static constexpr std::uint32_t kMarkTyped = 0x20000;
  static constexpr std::uint32_t kMarkCorrected = 0x40000;
  static constexpr int kRefreshScratchPad = 4;
  static constexpr int kRecheck = 2;

  virtual ~TextPaneDocument() = default;

  // So-far pane.
  virtual SoFarState GetSoFarState() const = 0;
  // The current Echomark's status word.
  virtual std::uint32_t GetCurrentStatus() const = 0;
  virtual bool SetWordMark(int n, std::uint32_t mark, int flags) = 0;
  virtual bool RecheckUserText(bool feedback) = 0;
  virtual bool ShowDictionaryDefinition(int n) = 0;
  virtual bool ShowIntroduction() = 0;
  virtual bool ShowComment() = 0;
  // The titles of word n's grammar links; answers their number.
  virtual int GetGrammarTitles(int n, std::vector<std::string>& titles) const = 0;
  virtual bool ShowGrammarPage(int n, int k) = 0;
  // The go-to menu of the grammar browser: which of its two entries can be
  // followed now (kGoToIndex, kGoToCurrentPage), and following one.
  static constexpr int kGoToIndex = 1;
  static constexpr int kGoToCurrentPage = 2;
  virtual int GoToMenuState() const { return 0; }
  virtual bool GoToGrammar(int /*entry*/) { return false; }

  // Book-text pane.
  virtual BookTextState GetBookText() const = 0;
  virtual unsigned GetCurrentQuote() const = 0;

  // Scratch pad: the learner's text of the current Echomark (UTF-8), and the
  // check that stores a new one and compares it.
  virtual std::string GetUserText() const = 0;
  virtual bool CheckUserText(const std::string& text, bool feedback) = 0;

  virtual COrv_TextFormat GetTextFormat(int record) const = 0;
};

}  // namespace orv
