#include "player/book/char_table.h"
#include "player/book/word_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using orv::CharTable;

TEST(CharTable, FoldsLettersAndSeparatesTheRest) {
  struct Case {
    char32_t c;
    char32_t folded;  // 0: separates words
  } cases[] = {
      // The code page, as stored books number their words.
      {U'A', U'a'},     {U'z', U'z'},     {U'7', U'7'},     {U'\xC9', U'e'},  // É
      {U'\xC5', U'a'},  {U'\xD1', U'n'},  {U'\xD8', U'o'},  {U'\xF8', U'o'},  // Å Ñ Ø ø
      {U'\xF0', U'o'},  {U'\xDF', U'\xDF'}, {U'\xE7', U'c'}, {U'\xEF', U'i'},  // ð ß ç ï
      {U'\xFF', U'y'},  {0x178, U'y'},    {U'\xA5', U'y'},  {U'\xDD', U'y'},  // ÿ Ÿ ¥ Ý
      {0x160, U's'},    {0x161, U's'},    {0x2022, 0x2022},                   // Š š the mask bullet
      {U'\xD0', 0},     {U'\xC6', 0},     {U'\xE6', 0},     {U'\xDE', 0},     // Ð Æ æ Þ
      {U'\xFE', 0},     {0x152, 0},       {0x153, 0},       {0x17D, 0},       // þ Œ œ Ž
      {0x17E, 0},       {0x192, 0},       {U'\xAA', 0},     {U'\xB5', 0},     // ž ƒ ª µ
      {U'\xD7', 0},     {U'\xF7', 0},     {U'\xB2', 0},     {0x2019, 0},      // × ÷ ² ’
      {0x20AC, 0},      {U'\'', 0},       {U'-', 0},        {U' ', 0},        // € ' - blank
      {0, 0},           {0x81, 0},        {0x9D, 0},                          // NUL, unassigned
      // Beyond it: letters and digits.
      {0x141, 0x142},   {0x17A, U'z'},    {0x150, U'o'},    {0x414, 0x434},   // Ł ź Ő Д
      {0x386, 0x3B1},   {0x663, 0x663},   {0x2030, 0},                        // Ά ٣ ‰
      {0x301, 0},       {0x110000 + 191, 0},
  };
  const CharTable& t = CharTable::standard();
  for (const Case& c : cases)
    EXPECT_EQ(static_cast<std::uint32_t>(t.fold(c.c)), static_cast<std::uint32_t>(c.folded))
        << std::hex << static_cast<std::uint32_t>(c.c);
}

TEST(WordList, SplitsIntoWordsWithGaps) {
  COrv_WordList list;
  ASSERT_EQ(list.SetText("L'été, déjà!"), 3);
  EXPECT_EQ(list.GetWord(1), "L");
  EXPECT_EQ(list.GetWord(2), "été");
  EXPECT_EQ(list.GetWord(3), "déjà");
  EXPECT_EQ(list.Folded32().substr(2, 3), U"ete");
  EXPECT_EQ(list.Folded32().substr(7, 4), U"deja");
  EXPECT_EQ(list.GetWordStart(2), 2);  // code points, not bytes
  EXPECT_EQ(list.GetWordStart(3), 7);
  EXPECT_EQ(list.GetWordLength(3), 4);
  EXPECT_EQ(list.GetGap(0), "");
  EXPECT_EQ(list.GetGap(1), "'");
  EXPECT_EQ(list.GetGap(2), ", ");
  EXPECT_EQ(list.GetGap(3), "!");
  EXPECT_EQ(list.GetText(), "L'été, déjà!");
  // Outside the ranges.
  EXPECT_EQ(list.GetWord(0), "");
  EXPECT_EQ(list.GetWord(4), "");
  EXPECT_EQ(list.GetWordStart(0), -1);
  EXPECT_EQ(list.GetWordLength(4), 0);
  EXPECT_EQ(list.GetGap(-1), "");
  EXPECT_EQ(list.GetGap(4), "");

  ASSERT_EQ(list.SetText("  two  words "), 2);
  EXPECT_EQ(list.GetGap(0), "  ");
  EXPECT_EQ(list.GetGap(1), "  ");
  EXPECT_EQ(list.GetGap(2), " ");
}

TEST(WordList, WordsSplitAsTheCodePageTableSays) {
  struct Case {
    const char* text;
    int words;
    const char32_t* folded;  // folded form of word 1
  } cases[] = {
      {"Łódź", 1, U"łodz"},                 // letters beyond the code page join its own
      {"Straße", 1, U"straße"},
      {"cœur", 2, U"c"},                    // œ separates in the code page's table
      {"Æsop", 1, U"sop"},
      {"Þór", 1, U"or"},
      {"Москва\u0301 ", 1, U"москва\u0301"},  // a stress mark stays with its letter
      {"n\u0308o", 1, U"n\u0308o"},       // a mark with no composed form
      {" \u0301a", 1, U"a"},              // a mark after a separator separates
      {"5¥ 3²", 2, U"5y"},                 // ¥ folds to y; ² separates
      {"caf\xFF\xFE", 1, U"caf"},         // malformed bytes separate
  };
  for (const Case& c : cases) {
    COrv_WordList list;
    EXPECT_EQ(list.SetText(c.text), c.words) << c.text;
    const orv::WordSpan w = list.Words()[0];
    EXPECT_EQ(list.Folded32().substr(w.start, w.length), std::u32string(c.folded)) << c.text;
  }
}

TEST(WordList, DecomposedTextIsNormalisedFirst) {
  COrv_WordList composed, decomposed;
  composed.SetText("déjà vu");
  decomposed.SetText("de\u0301ja\u0300 vu");
  EXPECT_EQ(decomposed.GetText(), composed.GetText());
  EXPECT_EQ(decomposed.GetWordLength(1), 4);
  EXPECT_EQ(decomposed.GetWordStart(2), 5);
  EXPECT_EQ(decomposed.Folded32(), composed.Folded32());
}

TEST(WordList, WithoutTableOrTextThereAreNoWords) {
  COrv_WordList none(nullptr);
  EXPECT_EQ(none.SetText("some words"), 0);
  EXPECT_EQ(none.GetWordStart(1), -1);
  EXPECT_EQ(none.GetWordLength(1), 0);
  COrv_WordList empty;
  EXPECT_EQ(empty.SetText(""), 0);
  EXPECT_EQ(empty.GetGap(0), "");
  EXPECT_EQ(empty.SetText(" ,;"), 0);
  EXPECT_EQ(empty.GetGap(0), " ,;");
}

}  // namespace
