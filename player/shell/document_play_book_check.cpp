// Instantiates the play commands' view of the document over the real
// document class, so that a change of the document's calls breaks the
// build here and not in the program that uses it.
#include "player/book/tv_document.h"
#include "player/shell/document_play_book.h"

template class COrv_DocumentPlayBook<COrv_TvDocument>;
