#pragma once
// The log-in: COrv_LoginDlg, the dialog that lists the users, checks the
// password and creates, changes and deletes users as the administrator's
// enablings allow, and LogIn, the start-up's choice between the command
// line's user, the dialog and the anonymous user.

#include <QDialog>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class COrv_CommandLineInfo;
class COrv_SkinFrame;

namespace orv::shell {

// The enablings that open the account operations of the dialog. Enabling 5
// makes the start-up show the dialog at all.
inline constexpr int kEnableCreateUser = 1;
inline constexpr int kEnableChangePassword = 2;
inline constexpr int kEnableDeleteUser = 3;
inline constexpr int kEnableLoginDialog = 5;
inline constexpr std::size_t kMaxUserChars = 30;
inline constexpr std::size_t kMaxPasswordChars = 10;

class COrv_LoginDlg : public QDialog {
 public:
  // Mode 1 is the log-in of a run.
  explicit COrv_LoginDlg(int mode = 1, QWidget* parent = nullptr);
  ~COrv_LoginDlg() override;

  // Before the run: the user to select; after it: the user logged in
  // (empty: the anonymous user).
  std::string m_strUserName;
  std::string m_strPassword;
  std::string m_strPassword2;  // the repeated new password
  std::string m_strNewUser;
  std::string m_strNewPassword;

  int DoModal();  // QDialog::Accepted or Rejected

  // The operations behind the buttons, with the fields above as input.
  // Each answers whether it succeeded and shows its own message otherwise.
  bool TryLogIn();
  bool CreateUser();
  bool ChangePassword();
  bool DeleteUser();

  QListWidget* userList() const { return m_users; }
  QLineEdit* passwordEdit() const { return m_password; }
  QPushButton* newButton() const { return m_new; }
  QPushButton* changeButton() const { return m_change; }
  QPushButton* deleteButton() const { return m_delete; }
  COrv_SkinFrame& Skin() const { return *m_skin; }

 private:
  void fillUsers();
  void takeFields();
  void refuse(const char* text);

  int m_nMode;
  QListWidget* m_users;
  QLineEdit* m_password;
  QLineEdit* m_newPassword;
  QLineEdit* m_newPassword2;
  QLineEdit* m_newUser;
  QPushButton* m_new;
  QPushButton* m_change;
  QPushButton* m_delete;
  std::unique_ptr<COrv_SkinFrame> m_skin;
};

// Runs the log-in dialog for the start-up; tests put a script in its place.
class LoginPrompt {
 public:
  virtual ~LoginPrompt() = default;
  // The user name the dialog holds after its modal run.
  virtual std::string Run() = 0;
};
class LoginDialogPrompt : public LoginPrompt {
 public:
  std::string Run() override;
};

// The user of this run: the command line's user when the password checks
// (or, with -usfc, a new user made with it); else, with enabling 5 on, the
// dialog's answer; else the anonymous user (empty).
std::string LogIn(const COrv_CommandLineInfo& cmd, LoginPrompt& prompt);

}  // namespace orv::shell
