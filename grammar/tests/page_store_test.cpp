// The page store: set-up, unpacking of packed pages, the working copies'
// life, and page requests that point outside the working folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "grammar/page_store.h"
#include "grammar/tests/page_fixture.h"
#include "platform/ui/recording_sink.h"

namespace fs = std::filesystem;
using brindletest::PageFolder;

namespace {

std::vector<std::string> texts(const plat::ui::RecordingSink& sink) {
  std::vector<std::string> out;
  for (const auto& box : sink.boxes()) out.push_back(box.request.text);
  return out;
}

std::string gzipOf(std::string_view html) {
  std::string packed = tvtools::packPage(html);
  tvtools::scrambleHead(packed, false);
  return packed;
}

TEST(PageStoreTest, SetUpMakesTheFoldersAndUnpacksTheIndex) {
  PageFolder f;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  {
    CBrindlePageStore store(f.work, f.program);
    EXPECT_EQ(store.SetUp(), std::nullopt);
    EXPECT_TRUE(sink.boxes().empty());
    EXPECT_EQ(store.CurrentPage(), "#");
    EXPECT_EQ(store.IndexPage(), f.work / "0000.htm");
    EXPECT_EQ(tvtest::readFile(f.work / "0000.htm"), brindletest::kIndexHtml);
    EXPECT_TRUE(fs::is_directory(f.work / "Images"));

    // A page's pictures come along, whatever their case; other pages' do not.
    ASSERT_TRUE(store.BeforeNavigate((f.work / "0012.htm").string()));
    EXPECT_EQ(tvtest::readFile(f.work / "0012.htm"), brindletest::kVerbsHtml);
    EXPECT_EQ(tvtest::readFile(f.work / "Images" / "0012a.png"), "picture a");
    EXPECT_TRUE(fs::exists(f.work / "Images" / "0012B.PNG"));
    EXPECT_FALSE(fs::exists(f.work / "Images" / "0013a.png"));
  }
  // The store's end removes every page and picture it unpacked.
  EXPECT_FALSE(fs::exists(f.work / "0000.htm"));
  EXPECT_FALSE(fs::exists(f.work / "0012.htm"));
  EXPECT_TRUE(fs::is_empty(f.work / "Images"));
}

TEST(PageStoreTest, FatalSetUpFailuresTellAndGiveTheExitCode) {
  struct Case {
    const char* what;
    bool noProgram;
    bool workIsFile;
    bool imagesIsFile;
    const char* index;  // nullptr: no index file; "" keep the good one
    int code;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"working folder is a file", false, true, false, "", 0,
       {"Fatal Error !\n\nI can't create the working directory ~tmp"}},
      {"images folder is a file", false, false, true, "", 0,
       {"Fatal Error !\n\nI can't create the target directory Images"}},
      {"no program folder", true, false, false, "", 0,
       {"Fatal Error !\n\nI can't find the path of the source directory"}},
      {"no index", false, false, false, nullptr, 100,
       {"I can't copy the file into Temp dir", "An error occured copying the Index"}},
      {"index not a gzip stream", false, false, false, "<html>plain</html>", 100,
       {"I can't decompress a file", "An error occured copying the Index"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PageFolder f;
    fs::remove_all(f.work);
    if (c.workIsFile) tvtest::writeFile(f.work, "x");
    if (c.imagesIsFile) {
      fs::create_directories(f.work);
      tvtest::writeFile(f.work / "Images", "x");
    }
    if (c.index == nullptr) fs::remove(f.gramm / "0000.cht");
    else if (*c.index != '\0') tvtest::writeFile(f.gramm / "0000.cht", c.index);
    plat::ui::RecordingSink sink;
    plat::ui::ScopedSink scoped(sink);
    CBrindlePageStore store(f.work, c.noProgram ? fs::path() : f.program);
    EXPECT_EQ(store.SetUp(), std::optional<int>(c.code));
    EXPECT_EQ(texts(sink), c.messages);
    EXPECT_FALSE(fs::exists(f.work / "0000.htm"));
    fs::remove_all(f.work);
  }
}

TEST(PageStoreTest, OnlyAPrivateWorkingFolderOfOurOwnIsUsed) {
  enum class Place { LinkAsWork, LinkAsImages, ForeignWork, OpenWork, OpenImages, NoWork };
  struct Case {
    const char* what;
    Place place;
    std::optional<int> code;
    std::vector<std::string> messages;
  };
  const std::string noWork = "Fatal Error !\n\nI can't create the working directory ~tmp";
  const std::string noImages = "Fatal Error !\n\nI can't create the target directory Images";
  const std::vector<Case> cases = {
      {"a link in place of the working folder", Place::LinkAsWork, 0, {noWork}},
      {"a link in place of the images folder", Place::LinkAsImages, 0, {noImages}},
      {"a working folder of another user", Place::ForeignWork, 0, {noWork}},
      {"no private folder to be had", Place::NoWork, 0, {noWork}},
      {"our working folder open to others is narrowed", Place::OpenWork, std::nullopt, {}},
      {"our images folder open to others is narrowed", Place::OpenImages, std::nullopt, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Only root can make another user's folder.
    if (c.place == Place::ForeignWork && ::geteuid() != 0) continue;
    PageFolder f;
    const fs::path elsewhere = tvtest::sandbox().base / "elsewhere";
    fs::remove_all(elsewhere);
    fs::create_directories(elsewhere);
    tvtest::writeFile(elsewhere / "keep.htm", "keep");
    fs::remove_all(f.work);
    fs::path work = f.work;
    switch (c.place) {
      case Place::LinkAsWork:
        fs::create_directory_symlink(elsewhere, f.work);
        break;
      case Place::LinkAsImages:
        fs::create_directories(f.work);
        fs::create_directory_symlink(elsewhere, f.work / "Images");
        break;
      case Place::ForeignWork:
        fs::create_directories(f.work);
        ASSERT_EQ(::chown(f.work.c_str(), 65534, 65534), 0);
        break;
      case Place::OpenWork:
        fs::create_directories(f.work);
        ::chmod(f.work.c_str(), 0777);
        break;
      case Place::OpenImages:
        fs::create_directories(f.work / "Images");
        ::chmod((f.work / "Images").c_str(), 0755);
        break;
      case Place::NoWork:
        work.clear();
        break;
    }
    plat::ui::RecordingSink sink;
    plat::ui::ScopedSink scoped(sink);
    {
      CBrindlePageStore store(work, f.program);
      EXPECT_EQ(store.SetUp(), c.code);
      EXPECT_EQ(texts(sink), c.messages);
      if (!c.code) {
        struct stat st {};
        for (const fs::path& folder : {f.work, f.work / "Images"}) {
          ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
          EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
        }
        EXPECT_TRUE(fs::exists(f.work / "0000.htm"));
      }
    }
    // Nothing was written or removed through someone else's folder.
    EXPECT_EQ(tvtest::readFile(elsewhere / "keep.htm"), "keep");
    EXPECT_FALSE(fs::exists(elsewhere / "0000.htm"));
    if (c.place == Place::ForeignWork) {
      EXPECT_FALSE(fs::exists(f.work / "0000.htm"));
      EXPECT_FALSE(fs::exists(f.work / "Images"));
    }
    fs::remove_all(f.work);
  }
}

TEST(PageStoreTest, WorkingCopiesLiveUntilShownButTheIndexStays) {
  PageFolder f;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  CBrindlePageStore store(f.work, f.program);
  ASSERT_EQ(store.SetUp(), std::nullopt);

  // The index, asked as a URL with an anchor, is the working copy itself.
  const auto index = store.BeforeNavigate("FILE://" + (f.work / "0000.htm").string() + "#top");
  ASSERT_TRUE(index);
  EXPECT_EQ(*index, f.work / "0000.htm");
  store.AfterNavigate();
  EXPECT_TRUE(fs::exists(f.work / "0000.htm"));

  const auto verbs = store.BeforeNavigate((f.work / "0012.htm").string());
  ASSERT_TRUE(verbs);
  EXPECT_TRUE(fs::exists(*verbs));
  store.AfterNavigate();
  EXPECT_FALSE(fs::exists(*verbs));
  EXPECT_TRUE(fs::exists(f.work / "0000.htm"));

  // A page without its packed file is the "missing page" page under the
  // requested name.
  const auto missing = store.BeforeNavigate((f.work / "0099.htm").string());
  ASSERT_TRUE(missing);
  EXPECT_EQ(*missing, f.work / "0099.htm");
  EXPECT_EQ(tvtest::readFile(*missing), brindletest::kMissingHtml);
  EXPECT_EQ(store.CurrentPage(), (f.work / "0099.htm").string());

  // A deleted index working copy is unpacked again.
  fs::remove(f.work / "0000.htm");
  ASSERT_TRUE(store.BeforeNavigate((f.work / "0000.htm").string()));
  EXPECT_EQ(tvtest::readFile(f.work / "0000.htm"), brindletest::kIndexHtml);
  // The page shown before (never passed after-navigation) is gone now.
  EXPECT_FALSE(fs::exists(f.work / "0099.htm"));
  EXPECT_TRUE(sink.boxes().empty());
}

TEST(PageStoreTest, PageErrorsCancelTheNavigation) {
  PageFolder f({{"0000", brindletest::kIndexHtml}});  // no "missing page" page
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  CBrindlePageStore store(f.work, f.program);
  ASSERT_EQ(store.SetUp(), std::nullopt);
  ASSERT_TRUE(store.BeforeNavigate(store.IndexPage().string()));

  EXPECT_FALSE(store.BeforeNavigate((f.work / "0012.htm").string()));
  EXPECT_EQ(texts(sink), (std::vector<std::string>{"I can't copy the file into Temp dir", "Error loading a grammar page"}));
  EXPECT_EQ(store.CurrentPage(), store.IndexPage().string());

  sink.clear();
  fs::remove(f.work / "0000.htm");
  fs::remove(f.gramm / "0000.cht");
  EXPECT_FALSE(store.BeforeNavigate(store.IndexPage().string()));
  EXPECT_EQ(texts(sink), (std::vector<std::string>{"I can't copy the file into Temp dir", "Error loading the Index"}));
}

TEST(PageStoreTest, RequestsOutsideTheWorkingFolderAreRefused) {
  PageFolder f;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  CBrindlePageStore store(f.work, f.program);
  ASSERT_EQ(store.SetUp(), std::nullopt);

  const fs::path victim = tvtest::sandbox().base / "victim.htm";
  tvtest::writeFile(victim, "mine");
  fs::create_directories(f.work / "sub");
  const std::vector<std::string> requests = {
      victim.string(),
      "file://" + victim.string(),
      (f.work / ".." / "victim.htm").string(),
      (f.work / "sub" / "0012.htm").string(),
      (f.work / "0012.txt").string(),
      (f.work / "0012").string(),
      (f.work / ".htm").string(),
      "0012.htm",
      "",
      "#",
  };
  for (const std::string& request : requests) {
    SCOPED_TRACE(request);
    sink.clear();
    EXPECT_FALSE(store.BeforeNavigate(request));
    EXPECT_EQ(texts(sink), std::vector<std::string>{"Error loading a grammar page"});
  }
  EXPECT_EQ(tvtest::readFile(victim), "mine");
  EXPECT_FALSE(fs::exists(f.work / "sub" / "0012.htm"));

  // Nor is a page shown before deleted on the way: it was refused first.
  ASSERT_TRUE(store.BeforeNavigate((f.work / "0012.htm").string()));
  EXPECT_FALSE(store.BeforeNavigate(victim.string()));
  EXPECT_TRUE(fs::exists(f.work / "0012.htm"));
}

TEST(PageStoreTest, UnpackingTakesWholeStreamsOnly) {
  const std::string block(2048, 'a');
  const std::string twoBlocks = block + std::string(2048, 'b');
  std::string truncated = gzipOf(twoBlocks);
  truncated.resize(truncated.size() - 6);
  std::string badCrc = gzipOf("<p>x</p>");
  badCrc[badCrc.size() - 6] ^= 0x01;
  struct Case {
    const char* what;
    std::string packed;  // unscrambled
    std::optional<std::string> page;
    bool scramble = true;
  };
  const std::vector<Case> cases = {
      {"exactly two blocks", gzipOf(twoBlocks), twoBlocks},
      {"an empty page", gzipOf(""), std::string()},
      {"a short page", gzipOf("<p>x</p>"), std::string("<p>x</p>")},
      {"not a gzip stream", "<html><body>plain text, not packed</body></html>", std::nullopt},
      {"empty file", "", std::nullopt},
      {"truncated stream", truncated, std::nullopt},
      {"bad check sum", badCrc, std::nullopt},
      {"trailing bytes", gzipOf("<p>x</p>") + "junk", std::nullopt},
      {"too large", gzipOf(std::string(5000, 'z')), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string packed = c.packed;
    tvtools::scrambleHead(packed, true);
    EXPECT_EQ(UnpackPageBytes(packed, 4096), c.page);
  }
  // Several members make one page.
  const std::string text = "<html><body>" + std::string(3000, 'q') + "</body></html>";
  EXPECT_EQ(UnpackPageBytes(tvtools::packPage(text, 3), 1 << 20), std::optional<std::string>(text));
  // Without unscrambling the head the stream is not readable.
  EXPECT_EQ(UnpackPageBytes(gzipOf(text), 1 << 20), std::nullopt);
}

TEST(PageStoreTest, PageNames) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/tmp/~tmp/0012.htm", "0012"}, {"0012.htm", "0012"},   {"/a.b/0012", "0012"},
      {"/tmp/x.tar.gz", "x.tar"},     {"/tmp/~tmp/.htm", ""}, {"", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(CBrindlePageStore::PageName(path), name) << path;
}

}  // namespace

namespace {

// The pages installed with the program: the course's pages and the browser's
// stand-in for a missing page, in the build's program folder.
TEST(ShippedPagesTest, EveryShippedPageUnpacksAndAMissingPageGetsTheStandIn) {
  const fs::path program = TV_PROGRAM_DIR;
  const fs::path gramm = program / "Gramm";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(gramm)) {
    if (entry.path().extension() != ".cht") continue;
    SCOPED_TRACE(entry.path().string());
    names.push_back(entry.path().stem().string());
    const std::optional<std::string> html =
        UnpackPageBytes(tvtest::readFile(entry.path()), CBrindlePageStore::kMaxPageBytes);
    ASSERT_TRUE(html);
    EXPECT_NE(html->find("<html>"), std::string::npos);
    EXPECT_NE(html->find("</html>"), std::string::npos);
  }
  for (const char* needed : {CBrindlePageStore::kIndexName, CBrindlePageStore::kMissingPage})
    EXPECT_NE(std::find(names.begin(), names.end(), needed), names.end()) << needed;

  // A page the course does not have is the stand-in, under the asked name,
  // without a message.
  PageFolder f;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  CBrindlePageStore store(f.work, program);
  ASSERT_EQ(store.SetUp(), std::nullopt);
  const auto page = store.BeforeNavigate((f.work / "0999.htm").string());
  ASSERT_TRUE(page);
  EXPECT_EQ(*page, f.work / "0999.htm");
  EXPECT_NE(tvtest::readFile(*page).find("<title>Page not available</title>"), std::string::npos);
  EXPECT_TRUE(sink.boxes().empty());
}

}  // namespace
