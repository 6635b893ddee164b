#include "player/book/word_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using E = COrv_WordEngine;

std::string utf8(const std::u32string& s) { return orv::toUtf8(s); }

E ran(const char* reference, const char* typed) {
  E e;
  e.SetText(1, reference);
  e.SetText(E::kTyped, typed);
  EXPECT_TRUE(e.Run());
  return e;
}

TEST(WordEngine, FoldedWordsOfTheReferenceAreFoundTyped) {
  E e = ran("L'été, déjà!", "l ete DEJA");
  EXPECT_EQ(e.GetWordCount(1), 3);
  EXPECT_EQ(e.GetWord(1, 2), "été");
  EXPECT_EQ(e.GetWord(E::kTyped, 3), "DEJA");
  EXPECT_EQ(e.GetGap(1, 1), "'");
  EXPECT_TRUE(e.IsPerfect());
  // Matched characters show as the reference spells them.
  EXPECT_EQ(utf8(e.GetDisplayWord(2)), "été");
  EXPECT_EQ(utf8(e.GetDisplayWord(3)), "déjà");
  EXPECT_EQ(e.GetResult(E::kTypedWord, 3), 3);
  EXPECT_EQ(e.GetResult(E::kMatched, 3), 4);
}

TEST(WordEngine, ResultsOfOneWord) {
  struct Case {
    const char* reference;
    const char* typed;
    const char* display;  // with the default mask
    std::vector<int> codes;
    int typedWord, editCount, longestRun, matched, extra, missing, substituted, assigned;
  } cases[] = {
      {"house", "hose", "ho_se", {1, 1, 0, 1, 1}, 1, 1, 2, 4, 0, 1, 0, 1},
      {"house", "hAuse", "hAuse", {1, 2, 1, 1, 1}, 1, 1, 3, 4, 0, 0, 1, 1},
      {"cat", "CAAT", "caAt", {1, 1, 3, 1}, 1, 1, 2, 3, 1, 0, 0, 1},
      {"cat", "catalog", "___", {0, 0, 0}, 0, 3, 0, 0, 0, 3, 0, 0},
      {"cat", "", "___", {0, 0, 0}, 0, 3, 0, 0, 0, 3, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reference) + " / " + c.typed);
    E e = ran(c.reference, c.typed);
    EXPECT_EQ(utf8(e.GetDisplayWord(1)), c.display);
    const int len = e.GetResult(E::kEditLength, 1);
    ASSERT_EQ(len, static_cast<int>(c.codes.size()));
    for (int pos = 1; pos <= len; ++pos) {
      EXPECT_EQ(e.GetEditCode(1, pos), c.codes[pos - 1]) << pos;
      EXPECT_EQ(e.GetDisplayChar(1, pos), e.GetDisplayWord(1)[pos - 1]) << pos;
    }
    EXPECT_EQ(e.GetResult(E::kTypedWord, 1), c.typedWord);
    EXPECT_EQ(e.GetResult(E::kEditCount, 1), c.editCount);
    EXPECT_EQ(e.GetResult(E::kLongestRun, 1), c.longestRun);
    EXPECT_EQ(e.GetResult(E::kMatched, 1), c.matched);
    EXPECT_EQ(e.GetResult(E::kExtra, 1), c.extra);
    EXPECT_EQ(e.GetResult(E::kMissing, 1), c.missing);
    EXPECT_EQ(e.GetResult(E::kSubstituted, 1), c.substituted);
    EXPECT_EQ(e.GetResult(E::kAssigned, 1), c.assigned);
    EXPECT_FALSE(e.IsPerfect());
  }
}

TEST(WordEngine, MaskCharacter) {
  E e = ran("house", "hose");
  EXPECT_EQ(e.GetDisplayChar(1, 3), U'_');
  EXPECT_EQ(e.GetDisplayChar(1, 3, 0x2022), U'\u2022');
  EXPECT_EQ(e.GetDisplayWord(1, '*'), U"ho*se");
  e.SetMask(0x2022);
  EXPECT_EQ(e.GetDisplayWord(1), U"ho\u2022se");
}

