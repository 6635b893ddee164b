#include "player/book/grammar_archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/book/tests/grammar_archive_fixture.h"

namespace {

namespace fs = std::filesystem;
using grammar_fixture::Page;

// Anchor keys repeat across pages, so a lookup must keep to its page's range;
// the last page's last anchor is the last record of the anchor table.
const std::vector<Page>& book() {
  static const std::vector<Page> pages = {
      {"0001", "Articles", {{"a", "Definite article"}, {"b", "Indefinite article"}}},
      {"0007", "Pronouns", {{"a", "Personal pronouns"}}},
      {"0009", "Adverbs", {}},
      {"0012", "Verbs", {{"a", "Present tense"}, {"past", "Past tense"}, {"z", "Subjunctive"}}},
  };
  return pages;
}

class GrammarArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = tvtest::sandbox().base / "arch";
    archive.SetFolder(folder);
  }
  fs::path folder;
  COrv_GrammarArchive archive{fs::path("/opt/talvane")};
};

TEST_F(GrammarArchive, FindsPagesAndAnchorsOfEveryRecord) {
  grammar_fixture::write(folder, book());
  struct Case {
    const char* link;
    const char* title;
  } cases[] = {
      {"0001", "Articles"},            // page only, first page
      {"0001#a", "Definite article"},  // first anchor record
      {"0001#b", "Indefinite article"},
      {"0007#a", "Personal pronouns"},  // same anchor key, its own page
      {"0009", "Adverbs"},
      {"0012", "Verbs"},               // last page record
      {"0012#past", "Past tense"},
      {"0012#z", "Subjunctive"},       // last anchor record
      {"0012#a#b", ""},                // split at the first '#'
      {"0012#missing", ""},            // missing anchor: not the page title
      {"0009#a", ""},                  // page without anchors
      {"0012#", ""},
      {"0001#A", ""},                  // keys are case-sensitive
      {"001#a", ""},
      {"0099", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(archive.FindTitle(c.link), c.title) << c.link;
}

TEST_F(GrammarArchive, SinglePageArchive) {
  grammar_fixture::write(folder, {{"0003", "Nouns", {{"pl", "Plural"}}}});
  EXPECT_EQ(archive.FindTitle("0003"), "Nouns");
  EXPECT_EQ(archive.FindTitle("0003#pl"), "Plural");
}

// A title that fills its field without its terminating zero ends with the
// field: nothing of the bytes after it in the record (counts, numbers)
// and nothing of the next record becomes part of it.
TEST_F(GrammarArchive, ATitleWithoutItsEndIsCutAtItsField) {
  std::string pages = grammar_fixture::pageTable(book());
  std::string anchors = grammar_fixture::anchorTable(book());
  const std::string pageTitle = "Artic" + std::string(127, 'A');   // the 132 bytes at 9
  const std::string anchorTitle = "Plur" + std::string(126, 'B');  // the 130 bytes at 29
  pages.replace(145 + 9, pageTitle.size(), pageTitle);
  grammar_fixture::write(folder, pages, anchors);
  EXPECT_EQ(archive.FindTitle("0001"), pageTitle);
  const int first = static_cast<unsigned char>(pages[145 + 143]) | static_cast<unsigned char>(pages[145 + 144]) << 8;
  ASSERT_GE(first, 1);
  anchors.replace(159 * static_cast<size_t>(first) + 29, anchorTitle.size(), anchorTitle);
  grammar_fixture::write(folder, pages, anchors);
  const std::string key(anchors.data() + 159 * static_cast<size_t>(first));
  EXPECT_EQ(archive.FindTitle("0001#" + key), anchorTitle);
}

TEST_F(GrammarArchive, MalformedFilesGiveNoTitle) {
  const std::string pages = grammar_fixture::pageTable(book());
  const std::string anchors = grammar_fixture::anchorTable(book());
  auto withTag = [](std::string bytes, const char* tag) { return bytes.replace(0, 4, tag, 4); };
  struct Case {
    const char* what;
    std::string pages, anchors;
    const char* link;
    const char* title;
  } cases[] = {
      {"bad page tag", withTag(pages, "GPX"), anchors, "0001", ""},
      {"bad anchor tag", pages, withTag(anchors, "GPT"), "0001", ""},
      {"tag without zero", withTag(pages, "GPTX"), anchors, "0001", ""},
      {"short page header", pages.substr(0, 144), anchors, "0001", ""},
      {"short anchor header", pages, anchors.substr(0, 100), "0001", ""},
      {"last page record cut", pages.substr(0, pages.size() - 1), anchors, "0012", ""},
      {"earlier page before the cut", pages.substr(0, pages.size() - 1), anchors, "0009", "Adverbs"},
      {"last anchor record cut", pages, anchors.substr(0, anchors.size() - 1), "0012#z", ""},
      {"count past the records", grammar_fixture::pageTable(book(), 32767), anchors, "0077", ""},
      {"negative count", grammar_fixture::pageTable(book(), -2 & 0xFFFF), anchors, "0001", ""},
  };
  for (const Case& c : cases) {
    grammar_fixture::write(folder, c.pages, c.anchors);
    EXPECT_EQ(archive.FindTitle(c.link), c.title) << c.what;
  }
  fs::remove_all(folder);
  EXPECT_EQ(archive.FindTitle("0001"), "") << "missing files";
}

TEST_F(GrammarArchive, HostileAnchorRangesStayInTheFile) {
  // A page whose anchor range points before the first record, at it, far
  // past the file, or runs on past the table's end.
  std::string pages = grammar_fixture::pageTable(book());
  const std::string anchors = grammar_fixture::anchorTable(book());
  auto page1 = [&](int count, int first) {
    std::string p = pages;
    grammar_fixture::putI16(p, 145 + 141, count);
    grammar_fixture::putI16(p, 145 + 143, first);
    return p;
  };
  struct Case {
    int count, first;
    const char* link;
    const char* title;
  } cases[] = {
      {2, 0, "0001#a", ""},        // anchor 0 would be the header
      {2, -1 & 0xFFFF, "0001#a", ""},
      {-1 & 0xFFFF, 1, "0001#a", ""},
      {32767, 32767, "0001#a", ""},
      {32767, 6, "0001#z", "Subjunctive"},  // runs on to the last record
      {32767, 6, "0001#nothing", ""},       // then stops at the end
      {3, 5, "0001#past", "Past tense"},
  };
  for (const Case& c : cases) {
    grammar_fixture::write(folder, page1(c.count, c.first), anchors);
    EXPECT_EQ(archive.FindTitle(c.link), c.title) << c.count << " " << c.first << " " << c.link;
  }
}

TEST_F(GrammarArchive, FullTablesAreReadInBoundedTime) {
  std::vector<Page> pages(32767);
  for (size_t i = 0; i < pages.size(); ++i) pages[i] = {std::to_string(i + 1), "T", {}};
  pages.back().anchors.resize(32767, {"k", "t"});
  pages.back().anchors.back() = {"last", "Last one"};
  grammar_fixture::write(folder, pages);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(archive.FindTitle("32767#last"), "Last one");
  EXPECT_EQ(archive.FindTitle("nothing#x"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(GrammarArchive, FieldsAndTitleEncoding) {
  std::vector<Page> pages = {
      {"123456789", "Nine-byte key", {{std::string(29, 'k'), std::string(130, 't')}}},
      {"0002", "Caf\xe9 cr\xe8me", {{"e", "\x80uro \x95"}}},
      {"0003", "Déjà vu", {}},
  };
  grammar_fixture::write(folder, pages);
  EXPECT_EQ(archive.FindTitle("123456789"), "Nine-byte key");  // a key filling its field
  EXPECT_EQ(archive.FindTitle("123456789#" + std::string(29, 'k')), std::string(130, 't'));
  EXPECT_EQ(archive.FindTitle("0002"), "Café crème");
  EXPECT_EQ(archive.FindTitle("0002#e"), "€uro •");
  EXPECT_EQ(archive.FindTitle("0003"), "Déjà vu");
}

TEST_F(GrammarArchive, FindTitlesFillsTheSameIndexes) {
  grammar_fixture::write(folder, book());
  std::vector<std::string> titles = {"old", "old", "old", "old", "kept"};
  EXPECT_EQ(archive.FindTitles({"0007#a", "nope", "0012"}, titles), 3);
  EXPECT_EQ(titles, (std::vector<std::string>{"Personal pronouns", "", "Verbs", "old", "kept"}));
  titles.clear();
  EXPECT_EQ(archive.FindTitles({"0001#b", "0009"}, titles), 2);
  EXPECT_EQ(titles, (std::vector<std::string>{"Indefinite article", "Adverbs"}));
  EXPECT_EQ(archive.FindTitles({}, titles), 0);
}

TEST(GrammarArchivePaths, FolderBelowTheProgramFolder) {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  COrv_GrammarArchive fromFolder(fs::path("/opt/talvane"));
  EXPECT_EQ(fromFolder.GetFolder(), fs::path("/opt/talvane/Gramm/Arch"));
  EXPECT_EQ(fromFolder.GetPagePath(), fs::path("/opt/talvane/Gramm/Arch/Grammar.GPT"));
  EXPECT_EQ(fromFolder.GetAnchorPath(), fs::path("/opt/talvane/Gramm/Arch/Grammar.GPB"));
  fromFolder.SetFolder("/srv/arch/");
  EXPECT_EQ(fromFolder.GetPagePath(), fs::path("/srv/arch/Grammar.GPT"));

  const fs::path program = tvtest::sandbox().base / "prog";
  ::setenv(plat::fs::kProgramFolderVariable, program.c_str(), 1);
  COrv_GrammarArchive running;
  ::unsetenv(plat::fs::kProgramFolderVariable);
  EXPECT_EQ(running.GetFolder(), program / "Gramm" / "Arch");
  EXPECT_TRUE(sink.boxes().empty());

  COrv_GrammarArchive unknown{fs::path()};
  EXPECT_TRUE(unknown.GetFolder().empty());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, "Player Error !\n\nI can't find the path of the Grammar Browser");
}

}  // namespace
