#include "player/env/users.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/profile/profile.h"
#include "player/env/credential_block.h"
#include "player/env/tests/env_test_support.h"

namespace {

namespace fs = std::filesystem;
using orv::COrv_StringList;
using orv::COrv_Users;

// Each case gets a data path of its own, stored in the settings file and
// built with the accounts' maker of the default user.
class UsersTest : public orvtest::EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    orv::installUsersDefaultUserMaker();
    data = (tvtest::sandbox().base / "data").string();
    fs::create_directories(data);
    fs::create_directories(settingsFile().parent_path());
    ASSERT_FALSE(plat::profile::writeString(settingsFile(), "Datapath", "DataPath", data));
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath(&data));
  }
  void TearDown() override {
    orv::setEchomarkCountSource(nullptr);
    EnvTest::TearDown();
  }

  std::string users() const { return data + "/Users"; }
  std::string index() const { return users() + "/Index.usr"; }
  int storedCount() const { return plat::profile::getInt(index(), "Default", "Count", -1); }
  std::vector<std::string> names() {
    COrv_StringList list;
    COrv_Users u;
    const int n = u.GetUserNames(list);
    EXPECT_EQ(n, static_cast<int>(list.size()));
    return list;
  }
  // Count must always be the number of users the index holds.
  void expectUsers(const std::vector<std::string>& expected) {
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(storedCount(), static_cast<int>(expected.size()));
  }
  // Registers a Talvane the way the installed-book information keeps it.
  void installBook(const std::string& code, int echomarks) {
    ASSERT_FALSE(plat::profile::writeString(data + "/Talvanes/Index.tvk", "Tv installed", code, "1"));
    fs::create_directories(data + "/Talvanes/" + code);
    ASSERT_FALSE(plat::profile::writeString(data + "/Talvanes/" + code + "/" + code + ".ini", "Settings", "NumQuotes",
                                            std::to_string(echomarks)));
  }

  std::string data;
};

// --- The credential block -------------------------------------------------------------

// The block itself (cuts, round trip, refusals) is tested with its codec;
// here: the accounts use that same block, and an account needs a name.
TEST_F(UsersTest, CredentialsAreTheSharedBlockAndNeedAName) {
  COrv_Users u;
  std::string digits;
  ASSERT_TRUE(u.EncodeCredentials("bob", "pw", digits));
  EXPECT_EQ(digits, orv::encodeCredentialBlock("bob", "pw"));
  std::string name, password;
  ASSERT_TRUE(u.DecodeCredentials(orv::encodeCredentialBlock("ann", "secret"), name, password));
  EXPECT_EQ(name, "ann");
  EXPECT_EQ(password, "secret");
  name = "kept";
  EXPECT_FALSE(u.DecodeCredentials(digits.substr(0, 79), name, password));
  EXPECT_EQ(name, "kept");
  digits = "unchanged";
  EXPECT_FALSE(u.EncodeCredentials("", "pw", digits));
  EXPECT_EQ(digits, "unchanged");
}

// --- Accounts ---------------------------------------------------------------------------

TEST_F(UsersTest, NewDataPathHasTheDefaultUserWithAnEmptyPassword) {
  expectUsers({"Default"});
  EXPECT_TRUE(fs::is_regular_file(users() + "/Default/General.ini"));
  COrv_Users u;
  EXPECT_TRUE(u.CheckPassword("Default", ""));
  EXPECT_TRUE(u.CheckPassword("", ""));
  // Built again: still one default user.
  ASSERT_TRUE(orv::COrv_Environment().CreateDataPath(&data));
  expectUsers({"Default"});
  // An index with a stale Count and no user gets a Count that fits.
  tvtest::writeFile(index(), "[Default]\r\nCount=3\r\n");
  ASSERT_TRUE(orv::COrv_Environment().CreateDataPath(&data));
  expectUsers({"Default"});
}

TEST_F(UsersTest, AddUserWithEmptyNameAndAcceptExistingMakesDefault) {
  const std::string other = (tvtest::sandbox().base / "other").string();
  fs::create_directories(other + "/Users");
  COrv_Users u(other);
  ASSERT_TRUE(u.AddUser("", "", true));
  EXPECT_EQ(plat::profile::sectionNames(other + "/Users/Index.usr"), std::vector<std::string>{"Default"});
  EXPECT_EQ(plat::profile::getInt(other + "/Users/Index.usr", "Default", "Count", 0), 1);
  EXPECT_TRUE(fs::is_regular_file(other + "/Users/Default/General.ini"));
}

