#include "player/book/text_align.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using orv::AlignResult;

// Edit text with the codes shown as '+' (extra), '-' (missing), '~'
// (substituted), matched characters as they are (ASCII fixtures).
std::string show(const AlignResult& r) {
  std::string s;
  for (char32_t c : r.pair.editText) {
    if (c == orv::kEditExtra) s += '+';
    else if (c == orv::kEditMissing) s += '-';
    else if (c == orv::kEditSubstituted) s += '~';
    else if (c < 0x80) s += static_cast<char>(c);
    else s += '?';
  }
  return s;
}

std::vector<AlignResult> align(const std::string& ref, const std::string& typed,
                               std::vector<std::uint8_t> given = {},
                               orv::AlignTuning t = orv::AlignTuning{}, bool* bounded = nullptr) {
  std::vector<AlignResult> out;
  EXPECT_EQ(orv::AlignTexts(ref, typed, orv::CharTable::standard(), given, out, t.matchShare,
                            t.editCount, t.editShare, t.extraCount, t.extraShare),
            0);
  // The same through the aligner, which also tells whether the pairing
  // settled: a rule that lets pairs change hands for ever fails here
  // instead of hanging.
  std::u32string r = orv::toNfc32(ref), y = orv::toNfc32(typed);
  std::vector<orv::WordSpan> rw, tw;
  orv::SplitWords(r, rw);
  orv::SplitWords(y, tw);
  std::vector<AlignResult> direct;
  orv::TextAligner aligner;
  EXPECT_TRUE(aligner.Align(r, rw, y, tw, given, t, direct)) << "the pairing did not settle";
  if (bounded) *bounded = aligner.BoundReached();
  EXPECT_EQ(direct.size(), out.size());
  return out;
}

struct Expect {
  const char* edit;  // shown edit text
  int typed;         // 0-based typed word, -1 none
  bool assigned;
};

struct AlignCase {
  const char* name;
  const char* reference;
  const char* typed;
  std::vector<std::uint8_t> given;
  std::vector<Expect> words;
};

void check(const AlignCase& c) {
  SCOPED_TRACE(c.name);
  const auto res = align(c.reference, c.typed, c.given);
  ASSERT_EQ(res.size(), c.words.size());
  for (std::size_t j = 0; j < res.size(); ++j) {
    SCOPED_TRACE("reference word " + std::to_string(j));
    EXPECT_EQ(show(res[j]), c.words[j].edit);
    EXPECT_EQ(res[j].typedWord, c.words[j].typed);
    EXPECT_EQ(res[j].assigned, c.words[j].assigned);
  }
}

TEST(TextAlign, CasesTable) {
  const AlignCase cases[] = {
      {"equal texts", "the big dog", "the big dog", {},
       {{"the", 0, true}, {"big", 1, true}, {"dog", 2, true}}},
      {"given word skipped inside a run", "the big dog", "the dog", {0, 1, 0},
       {{"the", 0, true}, {"big", -1, true}, {"dog", 1, true}}},
      {"one substitution", "house", "hause", {}, {{"h~use", 0, true}}},
      {"too many extra characters", "cat", "catalog", {}, {{"---", -1, false}}},
      {"nothing in common", "abc", "xyz", {}, {{"---", -1, false}}},
      {"empty typed text", "two words", "", {}, {{"---", -1, false}, {"-----", -1, false}}},
      {"competing typed words: the better keeps it, the other moves on", "planet plot",
       "plan planets", {}, {{"planet+", 1, true}, {"pl~~", 0, true}}},
      {"competing with no other word left", "planet", "plan planets", {},
       {{"planet+", 1, true}}},
      {"swapped order", "the big dog", "dog the big", {},
       {{"the", 1, true}, {"big", 2, true}, {"dog", 0, true}}},
      {"duplicates: the run of two beats the first single word", "a dog a cat", "a cat", {},
       {{"-", -1, false}, {"---", -1, false}, {"a", 0, true}, {"cat", 1, true}}},
      {"folded accents and case", "Été déjà", "ete DEJA", {}, {{"ete", 0, true}, {"deja", 1, true}}},
      {"decomposed typed accents", "café", "cafe\u0301", {}, {{"cafe", 0, true}}},
      {"missing letter", "hello", "helo", {}, {{"hel-o", 0, true}}},
      {"a combining mark with no composed form is a character", "n\u0308o", "no", {},
       {{"n-o", 0, true}}},
      {"extra letter", "cat", "caat", {}, {{"ca+t", 0, true}}},
      {"given word typed anyway keeps its typed word", "a b", "a b", {0, 1},
       {{"a", 0, true}, {"b", 1, true}}},
      {"a run through a given word beats a later run of the same length", "the big dog the dog",
       "the dog", {0, 1, 0, 0, 0},
       {{"the", 0, true}, {"big", -1, true}, {"dog", 1, true}, {"---", -1, false}, {"---", -1, false}}},
  };
  for (const AlignCase& c : cases) check(c);
}

