#include "player/book/quote_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "grammar_archive_fixture.h"
#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/book/grammar_archive.h"
#include "player/book/grammar_page_host.h"
#include "player/book/info_bundle.h"
#include "player/env/error_info.h"
#include "shared/pages/work_folder.h"

namespace {

using Q = COrv_QuoteInfo;
constexpr std::uint32_t kLanguage = 2;

// The main frame: records the pages it is asked to send and answers as told.
class RecordingPageHost : public orv::GrammarPageHost {
 public:
  bool SendGrammarPage(const std::string& page) override {
    pages.push_back(page);
    return answer;
  }
  std::vector<std::string> pages;
  bool answer = true;
};

// What the document loads for one Echomark.
struct Echomark {
  std::string text;
  std::vector<std::uint32_t> fixed;     // kind 8
  std::vector<std::uint32_t> keywords;  // kind 16
  std::vector<std::uint32_t> segments;  // kind 64
};

class QuoteInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    info.SetErrorSink(&record);
    info.SetPageHost(&host);
    ASSERT_TRUE(info.Attach(&bundle, kLanguage));
  }

  // Fills the bundle's word information as the loaded book would (other
  // lists are the test's) and makes the Echomark current.
  bool load(const Echomark& e) {
    bundle.Words().Clear();
    if (!e.text.empty()) bundle.Words().SetText(e.text, kLanguage);
    for (std::uint32_t n : e.fixed) bundle.Words().AddList8(n);
    for (std::uint32_t n : e.keywords) bundle.Words().AddList16(n);
    for (std::uint32_t n : e.segments) bundle.Words().AddSorted(n);
    return info.SetQuoteText();
  }

  std::vector<std::uint32_t> results() const {
    std::vector<std::uint32_t> out;
    for (int n = 1; n <= info.GetWordCount(); ++n) out.push_back(info.GetWordFlag(n) & Q::kResultBits);
    return out;
  }

  COrv_InfoBundle bundle;
  COrv_ErrorInfo record;
  RecordingPageHost host;
  Q info;
};

