#include "player/views/data_path_dlg.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/fs/file_ops.h"
#include "platform/profile/ini_text.h"
#include "platform/profile/profile.h"
#include "platform/ui/message_box.h"
#include "player/env/environment.h"
#include "shared/language/orv_language.h"
#include "shared/skin/orv_skin_frame.h"

namespace orv::views {

namespace fs = std::filesystem;

namespace {

constexpr int kStrCaption = 20470, kStrNew = 20471, kStrVerify = 20472, kStrRemove = 20473, kStrBrowse = 20474,
              kStrStandard = 20475, kStrCurrentMark = 20476, kStrInUseMark = 20477, kStrChooseFolder = 20478,
              kStrAskName = 20479, kStrSound = 20480, kStrMissing = 20481, kStrInUse = 20482,
              kStrCannotRemove = 20483, kStrAskRemove = 20484, kStrNotMade = 20485, kStrNotRemoved = 20486,
              kStrBadName = 20487, kStrListedAlready = 20488, kStrCannotOpen = 20489, kStrCancel = 20449;

constexpr const char* kInUseMarkFile = "active.log";

std::string str(int id) { return COrv_Language().LoadString(id); }
QString text(int id) { return QString::fromStdString(str(id)); }

// Fills %1 (and %2) of a language string in one pass, so that a folder
// holding "%2" stays as it is.
std::string fill(int id, const std::string& a) { return text(id).arg(QString::fromStdString(a)).toStdString(); }
std::string fill(int id, const std::string& a, const std::string& b) {
  return text(id).arg(QString::fromStdString(a), QString::fromStdString(b)).toStdString();
}

int say(const std::string& message, std::uint32_t flags) { return plat::ui::AppMessageBox(message, flags); }

// Two spellings of one folder (links, dots, a trailing '/') compare equal.
std::string canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(path), ec);
  if (ec) p = fs::path(path).lexically_normal();
  std::string s = p.string();
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool sameFolder(const std::string& a, const std::string& b) { return !a.empty() && canonical(a) == canonical(b); }

// The store's folder getters, pointed at another data path.
class FolderEnvironment : public COrv_Environment {
 public:
  explicit FolderEnvironment(const std::string& folder) { replaceDataPath(folder); }
};

bool isFolder(const std::string& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}
bool isFile(const std::string& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

std::string storedDataPath() { return COrv_Environment().ReadDataPath(true); }

// Drops a named data path from the settings file: its entry in the list
// and its own section.
bool forgetNamedDataPath(const std::string& name) {
  COrv_Environment env;
  const std::string file = env.GetIndexFilePath(6);
  plat::profile::Batch batch;
  for (int i = 1; i <= kMaxNamedPaths; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "%02d", i);
    const std::string listed = plat::profile::getString(file, kSecHistory, key, "", 261);
    if (!listed.empty() && plat::profile::text::equalNoCase(listed, name)) batch.deleteKey(kSecHistory, key);
  }
  // The section goes only when it held nothing but the folder: a name
  // written into the file by hand may head a section of the player's own.
  batch.deleteKey(name, kKeyPath);
  bool onlyPath = true;
  for (const std::string& key : plat::profile::keyNames(file, name))
    onlyPath = onlyPath && plat::profile::text::equalNoCase(key, kKeyPath);
  if (onlyPath) batch.deleteSection(name);
  return !batch.apply(file);
}

// A name a data path can be recorded under, as the settings file reads it
// back: trimmed, with no bracket, not in quotes and not the name of one of
// the file's own sections.
bool isUsableName(const std::string& name) {
  if (name.empty() || name == kDefaultPathName || !plat::profile::isValidSectionName(name)) return false;
  for (std::string_view own : {kSecDatapath, kSecHistory, kSecSettings})
    if (plat::profile::text::equalNoCase(name, own)) return false;
  if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t') return false;
  if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front()) return false;
  return true;
}

