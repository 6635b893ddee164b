// The Talvane document against recording stand-ins of its panes, frame,
// main window, sounds, text dialog and message box.
#include "player/book/tv_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>
#include <map>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/fs/fault.h"
#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"
#include "player/book/book_info.h"
#include "player/book/tests/content_fixture.h"
#include "player/book/tests/document_fixture.h"
#include "player/env/users.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;
using doctest::DocumentTest;
using doctest::Log;
using Doc = COrv_TvDocument;

constexpr const char* kText1 = "the quick brown fox.";
constexpr const char* kText2 = "jumps over, the dog";
constexpr const char* kText3 = "he asked \"why?\"";

// Five Echomarks whose texts end in each way the book text joins them.
// Echomark 1 has every first-visit property: fixed word 2, keywords 1-3
// (word 4 is not one), a comment, an introduction, a definition of word 3,
// two speeds and no grammar links; Echomark 3 has a fixed word too.
Book demoBook() {
  Book b;
  b.code = "DEMO";
  b.title = "Demo book";
  b.language = 0;
  b.category = 3;
  b.level = 2;
  Echomark e1;
  e1.introduction = "The start";
  e1.wordText = kText1;
  e1.comment = "About a fox";
  e1.fixedWords = {2};
  e1.keywords = {1, 2, 3};
  e1.dictionary = {{3, 1}};
  e1.normalWav = makeWav(400, {0.5f, 0.5f});
  e1.slowWav = makeWav(500, {});
  Echomark e2;
  e2.wordText = kText2;
  e2.normalWav = makeWav(200, {});
  Echomark e3;
  e3.introduction = "Next";
  e3.wordText = kText3;
  e3.fixedWords = {1};
  e3.normalWav = makeWav(200, {});
  Echomark e4;
  e4.wordText = "and so on..";
  e4.normalWav = makeWav(200, {});
  Echomark e5;
  e5.wordText = "wow!";
  e5.comment = "  the end";
  e5.normalWav = makeWav(200, {});
  b.echomarks = {e1, e2, e3, e4, e5};
  b.dictionary = {{"brown", "brown", "a colour"}};
  return b;
}

// Spoils Echomark 3's fixed-word list (the book's second one): its text
// still reads, its whole information does not.
void spoilThirdEchomark(const fs::path& content) {
  const std::string s = tvtest::readFile(content);
  booktest::patch(content, booktest::recordPayload(s, 4, 2), booktest::le16(0x7FFF));
}

std::string statusFile() {
  orv::COrv_Users users;
  users.SetCurrentUser("");
  return users.GetUserFilePath("DEMO", 3);
}

// Stores a learner's progress as an earlier close would have.
void storeProgress(const std::vector<int>& values, int last) {
  orv::COrv_Users users;
  users.SetCurrentUser("");
  users.WriteQuoteStatusList("DEMO", values);
  // Written by hand: the store itself refuses a last Echomark beyond the book.
  plat::profile::writeString(statusFile(), "General", "LastEM", std::to_string(last));
}

class Document : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    content = doctest::installBook(demoBook());
  }
  // A document with the panes and frame attached, opened by code.
  bool open(const std::string& path = "demo") {
    around.attach(doc);
    return doc.OnOpenDocument(path);
  }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes.boxes()) out.push_back(b.request.text);
    return out;
  }

  fs::path content;
  Doc doc{around.services()};
};

// --- Opening ------------------------------------------------------------------

TEST_F(Document, OpensAnInstalledBookByCodeOrPath) {
  for (const std::string path : {"demo", "/elsewhere/Demo.TVB"}) {
    SCOPED_TRACE(path);
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument(path));
    EXPECT_TRUE(d.IsOpen());
    EXPECT_EQ(d.GetBookCode(), "DEMO");
    EXPECT_EQ(d.GetTitle(), "Demo book");
    EXPECT_EQ(d.GetQuoteCount(), 5u);
    EXPECT_EQ(d.GetCurrentQuote(), 1u);
    EXPECT_EQ(d.GetCategory(), 3);
    EXPECT_EQ(d.GetDifficulty(), 2);
    EXPECT_EQ(d.GetQuoteInfo().GetQuoteText(), kText1);
    EXPECT_EQ(around.host.waitDepth, 0);
    d.OnCloseDocument();
    EXPECT_FALSE(d.IsOpen());
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Document, OpenFailuresSayWhatHappened) {
  struct Case {
    const char* name;
    std::string path;
    std::function<void()> spoil;
    std::vector<int> answers;
    std::vector<std::string> expected;  // the start of each box's text
  };
  const std::string source = content.string();
  const std::vector<Case> cases = {
      {"a bare code that is not installed", "nobook", [] {}, {}, {}},
      {"a missing file", "demo", [&] { fs::remove(content); }, {},
       {"The Talvane Library containing the title you are looking for was not found"}},
      {"a damaged file", "demo", [&] { tvtest::writeFile(content, std::string(5000, 'x')); }, {},
       {"The Talvane file was found but could not be read"}},
      {"a file on a medium that is not there: retry, then cancel", "demo",
       [&] {
         fs::remove(content);
         orv::COrv_BookInfo("DEMO").SetCDROMTitle("Disc one");
       },
       {plat::ui::IDRETRY, plat::ui::IDCANCEL},
       {"Please insert the CD-ROM labeled:\n\nDisc one", "Please insert the CD-ROM labeled:\n\nDisc one"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    content = doctest::installBook(demoBook());
    orv::COrv_BookInfo("DEMO").SetCDROMTitle("");
    c.spoil();
    boxes.clear();
    boxes.setScript(c.answers);
    Doc d(around.services());
    EXPECT_FALSE(d.OnOpenDocument(c.path));
    EXPECT_FALSE(d.IsOpen());
    const std::vector<std::string> texts = boxTexts();
    ASSERT_EQ(texts.size(), c.expected.size());
    for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i].rfind(c.expected[i], 0), 0u) << texts[i];
    if (!texts.empty() && c.answers.empty()) {
      EXPECT_NE(texts[0].find(source), std::string::npos) << texts[0];
    }
    EXPECT_EQ(around.host.waitDepth, 0);
  }
}