TEST_F(UsersTest, AddAddAgainAndDeleteKeepCountEqualToTheUsers) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Bob", "secret"));
  expectUsers({"Default", "Bob"});
  tvtest::writeFile(users() + "/Bob/General.ini", "[View]\r\nZoom=2\r\n");

  EXPECT_FALSE(u.AddUser("Bob", "other"));  // exists
  EXPECT_FALSE(u.AddUser("BOB", "other"));  // the same user
  expectUsers({"Default", "Bob"});
  EXPECT_TRUE(u.CheckPassword("Bob", "secret"));

  // Accepting an existing user changes its password only.
  ASSERT_TRUE(u.AddUser("Bob", "newpw", true));
  expectUsers({"Default", "Bob"});
  EXPECT_EQ(tvtest::readFile(users() + "/Bob/General.ini"), "[View]\r\nZoom=2\r\n");
  EXPECT_TRUE(u.CheckPassword("Bob", "newpw"));

  ASSERT_TRUE(u.AddUser("Ann", ""));
  expectUsers({"Default", "Bob", "Ann"});

  EXPECT_FALSE(u.DeleteUser("Bob", "secret"));  // wrong password
  EXPECT_FALSE(u.DeleteUser("Carl", ""));       // no such user
  expectUsers({"Default", "Bob", "Ann"});
  ASSERT_TRUE(u.DeleteUser("Bob", "newpw"));
  expectUsers({"Default", "Ann"});
  EXPECT_FALSE(fs::exists(users() + "/Bob"));
  EXPECT_FALSE(u.UserExists("Bob"));
}

TEST_F(UsersTest, DeleteRemovesStatusFiles) {
  installBook("ABC", 3);
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Bob", "pw"));
  u.SetCurrentUser("Bob");
  u.WriteQuoteStatus("ABC", 2, 3);
  u.WriteLastQuote("ABC", 2);
  ASSERT_TRUE(fs::is_regular_file(users() + "/Bob/ABC.ST"));
  ASSERT_TRUE(u.DeleteUser("Bob", "pw"));
  EXPECT_FALSE(fs::exists(users() + "/Bob"));
}

// A user whose index entry is gone (a crash, damage, an edit) still has a
// folder of progress: adding the name again takes the folder over and
// keeps every status file in it byte for byte; only General.ini is emptied.
TEST_F(UsersTest, AddingOverAnExistingFolderKeepsItsStatusFiles) {
  installBook("ABC", 3);
  const std::string status = "[EMStatus]\r\nEM2=3\r\n[General]\r\nLastEM=2\r\n";
  const std::string other = "; kept\r\n[EMStatus]\r\nEM1=1\r\n";
  fs::create_directories(users() + "/Bob");
  tvtest::writeFile(users() + "/Bob/ABC.ST", status);
  tvtest::writeFile(users() + "/Bob/XYZ.ST", other);
  tvtest::writeFile(users() + "/Bob/General.ini", "[Old]\r\nx=1\r\n");
  COrv_Users u;
  ASSERT_FALSE(u.UserExists("Bob"));
  ASSERT_TRUE(u.AddUser("Bob", "pw"));
  expectUsers({"Default", "Bob"});
  EXPECT_EQ(tvtest::readFile(users() + "/Bob/ABC.ST"), status);
  EXPECT_EQ(tvtest::readFile(users() + "/Bob/XYZ.ST"), other);
  EXPECT_EQ(tvtest::readFile(users() + "/Bob/General.ini"), "");
  u.SetCurrentUser("Bob");
  EXPECT_EQ(u.ReadQuoteStatus("ABC", 2), 3);
  EXPECT_EQ(u.ReadLastQuote("ABC"), 2);
}

// An index saved by an editor that starts files with a UTF-8 byte-order
// mark still lists its first section: no user goes missing, so adding a
// listed name again never treats its folder as a stranger's.
TEST_F(UsersTest, AnIndexWithAByteOrderMarkKeepsItsUsers) {
  installBook("ABC", 3);
  {
    COrv_Users u;
    ASSERT_TRUE(u.AddUser("Bob", "pw"));
  }
  const std::string status = "[EMStatus]\r\nEM2=3\r\n";
  tvtest::writeFile(users() + "/Default/ABC.ST", status);
  tvtest::writeFile(index(), "\xEF\xBB\xBF" + tvtest::readFile(index()));
  expectUsers({"Default", "Bob"});
  COrv_Users u;
  EXPECT_TRUE(u.UserExists("Default"));
  EXPECT_FALSE(u.AddUser("Default", "", false));
  EXPECT_TRUE(u.AddUser("Default", "", true));
  expectUsers({"Default", "Bob"});
  EXPECT_EQ(tvtest::readFile(users() + "/Default/ABC.ST"), status);
}

