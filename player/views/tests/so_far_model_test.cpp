// The so-far control's typing engine, modes and navigation, without a
// widget.

#include <gtest/gtest.h>

#include "player/views/so_far_model.h"
#include "player/views/tests/pane_test_support.h"

namespace {

using orv::test::MakeState;
using orv::test::RecordingDocument;
using orv::test::Utf8;
using Model = COrv_SoFarModel;

std::string kindsOf(const Model& m) {
  // Blanks stand for themselves, as in MakeState.
  std::string out;
  for (std::size_t p = 0; p < m.Kinds().size(); ++p) {
    const int k = m.Kinds()[p];
    out += m.Shown()[p] == U' ' ? ' ' : k == 18 ? 's' : k == 20 ? '_' : k == 24 ? 'w' : k == -1 ? 'x' : '.';
  }
  return out;
}

struct Fixture {
  RecordingDocument doc;
  Model model;
  int beeps = 0;
  Fixture(const std::u32string& shown, const std::string& kinds, const std::u32string& ref,
          std::uint32_t flags = 0x80) {
    model.SetDocument(&doc);
    model.SetBeep([this] { ++beeps; });
    model.Load(MakeState(shown, kinds, ref, flags));
    model.SetMode(Model::kLetterByLetter);
  }
};

// A key: a typed character, or one of the special keys.
struct Key {
  char32_t ch = 0;
  int special = -1;
};
Key ch(char32_t c) { return Key{c, -1}; }
Key special(Model::Key k) { return Key{0, k}; }

struct TypingCase {
  const char* name;
  std::u32string shown;
  std::string kinds;
  std::u32string reference;
  int caret;
  Key key;
  std::u32string wantShown;
  std::string wantKinds;
  int wantCaret;
  std::vector<std::string> wantCalls;
  int wantBeeps;
};

TEST(SoFarTyping, Table) {
  const std::string typed1 = "SetWordMark(1,0x20000,4)";
  const std::string typed2 = "SetWordMark(2,0x20000,4)";
  const std::string recheck = "Recheck(1)";
  const TypingCase cases[] = {
      {"right letter completes the last word", U"c\u2022t", "._.", U"cat", 1, ch(U'a'),
       U"cat", "...", 1, {typed1, recheck}, 0},
      {"right letter in the other case takes the reference's case", U"C\u2022t", "._.", U"CAt", 1,
       ch(U'a'), U"CAt", "...", 1, {typed1, recheck}, 0},
      {"wrong letter is kept and the caret moves on", U"c\u2022\u2022", ".__", U"cat", 1,
       ch(U'x'), U"cx\u2022", ".w_", 2, {}, 0},
      {"wrong letter as the only editable position keeps the caret", U"cxt", ".w.", U"cat", 1,
       ch(U'z'), U"czt", ".w.", 1, {}, 0},
      {"punctuation beeps", U"c\u2022t", "._.", U"cat", 1, ch(U'!'), U"c\u2022t", "._.", 1, {}, 1},
      {"a letter on a plain position beeps", U"c\u2022t", "._.", U"cat", 0, ch(U'c'), U"c\u2022t",
       "._.", 0, {}, 1},
      {"a letter at the end of the text beeps", U"c\u2022t", "._.", U"cat", 3, ch(U'a'),
       U"c\u2022t", "._.", 3, {}, 1},
      {"reference letter after a struck position", U"cxa\u2022", ".s._", U"cat", 3, ch(U't'),
       U"cxat", ".s..", 1, {}, 0},
      {"reference letter after a position without counterpart", U"c-\u2022", ".x_", U"ca", 2,
       ch(U'a'), U"c-a", ".x.", 2, {typed1, recheck}, 0},
      {"reference shorter than the text beeps", U"c\u2022\u2022", ".__", U"c", 1, ch(U'a'),
       U"c\u2022\u2022", ".__", 1, {}, 1},
      {"first word complete moves to the next word, no recheck", U"c\u2022t d\u2022g", "._. ._.",
       U"cat dog", 1, ch(U'a'), U"cat d\u2022g", "... ._.", 5, {typed1}, 0},
      {"last letter of the last word rechecks once", U"cat d\u2022g", "... ._.", U"cat dog", 5,
       ch(U'o'), U"cat dog", "... ...", 5, {typed2, recheck}, 0},
      {"Return gives the letter", U"c\u2022t", "._.", U"cat", 1, special(Model::kReturn), U"cat",
       "...", 1, {typed1, recheck}, 0},
      {"Return on a wrong letter gives the letter", U"cxt", ".w.", U"cat", 1,
       special(Model::kReturn), U"cat", "...", 1, {typed1, recheck}, 0},
      {"Return on a plain position does nothing", U"c\u2022t", "._.", U"cat", 0,
       special(Model::kReturn), U"c\u2022t", "._.", 0, {}, 0},
      {"Delete on the last struck position completes the word", U"cxat", ".s..", U"cat", 1,
       special(Model::kDelete), U"cat", "...", 1, {typed1, recheck}, 0},
      {"Delete on a struck position goes on to the next slot", U"cx\u2022t d\u2022g", ".s_. ._.",
       U"cat dog", 1, special(Model::kDelete), U"c\u2022t d\u2022g", "._. ._.", 1, {}, 0},
      {"Return on a struck position deletes it", U"cxat", ".s..", U"cat", 1,
       special(Model::kReturn), U"cat", "...", 1, {typed1, recheck}, 0},
      {"Delete on a slot does nothing", U"c\u2022t", "._.", U"cat", 1, special(Model::kDelete),
       U"c\u2022t", "._.", 1, {}, 0},
      {"accented letter is a letter", U"caf\u2022", "..._", U"caf\u00e9", 3, ch(U'\u00e9'),
       U"caf\u00e9", "....", 3, {typed1, recheck}, 0},
      {"accented capital matches", U"caf\u2022", "..._", U"caf\u00e9", 3, ch(U'\u00c9'),
       U"caf\u00e9", "....", 3, {typed1, recheck}, 0},
      {"a bare letter is not its accented form", U"caf\u2022", "..._", U"caf\u00e9", 3, ch(U'e'),
       U"cafe", "...w", 3, {}, 0},
      {"a digit is typed", U"n\u2022", "._", U"n1", 1, ch(U'1'), U"n1", "..", 1, {typed1, recheck},
       0},
  };
  for (const TypingCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f(c.shown, c.kinds, c.reference);
    f.model.SetCaret(c.caret);
    if (c.key.special >= 0) f.model.PressKey(static_cast<Model::Key>(c.key.special));
    else f.model.TypeChar(c.key.ch);
    EXPECT_EQ(Utf8(f.model.Shown()), Utf8(c.wantShown));
    EXPECT_EQ(kindsOf(f.model), c.wantKinds);
    EXPECT_EQ(f.model.Caret(), c.wantCaret);
    EXPECT_EQ(f.doc.calls, c.wantCalls);
    EXPECT_EQ(f.beeps, c.wantBeeps);
  }
}

TEST(SoFarTyping, KeysDoNothingOutsideLetterByLetterMode) {
  for (int mode : {1, 2, 3, 9}) {
    Fixture f(U"c\u2022t", "._.", U"cat");
    f.model.SetMode(mode);
    f.model.SetCaret(1);
    EXPECT_FALSE(f.model.TypeChar(U'a'));
    EXPECT_FALSE(f.model.PressKey(Model::kReturn));
    EXPECT_EQ(Utf8(f.model.Shown()), "c\u2022t");
    EXPECT_EQ(f.beeps, 0);
    EXPECT_TRUE(f.doc.calls.empty());
  }
}

TEST(SoFarTyping, TypingAWholeWordLetterByLetter) {
  Fixture f(U"\u2022\u2022\u2022 \u2022\u2022", "___ __", U"dog is");
  f.model.SetCaret(0);
  for (char32_t c : std::u32string(U"dxg")) f.model.TypeChar(c);
  // The wrong 'x' stays; the caret comes back to it as the word's only slot.
  EXPECT_EQ(Utf8(f.model.Shown()), "dxg \u2022\u2022");
  EXPECT_EQ(f.model.Caret(), 1);
  EXPECT_TRUE(f.doc.calls.empty());
  f.model.TypeChar(U'o');
  EXPECT_EQ(f.doc.calls, std::vector<std::string>{"SetWordMark(1,0x20000,4)"});
  EXPECT_EQ(f.model.Caret(), 4);
  f.model.TypeChar(U'I');
  f.model.TypeChar(U's');
  EXPECT_EQ(Utf8(f.model.Shown()), "dog is");
  EXPECT_EQ(f.doc.calls,
            (std::vector<std::string>{"SetWordMark(1,0x20000,4)", "SetWordMark(2,0x20000,4)",
                                      "Recheck(1)"}));
}

struct NavCase {
  const char* name;
  int caret;
  Model::Key key;
  int want;
};

TEST(SoFarNavigation, Table) {
  // Words: 1 "a•c" (0-2), 2 "d•f" (4-6), 3 "ghi" done (8-10), 4 "••l" (12-14).
  const std::u32string shown = U"a\u2022c d\u2022f ghi \u2022\u2022l";
  const std::string kinds = "._. ._. ... __.";
  const NavCase cases[] = {
      {"Tab goes to the next word with work", 1, Model::kTab, 5},
      {"Up is Tab", 1, Model::kUp, 5},
      {"Tab skips a done word and wraps to the first", 13, Model::kTab, 1},
      {"Tab from word 2 skips word 3", 5, Model::kTab, 12},
      {"Down goes to the previous word with work", 5, Model::kDown, 1},
      {"Down from the first word wraps to the last", 1, Model::kDown, 12},
      {"Tab from a gap goes to the first word with work", 3, Model::kTab, 1},
      {"Right within the word", 12, Model::kRight, 13},
      {"Right wraps inside the word", 13, Model::kRight, 12},
      {"Left wraps inside the word", 12, Model::kLeft, 13},
      {"Right on the word's only slot stays", 5, Model::kRight, 5},
      {"Right in a done word stays", 9, Model::kRight, 9},
  };
  for (const NavCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f(shown, kinds, U"abc def ghi jkl");
    f.model.SetCaret(c.caret);
    EXPECT_FALSE(f.model.PressKey(c.key));
    EXPECT_EQ(f.model.Caret(), c.want);
    EXPECT_EQ(f.beeps, 0);
  }
}

TEST(SoFarNavigation, TabStaysOnTheOnlyWordWithWork) {
  Fixture f(U"ab c\u2022\u2022", ".. .__", U"ab cde");
  f.model.SetCaret(5);
  f.model.PressKey(Model::kTab);
  EXPECT_EQ(f.model.Caret(), 4);
}

TEST(SoFarNavigation, NearestSlot) {
  Fixture f(U"\u2022bcd\u2022fg", "_..._..", U"abcdefg");
  // Forward wins a tie; the backward search wraps to the end.
  const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {2, 4}, {3, 4}, {5, 4}, {6, 4}};
  for (auto [pos, want] : cases) EXPECT_EQ(f.model.NearestSlot(pos), want) << pos;
  Fixture none(U"abc", "...", U"abc");
  EXPECT_EQ(none.model.NearestSlot(1), -1);
}

