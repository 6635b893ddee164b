#pragma once
// The parsed form of one ini file and the edits made to it. Parsing is one
// pass over the text; lookups of sections go through a hash index and the
// keys of a section are indexed on first use, so neither reading many
// values nor applying many edits is quadratic. Edits never re-parse: they
// mark lines as replaced or deleted and collect new lines, and serialise()
// writes the result once, every untouched line byte for byte.
//
// The rules:
// - A line ends at LF, at CRLF or at a CR alone. Leading white space of a
//   line is ignored.
// - A line whose first character is ';' is a comment; an empty line is
//   blank. '[' opens a section header: the name runs to the first ']' (or
//   the end of the line when there is none) and is trimmed.
// - Any other line is a key line: the key is the trimmed text before the
//   first '=', the value the trimmed text after it; one pair of matching
//   double or single quotes around the value is stripped on reading. A line
//   without '=', or with nothing before the '=', is kept but names no key
//   (a stray line in a hand-written file never becomes a setting). Key
//   lines before the first header belong to no section.
// - Names match without regard to case (ini_text.h). Only the first
//   occurrence of a section counts, and within it the first occurrence of a
//   key. Deleting a section removes every occurrence of it and deleting a
//   key every occurrence in that section, so that a hidden duplicate never
//   comes to light.
// - A changed key keeps its spelling and is rewritten as "key=value" with
//   CRLF; a line that holds the value already stays as it is. A new key
//   goes after the last key line of its section; a new section goes at the
//   end of the file. Lines that are written end in CRLF.
//   Deleting a section removes its header and every line up to the next
//   header.
//
// Not safe for concurrent use, reads included (indexes are built lazily).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plat::profile {

// Names and values that writes accept. A section name must not hold CR, LF,
// NUL or ']' and must not be blank; a key name must not hold CR, LF, NUL or
// '=', must not be blank and must not begin with '[' or ';' (it would read
// back as a header or a comment); a value must not hold CR, LF or NUL (it
// would add lines to the file).
bool isValidSectionName(std::string_view name);
bool isValidKeyName(std::string_view name);
bool isValidValue(std::string_view value);

class IniDocument {
 public:
  IniDocument() : IniDocument(std::string()) {}
  explicit IniDocument(std::string text);

  // The text the document was parsed from.
  const std::string& text() const { return text_; }

  // Reads see the parsed text, not the edits made since.
  // The value of a key (trimmed, one pair of quotes stripped), or nothing
  // when the section or the key is missing.
  std::optional<std::string_view> value(std::string_view section, std::string_view key) const;
  bool hasSection(std::string_view section) const;
  // Section names in file order, each once, in its first spelling.
  std::vector<std::string_view> sectionNames() const;
  // The keys of a section in file order, each once, in its first spelling.
  std::vector<std::string_view> keyNames(std::string_view section) const;

  // Edits. Names and values must have passed the checks above; names are
  // trimmed.
  void setValue(std::string_view section, std::string_view key, std::string_view value);
  void eraseKey(std::string_view section, std::string_view key);
  void eraseSection(std::string_view section);

  // The text with every edit applied.
  std::string serialise() const;

 private:
  enum class Kind : uint8_t { Blank, Comment, Header, Key, Nameless };  // Nameless: no key, kept
  enum class State : uint8_t { Kept, Replaced, Deleted };

  struct Line {
    size_t begin = 0, next = 0;  // [begin, next) holds the line and its end
    size_t nameBegin = 0, nameEnd = 0;
    size_t valueBegin = 0, valueEnd = 0;
    Kind kind = Kind::Blank;
    State state = State::Kept;
  };

  // A key of a section: an existing line or a key added by an edit.
  struct KeyRef {
    bool added;
    size_t index;
  };

  struct Added {
    std::string key, value;
    bool alive = true;
  };

  struct Section {
    std::string name;
    std::string folded;
    bool real = true;       // false: created by an edit, written at the end
    bool removed = false;
    size_t header = 0;      // line of the header (real sections)
    size_t end = 0;         // one past its last line
    size_t anchor = 0;      // last key line, or the header: new keys go after it
    std::vector<Added> added;
    bool keysIndexed = false;
    std::unordered_map<std::string, std::vector<KeyRef>> keys;
  };

  std::string_view name(const Line& l) const { return std::string_view(text_).substr(l.nameBegin, l.nameEnd - l.nameBegin); }
  std::string_view rawValue(const Line& l) const { return std::string_view(text_).substr(l.valueBegin, l.valueEnd - l.valueBegin); }

  void parse();
  // The index of the first live occurrence of a section, or -1.
  long findSection(std::string_view section) const;
  Section& indexKeys(size_t section) const;

  std::string text_;
  std::vector<Line> lines_;
  mutable std::vector<Section> sections_;
  std::unordered_map<std::string, std::vector<size_t>> sectionIndex_;
  std::vector<long> anchoredSection_;  // per line: the section anchored there, or -1
  std::unordered_map<size_t, std::string> replaced_;  // lines whose state is Replaced
};

}  // namespace plat::profile