TEST_F(UsersTest, DeleteKeepsAFolderThatHoldsOtherFiles) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Bob", "pw"));
  tvtest::writeFile(users() + "/Bob/notes.txt", "mine");
  ASSERT_TRUE(u.DeleteUser("Bob", "pw"));
  expectUsers({"Default"});
  EXPECT_EQ(tvtest::readFile(users() + "/Bob/notes.txt"), "mine");
  EXPECT_FALSE(fs::exists(users() + "/Bob/General.ini"));
}

TEST_F(UsersTest, TheDefaultUserCannotBeDeleted) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Ann", "a"));
  EXPECT_FALSE(u.DeleteUser("Default", ""));
  EXPECT_FALSE(u.DeleteUser("", ""));
  EXPECT_FALSE(u.DeleteUser("default", ""));
  expectUsers({"Default", "Ann"});
  EXPECT_TRUE(fs::is_regular_file(users() + "/Default/General.ini"));
}

TEST_F(UsersTest, DeletingTheCurrentUserLeavesDefaultCurrent) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Bob", "pw"));
  ASSERT_TRUE(u.AddUser("Ann", "pw"));
  u.SetCurrentUser("Ann");
  ASSERT_TRUE(u.DeleteUser("Bob", "pw"));
  EXPECT_EQ(u.GetCurrentUser(), "Ann");  // another user: unchanged
  u.SetCurrentUser("ann");
  ASSERT_TRUE(u.DeleteUser("Ann", "pw"));
  EXPECT_EQ(u.GetCurrentUser(), "Default");
}

TEST_F(UsersTest, PasswordsAreComparedAsTheBlockKeepsThem) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Ann", "abcdefghijk"));  // 11 characters
  struct Case {
    const char* typed;
    bool ok;
  } cases[] = {{"abcdefghijk", true}, {"abcdefghij", true}, {"abcdefghijXYZ", true},
               {"abcdefghiX", false}, {"ABCDEFGHIJK", false}, {"", false}};
  for (const Case& c : cases) EXPECT_EQ(u.CheckPassword("Ann", c.typed), c.ok) << c.typed;
  EXPECT_EQ(u.GetPassword("Ann"), "abcdefghij");
  EXPECT_EQ(u.GetCurrentUser(), "Default");  // checking left no user current: now Default

  // A user that does not exist never logs in, not even with an empty password.
  EXPECT_FALSE(u.CheckPassword("Nobody", ""));
  EXPECT_EQ(u.GetPassword("Nobody"), "");
}

TEST_F(UsersTest, ChangePasswordNeedsTheCurrentUsersOldPassword) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Ann", "old"));
  EXPECT_FALSE(u.ChangePassword("old", "new"));  // no current user
  u.SetCurrentUser("ann");
  EXPECT_FALSE(u.ChangePassword("wrong", "new"));
  ASSERT_TRUE(u.ChangePassword("old", "new"));
  EXPECT_TRUE(u.CheckPassword("Ann", "new"));
  EXPECT_FALSE(u.CheckPassword("Ann", "old"));
  expectUsers({"Default", "Ann"});
  u.SetCurrentUser("Nobody");
  EXPECT_FALSE(u.ChangePassword("", "x"));
  expectUsers({"Default", "Ann"});
}

TEST_F(UsersTest, NamesThatWouldBreakTheIndexOrEscapeTheFolderAreRefused) {
  const std::string refused[] = {"a\nb", "a\rb", "bob\r\n", std::string("a\0b", 3), "a=b", "a]b", "a]",
                                 ".",    "..",   "...",      "  ..  ",
                                 // Not UTF-8: CP1252 text, a cut sequence, an overlong form.
                                 "Br\xFC" "cke", "Ann\xC3", "a\xC0\xAF"};
  COrv_Users u;
  for (const std::string& name : refused) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(COrv_Users::IsValidUserName(name));
    EXPECT_FALSE(u.AddUser(name, "pw", true));
    EXPECT_FALSE(u.UserExists(name));
  }
  expectUsers({"Default"});
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(data)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"BackUp", "DownLoad", "Install", "Talvanes", "Users"}));
}

