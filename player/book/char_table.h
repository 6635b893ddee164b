#pragma once
// The word-character table: which characters make words and the folded
// form under which words are compared (lower case, accents removed).
//
// Text is handled as Unicode code points after NFC normalisation. Every
// letter and decimal digit is a word character; everything else separates
// words, except U+2022 BULLET, the mask character of the text panes, which
// is a word character standing for itself. Folding:
// - ASCII letters to lower case, digits to themselves;
// - the Western European letters to their base letter: À..Å and à..å to a,
//   Ç to c, È..Ë to e, Ì..Ï to i, Ñ to n, Ò..Ö, Ø, Ð, ð and ò..ø to o, Ù..Ü
//   to u, Ý, ý, ÿ, Ÿ to y, Š, š to s; ß kept;
// - any other letter to its lower case, then to the base letter of its
//   canonical decomposition when it has one (Ž to z, Ő to o), else kept
//   (æ, œ, þ, ł stay themselves): "cœur", "Æsop" and "Žižek" are one word.
// A combining mark is part of a word when it follows a word character (it
// belongs to the letter before it and stands for itself); it separates
// otherwise. Symbols such as ¥, × and ² are neither letters nor decimal
// digits and separate.

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
};

// UTF-8 to code points in NFC. Malformed sequences become U+FFFD.
std::u32string toNfc32(std::string_view utf8);
// Code points to UTF-8 (values that are not characters are skipped).
std::string toUtf8(std::u32string_view text);

}  // namespace orv
