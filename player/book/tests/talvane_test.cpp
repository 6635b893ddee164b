#include "player/book/talvane.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"
#include "player/book/book_info.h"
#include "player/book/info_bundle.h"
#include "player/book/tests/content_fixture.h"
#include "player/book/tests/info_test_sink.h"
#include "player/env/environment.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;
using booktest::member;
using booktest::patch;
using booktest::recordPayload;
using orv::COrv_BookInfo;

// Echomark 1 has every kind of information; Echomark 2 speech only.
Book fullBook() {
  Book b;
  b.version = 2;
  b.code = "DEMO";
  b.title = "Loaded";
  b.category = 4;
  b.language = 3;
  b.level = 2;
  b.description = "Every kind";
  Echomark e;
  e.introduction = "Once upon a time";
  e.wordText = "the quick brown fox";
  e.comment = "a comment";
  e.fixedWords = {2};
  e.keywords = {1};
  e.segmentStarts = {0, 2};
  e.dictionary = {{2, 1}};
  e.links = {{"Verbs", 2}};
  e.normalWav = makeWav(400, {0.5f, 0.5f});
  e.slowWav = makeWav(500, {});
  Echomark second;
  second.introduction = "Second";
  second.normalWav = makeWav(100, {});
  b.echomarks = {e, second};
  b.dictionary = {{"quick", "fast", "moving with speed"}};
  return b;
}

// Each case has a data path of its own, so that books can be installed.
class LoadedBook : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(orv::COrv_Environment().CreateDataPath()); }

  // A book opened from a content file, its information filled by the caller.
  void openFilled(COrv_Talvane& book, const fs::path& content, const std::string& code = "DEMO") {
    book.SetErrorSink(&sink);
    book.SetSourceFile(content.string(), -1);
    ASSERT_EQ(book.Open(code, COrv_Talvane::kOpenFilled), 1);
    EXPECT_TRUE(book.IsOpen());
  }
  std::vector<std::pair<int, int>> reports() const {
    std::vector<std::pair<int, int>> out;
    for (const auto& e : sink.errors) out.emplace_back(e.code, e.line);
    return out;
  }

  RecordingSink sink;
};

TEST_F(LoadedBook, WrittenInformationOpensTheBookAgain) {
  const fs::path content = booktest::writeBook(fullBook());
  {
    COrv_Talvane filled;
    openFilled(filled, content);
    filled.SetTvlClass(2);
    ASSERT_EQ(filled.WriteBookInfo(), 1);
  }
  COrv_BookInfo info("DEMO");
  ASSERT_EQ(info.GetSelectedCode(), "DEMO");
  EXPECT_EQ(info.GetOrigLanguage(), 3);
  EXPECT_EQ(info.GetSourceFile(-1, false), content.string());
  EXPECT_EQ(info.GetTvlClass(), 2);
  EXPECT_EQ(info.GetCategory(), 4);
  EXPECT_EQ(info.GetDifficulty(), 2);
  EXPECT_EQ(info.GetTitle(-1), "Loaded");
  EXPECT_EQ(info.GetDescription(-1), "Every kind");
  EXPECT_EQ(info.GetNumQuotes(), 2);
  EXPECT_NE(plat::profile::getString(info.GetIniPath(2), "Settings", "SourceType", "<none>", 64), "<none>");

  COrv_Talvane book;
  book.SetErrorSink(&sink);
  ASSERT_EQ(book.Open("demo", 0), 1);
  EXPECT_EQ(book.GetCode(), "DEMO");
  EXPECT_EQ(book.GetTvlClass(), 2);
  EXPECT_EQ(book.GetOrigLanguage(), 3);
  EXPECT_EQ(book.GetSourceFile(3), content.string());
  EXPECT_EQ(book.GetTitle(-1), "Loaded");
  EXPECT_EQ(book.GetNumQuotes(), 2);
  EXPECT_TRUE(sink.errors.empty());

  // Writing it again replaces the installation rather than failing.
  EXPECT_EQ(book.WriteBookInfo(), 1);
  EXPECT_EQ(COrv_BookInfo().GetInstalledCount(), 1);
}

// An unset original language, however the information file holds it,
// reads -1 from the installed-book information and is "not set" in the
// loaded book, whose content file then names the language.
TEST_F(LoadedBook, MissingOriginalLanguageIsNotSet) {
  const fs::path content = booktest::writeBook(fullBook());
  for (const char* stored : {"", "9999", "-3"}) {
    SCOPED_TRACE(*stored ? stored : "absent");
    COrv_BookInfo info;
    ASSERT_TRUE(info.Register("DEMO", content.string(), 3, true));
    if (*stored)
      ASSERT_FALSE(plat::profile::writeString(info.GetIniPath(2), "Settings", "OrigLanguage", stored));
    else
      ASSERT_FALSE(plat::profile::deleteKey(info.GetIniPath(2), "Settings", "OrigLanguage"));
    EXPECT_EQ(COrv_BookInfo("DEMO").GetOrigLanguage(), -1);

    COrv_Talvane book;
    book.SetErrorSink(&sink);
    ASSERT_EQ(book.LoadBookInfo("DEMO"), 1);
    EXPECT_EQ(book.GetOrigLanguage(), COrv_Talvane::kNoLanguage);
    EXPECT_EQ(book.GetSourceFile(-1), content.string());
    ASSERT_EQ(book.Open("DEMO", COrv_Talvane::kOpenFilled), 1);
    EXPECT_EQ(book.GetOrigLanguage(), 3);
    EXPECT_EQ(book.WriteBookInfo(), 1);
    EXPECT_EQ(COrv_BookInfo("DEMO").GetOrigLanguage(), 3);
  }
}

