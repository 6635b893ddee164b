#pragma once
// The word-character table: which characters make words and the folded
// form under which words are compared (lower case, accents removed).
//
// Text is handled as Unicode code points after NFC normalisation. Stored
// books number their words by this table (dictionary entries and word
// lists name words by number), so for every character of the Windows-1252
// code page it is the book format's own table, exactly:
// - digits to themselves, ASCII letters to lower case;
// - À..Å, à..å to a; Ç, ç to c; È..Ë, è..ë to e; Ì..Ï, ì..ï to i; Ñ, ñ to
//   n; Ò..Ö, Ø, ð, ò..ö, ø to o; Ù..Ü, ù..ü to u; Ý, ý, ÿ, Ÿ and ¥ to y;
//   Š, š to s; ß and U+2022 BULLET (the mask character of the text panes)
//   stand for themselves;
// - every other character of the code page separates words: Æ, æ, Ð, Þ,
//   þ, Œ, œ, Ž, ž, ƒ, ª, º, µ, ×, ÷, punctuation, symbols and controls.
// Beyond the code page, every letter and decimal digit is a word
// character: a letter folds to its lower case, then to the base letter of
// its canonical decomposition when it has one (Ł to ł, ź to z, Ő to o),
// else it is kept; every other character separates.
// A combining mark is part of a word when it follows a word character (it
// belongs to the letter before it and stands for itself); it separates
// otherwise.

#include <string>
#include <string_view>

namespace orv {

class CharTable {
 public:
  // The program's table.
  static const CharTable& standard();

  // Folded form of `c`, or 0 when `c` separates words (ignoring the
  // combining-mark rule, which needs the character before).
  char32_t fold(char32_t c) const;

  // True for combining marks (categories Mn, Mc, Me).
  static bool isMark(char32_t c);

 private:
  CharTable();
  char32_t m_latin[0x250];  // precomputed folds of the Latin blocks
  // The code page's characters above the Latin blocks, with their folds.
  struct Entry {
    char32_t c, folded;
  };
  Entry m_high[32] = {};
  int m_highCount = 0;
};

// UTF-8 to code points in NFC. Malformed sequences become U+FFFD.
std::u32string toNfc32(std::string_view utf8);
// Code points to UTF-8 (values that are not characters are skipped).
std::string toUtf8(std::u32string_view text);

}  // namespace orv
