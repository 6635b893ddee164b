#include "player/book/info_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ids = std::vector<std::uint32_t>;
using Names = std::vector<std::string>;

TEST(TextInfo, SameLanguageReplacesNewLanguageTakesTheNextIndex) {
  COrv_CommentInfo c;
  c.SetText("first", 9);
  c.SetText("second", 9);
  EXPECT_EQ(c.GetText(9), "second");
  EXPECT_EQ(c.FindKey(9), 0);
  c.SetText("autre", 3);
  EXPECT_EQ(c.FindKey(3), 1);
  EXPECT_EQ(c.GetText(3), "autre");
  EXPECT_EQ(c.GetText(9), "second");
  EXPECT_EQ(c.GetText(4), "");
  EXPECT_EQ(c.GetKeyCount(), 2);
  c.Clear();
  EXPECT_EQ(c.GetText(9), "");
  c.SetText("again", 5);
  EXPECT_EQ(c.FindKey(5), 0);
}

TEST(DictionaryInfo, EntriesByLanguageAndWord) {
  COrv_DictionaryInfo d;
  d.Add(4, "chat", "cat", "a small animal", 1);
  d.Add(2, "chien", "dog", "a loyal animal", 1);
  d.Add(4, "Katze", "cat", "ein Tier", 2);
  d.Add(4, "chat", "cat", "replaced", 1);

  EXPECT_EQ(d.GetDefinition(4, 1), "replaced");
  EXPECT_EQ(d.GetFirstText(4, 2), "Katze");
  EXPECT_EQ(d.GetSecondText(2, 1), "dog");
  EXPECT_EQ(d.GetDefinition(2, 2), "");
  EXPECT_EQ(d.GetFirstText(9, 1), "");
  EXPECT_EQ(d.FindKeyPair(1, 4), 0);  // replaced in place
  EXPECT_EQ(d.FindKeyPair(2, 4), 2);

  ASSERT_EQ(d.GetWordCount(), 2);
  EXPECT_EQ(d.GetWordAt(1), 4u);
  EXPECT_EQ(d.GetWordAt(2), 2u);
  EXPECT_EQ(d.GetWordAt(0), 0u);
  EXPECT_EQ(d.GetWordAt(3), 0u);
  EXPECT_EQ(d.FindWord(2), 2);
  EXPECT_EQ(d.FindWord(7), -1);
}

TEST(LinkInfo, DuplicatesDroppedQueriesAppend) {
  COrv_LinkInfo l;
  EXPECT_FALSE(l.HasLinks());
  Ids none;
  none.push_back(42);
  EXPECT_EQ(l.CollectIds(none), 0);  // an empty list answers 0 whatever ids holds

  l.Add("12", 3);
  l.Add("7", 3);
  l.Add("12", 3);  // same name and id: dropped
  l.Add("12", 5);
  EXPECT_EQ(l.GetLinkCount(), 3);
  EXPECT_TRUE(l.HasLinks());

  Names names{"x"};
  EXPECT_EQ(l.GetLinks(3, names), 3);
  EXPECT_EQ(names, (Names{"x", "12", "7"}));
  Ids ids{9};
  EXPECT_EQ(l.FindIds("12", ids), 3);
  EXPECT_EQ(ids, (Ids{9, 3, 5}));
  Ids collected{5};
  EXPECT_EQ(l.CollectIds(collected), 2);
  EXPECT_EQ(collected, (Ids{5, 3}));

  EXPECT_TRUE(l.HasId(5));
  EXPECT_FALSE(l.HasId(4));
  EXPECT_TRUE(l.HasName("7"));
  EXPECT_FALSE(l.HasName("1"));
  l.Clear();
  EXPECT_FALSE(l.HasLinks());
}

