#pragma once
// A small installed book for the panes over the real document: two
// Echomarks, the first with an introduction and a comment, and a word with
// an accented letter.

#include "player/book/tests/document_fixture.h"
#include "tools/book/book_fixture.h"

namespace panestest {

inline tvtools::book::Book twoEchomarkBook() {
  tvtools::book::Book book;
  book.code = "PANES";
  book.title = "Panes";
  tvtools::book::Echomark first;
  first.introduction = "At the caf\u00e9.";
  first.wordText = "The cat sat in the caf\u00e9.";
  first.comment = "A quiet morning.";
  first.normalWav = tvtools::book::makeWav(400, {});
  tvtools::book::Echomark second;
  second.wordText = "A dog ran by!";
  second.normalWav = tvtools::book::makeWav(300, {});
  book.echomarks = {first, second};
  return book;
}

}  // namespace panestest
