// The working folder of the grammar pages: per user, private (0700), never a
// folder or link someone else made, and never the old shared "~tmp" of the
// temporary folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/testing/test_env.h"
#include "shared/pages/work_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 65534;  // nobody

struct stat statOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st;
}

// Runs WorkFolder() as another user with its own environment; answers
// "<path> <owner> <mode>" of the folder it got, or "" when refused.
std::string workFolderAs(uid_t uid, const fs::path& home, const char* runtime) {
  int pipeFd[2];
  if (::pipe(pipeFd) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFd[0]);
    if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(3);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CACHE_HOME");
    if (runtime != nullptr) ::setenv("XDG_RUNTIME_DIR", runtime, 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    const fs::path folder = tv::pages::WorkFolder();
    std::string out;
    struct stat st {};
    if (!folder.empty() && ::lstat(folder.c_str(), &st) == 0)
      out = folder.string() + " " + std::to_string(st.st_uid) + " " + std::to_string(st.st_mode & 07777);
    const bool written = ::write(pipeFd[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    ::_exit(written ? 0 : 4);
  }
  ::close(pipeFd[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = ::read(pipeFd[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  ::close(pipeFd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed " + std::to_string(status);
  return out;
}

TEST(WorkFolderTest, APrivateFolderOfTheUserNotTheSharedOldPlace) {
  const auto& box = tvtest::sandbox();
  // Someone else's folder at the old place, open to all, with a page in it.
  const fs::path old = box.tmp / "~tmp";
  fs::create_directories(old);
  tvtest::writeFile(old / "0000.htm", "planted");
  ::chmod(old.c_str(), 0777);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(old.c_str(), kOtherUser, kOtherUser), 0);
  }

  const fs::path folder = tv::pages::WorkFolder();
  EXPECT_EQ(folder, box.runtime / "talvane-grammar");
  const struct stat st = statOf(folder);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(tv::pages::WorkFolder(), folder);

  // The old place is left as it was.
  EXPECT_EQ(statOf(old).st_mode & 0777, 0777u);
  if (root) {
    EXPECT_EQ(statOf(old).st_uid, kOtherUser);
  }
  EXPECT_EQ(tvtest::readFile(old / "0000.htm"), "planted");

  // Without a runtime folder, the user's cache holds it.
  ::unsetenv("XDG_RUNTIME_DIR");
  const fs::path cached = tv::pages::WorkFolder();
  ::setenv("XDG_RUNTIME_DIR", box.runtime.c_str(), 1);
  EXPECT_EQ(cached, box.home / ".cache" / "talvane" / "grammar");
  EXPECT_EQ(statOf(cached).st_mode & 0777, 0700u);
}

TEST(WorkFolderTest, AFolderOfOursThatOthersCouldReadIsNarrowed) {
  const fs::path folder = tvtest::sandbox().runtime / "talvane-grammar";
  fs::create_directories(folder);
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(tv::pages::WorkFolder(), folder);
  EXPECT_EQ(statOf(folder).st_mode & 0777, 0700u);
}

TEST(WorkFolderTest, WhatSomeoneElsePlantedInItsPlaceIsRefused) {
  enum class Planted { Link, File, ForeignFolder };
  struct Case {
    const char* what;
    Planted planted;
  } cases[] = {{"a link to another folder", Planted::Link},
               {"a file", Planted::File},
               {"a folder of another user", Planted::ForeignFolder}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Only root can make another user's folder.
    if (c.planted == Planted::ForeignFolder && ::geteuid() != 0) continue;
    const auto& box = tvtest::sandbox();
    const fs::path place = box.runtime / "talvane-grammar";
    const fs::path elsewhere = box.base / "elsewhere";
    fs::remove_all(place);
    fs::remove_all(elsewhere);
    fs::create_directories(elsewhere);
    if (c.planted == Planted::Link) {
      fs::create_directory_symlink(elsewhere, place);
    } else if (c.planted == Planted::File) {
      tvtest::writeFile(place, "x");
    } else {
      fs::create_directories(place);
      ::chmod(place.c_str(), 0777);
      ASSERT_EQ(::chown(place.c_str(), kOtherUser, kOtherUser), 0);
    }
    EXPECT_EQ(tv::pages::WorkFolder(), fs::path());
    // Nothing was changed through it.
    EXPECT_TRUE(fs::is_empty(elsewhere));
    if (c.planted == Planted::ForeignFolder) {
      EXPECT_EQ(statOf(place).st_mode & 0777, 0777u);
      EXPECT_EQ(statOf(place).st_uid, kOtherUser);
    }
    fs::remove_all(place);
  }
}

TEST(WorkFolderTest, TwoUsersEachGetTheirOwnPrivateFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as a second user";
  const auto& box = tvtest::sandbox();
  const fs::path mine = tv::pages::WorkFolder();
  ASSERT_FALSE(mine.empty());

  // The other user's home and runtime folder, as a login would make them,
  // in a folder the other user can reach (the sandbox may lie under this
  // user's private home).
  char shared[] = "/tmp/talvane-other-XXXXXX";
  ASSERT_NE(::mkdtemp(shared), nullptr);
  const std::unique_ptr<char, void (*)(char*)> removeShared(shared, [](char* p) { fs::remove_all(p); });
  ::chmod(shared, 0755);
  const fs::path other = fs::path(shared) / "other";
  const fs::path otherHome = other / "home";
  const fs::path otherRuntime = other / "run";
  fs::create_directories(otherHome);
  fs::create_directories(otherRuntime);
  for (const fs::path& p : {other, otherHome, otherRuntime})
    ASSERT_EQ(::chown(p.c_str(), kOtherUser, kOtherUser), 0);
  ::chmod(otherRuntime.c_str(), 0700);

  EXPECT_EQ(workFolderAs(kOtherUser, otherHome, otherRuntime.c_str()),
            (otherRuntime / "talvane-grammar").string() + " 65534 448");
  // Without a runtime folder: in the other user's own cache.
  const std::string otherCache = (otherHome / ".cache" / "talvane" / "grammar").string() + " 65534 448";
  EXPECT_EQ(workFolderAs(kOtherUser, otherHome, nullptr), otherCache);
  // Pointed at this user's runtime folder, it does not take this user's
  // working folder: it refuses it where it can reach it, and keeps to its
  // own cache where this user's home hides it.
  ::chmod(box.base.c_str(), 0755);
  ::chmod(box.runtime.c_str(), 0755);
  const std::string pointed = workFolderAs(kOtherUser, otherHome, box.runtime.c_str());
  EXPECT_TRUE(pointed.empty() || pointed == otherCache) << pointed;
  ::chmod(box.runtime.c_str(), 0700);

  const struct stat st = statOf(mine);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
