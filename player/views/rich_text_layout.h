#pragma once
// How the book-text pane lays out the book: Echomark by Echomark its
// introduction (shown when the option is on and the Echomark has been
// visited or solved), its text (shown once solved, else a "Quote n [...]"
// placeholder) and its comment (shown when the option is on and the
// Echomark is solved). Parts left out take no room, so later Echomarks
// move back.

#include <array>
#include <string>
#include <vector>

#include "player/views/text_pane_document.h"

namespace orv::views {

struct RichTextRun {
  int start = 0;
  int length = 0;
  int record = 0;  // the document's format record
};

struct RichTextLayout {
  std::u32string text;
  std::vector<RichTextRun> runs;
  // Per Echomark (entry 0 unused) where its introduction, text and comment
  // start in `text` (where they would start when left out).
  std::vector<std::array<int, 3>> starts;
};

// `placeholder` is the language's text with one "%d" for the number.
RichTextLayout BuildRichText(const BookTextState& book, bool showComments, bool showIntroductions,
                             const std::string& placeholder);

}  // namespace orv::views