TEST(TextAlign, FirstPassPrefersLongRunsThenLowIndexes) {
  const AlignCase cases[] = {
      {"lowest reference index", "a x a", "a", {}, {{"a", 0, true}, {"-", -1, false}, {"-", -1, false}}},
      {"lowest typed index", "a", "a a", {}, {{"a", 0, true}}},
      {"the longer run wins over the earlier one", "b c x b c d", "b c d", {},
       {{"-", -1, false}, {"-", -1, false}, {"-", -1, false}, {"b", 0, true}, {"c", 1, true},
        {"d", 2, true}}},
      {"the longest run is applied first", "a b c", "c a b c", {},
       {{"a", 1, true}, {"b", 2, true}, {"c", 3, true}}},
  };
  for (const AlignCase& c : cases) check(c);
}

TEST(TextAlign, SecondPassTieBreaks) {
  const AlignCase cases[] = {
      {"more matched characters", "abcd abxy", "abcz", {}, {{"abc~", 0, true}, {"----", -1, false}}},
      {"then the smaller length difference", "abcdef abcd", "abc", {},
       {{"------", -1, false}, {"abc-", 0, true}}},
      {"then the longer run", "abxcd abcxd", "abcd", {},
       {{"-----", -1, false}, {"abc-d", 0, true}}},
      {"then the first reference word", "abxd abyd", "abd", {},
       {{"ab-d", 0, true}, {"----", -1, false}}},
      {"an equal pair does not displace", "abcx", "abcy abcz", {}, {{"abc~", 0, true}}},
      {"given words take no part", "abcx", "abcy", {1}, {{"abcx", -1, true}}},
  };
  for (const AlignCase& c : cases) check(c);
}

TEST(TextAlign, ThresholdEdges) {
  struct Case {
    const char* reference;
    const char* typed;
    bool kept;
  } cases[] = {
      // matched must reach half the length: 2 < 2.5, 3 >= 2.5
      {"abcde", "abxyz", false},
      {"abcde", "abcyz", true},
      // more than 2 edits and more than half the length: 3 edits of 6 stay, 4 drop
      {"abcdef", "abcxyz", true},
      {"abcdef", "abcxyzw", false},
      // more than 3 extra and more than 34 % of 12 (4.08): 4 stay, 5 drop
      {"abcdefghijkl", "abcdefghijklwxyz", true},
      {"abcdefghijkl", "abcdefghijklvwxyz", false},
      // 3 extra of 3 are not more than 3, but 3 edits of 3 are too many
      {"cat", "cxaxtx", false},
      // 3 extra are not more than 3, though more than 34 % of 6; 3 edits of 6 stay
      {"abcdef", "abcdefxyz", true},
  };
  for (const Case& c : cases) {
    const auto res = align(c.reference, c.typed);
    ASSERT_EQ(res.size(), 1u);
    EXPECT_EQ(res[0].assigned, c.kept) << c.reference << " / " << c.typed;
    if (!c.kept) {
      EXPECT_EQ(res[0].pair.missing, static_cast<int>(std::string(c.reference).size()));
      EXPECT_EQ(res[0].pair.matched + res[0].pair.extra + res[0].pair.substituted, 0);
    }
  }
  // The tuning moves the edges.
  EXPECT_FALSE(align("house", "hause", {}, {100, 2, 50, 3, 34})[0].assigned);
  EXPECT_TRUE(align("cat", "catalog", {}, {50, 9, 50, 9, 34})[0].assigned);
}