TEST_F(Document, ADamagedEchomarkNeverKeepsTheBookShut) {
  spoilThirdEchomark(content);
  storeProgress({0, 0, 0, 0, 0}, 3);
  around.host.settings[Doc::kSetLoadTvStatusQuery] = 1;
  ASSERT_TRUE(open());
  EXPECT_EQ(doc.GetCurrentQuote(), 4u);
  EXPECT_EQ(doc.GetDamagedQuotes(), (std::vector<unsigned>{3}));
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0], "These Echomarks of the Talvane could not be loaded: 3.\nThe Talvane opens at Echomark 4.");
  // The damaged one keeps its text in the book text.
  EXPECT_NE(doc.GetBookText().find(kText3), std::string::npos);
}

TEST_F(Document, ABookWithoutEchomarksDoesNotOpenBlank) {
  Book empty = demoBook();
  empty.echomarks.clear();
  doctest::installBook(empty);
  Doc d(around.services());
  EXPECT_FALSE(d.OnOpenDocument("demo"));
  EXPECT_EQ(boxTexts(), (std::vector<std::string>{"An error occurred while loading a Echomark."}));
}

// --- The learner's session ------------------------------------------------------

TEST_F(Document, RestoredSessionStartsWhereTheLearnerLeft) {
  storeProgress({3, 0, 3, 0, 0}, 2);
  around.host.settings[Doc::kSetLoadTvStatusQuery] = 1;
  ASSERT_TRUE(open());
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(doc.GetCurrentQuote(), 2u);
  for (unsigned n : {1u, 3u}) {
    EXPECT_EQ(doc.GetQuoteStatus(n) & 0x6u, 0x6u) << n;
    EXPECT_EQ(doc.GetQuoteStatus(n) & Doc::kVisited, 0u) << n;
  }
  EXPECT_EQ(doc.GetStateList().GetText(1), kText1);
  EXPECT_EQ(doc.GetStateList().GetText(3), kText3);
  for (unsigned n : {2u, 4u, 5u}) {
    EXPECT_EQ(doc.GetQuoteStatus(n) & Doc::kSolved, 0u) << n;
    EXPECT_EQ(doc.GetStateList().GetText(static_cast<int>(n)), "") << n;
  }
  EXPECT_EQ(doc.GetQuoteStatus(4), Doc::kFixedWordsShown);
}

TEST_F(Document, TheQuestionDecidesWhetherTheSessionIsRestored) {
  for (int answer : {plat::ui::IDNO, plat::ui::IDYES}) {
    SCOPED_TRACE(answer);
    storeProgress({3, 0, 3, 0, 0}, 2);
    boxes.clear();
    boxes.setScript({answer});
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.last().request.text, "Do you want to restore the last session for this Talvane ?");
    EXPECT_EQ(boxes.last().request.buttons, plat::ui::Buttons::YesNo);
    const bool restored = answer == plat::ui::IDYES;
    EXPECT_EQ(d.GetCurrentQuote(), restored ? 2u : 1u);
    EXPECT_EQ((d.GetQuoteStatus(3) & Doc::kSolved) != 0, restored);
    EXPECT_EQ((d.GetQuoteStatus(1) & Doc::kSolved) != 0, restored);
    d.OnCloseDocument();
  }
}

TEST_F(Document, StartEchomark) {
  struct Case {
    const char* name;
    std::vector<int> stored;
    int last;
    unsigned start;
  };
  const std::vector<Case> cases = {
      {"the stored last Echomark", {3, 0, 3, 0, 0}, 4, 4},
      {"a stored one beyond the book: the first unsolved", {3, 3, 0, 3, 0}, 99, 3},
      {"every one solved and the stored one beyond the book: the last", {3, 3, 3, 3, 3}, 99, 5},
      {"no saved session", {3, 3, 0, 0, 0}, 0, 1},
  };
  around.host.settings[Doc::kSetLoadTvStatusQuery] = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    storeProgress(c.stored, c.last);
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    EXPECT_EQ(d.GetCurrentQuote(), c.start);
    d.OnCloseDocument();
  }
}

TEST_F(Document, CloseSavesTheProgressOnlyWhenAsked) {
  for (int save : {0, 1}) {
    SCOPED_TRACE(save);
    fs::remove(statusFile());
    around.host.settings[Doc::kSetSaveTvStatus] = save;
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    ASSERT_TRUE(d.CheckUserText(kText1, false));
    ASSERT_TRUE(d.GoToQuote(3, false, true));
    around.take();
    d.OnCloseDocument();
    EXPECT_EQ(around.take(), (Log{"stop", "hide windows", "normal speed button"}));
    EXPECT_EQ(fs::exists(statusFile()), save == 1);
    if (save == 1) {
      orv::COrv_Users users;
      users.SetCurrentUser("");
      std::vector<int> values;
      ASSERT_TRUE(users.ReadQuoteStatusList("DEMO", values));
      EXPECT_EQ(values, (std::vector<int>{3, 0, 0, 0, 0}));
      EXPECT_EQ(users.ReadLastQuote("DEMO"), 3);
    }
  }
}

