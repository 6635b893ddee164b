#include "player/shell/login_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/profile/ini_text.h"
#include "platform/ui/message_box.h"
#include "player/env/users.h"
#include "player/shell/command_line.h"
#include "shared/skin/orv_skin_frame.h"

namespace orv::shell {
namespace {

std::string firstChars(const std::string& text, std::size_t n) { return std::string(plat::profile::text::cutChars(text, n)); }

// The name as the user index keeps it: names match without regard to case,
// and the program shows the learner's name as it was created.
std::string storedName(COrv_Users& users, const std::string& name) {
  COrv_StringList names;
  users.GetUserNames(names);
  for (const std::string& stored : names)
    if (plat::profile::text::equalNoCase(stored, name)) return stored;
  return name;
}

}  // namespace

COrv_LoginDlg::COrv_LoginDlg(int mode, QWidget* parent)
    : QDialog(parent), m_nMode(mode), m_skin(std::make_unique<COrv_SkinFrame>()) {
  setWindowTitle(QStringLiteral("Log in"));
  auto* layout = new QVBoxLayout(this);
  // The controls keep clear of the frame's caption band and bottom strip.
  layout->setContentsMargins(12, COrv_SkinFrame::kCaptionHeight + 8, 12, COrv_SkinFrame::kBottomStrip + 8);
  m_users = new QListWidget(this);
  layout->addWidget(m_users);
  auto* form = new QFormLayout;
  m_password = new QLineEdit(this);
  m_password->setEchoMode(QLineEdit::Password);
  m_password->setMaxLength(static_cast<int>(kMaxPasswordChars));
  form->addRow(QStringLiteral("Password:"), m_password);
  m_newUser = new QLineEdit(this);
  m_newUser->setMaxLength(static_cast<int>(kMaxUserChars));
  form->addRow(QStringLiteral("New user:"), m_newUser);
  m_newPassword = new QLineEdit(this);
  m_newPassword->setEchoMode(QLineEdit::Password);
  m_newPassword->setMaxLength(static_cast<int>(kMaxPasswordChars));
  form->addRow(QStringLiteral("New password:"), m_newPassword);
  m_newPassword2 = new QLineEdit(this);
  m_newPassword2->setEchoMode(QLineEdit::Password);
  m_newPassword2->setMaxLength(static_cast<int>(kMaxPasswordChars));
  form->addRow(QStringLiteral("Repeat password:"), m_newPassword2);
  layout->addLayout(form);

  auto* row = new QHBoxLayout;
  m_new = new QPushButton(QStringLiteral("&New user"), this);
  m_change = new QPushButton(QStringLiteral("&Change password"), this);
  m_delete = new QPushButton(QStringLiteral("&Delete user"), this);
  row->addWidget(m_new);
  row->addWidget(m_change);
  row->addWidget(m_delete);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);

  COrv_Environment env;
  m_new->setEnabled(env.IsEnabled(kEnableCreateUser));
  m_change->setEnabled(env.IsEnabled(kEnableChangePassword));
  m_delete->setEnabled(env.IsEnabled(kEnableDeleteUser));

