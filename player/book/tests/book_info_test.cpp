#include "player/book/book_info.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"
#include "player/env/tests/env_test_support.h"

namespace {

namespace fs = std::filesystem;
namespace profile = plat::profile;
using orv::COrv_BookInfo;

// Each case works on a data path of its own, built the way the player
// builds one (Index.tvk, the users folder with "Default").
class BookInfoTest : public orvtest::EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    dataPath = (tvtest::sandbox().base / "data").string();
    fs::create_directories(dataPath);
    COrv_Environment env;
    ASSERT_TRUE(env.CreateDataPath(&dataPath));
  }
  using COrv_Environment = orv::COrv_Environment;

  COrv_BookInfo info() { return COrv_BookInfo(&dataPath); }
  COrv_BookInfo book(std::string_view code) { return COrv_BookInfo(code, &dataPath); }
  fs::path index() const { return fs::path(dataPath) / "Talvanes" / "Index.tvk"; }
  fs::path talvanes() const { return fs::path(dataPath) / "Talvanes"; }
  fs::path users() const { return fs::path(dataPath) / "Users"; }
  // A registered book with original language 0 and its source in the data
  // path's sandbox.
  COrv_BookInfo registered(std::string_view code, int orig = 0) {
    COrv_BookInfo b = info();
    EXPECT_TRUE(b.Register(code, "/srv/books/book.tvl", orig, false));
    return b;
  }
  std::string iniValue(const fs::path& file, std::string_view section, std::string_view key) {
    return profile::getString(file, section, key, "<none>", 4096);
  }

  std::string dataPath;
};

// --- Registering and the list ---------------------------------------------------------

TEST_F(BookInfoTest, RegisterWritesIndexFolderAndInformationFile) {
  COrv_BookInfo b = info();
  ASSERT_TRUE(b.Register("abc", "/srv/books/abc.tvl", 3, false));
  EXPECT_EQ(b.GetSelectedCode(), "ABC");
  EXPECT_EQ(iniValue(index(), "Tv installed", "ABC"), "1");
  EXPECT_EQ(profile::keyNames(index(), "Tv installed"), std::vector<std::string>{"ABC"});  // stored upper case
  EXPECT_EQ(b.GetInstalledCount(), 1);
  const fs::path ini = talvanes() / "ABC" / "ABC.ini";
  EXPECT_EQ(b.GetIniPath(2), ini.string());
  EXPECT_EQ(b.GetIniPath(3), (talvanes() / "ABC").string());
  EXPECT_EQ(b.GetIniPath(5), index().string());
  EXPECT_EQ(iniValue(ini, "Settings", "SourceFile"), "/srv/books/abc.tvl");
  EXPECT_EQ(iniValue(ini, "Settings", "OrigLanguage"), "3");
  EXPECT_EQ(b.GetOrigLanguage(), 3);
  EXPECT_EQ(b.GetSourceFile(-1, false), "/srv/books/abc.tvl");
}

TEST_F(BookInfoTest, ACodeThatDiffersOnlyInCaseIsTheSameBook) {
  registered("ABC");
  const std::string indexBefore = tvtest::readFile(index());
  const std::string infoBefore = tvtest::readFile(talvanes() / "ABC" / "ABC.ini");

  COrv_BookInfo again = info();
  EXPECT_FALSE(again.Register("abc", "/elsewhere/x.tvl", 1, false));
  EXPECT_FALSE(again.Register("ABC", "/elsewhere/x.tvl", 1, false));
  EXPECT_EQ(tvtest::readFile(index()), indexBefore);
  EXPECT_EQ(tvtest::readFile(talvanes() / "ABC" / "ABC.ini"), infoBefore);
  EXPECT_TRUE(again.IsInstalled("aBc"));
  EXPECT_TRUE(again.SelectBook("abc"));
  EXPECT_EQ(again.GetSelectedCode(), "ABC");

  // Forced, the book gets a fresh information file; it is still one book.
  EXPECT_TRUE(again.Register("abc", "/elsewhere/x.tvl", 1, true));
  EXPECT_EQ(again.GetInstalledCount(), 1);
  EXPECT_EQ(again.GetSourceFile(-1, false), "/elsewhere/x.tvl");
  EXPECT_EQ(again.GetOrigLanguage(), 1);
  std::vector<std::string> list;
  EXPECT_EQ(again.GetInstalledBooks(list), 1);
}