struct ModeCase {
  std::uint32_t flags;
  int asked;
  int want;
};

TEST(SoFarModes, MappingTable) {
  const ModeCase cases[] = {
      {0x80, 1, 1}, {0x80, 2, 2}, {0x00, 2, 6}, {0x82, 2, 2}, {0x80, 3, 3}, {0x82, 3, 7},
      {0x82, 4, 8}, {0x82, 5, 9}, {0x80, 5, 5}, {0x02, 1, 1}, {0x02, 2, 6},
  };
  for (const ModeCase& c : cases) {
    Fixture f(U"c\u2022t", "._.", U"cat", c.flags);
    f.model.SetMode(Model::kDictionary);
    EXPECT_EQ(f.model.SetMode(c.asked), Model::kDictionary);
    EXPECT_EQ(f.model.GetMode(), c.want) << std::hex << c.flags << " " << c.asked;
  }
}

TEST(SoFarModes, RestoreAfterTheFlagsChange) {
  const std::pair<int, int> cases[] = {{6, 2}, {7, 3}, {8, 4}, {9, 5}, {1, 1}, {5, 5}};
  for (auto [mode, base] : cases) EXPECT_EQ(Model::BaseMode(mode), base);

  Fixture f(U"c\u2022t", "._.", U"cat", 0x82);
  f.model.SetMode(Model::kLetterByLetter);
  EXPECT_EQ(f.model.GetMode(), Model::kLetterByLetterDisabled);
  f.model.Load(MakeState(U"c\u2022t", "._.", U"cat", 0x80));
  f.model.RestoreMode();
  EXPECT_EQ(f.model.GetMode(), Model::kLetterByLetter);
}