// The name offered for a new folder: its last part without blanks or
// quotes around it.
std::string suggestedName(const std::string& folder) {
  std::string s = fs::path(folder).filename().string();
  if (s.empty()) s = fs::path(folder).parent_path().filename().string();
  const auto strip = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
  while (!s.empty() && strip(s.front())) s.erase(s.begin());
  while (!s.empty() && strip(s.back())) s.pop_back();
  return s;
}

}  // namespace

// --- The program's helpers ---------------------------------------------------------

std::string QtDataPathChooser::ChooseFolder(QWidget* parent, const std::string& caption, const std::string& start) {
  return QFileDialog::getExistingDirectory(parent, QString::fromStdString(caption), QString::fromStdString(start),
                                           QFileDialog::ShowDirsOnly)
      .toStdString();
}

std::optional<std::string> QtDataPathChooser::AskName(QWidget* parent, const std::string& caption,
                                                      const std::string& prompt, const std::string& suggested) {
  bool ok = false;
  const QString name = QInputDialog::getText(parent, QString::fromStdString(caption), QString::fromStdString(prompt),
                                             QLineEdit::Normal, QString::fromStdString(suggested), &ok);
  if (!ok) return std::nullopt;
  return name.toStdString();
}

bool QtDataPathChooser::Browse(const std::string& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

// --- Checks ----------------------------------------------------------------------------

DataPathCheck CheckDataPath(const std::string& folder) {
  DataPathCheck check;
  if (folder.empty() || !isFolder(folder)) {
    check.problem = DataPathCheck::Problem::kMissing;
    check.missing = folder;
    return check;
  }
  std::string copy = folder;
  if (!COrv_Environment().VerifyDataPath(&copy)) {
    // The store answers only whether it is whole; name the first part
    // that is not there, in the order it checks them.
    FolderEnvironment env(folder);
    const std::pair<std::string, bool> items[] = {
        {env.GetInstallPath(), true},      {env.GetBackUpPath(), true},   {env.GetDownloadPath(), true},
        {env.GetUsersPath(), true},        {env.GetIndexFilePath(4), false}, {env.GetTalvanesPath(), true},
        {env.GetIndexFilePath(5), false},
    };
    check.problem = DataPathCheck::Problem::kMissing;
    check.missing = folder;
    for (const auto& [path, wantFolder] : items) {
      if (wantFolder ? !isFolder(path) : !isFile(path)) {
        check.missing = path;
        break;
      }
    }
    return check;
  }
  // Another player marks the data path it runs on; this program's own mark
  // is on the data path of the settings file.
  const std::string mark = (fs::path(folder) / kInUseMarkFile).string();
  std::error_code ec;
  if (fs::exists(fs::symlink_status(mark, ec)) && !sameFolder(folder, storedDataPath()))
    check.problem = DataPathCheck::Problem::kInUse;
  return check;
}

// --- The dialog --------------------------------------------------------------------------

COrv_DataPathDlg::COrv_DataPathDlg(QWidget* parent, DataPathChooser* chooser, std::string current)
    : QDialog(parent), chooser_(chooser), current_(std::move(current)), m_skin(std::make_unique<COrv_SkinFrame>()) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(16, 36, 16, 16);
  auto* body = new QHBoxLayout;
  list_ = new QListWidget(this);
  list_->setMinimumWidth(380);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setWordWrap(false);
  body->addWidget(list_, 1);
  auto* side = new QVBoxLayout;
  new_ = new QPushButton(this);
  verify_ = new QPushButton(this);
  remove_ = new QPushButton(this);
  browse_ = new QPushButton(this);
  for (QPushButton* b : {new_, verify_, remove_, browse_}) {
    b->setAutoDefault(false);
    side->addWidget(b);
  }
  side->addStretch();
  body->addLayout(side);
  outer->addLayout(body, 1);
  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(this);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  outer->addLayout(buttons);

  connect(new_, &QPushButton::clicked, this, [this] { OnNew(); });
  connect(verify_, &QPushButton::clicked, this, [this] { OnVerify(); });
  connect(remove_, &QPushButton::clicked, this, [this] { OnRemove(); });
  connect(browse_, &QPushButton::clicked, this, [this] { OnBrowse(); });
  connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    const bool any = row >= 0;
    for (QPushButton* b : {verify_, remove_, browse_, ok_}) b->setEnabled(any);
  });
  // Delete on the list removes, as the Remove button does.
  auto* del = new QAction(list_);
  del->setShortcut(QKeySequence::Delete);
  del->setShortcutContext(Qt::WidgetShortcut);
  list_->addAction(del);
  connect(del, &QAction::triggered, this, [this] { OnRemove(); });

  retranslate();
  reload(current_);
  resize(620, 360);
  m_skin->Attach(this);
  m_skin->SetCaption(text(kStrCaption));
  list_->setFocus();
}

