#include "player/views/prefs_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ui/message_box.h"
#include "player/views/data_path_dlg.h"
#include "player/views/prefs_page.h"
#include "shared/buttons/button_host.h"
#include "shared/buttons/orv_button.h"
#include "shared/language/orv_language.h"
#include "shared/skin/orv_skin_frame.h"

namespace orv::views {

namespace {

constexpr int kStrCaption = 20400, kStrOkTip = 20401, kStrApplyTip = 20402, kStrAdminLock = 20237,
              kStrTalvaneOpen = 20242, kStrDataPathNotUsable = 20448, kStrCancel = 20449;

QString text(int id) { return QString::fromStdString(COrv_Language().LoadString(id)); }

constexpr int kStrAltPathsMissing = 20579;
constexpr int kStrAltPathsNotSaved = 20580;

// The tree: page number, parent page (-1: a root), text.
struct TreeRow {
  int page;
  int parent;
  int textId;
};
constexpr TreeRow kTree[] = {
    {5, -1, 20403}, {0, -1, 20404}, {6, 0, 20405},   {7, 0, 20406},   {1, -1, 20407},
    {8, 1, 20408},  {9, 1, 20409},  {2, -1, 20410},  {4, 2, 20411},   {3, 2, 20412},
    {10, -1, 20413}, {11, 10, 20414}, {12, 10, 20415}, {13, 10, 20416},
};

bool isText(int n) {
  return n == COrv_PrefsDlg::kJingleFile || n == COrv_PrefsDlg::kDataPath || n == COrv_PrefsDlg::kUserName;
}

}  // namespace

COrv_PrefsDlg::COrv_PrefsDlg(QWidget* parent, PrefsHost* host)
    : QDialog(parent), host_(host), m_skin(std::make_unique<COrv_SkinFrame>()) {
  adminLocked_ = host_->HasAdminAccount();
  talvaneOpen_ = host_->IsTalvaneOpen();
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(16, 36, 16, 16);
  auto* body = new QHBoxLayout;
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  stack_ = new QStackedWidget(this);
  stack_->addWidget(new QWidget(stack_));  // shown for the groups
  body->addWidget(tree_);
  body->addWidget(stack_, 1);
  outer->addLayout(body, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  // OK and Apply are the program's bitmap buttons, with hover faces and
  // their tooltips; Apply starts disabled.
  const auto makeButton = [&](int id, const int (&faces)[5], tv::buttons::ButtonHost** host) {
    auto button = std::make_unique<tv::buttons::COrv_ButtonEx>();
    button->SetBitmaps5(faces[0], faces[2], faces[1], faces[3], faces[4]);
    button->SetHoverEnable(true, true);
    button->SetMode(tv::buttons::COrv_ButtonEx::kDownWhileHeld);
    *host = new tv::buttons::ButtonHost(*button, [this](int clicked) { onButton(clicked); }, this);
    (*host)->CreateButton(id, QSize(30, 30));
    buttons->addWidget(*host);
    return button;
  };
  ok_ = makeButton(kOkId, kOkFaces, &okHost_);
  apply_ = makeButton(kApplyId, kApplyFaces, &applyHost_);
  apply_->Disable();
  cancel_ = new QPushButton(text(kStrCancel), this);
  cancel_->setAutoDefault(false);
  buttons->addSpacing(8);
  buttons->addWidget(cancel_);
  outer->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });

  buildTree();
  load();
  retranslate();
  resize(std::max(sizeHint().width(), 800), 460);
  m_skin->Attach(this);
  m_skin->SetCaption(text(kStrCaption));
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (item == nullptr) return;
    SelectPage(item->data(0, Qt::UserRole).toInt());
  });
}

COrv_PrefsDlg::~COrv_PrefsDlg() {
  // The hosts go with the dialog's children, after the buttons: nothing
  // they report from here on reaches the dialog.
  okHost_->SetClicked({});
  applyHost_->SetClicked({});
}

void COrv_PrefsDlg::onButton(int id) {
  if (id == kOkId) accept();
  else if (id == kApplyId && apply_->IsEnabled()) OnApply();
}

tv::buttons::ButtonHost* COrv_PrefsDlg::ButtonWidget(int id) const {
  return id == kOkId ? okHost_ : id == kApplyId ? applyHost_ : nullptr;
}

