#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/profile/profile.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/env/file_util.h"
#include "player/env/tests/env_test_support.h"

namespace {

namespace fs = std::filesystem;
using orv::COrv_Environment;

class DataPathTest : public orvtest::EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    fs::create_directories(settingsFile().parent_path());
  }
  void setIni(std::string_view section, std::string_view key, std::string_view value) {
    ASSERT_FALSE(plat::profile::writeString(settingsFile(), section, key, value));
  }
  std::string folder(const std::string& name) {
    fs::path p = tvtest::sandbox().base / name;
    fs::create_directories(p);
    return p.string();
  }
  static int defaultUserCount(const std::string& dataPath) {
    return plat::profile::getInt(dataPath + "/Users/Index.usr", "Default", "Count", -1);
  }
};

// --- Choosing the data path ---------------------------------------------------------

TEST_F(DataPathTest, ResolutionOverPublicDataPathDocumentsAndDefault) {
  // How the user's documents folder is found: named in user-dirs.dirs
  // ("Papers", so that it differs from the usual name), not named (a fresh
  // account: $HOME/Documents, which does not exist yet), or no home at all.
  enum class Home { Named, Bare, None };
  struct Case {
    bool publicSet;
    bool dataPathSet;
    Home home;
    bool defaultSet;
    const char* expected;  // "public", "stored", "named", "documents", "default" or "config"
  };
  const Case cases[] = {
      {true, true, Home::Named, true, "stored"},     {true, false, Home::Named, true, "public"},
      {false, true, Home::Named, true, "stored"},    {false, false, Home::Named, true, "named"},
      {false, false, Home::Bare, true, "documents"}, {false, false, Home::None, true, "default"},
      {false, false, Home::None, false, "config"},   {true, false, Home::Bare, false, "public"},
  };
  const fs::path home = tvtest::sandbox().home;
  const fs::path userDirs = home / ".config" / "user-dirs.dirs";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.publicSet << c.dataPathSet << int(c.home) << c.defaultSet);
    fs::remove(settingsFile());
    fs::remove_all(home / "Documents");
    fs::remove_all(home / "Papers");
    fs::remove_all(tvtest::sandbox().configRoot / "Data");
    if (c.publicSet)
      ::setenv("PUBLIC", "/srv/public", 1);
    else
      ::unsetenv("PUBLIC");
    if (c.dataPathSet) setIni("Datapath", "DataPath", "/srv/stored");
    if (c.defaultSet) setIni("Datapath", "DefaultDatapath", "/srv/default");
    fs::remove(userDirs);
    if (c.home == Home::Named) {
      fs::create_directories(home / "Papers");
      tvtest::writeFile(userDirs, "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    }
    if (c.home == Home::None) ::unsetenv("HOME");

    const std::string e = c.expected;
    const std::string expected = e == "public"      ? "/srv/public"
                                 : e == "stored"    ? "/srv/stored"
                                 : e == "named"     ? (home / "Papers").string()
                                 : e == "documents" ? (home / "Documents").string()
                                 : e == "default"   ? "/srv/default"
                                                    : (tvtest::sandbox().configRoot / "Data").string();
    {
      COrv_Environment env;
      EXPECT_EQ(env.GetDataPath(), expected);
      EXPECT_EQ(env.ReadDataPath(true), expected);
      EXPECT_EQ(env.HasPublicFolder(), c.publicSet);
      EXPECT_EQ(env.GetSettingText(33), expected);
    }
    ::setenv("HOME", home.c_str(), 1);
    // The folder taken as the data path exists, so its structure can be made.
    if (e == "documents" || e == "config") {
      EXPECT_TRUE(fs::is_directory(expected));
    }
  }
}

// A fresh account (no user-dirs.dirs, no documents folder) installing its
// first book: the structure goes to $HOME/Documents, and nothing at all is
// written beside the program.
TEST_F(DataPathTest, FreshAccountNeverWritesTheProgramFolder) {
  const fs::path home = tvtest::sandbox().home;
  fs::remove(home / ".config" / "user-dirs.dirs");
  fs::remove_all(home / "Documents");
  COrv_Environment env;
  ASSERT_EQ(env.GetDataPath(), (home / "Documents").string());
  ASSERT_TRUE(env.SetDataPath(nullptr, true));
  EXPECT_TRUE(env.VerifyDataPath(nullptr));
  EXPECT_TRUE(fs::is_regular_file(home / "Documents" / "Talvanes" / "Index.tvk"));
  EXPECT_TRUE(fs::is_empty(program)) << "the program folder was written";
}