TEST_F(QuoteInfoTest, ResultBitsOfEachWord) {
  struct Case {
    const char* typed;
    std::vector<std::uint32_t> results;  // per word of "the big dog"
    std::vector<bool> wrong;
    const char* display;
    std::vector<int> typedNumbers;
    bool solved;
  } cases[] = {
      {"the big dog", {1, 1, 1}, {false, false, false}, "the big dog", {1, 2, 3}, true},
      // Not typed at all: no result and not wrong.
      {"", {0, 0, 0}, {false, false, false}, "___ ___ ___", {0, 0, 0}, false},
      {"the bg dog", {1, 8, 1}, {false, true, false}, "the b_g dog", {1, 2, 3}, false},
      {"the bag dog", {1, 2, 1}, {false, true, false}, "the bag dog", {1, 2, 3}, false},
      {"the bigg dog", {1, 4, 1}, {false, true, false}, "the bigg dog", {1, 2, 3}, false},
      // An extra word is paired with no reference word and changes no result.
      {"the big red dog", {1, 1, 1}, {false, false, false}, "the big dog", {1, 2, 4}, true},
      {"the dog", {1, 0, 1}, {false, false, false}, "the ___ dog", {1, 0, 2}, false},
  };
  ASSERT_TRUE(load({"the big dog", {}, {}, {}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ASSERT_TRUE(info.CompareUserText(c.typed, true));
    EXPECT_EQ(info.GetUserText(), c.typed);
    EXPECT_EQ(results(), c.results);
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(info.GetWordResult(n), c.results[n - 1]) << n;
      EXPECT_EQ(info.IsWordWrong(n), c.wrong[n - 1]) << n;
      EXPECT_EQ(info.GetTypedNumber(n), c.typedNumbers[n - 1]) << n;
    }
    EXPECT_EQ(orv::toUtf8(info.GetDisplayText()), c.display);
    EXPECT_EQ(info.IsSolved(), c.solved);
    const bool anyWrong = c.wrong[0] || c.wrong[1] || c.wrong[2];
    EXPECT_EQ(info.HasWrongWords(), anyWrong);
    EXPECT_EQ(info.HasCorrectWords(), c.results[0] == 1 || c.results[1] == 1 || c.results[2] == 1);
  }
  // The typed word paired with a reference word keeps the learner's
  // spelling; the display text places each word.
  ASSERT_TRUE(info.CompareUserText("The BAG dog", false));
  EXPECT_EQ(info.GetTypedWord(2), "BAG");
  EXPECT_EQ(info.GetDisplayStart(3), 8);
  EXPECT_EQ(info.GetDisplayLength(3), 3);
  EXPECT_EQ(info.GetUserText(), "the dog");  // not stored
}

TEST_F(QuoteInfoTest, LearnersSentencesAsTheCheckerSeesThem) {
  // A German sentence typed back as learners type it. Words compare folded
  // (case and accents aside: ü is u, ß stays itself); each reference word
  // gets the result of the typed word paired with it.
  struct Case {
    const char* what;
    const char* typed;
    bool solved;
    const char* display;
    std::vector<std::uint32_t> results;  // per reference word
  } cases[] = {
      {"as written", "Die Brücke über den Fluß ist alt.", true, "Die Brücke über den Fluß ist alt.",
       {1, 1, 1, 1, 1, 1, 1}},
      {"no capitals, no umlauts", "die brucke uber den fluß ist alt", true, "Die Brücke über den Fluß ist alt.",
       {1, 1, 1, 1, 1, 1, 1}},
      // An extra e; s in place of ß and one s more.
      {"ue for ü and ss for ß are other letters", "Die Bruecke über den Fluss ist alt", false,
       "Die Brüecke über den Fluss ist alt.", {1, 4, 1, 1, 2 | 4, 1, 1}},
      // The c is kept as extra after the k, the c before it shown missing.
      {"two letters swapped", "Die Brükce über den Fluß ist alt", false, "Die Brü_kce über den Fluß ist alt.",
       {1, 8 | 4, 1, 1, 1, 1, 1}},
      {"a word left out", "Die Brücke über Fluß ist alt", false, "Die Brücke über ___ Fluß ist alt.",
       {1, 1, 1, 0, 1, 1, 1}},
      {"a word too many", "Die alte Brücke über den Fluß ist alt", true, "Die Brücke über den Fluß ist alt.",
       {1, 1, 1, 1, 1, 1, 1}},
      {"words in another order", "Die Brücke ist alt über den Fluß", true, "Die Brücke über den Fluß ist alt.",
       {1, 1, 1, 1, 1, 1, 1}},
      {"a word quite wrong", "Die Straße über den Fluß ist alt", false, "Die ______ über den Fluß ist alt.",
       {1, 0, 1, 1, 1, 1, 1}},
  };
  ASSERT_TRUE(load({"Die Brücke über den Fluß ist alt.", {}, {}, {}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(info.CompareUserText(c.typed, true));
    EXPECT_EQ(info.IsSolved(), c.solved);
    EXPECT_EQ(orv::toUtf8(info.GetDisplayText()), c.display);
    EXPECT_EQ(results(), c.results);
  }
}

TEST_F(QuoteInfoTest, FlagsOfTheLoadedWords) {
  bundle.Dictionary().Add(1, "", "", "article", kLanguage);
  bundle.Dictionary().Add(3, "", "", "Hund", kLanguage + 1);  // another language
  bundle.Dictionary().Add(4, "", "", "", kLanguage);          // no definition
  bundle.Links().Add("12#a", 2);
  bundle.Links().Add("7", 4);
  ASSERT_TRUE(load({"the big old dog", {2, 3}, {2, 4}, {}}));
  ASSERT_EQ(info.GetWordCount(), 4);
  EXPECT_EQ(info.GetWord(4), "dog");
  const std::uint32_t expected[] = {
      Q::kHasDefinition,
      Q::kKeyword | Q::kFixedWord | Q::kHasLinks,
      Q::kFixedWord,
      Q::kKeyword | Q::kHasLinks,
  };
  for (int n = 1; n <= 4; ++n)
    EXPECT_EQ(info.GetWordFlag(n) & ~Q::kResultBits, expected[n - 1]) << n;
  EXPECT_TRUE(info.HasNonKeywords());
  EXPECT_TRUE(info.HasFixedWords());
  EXPECT_TRUE(info.HasWordsWithoutLinks());
  EXPECT_TRUE(info.AnyWordHasFlag(Q::kHasDefinition | Q::kLazyMark));
  EXPECT_FALSE(info.AnyWordHasFlag(Q::kLazyMark));

  bundle.ClearAll();
  ASSERT_TRUE(load({"big dog", {}, {1, 2}, {}}));
  EXPECT_FALSE(info.HasNonKeywords());
  EXPECT_FALSE(info.HasFixedWords());
  EXPECT_EQ(info.GetWordFlag(1), Q::kKeyword);  // the lists of the last Echomark are gone
}

TEST_F(QuoteInfoTest, LoadingAnotherEchomarkLeavesNothingOfTheLastOne) {
  ASSERT_TRUE(load({"the big dog", {}, {}, {}}));
  ASSERT_TRUE(info.SetWordFlag(1, Q::kLazyMark, true));
  ASSERT_TRUE(info.CompareUserText("the big dog", true));
  bundle.Words().Clear();
  bundle.Words().SetText("a cat", kLanguage);
  ASSERT_TRUE(info.LoadQuote());
  EXPECT_EQ(info.GetWordCount(), 2);
  EXPECT_EQ(info.GetUserText(), "");
  EXPECT_EQ(info.GetWordResult(1), 0u);
  EXPECT_TRUE(info.GetDisplayText().empty());
  EXPECT_FALSE(info.AnyWordHasFlag(Q::kLazyMark));
  // The comparison is against the new words, none of them given.
  ASSERT_TRUE(info.CompareUserText("cat", true));
  EXPECT_EQ(orv::toUtf8(info.GetDisplayText()), "_ cat");
  EXPECT_FALSE(info.IsSolved());
  ASSERT_TRUE(info.CompareUserText("a cat", true));
  EXPECT_TRUE(info.IsSolved());
}

TEST_F(QuoteInfoTest, SegmentNumbersFromTheSortedList) {
  struct Case {
    std::vector<std::uint32_t> starts;
    std::vector<unsigned> segments;  // per word of five
  } cases[] = {
      {{}, {0, 0, 0, 0, 0}},
      {{1}, {1, 1, 1, 1, 1}},
      {{3, 1}, {1, 1, 2, 2, 2}},       // kept sorted: 1 then 3
      {{2, 5, 4}, {0, 1, 1, 2, 3}},
      {{1, 3, 3}, {1, 1, 3, 3, 3}},    // a later entry overwrites
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.starts));
    ASSERT_TRUE(load({"one two three four five", {}, {}, c.starts}));
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(info.GetSegment(n), c.segments[n - 1]) << n;
  }
}

TEST_F(QuoteInfoTest, EachLoadFailureIsRecorded) {
  struct Case {
    const char* why;
    Echomark echomark;
    bool attached;
    int code;
    const char* text;
    int words;  // the Echomark goes on with these
  } cases[] = {
      {"no bundle", {"the dog", {}, {}, {}}, false, 20036, "Invalid pointer", 0},
      {"no text", {"", {}, {}, {}}, true, 20037, "Text error", 0},
      {"fixed word past the text", {"the dog", {1, 3}, {}, {}}, true, 20038, "Property error", 2},
      {"keyword 0", {"the dog", {}, {0}, {}}, true, 20038, "Property error", 2},
      {"keyword far out", {"the dog", {}, {0xFFFFFFFFu}, {}}, true, 20038, "Property error", 2},
      {"segment past the text", {"the dog", {}, {}, {1, 9}}, true, 20039, "Fragments error", 2},
      {"segment 0", {"the dog", {}, {}, {0}}, true, 20039, "Fragments error", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    record = COrv_ErrorInfo();
    if (!c.attached) {
      EXPECT_FALSE(info.Attach(nullptr, kLanguage));
    }
    EXPECT_FALSE(load(c.echomark));
    EXPECT_EQ(record.m_nCode, c.code);
    EXPECT_EQ(record.m_strText, c.text);
    EXPECT_EQ(record.m_strSourceFile, "Orv_QuoteInfo");
    EXPECT_GT(record.m_nLine, 0);
    EXPECT_EQ(info.GetWordCount(), c.words);
    // Still usable: an empty learner's text was compared.
    EXPECT_FALSE(info.IsSolved());
    EXPECT_EQ(info.GetUserText(), "");
    if (c.words > 0) {
      ASSERT_TRUE(info.CompareUserText("the dog", true));
      EXPECT_TRUE(info.IsSolved());
    }
    ASSERT_TRUE(info.Attach(&bundle, kLanguage));
  }
  // In-range entries of a failing list still count.
  ASSERT_FALSE(load({"the dog", {1, 3}, {}, {}}));
  EXPECT_EQ(info.GetWordFlag(1), Q::kFixedWord);
  // Without a sink of its own the bundle's records the failure.
  COrv_ErrorInfo bundleRecord;
  bundle.SetErrorSink(&bundleRecord);
  info.SetErrorSink(nullptr);
  EXPECT_FALSE(load({"", {}, {}, {}}));
  EXPECT_EQ(bundleRecord.m_nCode, 20037);
}

TEST_F(QuoteInfoTest, AFailedRunIsShownAndAnswersFalse) {
  plat::ui::RecordingSink boxes;
  plat::ui::ScopedSink scoped(boxes);
  Q fresh;  // no Echomark given to the engine yet
  EXPECT_FALSE(fresh.CompareUserText("the dog", true));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.last().request.text, "An Error Occurred executing Word Engine !");
  EXPECT_EQ(fresh.GetUserText(), "the dog");
  EXPECT_TRUE(fresh.GetDisplayText().empty());
  // A loaded Echomark runs without a message.
  ASSERT_TRUE(load({"the dog", {}, {}, {}}));
  EXPECT_TRUE(info.CompareUserText("the dgo", true));
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(QuoteInfoTest, AnEchomarkWithoutWords) {
  plat::ui::RecordingSink boxes;
  plat::ui::ScopedSink scoped(boxes);
  ASSERT_TRUE(load({"... !", {}, {}, {}}));
  EXPECT_EQ(info.GetWordCount(), 0);
  EXPECT_TRUE(info.CompareUserText("something typed", true));
  EXPECT_FALSE(info.IsSolved());
  EXPECT_FALSE(info.HasWrongWords());
  EXPECT_FALSE(info.HasCorrectWords());
  EXPECT_FALSE(info.HasNonKeywords());
  EXPECT_FALSE(info.ShowNonKeywords(true));
  EXPECT_FALSE(info.ShowFixedWords(true));
  EXPECT_FALSE(info.AppendWord(1));
  EXPECT_EQ(orv::toUtf8(info.GetDisplayText()), "... !");
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(QuoteInfoTest, MarksMakeWordsGiven) {
  ASSERT_TRUE(load({"the big dog", {2}, {1, 3}, {}}));
  auto solvedBy = [&](const char* typed) {
    EXPECT_TRUE(info.CompareUserText(typed, true));
    return info.IsSolved();
  };
  EXPECT_FALSE(solvedBy("the dog"));

  // A lazy mark gives the word; clearing it takes it back.
  ASSERT_TRUE(info.SetWordFlag(2, Q::kLazyMark, true));
  EXPECT_TRUE(solvedBy("the dog"));
  EXPECT_EQ(info.GetWordResult(2), Q::kResultCorrect);
  ASSERT_TRUE(info.SetWordFlag(2, Q::kLazyMark, false));
  EXPECT_FALSE(solvedBy("the dog"));

  // Clearing the lazy mark of a word still shown as fixed keeps it given.
  ASSERT_TRUE(info.ShowFixedWords(true));
  EXPECT_EQ(info.GetWordFlag(2) & Q::kShownFixedWord, Q::kShownFixedWord);
  EXPECT_EQ(info.GetWordFlag(1) & Q::kShownFixedWord, 0u);
  ASSERT_TRUE(info.SetWordFlag(2, Q::kLazyMark, true));
  ASSERT_TRUE(info.SetWordFlag(2, Q::kLazyMark, false));
  EXPECT_TRUE(solvedBy("the dog"));
  ASSERT_TRUE(info.ShowFixedWords(false));
  EXPECT_FALSE(solvedBy("the dog"));

  // The non-keyword display gives the non-keywords only.
  ASSERT_TRUE(info.ShowNonKeywords(true));
  EXPECT_EQ(info.GetWordFlag(2) & Q::kShownNonKeyword, Q::kShownNonKeyword);
  EXPECT_EQ(info.GetWordFlag(1) & Q::kShownNonKeyword, 0u);
  EXPECT_TRUE(solvedBy("the dog"));
  ASSERT_TRUE(info.ShowNonKeywords(false));

  // Restored flags tell a freshly loaded Echomark again which words are given.
  ASSERT_TRUE(info.SetWordFlag(1, Q::kTypedMark, true));
  ASSERT_TRUE(info.SetWordFlag(2, Q::kLazyMark, true));
  const std::vector<std::uint32_t> saved = info.GetWordFlags();
  ASSERT_TRUE(load({"the big dog", {2}, {1, 3}, {}}));
  EXPECT_FALSE(solvedBy("dog"));
  ASSERT_TRUE(info.SetWordFlags(saved));
  EXPECT_FALSE(solvedBy("dog"));  // the flags alone do not
  ASSERT_TRUE(info.ApplyLazyMarks(true));
  ASSERT_TRUE(info.ApplyTypedMarks(true));
  EXPECT_TRUE(solvedBy("dog"));
  // Clearing the marks removes them from every word that had them.
  ASSERT_TRUE(info.ApplyLazyMarks(false));
  ASSERT_TRUE(info.ApplyTypedMarks(false));
  EXPECT_FALSE(info.AnyWordHasFlag(Q::kLazyMark | Q::kTypedMark));
  EXPECT_FALSE(solvedBy("dog"));

  // A flag array of another size is refused.
  std::vector<std::uint32_t> wrongSize(saved.begin(), saved.end() - 1);
  EXPECT_FALSE(info.SetWordFlags(wrongSize));
  EXPECT_FALSE(info.AnyWordHasFlag(Q::kLazyMark));
}

TEST_F(QuoteInfoTest, DisplayModesWithoutWordsToShow) {
  ASSERT_TRUE(load({"the big dog", {}, {1, 2, 3}, {}}));
  const std::vector<std::uint32_t> before = info.GetWordFlags();
  EXPECT_FALSE(info.ShowFixedWords(true));   // no fixed-word list
  EXPECT_FALSE(info.ShowNonKeywords(true));  // every word is a keyword
  EXPECT_EQ(info.GetWordFlags(), before);
  EXPECT_TRUE(info.CompareUserText("", true));
  EXPECT_FALSE(info.IsSolved());
}

TEST_F(QuoteInfoTest, CorrectWordReplacesThePairedWordOrAppends) {
  struct Case {
    const char* reference;
    const char* typed;
    int word;
    const char* after;
  } cases[] = {
      {"the house is red", "the hose is red", 2, "the house is red"},
      {"the house is red", "The  hose, is red!", 2, "The  house, is red!"},
      {"déjà vu", "deja vu", 1, "déjà vu"},
      // Not paired: appended.
      {"the house is red", "the", 4, "the red "},
      {"the house is red", "", 2, "house "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reference) + " / " + c.typed);
    ASSERT_TRUE(load({c.reference, {}, {}, {}}));
    ASSERT_TRUE(info.CompareUserText(c.typed, true));
    ASSERT_TRUE(info.CorrectWord(c.word));
    EXPECT_EQ(info.GetUserText(), c.after);
    EXPECT_EQ(info.GetTypedWord(c.word), info.GetTypedNumber(c.word) ? info.GetWord(c.word) : "");
  }
  // Several words at once; a number that names no word fails the call.
  ASSERT_TRUE(load({"the house is red", {}, {}, {}}));
  ASSERT_TRUE(info.CompareUserText("teh hose is", true));
  EXPECT_TRUE(info.CorrectWords({1, 2, 4}));
  EXPECT_EQ(info.GetUserText(), "the house is red ");
  EXPECT_FALSE(info.CorrectWords({3, 9}));
}

TEST_F(QuoteInfoTest, AppendWordLeavesOutABlankAfterWhiteSpace) {
  struct Case {
    const char* typed;
    const char* after;
  } cases[] = {
      {"", "dog "},
      {"the", "the dog "},
      {"the ", "the dog "},
      {"the\t", "the\tdog "},
      {"the\n", "the\ndog "},
      {"the\u00a0", "the\u00a0dog "},
      {"the.", "the. dog "},
  };
  ASSERT_TRUE(load({"the big dog", {}, {}, {}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ASSERT_TRUE(info.CompareUserText(c.typed, true));
    ASSERT_TRUE(info.AppendWord(3));
    EXPECT_EQ(info.GetUserText(), c.after);
  }
}

TEST_F(QuoteInfoTest, RemoveUserWordTakesOutThePairedWord) {
  ASSERT_TRUE(load({"the big dog", {}, {}, {}}));
  ASSERT_TRUE(info.CompareUserText("the bigg dog", true));
  ASSERT_TRUE(info.RemoveUserWord(2));
  EXPECT_EQ(info.GetUserText(), "the  dog");
  EXPECT_FALSE(info.RemoveUserWord(2));  // nothing paired with it any more
  // The typed word after it moved down a place: the right one goes.
  ASSERT_TRUE(info.RemoveUserWord(3));
  EXPECT_EQ(info.GetUserText(), "the  ");
  ASSERT_TRUE(info.CorrectWord(1));
  EXPECT_EQ(info.GetUserText(), "the  ");

  // Not typed: nothing to remove.
  ASSERT_TRUE(info.CompareUserText("the dog", true));
  EXPECT_FALSE(info.RemoveUserWord(2));
  EXPECT_EQ(info.GetUserText(), "the dog");

  // A comparison of a text that was not kept pairs words of that text: the
  // learner's text is not edited by them.
  ASSERT_TRUE(info.CompareUserText("the bgi dog", true));
  ASSERT_TRUE(info.CompareUserText("dog the", false));
  ASSERT_EQ(info.GetTypedNumber(3), 1);
  EXPECT_FALSE(info.RemoveUserWord(3));
  ASSERT_TRUE(info.CorrectWord(1));
  EXPECT_EQ(info.GetUserText(), "the bgi dog the ");
}

TEST_F(QuoteInfoTest, GrammarPagesInTheBrowsersWorkingFolder) {
  struct Case {
    const char* link;
    const char* page;  // in the working folder; empty: refused
  } cases[] = {
      {"7", "0007.htm"},
      {"12#a", "0012.htm#a"},
      {"12345", "12345.htm"},
      {"0012", "0012.htm"},
      {"", "0000.htm"},
      {"../7", ""},
      {"a\\b", ""},
      {"..", ""},
  };
  // The folder the browser unpacks into, not the shared temporary folder.
  const std::filesystem::path work = tv::pages::WorkFolder();
  ASSERT_FALSE(work.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    bundle.ClearAll();
    bundle.Links().Add("first", 1);
    bundle.Links().Add(c.link, 1);
    ASSERT_TRUE(load({"grammar word", {}, {}, {}}));
    host.pages.clear();
    const bool shown = info.ShowGrammarPage(1, 2);
    if (*c.page == '\0') {
      EXPECT_FALSE(shown);
      EXPECT_TRUE(host.pages.empty());
      EXPECT_EQ(Q::GrammarPagePath(c.link), "");
    } else {
      EXPECT_TRUE(shown);
      EXPECT_EQ(host.pages, std::vector<std::string>{(work / c.page).string()});
    }
  }
  // Links are counted from 1; the main frame's answer is the result.
  host.pages.clear();
  EXPECT_FALSE(info.ShowGrammarPage(1, 0));
  EXPECT_FALSE(info.ShowGrammarPage(1, 3));
  EXPECT_FALSE(info.ShowGrammarPage(2, 1));  // word 2 has no links
  EXPECT_TRUE(host.pages.empty());
  host.answer = false;
  EXPECT_FALSE(info.ShowGrammarPage(1, 1));
  EXPECT_EQ(host.pages.size(), 1u);

  // Without a working folder of the user's own (a link planted in its
  // place) no page is asked for.
  host.answer = true;
  host.pages.clear();
  std::filesystem::remove_all(work);
  std::filesystem::create_directory_symlink(tvtest::sandbox().tmp, work);
  EXPECT_EQ(Q::GrammarPagePath("7"), "");
  EXPECT_FALSE(info.ShowGrammarPage(1, 1));
  EXPECT_TRUE(host.pages.empty());
  std::filesystem::remove(work);

  info.SetPageHost(nullptr);
  EXPECT_FALSE(info.ShowGrammarPage(1, 1));
}

TEST_F(QuoteInfoTest, LinkTitlesAndIds) {
  const std::filesystem::path folder = tvtest::sandbox().base / "arch";
  grammar_fixture::write(folder, {{"12", "Articles", {{"a", "The article"}}}, {"7", "Nouns", {}}});
  COrv_GrammarArchive archive(tvtest::sandbox().base);
  archive.SetFolder(folder);
  info.SetGrammarArchive(&archive);
  bundle.Links().Add("12#a", 1);
  bundle.Links().Add("7", 1);
  bundle.Links().Add("12#a", 3);
  bundle.Links().Add("99", 2);
  ASSERT_TRUE(load({"the big old dog", {}, {}, {}}));

  std::vector<std::string> titles{"left", "over", "from", "before"};
  EXPECT_EQ(info.GetGrammarTitles(1, titles), 2);
  EXPECT_EQ(titles, (std::vector<std::string>{"The article", "Nouns"}));
  EXPECT_EQ(info.GetGrammarTitles(2, titles), 1);
  EXPECT_EQ(titles, std::vector<std::string>{""});  // unknown page
  EXPECT_EQ(info.GetGrammarTitles(4, titles), 0);  // no links
  EXPECT_TRUE(titles.empty());

  // Link k counted from 0 here; the ids are appended.
  std::vector<std::uint32_t> ids{42};
  EXPECT_EQ(info.FindLinkIds(1, 0, ids), 3);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{42, 1, 3}));
  EXPECT_EQ(info.FindLinkIds(1, 1, ids), 4);
  EXPECT_EQ(ids.back(), 1u);
  EXPECT_EQ(info.FindLinkIds(1, 2, ids), 4);
  EXPECT_EQ(info.FindLinkIds(3, -1, ids), 4);
}

TEST_F(QuoteInfoTest, WordNumbersOutsideTheTextAreRefused) {
  bundle.Links().Add("7", 1);
  bundle.Links().Add("7", 2);
  ASSERT_TRUE(load({"the dog", {1}, {}, {}}));
  ASSERT_TRUE(info.CompareUserText("the dgo", true));
  const std::vector<std::uint32_t> flags = info.GetWordFlags();
  for (int n : {0, 3, -1, 1 << 30}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(info.SetWordFlag(n, Q::kLazyMark, true));
    EXPECT_FALSE(info.SetWordFlag(n, Q::kLazyMark, false));
    EXPECT_FALSE(info.CorrectWord(n));
    EXPECT_FALSE(info.AppendWord(n));
    EXPECT_FALSE(info.RemoveUserWord(n));
    EXPECT_FALSE(info.ShowGrammarPage(n, 1));
    EXPECT_FALSE(info.IsWordWrong(n));
    EXPECT_EQ(info.GetWordResult(n), 0u);
    EXPECT_EQ(info.GetWordFlag(n), 0u);
    EXPECT_EQ(info.GetWord(n), "");
    std::vector<std::string> titles;
    EXPECT_EQ(info.GetGrammarTitles(n, titles), 0);
  }
  EXPECT_EQ(info.GetWordFlags(), flags);
  EXPECT_EQ(info.GetUserText(), "the dgo");
  EXPECT_TRUE(host.pages.empty());
}

}  // namespace