TEST_F(BookInfoTest, InvalidCodesAndNegativeLanguagesAreRefused) {
  const std::string indexBefore = tvtest::readFile(index());
  // A code holding ':' or '/' would need a folder name of its own: no
  // code of the suite holds one, so it is refused like any other.
  for (const char* code : {"", "ABCDEFGHI", "AB:C", "A/B", "..", "A B", "A\xC3\x84", "A=B", "[X]"}) {
    SCOPED_TRACE(code);
    COrv_BookInfo b = info();
    EXPECT_FALSE(b.Register(code, "/srv/b.tvl", 0, true));
    EXPECT_FALSE(b.AddInstalled(code));
    EXPECT_FALSE(b.IsInstalled(code));
    EXPECT_FALSE(b.SelectBook(code));
    EXPECT_TRUE(b.GetIniPath(2).empty());
  }
  EXPECT_FALSE(info().Register("ABC", "/srv/b.tvl", -1, false));
  EXPECT_EQ(tvtest::readFile(index()), indexBefore);
  std::vector<fs::path> entries(fs::directory_iterator(talvanes()), fs::directory_iterator{});
  EXPECT_EQ(entries.size(), 1u);  // Index.tvk only

  EXPECT_TRUE(info().Register("ABCDEFGH", "", 0, false));  // 8 characters, no source yet
  EXPECT_TRUE(info().Register("x_1", "", 0, false));
  EXPECT_TRUE(fs::is_directory(talvanes() / "X_1"));
}

TEST_F(BookInfoTest, AnEntryWrittenByHandWithAColonIsListedButNotSelectable) {
  tvtest::writeFile(index(), "[Tv installed]\r\nab:c=1\r\n[General]\r\nCount=1\r\n");
  COrv_BookInfo b = info();
  std::vector<std::string> list;
  EXPECT_EQ(b.GetInstalledBooks(list), 1);
  EXPECT_EQ(list, std::vector<std::string>{"ab:c"});
  EXPECT_FALSE(b.SelectBook("ab:c"));
  EXPECT_EQ(COrv_Environment::MakeValidFileName("ab:c"), "ab_c");  // the folder it could never escape with
}

