#include "player/shell/login_dlg.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <cstdlib>
#include <QPushButton>

#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/env/users.h"
#include "player/shell/command_line.h"
#include "shared/skin/orv_skin_frame.h"

namespace {

using orv::shell::COrv_LoginDlg;

struct ScriptedPrompt : orv::shell::LoginPrompt {
  std::string answer;
  int runs = 0;
  std::string Run() override {
    ++runs;
    return answer;
  }
};

struct Login : ::testing::Test {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  void SetUp() override {
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
    ASSERT_TRUE(orv::COrv_Users().AddUser("Ann", "secret"));
  }
};

TEST_F(Login, StartUpBranches) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool dialogEnabled;
    std::string result;
    int dialogRuns;
  } const cases[] = {
      {"us/pwd right", {"-us", "Ann", "-pwd", "secret"}, true, "Ann", 0},
      {"us typed in another case: the stored name", {"-us", "aNN", "-pwd", "secret"}, false, "Ann", 0},
      {"us/pwd wrong, dialog on", {"-us", "Ann", "-pwd", "nope"}, true, "Picked", 1},
      {"us/pwd wrong, dialog off", {"-us", "Ann", "-pwd", "nope"}, false, "", 0},
      {"usfc makes a new user", {"-us", "Bob", "-pwd", "pw", "-usfc"}, true, "Bob", 0},
      {"unknown user without usfc", {"-us", "Carl", "-pwd", "pw"}, false, "", 0},
      {"usfc never replaces an existing user", {"-us", "Ann", "-pwd", "other", "-usfc"}, false, "", 0},
      {"no switches, dialog on", {}, true, "Picked", 1},
      {"no switches, dialog off", {}, false, "", 0},
  };
  for (const Case& c : cases) {
    orv::COrv_Environment().SetEnabled(orv::shell::kEnableLoginDialog, c.dialogEnabled);
    COrv_CommandLineInfo cmd;
    cmd.Parse(c.args);
    ScriptedPrompt prompt;
    prompt.answer = "Picked";
    EXPECT_EQ(orv::shell::LogIn(cmd, prompt), c.result) << c.name;
    EXPECT_EQ(prompt.runs, c.dialogRuns) << c.name;
  }
  EXPECT_TRUE(orv::COrv_Users().CheckPassword("Bob", "pw"));
  EXPECT_FALSE(orv::COrv_Users().UserExists("Carl"));
  EXPECT_TRUE(orv::COrv_Users().CheckPassword("Ann", "secret"));
}

TEST_F(Login, DialogChecksThePassword) {
  COrv_LoginDlg dlg;
  dlg.m_strUserName = "ann";
  dlg.m_strPassword = "wrong";
  EXPECT_FALSE(dlg.TryLogIn());
  EXPECT_EQ(sink.boxes().size(), 1u);
  dlg.m_strPassword = "secret";
  EXPECT_TRUE(dlg.TryLogIn());
  dlg.m_strUserName = "Nobody";
  EXPECT_FALSE(dlg.TryLogIn());
}

TEST_F(Login, AccountOperationsFollowTheEnablings) {
  orv::COrv_Environment env;
  for (bool on : {false, true}) {
    env.SetEnabled(orv::shell::kEnableCreateUser, on);
    env.SetEnabled(orv::shell::kEnableChangePassword, on);
    env.SetEnabled(orv::shell::kEnableDeleteUser, on);
    COrv_LoginDlg dlg;
    EXPECT_EQ(dlg.newButton()->isEnabled(), on);
    EXPECT_EQ(dlg.changeButton()->isEnabled(), on);
    EXPECT_EQ(dlg.deleteButton()->isEnabled(), on);

    dlg.m_strNewUser = "Dora";
    dlg.m_strNewPassword = dlg.m_strPassword2 = "d1";
    EXPECT_EQ(dlg.CreateUser(), on);
    EXPECT_EQ(orv::COrv_Users().UserExists("Dora"), on);

    dlg.m_strUserName = "Ann";
    dlg.m_strPassword = on ? "secret" : "x";
    dlg.m_strNewPassword = dlg.m_strPassword2 = "fresh";
    EXPECT_EQ(dlg.ChangePassword(), on);

    dlg.m_strUserName = "Dora";
    dlg.m_strPassword = "d1";
    EXPECT_EQ(dlg.DeleteUser(), on);
    EXPECT_FALSE(orv::COrv_Users().UserExists("Dora"));
  }
  EXPECT_TRUE(orv::COrv_Users().CheckPassword("Ann", "fresh"));
}

TEST_F(Login, NewUserNeedsMatchingPasswords) {
  orv::COrv_Environment().SetEnabled(orv::shell::kEnableCreateUser, true);
  COrv_LoginDlg dlg;
  dlg.m_strNewUser = "Eve";
  dlg.m_strNewPassword = "a";
  dlg.m_strPassword2 = "b";
  EXPECT_FALSE(dlg.CreateUser());
  EXPECT_FALSE(orv::COrv_Users().UserExists("Eve"));
  dlg.m_strNewUser = "ann";  // exists already, in another case
  dlg.m_strPassword2 = "a";
  EXPECT_FALSE(dlg.CreateUser());
}

TEST_F(Login, ListsTheUsersAndSelectsTheGivenOne) {
  ASSERT_TRUE(orv::COrv_Users().AddUser("Zed", ""));
  COrv_LoginDlg dlg;
  dlg.m_strUserName = "zed";
  // DoModal fills the list; run it with a cancel queued so it returns.
  QMetaObject::invokeMethod(&dlg, [&dlg] { dlg.reject(); }, Qt::QueuedConnection);
  dlg.DoModal();
  QStringList names;
  for (int i = 0; i < dlg.userList()->count(); ++i) names << dlg.userList()->item(i)->text();
  EXPECT_TRUE(names.contains("Ann"));
  EXPECT_TRUE(names.contains("Zed"));
  EXPECT_TRUE(names.contains("Default"));
  EXPECT_EQ(dlg.userList()->currentItem()->text(), "Zed");
}

// The log-in wears the program's frame; its close button is a Cancel: the
// run's user is the anonymous one.
TEST_F(Login, TheSkinnedFrameClosesAsCancel) {
  orv::COrv_Users users;
  ASSERT_TRUE(users.AddUser("ada", ""));
  orv::shell::COrv_LoginDlg dlg;
  dlg.m_strUserName = "ada";
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(dlg.Skin().Caption(), dlg.windowTitle());
  EXPECT_GE(dlg.userList()->geometry().top(), COrv_SkinFrame::kCaptionHeight);
  const QImage shot = dlg.grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) shot.save(QString(dir) + "/login_dialog.png");
  QTest::mouseClick(dlg.Skin().CloseButtonWidget(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(dlg.m_strUserName, "");
}

}  // namespace
