#pragma once
// What the book model needs of the main window to open a grammar page: the
// main frame sends the page to the grammar browser. Tests put a recording
// fake here.

#include <string>

namespace orv {

class GrammarPageHost {
 public:
  virtual ~GrammarPageHost() = default;
  // Shows `page` (a file path, optionally followed by "#anchor") in the
  // grammar browser; true when the request was delivered.
  virtual bool SendGrammarPage(const std::string& page) = 0;
};

}  // namespace orv