TEST(TextAlign, PairScoreCounts) {
  orv::TextAligner a;
  const orv::PairRecord& p = a.PairScore(U"hause", U"house");
  EXPECT_EQ(p.matched, 4);
  EXPECT_EQ(p.substituted, 1);
  EXPECT_EQ(p.editCount, 1);
  EXPECT_EQ(p.longestRun, 3);
  EXPECT_EQ(p.editText, std::u32string(U"h") + orv::kEditSubstituted + U"use");
  // Equal runs: the one nearer the diagonal is kept.
  EXPECT_EQ(a.PairScore(U"xa", U"aa").editText, std::u32string(1, orv::kEditSubstituted) + U"a");
  // No common character: all missing, the typed characters not counted.
  const orv::PairRecord& q = a.PairScore(U"xyz", U"ab");
  EXPECT_EQ(q.missing, 2);
  EXPECT_EQ(q.extra, 0);
  EXPECT_EQ(q.editText.size(), 2u);
}

// The character comparison as its rule reads, choosing each run by a full
// scan of the open candidates: the yardstick of the aligner's faster one.
orv::PairRecord plainPairScore(std::u32string_view t, std::u32string_view r) {
  struct Cand {
    int u, r, run, state;
  };
  orv::PairRecord rec;
  const int lt = static_cast<int>(t.size()), lr = static_cast<int>(r.size());
  const int ct = std::min(lt, orv::kMaxComparedChars), cr = std::min(lr, orv::kMaxComparedChars);
  std::vector<Cand> cand;
  for (int u = 0; u < ct; ++u)
    for (int v = 0; v < cr; ++v) {
      int run = 0;
      while (u + run < ct && v + run < cr && t[static_cast<std::size_t>(u + run)] == r[static_cast<std::size_t>(v + run)]) ++run;
      if (run > 0 && cand.size() < static_cast<std::size_t>(orv::kMaxCandidates)) cand.push_back({u, v, run, 0});
    }
  if (cand.empty()) {
    rec.missing = rec.editCount = lr;
    rec.editText.assign(static_cast<std::size_t>(lr), orv::kEditMissing);
    return rec;
  }
  for (;;) {
    int c = -1;
    for (int x = 0; x < static_cast<int>(cand.size()); ++x) {
      const Cand& k = cand[x];
      if (k.state != 0) continue;
      if (c < 0 || k.run > cand[c].run ||
          (k.run == cand[c].run && std::abs(k.u - k.r) < std::abs(cand[c].u - cand[c].r)))
        c = x;
    }
    if (c < 0) break;
    cand[c].state = 2;
    const Cand ch = cand[c];
    for (Cand& k : cand) {
      if (k.state != 0) continue;
      if (k.u < ch.u) {
        if (k.r >= ch.r) k.state = 1;
      } else if (k.u < ch.u + ch.run) {
        k.state = k.u - ch.u == k.r - ch.r && k.u + k.run == ch.u + ch.run ? 2 : 1;
      } else if (k.r < ch.r + ch.run) {
        k.state = 1;
      }
    }
  }
  int p = 0, q = 0;
  for (const Cand& k : cand) {
    if (k.state != 2 || k.u < p || k.r < q) continue;
    orv::EmitGap(rec, k.u - p, k.r - q, p, q);
    rec.editText.push_back(t[static_cast<std::size_t>(p)]);
    ++p, ++q, ++rec.matched;
    rec.longestRun = std::max(rec.longestRun, k.run);
  }
  orv::EmitGap(rec, lt - p, lr - q, p, q);
  return rec;
}

TEST(TextAlign, PairScoreAgreesWithThePlainRule) {
  // Words over small alphabets, up to past the compared length, so that
  // runs compete, ties abound and the candidate limit is reached.
  std::mt19937 rng(2145);
  orv::TextAligner a;
  for (int round = 0; round < 4000; ++round) {
    const int letters = 1 + static_cast<int>(rng() % 4);
    auto word = [&] {
      std::u32string w(rng() % 70, U'a');
      for (char32_t& c : w) c = static_cast<char32_t>(U'a' + rng() % static_cast<unsigned>(letters));
      return w;
    };
    const std::u32string t = word(), r = word();
    const orv::PairRecord want = plainPairScore(t, r);
    const orv::PairRecord& got = a.PairScore(t, r);
    ASSERT_EQ(got.editText, want.editText) << "round " << round;
    ASSERT_EQ(got.matched, want.matched);
    ASSERT_EQ(got.longestRun, want.longestRun);
    ASSERT_EQ(got.extra, want.extra);
    ASSERT_EQ(got.missing, want.missing);
    ASSERT_EQ(got.substituted, want.substituted);
  }
}

