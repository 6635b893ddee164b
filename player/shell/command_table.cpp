#include "player/shell/command_table.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QString>

void COrv_CommandTable::Add(int id, Handler handler, Update update) {
  entries_[id] = Entry{std::move(handler), std::move(update)};
  // A new or replaced command has a state of its own to show.
  if (!listeners_.empty()) NotifyStateChanged();
}

COrv_CommandTable::State COrv_CommandTable::Query(int id) const {
  auto it = entries_.find(id);
  if (it == entries_.end() || !it->second.handler) return State{false, false};
  return it->second.update ? it->second.update() : State{};
}

bool COrv_CommandTable::Execute(int id) {
  if (!Query(id).enabled) return false;
  // Copy the handler: it may replace the table's entries while it runs.
  Handler handler = entries_[id].handler;
  handler();
  NotifyStateChanged();
  return true;
}

int COrv_CommandTable::AddStateListener(std::function<void()> listener) {
  const int token = nextListener_++;
  listeners_[token] = std::move(listener);
  return token;
}

void COrv_CommandTable::RemoveStateListener(int token) { listeners_.erase(token); }

void COrv_CommandTable::NotifyStateChanged() {
  if (notifying_) {
    notifyAgain_ = true;
    return;
  }
  notifying_ = true;
  do {
    notifyAgain_ = false;
    // A listener may remove listeners (its window closing): walk a copy of
    // the tokens and skip the ones gone.
    std::vector<int> tokens;
    for (const auto& [token, fn] : listeners_) tokens.push_back(token);
    for (int token : tokens) {
      auto it = listeners_.find(token);
      if (it != listeners_.end() && it->second) {
        const auto fn = it->second;
        fn();
      }
    }
  } while (notifyAgain_);
  notifying_ = false;
  UpdateActions();
}

void COrv_CommandTable::FillMenuBar(QMenuBar* bar, const plat::ui::Menu& menu) {
  actions_.clear();
  bar->clear();
  for (const plat::ui::MenuItem& item : menu.items) {
    if (item.kind == plat::ui::MenuItem::Kind::Popup) {
      QMenu* popup = bar->addMenu(QString::fromStdString(item.caption));
      fillMenu(popup, item.children);
    } else if (item.kind == plat::ui::MenuItem::Kind::Command) {
      QAction* action = bar->addAction(QString::fromStdString(item.caption));
      const int id = item.id;
      QObject::connect(action, &QAction::triggered, bar, [this, id] { Execute(id); });
      actions_.emplace_back(id, action);
    }
  }
  UpdateActions();
}

namespace {
// F1 inside an open menu: an open popup takes the keys, so the window's
// shortcut never sees them.
class MenuHelpFilter : public QObject {
 public:
  MenuHelpFilter(QMenu* menu, std::function<void(const QAction*)> onHelp) : QObject(menu), onHelp_(std::move(onHelp)) {
    menu->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1) return false;
    auto* menu = static_cast<QMenu*>(watched);
    const QAction* action = menu->activeAction();
    if (action == nullptr || action->menu() != nullptr) return false;
    onHelp_(action);
    return true;
  }

 private:
  std::function<void(const QAction*)> onHelp_;
};
}  // namespace

void COrv_CommandTable::fillMenu(QMenu* menu, const std::vector<plat::ui::MenuItem>& items) {
  QObject::connect(menu, &QMenu::aboutToShow, menu, [this] { UpdateActions(); });
  new MenuHelpFilter(menu, [this](const QAction* action) {
    const int id = IdOf(action);
    if (id != 0 && menuHelp_) menuHelp_(id);
  });
  for (const plat::ui::MenuItem& item : items) {
    switch (item.kind) {
      case plat::ui::MenuItem::Kind::Separator:
        menu->addSeparator();
        break;
      case plat::ui::MenuItem::Kind::Popup:
        fillMenu(menu->addMenu(QString::fromStdString(item.caption)), item.children);
        break;
      case plat::ui::MenuItem::Kind::Command: {
        // The text after the tab is shown in the shortcut column; the keys
        // themselves are the window's shortcuts, so the action has none.
        QAction* action = menu->addAction(QString::fromStdString(item.caption));
        const int id = item.id;
        QObject::connect(action, &QAction::triggered, menu, [this, id] { Execute(id); });
        actions_.emplace_back(id, action);
        break;
      }
    }
  }
}

void COrv_CommandTable::UpdateActions() {
  for (auto& [id, action] : actions_) {
    const State state = Query(id);
    action->setEnabled(state.enabled);
    action->setCheckable(state.checked);
    action->setChecked(state.checked);
  }
}

QAction* COrv_CommandTable::ActionFor(int id) const {
  for (const auto& [actionId, action] : actions_) {
    if (actionId == id) return action;
  }
  return nullptr;
}

int COrv_CommandTable::IdOf(const QAction* action) const {
  if (action == nullptr) return 0;
  for (const auto& [id, a] : actions_) {
    if (a == action) return id;
  }
  return 0;
}

void COrv_CommandTable::InstallShortcuts(QWidget* window, const std::vector<plat::ui::Accelerator>& table) {
  for (QShortcut* shortcut : shortcuts_) delete shortcut;
  shortcuts_.clear();
  for (const plat::ui::Accelerator& accel : table) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromStdString(accel.key)), window);
    shortcut->setContext(Qt::WindowShortcut);
    const int id = accel.command;
    QObject::connect(shortcut, &QShortcut::activated, window, [this, id] { Execute(id); });
    shortcuts_.push_back(shortcut);
  }
}