TEST_F(UsersTest, DottedAndSlashedNamesStayInsideTheUsersFolder) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Mr. Smith", "pw"));
  ASSERT_TRUE(u.AddUser("../x", "pw"));
  EXPECT_TRUE(fs::is_regular_file(users() + "/Mr. Smith/General.ini"));
  EXPECT_TRUE(fs::is_regular_file(users() + "/.._x/General.ini"));
  EXPECT_FALSE(fs::exists(data + "/x"));
  EXPECT_EQ(u.GetUserFilePath("../x", 2), users() + "/.._x/General.ini");
  // A name made only of dots names no folder at all.
  EXPECT_EQ(u.GetUserFilePath("..", 0), "");
  EXPECT_EQ(u.GetUserFilePath("..", 2), "");
  // "../x" and ".._x" would share one folder: the second is refused.
  EXPECT_FALSE(u.AddUser(".._x", "pw"));
  ASSERT_TRUE(u.DeleteUser("../x", "pw"));
  EXPECT_FALSE(fs::exists(users() + "/.._x"));
  expectUsers({"Default", "Mr. Smith"});
}

TEST_F(UsersTest, AUsersFolderTakesTheSpellingOfTheIndex) {
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Bob", "pw"));
  EXPECT_TRUE(u.UserExists("bob"));
  u.SetCurrentUser("bob");
  EXPECT_EQ(u.GetUserPath(0), users() + "/Bob");
  EXPECT_EQ(u.GetUserPath(2), users() + "/Bob/General.ini");
  EXPECT_EQ(u.GetUserFilePath("bOB", 2), users() + "/Bob/General.ini");
  ASSERT_TRUE(u.AddUser("BOB", "pw2", true));  // rewrites Bob, no second folder
  expectUsers({"Default", "Bob"});
  EXPECT_FALSE(fs::exists(users() + "/BOB"));
  ASSERT_TRUE(u.DeleteUser("bob", "pw2"));
  EXPECT_FALSE(fs::exists(users() + "/Bob"));
}

TEST_F(UsersTest, FilesNamedInAnotherCaseAreFound) {
  installBook("ABC", 2);
  ASSERT_FALSE(plat::profile::writeString(index(), "Eve", "pwd", orv::encodeCredentialBlock("Eve", "")));
  ASSERT_FALSE(plat::profile::writeString(index(), "Default", "Count", "2"));
  fs::create_directories(users() + "/EVE");
  tvtest::writeFile(users() + "/EVE/abc.st", "[EMStatus]\r\nEM2=3\r\n");
  COrv_Users u;
  u.SetCurrentUser("Eve");
  EXPECT_EQ(u.GetUserPath(0), users() + "/EVE");
  EXPECT_EQ(u.ReadQuoteStatus("ABC", 2), 3);
  ASSERT_TRUE(u.DeleteUser("eve", ""));
  EXPECT_FALSE(fs::exists(users() + "/EVE"));
  expectUsers({"Default"});
}

TEST_F(UsersTest, UserPathsByKind) {
  COrv_Users u;
  EXPECT_EQ(u.GetUserPath(4), index());
  EXPECT_EQ(u.GetUserPath(0), "");  // no current user
  EXPECT_EQ(u.GetUserPath(2), "");
  EXPECT_EQ(u.GetUserFilePath("ABC", 3), "");
  u.SetCurrentUser("");
  EXPECT_EQ(u.GetCurrentUser(), "Default");
  EXPECT_EQ(u.GetUserPath(1), users() + "/Default");
  EXPECT_EQ(u.GetUserFilePath("Ann", 0), users() + "/Ann");
  EXPECT_EQ(u.GetCurrentUser(), "Default");  // switched for the call only
  EXPECT_EQ(u.GetUserFilePath("abc", 3), users() + "/Default/ABC.ST");
  EXPECT_EQ(u.GetUserFilePath("Ann", 1), "");
  for (const char* code : {"", "../ABC", "A/B", "A.B", "TOOLONGCO", "AB CD"})
    EXPECT_EQ(u.GetUserFilePath(code, 3), "") << code;
}

TEST_F(UsersTest, UserWhoseGeneralIniCannotBeMadeIsRemovedAgain) {
  COrv_Users u;
  plat::fs::injectFault(plat::fs::FaultOp::Open, "Bob/", EIO, 100);
  EXPECT_FALSE(u.AddUser("Bob", "pw"));
  plat::fs::clearFaults();
  expectUsers({"Default"});
  EXPECT_FALSE(fs::exists(users() + "/Bob"));
}