// The marks of one alignment in one line: per reference word its typed
// word and its shown edit text, "-" for an unassigned word.
std::string marks(const std::vector<AlignResult>& res) {
  std::string s;
  for (const AlignResult& r : res)
    s += (r.assigned ? std::to_string(r.typedWord) : std::string("-")) + ":" + show(r) + " ";
  return s;
}

std::uint64_t fnv1a(const std::string& s) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Texts as learners type them, with the marks they got when the pairing
// was first written: a faster or bounded search must give exactly these.
TEST(TextAlign, TypedTextsKeepTheirMarks) {
  struct Case {
    const char* reference;
    const char* typed;
    const char* marks;
  } cases[] = {
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "0:the 1:old 2:man 3:walked 4:slowly 5:down 6:to 7:the 8:harbour 9:where 10:the 11:boats 12:were 13:waiting 14:for 15:the 16:morning 17:tide "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "the old man walkd slowly down to the harbor where the boats where waiting for the mornig tide",
       "0:the 1:old 2:man 3:walk-d 4:slowly 5:down 6:to 7:the 8:harbo-r 9:where 10:the 11:boats 12:w+ere 13:waiting 14:for 15:the 16:morni-g 17:tide "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "The old man walked down to the harbour where boats waited for morning tide",
       "0:the 1:old 2:man 3:walked -:------ 4:down 5:to 6:the 7:harbour 8:where -:--- 9:boats -:---- 10:wait~~- 11:for -:--- 12:morning 13:tide "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "old the man walked slowly to down the harbour the where boats were for waiting the tide morning",
       "1:the 0:old 2:man 3:walked 4:slowly 6:down 5:to 7:the 8:harbour 10:where 9:the 11:boats 12:were 14:waiting 13:for 15:the 17:morning 16:tide "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "Teh old amn walked slolwy down to teh harbour, wehre the baots were waitng for the mroning tied.",
       "10:the 1:old 2:-a+n 3:walked 4:slo-l+y 5:down 6:to 0:t-e+ 8:harbour 9:w-e+re 7:t-e+ 11:b-a+ts 12:were 13:wait-ng 14:for 15:the 16:m-r+ning 17:ti-e+ "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "The old man walked slowly slowly down to to the harbour harbour, where the boats were waiting",
       "0:the 1:old 2:man 3:walked 4:slowly 6:down 8:to 9:the 11:harbour 12:where 13:the 14:boats 15:were 16:waiting -:--- -:--- -:------- -:---- "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "The oldman walked slowlydown to the harbour, where theboats were waiting for the morning tide.",
       "0:the -:--- -:--- 2:walked -:------ -:---- 4:to 5:the 6:harbour 7:where -:--- -:----- 9:were 10:waiting 11:for 12:the 13:morning 14:tide "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "Thhe olld mann wallked sloowly doown too thee haarbour",
       "7:the+ 1:ol+d 2:man+ 3:wa+lked 4:sl+owly 5:d+own 6:to+ 0:th+e 8:h+arbour -:----- -:--- -:----- -:---- -:------- -:--- -:--- -:------- -:---- "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "The",
       "0:the -:--- -:--- -:------ -:------ -:---- -:-- -:--- -:------- -:----- -:--- -:----- -:---- -:------- -:--- -:--- -:------- -:---- "},
      {"The old man walked slowly down to the harbour, where the boats were waiting for the morning tide.",
       "a the boat is old and the man is waiting for the tide in the harbour",
       "1:the 4:old 7:man -:------ -:------ -:---- -:-- 14:the 15:harbour -:----- 6:the 2:boat- -:---- 9:waiting 10:for 11:the -:------- 12:tide "},
      {"Elle a mangé une pomme rouge et deux poires très mûres avant de partir à l'école.",
       "Elle a mange une pomme rouge et deux poires tres mures avant de partir a l'ecole.",
       "0:elle 1:a 2:mange 3:une 4:pomme 5:rouge 6:et 7:deux 8:poires 9:tres 10:mures 11:avant 12:de 13:partir 14:a 15:l 16:ecole "},
      {"Elle a mangé une pomme rouge et deux poires très mûres avant de partir à l'école.",
       "elle a mangée une pome rouje é deu poire trè mûr avan de partire a lecole",
       "0:elle 1:a 2:mange+ 3:une 4:pom-e 5:rou~e 6:e- 7:deu- 8:poire- 9:tre- 10:mur-- 11:avan- 12:de 13:partir+ 14:a -:- 15:+ecole "},
      {"Elle a mangé une pomme rouge et deux poires très mûres avant de partir à l'école.",
       "Elle mangé pomme rouge deux poires mûres avant partir école",
       "0:elle -:- 1:mange -:--- 2:pomme 3:rouge -:-- 4:deux 5:poires -:---- 6:mures 7:avant -:-- 8:partir -:- -:- 9:ecole "},
      {"Quiero aprender a hablar español con mis amigos de la universidad.",
       "Quiero aprender a hablar espanol con mis amigos de la universidad",
       "0:quiero 1:aprender 2:a 3:hablar 4:espanol 5:con 6:mis 7:amigos 8:de 9:la 10:universidad "},
      {"Quiero aprender a hablar español con mis amigos de la universidad.",
       "Kiero aprendre hablar espagnol com mis amigo de universidat",
       "0:~-iero 1:aprend-r+ -:- 2:hablar 3:espa+nol 4:co~ 5:mis 6:amigo- 7:de -:-- 8:universida~ "},
      {"Quiero aprender a hablar español con mis amigos de la universidad.",
       "quiero quiero aprender a a hablar con con mis amigos amigas de la la universidad universidad",
       "1:quiero 2:aprender 3:a 5:hablar -:------- 7:con 8:mis 9:amigos 11:de 12:la 14:universidad "},
  };
  for (const Case& c : cases) EXPECT_EQ(marks(align(c.reference, c.typed)), c.marks) << c.typed;

  // Generated texts of syllable words, some mistyped (a letter replaced,
  // added or dropped), in order or shuffled, with every fifth word given
  // in half the cases: the marks of each text as a digest.
  struct Family {
    int words, typos;
    bool shuffled, given;
    std::uint64_t digest;
  } families[] = {
      {40, 0, false, false, 0x53f22722590d131cull},
      {40, 0, false, true, 0x53f22722590d131cull},
      {40, 0, true, false, 0x769f48b34c1c5130ull},
      {40, 0, true, true, 0xe660009ef10c9190ull},
      {40, 10, false, false, 0x2f62f119365f5f3bull},
      {40, 10, false, true, 0x1d4a515f298330deull},
      {40, 10, true, false, 0x95e4fff0c90ea222ull},
      {40, 10, true, true, 0xbc7ec9ee9ca99034ull},
      {40, 30, false, false, 0xcf8ce7b8e95dedb9ull},
      {40, 30, false, true, 0xbf8cf695c1702724ull},
      {40, 30, true, false, 0x1117142276afb8faull},
      {40, 30, true, true, 0xe32d019eff394688ull},
      {60, 0, false, false, 0x312bab0e970b12e8ull},
      {60, 0, false, true, 0x312bab0e970b12e8ull},
      {60, 0, true, false, 0xf45ddadc97421a7aull},
      {60, 0, true, true, 0x9d77a9c246b35006ull},
      {60, 10, false, false, 0xe2e1d4e223773679ull},
      {60, 10, false, true, 0x031247ac08b2aac0ull},
      {60, 10, true, false, 0x748bdd81a36cea31ull},
      {60, 10, true, true, 0x6e215bfe535cff6full},
      {60, 30, false, false, 0xb5bbce58a2320e3eull},
      {60, 30, false, true, 0xa0bec20b70367075ull},
      {60, 30, true, false, 0xe1b97e261ecf3c63ull},
      {60, 30, true, true, 0x90790b863520d61cull},
      {255, 0, false, false, 0xabac5b0b8413348bull},
      {255, 0, false, true, 0xabac5b0b8413348bull},
      {255, 0, true, false, 0xa157c4d22329ed51ull},
      {255, 0, true, true, 0xc522b8c1c20ea93dull},
      {255, 10, false, false, 0x84969d5848c38fabull},
      {255, 10, false, true, 0xd285f09095b72339ull},
      {255, 10, true, false, 0xcef8b2015a533522ull},
      {255, 10, true, true, 0x4440b0ae10d283e1ull},
      {255, 30, false, false, 0x95567a413699c229ull},
      {255, 30, false, true, 0xb8f00d21b9e7b083ull},
      {255, 30, true, false, 0x03609090c12d7b6full},
      {255, 30, true, true, 0x4b37a6c70c68d6d6ull},
  };
  static const char* const kSyllables[] = {"ka", "te", "ro", "lin", "mo", "sa", "ver", "de",
                                           "ul", "pri", "sto", "na", "é", "gar", "bé", "tu"};
  for (const Family& f : families) {
    std::string all;
    for (unsigned seed = 1; seed <= 12; ++seed) {
      std::mt19937 rng(seed * 7919u + static_cast<unsigned>(f.words + f.typos));
      std::vector<std::string> ref(static_cast<std::size_t>(f.words));
      for (auto& w : ref)
        for (unsigned k = 0, parts = 1 + rng() % 3; k < parts; ++k) w += kSyllables[rng() % 16];
      std::vector<std::string> typed = ref;
      for (auto& w : typed) {
        if (static_cast<int>(rng() % 100) >= f.typos) continue;
        switch (rng() % 3) {
          case 0: w[rng() % w.size()] = 'x'; break;
          case 1: w.insert(w.begin() + static_cast<long>(rng() % w.size()), 'q'); break;
          default: if (w.size() > 1) w.erase(w.begin() + static_cast<long>(rng() % w.size())); break;
        }
      }
      if (f.shuffled) std::shuffle(typed.begin(), typed.end(), rng);
      std::string refText, typedText;
      for (auto& w : ref) refText += w + " ";
      for (auto& w : typed) typedText += w + " ";
      std::vector<std::uint8_t> given(ref.size());
      for (std::size_t k = 0; k < given.size(); ++k) given[k] = f.given && k % 5 == 2;
      bool bounded = true;
      all += marks(align(refText, typedText, given, {}, &bounded)) + "\n";
      EXPECT_FALSE(bounded) << "a typed text reached the bound on the work";
    }
    EXPECT_EQ(fnv1a(all), f.digest) << f.words << " words, " << f.typos << " % mistyped"
                                    << (f.shuffled ? ", shuffled" : "") << (f.given ? ", given" : "");
  }
}