// Declining to restore starts with nothing solved, yet what was solved
// before stays stored unless this session resets it.
TEST_F(Document, ADeclinedRestoreKeepsTheStoredProgress) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    std::function<void(Doc&)> session;
    std::vector<int> saved;
    int last;
  };
  const std::vector<Case> cases = {
      {"pages through every Echomark and back",
       {plat::ui::IDNO},
       [](Doc& d) {
         for (unsigned n : {2u, 3u, 4u, 5u, 2u}) ASSERT_TRUE(d.GoToQuote(n, false, true));
       },
       {3, 0, 3, 0, 0},
       2},
      {"Escape is not an answer; then No",
       {plat::ui::kGestureEscape, plat::ui::kGestureClose, plat::ui::IDNO},
       [](Doc& d) { ASSERT_TRUE(d.GoToQuote(5, false, true)); },
       {3, 0, 3, 0, 0},
       5},
      {"solves Echomark 2",
       {plat::ui::IDNO},
       [](Doc& d) {
         ASSERT_TRUE(d.GoToQuote(2, false, true));
         ASSERT_TRUE(d.CheckUserText(kText2, false));
       },
       {3, 3, 3, 0, 0},
       2},
      {"resets Echomark 3",
       {plat::ui::IDNO},
       [](Doc& d) {
         ASSERT_TRUE(d.GoToQuote(3, false, true));
         ASSERT_TRUE(d.ResetQuote(false));
       },
       {3, 0, 0, 0, 0},
       3},
      {"resets every Echomark", {plat::ui::IDNO}, [](Doc& d) { ASSERT_TRUE(d.ResetQuote(true)); }, {0, 0, 0, 0, 0}, 1},
  };
  around.host.settings[Doc::kSetSaveTvStatus] = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    storeProgress({3, 0, 3, 0, 0}, 2);
    const std::string before = tvtest::readFile(statusFile());
    boxes.clear();
    boxes.setScript(c.answers);
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.leftOpen(), 0);
    // The panes show a fresh start.
    EXPECT_EQ(d.GetCurrentQuote(), 1u);
    for (unsigned n = 1; n <= 5; ++n) EXPECT_EQ(d.GetQuoteStatus(n) & Doc::kSolved, 0u) << n;
    c.session(d);
    d.OnCloseDocument();
    EXPECT_EQ(boxes.boxes().size(), 1u) << "a box at close";

    orv::COrv_Users users;
    users.SetCurrentUser("");
    std::vector<int> values;
    ASSERT_TRUE(users.ReadQuoteStatusList("DEMO", values));
    EXPECT_EQ(values, c.saved);
    EXPECT_EQ(users.ReadLastQuote("DEMO"), c.last);
    if (c.saved == std::vector<int>{3, 0, 3, 0, 0} && c.last == 2) {
      EXPECT_EQ(tvtest::readFile(statusFile()), before);
    }
  }
}

// Every file under a folder with its contents, to see that nothing changed.
std::map<std::string, std::string> treeOf(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    out[fs::relative(e.path(), root).string()] = e.is_regular_file() ? tvtest::readFile(e.path()) : "<folder>";
  return out;
}

TEST_F(Document, AProgressThatCannotBeSavedIsToldAndTheBookStillCloses) {
  struct Case {
    const char* name;
    std::function<void()> spoil;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"a folder in the status file's place",
       [] {
         fs::remove(statusFile());
         fs::create_directories(fs::path(statusFile()) / "x");
       },
       nullptr},
      {"a full disk", [] { plat::fs::injectFault(plat::fs::FaultOp::Write, "", ENOSPC, 1000); },
       "No space left on device"},
      {"a file that cannot be replaced", [] { plat::fs::injectFault(plat::fs::FaultOp::Rename, "", EACCES, 1000); },
       "Permission denied"},
  };
  around.host.settings[Doc::kSetSaveTvStatus] = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plat::fs::FaultScope faults;
    fs::remove_all(statusFile());
    storeProgress({0, 0, 3, 0, 0}, 3);
    around.host.settings[Doc::kSetLoadTvStatusQuery] = 1;
    boxes.clear();
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    ASSERT_TRUE(d.GoToQuote(1, false, true));
    ASSERT_TRUE(d.CheckUserText(kText1, false));
    c.spoil();
    const fs::path data = fs::path(statusFile()).parent_path().parent_path();
    const auto before = treeOf(data);
    d.OnCloseDocument();
    plat::fs::clearFaults();
    EXPECT_FALSE(d.IsOpen());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const std::string text = boxes.last().request.text;
    EXPECT_EQ(text.rfind("The progress made in this Talvane could not be saved in the file:\n\n" + statusFile() + "\n\n", 0),
              0u)
        << text;
    if (c.reason) {
      EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    }
    EXPECT_EQ(boxes.last().request.caption, "Talvane Player: Error Window");
    EXPECT_EQ(treeOf(data), before);
  }
}

// --- Moving between Echomarks ----------------------------------------------------

TEST_F(Document, FirstVisitBitsAndTheWordDisplaySettings) {
  struct Case {
    int showNonKey, showFixed;
    std::uint32_t shown;
  };
  const std::vector<Case> cases = {
      {0, 0, 0}, {1, 0, Doc::kNonKeywordsShown}, {0, 1, Doc::kFixedWordsShown},
      {1, 1, Doc::kNonKeywordsShown | Doc::kFixedWordsShown}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.showNonKey * 10 + c.showFixed);
    around.host.settings[Doc::kSetShowNonKey] = c.showNonKey;
    around.host.settings[Doc::kSetShowFixed] = c.showFixed;
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    const std::uint32_t firstVisit = Doc::kVisited | Doc::kHasFixedWords | Doc::kHasNonKeywords |
                                     Doc::kWordsWithoutLinks | Doc::kHasSpeeds | Doc::kHasComment |
                                     Doc::kHasIntroduction;
    // Shown words are given, and so count as correct words.
    EXPECT_EQ(d.GetQuoteStatus(0) & ~std::uint32_t{Doc::kSomeWordCorrect}, firstVisit | c.shown);
    const COrv_QuoteInfo& info = d.GetQuoteInfo();
    EXPECT_EQ((info.GetWordFlag(4) & COrv_QuoteInfo::kShownNonKeyword) != 0, c.showNonKey == 1);
    EXPECT_EQ((info.GetWordFlag(2) & COrv_QuoteInfo::kShownFixedWord) != 0, c.showFixed == 1);
    // Echomark 2: one speed, no comment, no introduction, no fixed words.
    ASSERT_TRUE(d.GoToQuote(2, false, false));
    const std::uint32_t second = d.GetQuoteStatus(0);
    EXPECT_EQ(second & (Doc::kHasSpeeds | Doc::kHasComment | Doc::kHasIntroduction | Doc::kHasFixedWords), 0u);
    EXPECT_EQ(second & Doc::kFixedWordsShown, 0u);
    d.OnCloseDocument();
  }
}

