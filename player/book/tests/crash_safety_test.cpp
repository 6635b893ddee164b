// What a learner owns survives a crash at any file operation: the
// installed-book information, the user index with the users' folders, and
// the status files each read back as their old or their new version, and
// the next write leaves no temporary file behind. Two programs writing at
// once lose no count.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/file_io.h"
#include "platform/profile/profile.h"
#include "platform/testing/crash_points.h"
#include "platform/testing/test_env.h"
#include "player/book/book_info.h"
#include "player/env/tests/env_test_support.h"
#include "player/env/users.h"

namespace {

namespace fs = std::filesystem;
namespace profile = plat::profile;
using orv::COrv_BookInfo;
using orv::COrv_Users;

class CrashSafetyTest : public orvtest::EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    orv::installUsersDefaultUserMaker();
    orv::installBookInfoEchomarkCounts();
    data = (tvtest::sandbox().base / "data").string();
    fs::create_directories(settingsFile().parent_path());
    ASSERT_FALSE(profile::writeString(settingsFile(), "Datapath", "DataPath", data));
  }
  void TearDown() override {
    orv::setEchomarkCountSource(nullptr);
    EnvTest::TearDown();
  }

  // A new data path with "Default" and nothing else.
  void freshDataPath() {
    fs::remove_all(data);
    fs::create_directories(data);
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath(&data));
  }

  // Writes the whole information of book ABC the way an install does.
  static bool writeBook(const std::string& title, int quotes, const std::string& description) {
    COrv_BookInfo info;
    return info.BeginBook("ABC") && info.Register("ABC", "/srv/books/abc.tvl", 0, true) && info.SetTvlClass(2) &&
           info.SetCategory(3) && info.SetDescription(description, -1) && info.SetTitle(title, -1) &&
           info.SetNumQuotes(quotes) && info.CommitBook();
  }

  std::vector<std::string> temporaries() const {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(data))
      if (plat::fs::isWriteTemporaryName(e.path().filename().string())) found.push_back(e.path().string());
    return found;
  }

  std::string data;
};

TEST_F(CrashSafetyTest, BookInformationIsTheOldOrTheNewVersionAfterACrash) {
  const std::string longText(250, 'd');
  const auto setup = [&] {
    freshDataPath();
    ASSERT_TRUE(writeBook("Old title", 12, "old"));
  };
  const auto work = [&] { writeBook("New title", 30, longText); };
  const int points = tvtest::forEachCrashPoint("Talvanes", setup, work, [&](const std::string& where) {
    COrv_BookInfo book("ABC");
    ASSERT_EQ(book.GetSelectedCode(), "ABC") << where;
    const std::string title = book.GetTitle(-1);
    if (title == "Old title") {
      EXPECT_EQ(book.GetNumQuotes(), 12) << where;
      EXPECT_EQ(book.GetDescription(-1), "old") << where;
    } else {
      EXPECT_EQ(title, "New title") << where;
      EXPECT_EQ(book.GetNumQuotes(), 30) << where;
      EXPECT_EQ(book.GetDescription(-1), longText) << where;
    }
    EXPECT_EQ(book.GetInstalledCount(), 1) << where;
    // The next writer clears what the dead one left.
    ASSERT_TRUE(writeBook("Again", 5, ""));
    EXPECT_EQ(temporaries(), std::vector<std::string>{}) << where;
  });
  EXPECT_GT(points, 5);
}

TEST_F(CrashSafetyTest, ANewBookIsAbsentOrWholeAfterACrash) {
  const int points = tvtest::forEachCrashPoint("Talvanes", [&] { freshDataPath(); },
                                               [&] { writeBook("Title", 7, "text"); }, [&](const std::string& where) {
    COrv_BookInfo book("ABC");
    if (book.GetSelectedCode().empty()) {
      EXPECT_EQ(book.GetInstalledCount(), 0) << where;
    } else {
      EXPECT_EQ(book.GetTitle(-1), "Title") << where;
      EXPECT_EQ(book.GetNumQuotes(), 7) << where;
      EXPECT_EQ(book.GetInstalledCount(), 1) << where;
    }
    ASSERT_TRUE(writeBook("Title", 7, "text"));
    EXPECT_EQ(COrv_BookInfo().GetInstalledCount(), 1) << where;
    EXPECT_EQ(temporaries(), std::vector<std::string>{}) << where;
    // A crash never keeps the book's folder from going.
    COrv_BookInfo gone("ABC");
    ASSERT_TRUE(gone.Unregister());
    EXPECT_FALSE(fs::exists(fs::path(data) / "Talvanes" / "ABC")) << where;
  });
  EXPECT_GT(points, 5);
}