TEST(TextAlign, WordCountsAndBitStrings) {
  std::vector<orv::WordSpan> words;
  const std::u32string text = U"  Été, déjà!  vu ";
  EXPECT_EQ(orv::CountWords(text), 3);
  EXPECT_EQ(orv::SplitWordsKeep(text, words), 3);
  EXPECT_EQ(text.substr(words[1].start, words[1].length), U"déjà") << "the text keeps its characters";
  std::vector<std::uint8_t> bits;
  orv::SetBitsFromString("1001000001x1", bits);
  EXPECT_EQ(bits, (std::vector<std::uint8_t>{0x09, 0x0A}));
  EXPECT_EQ(orv::ResultRecordSize(), 74);
}

// Checks the invariants of one result against the words it speaks of.
void checkInvariants(const std::vector<AlignResult>& res, const std::u32string& ref,
                     const std::vector<orv::WordSpan>& refWords,
                     const std::vector<orv::WordSpan>& typWords) {
  std::vector<int> uses(typWords.size(), 0);
  for (std::size_t j = 0; j < res.size(); ++j) {
    const orv::PairRecord& p = res[j].pair;
    ASSERT_EQ(p.editText.size(),
              static_cast<std::size_t>(p.matched + p.extra + p.missing + p.substituted));
    ASSERT_EQ(p.editCount, p.extra + p.missing + p.substituted);
    int refChars = 0, typChars = 0;
    for (char32_t c : p.editText) {
      if (c != orv::kEditExtra) ++refChars;
      if (c != orv::kEditMissing) ++typChars;
    }
    ASSERT_EQ(refChars, static_cast<int>(refWords[j].length)) << "word " << j;
    if (res[j].typedWord >= 0) {
      ASSERT_LT(static_cast<std::size_t>(res[j].typedWord), typWords.size());
      ++uses[res[j].typedWord];
      if (p.editCount > 0) {
        ASSERT_EQ(typChars, static_cast<int>(typWords[res[j].typedWord].length));
      }
    } else if (!res[j].assigned) {
      ASSERT_EQ(p.missing, static_cast<int>(refWords[j].length));
    }
    (void)ref;
  }
  for (int u : uses) ASSERT_LE(u, 1);
}