TEST_F(Document, GoToQuoteRefusesWithoutChangingAnything) {
  spoilThirdEchomark(content);
  ASSERT_TRUE(open());
  ASSERT_TRUE(doc.CheckUserText("the quick", false));
  const std::uint32_t status = doc.GetQuoteStatus(0);
  around.take();
  for (unsigned n : {0u, 6u, 3u}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(doc.GoToQuote(n, true, true));
    EXPECT_EQ(doc.GetCurrentQuote(), 1u);
    EXPECT_EQ(doc.GetBundle().GetQuoteNumber(), 1);
    EXPECT_EQ(doc.GetQuoteInfo().GetQuoteText(), kText1);
    EXPECT_EQ(doc.GetUserText(), "the quick");
    EXPECT_EQ(doc.GetQuoteStatus(0), status);
    EXPECT_FALSE(doc.GetQuotePlayer().GetWaveFileName().empty());
  }
  EXPECT_TRUE(around.take().empty());
  EXPECT_EQ(around.host.waitDepth, 0);
  // Only the Echomark that failed to load is known as such: the frame's
  // Page Down stops offering it.
  for (unsigned n = 1; n <= 5; ++n) EXPECT_EQ(doc.IsQuoteUnloadable(n), n == 3) << n;
}

TEST_F(Document, AFullMoveRefreshesThePanesAndAppliesTheStartSettings) {
  struct Case {
    const char* name;
    std::map<int, int> settings;
    unsigned to;
    bool showIntroduction;
    Log expected;
  };
  const Log plain = {"rich scroll 2", "pad buttons", "pad format reload", "sofar states", "sofar refresh", "sofar buttons"};
  auto with = [](Log a, const Log& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<Case> cases = {
      {"no settings", {}, 2, false, with(plain, {"speed 0"})},
      {"audio windows, fast speed and play",
       {{Doc::kSetShowFrgmtSelector, 1}, {Doc::kSetShowSpvu, 1}, {Doc::kSetShowVolume, 1}, {Doc::kSetInitSpeed, 1},
        {Doc::kSetInitEMPlay, 1}},
       2,
       false,
       with({"selector 0-100", "speech view wave 1 segments", "volume"}, with(plain, {"speed 1", "play"}))},
      {"slow speed", {{Doc::kSetInitSpeed, -1}}, 2, false, with(plain, {"speed -1"})},
      {"the introduction asked for and shown",
       {{Doc::kSetShowProlog, 1}},
       3,
       true,
       {"rich scroll 3", "pad buttons", "pad format reload", "sofar states", "sofar refresh", "sofar buttons",
        "rich build", "rich buttons", "rich scroll 3", "dialog 133", "speed 0"}},
      {"the introduction asked for, not shown", {}, 3, true,
       {"rich scroll 3", "pad buttons", "pad format reload", "sofar states", "sofar refresh", "sofar buttons",
        "rich build", "rich buttons", "rich scroll 3", "speed 0"}},
      {"an Echomark without introduction", {{Doc::kSetShowProlog, 1}}, 2, true, with(plain, {"speed 0"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    around.host.settings = {};
    Doc d(around.services());
    around.attach(d);
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    around.host.settings = c.settings;
    around.take();
    ASSERT_TRUE(d.GoToQuote(c.to, c.showIntroduction, true));
    EXPECT_EQ(around.take(), c.expected);
    d.OnCloseDocument();
  }
  ASSERT_FALSE(around.dialog.shown.empty());
  const TvTextDialogRequest& shown = around.dialog.shown.back();
  EXPECT_EQ(shown.text, "Next");
  EXPECT_EQ(shown.caption, "Introduction");
  EXPECT_EQ(shown.format, doc.GetTextFormat(Doc::kFormatIntroduction));
  EXPECT_FALSE(shown.markup);
}

TEST_F(Document, ASolvedStateChangeRebuildsEverything) {
  storeProgress({0, 3, 0, 0, 0}, 1);
  around.host.settings[Doc::kSetLoadTvStatusQuery] = 1;
  ASSERT_TRUE(open());
  around.take();
  // Echomark 2 was solved in the stored session; a first visit keeps it so.
  ASSERT_TRUE(doc.GoToQuote(2, false, true));
  EXPECT_EQ(doc.GetQuoteStatus(0) & Doc::kSolved, Doc::kSolved);
  // The solved bit did not change: a plain refresh.
  EXPECT_EQ(around.take().front(), "rich scroll 2");
  // A text that solves Echomark 1, stored while it is not current, is
  // checked on arrival: the solved bit changes and everything is rebuilt.
  doc.GetStateList().SetText(1, kText1);
  ASSERT_TRUE(doc.GoToQuote(1, false, true));
  EXPECT_EQ(doc.GetQuoteStatus(0) & Doc::kSolved, Doc::kSolved);
  EXPECT_EQ(around.take(), (Log{"rich build", "rich buttons", "rich scroll 1", "pad buttons", "pad format reload",
                                "sofar states", "sofar refresh", "sofar buttons", "index update 1", "speed 0"}));
}

TEST_F(Document, WordMarksSurviveAFullMoveOnly) {
  ASSERT_TRUE(open());
  for (bool full : {false, true}) {
    SCOPED_TRACE(full);
    ASSERT_TRUE(doc.GoToQuote(1, false, true));
    ASSERT_EQ(doc.SetWordMark(3, Doc::kMarkLazy, 0), 1);
    ASSERT_TRUE(doc.GoToQuote(2, false, full));
    ASSERT_TRUE(doc.GoToQuote(1, false, false));
    EXPECT_EQ((doc.GetQuoteInfo().GetWordFlag(3) & COrv_QuoteInfo::kLazyMark) != 0, full);
    doc.ClearQuoteStatusBits(0, false);
    doc.ResetQuote(false);
  }
}

// --- Book text -------------------------------------------------------------------

TEST(DocumentText, AppendTextJoin) {
  struct Case {
    std::string text;
    std::string joined;
    char32_t last;
  };
  const std::vector<Case> cases = {
      {"a,", "a, ", U' '},
      {"word", "word ", U' '},
      {"end.", "end.\n", U'\n'},
      {"and so on..", "and so on.. ", U' '},
      {"why?\"", "why?\"\n", U'\n'},
      {"stop.\"", "stop.\"\n", U'\n'},
      {"so..\"", "so..\" ", U' '},
      {"wow!", "wow!\n", U'\n'},
      {"?", "?\n", U'\n'},
      {".", ".\n", U'\n'},
      {"\"", "\" ", U' '},
      {"caf\u00e9.", "caf\u00e9.\n", U'\n'},
      {"\u00e9\u00e9", "\u00e9\u00e9 ", U' '},
      {"", "", U'x'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string s = c.text;
    char32_t last = U'x';
    COrv_TvDocument::AppendTextJoin(s, last);
    EXPECT_EQ(s, c.joined);
    EXPECT_EQ(last, c.last);
  }
}

TEST(DocumentText, Breaks) {
  struct Case {
    std::string text;
    bool add;
    std::string leading, trailing;
  };
  const std::vector<Case> cases = {
      {"\n\nabc\n\n", true, "\nabc\n\n", "\n\nabc\n"},
      {"\n\nabc\n\n", false, "abc\n\n", "\n\nabc"},
      {"\n\n", true, "", ""},
      {"", true, "", ""},
  };
  for (const Case& c : cases) {
    std::string a = c.text, b = c.text;
    COrv_TvDocument::AddLeadingBreak(a, c.add);
    COrv_TvDocument::AddTrailingBreak(b, c.add);
    EXPECT_EQ(a, c.leading);
    EXPECT_EQ(b, c.trailing);
  }
}

TEST_F(Document, TheBookTextJoinsEveryPartWithLengthsThatAddUp) {
  ASSERT_TRUE(open());
  const std::string expected =
      "Prolog:\nThe start\nthe quick brown fox.\nAbout a fox\n"
      "jumps over, the dog \nProlog:\nNext\nhe asked \"why?\"\nand so on.. wow!\nthe end\n";
  EXPECT_EQ(doc.GetBookText(), expected);
  std::int32_t sum = 0;
  for (unsigned i = 1; i <= 5; ++i)
    sum += doc.GetIntroductionLengths()[i] + doc.GetTextLengths()[i] + doc.GetCommentLengths()[i];
  EXPECT_EQ(sum, static_cast<std::int32_t>(expected.size()));
  EXPECT_EQ(doc.GetIntroductionLengths()[1], 18);
  EXPECT_EQ(doc.GetTextLengths()[2], 20);
  EXPECT_EQ(doc.GetIntroductionLengths()[3], 14);
  EXPECT_EQ(doc.GetCommentLengths()[5], 8);
  EXPECT_EQ(doc.GetIntroductionLengths().size(), 6u);
}

// --- Checking the learner's text --------------------------------------------------

TEST_F(Document, CheckTransitions) {
  ASSERT_TRUE(open());
  around.take();
  const Log rebuild = {"rich build", "rich buttons", "rich scroll 1", "sofar states", "sofar refresh",
                       "sofar buttons", "index update 1"};
  auto then = [](Log a, const Log& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Step {
    const char* text;
    bool solved;
    Log expected;
  };
  const std::vector<Step> steps = {
      {"the quick", false, {"sofar states", "sofar refresh", "sofar buttons", "index update 1"}},
      {kText1, true, then(rebuild, {"stop", "sound WAVE_TADA"})},
      {kText1, true, {}},
      {"the quick brown", false, then(rebuild, {"beep"})},
      {"the quick brown", false, {"sofar states", "sofar refresh", "sofar buttons", "index update 1"}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.text);
    ASSERT_TRUE(doc.CheckUserText(s.text, true));
    EXPECT_EQ((doc.GetQuoteStatus(0) & Doc::kSolved) != 0, s.solved);
    EXPECT_EQ(around.take(), s.expected);
  }
  EXPECT_EQ(doc.GetQuoteStatus(0) & Doc::kSomeWordCorrect, Doc::kSomeWordCorrect);
  // Without feedback only the status changes.
  ASSERT_TRUE(doc.CheckUserText(kText1, false));
  EXPECT_EQ(doc.GetQuoteStatus(0) & Doc::kSolved, Doc::kSolved);
  EXPECT_TRUE(around.take().empty());
}

TEST_F(Document, TheJingle) {
  const fs::path jingle = tvtest::sandbox().base / "my jingle.wav";
  tvtest::writeFile(jingle, makeWav(100, {}));
  struct Case {
    const char* name;
    int alternative;
    std::string file;
    bool fileWorks, resourceWorks;
    int showComment;
    Log sounds;
  };
  const std::vector<Case> cases = {
      {"the chime", 0, jingle.string(), true, true, 0, {"sound WAVE_TADA"}},
      {"the learner's file", 1, jingle.string(), true, true, 0, {"sound file my jingle.wav"}},
      {"a learner's file that does not play", 1, jingle.string(), false, true, 0, {"sound file my jingle.wav", "beep"}},
      {"a learner's file that is not there", 1, (tvtest::sandbox().base / "gone.wav").string(), true, true, 0,
       {"sound WAVE_TADA"}},
      {"no file named", 1, "", true, true, 0, {"sound WAVE_TADA"}},
      {"a name longer than a path", 1, std::string(300, 'a'), true, true, 0, {"sound WAVE_TADA"}},
      {"a chime that does not play", 0, "", true, false, 0, {"sound WAVE_TADA", "beep"}},
      {"then the comment", 0, "", true, true, 1, {"sound WAVE_TADA", "dialog 132"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    around.host.settings = {{Doc::kSetAltJingle, c.alternative}, {Doc::kSetShowComment, c.showComment}};
    around.host.jingleName = c.file;
    around.sound.fileWorks = c.fileWorks;
    around.sound.resourceWorks = c.resourceWorks;
    Doc d(around.services());
    ASSERT_TRUE(d.OnOpenDocument("demo"));
    around.take();
    ASSERT_TRUE(d.CheckUserText(kText1, true));
    Log log = around.take();
    ASSERT_FALSE(log.empty());
    ASSERT_EQ(log.front(), "stop");
    EXPECT_EQ(Log(log.begin() + 1, log.end()), c.sounds);
    d.OnCloseDocument();
  }
  const TvTextDialogRequest& comment = around.dialog.shown.back();
  EXPECT_EQ(comment.text, "About a fox");
  EXPECT_EQ(comment.caption, "Comment");
  EXPECT_EQ(comment.format.chars.colour, COrv_CharFormat::Rgb(255, 0, 0));
}

TEST_F(Document, TheWordDisplayBits) {
  ASSERT_TRUE(open());
  const COrv_QuoteInfo& info = doc.GetQuoteInfo();
  struct Step {
    const char* name;
    std::uint32_t bits;
    bool set, all;
    std::uint32_t wordFlag;
    int word;
  };
  const std::vector<Step> steps = {
      {"show the non-keywords", Doc::kNonKeywordsShown, true, false, COrv_QuoteInfo::kShownNonKeyword, 4},
      {"hide them", Doc::kNonKeywordsShown, false, false, COrv_QuoteInfo::kShownNonKeyword, 4},
      {"show the fixed words", Doc::kFixedWordsShown, true, false, COrv_QuoteInfo::kShownFixedWord, 2},
      {"hide them", Doc::kFixedWordsShown, false, false, COrv_QuoteInfo::kShownFixedWord, 2},
      // On every Echomark, the current one's words follow.
      {"show the non-keywords everywhere", Doc::kNonKeywordsShown, true, true, COrv_QuoteInfo::kShownNonKeyword, 4},
      {"hide the fixed words everywhere", Doc::kFixedWordsShown, false, true, COrv_QuoteInfo::kShownFixedWord, 2},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    around.take();
    ASSERT_TRUE(s.set ? doc.SetQuoteStatusBits(s.bits, s.all) : doc.ClearQuoteStatusBits(s.bits, s.all));
    EXPECT_EQ((doc.GetQuoteStatus(0) & s.bits) != 0, s.set);
    EXPECT_EQ((info.GetWordFlag(s.word) & s.wordFlag) != 0, s.set);
    for (unsigned n = 2; n <= 5 && s.all; ++n) EXPECT_EQ((doc.GetQuoteStatus(n) & s.bits) != 0, s.set) << n;
    // The display changed, so the text was checked again.
    const Log log = around.take();
    EXPECT_NE(std::find(log.begin(), log.end(), "sofar refresh"), log.end());
  }
  // Another bit changes no display and checks nothing.
  around.take();
  ASSERT_TRUE(doc.SetQuoteStatusBits(0x4000, false));
  EXPECT_TRUE(around.take().empty());
}

TEST_F(Document, WordActions) {
  ASSERT_TRUE(open());
  const COrv_QuoteInfo& info = doc.GetQuoteInfo();
  EXPECT_EQ(doc.SetWordMark(1, 0x80000, 6), 0);
  EXPECT_EQ(doc.SetWordMark(9, Doc::kMarkLazy, 6), 0);

  ASSERT_TRUE(doc.CheckUserText("the quikc brwn", false));
  around.take();
  EXPECT_TRUE(doc.CorrectWrongWords());
  EXPECT_FALSE(info.HasWrongWords());
  EXPECT_EQ(doc.GetUserText().rfind("the quick brown", 0), 0u) << doc.GetUserText();
  ASSERT_TRUE(doc.AppendWord(4));
  EXPECT_NE(doc.GetUserText().find("fox"), std::string::npos) << doc.GetUserText();
  // Each action refreshed the scratch pad and checked again.
  const Log log = around.take();
  EXPECT_GE(std::count(log.begin(), log.end(), "pad format reload"), 3);
  EXPECT_GE(std::count(log.begin(), log.end(), "sofar refresh"), 3);

  // After a reset the fixed word 2 is shown, so the mark goes on word 3.
  ASSERT_TRUE(doc.ResetQuote(false));
  ASSERT_TRUE(doc.CheckUserText("the brwn", false));
  around.take();
  ASSERT_EQ(doc.SetWordMark(3, Doc::kMarkLazy, Doc::kWordMarkRefreshPad), 1);
  EXPECT_NE(info.GetWordFlag(3) & COrv_QuoteInfo::kLazyMark, 0u);
  EXPECT_EQ(doc.GetUserText().find("brwn"), std::string::npos) << doc.GetUserText();
  EXPECT_EQ(around.take(), (Log{"pad buttons", "pad format reload"}));
  // The given words need not be typed: the rest solves the Echomark.
  ASSERT_TRUE(doc.CheckUserText("the fox.", true));
  EXPECT_EQ(doc.GetQuoteStatus(0) & Doc::kSolved, Doc::kSolved);
  EXPECT_EQ(around.take().back(), "sound WAVE_TADA");
}

TEST_F(Document, TextsInTheDialog) {
  ASSERT_TRUE(open());
  EXPECT_TRUE(doc.ShowIntroduction());
  EXPECT_TRUE(doc.ShowQuoteComment());
  EXPECT_TRUE(doc.ShowDictionaryDefinition(3));
  EXPECT_FALSE(doc.ShowDictionaryDefinition(1));
  ASSERT_TRUE(doc.GoToQuote(2, false, false));
  EXPECT_FALSE(doc.ShowIntroduction());
  EXPECT_FALSE(doc.ShowQuoteComment());
  const auto& shown = around.dialog.shown;
  ASSERT_EQ(shown.size(), 3u);
  struct Expected {
    std::string text, caption;
    int number, record;
    bool markup;
  };
  const std::vector<Expected> expected = {{"The start", "Introduction", 133, 1, false},
                                          {"About a fox", "Comment", 132, 3, false},
                                          {"a colour", "Dictionary definition", 147, 6, true}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(shown[i].text, expected[i].text);
    EXPECT_EQ(shown[i].caption, expected[i].caption);
    EXPECT_EQ(shown[i].dialogNumber, expected[i].number);
    EXPECT_EQ(shown[i].format, doc.GetTextFormat(expected[i].record));
    EXPECT_EQ(shown[i].markup, expected[i].markup);
  }
}

TEST(DocumentFormats, TheSixRecords) {
  COrv_TvDocument d;
  ASSERT_TRUE(d.InitTextFormats());
  struct Case {
    int record;
    std::int32_t indent;
    std::uint32_t colour;
    bool italic;
    bool relative;
  };
  const std::vector<Case> cases = {
      {1, 64, COrv_CharFormat::Rgb(0, 0, 255), false, false}, {2, 256, 0, true, false},
      {3, 64, COrv_CharFormat::Rgb(255, 0, 0), false, false}, {4, 64, 0, false, false},
      {5, 64, 0, false, false},                               {6, 64, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    const COrv_TextFormat& f = d.GetTextFormat(c.record);
    EXPECT_EQ(f.para.alignment, COrv_ParaFormat::kAlignLeft);
    EXPECT_EQ(f.para.rightIndent, c.indent);
    EXPECT_EQ(f.para.offset, 0);
    EXPECT_EQ((f.para.mask & COrv_ParaFormat::kOffsetIndent) != 0, c.relative);
    EXPECT_EQ((f.para.mask & COrv_ParaFormat::kStartIndent) != 0, !c.relative);
    if (!c.relative) {
      EXPECT_EQ(f.para.startIndent, c.indent);
    }
    EXPECT_EQ(f.chars.colour, c.colour);
    EXPECT_EQ((f.chars.effects & COrv_CharFormat::kEffectItalic) != 0, c.italic);
    EXPECT_EQ(f.chars.face, "Verdana");
    EXPECT_EQ(f.chars.height, 200);
  }
}

// --- Status, fragments, reset and the full check ---------------------------------

TEST_F(Document, StatusAccessorsAndFragments) {
  ASSERT_TRUE(open());
  EXPECT_TRUE(doc.SetQuoteStatus(0x4000 | doc.GetQuoteStatus(2), 2));
  EXPECT_NE(doc.GetQuoteStatus(2) & 0x4000u, 0u);
  EXPECT_EQ(doc.GetQuoteStatus(6), 0u);
  EXPECT_FALSE(doc.SetQuoteStatus(7, 6));
  EXPECT_EQ(doc.GetStatusArray().size(), 6u);

  struct Case {
    float start, end;
    bool accepted;
  };
  const std::vector<Case> cases = {{0, 100, true},   {50, 50, true},     {60, 40, false},
                                   {-1, 10, false},  {0, 100.5f, false}, {NAN, 10, false},
                                   {10, NAN, false}, {25, 75, true}};
  float s = 0, e = 0;
  for (bool record : {false, true}) {
    float lastStart = 0, lastEnd = 100;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.start) + "-" + std::to_string(c.end) + (record ? " record" : " quote"));
      EXPECT_EQ(record ? doc.SetRecordFragment(c.start, c.end) : doc.SetQuoteFragment(c.start, c.end), c.accepted);
      if (c.accepted) lastStart = c.start, lastEnd = c.end;
      record ? doc.GetRecordFragment(s, e) : doc.GetQuoteFragment(s, e);
      EXPECT_EQ(s, lastStart);
      EXPECT_EQ(e, lastEnd);
    }
  }
  // A move starts with the whole Echomark.
  ASSERT_TRUE(doc.GoToQuote(2, false, false));
  doc.GetQuoteFragment(s, e);
  EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(e, 100.0f);
}

TEST_F(Document, ResetOneEchomark) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(doc.CheckUserText(kText1, false));
  ASSERT_EQ(doc.SetWordMark(3, Doc::kMarkLazy, 0), 1);
  around.take();
  ASSERT_TRUE(doc.ResetQuote(false));
  const std::uint32_t status = doc.GetQuoteStatus(0);
  EXPECT_EQ(status & (Doc::kSolved | Doc::kSomeWordCorrect | Doc::kNonKeywordsShown), 0u);
  EXPECT_EQ(status & (Doc::kVisited | Doc::kFixedWordsShown), Doc::kVisited | Doc::kFixedWordsShown);
  EXPECT_EQ(doc.GetUserText(), "");
  EXPECT_EQ(doc.GetQuoteInfo().GetWordFlag(3) & COrv_QuoteInfo::kLazyMark, 0u);
  EXPECT_NE(doc.GetQuoteInfo().GetWordFlag(2) & COrv_QuoteInfo::kShownFixedWord, 0u);
  EXPECT_EQ(around.take(), (Log{"rich build", "rich buttons", "pad buttons", "pad format reload", "sofar states",
                                "sofar refresh", "sofar buttons", "rich scroll 1", "index update 1"}));
}

TEST_F(Document, ResetEveryEchomark) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(doc.CheckUserText(kText1, false));
  ASSERT_TRUE(doc.GoToQuote(2, false, true));
  ASSERT_TRUE(doc.CheckUserText(kText2, false));
  ASSERT_TRUE(doc.ResetQuote(true));
  EXPECT_EQ(doc.GetCurrentQuote(), 1u);
  for (unsigned n = 1; n <= 5; ++n) {
    EXPECT_EQ(doc.GetQuoteStatus(n) & Doc::kSolved, 0u) << n;
    EXPECT_EQ(doc.GetStateList().GetText(static_cast<int>(n)), "") << n;
  }
  EXPECT_EQ(doc.GetQuoteStatus(2) & Doc::kVisited, 0u);
  EXPECT_EQ(doc.GetQuoteStatus(1) & Doc::kVisited, Doc::kVisited);
  EXPECT_EQ(around.frame.status[2] & Doc::kVisited, 0u);
  const Log log = around.take();
  EXPECT_EQ(log.back(), "index select 1");
}

TEST_F(Document, CheckAllQuotes) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(doc.CheckUserText(kText1, false));
  // Texts stored for Echomarks never visited, one right, one wrong; and a
  // solved status with a text that no longer solves it.
  doc.GetStateList().SetText(2, kText2);
  doc.GetStateList().SetText(4, "and so");
  doc.SetQuoteStatus(doc.GetQuoteStatus(5) | Doc::kSolved, 5);
  ASSERT_TRUE(doc.CheckAllQuotes());
  EXPECT_EQ(doc.GetQuoteStatus(1) & Doc::kSolved, Doc::kSolved);
  EXPECT_EQ(doc.GetQuoteStatus(2) & Doc::kSolved, Doc::kSolved);
  EXPECT_EQ(doc.GetQuoteStatus(4) & 0x6u, Doc::kSomeWordCorrect);
  EXPECT_EQ(doc.GetQuoteStatus(5) & Doc::kSolved, 0u);
  // The current Echomark's words are left alone.
  EXPECT_EQ(doc.GetQuoteInfo().GetQuoteText(), kText1);
  EXPECT_EQ(doc.GetUserText(), kText1);
}

TEST_F(Document, CheckAllQuotesStopsAtADamagedEchomark) {
  spoilThirdEchomark(content);
  ASSERT_TRUE(open());
  doc.GetStateList().SetText(4, "and so on..");
  EXPECT_FALSE(doc.CheckAllQuotes());
  EXPECT_EQ(doc.GetQuoteStatus(4) & Doc::kSolved, 0u);
}

TEST_F(Document, ViewsAndTheIndex) {
  ASSERT_TRUE(open());
  EXPECT_EQ(doc.GetTextView(TvDocumentView::kRichText), &around.rich);
  EXPECT_EQ(doc.GetTextView(TvDocumentView::kSoFar | TvDocumentView::kScratchPad), &around.pad);
  EXPECT_EQ(doc.GetSplitterFrame(), &around.frame);
  // The open filled the index and selected the start.
  EXPECT_EQ(around.frame.status, doc.GetStatusArray());
  around.take();
  EXPECT_FALSE(doc.UpdateQuoteIndex(6, false));
  EXPECT_TRUE(doc.UpdateQuoteIndex(2, true));
  EXPECT_EQ(around.take(), (Log{"index fill 1", "index select 2"}));
  doc.RemoveView(&around.pad);
  EXPECT_EQ(doc.GetTextView(TvDocumentView::kScratchPad), nullptr);
  EXPECT_TRUE(doc.RefreshViews(Doc::kRefreshAll));
  EXPECT_EQ(around.take(), (Log{"rich build", "rich buttons", "rich scroll 1", "sofar states", "sofar refresh",
                                "sofar buttons", "index update 1"}));
  doc.SetSplitterFrame(nullptr);
  EXPECT_FALSE(doc.UpdateQuoteIndex(1, false));
}

TEST_F(Document, HasNoSavedSession) {
  EXPECT_TRUE(doc.HasNoSavedSession("DEMO"));
  storeProgress({0, 0, 0, 0, 0}, 2);
  EXPECT_FALSE(doc.HasNoSavedSession("demo"));
  around.host.user = "someone else";
  EXPECT_TRUE(doc.HasNoSavedSession("DEMO"));
  EXPECT_EQ(COrv_TvDocument::GetBookSourceFile("/a/b/demo.tvb"), content.string());
  EXPECT_EQ(COrv_TvDocument::GetBookSourceFile("nobook"), "");
}

}  // namespace

namespace {

using namespace tvtools::book;
using WordTyping = doctest::DocumentTest;

// The recheck hands the learner's own text back to the check that
// replaces it: the comparison must still see that text.
TEST_F(WordTyping, TypingTheLastWordLetterByLetterSolves) {
  Book b;
  b.code = "CAFE";
  b.title = "Cafe";
  Echomark e;
  e.wordText = "The cat sat in the caf\u00e9.";
  e.normalWav = makeWav(100, {});
  b.echomarks = {e};
  doctest::installBook(b);
  COrv_TvDocument doc(around.services());
  ASSERT_TRUE(doc.OnOpenDocument("cafe"));
  ASSERT_TRUE(doc.CheckUserText("the cat sat in the ", true));
  ASSERT_EQ(doc.SetWordMark(6, COrv_TvDocument::kMarkTyped, 4), 1);
  ASSERT_TRUE(doc.RecheckUserText(true));
  EXPECT_EQ(doc.GetQuoteStatus(0) & COrv_TvDocument::kSolved, COrv_TvDocument::kSolved) << doc.GetUserText();
}


// The shipped sounds: the chime and a learner's file play asynchronously
// through the audio layer, the beep through the message layer.
TEST_F(WordTyping, ThePlatformSounds) {
  plat::audio::ManualDispatcher clock;
  plat::audio::VirtualBackend backend{clock};
  plat::audio::ScopedBackend use{backend};
  const fs::path jingle = tvtest::sandbox().base / "jingle.wav";
  tvtest::writeFile(jingle, makeWav(300, {}));
  PlatformDocumentSound sound;
  EXPECT_TRUE(sound.PlayResource("WAVE_TADA"));
  EXPECT_TRUE(sound.PlayFile(jingle.string()));
  EXPECT_FALSE(sound.PlayFile((tvtest::sandbox().base / "gone.wav").string()));
  const auto calls = backend.calls("PlaySound");
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& c : calls) EXPECT_NE(c.args.find("async"), std::string::npos) << c.args;
  sound.Beep();
  EXPECT_EQ(boxes.beeps(), (std::vector<std::uint32_t>{plat::ui::MB_ICONEXCLAMATION}));
}

}  // namespace