void COrv_PrefsDlg::keyPressEvent(QKeyEvent* e) {
  // Enter is OK, as the bitmap OK button is the dialog's default.
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
    accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

void COrv_PrefsDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (shown_) return;
  shown_ = true;
  SelectPage(kTree[0].page);
}

void COrv_PrefsDlg::buildTree() {
  for (const TreeRow& r : kTree) {
    QTreeWidgetItem* item =
        r.parent < 0 ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(items_.at(r.parent));
    item->setData(0, Qt::UserRole, r.page);
    items_[r.page] = item;
  }
  tree_->expandAll();
}

void COrv_PrefsDlg::load() {
  // Every setting is in the map, with the store's default when it holds
  // none, so that a change to any of them is kept.
  for (int n = 1; n <= kLastSetting; ++n) {
    Value v = std::uint32_t{0};
    if (n == kInterfaceLanguage) v = static_cast<std::uint32_t>(host_->InterfaceLanguage());
    else if (n == kHelpLanguage) v = static_cast<std::uint32_t>(host_->HelpLanguage());
    else if (isText(n)) v = host_->Text(n);
    else if (n != 32 && n != kAltPaths && n != kUser) v = host_->Value(n);
    settings_[n] = Entry{std::move(v), false};
  }
}

bool COrv_PrefsDlg::SetSetting(int n, const Value& value, bool mark) {
  const auto it = settings_.find(n);
  if (it == settings_.end()) return false;
  // A text key keeps a text, a number key a number.
  if (isText(n) != std::holds_alternative<std::string>(value)) return false;
  it->second.value = value;
  if (mark && n != kUserName) {
    it->second.changed = true;
    apply_->Enable(tv::buttons::COrv_ButtonEx::kStateUp);
  }
  return true;
}

const COrv_PrefsDlg::Value* COrv_PrefsDlg::GetSetting(int n) const {
  const auto it = settings_.find(n);
  return it == settings_.end() ? nullptr : &it->second.value;
}

std::uint32_t COrv_PrefsDlg::GetValue(int n) const {
  const Value* v = GetSetting(n);
  return v && std::holds_alternative<std::uint32_t>(*v) ? std::get<std::uint32_t>(*v) : 0;
}

std::string COrv_PrefsDlg::GetText(int n) const {
  const Value* v = GetSetting(n);
  return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : std::string();
}

bool COrv_PrefsDlg::locked(int page) {
  if (page >= 11 && page <= 13 && adminLocked_) {
    plat::ui::AppMessageBox(COrv_Language().LoadString(kStrAdminLock), plat::ui::MB_ICONINFORMATION);
    return true;
  }
  if ((page == 11 || page == 12) && talvaneOpen_) {
    plat::ui::AppMessageBox(COrv_Language().LoadString(kStrTalvaneOpen), plat::ui::MB_ICONINFORMATION);
    return true;
  }
  return false;
}

COrv_PrefsPage* COrv_PrefsDlg::makePage(int page) {
  if (const auto it = pages_.find(page); it != pages_.end()) return it->second;
  auto controls = PrefsPageControls(page);
  if (controls.empty()) return nullptr;
  auto* p = new COrv_PrefsPage(this, page, std::move(controls));
  stack_->addWidget(p);
  pages_[page] = p;
  ++pagesMade_;
  return p;
}

bool COrv_PrefsDlg::SelectPage(int page) {
  if (page == current_ && current_ >= 0) return true;
  COrv_PrefsPage* p = locked(page) ? nullptr : makePage(page);
  if (!p) {
    // A group, or a locked page: the page area stays empty until another
    // page is chosen.
    stack_->setCurrentIndex(0);
    current_ = -1;
    return false;
  }
  stack_->setCurrentWidget(p);
  current_ = page;
  if (auto it = items_.find(page); it != items_.end() && tree_->currentItem() != it->second) {
    const QSignalBlocker quiet(tree_);
    tree_->setCurrentItem(it->second);
  }
  return true;
}

COrv_PrefsPage* COrv_PrefsDlg::Page(int page) const {
  const auto it = pages_.find(page);
  return it == pages_.end() ? nullptr : it->second;
}