TEST(SoFarRefresh, PartlyTypedWordSurvivesARefresh) {
  const auto state = MakeState(U"\u2022\u2022\u2022 \u2022\u2022\u2022", "___ ___", U"cat dog");
  Fixture f(U"\u2022\u2022\u2022 \u2022\u2022\u2022", "___ ___", U"cat dog");
  f.model.SetCaret(0);
  f.model.TypeChar(U'c');
  f.model.TypeChar(U'x');
  ASSERT_EQ(Utf8(f.model.Shown()), "cx\u2022 \u2022\u2022\u2022");
  f.model.Load(state);
  EXPECT_EQ(Utf8(f.model.Shown()), "cx\u2022 \u2022\u2022\u2022");
  EXPECT_EQ(kindsOf(f.model), ".w_ ___");
  EXPECT_EQ(f.model.Caret(), 2);
  // Typing goes on where it was.
  f.model.TypeChar(U't');
  f.model.SetCaret(1);
  f.model.TypeChar(U'a');
  EXPECT_EQ(f.doc.calls, std::vector<std::string>{"SetWordMark(1,0x20000,4)"});
}

TEST(SoFarRefresh, TypedLettersGiveWayToTheDocument) {
  Fixture f(U"\u2022\u2022\u2022 \u2022\u2022\u2022", "___ ___", U"cat dog");
  f.model.SetCaret(0);
  f.model.TypeChar(U'c');
  // The learner's own text now pairs word 1 differently: the document's copy
  // of that word changed, so it wins.
  f.model.Load(MakeState(U"ca\u2022 \u2022\u2022\u2022", ".._ ___", U"cat dog"));
  EXPECT_EQ(Utf8(f.model.Shown()), "ca\u2022 \u2022\u2022\u2022");
  // Another Echomark drops everything and the caret starts over.
  f.model.SetCaret(4);
  f.model.TypeChar(U'd');
  f.model.Load(MakeState(U"\u2022\u2022 \u2022\u2022\u2022", "__ ___", U"be dog", 0x80, 0, 2));
  EXPECT_EQ(Utf8(f.model.Shown()), "\u2022\u2022 \u2022\u2022\u2022");
  EXPECT_EQ(f.model.Caret(), 0);
}

