// Ini files on disk: missing files and folders, locking across processes,
// atomic replacement and failures.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "platform/fs/fault.h"
#include "platform/fs/file_io.h"
#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
namespace profile = plat::profile;

namespace {

std::set<std::string> folderEntries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

ino_t inodeOf(const fs::path& p) {
  struct stat st{};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(ProfileFile, MissingFileReadsAsEmpty) {
  const fs::path file = tvtest::sandbox().tmp / "none.ini";
  EXPECT_EQ(profile::getString(file, "S", "k", "dflt", 100), "dflt");
  EXPECT_EQ(profile::getInt(file, "S", "k", 16), 16);
  EXPECT_TRUE(profile::sectionNames(file).empty());
  EXPECT_TRUE(profile::keyNames(file, "S").empty());
  EXPECT_FALSE(profile::hasSection(file, "S"));
  // A folder in the file's place reads as empty too.
  EXPECT_EQ(profile::getString(tvtest::sandbox().tmp, "S", "k", "dflt", 100), "dflt");
}

TEST(ProfileFile, WriteCreatesTheFileButNotItsFolder) {
  const fs::path file = tvtest::sandbox().tmp / "Qlonwin.dpl";
  ASSERT_FALSE(profile::writeString(file, "Settings", "Enablings", "111110"));
  EXPECT_EQ(tvtest::readFile(file), "[Settings]\r\nEnablings=111110\r\n");
  EXPECT_EQ(profile::getString(file, "settings", "enablings", "", 7), "111110");

  const fs::path deep = tvtest::sandbox().tmp / "missing" / "General.ini";
  EXPECT_EQ(profile::writeString(deep, "S", "k", "v"), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(deep.parent_path()));
}

// A name that is no file fails every write and leaves nothing behind in
// the folder it points at, the current one included.
TEST(ProfileFile, WritesToANameThatIsNoFileFailAndCreateNothing) {
  const fs::path folder = tvtest::sandbox().tmp / "cwd";
  fs::create_directory(folder);
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  for (const fs::path& name : {fs::path(), fs::path("."), fs::path(".."), folder / "", folder / "."}) {
    SCOPED_TRACE(name.string());
    EXPECT_EQ(profile::writeString(name, "S", "k", "v"), std::errc::invalid_argument);
    EXPECT_EQ(profile::update(name, [](const profile::Snapshot&, profile::Batch& b) { b.writeString("S", "k", "v"); }),
              std::errc::invalid_argument);
    EXPECT_EQ(profile::replaceFile(name, "[S]\r\n"), std::errc::invalid_argument);
  }
  fs::current_path(before);
  EXPECT_TRUE(folderEntries(folder).empty());
  for (const char* lock : {"..lock", "...lock", "....lock"})
    EXPECT_FALSE(folderEntries(folder.parent_path()).count(lock)) << lock;
}

TEST(ProfileFile, DeletesFromMissingFilesCreateNothing) {
  const fs::path folder = tvtest::sandbox().tmp / "user";
  fs::create_directory(folder);
  EXPECT_FALSE(profile::deleteKey(folder / "a.ini", "S", "k"));
  EXPECT_FALSE(profile::deleteSection(folder / "a.ini", "S"));
  EXPECT_FALSE(profile::deleteSection(folder / "missing" / "a.ini", "S"));
  EXPECT_TRUE(folderEntries(folder).empty());
}

TEST(ProfileFile, WriteThatChangesNothingLeavesTheFile) {
  const fs::path file = tvtest::sandbox().tmp / "Index.tvk";
  tvtest::writeFile(file, "[Tv installed]\nABC=1\n");
  const ino_t before = inodeOf(file);
  ASSERT_FALSE(profile::writeString(file, "TV INSTALLED", "abc", "1"));
  ASSERT_FALSE(profile::deleteKey(file, "Tv installed", "XYZ"));
  EXPECT_EQ(inodeOf(file), before);
  ASSERT_FALSE(profile::writeString(file, "General", "Count", "1"));
  EXPECT_NE(inodeOf(file), before);
  EXPECT_EQ(tvtest::readFile(file), "[Tv installed]\nABC=1\n[General]\r\nCount=1\r\n");
}

TEST(ProfileFile, RefusedNamesLeaveTheFileByteForByte) {
  const fs::path file = tvtest::sandbox().tmp / "Index.usr";
  const std::string before = "[Default]\nCount=1\npwd=00\n";
  tvtest::writeFile(file, before);
  EXPECT_EQ(profile::writeString(file, "eve]\r\n[Default", "pwd", "ff"), std::errc::invalid_argument);
  EXPECT_EQ(profile::writeString(file, "eve", "pwd", "ff\r\n[Default]"), std::errc::invalid_argument);
  EXPECT_EQ(profile::deleteKey(file, "Default", "Count=1"), std::errc::invalid_argument);
  EXPECT_EQ(tvtest::readFile(file), before);
}

TEST(ProfileFile, BatchWritesOnceAndInOrder) {
  const fs::path file = tvtest::sandbox().tmp / "ABC.ini";
  tvtest::writeFile(file, "[Settings]\r\nTitle=Old\r\n[Lang3]\r\nTitle=x\r\n");
  profile::Batch b;
  b.writeString("Settings", "Title", "New").deleteSection("Lang3").writeString("Modules", "Num", "0");
  ASSERT_FALSE(b.apply(file));
  EXPECT_EQ(tvtest::readFile(file), "[Settings]\r\nTitle=New\r\n[Modules]\r\nNum=0\r\n");
  const profile::Snapshot s = profile::Snapshot::load(file);
  EXPECT_EQ(s.sectionNames(), (std::vector<std::string>{"Settings", "Modules"}));
  EXPECT_EQ(s.getInt("modules", "num", 5), 0);
}

TEST(ProfileFile, TwoProcessesWritingInTurnLoseNothing) {
  const fs::path file = tvtest::sandbox().tmp / "Index.usr";
  pid_t kids[2];
  for (int k = 0; k < 2; ++k) {
    kids[k] = ::fork();
    ASSERT_GE(kids[k], 0);
    if (kids[k] == 0) {
      int failures = 0;
      for (int i = 0; i < 100; ++i) {
        const std::string section = "user" + std::to_string(k);
        if (profile::writeString(file, section, "k" + std::to_string(i), std::to_string(i))) ++failures;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t kid : kids) {
    int status = 0;
    ASSERT_EQ(::waitpid(kid, &status, 0), kid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const profile::Snapshot s = profile::Snapshot::load(file);
  for (int k = 0; k < 2; ++k) {
    const std::string section = "user" + std::to_string(k);
    EXPECT_EQ(s.keyNames(section).size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(s.getInt(section, "k" + std::to_string(i), -1), i);
  }
}

TEST(ProfileFile, FailedWriteLeavesTheOldFile) {
  plat::fs::FaultScope faults;
  const fs::path file = tvtest::sandbox().tmp / "General.ini";
  const std::string before = "[General]\r\nLastEM=4\r\n";
  tvtest::writeFile(file, before);
  struct Case {
    plat::fs::FaultOp op;
    int error;
  };
  // A failed write or rename of the new content, and a file that cannot be
  // read (it must not be replaced by what little is known of it).
  for (Case c : {Case{plat::fs::FaultOp::Write, ENOSPC}, Case{plat::fs::FaultOp::Rename, EIO},
                 Case{plat::fs::FaultOp::Read, EIO}}) {
    plat::fs::injectFault(c.op, "General.ini", c.error);
    EXPECT_EQ(profile::writeString(file, "General", "LastEM", "5").value(), c.error);
    EXPECT_EQ(tvtest::readFile(file), before);
  }
  // Nothing is left behind but the file and its lock.
  EXPECT_EQ(folderEntries(file.parent_path()),
            (std::set<std::string>{"General.ini", plat::fs::FileLock::lockPathFor(file).filename().string()}));
  // And the next write succeeds.
  ASSERT_FALSE(profile::writeString(file, "General", "LastEM", "5"));
  EXPECT_EQ(profile::getInt(file, "General", "LastEM", 0), 5);
}

TEST(ProfileFile, RemovingAFileLeavesItsFolderEmpty) {
  const fs::path folder = tvtest::sandbox().tmp / "ABC";
  fs::create_directory(folder);
  ASSERT_FALSE(profile::writeString(folder / "ABC.ini", "Settings", "NumQuotes", "3"));
  ASSERT_FALSE(profile::removeIniFile(folder / "ABC.ini"));
  EXPECT_TRUE(folderEntries(folder).empty());
  EXPECT_FALSE(profile::removeIniFile(folder / "ABC.ini"));
  EXPECT_FALSE(profile::removeIniFile(folder / "gone" / "ABC.ini"));
}

}  // namespace

namespace {

// Lines an ini reader cannot make sense of (a header without its ']', a
// stray line, bytes that are no text) survive every write as they stood,
// and so does everything after them; an update reads its count under the
// lock and writes it back with the rest.
TEST(ProfileFile, UnreadableLinesAndWhatFollowsThemSurviveAWrite) {
  const fs::path file = tvtest::sandbox().base / "odd.ini";
  const std::string odd =
      "[General\r\n"
      "\x01\x02 binary \xff\r\n"
      "stray line\r\n"
      "[Default]\r\n"
      "Count=2\r\n"
      "[Bob]\r\n"
      "pwd=1234\r\n";
  tvtest::writeFile(file, odd);
  ASSERT_FALSE(profile::update(file, [](const profile::Snapshot& now, profile::Batch& batch) {
    batch.writeString("Default", "Count", std::to_string(now.getInt("Default", "Count", 0) + 1));
  }));
  const std::string after = tvtest::readFile(file);
  for (const char* line : {"[General\r\n", "\x01\x02 binary \xff\r\n", "stray line\r\n", "[Bob]\r\n", "pwd=1234\r\n"})
    EXPECT_NE(after.find(line), std::string::npos) << line;
  EXPECT_EQ(profile::getInt(file, "Default", "Count", 0), 3);
  EXPECT_EQ(profile::getString(file, "Bob", "pwd", "", 10), "1234");
}

}  // namespace