TEST_F(DataPathTest, FoldersAndIndexFilesDeriveFromTheCachedPath) {
  setIni("Datapath", "DataPath", "/srv/data");
  COrv_Environment env;
  EXPECT_EQ(env.GetInstallPath(), "/srv/data/Install");
  EXPECT_EQ(env.GetBackUpPath(true), "/srv/data/BackUp/");
  EXPECT_EQ(env.GetDownloadPath(), "/srv/data/DownLoad");
  EXPECT_EQ(env.GetTalvanesPath(), "/srv/data/Talvanes");
  EXPECT_EQ(env.GetUsersPath(true), "/srv/data/Users/");
  EXPECT_EQ(env.GetIndexFilePath(4), "/srv/data/Users/Index.usr");
  EXPECT_EQ(env.GetIndexFilePath(5), "/srv/data/Talvanes/Index.tvk");
  EXPECT_EQ(env.GetIndexFilePath(6), settingsFile().string());
  EXPECT_EQ(env.GetIndexFilePath(7), "/srv/data/Localize.dpl");
  for (int kind : {-1, 0, 3, 8}) EXPECT_EQ(env.GetIndexFilePath(kind), "") << kind;
  EXPECT_EQ(env.GetDemoPath(), (settingsFile().parent_path() / "TalvaneDemo").string());

  // A later change of the stored path is not seen by a living instance.
  setIni("Datapath", "DataPath", "/srv/other");
  EXPECT_EQ(env.GetDataPath(), "/srv/data");
  EXPECT_EQ(env.ReadDataPath(false), "/srv/data");
  EXPECT_EQ(env.ReadDataPath(true), "/srv/other");
}

TEST_F(DataPathTest, CheckPublicDataPathMovesOrWarns) {
  COrv_Environment env;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped(sink);
  EXPECT_TRUE(env.CheckPublicDataPath(false, "/anything"));  // no PUBLIC

  ::setenv("PUBLIC", "/srv/public", 1);
  EXPECT_TRUE(env.CheckPublicDataPath(false, "/srv/public"));
  EXPECT_FALSE(env.CheckPublicDataPath(false, "/srv/Public"));  // case counts
  ASSERT_EQ(sink.boxes().size(), 1u);
  const plat::ui::MessageBoxRequest box = sink.last().request;
  EXPECT_EQ(box.text,
            "Warning: the only datapath which the Talvane Player can access in Windows Vista is the Users\\Public "
            "folder (generally c:\\Users\\Public).\n These default parameters cannot be changed.");
  EXPECT_EQ(box.icon, plat::ui::Icon::None);
  EXPECT_EQ(box.buttons, plat::ui::Buttons::Ok);

  EXPECT_TRUE(env.CheckPublicDataPath(true, ""));  // the cached path moves
  EXPECT_EQ(env.GetDataPath(), "/srv/public");
  EXPECT_TRUE(env.CheckPublicDataPath(false, ""));
  EXPECT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(plat::profile::getString(settingsFile(), "Datapath", "DataPath", "<none>", 300), "<none>");
}

// --- The structure --------------------------------------------------------------------

TEST_F(DataPathTest, CreateTwiceKeepsTheBookIndexAndOneDefaultUser) {
  const std::string d = folder("data");
  COrv_Environment env;
  const std::string before = env.GetDataPath();
  EXPECT_FALSE(env.VerifyDataPath(&d));
  ASSERT_TRUE(env.CreateDataPath(&d));
  EXPECT_EQ(env.GetDataPath(), before);  // never changes the cached path
  EXPECT_TRUE(env.VerifyDataPath(&d));
  EXPECT_EQ(defaultUserCount(d), 1);
  EXPECT_TRUE(fs::is_regular_file(d + "/Users/Default/General.ini"));
  EXPECT_EQ(tvtest::readFile(d + "/Talvanes/Index.tvk"), "");

  tvtest::writeFile(d + "/Talvanes/Index.tvk", "[Books]\r\nCount=1\r\n");
  ASSERT_TRUE(env.CreateDataPath(&d));
  EXPECT_EQ(tvtest::readFile(d + "/Talvanes/Index.tvk"), "[Books]\r\nCount=1\r\n");
  EXPECT_EQ(defaultUserCount(d), 1);
  EXPECT_EQ(plat::profile::sectionNames(d + "/Users/Index.usr"), std::vector<std::string>{"Default"});
}