TEST(WordEngine, GivenWords) {
  E e;
  e.SetText(1, "the big dog");
  e.SetText(E::kTyped, "");
  e.SetWordGiven(1, true);
  e.SetWordGiven(2, true);
  ASSERT_TRUE(e.Run());
  EXPECT_FALSE(e.IsPerfect());
  EXPECT_EQ(utf8(e.GetDisplayWord(1)), "the");
  EXPECT_EQ(e.GetResult(E::kAssigned, 1), 1);
  EXPECT_EQ(e.GetResult(E::kTypedWord, 1), 0);  // given, not typed
  EXPECT_EQ(utf8(e.GetDisplayWord(3)), "___");
  e.SetWordGiven(3, true);
  e.SetWordGiven(4, true);  // outside: ignored
  e.SetWordGiven(0, true);
  ASSERT_TRUE(e.Run());
  EXPECT_TRUE(e.IsPerfect());
  // A new reference text resets the given flags.
  e.SetText(1, "the big dog");
  ASSERT_TRUE(e.Run());
  EXPECT_FALSE(e.IsPerfect());
}

TEST(WordEngine, StateAndRanges) {
  E e;
  EXPECT_EQ(e.State(), E::kTableLoaded);
  EXPECT_FALSE(e.Run());
  e.SetText(1, "one two");
  EXPECT_FALSE(e.Run());
  e.SetText(E::kTyped, "one two");
  EXPECT_TRUE(e.Run());
  EXPECT_TRUE(e.IsPerfect());
  EXPECT_EQ(e.GetResult(E::kMatched, 0), 0);
  EXPECT_EQ(e.GetResult(E::kMatched, 3), 0);
  EXPECT_EQ(e.GetResult(99, 1), 0);
  EXPECT_EQ(e.GetEditCode(1, 0), 0);
  EXPECT_EQ(e.GetEditCode(1, 4), 0);
  EXPECT_EQ(e.GetDisplayChar(1, 4), 0u);
  EXPECT_EQ(e.GetDisplayWord(3), U"");
  // Each new text or tuning ends the run.
  e.SetText(E::kTyped, "one");
  EXPECT_FALSE(e.IsPerfect());
  EXPECT_EQ(e.GetResult(E::kMatched, 1), 0);
  EXPECT_EQ(e.GetDisplayWord(1), U"");
  EXPECT_TRUE(e.Run());
  e.SetTuning(-1, -1, -1, -1, -1);
  EXPECT_FALSE(e.State() & E::kRunDone);
  EXPECT_EQ(e.Tuning().matchShare, 50);
}

TEST(WordEngine, RunUsesTheCurrentTuning) {
  E e = ran("house", "hause");
  EXPECT_EQ(e.GetResult(E::kAssigned, 1), 1);
  e.SetTuning(100, -1, -1, -1, -1);
  EXPECT_EQ(e.Tuning().matchShare, 100);
  EXPECT_EQ(e.Tuning().editShare, 50);
  ASSERT_TRUE(e.Run());
  EXPECT_EQ(e.GetResult(E::kAssigned, 1), 0);
  // Argument order: match, edit share, edit count, extra share, extra count.
  E f = ran("cat", "catalog");
  f.SetTuning(-1, -1, 9, -1, 9);
  EXPECT_EQ(f.Tuning().editCount, 9);
  EXPECT_EQ(f.Tuning().extraCount, 9);
  ASSERT_TRUE(f.Run());
  EXPECT_EQ(f.GetResult(E::kAssigned, 1), 1);
}

TEST(WordEngine, NoWords) {
  E e = ran(" ... ", "anything");
  EXPECT_EQ(e.GetWordCount(1), 0);
  EXPECT_FALSE(e.IsPerfect());
  std::u32string text;
  std::vector<std::uint8_t> classes;
  std::vector<int> starts, lengths;
  EXPECT_EQ(e.BuildResult(text, classes, starts, lengths), 0);
  EXPECT_EQ(text, U" ... ");
}

TEST(WordEngine, BuildResultShowsTheWholeText) {
  E e = ran("«Hello, big world.»", "helo wrld x");
  std::u32string text;
  std::vector<std::uint8_t> classes;
  std::vector<int> starts, lengths;
  ASSERT_EQ(e.BuildResult(text, classes, starts, lengths), 3);
  EXPECT_EQ(text, U"«Hel_o, ___ w_rld.»");
  EXPECT_EQ(starts, (std::vector<int>{1, 8, 12}));
  EXPECT_EQ(lengths, (std::vector<int>{5, 3, 5}));
  ASSERT_EQ(classes.size(), text.size());
  const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 20, 0, 0,  0, 20, 20,
                                              20, 0, 0, 20, 0, 0, 0, 0, 0};
  EXPECT_EQ(classes, expected);
  // Without a run nothing is built.
  e.SetText(E::kTyped, "x");
  EXPECT_EQ(e.BuildResult(text, classes, starts, lengths), 0);
  EXPECT_TRUE(text.empty());
}

}  // namespace