TEST(WordInfo, SortedAndPlainLists) {
  COrv_WordInfo w;
  for (std::uint32_t n : {5u, 3u, 9u, 3u}) w.AddSorted(n);
  ASSERT_EQ(w.GetSortedCount(), 4);
  EXPECT_EQ((Ids{w.GetSortedAt(1), w.GetSortedAt(2), w.GetSortedAt(3), w.GetSortedAt(4)}),
            (Ids{3, 3, 5, 9}));
  EXPECT_EQ(w.GetSortedAt(5), 0u);
  EXPECT_EQ(w.GetSortedAt(0), 0u);

  w.AddList8(7);
  w.AddList8(2);  // plain lists keep their order
  w.AddList16(11);
  EXPECT_EQ(w.GetList8Count(), 2);
  EXPECT_EQ(w.GetList8At(1), 7u);
  EXPECT_EQ(w.GetList8At(2), 2u);
  EXPECT_EQ(w.GetList8At(3), 0u);
  EXPECT_EQ(w.GetList16At(1), 11u);
  EXPECT_EQ(w.GetList16At(2), 0u);

  w.SetText("Le chat", 1);
  w.Clear();
  EXPECT_EQ(w.GetSortedCount() + w.GetList8Count() + w.GetList16Count(), 0);
  EXPECT_EQ(w.GetText(1), "");
}

}  // namespace

// --- Media spots -------------------------------------------------------------------

#include <filesystem>

#include "platform/fs/fault.h"
#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"
#include "player/book/talvane.h"
#include "tools/book/spot_file.h"

namespace {

namespace fs = std::filesystem;

using tvtools::book::SpotGroup;
using tvtools::book::spotFile;

void put16(std::string& s, size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, size_t at, std::uint32_t v) {
  put16(s, at, v & 0xFFFF);
  put16(s, at + 2, v >> 16);
}

class FakeSpotHost : public COrv_SpotHost {
 public:
  COrv_SpotDate Today() const override { return today; }
  void ScreenSize(int& w, int& h) const override {
    w = 1280;
    h = 1024;
  }
  fs::path ViewerProgram(int kind) const override { return kind == 0 ? viewer : fs::path(); }
  bool Start(const fs::path& program, const std::vector<std::string>& args, int wait) override {
    starts.push_back({program, args, wait});
    return startResult;
  }
  struct Started {
    fs::path program;
    std::vector<std::string> args;
    int wait;
  };
  COrv_SpotDate today{2003, 12, 31};
  fs::path viewer;
  bool startResult = true;
  std::vector<Started> starts;
};

struct SpotFixture : ::testing::Test {
  void SetUp() override {
    base = tvtest::sandbox().base;
    out = base / "out";
    fs::create_directories(out);
    host.viewer = base / "pelvara";
    tvtest::writeFile(host.viewer, "#!/bin/sh\n");
  }
  // Writes the file and hands it to a list that extracts into `out`.
  void load(const std::string& bytes, bool expectLoaded = true) {
    spotPath = base / "spots.mf1";
    tvtest::writeFile(spotPath, bytes);
    spots.SetFolder(out);
    spots.SetFilePath(spotPath);
    EXPECT_EQ(spots.Load(), expectLoaded);
  }
  std::vector<SpotGroup> twoGroups() {
    SpotGroup a;
    a.items = {{"intro.htm", 640, 480, "<html>a</html>"}, {"pic.png", 0, 0, "PNGDATA"}};
    a.main = 1;
    a.trigger = 2;
    a.day = 31;
    a.month = 12;
    a.year = 2003;
    SpotGroup b;
    b.items = {{"b.htm", 0, 300, "bee"}};
    b.trigger = 0;
    return {a, b};
  }