  connect(m_new, &QPushButton::clicked, this, [this] {
    takeFields();
    if (CreateUser()) fillUsers();
  });
  connect(m_change, &QPushButton::clicked, this, [this] {
    takeFields();
    ChangePassword();
  });
  connect(m_delete, &QPushButton::clicked, this, [this] {
    takeFields();
    if (DeleteUser()) fillUsers();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    takeFields();
    if (TryLogIn()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] {
    m_strUserName.clear();  // a cancelled log-in is the anonymous user
    reject();
  });

  resize(360, 420);
  m_skin->Attach(this);
  m_skin->SetCaption(windowTitle());
  // The frame's close button cancels, as Cancel does.
  m_skin->SetCommandHandler([this](int) {
    m_strUserName.clear();
    reject();
  });
}

COrv_LoginDlg::~COrv_LoginDlg() = default;

int COrv_LoginDlg::DoModal() {
  fillUsers();
  return exec();
}

void COrv_LoginDlg::fillUsers() {
  COrv_Users users;
  COrv_StringList names;
  users.GetUserNames(names);
  m_users->clear();
  for (const std::string& n : names) m_users->addItem(QString::fromStdString(n));
  const auto found = m_users->findItems(QString::fromStdString(m_strUserName), Qt::MatchFixedString);
  if (!found.isEmpty())
    m_users->setCurrentItem(found.front());
  else if (m_users->count() > 0)
    m_users->setCurrentRow(0);
}

void COrv_LoginDlg::takeFields() {
  m_strUserName = m_users->currentItem() ? m_users->currentItem()->text().toStdString() : std::string();
  m_strPassword = m_password->text().toStdString();
  m_strNewUser = m_newUser->text().toStdString();
  m_strPassword2 = m_newPassword2->text().toStdString();
  m_strNewPassword = m_newPassword->text().toStdString();
}

void COrv_LoginDlg::refuse(const char* text) {
  plat::ui::AppMessageBox(text, plat::ui::MB_ICONEXCLAMATION);
}

bool COrv_LoginDlg::TryLogIn() {
  COrv_Users users;
  if (m_strUserName.empty() || !users.UserExists(m_strUserName) || !users.CheckPassword(m_strUserName, m_strPassword)) {
    refuse("Wrong user name or password.");
    return false;
  }
  return true;
}

bool COrv_LoginDlg::CreateUser() {
  if (!COrv_Environment().IsEnabled(kEnableCreateUser)) return false;
  COrv_Users users;
  if (m_strNewPassword != m_strPassword2) {
    refuse("The two passwords differ.");
    return false;
  }
  if (m_strNewUser.empty() || users.UserExists(m_strNewUser) || !users.AddUser(m_strNewUser, m_strNewPassword)) {
    refuse("This user cannot be created.");
    return false;
  }
  m_strUserName = COrv_Users::GetSectionName(m_strNewUser);
  return true;
}

bool COrv_LoginDlg::ChangePassword() {
  if (!COrv_Environment().IsEnabled(kEnableChangePassword)) return false;
  if (m_strNewPassword != m_strPassword2) {
    refuse("The two passwords differ.");
    return false;
  }
  COrv_Users users;
  if (m_strUserName.empty() || !users.SetCurrentUser(m_strUserName) ||
      !users.ChangePassword(m_strPassword, m_strNewPassword)) {
    refuse("Wrong user name or password.");
    return false;
  }
  return true;
}

bool COrv_LoginDlg::DeleteUser() {
  if (!COrv_Environment().IsEnabled(kEnableDeleteUser)) return false;
  COrv_Users users;
  if (m_strUserName.empty() || !users.DeleteUser(m_strUserName, m_strPassword)) {
    refuse("Wrong user name or password.");
    return false;
  }
  m_strUserName.clear();
  return true;
}

std::string LoginDialogPrompt::Run() {
  auto* dlg = new COrv_LoginDlg(1);
  dlg->DoModal();
  std::string user = dlg->m_strUserName;
  delete dlg;
  return user;
}

std::string LogIn(const COrv_CommandLineInfo& cmd, LoginPrompt& prompt) {
  if (cmd.m_bUser) {
    const std::string user = firstChars(cmd.m_strUser, kMaxUserChars);
    const std::string password = firstChars(cmd.m_strPassword, kMaxPasswordChars);
    COrv_Users users;
    users.SetCurrentUser(user);
    const bool exists = users.UserExists(user);
    if (exists && users.CheckCurrentUserPassword(password)) return storedName(users, user);
    if (!exists && cmd.m_bUsfc && users.AddUser(user, password)) return user;
  }
  if (COrv_Environment().IsEnabled(kEnableLoginDialog)) return prompt.Run();
  return {};
}

}  // namespace orv::shell
