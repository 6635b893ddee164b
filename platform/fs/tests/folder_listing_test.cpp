#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/fs/folder_listing.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

TEST(Pattern, WildcardsWithoutRegardToCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.tpk", "BOOK.TPK", true},
      {"*.TVL", "course.tvl", true},
      {"*.tpk", "book.tpkx", false},
      {"*.tpk", "book.tp", false},
      {"?ook.tvl", "Book.tvl", true},
      {"?ook.tvl", "ook.tvl", false},
      {"*", "", true},
      {"*.*", "no_dot", true},
      {"book.*", "BOOK", true},  // a final ".*" also matches no extension
      {"book.*", "books", false},
      {"book.*", "book.tpk", true},
      {"*.~dt", "X.~DT", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"*a*", "bbb", false},
      {"", "", true},
      {"", "a", false},
      // Letters beyond ASCII fold; '?' takes one character, not one byte.
      {"ÉCOLE*", "école.txt", true},
      {"ÄÖÜ.txt", "äöü.TXT", true},
      {"ŁÓDŹ", "łódź", true},
      {"ПРИВЕТ.*", "привет.tvl", true},
      {"ΑΒΓ", "αβγ", true},
      {"?", "é", true},
      {"??", "é", false},
      {"×", "÷", false},  // not letters: no folding
      // A byte that is not UTF-8 is one unit that matches itself.
      {"x?y", "x\xffy", true},
      {"x\xff", "x\xff", true},
      {"x\xc3", "x\xe3", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(matchesPattern(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
  EXPECT_TRUE(equalNoCase("Orv_MLfre.RES", "ORV_MLFRE.res"));
  EXPECT_FALSE(equalNoCase("a", "ab"));
}

TEST(Pattern, LongNamesDoNotBacktrackWithoutEnd) {
  const std::string name(5000, 'a');
  EXPECT_FALSE(matchesPattern("*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(matchesPattern("*a*a*a*a*a*a*a*", name));
}

TEST(FolderListing, ListsByPatternAndKind) {
  const fs::path d = tvtest::sandbox().base / "packets";
  tvtest::writeFile(d / "b.tpk", "b");
  tvtest::writeFile(d / "A.TPK", "a");
  tvtest::writeFile(d / "c.tvl", "c");
  fs::create_directory(d / "d.Tpk");
  fs::create_symlink(d / "b.tpk", d / "e.tpk");
  fs::create_directory_symlink(d / "d.Tpk", d / "f.tpk");

  auto listed = [&](const char* pattern, EntryKinds kinds) {
    std::vector<FolderEntry> out;
    EXPECT_FALSE(listFolder(d, pattern, out, kinds));
    std::string s;
    for (const FolderEntry& e : out)
      s += e.name + (e.folder ? "/" : "") + (e.link ? "@" : "") + " ";
    return s;
  };
  EXPECT_EQ(listed("*.tpk", EntryKinds::Files), "A.TPK b.tpk e.tpk@ ");
  EXPECT_EQ(listed("*.TPK", EntryKinds::Folders), "d.Tpk/ f.tpk/@ ");
  EXPECT_EQ(listed("*.*", EntryKinds::All), "A.TPK b.tpk c.tvl d.Tpk/ e.tpk@ f.tpk/@ ");
  EXPECT_EQ(listed("*.wav", EntryKinds::All), "");
}

TEST(FolderListing, MissingFolderAndInjectedFailure) {
  std::vector<FolderEntry> out{{"stale", false, false}};
  EXPECT_EQ(listFolder(tvtest::sandbox().base / "none", "*", out),
            std::errc::no_such_file_or_directory);
  EXPECT_TRUE(out.empty());
  FaultScope scope;
  injectFault(FaultOp::Open, "home", EIO);
  EXPECT_EQ(listFolder(tvtest::sandbox().home, "*", out), std::errc::io_error);
  EXPECT_FALSE(listFolder(tvtest::sandbox().home, "*", out));
  EXPECT_FALSE(out.empty());
}

}  // namespace
