#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <algorithm>
#include <filesystem>

#include "platform/fs/fault.h"
#include "platform/fs/file_ops.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/env/file_util.h"

using namespace orv;
namespace stdfs = std::filesystem;

namespace {

const stdfs::path& base() { return tvtest::sandbox().base; }

std::string put(const stdfs::path& path, std::string_view bytes) {
  stdfs::create_directories(path.parent_path());
  tvtest::writeFile(path, bytes);
  return path.string();
}

// Sets the modification time to `seconds` after an arbitrary fixed moment.
// Times relative to one whole second taken once, so that files given the
// same time agree even when a second passes between the calls.
void setTime(const stdfs::path& path, int seconds, int extraMs = 0) {
  static const auto fixed =
      std::chrono::floor<std::chrono::seconds>(stdfs::file_time_type::clock::now()) - std::chrono::hours(24 * 30);
  stdfs::last_write_time(path, fixed + std::chrono::seconds(seconds) + std::chrono::milliseconds(extraMs));
}

// Services that point the utilities into the sandbox.
struct TestServices : FileUtilServices {
  std::string backup, menu, program, system;
  std::string backUpFolder() const override { return backup; }
  std::string installMenuFolder() const override { return menu; }
  std::string programFolder() const override { return program; }
  std::string programFile() const override { return program + "/orvex"; }
  std::string systemFolder() const override { return system; }
  std::string windowsFolder() const override { return system + "/win"; }
};

class WithServices : public testing::Test {
 protected:
  WithServices() {
    services.backup = (base() / "data/BackUp").string() + "/";
    services.menu = (base() / "menu").string();
    services.program = (base() / "prog").string();
    services.system = (base() / "sys").string();
    stdfs::create_directories(services.backup);
    previous = setFileUtilServices(&services);
  }
  ~WithServices() override { setFileUtilServices(previous); }
  TestServices services;
  const FileUtilServices* previous = nullptr;
  COrv_FileUtil util;
};

// --- Paths and names ---------------------------------------------------------------

TEST(FileUtilNames, Splits) {
  const COrv_FileUtil u;
  struct Case {
    std::string path, folder, name, folderWithSlash;
  } paths[] = {
      {"/a/b.txt", "/a", "b.txt", "/a/"},
      {"b.txt", "", "b.txt", ""},
      {"/a/b/", "/a/b", "", "/a/b/"},
      {"/x", "", "x", "/"},
      {"/ä/ö.wav", "/ä", "ö.wav", "/ä/"},
  };
  for (const Case& c : paths) {
    SCOPED_TRACE(c.path);
    std::string folder, name;
    u.SplitPath(c.path, folder, name);
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(name, c.name);
    u.SplitPathKeepSlash(c.path, folder, name);
    EXPECT_EQ(folder, c.folderWithSlash);
    EXPECT_EQ(name, c.name);
  }
  struct Pair {
    std::string in, first, second;
  } extensions[] = {{"a.b.c", "a.b", ".c"}, {"abc", "abc", ""}, {".hidden", "", ".hidden"}, {"x.", "x", "."}};
  for (const Pair& c : extensions) {
    std::string stem, ext;
    u.SplitExtension(c.in, stem, ext);
    EXPECT_EQ(stem, c.first) << c.in;
    EXPECT_EQ(ext, c.second) << c.in;
  }
  Pair parens[] = {{"Book(2)", "Book", "(2)"}, {"Book", "Book", ""}, {"a(1)(2)", "a(1)", "(2)"}, {"(x", "", "(x"}};
  for (const Pair& c : parens) {
    std::string before, rest;
    u.SplitAtParenthesis(c.in, before, rest);
    EXPECT_EQ(before, c.first) << c.in;
    EXPECT_EQ(rest, c.second) << c.in;
  }
  std::string p = "/a";
  EXPECT_TRUE(u.AddBackslash(p));
  EXPECT_EQ(p, "/a/");
  u.AddBackslash(p);
  EXPECT_EQ(p, "/a/");
}

TEST(FileUtilNames, Cleaning) {
  struct Case {
    std::string in, valid;
  } cases[] = {
      {"Mr. Smith", "Mr. Smith"},
      {"a<b>c:d\"e/f\\g|h", "a_b_c_d_e_f_g_h"},
      {"what?*", "what?*"},
      {"../x", ".._x"},
      {"line\nbreak\x01", "line_break_"},
      {"Élodie", "Élodie"},
      {"...a", "...a"},
      // Refused: they would not name a child of the folder.
      {"", ""},
      {".", ""},
      {"..", ""},
      {"....", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeValidFileName(c.in), c.valid) << c.in;
    EXPECT_EQ(COrv_FileUtil().MakeValidFileName(c.in), c.valid) << c.in;
  }
  std::string a = "a:b<c>d/e\\f|g?h\"i.j;k,l m";
  COrv_FileUtil().UnderscoreInvalidChars(a);
  EXPECT_EQ(a, "a_b_c_d_e_f_g_h_i_j_k_l m");
  std::string b = "a:b<c>d/e\\f|g?h\"i.j;k,l";
  COrv_FileUtil().BlankInvalidChars(b);
  EXPECT_EQ(b, "a b c d e f g h i.j;k,l");
}

// --- Comparing files ---------------------------------------------------------------

TEST(FileUtilCompare, Table) {
  const COrv_FileUtil u;
  const std::string a = put(base() / "one/book.tpk", "12345");
  const std::string missing = (base() / "none/book.tpk").string();
  setTime(a, 100);
  struct Case {
    const char* what;
    std::string path;
    std::string bytes;
    int seconds;
    int extraMs;
    int expected;
  } cases[] = {
      {"same name, size and time", "two/book.tpk", "54321", 100, 0, 13},
      {"same second, other fraction", "two/book.tpk", "54321", 100, 700, 13},
      {"same name and size, first newer", "two/book.tpk", "54321", 50, 0, 14},
      {"same name and size, second newer", "two/book.tpk", "54321", 150, 0, 15},
      {"same name, first newer", "two/book.tpk", "1", 50, 0, 16},
      {"same name, second newer", "two/book.tpk", "1", 150, 0, 17},
      {"same name and time, other size", "two/book.tpk", "1", 100, 0, 11},
      {"other name, same size and time", "two/other.tpk", "54321", 100, 0, 3},
      {"other name and size", "two/other.tpk", "1", 150, 0, 0},
      {"a name differing in case only", "two/BOOK.tpk", "54321", 100, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string b = put(base() / c.path, c.bytes);
    setTime(b, c.seconds, c.extraMs);
    EXPECT_EQ(u.CompareFiles(a, b), c.expected);
    stdfs::remove(b);
  }
  EXPECT_EQ(u.CompareFiles(a, a), 0);
  EXPECT_EQ(u.CompareFiles(missing, a), -1);
  EXPECT_EQ(u.CompareFiles(a, missing), -2);
  EXPECT_EQ(u.CompareFiles(missing, missing), -1);
  // A copy keeps the time: same name, size and time.
  const std::string copy = (base() / "copy/book.tpk").string();
  stdfs::create_directories(base() / "copy");
  ASSERT_FALSE(plat::fs::copyFile(a, copy));
  EXPECT_EQ(u.CompareFiles(a, copy), 13);
}

TEST(FileUtilCompare, VersionsFallBackToTimes) {
  const COrv_FileUtil u;
  const std::string a = put(base() / "a.dll", "x");
  const std::string b = put(base() / "b.dll", "y");
  setTime(a, 10);
  setTime(b, 20);
  EXPECT_EQ(u.CompareFileVersions(a, b), 2);
  EXPECT_EQ(u.CompareFileVersions(b, a, 1), 1);
  EXPECT_EQ(u.CompareFileVersions(a, a), 0);
  EXPECT_EQ(u.CompareFileVersions(a, (base() / "none").string()), -1);
  int64_t ns = 0;
  EXPECT_EQ(u.GetFileTimes(a, ns), 0u);
  EXPECT_EQ(u.GetFileTimes(b, ns), 0u);
  EXPECT_EQ(u.GetFileTimes((base() / "none").string(), ns), 0x80070000u | ENOENT);
  EXPECT_EQ(u.GetFileVersion(a), kResultNoVersionRecord);
  EXPECT_EQ(COrv_FileUtil::LastErrorToHResult(0), 0x80004005u);
  EXPECT_EQ(COrv_FileUtil::LastErrorToHResult(EACCES), 0x80070000u | EACCES);
  EXPECT_EQ(COrv_FileUtil::LastErrorToHResult(0x12345), 0x80072345u);
}

// --- Backups -------------------------------------------------------------------------

TEST_F(WithServices, MoveToBackUpTakesTheFreeName) {
  const std::string file = put(base() / "x/Book.tpk", "packet");
  EXPECT_TRUE(util.MoveToBackUp(file));
  EXPECT_FALSE(stdfs::exists(file));
  EXPECT_EQ(tvtest::readFile(services.backup + "Book.tpk"), "packet");
}

TEST_F(WithServices, MoveToBackUpReplacesAnIdenticalBackup) {
  const std::string file = put(base() / "x/Book(2).tpk", "new!!");
  const std::string old = put(services.backup + "Book(2).tpk", "old!!");
  setTime(file, 40);
  setTime(old, 40, 300);
  EXPECT_TRUE(util.MoveToBackUp(file));
  EXPECT_FALSE(stdfs::exists(file));
  EXPECT_EQ(tvtest::readFile(old), "new!!");
  EXPECT_EQ(std::distance(stdfs::directory_iterator(services.backup), stdfs::directory_iterator()), 1);
}

TEST_F(WithServices, MoveToBackUpNumbersPastDifferentBackups) {
  // A different Book(2).tpk is there: the file goes in as Book(1).tpk, the
  // old "(2)" dropped; with Book(1).tpk taken too, as Book(3).tpk (base(2)
  // is the taken name itself).
  const std::string first = put(base() / "x/Book(2).tpk", "first");
  put(services.backup + "Book(2).tpk", "other content");
  EXPECT_TRUE(util.MoveToBackUp(first));
  EXPECT_EQ(tvtest::readFile(services.backup + "Book(1).tpk"), "first");
  EXPECT_EQ(tvtest::readFile(services.backup + "Book(2).tpk"), "other content");

  const std::string second = put(base() / "x/Book(2).tpk", "second, longer");
  EXPECT_TRUE(util.MoveToBackUp(second));
  EXPECT_EQ(tvtest::readFile(services.backup + "Book(3).tpk"), "second, longer");
  EXPECT_FALSE(stdfs::exists(second));
  // Nothing was left renamed in the source folder.
  EXPECT_TRUE(stdfs::is_empty(base() / "x"));
}

TEST_F(WithServices, MoveToBackUpFailuresEnd) {
  plat::fs::FaultScope faults;
  EXPECT_FALSE(util.MoveToBackUp((base() / "x/none.tpk").string()));
  const std::string file = put(base() / "x/Book.tpk", "packet");
  plat::fs::injectFault(plat::fs::FaultOp::Rename, "Book", EIO, 100);
  EXPECT_FALSE(util.MoveToBackUp(file));
  EXPECT_EQ(tvtest::readFile(file), "packet");
  plat::fs::clearFaults();
  services.backup.clear();
  EXPECT_FALSE(util.MoveToBackUp(file));
  EXPECT_TRUE(stdfs::exists(file));
}

// --- Deleting ------------------------------------------------------------------------

TEST(FileUtilDelete, TreeDeletionDoesNotFollowLinks) {
  const stdfs::path outside = base() / "outside";
  put(outside / "keep.txt", "keep");
  const stdfs::path tree = base() / "tree";
  put(tree / "a/b/file.txt", "x");
  stdfs::create_directory_symlink(outside, tree / "a/link");
  stdfs::create_symlink(outside / "keep.txt", tree / "filelink");
  EXPECT_TRUE(COrv_FileUtil().DeleteFolderTree(tree.string()));
  EXPECT_FALSE(stdfs::exists(tree));
  EXPECT_EQ(tvtest::readFile(outside / "keep.txt"), "keep");
  EXPECT_TRUE(COrv_FileUtil().DeleteFolderTree((base() / "never").string()));
}

TEST(FileUtilDelete, TempFilesAllTriedThenFailureReported) {
  plat::fs::FaultScope faults;
  const stdfs::path folder = base() / "tmpfiles";
  for (const char* name : {"a.~dt", "b.~GZ", "c.~tp", "d.~Ft", "keep.dt", "keep.~dtx", "keep"}) put(folder / name, "x");
  stdfs::create_directory(folder / "sub.~dt");  // folders are not temp files
  plat::fs::injectFault(plat::fs::FaultOp::Remove, "b.~GZ", EBUSY);
  const COrv_FileUtil u;
  EXPECT_FALSE(u.DeleteTempFiles(folder.string() + "/"));
  std::vector<std::string> left;
  for (const auto& e : stdfs::directory_iterator(folder)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"b.~GZ", "keep", "keep.dt", "keep.~dtx", "sub.~dt"}));
  EXPECT_TRUE(u.DeleteTempFiles(folder.string() + "/"));
  EXPECT_FALSE(stdfs::exists(folder / "b.~GZ"));
  EXPECT_TRUE(u.DeleteTempFiles((base() / "none/").string()));
}