TEST_F(BookInfoTest, InstalledBooksListsEveryEntryWhateverCountSays) {
  struct Case {
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"[Tv installed]\r\nAAA=1\r\nBBB=1\r\nCCC=1\r\n[General]\r\nCount=0\r\n", {"AAA", "BBB", "CCC"}},
      {"[Tv installed]\r\nLONGCODE=1\r\nLONGCOD2=1\r\nLONGCOD3=1\r\n[General]\r\nCount=1\r\n",
       {"LONGCODE", "LONGCOD2", "LONGCOD3"}},
      {"[Tv installed]\r\nabc=1\r\nGONE=\r\nKEPT=yes\r\n", {"ABC", "KEPT"}},  // empty values are not installed
      {"[General]\r\nCount=5\r\n", {}},
      // An editor's UTF-8 byte-order mark before the first section.
      {"\xEF\xBB\xBF[Tv installed]\r\nAAA=1\r\nBBB=1\r\n", {"AAA", "BBB"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    tvtest::writeFile(index(), c.text);
    std::vector<std::string> list{"stale"};
    EXPECT_EQ(info().GetInstalledBooks(list), static_cast<int>(c.expected.size()));
    EXPECT_EQ(list, c.expected);
  }
}

TEST_F(BookInfoTest, EachInstalledBookIsVisitedWithItsFileReadOnce) {
  registered("first", 2).SetTitle("First", -1);
  registered("second", 5).SetCategory(7);
  // An entry no book file can belong to is skipped, as SelectBook skips it.
  profile::writeString(index(), "Tv installed", "ab:c", "1");
  std::vector<std::string> codes;
  std::vector<int> languages;
  COrv_BookInfo reader = info();
  const int visited = reader.ForEachInstalledBook([&](COrv_BookInfo& b) {
    codes.push_back(b.GetSelectedCode());
    // The file changes on disk after it was read: the visit answers from
    // the copy read, until it writes a value of its own.
    tvtest::writeFile(b.GetIniPath(2), "[Settings]\r\nOrigLanguage=9\r\nCategory=3\r\n");
    languages.push_back(b.GetOrigLanguage());
    if (codes.size() == 2) {
      EXPECT_EQ(b.GetCategory(), 7);
      EXPECT_TRUE(b.SetDifficulty(4));
      EXPECT_EQ(b.GetCategory(), 3) << "a write drops the copy";
      EXPECT_EQ(b.GetDifficulty(), 4);
    } else {
      EXPECT_EQ(b.GetTitle(-1), "First");
    }
  });
  EXPECT_EQ(visited, 2);
  EXPECT_EQ(codes, (std::vector<std::string>{"FIRST", "SECOND"}));
  EXPECT_EQ(languages, (std::vector<int>{2, 5}));
  EXPECT_EQ(reader.GetSelectedCode(), "") << "nothing selected afterwards";
  EXPECT_EQ(reader.GetCategory(), 0);
  EXPECT_EQ(info().ForEachInstalledBook([](COrv_BookInfo&) {}), 2);
}

// During a visit the languages are looked up once per book; a write that
// adds a module language is seen by the reads after it.
TEST_F(BookInfoTest, VisitReadsEachLanguageAsTheSingleReadsDo) {
  {
    COrv_BookInfo b = registered("poly", 2);
    ASSERT_TRUE(b.SetSourceFile(3, "/srv/books/poly3.tvl", false));
    ASSERT_TRUE(b.SetTitle("Deux", 2));
    ASSERT_TRUE(b.SetTitle("Trois", 3));
    ASSERT_TRUE(b.SetDescription("Un livre", -1));
    ASSERT_TRUE(b.SetDescription("Drei", 3));
  }
  int visits = 0;
  COrv_BookInfo reader = info();
  reader.ForEachInstalledBook([&](COrv_BookInfo& b) {
    ++visits;
    struct Read {
      int language;
      const char* title;
      const char* description;
    } reads[] = {{-1, "Deux", "Un livre"}, {2, "Deux", "Un livre"}, {3, "Trois", "Drei"}, {7, "", ""}};
    for (const Read& r : reads) {
      EXPECT_EQ(b.GetTitle(r.language), r.title) << r.language;
      EXPECT_EQ(b.GetDescription(r.language), r.description) << r.language;
    }
    EXPECT_TRUE(b.HasLanguage(3));
    EXPECT_FALSE(b.HasLanguage(7));
    EXPECT_FALSE(b.SetTitle("Sieben", 7)) << "7 is no module language yet";
    ASSERT_TRUE(b.SetSourceFile(7, "/srv/books/poly7.tvl", false));
    EXPECT_TRUE(b.HasLanguage(7));
    EXPECT_TRUE(b.SetTitle("Sieben", 7));
    EXPECT_EQ(b.GetTitle(7), "Sieben");
    std::vector<int> modules;
    EXPECT_EQ(b.GetModuleLanguages(modules), 2);
    EXPECT_EQ(modules, (std::vector<int>{3, 7}));
  });
  EXPECT_EQ(visits, 1);
}

TEST_F(BookInfoTest, RegisterUndoesItselfWhenTheInformationFileCannotBeMade) {
  registered("OLD");
  plat::fs::FaultScope faults;
  plat::fs::injectFault(plat::fs::FaultOp::Open, "NEW.ini", EIO);
  COrv_BookInfo b = info();
  EXPECT_FALSE(b.Register("NEW", "/srv/new.tvl", 0, false));
  EXPECT_FALSE(b.IsInstalled("NEW"));
  EXPECT_EQ(b.GetInstalledCount(), 1);

  // A forced re-registration that fails keeps the book that was there.
  tvtest::writeFile(users() / "Default" / "OLD.ST", "[General]\r\nLastEM=4\r\n");
  plat::fs::injectFault(plat::fs::FaultOp::Open, "OLD.ini", EIO);
  EXPECT_FALSE(b.Register("OLD", "/srv/old2.tvl", 0, true));
  EXPECT_TRUE(b.IsInstalled("OLD"));
  EXPECT_TRUE(fs::exists(users() / "Default" / "OLD.ST"));
  EXPECT_EQ(b.GetInstalledCount(), 1);
}

// --- Unregistering ------------------------------------------------------------------------

TEST_F(BookInfoTest, UnregisterRemovesEntryFilesAndEveryUsersStatusFile) {
  registered("ABC");
  registered("OTHER");
  // Users' folders as the user store makes them, and status files in any case.
  for (const char* user : {"Default", "Bob", "ann"}) fs::create_directories(users() / user);
  tvtest::writeFile(users() / "Default" / "ABC.ST", "[General]\r\nLastEM=1\r\n");
  tvtest::writeFile(users() / "Bob" / "abc.st", "[General]\r\nLastEM=2\r\n");
  tvtest::writeFile(users() / "Bob" / ".abc.st.lock", "");
  tvtest::writeFile(users() / "Bob" / "OTHER.ST", "[General]\r\nLastEM=3\r\n");
  tvtest::writeFile(users() / "ann" / "ABC.ST.bak", "keep");
  // A link in the users folder leads outside the data path: not followed.
  const fs::path outside = tvtest::sandbox().base / "outside";
  tvtest::writeFile(outside / "ABC.ST", "keep");
  fs::create_directory_symlink(outside, users() / "Linked");

  COrv_BookInfo b = book("abc");
  ASSERT_EQ(b.GetSelectedCode(), "ABC");
  const fs::path ini = b.GetIniPath(2);
  profile::writeString(ini, "Settings", "Title", "T");  // leaves the ini's lock companion
  EXPECT_TRUE(b.Unregister());

  EXPECT_FALSE(b.IsInstalled("ABC"));
  EXPECT_TRUE(b.IsInstalled("OTHER"));
  EXPECT_EQ(b.GetInstalledCount(), 1);
  EXPECT_FALSE(fs::exists(talvanes() / "ABC"));  // file, lock and folder
  EXPECT_TRUE(fs::exists(talvanes() / "OTHER" / "OTHER.ini"));
  EXPECT_FALSE(fs::exists(users() / "Default" / "ABC.ST"));
  EXPECT_FALSE(fs::exists(users() / "Bob" / "abc.st"));
  EXPECT_FALSE(fs::exists(users() / "Bob" / ".abc.st.lock"));
  EXPECT_TRUE(fs::exists(users() / "Bob" / "OTHER.ST"));
  EXPECT_TRUE(fs::exists(users() / "ann" / "ABC.ST.bak"));
  EXPECT_TRUE(fs::exists(outside / "ABC.ST"));
  EXPECT_TRUE(fs::exists(users() / "Index.usr"));
}

TEST_F(BookInfoTest, UnregisterNeverCountsBelowZeroNorForAMissingEntry) {
  struct Case {
    const char* index;
    int countAfter;
  };
  const Case cases[] = {
      {"[Tv installed]\r\nABC=1\r\n[General]\r\nCount=2\r\n", 1},
      {"[Tv installed]\r\nABC=1\r\n[General]\r\nCount=0\r\n", 0},   // already at 0
      {"[Tv installed]\r\nABC=1\r\n", 0},                          // no Count at all
      {"[Tv installed]\r\nXYZ=1\r\n[General]\r\nCount=1\r\n", 1},  // ABC gone behind our back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    tvtest::writeFile(index(), "[Tv installed]\r\nABC=1\r\n");
    COrv_BookInfo b = book("ABC");
    ASSERT_EQ(b.GetSelectedCode(), "ABC");
    tvtest::writeFile(index(), c.index);
    EXPECT_TRUE(b.Unregister());
    EXPECT_EQ(b.GetInstalledCount(), c.countAfter);
    EXPECT_FALSE(b.IsInstalled("ABC"));
  }
  EXPECT_FALSE(info().Unregister());  // nothing selected
}

TEST_F(BookInfoTest, UnregisterKeepsABookFolderThatHoldsOtherFiles) {
  COrv_BookInfo b = registered("ABC");
  tvtest::writeFile(talvanes() / "ABC" / "notes.txt", "mine");
  EXPECT_TRUE(b.Unregister());
  EXPECT_FALSE(fs::exists(talvanes() / "ABC" / "ABC.ini"));
  EXPECT_TRUE(fs::exists(talvanes() / "ABC" / "notes.txt"));
}

// --- Nothing selected ------------------------------------------------------------------------

TEST_F(BookInfoTest, WithoutASelectedBookNothingIsReadOrWritten) {
  COrv_BookInfo b = book("NOPE");
  EXPECT_TRUE(b.GetSelectedCode().empty());
  EXPECT_TRUE(b.GetIniPath(2).empty());
  EXPECT_TRUE(b.GetIniPath(0).empty());
  EXPECT_TRUE(b.GetBookFolder(true).empty());
  EXPECT_FALSE(b.SetTitle("x", -1));
  EXPECT_FALSE(b.SetCategory(3));
  EXPECT_FALSE(b.SetSourceFile(-1, "/x", true));
  EXPECT_EQ(b.GetOrigLanguage(), -1);
  EXPECT_EQ(b.GetCategory(), 0);
  EXPECT_EQ(b.GetSourceFile(-1, true), "");
  EXPECT_EQ(b.GetMediumTitle(), "");
  std::vector<fs::path> entries(fs::directory_iterator(talvanes()), fs::directory_iterator{});
  EXPECT_EQ(entries.size(), 1u);
}

// --- Languages and source files ------------------------------------------------------------

TEST_F(BookInfoTest, OriginalLanguageReadsMinusOneForNone) {
  COrv_BookInfo b = registered("ABC", 2);
  const fs::path ini = b.GetIniPath(2);
  const std::pair<const char*, int> cases[] = {{"2", 2}, {"9999", -1}, {"", -1}, {"-3", -1}, {"0", 0}};
  for (const auto& [stored, expected] : cases) {
    ASSERT_FALSE(profile::writeString(ini, "Settings", "OrigLanguage", stored));
    EXPECT_EQ(b.GetOrigLanguage(), expected) << stored;
  }
  profile::deleteKey(ini, "Settings", "OrigLanguage");
  EXPECT_EQ(b.GetOrigLanguage(), -1);
}

TEST_F(BookInfoTest, SourceFileOfEachLanguageReadsBackWhatWasSet) {
  COrv_BookInfo b = registered("ABC", 3);
  const fs::path ini = b.GetIniPath(2);

  // The original language, by number or as -1, is [Settings].
  EXPECT_FALSE(b.SetSourceFile(3, "/srv/new.tvl", false));  // one is stored already
  EXPECT_TRUE(b.SetSourceFile(3, "/srv/new.tvl", true));
  EXPECT_EQ(b.GetSourceFile(3, false), "/srv/new.tvl");
  EXPECT_EQ(b.GetSourceFile(-1, false), "/srv/new.tvl");
  EXPECT_EQ(iniValue(ini, "Lang3", "SourceFile"), "<none>");
  EXPECT_FALSE(b.HasLanguage(3));

  // Another language becomes a module language, once.
  EXPECT_EQ(b.GetSourceFile(5, false), "");
  EXPECT_TRUE(b.SetSourceFile(5, "/srv/five.tvl", false));
  EXPECT_EQ(b.GetSourceFile(5, false), "/srv/five.tvl");
  EXPECT_EQ(iniValue(ini, "Lang5", "SourceFile"), "/srv/five.tvl");
  EXPECT_EQ(iniValue(ini, "Modules", "IdLanguages"), "5");
  EXPECT_FALSE(b.SetSourceFile(5, "/srv/other.tvl", false));
  EXPECT_EQ(b.GetSourceFile(5, false), "/srv/five.tvl");
  EXPECT_TRUE(b.SetSourceFile(5, "/srv/other.tvl", true));
  EXPECT_EQ(b.GetSourceFile(5, false), "/srv/other.tvl");
  EXPECT_EQ(b.GetModuleCount(), 1);

  // Paths that would not read back are refused; blanks at the ends are kept.
  EXPECT_FALSE(b.SetSourceFile(6, "/srv/a\nb.tvl", false));
  EXPECT_FALSE(b.SetSourceFile(6, "/" + std::string(259, 'x'), false));
  EXPECT_FALSE(b.SetSourceFile(-2, "/srv/x", true));
  EXPECT_FALSE(b.HasLanguage(6));
  const std::string longest = "/" + std::string(258, 'x');
  EXPECT_TRUE(b.SetSourceFile(6, longest, false));
  EXPECT_EQ(b.GetSourceFile(6, false), longest);
  EXPECT_TRUE(b.SetSourceFile(7, " /srv/blank.tvl ", false));
  EXPECT_EQ(b.GetSourceFile(7, false), " /srv/blank.tvl ");
}

TEST_F(BookInfoTest, SourceFileSearchOrder) {
  COrv_BookInfo b = registered("ABC");
  const fs::path stored = tvtest::sandbox().base / "stored";
  const fs::path alt1 = tvtest::sandbox().base / "alt1";
  const fs::path alt2 = tvtest::sandbox().base / "alt2";
  const fs::path install = fs::path(dataPath) / "Install";
  for (const fs::path& f : {stored, alt1, alt2}) fs::create_directories(f);
  ASSERT_TRUE(b.WriteAltSources({alt1.string(), alt2.string()}));
  ASSERT_TRUE(b.SetSourceFile(-1, (stored / "book.tvl").string(), true));

  struct Case {
    std::vector<fs::path> holders;  // folders that hold the file
    fs::path expected;              // empty: not found
  };
  const Case cases[] = {
      {{stored, install, alt1}, stored / "book.tvl"},
      {{install, alt1, alt2}, install / "book.tvl"},
      {{alt2}, alt2 / "book.tvl"},
      {{alt1, alt2}, alt1 / "book.tvl"},
      {{}, {}},
  };
  for (const Case& c : cases) {
    for (const fs::path& f : {stored, install, alt1, alt2}) fs::remove(f / "book.tvl");
    for (const fs::path& f : c.holders) tvtest::writeFile(f / "book.tvl", "x");
    EXPECT_EQ(b.GetSourceFile(-1, true), c.expected.string()) << c.holders.size();
    EXPECT_EQ(b.GetSourceFile(-1, false), (stored / "book.tvl").string());
  }
  // A copy whose name changed case is found too.
  tvtest::writeFile(alt2 / "BOOK.TVL", "x");
  EXPECT_EQ(b.GetSourceFile(-1, true), (alt2 / "BOOK.TVL").string());
}

TEST_F(BookInfoTest, ModuleLanguagesList) {
  COrv_BookInfo b = registered("ABC");
  const fs::path ini = b.GetIniPath(2);
  struct Case {
    const char* ids;
    const char* num;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"3,5,7", "3", {3, 5, 7}},
      {"3,5,7", "1", {3, 5, 7}},  // every entry, whatever Num says
      {"3,5,7", "0", {}},
      {"3,5,7", "", {}},
      {"12abc, 4,,x,-2,9,", "5", {12, 4, 9}},
      {"", "2", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ids);
    profile::Batch batch;
    batch.writeString("Modules", "IdLanguages", c.ids).writeString("Modules", "Num", c.num);
    ASSERT_FALSE(batch.apply(ini));
    std::vector<int> list{99};
    EXPECT_EQ(b.GetModuleLanguages(list), static_cast<int>(c.expected.size()));
    EXPECT_EQ(list, c.expected);
  }

  profile::Batch batch;
  batch.writeString("Modules", "IdLanguages", "3,5,7").writeString("Modules", "Num", "3");
  ASSERT_FALSE(batch.apply(ini));
  EXPECT_TRUE(b.HasLanguage(5));
  EXPECT_FALSE(b.HasLanguage(9));
  EXPECT_TRUE(b.SetSourceFile(9, "/srv/nine.tvl", false));
  EXPECT_EQ(iniValue(ini, "Modules", "IdLanguages"), "3,5,7,9");
  EXPECT_EQ(iniValue(ini, "Modules", "Num"), "4");
  EXPECT_TRUE(b.SetModuleLanguages({}));
  EXPECT_EQ(b.GetModuleCount(), 0);
  EXPECT_FALSE(b.HasLanguage(9));
}