TEST_F(LoadedBook, WriteBookInfoWithoutALanguageRegistersNothing) {
  const fs::path content = booktest::writeBook(fullBook());
  for (int unset : {-1, -5, COrv_Talvane::kNoLanguage}) {
    SCOPED_TRACE(unset);
    sink.errors.clear();
    COrv_Talvane book;
    openFilled(book, content);
    book.SetOrigLanguage(unset);
    EXPECT_EQ(book.GetOrigLanguage(), COrv_Talvane::kNoLanguage);
    EXPECT_EQ(book.WriteBookInfo(), 0);
    EXPECT_EQ(reports(), (std::vector<std::pair<int, int>>{{18, 382}}));
    EXPECT_FALSE(COrv_BookInfo().IsInstalled("DEMO"));
  }
}

TEST_F(LoadedBook, RefusedCalls) {
  const fs::path content = booktest::writeBook(fullBook());
  struct Case {
    const char* name;
    std::function<int(COrv_Talvane&)> call;
    int code, line;
    std::string codeAfter;
  };
  const std::vector<Case> cases = {
      {"flags 1 without a source file", [](COrv_Talvane& b) { return b.Open("DEMO", COrv_Talvane::kOpenFilled); },
       18, 78, "DEMO"},
      {"flags 1 without a code",
       [&](COrv_Talvane& b) {
         b.SetSourceFile(content.string(), -1);
         return b.Open("", COrv_Talvane::kOpenFilled);
       },
       18, 78, ""},
      {"a code that is not installed", [](COrv_Talvane& b) { return b.Open("NOBOOK", 0); }, 20, 145, "NOBOOK"},
      {"no book code at all", [](COrv_Talvane& b) { return b.LoadBookInfo("../x"); }, 20, 145, ""},
      {"WriteBookInfo while closed",
       [](COrv_Talvane& b) {
         b.SetOrigLanguage(1);
         return b.WriteBookInfo();
       },
       18, 374, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.errors.clear();
    COrv_Talvane book;
    book.SetErrorSink(&sink);
    EXPECT_EQ(c.call(book), 0);
    EXPECT_EQ(reports(), (std::vector<std::pair<int, int>>{{c.code, c.line}}));
    EXPECT_EQ(sink.errors[0].source, "Talvane");
    EXPECT_FALSE(book.IsOpen());
    EXPECT_EQ(book.GetCode(), c.codeAfter);
  }
  EXPECT_EQ(COrv_BookInfo().GetInstalledCount(), 0);
}

TEST_F(LoadedBook, DoubleOpenKeepsTheFirstBook) {
  const fs::path content = booktest::writeBook(fullBook());
  COrv_Talvane book;
  openFilled(book, content);
  EXPECT_EQ(book.Open("OTHER", COrv_Talvane::kOpenFilled), 0);
  EXPECT_EQ(book.Open("OTHER", 0), 0);
  EXPECT_EQ(book.LoadBookInfo("DEMO"), 0);
  EXPECT_EQ(reports(), (std::vector<std::pair<int, int>>{{18, 68}, {18, 68}, {18, 135}}));
  EXPECT_TRUE(book.IsOpen());
  EXPECT_EQ(book.GetCode(), "DEMO");
  EXPECT_EQ(book.GetTitle(-1), "Loaded");
  COrv_InfoBundle bundle;
  EXPECT_EQ(book.LoadQuoteInfo(bundle, 1, -1, COrv_Talvane::kAllKinds), 1);
  EXPECT_EQ(bundle.GetQuoteNumber(), 1);

  // Closed, it opens again.
  book.Close();
  EXPECT_FALSE(book.IsOpen());
  EXPECT_EQ(book.GetTitle(-1), "");
  book.SetSourceFile(content.string(), -1);
  EXPECT_EQ(book.Open("DEMO", COrv_Talvane::kOpenFilled), 1);
}

// Which kinds a bundle holds, told by what each kind stores.
std::set<int> kindsIn(const COrv_InfoBundle& b) {
  std::set<int> kinds;
  if (!b.Words().GetText(3).empty()) kinds.insert(1);
  if (!b.Comments().GetText(3).empty()) kinds.insert(2);
  if (!b.Introductions().GetText(3).empty()) kinds.insert(4);
  if (b.Words().GetList8Count() > 0) kinds.insert(8);
  if (b.Words().GetList16Count() > 0) kinds.insert(16);
  if (!b.Dictionary().GetFirstText(2, 3).empty()) kinds.insert(32);
  if (b.Words().GetSortedCount() > 0) kinds.insert(64);
  if (!b.Waves().GetWaveFile(0).empty()) kinds.insert(128);
  if (b.Links().HasLinks()) kinds.insert(512);
  return kinds;
}

// Spoiling one kind at a time shows the order in which the kinds are asked:
// the first failure ends the loading, so the kinds asked before it are
// there and the ones after it are not.
TEST_F(LoadedBook, LoadQuoteInfoAsksTheKindsInOrder) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> spoil;
    std::set<int> loaded;
  };
  const auto count = [](int type) {
    return [type](const fs::path& p) { patch(p, recordPayload(tvtest::readFile(p), type), booktest::le16(0x7FFF)); };
  };
  const std::vector<Case> cases = {
      {"nothing spoilt", nullptr, {1, 8, 16, 64, 4, 2, 32, 512, 128}},
      {"fixed words", count(4), {1}},
      {"sorted words", count(7), {1, 8, 16}},
      {"dictionary entry",
       [](const fs::path& p) { patch(p, recordPayload(tvtest::readFile(p), 8) + 4, booktest::le16(9)); },
       {1, 8, 16, 64, 4, 2}},
      {"links without their section",
       [](const fs::path& p) {
         const std::string s = tvtest::readFile(p);
         patch(p, s.find("[Links]", member(s, "G01").offset), "[Other]");
       },
       {1, 8, 16, 64, 4, 2, 32}},
      {"normal speech",
       [](const fs::path& p) {
         patch(p, member(tvtest::readFile(p), "001").record, COrv_BookFileWriter::ScrambledMemberName("X01"));
       },
       {1, 8, 16, 64, 4, 2, 32, 512}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path content = booktest::writeBook(fullBook(), "order.tvb");
    if (c.spoil) c.spoil(content);
    COrv_Talvane book;
    openFilled(book, content);
    COrv_InfoBundle bundle;
    EXPECT_EQ(book.LoadQuoteInfo(bundle, 1, -1, COrv_Talvane::kAllKinds), c.spoil ? 0 : 1);
    EXPECT_EQ(kindsIn(bundle), c.loaded);
    EXPECT_EQ(bundle.GetQuoteNumber(), c.spoil ? 0 : 1);
  }
}