TEST(TextAlign, RandomTextsKeepTheInvariants) {
  std::mt19937 rng(7011);
  const std::u32string alphabet = U"aabcdeeilnorstuéèàçœßжыд\u0301 ";
  auto randomWord = [&](int len) {
    std::u32string w;
    for (int k = 0; k < len; ++k) {
      char32_t c = alphabet[rng() % (alphabet.size() - 1)];
      if (c == 0x301 && w.empty()) c = U'a';
      w.push_back(c);
    }
    return w;
  };
  orv::TextAligner aligner;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::u32string> words(rng() % 40);
    for (auto& w : words) w = randomWord(1 + static_cast<int>(rng() % 9));
    std::u32string ref, typ;
    for (auto& w : words) ref += w + U" ";
    // Typed: the words with typos, some dropped, some swapped, some added.
    for (std::size_t k = 0; k < words.size(); ++k) {
      std::u32string w = words[rng() % 4 == 0 ? rng() % words.size() : k];
      if (rng() % 3 == 0) w[rng() % w.size()] = U'x';
      if (rng() % 5 == 0) w += U"q";
      if (rng() % 7 != 0) typ += w + U" ";
      if (rng() % 9 == 0) typ += randomWord(3) + U" ";
    }
    std::u32string refF = ref, typF = typ;
    std::vector<orv::WordSpan> rw, tw;
    orv::SplitWords(refF, rw);
    orv::SplitWords(typF, tw);
    std::vector<std::uint8_t> given(rw.size());
    for (auto& g : given) g = rng() % 6 == 0;
    std::vector<AlignResult> first, second;
    aligner.Align(refF, rw, typF, tw, given, {}, first);
    ASSERT_NO_FATAL_FAILURE(checkInvariants(first, refF, rw, tw)) << "round " << round;
    orv::TextAligner fresh;
    fresh.Align(refF, rw, typF, tw, given, {}, second);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t j = 0; j < first.size(); ++j) {
      ASSERT_EQ(first[j].typedWord, second[j].typedWord);
      ASSERT_EQ(first[j].pair.editText, second[j].pair.editText);
    }
    for (std::size_t j = 0; j < rw.size(); ++j)
      if (given[j]) {
        ASSERT_TRUE(first[j].assigned && first[j].pair.editCount == 0);
      }
  }
}

