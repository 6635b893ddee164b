#pragma once
// What the Talvane document asks of the windows that show it. The
// document never draws: it keeps the book text, the per-Echomark lengths,
// the status words and the text formats, and tells its panes, by refresh
// flag, what to rebuild from them (COrv_TvDocument::RefreshViews):
//   8     the book-text pane rebuilds its text and reloads its button texts
//   0x10  the book-text pane scrolls to the current Echomark
//   4     the scratch pad reloads its button texts and applies its format
//   2     the so-far pane sets its buttons, rebuilds its text, reloads its
//         button texts (in this order)
//   0x20  the child frame's Echomark index takes the status words again
// A pane attaches itself with COrv_TvDocument::AddView and detaches with
// RemoveView before it goes; the document owns none of them.

#include <cstdint>
#include <vector>

// One pane of a Talvane window. ViewKind() is its refresh flag: 8 book
// text, 4 scratch pad, 2 so far; a pane of kind K implements the matching
// interface below.
class TvDocumentView {
 public:
  static constexpr unsigned kSoFar = 0x2;
  static constexpr unsigned kScratchPad = 0x4;
  static constexpr unsigned kRichText = 0x8;

  virtual ~TvDocumentView() = default;
  virtual unsigned ViewKind() const = 0;
};

// The book-text pane (upper left).
class TvRichTextView : public TvDocumentView {
 public:
  unsigned ViewKind() const final { return kRichText; }
  // Rebuilds the pane from the document's book text, its three length
  // arrays, its text formats and the status words.
  virtual void BuildText() = 0;
  // Scrolls so that Echomark n's text starts the first visible line;
  // answers that character position.
  virtual int ScrollToQuote(unsigned n) = 0;
  // Reloads the tooltip and picture of the pane's button in the interface
  // language.
  virtual void LoadButtonTexts() = 0;
};

// The scratch pad (below), where the learner types.
class TvScratchPadView : public TvDocumentView {
 public:
  unsigned ViewKind() const final { return kScratchPad; }
  virtual void LoadButtonTexts() = 0;
  // With `reload`, takes the document's text format again and applies it
  // to the whole typed text, keeping the selection.
  virtual void ApplyFormat(bool reload) = 0;
};

// The so-far pane (upper right): the current Echomark word by word.
class TvSoFarView : public TvDocumentView {
 public:
  static constexpr int kLetterByLetterMode = 5;

  unsigned ViewKind() const final { return kSoFar; }
  // Sets the toggle buttons from the current Echomark's status.
  virtual void UpdateButtonStates() = 0;
  // Rebuilds the so-far text from the document, keeping the caret.
  virtual void Refresh() = 0;
  virtual void LoadButtonTexts() = 0;
  // The control's click or typing mode (5: letter by letter).
  virtual int GetMode() const = 0;
};

// The child frame that holds the panes, as far as the document uses it:
// its Echomark index.
class TvDocumentFrame {
 public:
  virtual ~TvDocumentFrame() = default;
  // Hands the index the status words (element 0 belongs to no Echomark,
  // 1..N the Echomarks) and the current Echomark; `fill` builds the index
  // anew, otherwise its cells are updated.
  virtual void SetQuoteIndex(const std::vector<std::uint32_t>& status, unsigned current, bool fill) = 0;
  // Selects Echomark n (1..N) in the index.
  virtual void SelectQuote(unsigned n) = 0;
};