TEST_F(BookInfoTest, PerLanguageValuesGoToTheirSectionOnly) {
  COrv_BookInfo b = registered("ABC", 2);
  const fs::path ini = b.GetIniPath(2);
  ASSERT_TRUE(b.SetSourceFile(4, "/srv/four.tvl", false));

  EXPECT_TRUE(b.SetTitle("Own", -1));
  EXPECT_TRUE(b.SetTitle("Two", 2));  // the original language: [Settings] as well
  EXPECT_TRUE(b.SetTitle("Four", 4));
  EXPECT_FALSE(b.SetTitle("Six", 6));  // no module language
  EXPECT_EQ(iniValue(ini, "Settings", "Title"), "Two");
  EXPECT_EQ(iniValue(ini, "Lang4", "Title"), "Four");
  EXPECT_FALSE(profile::hasSection(ini, "Lang6"));
  EXPECT_FALSE(profile::hasSection(ini, "Lang2"));
  EXPECT_EQ(b.GetTitle(-1), "Two");
  EXPECT_EQ(b.GetTitle(4), "Four");
  EXPECT_EQ(b.GetTitle(6), "");
  EXPECT_FALSE(b.SetDescription("d", 6));
  EXPECT_FALSE(b.SetSourceType("", 6));
  EXPECT_EQ(b.GetDescription(6), "");
}