// Long words over a few letters share most of their characters with every
// other word, so nothing prunes the search: the work is bounded, and what
// comes out is still a pairing of whole words whose records are the words'
// own character comparisons.
TEST(TextAlign, BoundedSearchGivesAValidPairing) {
  struct Case {
    int letters, refLen, typedLen;
  } cases[] = {{2, 56, 56}, {3, 32, 120}, {4, 24, 200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.letters) + " letters, " + std::to_string(c.refLen) + " / " +
                 std::to_string(c.typedLen));
    std::mt19937 rng(static_cast<unsigned>(c.letters * 1000 + c.typedLen));
    auto word = [&](int len) {
      std::u32string w;
      for (int k = 0; k < len; ++k) w += static_cast<char32_t>(U'a' + rng() % static_cast<unsigned>(c.letters));
      return w;
    };
    std::u32string ref, typ;
    for (int k = 0; k < 255; ++k) ref += word(c.refLen) + U" ", typ += word(c.typedLen) + U" ";
    std::vector<orv::WordSpan> rw, tw;
    orv::SplitWords(ref, rw);
    orv::SplitWords(typ, tw);
    orv::TextAligner aligner;
    std::vector<AlignResult> res;
    // Every pairing kept, whatever its edits, so that all are checked.
    const orv::AlignTuning keepAll{0, 1000, 1000, 1000, 1000};
    EXPECT_TRUE(aligner.Align(ref, rw, typ, tw, {}, keepAll, res));
    EXPECT_TRUE(aligner.BoundReached());
    ASSERT_NO_FATAL_FAILURE(checkInvariants(res, ref, rw, tw));
    orv::TextAligner scorer;
    int kept = 0;
    for (std::size_t j = 0; j < res.size(); ++j) {
      if (!res[j].assigned) continue;
      ++kept;
      const orv::WordSpan& t = tw[static_cast<std::size_t>(res[j].typedWord)];
      const orv::PairRecord& own =
          scorer.PairScore(std::u32string_view(typ).substr(t.start, t.length),
                           std::u32string_view(ref).substr(rw[j].start, rw[j].length));
      ASSERT_EQ(res[j].pair.editText, own.editText) << "reference word " << j;
      ASSERT_EQ(res[j].pair.matched, own.matched);
      ASSERT_EQ(res[j].pair.longestRun, own.longestRun);
    }
    EXPECT_EQ(kept, 255) << "each typed word pairs with one reference word";
  }
}