COrv_DataPathDlg::~COrv_DataPathDlg() = default;

void COrv_DataPathDlg::retranslate() {
  setWindowTitle(text(kStrCaption));
  new_->setText(text(kStrNew));
  verify_->setText(text(kStrVerify));
  remove_->setText(text(kStrRemove));
  browse_->setText(text(kStrBrowse));
  cancel_->setText(text(kStrCancel));
}

bool COrv_DataPathDlg::isCurrent(const std::string& folder) const { return sameFolder(folder, current_); }

void COrv_DataPathDlg::reload(const std::string& select) {
  rows_.clear();
  COrv_Environment env;
  rows_.push_back({std::string(), env.GetStandardDataPath()});
  std::vector<std::string> names;
  env.ReadDataPathHistory(names);
  for (const std::string& name : names) rows_.push_back({name, env.GetNamedDataPath(name, false)});

  const QSignalBlocker quiet(list_);
  list_->clear();
  int selected = -1;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& r = rows_[i];
    QString title = r.name.empty() ? text(kStrStandard) : QString::fromStdString(r.name);
    if (isCurrent(r.folder)) title += QLatin1Char(' ') + text(kStrCurrentMark);
    else if (CheckDataPath(r.folder).problem == DataPathCheck::Problem::kInUse)
      title += QLatin1Char(' ') + text(kStrInUseMark);
    // Blanks at either end of a folder would not show: such a folder is
    // shown in quotes.
    QString folder = QString::fromStdString(r.folder);
    if (!folder.isEmpty() && (folder.front().isSpace() || folder.back().isSpace()))
      folder = QLatin1Char('"') + folder + QLatin1Char('"');
    auto* item = new QListWidgetItem(title + QLatin1Char('\n') + QStringLiteral("    ") + folder, list_);
    item->setToolTip(QString::fromStdString(r.folder));
    if (selected < 0 && sameFolder(r.folder, select)) selected = static_cast<int>(i);
  }
  list_->setCurrentRow(selected < 0 ? 0 : selected);
  const bool any = list_->currentRow() >= 0;
  for (QPushButton* b : {verify_, remove_, browse_, ok_}) b->setEnabled(any);
  // The store keeps at most this many named data paths.
  new_->setEnabled(names.size() < static_cast<size_t>(kMaxNamedPaths));
}

int COrv_DataPathDlg::SelectedRow() const { return list_->currentRow(); }

void COrv_DataPathDlg::SelectRow(int row) { list_->setCurrentRow(row); }

bool COrv_DataPathDlg::reportCheck(const std::string& folder, bool sayWhenSound) {
  const DataPathCheck check = CheckDataPath(folder);
  switch (check.problem) {
    case DataPathCheck::Problem::kNone:
      if (sayWhenSound) say(fill(kStrSound, folder), plat::ui::MB_ICONINFORMATION);
      return true;
    case DataPathCheck::Problem::kMissing:
      say(fill(kStrMissing, folder, check.missing), plat::ui::MB_ICONEXCLAMATION);
      return false;
    case DataPathCheck::Problem::kInUse:
      say(fill(kStrInUse, folder), plat::ui::MB_ICONEXCLAMATION);
      return false;
  }
  return false;
}