TEST_F(LoadedBook, LoadQuoteInfoMasksAndState) {
  const fs::path content = booktest::writeBook(fullBook());
  COrv_Talvane book;
  COrv_InfoBundle bundle;
  EXPECT_EQ(book.LoadQuoteInfo(bundle, 1, -1, COrv_Talvane::kAllKinds), 0);  // closed
  openFilled(book, content);
  EXPECT_EQ(book.LoadQuoteInfo(bundle, 2, -1, 0), 1);  // nothing asked: only the number
  EXPECT_EQ(bundle.GetQuoteNumber(), 2);
  EXPECT_TRUE(kindsIn(bundle).empty());
  ASSERT_EQ(book.LoadQuoteInfo(bundle, 1, 3, 128 | 2), 1);
  EXPECT_EQ(kindsIn(bundle), (std::set<int>{2, 128}));
  EXPECT_FALSE(bundle.Waves().GetWaveFile(-1).empty());  // every speed is asked
  EXPECT_EQ(book.LoadQuoteInfo(bundle, 3, -1, 1), 0);    // no such Echomark
  EXPECT_EQ(bundle.GetQuoteNumber(), 1);
}

TEST_F(LoadedBook, CloseLeavesNoTemporaryFile) {
  Book b = fullBook();
  b.spots = std::string(64, 's');
  const fs::path content = booktest::writeBook(b);
  {
    COrv_Talvane book;
    openFilled(book, content);
    EXPECT_EQ(booktest::tempFiles(), 1u);  // the media spots
    book.Close();
    EXPECT_EQ(booktest::tempFiles(), 0u);
    book.SetSourceFile(content.string(), -1);
    ASSERT_EQ(book.Open("DEMO", COrv_Talvane::kOpenFilled), 1);
  }
  EXPECT_EQ(booktest::tempFiles(), 0u);  // the destructor closes
}

TEST_F(LoadedBook, TextsOfTheOriginalLanguage) {
  COrv_Talvane book;
  book.SetOrigLanguage(5);
  book.SetTitle("Title five", 5);
  book.SetDescription("About", -1);
  EXPECT_EQ(book.GetTitle(-1), "Title five");
  EXPECT_EQ(book.GetDescription(5), "About");
  EXPECT_EQ(book.GetTitle(6), "");
  book.SetTitle("Replaced", -1);
  EXPECT_EQ(book.GetTitle(5), "Replaced");
}

}  // namespace
