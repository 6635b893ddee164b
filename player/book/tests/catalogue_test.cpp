#include "player/book/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/testing/test_env.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

Book smallBook(int version, const std::string& code) {
  Book b;
  b.version = version;
  b.code = code;
  b.title = code;
  Echomark e;
  e.introduction = "one";
  e.normalWav = makeWav(50, {});
  b.echomarks = {e};
  return b;
}

TEST(CatalogueRecord, TwoBookLibrary) {
  for (int version : {2, 3}) {
    SCOPED_TRACE(version);
    const fs::path p = tvtest::sandbox().base / ("lib" + std::to_string(version) + ".tvl");
    std::string error;
    ASSERT_TRUE(writeLibraryFile(p, {smallBook(version, "FIRST"), smallBook(version, "SECOND")}, error)) << error;
    COrv_CatalogueRecord record;
    ASSERT_EQ(record.Load(p.string()), 2);
    EXPECT_EQ(record.GetCount(), 2);
    EXPECT_EQ(record.GetName(1), "FIRST");
    EXPECT_EQ(record.GetName(2), "SECOND");
    for (int n : {1, 2}) {
      EXPECT_EQ(record.GetValueB(n), static_cast<uint32_t>(version));
      EXPECT_EQ(record.GetValueA(n), 1u);
    }
    // Entries outside 1 to the count do not exist.
    for (int n : {0, -1, 3, 250}) {
      EXPECT_EQ(record.GetName(n), "") << n;
      EXPECT_EQ(record.GetValueA(n), 0u) << n;
      EXPECT_EQ(record.GetValueB(n), 0u) << n;
    }
  }
}

TEST(CatalogueRecord, NothingReadGivesNoEntries) {
  COrv_CatalogueRecord fresh;
  EXPECT_EQ(fresh.GetCount(), 0);
  EXPECT_EQ(fresh.GetName(1), "");
  EXPECT_EQ(fresh.GetValueA(1), 0u);

  const fs::path book = tvtest::sandbox().base / "one.tvb";
  std::string error;
  ASSERT_TRUE(writeBookFile(book, smallBook(2, "ONE"), error)) << error;
  const fs::path junk = tvtest::sandbox().base / "junk.tvb";
  tvtest::writeFile(junk, "not a content file");
  const fs::path version1 = tvtest::sandbox().base / "v1.tvb";
  tvtest::writeFile(version1, std::string("CD\x01\x00", 4) + std::string(5000, '\0'));

  COrv_CatalogueRecord record;
  ASSERT_EQ(record.Load(book.string()), 1);
  EXPECT_EQ(record.GetName(1), "ONE");
  // A later Load that reads nothing leaves nothing of the earlier one.
  for (const fs::path& p : {junk, version1, tvtest::sandbox().base / "missing.tvb", fs::path()}) {
    SCOPED_TRACE(p.string());
    ASSERT_EQ(record.Load(book.string()), 1);
    EXPECT_EQ(record.Load(p.string()), 0);
    EXPECT_EQ(record.GetCount(), 0);
    EXPECT_EQ(record.GetName(1), "");
    EXPECT_EQ(record.GetValueB(1), 0u);
  }
}

TEST(TempFileNames, MadeInTheTemporaryFolder) {
  const fs::path tmp = tvtest::sandbox().tmp;
  const std::string name = orv::GetTempFileNameIn("MIO");
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(fs::path(name).parent_path(), tmp);
  EXPECT_EQ(fs::path(name).filename().string().rfind("MIO", 0), 0u);
  EXPECT_TRUE(fs::is_regular_file(name));
  EXPECT_EQ(fs::file_size(name), 0u);
  EXPECT_NE(orv::GetTempFileNameIn("MIO"), name);

  const uint32_t unique = orv::MakeTempFileNumber("~ov");
  ASSERT_NE(unique, 0u);
  std::string named;
  ASSERT_TRUE(orv::TempFileNameOf("~ov", unique, named));
  EXPECT_TRUE(fs::is_regular_file(named));  // the file made for that number

  ASSERT_TRUE(orv::TempFileNameOf("MIO", 0xABC, named));
  EXPECT_EQ(named, (tmp / "MIOABC.tmp").string());
  EXPECT_FALSE(fs::exists(named));  // only named, not made

  EXPECT_FALSE(orv::TempFileNameOf("MIO", 0, named));
  EXPECT_EQ(named, "");
  EXPECT_FALSE(orv::TempFileNameOf("a/b", 5, named));
  EXPECT_EQ(orv::GetTempFileNameIn("a/b"), "");
  EXPECT_EQ(orv::MakeTempFileNumber("a/b"), 0u);
}

}  // namespace