// --- Folders, copies, space -------------------------------------------------------------

TEST(FileUtilFolders, CreateShellFolder) {
  const COrv_FileUtil u;
  const std::string parent = base().string();
  EXPECT_EQ(u.CreateShellFolder(parent, "Talvane"), parent + "/Talvane");
  EXPECT_TRUE(stdfs::is_directory(base() / "Talvane"));
  EXPECT_EQ(u.CreateShellFolder(parent + "/", "Talvane"), parent + "/Talvane");
  put(base() / "afile", "x");
  EXPECT_EQ(u.CreateShellFolder(parent, "afile"), "");
  EXPECT_EQ(u.CreateShellFolder(parent + "/no/such", "x"), "");
}

TEST(FileUtilFolders, DiskSpace) {
  plat::fs::DiskSpace space;
  ASSERT_TRUE(COrv_FileUtil().GetDiskFreeSpace(base().string(), space));
  EXPECT_GT(space.totalBytes, 0u);
  EXPECT_LE(space.freeBytes, space.totalBytes);
  EXPECT_LE(space.availableBytes, space.freeBytes);
}

// The menu, desktop and autostart folders of a known HOME and XDG set-up,
// first the defaults, then folders of the user's own.
TEST(FileUtilFolders, SpecialFoldersFollowXdg) {
  const COrv_FileUtil u;
  const stdfs::path home = tvtest::sandbox().home;
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(u.GetProgramsFolder(), (home / ".local/share/applications").string());
  EXPECT_EQ(u.GetDesktopFolder(), (home / "Desktop").string());
  EXPECT_EQ(u.GetStartupFolder(), (home / ".config/autostart").string());

  const stdfs::path own = tvtest::sandbox().base / "own";
  ::setenv("XDG_DATA_HOME", (own / "data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (own / "config").c_str(), 1);
  tvtest::writeFile(own / "config" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
  EXPECT_EQ(u.GetProgramsFolder(), (own / "data/applications").string());
  EXPECT_EQ(u.GetDesktopFolder(), (home / "Bureau").string());
  EXPECT_EQ(u.GetStartupFolder(), (own / "config/autostart").string());
}

TEST_F(WithServices, CopyToSystemFolderWhenMissingOrOlder) {
  const std::string source = put(services.program + "/conv.lib", "new library");
  setTime(source, 200);
  EXPECT_TRUE(util.CopyToSystemFolder("conv.lib"));
  EXPECT_EQ(tvtest::readFile(services.system + "/conv.lib"), "new library");
  // An older copy of another size is replaced; a newer one is kept.
  put(services.system + "/conv.lib", "old");
  setTime(services.system + "/conv.lib", 100);
  EXPECT_TRUE(util.CopyToSystemFolder("conv.lib"));
  EXPECT_EQ(tvtest::readFile(services.system + "/conv.lib"), "new library");
  put(services.system + "/conv.lib", "newer");
  setTime(services.system + "/conv.lib", 300);
  EXPECT_TRUE(util.CopyToSystemFolder("conv.lib"));
  EXPECT_EQ(tvtest::readFile(services.system + "/conv.lib"), "newer");
  EXPECT_TRUE(util.CopyToWindowsFolder("conv.lib"));
  EXPECT_EQ(tvtest::readFile(services.system + "/win/conv.lib"), "new library");
}

using WithServicesDeathTest = WithServices;

TEST_F(WithServicesDeathTest, MissingSourceShowsTheErrorAndEnds) {
  // The death test's child runs the test again in a sandbox of its own:
  // it learns the parent's log file from the environment.
  const char* inherited = std::getenv("FILE_UTIL_TEST_BOX_LOG");
  const std::string log = inherited != nullptr ? inherited : (base() / "boxes.log").string();
  ::setenv("FILE_UTIL_TEST_BOX_LOG", log.c_str(), 1);
  struct Case {
    bool system;
    const char* number;
  } cases[] = {{true, "961"}, {false, "1302"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    // With and without a copy in the destination: a missing source ends
    // the program either way.
    if (c.system) put(services.system + "/gone.lib", "installed");
    EXPECT_EXIT(
        {
          plat::ui::RecordingSink sink;
          sink.setLogFile(log);
          plat::ui::ScopedSink scoped(sink);
          if (c.system)
            util.CopyToSystemFolder("gone.lib");
          else
            util.CopyToWindowsFolder("gone.lib");
        },
        testing::ExitedWithCode(1), std::string("^") + c.number + "\n$");
    const std::string boxes = tvtest::readFile(log);
    // One box: caption, the error pair, the message and the source path
    // after it (the log escapes line breaks), the stop icon.
    EXPECT_NE(boxes.find(std::string("box\tTalvane Player: Error Window\tError Code:  ") + c.number +
                         ".0\\n\\nCan't open file ! \\n\\n /"),
              std::string::npos)
        << boxes;
    EXPECT_NE(boxes.find("/prog/gone.lib\terror\t"), std::string::npos) << boxes;
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), '\n'), 1) << boxes;
    stdfs::remove(log);
  }
  ::unsetenv("FILE_UTIL_TEST_BOX_LOG");
}

// --- Shortcuts -------------------------------------------------------------------------

TEST_F(WithServices, BookShortcutEntry) {
  ASSERT_TRUE(util.CreateBookShortcut("frbk_1", "Talvane: French/Book", 3));
  const stdfs::path link = base() / "menu/Talvane_ French_Book.desktop";
  EXPECT_EQ(tvtest::readFile(link),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Talvane: French/Book\n"
            "Exec=" + services.program + "/orvex -tv FRBK_1\n"
            "Icon=" + services.program + "/Glyphary/9.png\n"
            "Terminal=false\n");
  EXPECT_TRUE(util.DeleteBookShortcut("frbk_1", "Talvane: French/Book"));
  EXPECT_FALSE(stdfs::exists(link));
  EXPECT_FALSE(util.DeleteBookShortcut("frbk_1", "Talvane: French/Book"));
  // Names that cannot be file names, and no menu folder.
  EXPECT_FALSE(util.CreateBookShortcut("X", "..", 0));
  services.menu.clear();
  EXPECT_FALSE(util.CreateBookShortcut("X", "Book", 0));
  EXPECT_FALSE(util.DeleteBookShortcut("X", "Book"));
}

TEST_F(WithServices, BookShortcutReportsAFailedWrite) {
  plat::fs::FaultScope faults;
  plat::fs::injectFault(plat::fs::FaultOp::Write, "menu", ENOSPC, 10);
  EXPECT_FALSE(util.CreateBookShortcut("ABC", "Book", 0));
  EXPECT_FALSE(stdfs::exists(base() / "menu/Book.desktop"));
}

TEST(FileUtilShortcut, ExecAndValuesAreQuoted) {
  EXPECT_EQ(desktopEntryText(" lead", "/opt/my app/run$", "/w d", "-a 50% x\"y", "/i.png", "two\nlines\\"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=\\slead\n"
            "Comment=two\\nlines\\\\\n"
            "Exec=\"/opt/my app/run\\\\$\" -a 50%% \"x\\\\\"y\"\n"
            "Path=/w d\n"
            "Icon=/i.png\n"
            "Terminal=false\n");
  const COrv_FileUtil u;
  EXPECT_FALSE(u.CreateShortcut("", "/bin/true", "", "", "", 0, ""));
  EXPECT_FALSE(u.CreateShortcut((base() / "l.desktop").string(), "", "", "", "", 0, ""));
  const stdfs::path link = base() / "new/folder/Start.desktop";
  ASSERT_TRUE(u.CreateShortcut(link.string(), "/bin/true", "", "", "", 5, "d"));
  EXPECT_NE(tvtest::readFile(link).find("Name=Start\nComment=d\nExec=/bin/true\n"), std::string::npos);
}

}  // namespace