TEST_F(BookInfoTest, BookValuesUseTheirKeys) {
  COrv_BookInfo b = registered("ABC");
  const fs::path ini = b.GetIniPath(2);
  EXPECT_TRUE(b.SetCategory(21));
  EXPECT_TRUE(b.SetDifficulty(3));
  EXPECT_TRUE(b.SetTvlClass(2));
  EXPECT_TRUE(b.SetNumQuotes(12));
  EXPECT_TRUE(b.SetCDROMTitle("Disc \"One\"\nside A"));
  const std::pair<const char*, const char*> keys[] = {
      {"Category", "21"}, {"Difficult", "3"}, {"TvlClass", "2"}, {"NumQuotes", "12"}};
  for (const auto& [key, value] : keys) EXPECT_EQ(iniValue(ini, "Settings", key), value) << key;
  EXPECT_EQ(b.GetCategory(), 21);
  EXPECT_EQ(b.GetDifficulty(), 3);
  EXPECT_EQ(b.GetTvlClass(), 2);
  EXPECT_EQ(b.GetNumQuotes(), 12);
  EXPECT_EQ(b.GetCDROMTitle(), "Disc \"One\"\nside A");
}

// --- Texts ---------------------------------------------------------------------------------

TEST_F(BookInfoTest, DescriptionIsStoredInPiecesOfAHundredCharacters) {
  COrv_BookInfo b = registered("ABC");
  const fs::path ini = b.GetIniPath(2);
  struct Case {
    size_t length;
    std::vector<size_t> pieces;
  };
  const Case cases[] = {{250, {100, 100, 50}}, {200, {100, 100}}, {101, {100, 1}}, {1, {1}}, {0, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text;
    for (size_t i = 0; i < c.length; ++i) text.push_back(static_cast<char>('a' + i % 26));
    ASSERT_TRUE(b.SetDescription(text, -1));
    EXPECT_EQ(iniValue(ini, "Settings", "Description"), std::to_string(c.pieces.size()));
    for (size_t i = 0; i < c.pieces.size(); ++i)
      EXPECT_EQ(iniValue(ini, "Settings", "DesTrance" + std::to_string(i + 1)).size(), c.pieces[i]);
    // Pieces of a longer description before are gone.
    EXPECT_EQ(iniValue(ini, "Settings", "DesTrance" + std::to_string(c.pieces.size() + 1)), "<none>");
    EXPECT_EQ(b.GetDescription(-1), text);
  }
}

TEST_F(BookInfoTest, TextsWithLineBreaksBlanksAndQuotesReadBack) {
  COrv_BookInfo b = registered("ABC");
  // 99 letters and a blank: the first piece ends in a blank, the second
  // begins with one. A two-byte character stands at the cut of the next.
  const std::string edges = std::string(99, 'x') + "  y" + std::string(97, 'z') + "\xC3\xA9" + "end ";
  const std::string texts[] = {
      "First line\r\nSecond line\nThird\\n literally",
      edges,
      "\"quoted\"",
      "'single'",
      "  leading and trailing  ",
      "C:\\path\\to\\",
      std::string("nul\0inside", 10),
      "; not a comment",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(b.SetDescription(text, -1));
    EXPECT_EQ(b.GetDescription(-1), text);
    ASSERT_TRUE(b.SetTitle(text, -1));
    EXPECT_EQ(b.GetTitle(-1), text.substr(0, 199));  // titles read at most 199 characters (all ASCII here)
    ASSERT_TRUE(b.SetCDROMTitle(text));
    EXPECT_EQ(b.GetCDROMTitle(), text);
  }
  ASSERT_TRUE(b.SetDescription(edges, -1));
  EXPECT_EQ(iniValue(b.GetIniPath(2), "Settings", "DesTrance2"), " y" + std::string(97, 'z') + "\xC3\xA9");
}

TEST_F(BookInfoTest, TitleIsReadBackCutAndHostileCountsAreBounded) {
  COrv_BookInfo b = registered("ABC");
  const fs::path ini = b.GetIniPath(2);
  ASSERT_TRUE(b.SetTitle(std::string(250, 't'), -1));
  EXPECT_EQ(b.GetTitle(-1), std::string(199, 't'));
  ASSERT_TRUE(b.SetTitle(std::string(198, 't') + "\xC3\xA9\xC3\xA9", -1));  // cut by characters
  EXPECT_EQ(b.GetTitle(-1), std::string(198, 't') + "\xC3\xA9");

  // A count far past the pieces present, pieces of other writers (up to
  // 149 characters read), a missing piece in the middle.
  tvtest::writeFile(ini,
                    "[Settings]\r\nDescription=2000000000\r\nDesTrance1=" + std::string(160, 'a') +
                        "\r\nDesTrance3=c\r\n");
  EXPECT_EQ(b.GetDescription(-1), std::string(149, 'a') + "c");
  tvtest::writeFile(ini, "[Settings]\r\nDescription=-4\r\nDesTrance1=a\r\n");
  EXPECT_EQ(b.GetDescription(-1), "");

  // The count is cut to the number of keys the section holds, whichever
  // pieces are missing; an empty piece is a piece.
  const struct {
    const char* pieces;
    const char* description;
  } kCounts[] = {
      {"Description=3\r\nDesTrance1=a\r\nDesTrance2=b\r\nDesTrance3=c\r\nDesTrance4=d\r\n", "abc"},
      {"Description=1\r\nDesTrance1=a\r\nDesTrance2=b\r\n", "a"},
      {"Description=3\r\nDesTrance1=a\r\nDesTrance2=\r\nDesTrance3=c\r\n", "ac"},
      {"Description=4\r\nDesTrance1=a\r\nDesTrance3=c\r\nDesTrance4=d\r\n", "acd"},
      {"Description=5\r\nDesTrance2=b\r\nDesTrance5=e\r\n", "b"},
      {"Description=2\r\nDesTrance2=b\r\nTitle=t\r\nDesTrance1=a\r\n", "ab"},
  };
  for (const auto& c : kCounts) {
    tvtest::writeFile(ini, std::string("[Settings]\r\n") + c.pieces);
    EXPECT_EQ(b.GetDescription(-1), c.description) << c.pieces;
  }
}

// --- Where the source lies -------------------------------------------------------------------

class BookSourceTypeTest : public BookInfoTest {
 protected:
  void SetUp() override {
    BookInfoTest::SetUp();
    fs::create_directories(tvtest::sandbox().base / "cd");
    media = fs::canonical(tvtest::sandbox().base / "cd").string();
    const std::string text = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                             "21 20 11:0 / " + media + " ro - iso9660 /dev/sr0 ro\n"
                             "22 20 8:17 / /media/ann/stick rw - vfat /dev/sdb1 rw\n"
                             "23 20 0:50 / /net/home rw - nfs4 srv:/home rw\n";
    table = plat::fs::MountTable::parse(text);
    sys = tvtest::sandbox().base / "sys";
    fs::create_directories(sys);
  }
  COrv_BookInfo withMounts() {
    COrv_BookInfo b = book("ABC");
    b.SetMountTable(table, sys);
    return b;
  }
  std::string media;
  plat::fs::MountTable table;
  fs::path sys;
};

TEST_F(BookSourceTypeTest, SourceTypeBitsByDrive) {
  registered("ABC");
  COrv_BookInfo b = withMounts();
  struct Case {
    std::string path;
    int bits;
  };
  const Case cases[] = {
      {"/home/ann/book.tvl", 1},
      {media + "/BOOK.TVL", 8},
      {"/media/ann/stick/b.tvl", 8},
      {"/net/home/ann/b.tvl", 2},
      {"//server/share/dir/file.tvl", 2},  // a share by its server and name
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(b.SetSourceType(c.path, -1));
    EXPECT_EQ(b.GetSourceType(-1), c.bits) << c.path;
  }
  // No path: the stored bits with "no path" added.
  ASSERT_TRUE(b.SetSourceType(media + "/b.tvl", -1));
  ASSERT_TRUE(b.SetSourceType("", -1));
  EXPECT_EQ(b.GetSourceType(-1), 8 | 4);
  EXPECT_EQ(iniValue(b.GetIniPath(2), "Settings", "SourceType"), "12");

  COrv_BookInfo unknown = book("ABC");
  unknown.SetMountTable(plat::fs::MountTable{}, sys);
  ASSERT_TRUE(unknown.SetSourceType("/home/x", -1));
  EXPECT_EQ(unknown.GetSourceType(-1), 0);

  ASSERT_TRUE(b.SetSourceFile(4, "/x.tvl", false));
  ASSERT_TRUE(b.SetSourceType("//srv/s/x", 4));
  EXPECT_EQ(b.GetSourceType(4), 2);
  EXPECT_EQ(b.GetSourceType(5), 0);
}

TEST_F(BookSourceTypeTest, MediumTitleFromTheSourceFolder) {
  COrv_BookInfo reg = info();
  ASSERT_TRUE(reg.Register("ABC", media + "/BOOK.TVL", 0, false));
  COrv_BookInfo b = withMounts();
  ASSERT_TRUE(b.SetSourceType(media + "/BOOK.TVL", -1));

  EXPECT_EQ(b.GetMediumTitle(), "");  // neither file
  tvtest::writeFile(fs::path(media) / "STARTUP.INI", "[General]\r\nCDTitle=Start title\r\n");
  EXPECT_EQ(b.GetMediumTitle(), "Start title");
  tvtest::writeFile(fs::path(media) / "INSTALL.INF", "[Info]\r\nCDTitle=Install title\r\n");
  EXPECT_EQ(b.GetMediumTitle(), "Install title");
  tvtest::writeFile(fs::path(media) / "INSTALL.INF", "[Info]\r\nOther=1\r\n");
  EXPECT_EQ(b.GetMediumTitle(), "Start title");
  tvtest::writeFile(fs::path(media) / "STARTUP.INI", "[General]\r\nCDTitle=" + std::string(600, 'm') + "\r\n");
  EXPECT_EQ(b.GetMediumTitle(), std::string(510, 'm'));

  ASSERT_TRUE(b.SetSourceType("/home/ann/b.tvl", -1));  // a fixed drive has no medium
  EXPECT_EQ(b.GetMediumTitle(), "");
  ASSERT_TRUE(b.SetSourceFile(-1, "BOOK.TVL", true));    // no folder
  ASSERT_TRUE(b.SetSourceType(media + "/BOOK.TVL", -1));
  EXPECT_EQ(b.GetMediumTitle(), "");
}

}  // namespace

// --- The Echomark count of the status files -------------------------------------------

TEST_F(BookInfoTest, StatusFilesTakeTheirEchomarkCountFromTheInstalledBook) {
  COrv_Environment env;
  ASSERT_TRUE(env.SetDataPath(dataPath, true));
  orv::installBookInfoEchomarkCounts();
  COrv_BookInfo b = registered("abc");
  ASSERT_TRUE(b.SetNumQuotes(12));
  struct Case {
    const char* code;
    int count;
  } cases[] = {{"abc", 12}, {"ABC", 12}, {"xyz", -1}, {"../abc", -1}, {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(orv::echomarkCountSource()->echomarkCount(c.code), c.count) << c.code;
  ASSERT_TRUE(b.SetNumQuotes(-5));
  EXPECT_EQ(orv::echomarkCountSource()->echomarkCount("abc"), 0);
}