void COrv_DataPathDlg::OnNew() {
  if (!new_->isEnabled()) return;
  // A new data path is rarely inside the current one: the choice starts
  // beside it.
  const std::string folder =
      chooser_->ChooseFolder(this, str(kStrChooseFolder), fs::path(current_).parent_path().string());
  if (folder.empty()) return;
  // A folder is listed once: the standard one always, a named one under
  // its name.
  for (const Row& r : rows_) {
    if (!sameFolder(r.folder, folder)) continue;
    say(fill(kStrListedAlready, folder, r.name.empty() ? str(kStrStandard) : r.name), plat::ui::MB_ICONEXCLAMATION);
    SelectRow(static_cast<int>(&r - rows_.data()));
    return;
  }
  const std::optional<std::string> asked = chooser_->AskName(this, str(kStrCaption), str(kStrAskName), suggestedName(folder));
  if (!asked) return;
  std::string name = *asked;
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.erase(name.begin());
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  bool taken = false;
  for (const Row& r : rows_) taken = taken || (!r.name.empty() && plat::profile::text::equalNoCase(r.name, name));
  if (!isUsableName(name) || taken) {
    say(fill(kStrBadName, name), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  // The folder is made when the learner named a new one; its structure
  // and its "Default" user come from the store.
  std::error_code ec;
  if (!isFolder(folder)) fs::create_directories(folder, ec);
  COrv_Environment env;
  if (!isFolder(folder) || !env.CreateDataPath(&folder)) {
    say(fill(kStrNotMade, folder), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  if (!env.AddNamedDataPath(name, folder)) {
    say(fill(kStrBadName, name), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  reload(folder);
}

bool COrv_DataPathDlg::OnVerify() {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return false;
  return reportCheck(rows_[static_cast<size_t>(row)].folder, true);
}

void COrv_DataPathDlg::OnRemove() {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  const Row r = rows_[static_cast<size_t>(row)];
  // The standard data path stays, and so does the one in use here (the
  // stored one, and the one the caller holds).
  if (r.name.empty() || isCurrent(r.folder) || sameFolder(r.folder, storedDataPath())) {
    say(str(kStrCannotRemove), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  // Another player's data is never deleted under it.
  const DataPathCheck check = CheckDataPath(r.folder);
  if (check.problem == DataPathCheck::Problem::kInUse) {
    say(fill(kStrInUse, r.folder), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  if (say(fill(kStrAskRemove, r.name, r.folder), plat::ui::MB_YESNO | plat::ui::MB_ICONQUESTION |
                                                      plat::ui::MB_DEFBUTTON2) != plat::ui::IDYES)
    return;
  // A folder that lost its structure has nothing to delete: only its
  // entry goes.
  if (check.ok() && !COrv_Environment().DeleteDataPath(r.folder)) {
    say(fill(kStrNotRemoved, r.folder), plat::ui::MB_ICONEXCLAMATION);
    reload(r.folder);
    return;
  }
  if (!forgetNamedDataPath(r.name)) say(fill(kStrNotRemoved, r.folder), plat::ui::MB_ICONEXCLAMATION);
  reload(current_);
}

void COrv_DataPathDlg::OnBrowse() {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  const std::string& folder = rows_[static_cast<size_t>(row)].folder;
  if (!isFolder(folder) || !chooser_->Browse(folder)) say(fill(kStrCannotOpen, folder), plat::ui::MB_ICONEXCLAMATION);
}

void COrv_DataPathDlg::accept() {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  const std::string folder = rows_[static_cast<size_t>(row)].folder;
  if (!isCurrent(folder)) {
    DataPathCheck check = CheckDataPath(folder);
    // A folder that lost part of its structure gets it again.
    if (check.problem == DataPathCheck::Problem::kMissing && isFolder(folder)) {
      std::string copy = folder;
      if (!COrv_Environment().CreateDataPath(&copy)) {
        say(fill(kStrNotMade, folder), plat::ui::MB_ICONEXCLAMATION);
        return;
      }
    }
    if (!reportCheck(folder, false)) return;
  }
  chosen_ = folder;
  QDialog::accept();
}

}  // namespace orv::views