void COrv_PrefsDlg::save() {
  const bool pathChanged = settings_[kDataPath].changed;
  for (auto& [n, e] : settings_) {
    if (!e.changed) continue;
    e.changed = false;
    if (std::holds_alternative<std::uint32_t>(e.value)) {
      const std::uint32_t v = std::get<std::uint32_t>(e.value);
      switch (n) {
        case kInterfaceLanguage:
          host_->StoreInterfaceLanguage(static_cast<int>(v));
          host_->FrameInterfaceLanguage(static_cast<int>(v));
          retranslate();
          continue;
        case kHelpLanguage:
          host_->StoreHelpLanguage(static_cast<int>(v));
          host_->FrameHelpLanguage(static_cast<int>(v));
          continue;
        case 32:
          continue;
        case kAltPaths:
          // After a new data path (33 comes first), so the list lands
          // beside it.
          if (COrv_PrefsPage* p = Page(12)) storeAltSources(p->Folders());
          continue;
        case kUser: {
          // The request to log in again is served once. A new data path
          // brings its own log-in, which chooses the user.
          e.value = std::uint32_t{0};
          if (!pathChanged) {
            host_->ApplySetting(kUser, &v);
            settings_[kUserName].value = host_->CurrentUser();
          }
          if (COrv_PrefsPage* p = Page(11)) p->Refresh();
          continue;
        }
        default:
          host_->StoreValue(n, v);
          host_->ApplySetting(n, &v);
          continue;
      }
    }
    const std::string& t = std::get<std::string>(e.value);
    if (n == kJingleFile) {
      host_->StoreText(n, t);
    } else if (n == kDataPath) {
      const std::string old = host_->Text(kDataPath);
      host_->MarkDataPathInUse(false);
      host_->StoreText(kDataPath, t);
      // The store refuses a folder it cannot make a data path; that, or a
      // new folder that cannot take the in-use mark, keeps the old one.
      if (host_->Text(kDataPath) != t || !host_->MarkDataPathInUse(true)) {
        host_->StoreText(kDataPath, old);
        host_->MarkDataPathInUse(true);
        e.value = old;
        plat::ui::AppMessageBox(COrv_Language().LoadString(kStrDataPathNotUsable), plat::ui::MB_ICONEXCLAMATION);
      } else {
        host_->ApplySetting(kDataPath, t.c_str());
        settings_[kUserName].value = host_->CurrentUser();
      }
      if (COrv_PrefsPage* p = Page(11)) p->Refresh();
    }
  }
}

void COrv_PrefsDlg::storeAltSources(const std::vector<std::string>& folders) {
  if (!host_->StoreAltSources(folders)) {
    plat::ui::AppMessageBox(COrv_Language().LoadString(kStrAltPathsNotSaved), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  std::string missing;
  std::error_code ec;
  for (const std::string& f : folders)
    if (!std::filesystem::is_directory(f, ec)) missing += "\n" + f;
  if (!missing.empty())
    plat::ui::AppMessageBox(COrv_Language().LoadString(kStrAltPathsMissing) + "\n" + missing,
                            plat::ui::MB_ICONEXCLAMATION);
}

void COrv_PrefsDlg::SetDataPathChooser(DataPathChooser* chooser) { chooser_ = chooser; }

bool COrv_PrefsDlg::ChooseDataPath() {
  QtDataPathChooser program;
  COrv_DataPathDlg paths(this, chooser_ ? chooser_ : &program, GetText(kDataPath));
  if (paths.exec() != QDialog::Accepted) return false;
  if (paths.ChosenPath() != GetText(kDataPath)) SetSetting(kDataPath, paths.ChosenPath(), true);
  if (COrv_PrefsPage* p = Page(11)) p->Refresh();
  return true;
}

void COrv_PrefsDlg::OnApply() {
  save();
  apply_->Disable();
}

void COrv_PrefsDlg::accept() {
  save();
  QDialog::accept();
}

void COrv_PrefsDlg::retranslate() {
  setWindowTitle(text(kStrCaption));
  m_skin->SetCaption(text(kStrCaption));
  m_skin->UpdateLanguage();
  cancel_->setText(text(kStrCancel));
  ok_->SetToolTipText(text(kStrOkTip).toStdString());
  apply_->SetToolTipText(text(kStrApplyTip).toStdString());
  for (const TreeRow& r : kTree) items_.at(r.page)->setText(0, text(r.textId));
  // The tree is as wide as its longest text, in any language.
  tree_->resizeColumnToContents(0);
  tree_->setMinimumWidth(tree_->columnWidth(0) + 2 * tree_->frameWidth() + 4);
  for (auto& [n, p] : pages_) p->RetranslateUi();
}

}  // namespace orv::views