// The file utilities find their folders through the environment store: a
// data path switched to later is seen by the next call.
TEST_F(DataPathTest, FileUtilitiesUseTheDataPathInUse) {
  const std::string d = folder("data");
  const std::string file = folder("loose") + "/a.tpk";
  tvtest::writeFile(file, "packet");
  orv::COrv_FileUtil util;
  COrv_Environment env;
  ASSERT_TRUE(env.SetDataPath(d, true));
  env.SetInstallMenuFolder(folder("menu"));
  env.SetAppPath(folder("program") + "/");
  EXPECT_EQ(orv::fileUtilServices().installMenuFolder(), folder("menu"));
  EXPECT_EQ(orv::fileUtilServices().programFolder(), folder("program"));
  ASSERT_TRUE(util.MoveToBackUp(file));
  EXPECT_EQ(tvtest::readFile(d + "/BackUp/a.tpk"), "packet");
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(DataPathTest, CreateWithoutAFolderBuildsTheStandardPath) {
  COrv_Environment env;
  ASSERT_TRUE(env.CreateDataPath());
  EXPECT_TRUE(env.VerifyDataPath());
  EXPECT_TRUE(fs::is_directory(documents() / "Install"));
}

TEST_F(DataPathTest, CreateStopsAtTheFirstFailure) {
  const std::string d = folder("data");
  COrv_Environment env;
  {
    plat::fs::FaultScope faults;
    plat::fs::injectFault(plat::fs::FaultOp::MakeFolder, "DownLoad", EIO);
    EXPECT_FALSE(env.CreateDataPath(&d));
  }
  EXPECT_TRUE(fs::is_directory(d + "/BackUp"));  // folders made before stay
  EXPECT_FALSE(fs::exists(d + "/Talvanes"));
  {
    plat::fs::FaultScope faults;
    plat::fs::injectFault(plat::fs::FaultOp::Open, "Index.tvk", EIO);
    EXPECT_FALSE(env.CreateDataPath(&d));
  }
  EXPECT_FALSE(fs::exists(d + "/Users"));

  const std::string missing = tvtest::sandbox().base.string() + "/no/such";
  EXPECT_FALSE(env.CreateDataPath(&missing));  // one level only
}

TEST_F(DataPathTest, VerifyNeedsEachOfTheSevenItems) {
  const std::vector<std::string> items = {"Install",  "BackUp",   "DownLoad",          "Users",
                                          "Users/Index.usr", "Talvanes", "Talvanes/Index.tvk"};
  for (const std::string& item : items) {
    SCOPED_TRACE(item);
    const std::string d = folder("v-" + std::to_string(&item - items.data()));
    COrv_Environment env;
    ASSERT_TRUE(env.CreateDataPath(&d));
    ASSERT_TRUE(env.VerifyDataPath(&d));
    fs::remove_all(d + "/" + item);
    EXPECT_FALSE(env.VerifyDataPath(&d));
    // A file standing where a folder belongs is not the folder.
    if (item.find('/') == std::string::npos) {
      tvtest::writeFile(d + "/" + item, "");
      EXPECT_FALSE(env.VerifyDataPath(&d));
    }
  }
}

TEST_F(DataPathTest, SetDataPathWithWriteBuildsTheNewFolder) {
  const std::string d = folder("new");
  COrv_Environment env;
  EXPECT_TRUE(env.SetDataPath(d, true));
  EXPECT_EQ(env.GetDataPath(), d);
  EXPECT_EQ(plat::profile::getString(settingsFile(), "Datapath", "DataPath", "", 300), d);
  EXPECT_TRUE(env.VerifyDataPath(&d));
  EXPECT_FALSE(fs::exists(documents() / "Install"));  // not the standard path
  EXPECT_EQ(COrv_Environment().GetDataPath(), d);

  // Without write only the instance changes; without a path it rereads the file.
  EXPECT_TRUE(env.SetDataPath("/srv/elsewhere", false));
  EXPECT_EQ(env.GetDataPath(), "/srv/elsewhere");
  EXPECT_TRUE(env.SetDataPath(nullptr, false));
  EXPECT_EQ(env.GetDataPath(), d);

  // A new folder that cannot be built, or a path longer than the settings
  // file keeps, is refused: neither the instance nor the file changes.
  const std::string missing = tvtest::sandbox().base.string() + "/no/such";
  const std::string tooLong = folder(std::string(200, 'x')) + "/" + std::string(80, 'y');
  fs::create_directories(tooLong);
  for (const std::string& refused : {missing, tooLong}) {
    EXPECT_FALSE(env.SetDataPath(refused, true));
    EXPECT_EQ(env.GetDataPath(), d);
    EXPECT_EQ(COrv_Environment().GetDataPath(), d);
  }
  EXPECT_FALSE(fs::exists(tooLong + "/Install"));

  // Setting 33 goes the same way.
  const std::string e = folder("via-setting");
  env.SetSettingText(33, e);
  EXPECT_TRUE(env.VerifyDataPath(&e));
  EXPECT_EQ(COrv_Environment().GetDataPath(), e);
}

TEST_F(DataPathTest, FolderNamesWithBlanksAndQuotesReadBackExactly) {
  // The settings files trim values and strip a pair of quotes: such folder
  // names are stored protected, and a later start finds the same folder.
  // Only the whole value's edges count: a folder's own leading blank or
  // quotes lie inside the path and need no protection.
  struct Case {
    std::string name;
    bool quoted;  // the stored value stands inside a pair of double quotes
  } cases[] = {{"ends in a blank ", true}, {" begins with one", false}, {"\"quoted\"", false},
               {"'single'", false},        {"in the middle", false}};
  for (const Case& c : cases) {
    const std::string& name = c.name;
    SCOPED_TRACE(name);
    const std::string d = folder(name);
    ASSERT_TRUE(COrv_Environment().SetDataPath(d, true));
    const std::string line = "DataPath=" + (c.quoted ? "\"" + d + "\"" : d) + "\r\n";
    EXPECT_NE(tvtest::readFile(settingsFile()).find(line), std::string::npos) << tvtest::readFile(settingsFile());
    EXPECT_EQ(COrv_Environment().GetDataPath(), d);

    COrv_Environment env;
    const std::vector<std::string> sources = {"/media/" + name, name};
    ASSERT_TRUE(env.WriteAltSources(sources));
    std::vector<std::string> list;
    EXPECT_EQ(env.ReadAltSources(list, false), 2);
    EXPECT_EQ(list, sources);

    ASSERT_TRUE(env.AddNamedDataPath("Other", d));
    EXPECT_EQ(env.GetNamedDataPath("Other", false), d);
  }
}

TEST_F(DataPathTest, DeleteRefusesTheStandardAndTheCurrentPath) {
  COrv_Environment env;
  ASSERT_TRUE(env.CreateDataPath());  // the standard path, the documents folder
  const std::string current = folder("current");
  ASSERT_TRUE(env.SetDataPath(current, true));
  const std::string other = folder("other");
  ASSERT_TRUE(env.CreateDataPath(&other));
  fs::create_symlink(current, tvtest::sandbox().base / "link-to-current");

  const std::vector<std::string> refused = {"",
                                            documents().string(),
                                            documents().string() + "/",
                                            documents().string() + "/../Documents",
                                            current,
                                            (tvtest::sandbox().base / "link-to-current").string(),
                                            folder("empty")};
  for (const std::string& f : refused) EXPECT_FALSE(env.DeleteDataPath(f)) << f;
  EXPECT_TRUE(env.VerifyDataPath());
  const std::string docs = documents().string();
  EXPECT_TRUE(env.VerifyDataPath(&docs));
}

TEST_F(DataPathTest, DeleteRemovesTheStructureAndKeepsTheRest) {
  const std::string d = folder("old");
  COrv_Environment env;
  ASSERT_TRUE(env.CreateDataPath(&d));
  tvtest::writeFile(d + "/Localize.dpl", "[AltSources]\r\n01=/x\r\n");
  tvtest::writeFile(d + "/active.log", "");
  tvtest::writeFile(d + "/notes.txt", "keep");
  // A link inside the tree goes as a link; what it points to stays.
  const std::string outside = folder("outside");
  tvtest::writeFile(outside + "/precious", "1");
  fs::create_directory_symlink(outside, d + "/Talvanes/link");

  EXPECT_TRUE(env.DeleteDataPath(d));
  for (const char* gone : {"Install", "BackUp", "DownLoad", "Talvanes", "Users", "Localize.dpl"})
    EXPECT_FALSE(fs::exists(d + "/" + gone)) << gone;
  EXPECT_TRUE(fs::exists(d + "/active.log"));
  EXPECT_TRUE(fs::exists(d + "/notes.txt"));
  EXPECT_TRUE(fs::exists(outside + "/precious"));
  EXPECT_FALSE(env.DeleteDataPath(d));  // no longer a data path
}

TEST_F(DataPathTest, DeleteOfADeepTreeAndAFailedRemoval) {
  const std::string d = folder("deep");
  COrv_Environment env;
  ASSERT_TRUE(env.CreateDataPath(&d));
  std::string deep = d + "/BackUp";
  for (int i = 0; i < 20; ++i) deep += "/" + std::string(40, static_cast<char>('a' + i));
  fs::create_directories(deep);
  tvtest::writeFile(deep + "/f", "x");
  {
    plat::fs::FaultScope faults;
    plat::fs::injectFault(plat::fs::FaultOp::Remove, "Index.usr", EIO);
    EXPECT_FALSE(env.DeleteDataPath(d));
  }
  EXPECT_FALSE(fs::exists(d + "/BackUp"));
  EXPECT_TRUE(fs::exists(d + "/Users/Index.usr"));
}

TEST_F(DataPathTest, InUseMarkInTheStoredPath) {
  const std::string d = folder("marked");
  setIni("Datapath", "DataPath", d);
  COrv_Environment env;
  EXPECT_FALSE(env.MarkDataPathInUse(false));  // nothing to remove
  tvtest::writeFile(d + "/active.log", "old");
  EXPECT_TRUE(env.MarkDataPathInUse(true));
  EXPECT_EQ(tvtest::readFile(d + "/active.log"), "");
  EXPECT_TRUE(env.MarkDataPathInUse(false));
  EXPECT_FALSE(fs::exists(d + "/active.log"));

  setIni("Datapath", "DataPath", d + "/missing");
  EXPECT_FALSE(env.MarkDataPathInUse(true));
}

// --- Lists ----------------------------------------------------------------------------------

TEST_F(DataPathTest, AlternativeSourcesStopAtTheFirstGap) {
  const std::string d = folder("alt");
  setIni("Datapath", "DataPath", d);
  tvtest::writeFile(d + "/Localize.dpl", "[AltSources]\r\n01=/media/a/\r\n02=/media/b\r\n04=/media/d\r\n");
  COrv_Environment env;
  std::vector<std::string> list;
  EXPECT_EQ(env.ReadAltSources(list, false), 2);
  EXPECT_EQ(list, (std::vector<std::string>{"/media/a", "/media/b"}));
  list.clear();
  EXPECT_EQ(env.ReadAltSources(list, true), 2);
  EXPECT_EQ(list, (std::vector<std::string>{"/media/a/", "/media/b/"}));

  EXPECT_TRUE(env.WriteAltSources({"/x", "/y", "/z"}));
  list.clear();
  EXPECT_EQ(env.ReadAltSources(list, false), 3);
  EXPECT_EQ(list, (std::vector<std::string>{"/x", "/y", "/z"}));
  EXPECT_EQ(plat::profile::getString(d + "/Localize.dpl", "AltSources", "04", "<none>", 100), "<none>");
  EXPECT_TRUE(env.WriteAltSources({}));
  EXPECT_EQ(env.ReadAltSources(list, false), 0);

  // A list that would not read back whole is refused and the stored one
  // stays; blanks at the ends are kept.
  ASSERT_TRUE(env.WriteAltSources({"/kept"}));
  const std::string longest(260, 'a'), tooLong(261, 'a');
  const std::vector<std::string> refused[] = {
      {"/x", "", "/z"}, {"/" + tooLong}, {"/x\n/y"}};
  for (const auto& bad : refused) {
    EXPECT_FALSE(env.WriteAltSources(bad)) << bad.front();
    list.clear();
    EXPECT_EQ(env.ReadAltSources(list, false), 1);
    EXPECT_EQ(list, std::vector<std::string>{"/kept"});
  }
  const std::vector<std::string> whole{"/" + longest.substr(1), "  /edge blanks  "};
  ASSERT_TRUE(env.WriteAltSources(whole));
  list.clear();
  EXPECT_EQ(env.ReadAltSources(list, false), 2);
  EXPECT_EQ(list, whole);
}

TEST_F(DataPathTest, NamedDataPaths) {
  COrv_Environment env;
  std::vector<std::string> names;
  EXPECT_EQ(env.ReadDataPathHistory(names), 0);
  EXPECT_FALSE(env.AddNamedDataPath("", "/srv/a"));
  EXPECT_FALSE(env.AddNamedDataPath("Home", ""));
  EXPECT_FALSE(env.AddNamedDataPath("Home", documents().string() + "/"));  // the standard path
  EXPECT_FALSE(env.AddNamedDataPath("@@@Default", "/srv/a"));
  EXPECT_FALSE(env.AddNamedDataPath("A]B", "/srv/a"));
  EXPECT_FALSE(env.AddNamedDataPath("Home", "/srv/a\n[Settings]"));
  EXPECT_FALSE(env.AddNamedDataPath("Home", "/" + std::string(260, 'x')));
  EXPECT_EQ(env.ReadDataPathHistory(names), 0);

  EXPECT_TRUE(env.AddNamedDataPath("School", "/srv/school"));
  EXPECT_TRUE(env.AddNamedDataPath("Home", "/srv/home/"));
  EXPECT_EQ(env.GetNamedDataPath("Home", false), "/srv/home");
  EXPECT_EQ(env.GetNamedDataPath("home", true), "/srv/home/");
  EXPECT_EQ(env.GetNamedDataPath("Nobody", true), "");
  EXPECT_EQ(env.GetNamedDataPath("@@@Default", false), documents().string());

  EXPECT_FALSE(env.AddNamedDataPath("Work", "/srv/school/"));  // another name has it
  EXPECT_TRUE(env.AddNamedDataPath("school", "/srv/school"));  // listed, same folder
  EXPECT_TRUE(env.AddNamedDataPath("School", "/srv/school2"));  // listed: moved
  EXPECT_EQ(env.GetNamedDataPath("School", false), "/srv/school2");
  names.clear();
  EXPECT_EQ(env.ReadDataPathHistory(names), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"School", "Home"}));

  // A gap in the keys is skipped when reading and filled by the next name.
  ASSERT_FALSE(plat::profile::deleteKey(settingsFile(), "LRUDatapath", "01"));
  EXPECT_TRUE(env.AddNamedDataPath("Work", "/srv/work"));
  EXPECT_EQ(plat::profile::getString(settingsFile(), "LRUDatapath", "01", "", 100), "Work");
}

TEST_F(DataPathTest, ThirtyNamedPathsAreTheLimit) {
  COrv_Environment env;
  for (int i = 1; i <= 29; ++i)
    ASSERT_TRUE(env.AddNamedDataPath("P" + std::to_string(i), "/srv/p" + std::to_string(i))) << i;
  EXPECT_TRUE(env.AddNamedDataPath("P30", "/srv/p30"));
  std::vector<std::string> names;
  EXPECT_EQ(env.ReadDataPathHistory(names), 30);
  EXPECT_FALSE(env.AddNamedDataPath("P31", "/srv/p31"));
  EXPECT_FALSE(env.AddNamedDataPath("P1", "/srv/p1"));  // full, even for a listed name
  EXPECT_EQ(env.GetNamedDataPath("P31", false), "");
}

}  // namespace