TEST(SoFarRefresh, ARefreshFromInsideTheDocumentCallIsSafe) {
  Fixture f(U"c\u2022t d\u2022g", "._. ._.", U"cat dog");
  // The document marks the word and refreshes the pane from inside the call.
  f.doc.onChange = [&] {
    f.model.Load(MakeState(U"cat d\u2022g", "... ._.", U"cat dog"));
  };
  f.model.SetCaret(1);
  f.model.TypeChar(U'a');
  EXPECT_EQ(Utf8(f.model.Shown()), "cat d\u2022g");
  EXPECT_EQ(f.model.Caret(), 5);
}

TEST(SoFarClicks, LazyReveal) {
  Fixture f(U"c\u2022t dog f\u2022x", "._. ... ._.", U"cat dog fox");
  f.model.SetMode(Model::kLazy);
  f.model.ClickWordLazy(1, false, false);
  f.model.ClickWordLazy(2, false, false);  // done: nothing
  f.model.ClickWordLazy(-1, false, false);
  f.model.ClickWordLazy(4, false, false);
  EXPECT_EQ(f.doc.calls, std::vector<std::string>{"SetWordMark(1,0x10000,6)"});
  f.doc.calls.clear();
  f.model.ClickWordLazy(3, true, true);  // on the last word: all of them
  EXPECT_EQ(f.doc.calls, (std::vector<std::string>{"SetWordMark(1,0x10000,4)",
                                                   "SetWordMark(3,0x10000,4)", "Recheck(1)"}));
  f.doc.calls.clear();
  f.model.SetRevealFlag(true);
  f.model.ClickWordLazy(1, false, false);
  EXPECT_TRUE(f.doc.calls.empty());
}

TEST(SoFarClicks, SpellingCorrection) {
  // 1 struck letter, 2 slots beside plain letters, 3 only slots, 4 done.
  Fixture f(U"cxat d\u2022g \u2022\u2022\u2022 fox", ".s.. ._. ___ ...", U"cat dog pig fox");
  f.model.SetMode(Model::kDictionary);
  EXPECT_TRUE(f.model.CorrectSpelling());
  EXPECT_EQ(f.doc.calls, (std::vector<std::string>{"SetWordMark(1,0x40000,4)",
                                                   "SetWordMark(2,0x40000,4)", "Recheck(1)"}));
  Fixture typing(U"cxat", ".s..", U"cat");
  EXPECT_FALSE(typing.model.CorrectSpelling());
  Fixture solved(U"cxat", ".s..", U"cat", 0x82);
  solved.model.SetMode(Model::kDictionary);
  EXPECT_FALSE(solved.model.CorrectSpelling());
  Fixture nothing(U"\u2022\u2022\u2022", "___", U"cat");
  nothing.model.SetMode(Model::kDictionary);
  EXPECT_FALSE(nothing.model.CorrectSpelling());
  EXPECT_TRUE(typing.doc.calls.empty() && solved.doc.calls.empty() && nothing.doc.calls.empty());
}

TEST(SoFarState, HostileCopiesAreBounded) {
  orv::SoFarState s = MakeState(U"abc", "...", U"abc");
  s.first = {0, 2, 1, 99};   // a word out of order and one outside the text
  s.length = {0, 5, 1, 3};
  s.status = {0, 0, 0, 0};
  s.kinds.resize(1);
  Model m;
  m.Load(s);
  EXPECT_EQ(m.WordCount(), 3);
  for (int n = 1; n <= 3; ++n)
    EXPECT_LE(m.WordFirst(n) + m.WordLength(n), m.Size()) << n;
  EXPECT_EQ(m.Kinds().size(), 3u);
  m.SetMode(Model::kLetterByLetter);
  for (int p = 0; p <= 3; ++p) {
    m.SetCaret(p);
    m.TypeChar(U'a');
    m.PressKey(Model::kTab);
    m.PressKey(Model::kDelete);
  }
}

}  // namespace