TEST_F(CrashSafetyTest, AUserIsAbsentOrWholeAfterACrash) {
  const std::string users = data + "/Users";
  const int points = tvtest::forEachCrashPoint("Users", [&] { freshDataPath(); },
                                               [&] { COrv_Users().AddUser("Anna", "pw", false); },
                                               [&](const std::string& where) {
    COrv_Users u;
    const int count = profile::getInt(users + "/Index.usr", "Default", "Count", -1);
    if (u.UserExists("Anna")) {
      EXPECT_EQ(count, 2) << where;
      EXPECT_TRUE(fs::is_regular_file(users + "/Anna/General.ini")) << where;
      EXPECT_TRUE(u.CheckPassword("Anna", "pw")) << where;
    } else {
      EXPECT_EQ(count, 1) << where;
      // Adding the user again works and makes a whole user.
      ASSERT_TRUE(u.AddUser("Anna", "pw", false)) << where;
      EXPECT_TRUE(fs::is_regular_file(users + "/Anna/General.ini")) << where;
    }
    EXPECT_EQ(profile::getInt(users + "/Index.usr", "Default", "Count", -1), 2) << where;
    EXPECT_EQ(temporaries(), std::vector<std::string>{}) << where;
  });
  EXPECT_GT(points, 5);
}

TEST_F(CrashSafetyTest, StatusFilesAreTheOldOrTheNewListAfterACrash) {
  const auto setup = [&] {
    freshDataPath();
    ASSERT_TRUE(writeBook("Book", 6, ""));
    COrv_Users u;
    u.SetCurrentUser("Default");
    u.WriteQuoteStatusList("ABC", {1, 1, 1, 1, 1, 1});
  };
  const auto work = [] {
    COrv_Users u;
    u.SetCurrentUser("Default");
    u.WriteQuoteStatusList("ABC", {2, 2, 2, 2, 2, 2});
  };
  const int points = tvtest::forEachCrashPoint("ABC.ST", setup, work, [&](const std::string& where) {
    COrv_Users u;
    u.SetCurrentUser("Default");
    std::vector<int> status;
    ASSERT_TRUE(u.ReadQuoteStatusList("ABC", status));
    EXPECT_TRUE(status == std::vector<int>(6, 1) || status == std::vector<int>(6, 2)) << where;
    u.WriteLastQuote("ABC", 3);
    EXPECT_EQ(temporaries(), std::vector<std::string>{}) << where;
  });
  EXPECT_GT(points, 2);
}

// A user listed without a folder (left by an older program) gets the
// folder back: at the next start and at the next status write.
TEST_F(CrashSafetyTest, AListedUserWithoutAFolderIsRepaired) {
  freshDataPath();
  ASSERT_TRUE(writeBook("Book", 4, ""));
  ASSERT_TRUE(COrv_Users().AddUser("Bob", "", false));
  fs::remove_all(data + "/Users/Bob");
  EXPECT_TRUE(orv::COrv_Environment().VerifyDataPath(&data));
  EXPECT_TRUE(fs::is_regular_file(data + "/Users/Bob/General.ini"));

  fs::remove_all(data + "/Users/Bob");
  COrv_Users u;
  u.SetCurrentUser("Bob");
  u.WriteQuoteStatus("ABC", 2, 9);
  EXPECT_EQ(u.ReadQuoteStatus("ABC", 2), 9);
}

// Two programs adding books and users at once: every one is counted.
TEST_F(CrashSafetyTest, TwoWritersAtOnceLoseNoCount) {
  freshDataPath();
  constexpr int kEach = 60;
  std::vector<pid_t> children;
  for (const char prefix : {'A', 'B'}) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kEach; ++i) {
        ok = COrv_BookInfo().AddInstalled(std::string(1, prefix) + std::to_string(i)) && ok;
        if (i % 6 == 0) ok = COrv_Users().AddUser(std::string(1, prefix) + "user" + std::to_string(i), "", false) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  COrv_BookInfo books;
  std::vector<std::string> codes;
  EXPECT_EQ(books.GetInstalledBooks(codes), 2 * kEach);
  EXPECT_EQ(books.GetInstalledCount(), 2 * kEach);
  orv::COrv_StringList names;
  EXPECT_EQ(COrv_Users().GetUserNames(names), 1 + 2 * (kEach / 6));
  EXPECT_EQ(COrv_Users().GetUserCount(), 1 + 2 * (kEach / 6));
}

}  // namespace