  fs::path base, out, spotPath;
  FakeSpotHost host;
  COrv_SpotInfo spots{&host};
};

TEST_F(SpotFixture, LoadsGroupsAndMainItems) {
  load(spotFile(twoGroups()));
  ASSERT_EQ(spots.GetGroupCount(), 2);
  EXPECT_EQ(spots.GetItemCount(1), 2);
  EXPECT_EQ(spots.GetItemCount(2), 1);
  EXPECT_EQ(spots.GetMainItem(1), 1);
  EXPECT_EQ(spots.GetMainItemName(1), "intro.htm");
  int w = 0, h = 0;
  EXPECT_TRUE(spots.GetMainItemSize(1, w, h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(spots.GetMainItemName(2), "b.htm");
  EXPECT_EQ(spots.GetMainItem(3), 0);
  EXPECT_EQ(spots.GetMainItemName(0), "");
  EXPECT_FALSE(spots.Load());  // loaded already
}

TEST_F(SpotFixture, MainItemOutsideTheGroupIsNone) {
  auto groups = twoGroups();
  groups[0].main = 3;
  load(spotFile(groups));
  EXPECT_EQ(spots.GetMainItem(1), 0);
  int w = 0, h = 0;
  EXPECT_FALSE(spots.GetMainItemSize(1, w, h));
  EXPECT_EQ(spots.GetMainItemName(1), "");
  EXPECT_FALSE(spots.StartViewer(1));
}

TEST_F(SpotFixture, MalformedFilesLoadNothing) {
  const std::string good = spotFile(twoGroups());
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases;
  {
    std::string s = good;
    put32(s, 0, 19);  // header size smaller than the first group's position
    cases.push_back({"size before the first group", s});
  }
  cases.push_back({"short header", good.substr(0, 19)});
  cases.push_back({"group record cut", good.substr(0, 40)});
  cases.push_back({"item record cut", good.substr(0, 20 + 32 + 100)});
  {
    std::string s = good;
    put32(s, 20 + 32, 265);  // an item smaller than its record
    cases.push_back({"item below its record", s});
  }
  {
    std::string s = good;
    for (size_t i = 20 + 32 + 8; i < 20 + 32 + 266; ++i) s[i] = 'n';  // no terminator
    cases.push_back({"unterminated name", s});
  }
  {
    std::string s = good;
    put32(s, 4, 0xFFFFFF00u);  // a negative step
    cases.push_back({"negative step", s});
  }
  {
    // Every group steps 0 to itself: 65535 groups reading the same bytes.
    std::string s = good;
    put16(s, 10, 0xFFFF);
    put32(s, 20, 0);
    cases.push_back({"groups looping over the same bytes", s});
  }
  {
    std::string s = good;
    put16(s, 10, 0xFFFF);
    cases.push_back({"a group count the file has no room for", s});
  }
  {
    std::string s = good;
    put16(s, 20 + 8, 0xFFFF);
    cases.push_back({"an item count the file has no room for", s});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    COrv_SpotInfo list(&host);
    tvtest::writeFile(base / "bad.mf1", c.bytes);
    list.SetFilePath(base / "bad.mf1");
    EXPECT_FALSE(list.Load());
    EXPECT_FALSE(list.IsLoaded());
    EXPECT_EQ(list.GetGroupCount(), 0);
    EXPECT_EQ(list.GetEntryCount(), 0);
  }
  COrv_SpotInfo noPath(&host);
  EXPECT_FALSE(noPath.Load());
  COrv_SpotInfo missing(&host);
  missing.SetFilePath(base / "missing.mf1");
  EXPECT_FALSE(missing.Load());
}

TEST_F(SpotFixture, ExpiryComparesYearMonthDay) {
  load(spotFile(twoGroups()));
  struct Case {
    COrv_SpotDate today;
    bool expired;
  };
  for (const Case& c : {Case{{2003, 12, 31}, false}, Case{{2004, 1, 1}, true},
                        Case{{2003, 12, 30}, false}, Case{{2003, 11, 31}, false},
                        Case{{2002, 12, 31}, false}, Case{{2004, 12, 30}, true}}) {
    host.today = c.today;
    SCOPED_TRACE(c.today.year * 10000 + c.today.month * 100 + c.today.day);
    EXPECT_EQ(spots.IsExpired(1), c.expired);
    EXPECT_FALSE(spots.IsExpired(2));  // an all-zero date never expires
  }
  EXPECT_TRUE(spots.IsExpired(3));
  COrv_SpotInfo unloaded(&host);
  EXPECT_TRUE(unloaded.IsExpired(1));
}

TEST_F(SpotFixture, ExtractWritesAGroupAndReplacesTheOther) {
  load(spotFile(twoGroups()));
  ASSERT_TRUE(spots.Extract(1));
  EXPECT_EQ(tvtest::readFile(out / "intro.htm"), "<html>a</html>");
  EXPECT_EQ(tvtest::readFile(out / "pic.png"), "PNGDATA");
  EXPECT_EQ(spots.GetExtractedGroup(), 1);
  ASSERT_TRUE(spots.Extract(2));
  EXPECT_EQ(tvtest::readFile(out / "b.htm"), "bee");
  EXPECT_FALSE(fs::exists(out / "intro.htm"));
  EXPECT_FALSE(fs::exists(out / "pic.png"));
  EXPECT_FALSE(spots.Extract(0));
  EXPECT_FALSE(spots.Extract(3));

  spots.Clear();  // deletes the extracted files and the spot file
  EXPECT_FALSE(fs::exists(out / "b.htm"));
  EXPECT_FALSE(fs::exists(spotPath));
  EXPECT_TRUE(spots.GetFilePath().empty());
  EXPECT_FALSE(spots.IsLoaded());
  EXPECT_FALSE(spots.Extract(1));
}

TEST_F(SpotFixture, NamesThatLeaveTheFolderAreRefused) {
  for (const char* name : {"../x", "a/b", "..", "sub\\x", ""}) {
    SCOPED_TRACE(name);
    auto groups = twoGroups();
    groups[0].items[1].name = name;
    COrv_SpotInfo list(&host);
    tvtest::writeFile(base / "n.mf1", spotFile(groups));
    list.SetFolder(out);
    list.SetFilePath(base / "n.mf1");
    ASSERT_TRUE(list.Load());
    EXPECT_FALSE(list.Extract(1));
    // The item written before the bad one is gone again; nothing outside.
    EXPECT_FALSE(fs::exists(out / "intro.htm"));
    EXPECT_FALSE(fs::exists(base / "x"));
    EXPECT_EQ(list.GetExtractedGroup(), 0);
  }
}

// A link planted where an item will be written is not followed: the item
// is written in its place, and the file the link named stays as it was.
TEST_F(SpotFixture, APlantedLinkIsNotFollowed) {
  load(spotFile(twoGroups()));
  const fs::path victim = base / "victim.txt";
  tvtest::writeFile(victim, "precious");
  fs::create_symlink(victim, out / "pic.png");
  ASSERT_TRUE(spots.Extract(1));
  EXPECT_EQ(tvtest::readFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(out / "pic.png"));
  EXPECT_EQ(tvtest::readFile(out / "pic.png"), "PNGDATA");

  // Without a folder of its own, nothing is written anywhere.
  COrv_SpotInfo homeless(&host);
  homeless.SetFilePath(spotPath);
  ASSERT_TRUE(homeless.Load());
  EXPECT_FALSE(homeless.Extract(2));
  EXPECT_FALSE(fs::exists("b.htm"));
}

// The player's private folder: made 0700 under the runtime folder, and
// refused when something else stands at its name.
TEST(PrivateFolder, IsTheUsersOwnAndNeverALink) {
  const fs::path runtime = tvtest::sandbox().base / "runtime";
  fs::create_directories(runtime);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const fs::path spots = plat::fs::privateFolder("spots");
  EXPECT_EQ(spots, runtime / "talvane-spots");
  EXPECT_EQ(fs::status(spots).permissions() & fs::perms::all, fs::perms::owner_all);
  COrv_Talvane book;
  EXPECT_EQ(book.Spots().GetFolder(), spots);

  const fs::path elsewhere = tvtest::sandbox().base / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_symlink(elsewhere, runtime / "talvane-planted");
  EXPECT_TRUE(plat::fs::privateFolder("planted").empty());
  EXPECT_TRUE(plat::fs::privateFolder("../x").empty());
}

TEST_F(SpotFixture, FailedExtractionLeavesNoFile) {
  load(spotFile(twoGroups()));
  {
    plat::fs::FaultScope scope;
    plat::fs::injectFault(plat::fs::FaultOp::Write, "pic.png", EIO);
    EXPECT_FALSE(spots.Extract(1));
  }
  EXPECT_FALSE(fs::exists(out / "intro.htm"));
  EXPECT_FALSE(fs::exists(out / "pic.png"));
  // Item data cut short by the end of the file.
  auto groups = twoGroups();
  std::string bytes = spotFile(groups);
  bytes.resize(bytes.size() - 1);
  COrv_SpotInfo cut(&host);
  tvtest::writeFile(base / "cut.mf1", bytes);
  cut.SetFolder(out);
  cut.SetFilePath(base / "cut.mf1");
  ASSERT_TRUE(cut.Load());
  EXPECT_TRUE(cut.Extract(1));
  EXPECT_FALSE(cut.Extract(2));
  EXPECT_FALSE(fs::exists(out / "b.htm"));
}

TEST_F(SpotFixture, ViewerStartsCentredWithTheMainItem) {
  load(spotFile(twoGroups()));
  EXPECT_TRUE(spots.IsViewerAvailable(0));
  EXPECT_FALSE(spots.IsViewerAvailable(1));
  ASSERT_TRUE(spots.StartViewer(1));
  ASSERT_EQ(host.starts.size(), 1u);
  EXPECT_EQ(host.starts[0].program, host.viewer);
  EXPECT_EQ(host.starts[0].args,
            (std::vector<std::string>{(out / "intro.htm").string(), "320", "272", "960", "752",
                                      "10000"}));
  EXPECT_EQ(host.starts[0].wait, 2000);
  // A zero width becomes 400.
  ASSERT_TRUE(spots.StartViewer(2));
  EXPECT_EQ(host.starts[1].args[1], "440");
  EXPECT_EQ(host.starts[1].args[3], "840");
  EXPECT_EQ(host.starts[1].args[2], "362");

  host.startResult = false;
  EXPECT_FALSE(spots.StartViewer(2));
  fs::remove(host.viewer);
  EXPECT_FALSE(spots.IsViewerAvailable(0));
  EXPECT_FALSE(spots.StartViewer(2));
  EXPECT_EQ(host.starts.size(), 3u);
}

TEST_F(SpotFixture, TriggerStartsTheFirstLiveGroupOfThatKey) {
  auto groups = twoGroups();
  SpotGroup third;
  third.items = {{"c.htm", 10, 10, "c"}};
  third.trigger = 2;
  groups.push_back(third);
  load(spotFile(groups));

  host.today = {2003, 12, 31};
  ASSERT_TRUE(spots.StartByTrigger(2));
  EXPECT_EQ(host.starts.back().args[0], (out / "intro.htm").string());
  host.today = {2004, 1, 1};  // group 1 has expired: group 3 is next
  ASSERT_TRUE(spots.StartByTrigger(2));
  EXPECT_EQ(host.starts.back().args[0], (out / "c.htm").string());
  ASSERT_TRUE(spots.StartByTrigger(0));
  EXPECT_EQ(host.starts.back().args[0], (out / "b.htm").string());
  EXPECT_FALSE(spots.StartByTrigger(1));
  EXPECT_EQ(host.starts.size(), 3u);

  COrv_SpotInfo unloaded(&host);
  EXPECT_FALSE(unloaded.StartByTrigger(0));
}

TEST_F(SpotFixture, ANewSpotFileReplacesTheOld) {
  load(spotFile(twoGroups()));
  ASSERT_TRUE(spots.Extract(2));
  const fs::path next = base / "next.mf1";
  tvtest::writeFile(next, spotFile(twoGroups()));
  spots.SetFilePath(next);
  EXPECT_FALSE(fs::exists(spotPath));
  EXPECT_FALSE(fs::exists(out / "b.htm"));
  EXPECT_TRUE(spots.Load());
}

}  // namespace