TEST_F(UsersTest, FailedIndexWriteAddsNothing) {
  COrv_Users u;
  plat::fs::injectFault(plat::fs::FaultOp::Rename, "Index.usr", EIO);
  EXPECT_FALSE(u.AddUser("Bob", "pw"));
  plat::fs::clearFaults();
  expectUsers({"Default"});
  EXPECT_FALSE(fs::exists(users() + "/Bob"));
}

TEST_F(UsersTest, NamesListEveryUserEvenPastAStaleCount) {
  tvtest::writeFile(index(), "");
  COrv_Users u;
  for (const char* name : {"Default", "Anne-Marie Longname Of Thirty", "B", "Ccccccccccccccccccccccccccccc"})
    ASSERT_TRUE(u.AddUser(name, "", true));
  ASSERT_FALSE(plat::profile::writeString(index(), "Default", "Count", "1"));
  EXPECT_EQ(names().size(), 4u);
  ASSERT_TRUE(u.AddUser("D", ""));
  EXPECT_EQ(storedCount(), 5);  // recounted from the index
}

// --- Echomark status ------------------------------------------------------------------------

TEST_F(UsersTest, StatusOfATwelveEchomarkBookReadsMissingKeysAsZero) {
  installBook("TALV12", 12);
  COrv_Users u;
  std::vector<int> status;
  EXPECT_FALSE(u.ReadQuoteStatusList("TALV12", status));  // no current user
  u.SetCurrentUser("");
  tvtest::writeFile(users() + "/Default/TALV12.ST",
                    "[EMStatus]\r\nEM1=3\r\nEM5=7\r\nEM12=12345\r\nEM13=9\r\nEM0=4\r\n[General]\r\nLastEM=5\r\n");
  ASSERT_TRUE(u.ReadQuoteStatusList("talv12", status));
  // EM12 holds more than four digits: not a value of this store, read as 0.
  EXPECT_EQ(status, (std::vector<int>{3, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(u.ReadQuoteStatus("TALV12", 5), 7);
  EXPECT_EQ(u.ReadQuoteStatus("TALV12", 13), 0);  // past the count
  EXPECT_EQ(u.ReadQuoteStatus("TALV12", 0), 0);   // names no Echomark
  EXPECT_EQ(u.ReadLastQuote("TALV12"), 5);

  EXPECT_FALSE(u.ReadQuoteStatusList("NOBOOK", status));
  EXPECT_EQ(u.ReadLastQuote("NOBOOK"), 0);
  fs::remove(users() + "/Default/TALV12.ST");
  ASSERT_TRUE(u.ReadQuoteStatusList("TALV12", status));
  EXPECT_EQ(status, std::vector<int>(12, 0));
}

TEST_F(UsersTest, WriteStatusListPadsAShortArrayWithZeros) {
  installBook("EIGHT", 8);
  COrv_Users u;
  u.SetCurrentUser("");
  const std::string file = users() + "/Default/EIGHT.ST";
  tvtest::writeFile(file, "[EMStatus]\r\nEM7=3\r\n");
  u.WriteQuoteStatusList("EIGHT", {1, 2, 3, 4, 5});
  for (int i = 1; i <= 8; ++i)
    EXPECT_EQ(plat::profile::getString(file, "EMStatus", "EM" + std::to_string(i), "-", 10),
              std::to_string(i <= 5 ? i : 0))
        << i;
  EXPECT_EQ(plat::profile::getString(file, "EMStatus", "EM9", "-", 10), "-");

  u.WriteQuoteStatus("EIGHT", 8, 3);
  u.WriteQuoteStatus("EIGHT", 9, 3);
  u.WriteQuoteStatus("EIGHT", 0, 3);
  EXPECT_EQ(u.ReadQuoteStatus("EIGHT", 8), 3);
  EXPECT_EQ(plat::profile::keyNames(file, "EMStatus").size(), 8u);
}

TEST_F(UsersTest, LastQuoteIsBoundedByTheEchomarkCount) {
  installBook("EIGHT", 8);
  COrv_Users u;
  u.SetCurrentUser("");
  const std::string file = users() + "/Default/EIGHT.ST";
  // Each row follows the one before: a refused write leaves the last stored text.
  struct Case {
    int write;
    bool accepted;
    const char* stored;
  } cases[] = {{8, true, "8"}, {9, false, "8"}, {0, true, "0"}, {-1, false, "0"}, {3, true, "3"}, {100000, false, "3"}};
  for (const Case& c : cases) {
    EXPECT_EQ(u.WriteLastQuote("EIGHT", c.write), c.accepted) << c.write;
    EXPECT_EQ(plat::profile::getString(file, "General", "LastEM", "-", 64), c.stored) << c.write;
  }
}

TEST_F(UsersTest, StatusValuesThatWouldNotReadBackAreRefused) {
  class Counts : public orv::EchomarkCountSource {
   public:
    int echomarkCount(std::string_view) override { return 20000; }
  } counts;
  orv::setEchomarkCountSource(&counts);
  COrv_Users u;
  u.SetCurrentUser("");
  const std::string file = users() + "/Default/BIG.ST";
  struct Write {
    int value;
    bool accepted;
    const char* stored;  // "-": nothing stored
  } writes[] = {{0, true, "0"},         {3, true, "3"},         {9999, true, "9999"},
                {10000, false, "-"},    {123456, false, "-"},   {-1, false, "-"}};
  for (const Write& w : writes) {
    SCOPED_TRACE(w.value);
    fs::remove(file);
    EXPECT_EQ(u.WriteQuoteStatus("BIG", 7, w.value), w.accepted);
    EXPECT_EQ(plat::profile::getString(file, "EMStatus", "EM7", "-", 64), w.stored);
    fs::remove(file);
    // The book has 20000 Echomarks, but numbers past 9999 cannot be stored.
    EXPECT_EQ(u.WriteLastQuote("BIG", w.value), w.accepted);
    EXPECT_EQ(plat::profile::getString(file, "General", "LastEM", "-", 64), w.stored);
  }

  // One value out of range refuses the whole list.
  fs::remove(file);
  EXPECT_FALSE(u.WriteQuoteStatusList("BIG", {3, 10000, 3}));
  EXPECT_FALSE(fs::exists(file));

  // What other programs may have left: more than four digits is never cut.
  struct Read {
    const char* stored;
    int value;
  } reads[] = {{"12345", 0}, {"123456", 0}, {"9999", 9999}, {" 42 ", 42}, {"+7", 7},
               {"0012", 12}, {"7x", 7},     {"-5", 0},      {"", 0},      {"x1", 0}};
  for (const Read& r : reads) {
    SCOPED_TRACE(r.stored);
    tvtest::writeFile(file, std::string("[EMStatus]\r\nEM7=") + r.stored + "\r\n[General]\r\nLastEM=" + r.stored +
                                "\r\n");
    EXPECT_EQ(u.ReadQuoteStatus("BIG", 7), r.value);
    EXPECT_EQ(u.ReadLastQuote("BIG"), r.value);
  }
}

TEST_F(UsersTest, BadBookCodesAndDamagedCountsWriteNothing) {
  class Counts : public orv::EchomarkCountSource {
   public:
    int echomarkCount(std::string_view) override { return n; }
    int n = 4;
  } counts;
  orv::setEchomarkCountSource(&counts);
  COrv_Users u;
  u.SetCurrentUser("");
  for (const char* code : {"../../x", "A/B", "TOOLONGCO", ""}) {
    u.WriteQuoteStatusList(code, {1, 2});
    u.WriteLastQuote(code, 1);
  }
  counts.n = orv::kMaxEchomarks + 1;
  u.WriteQuoteStatusList("BIG", {1});
  std::vector<int> status{9};
  EXPECT_FALSE(u.ReadQuoteStatusList("BIG", status));
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(data))
    if (e.is_regular_file() && e.path().filename().string()[0] != '.') files.push_back(fs::relative(e.path(), data).string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Talvanes/Index.tvk", "Users/Default/General.ini", "Users/Index.usr"}));
}

TEST_F(UsersTest, StatusIsKeptPerUser) {
  installBook("ABC", 2);
  COrv_Users u;
  ASSERT_TRUE(u.AddUser("Ann", ""));
  u.SetCurrentUser("Ann");
  u.WriteQuoteStatusList("ABC", {3, 3});
  u.SetCurrentUser("Default");
  std::vector<int> status;
  ASSERT_TRUE(u.ReadQuoteStatusList("ABC", status));
  EXPECT_EQ(status, (std::vector<int>{0, 0}));
  u.SetCurrentUser("ann");
  ASSERT_TRUE(u.ReadQuoteStatusList("ABC", status));
  EXPECT_EQ(status, (std::vector<int>{3, 3}));
}

}  // namespace