TEST(TextAlign, InputsPastTheLimitsStayDefined) {
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  {  // a 60-letter word against "a"
    const auto res = align("a", std::string(60, 'a'));
    ASSERT_EQ(res.size(), 1u);
    EXPECT_FALSE(res[0].assigned);
  }
  {  // 33 x 33 repeated letters: 1089 equal positions, the first 1024 (typed
     // positions 0-30 and one of 31) are collected, so the run along the
     // diagonal is kept up to typed position 30 and the rest are edits.
    const auto res = align(std::string(33, 'a') + "b", std::string(33, 'a') + "c");
    ASSERT_EQ(res.size(), 1u);
    EXPECT_TRUE(res[0].assigned);
    EXPECT_EQ(res[0].pair.matched, 31);
    EXPECT_EQ(res[0].pair.substituted, 3);
    EXPECT_EQ(res[0].pair.longestRun, 33);
    EXPECT_EQ(res[0].pair.editText.size(), 34u);
  }
  {  // long words: characters past the compared ones show as edits
    std::string word;
    for (int k = 0; k < 70; ++k) word += static_cast<char>('a' + k % 26);
    std::string typed = word;
    typed.back() = 'z';
    const auto res = align(word, typed);
    EXPECT_TRUE(res[0].assigned);
    EXPECT_EQ(res[0].pair.matched, 56);
    EXPECT_EQ(res[0].pair.substituted, 14);
    EXPECT_EQ(res[0].pair.editText.size(), 70u);
    const auto dropped = align(word, "9");
    EXPECT_EQ(dropped[0].pair.editText, std::u32string(70, orv::kEditMissing));
    EXPECT_EQ(align(word, word)[0].pair.matched, 70);  // equal words compare whole
  }
  {  // 256 words: the last of each text takes no part
    std::string text;
    for (int k = 0; k < 256; ++k) text += "w" + std::to_string(k) + " ";
    const auto res = align(text, text);
    ASSERT_EQ(res.size(), 256u);
    for (int k = 0; k < 255; ++k) EXPECT_EQ(res[k].typedWord, k);
    EXPECT_FALSE(res[255].assigned);
    std::vector<std::uint8_t> given(256, 0);
    given[255] = 1;
    EXPECT_TRUE(align(text, text, given)[255].assigned);
  }
  {  // 255 x 255 distinct long words of repeated letters
    std::string ref, typ;
    for (int k = 0; k < 255; ++k) {
      ref += std::string(50, 'a') + static_cast<char>('b' + k % 20) + " ";
      typ += std::string(49, 'a') + static_cast<char>('b' + (k + 7) % 20) + "z ";
    }
    const auto res = align(ref, typ);
    ASSERT_EQ(res.size(), 255u);
  }
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 60.0);
}

}  // namespace
