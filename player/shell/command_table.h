#pragma once
// COrv_CommandTable: every command of the main window by its numeric id,
// with the handler that carries it out and the predicate that says whether
// it is enabled (and checked) now. Menus, accelerator keys and buttons all
// end in Execute, which refuses a command that is disabled or has no
// handler, however it arrives. Menus are built from the language object's
// menu model; accelerators become QShortcuts on the window.

#include <functional>
#include <map>
#include <vector>

#include "platform/ui/resources/resource_module.h"

class QAction;
class QMenu;
class QMenuBar;
class QShortcut;
class QWidget;

class COrv_CommandTable {
 public:
  struct State {
    bool enabled = true;
    bool checked = false;
  };
  using Handler = std::function<void()>;
  using Update = std::function<State()>;

  // Registers (or replaces) a command, and tells the state listeners.
  // Without an update predicate the command is always enabled and never
  // checked.
  void Add(int id, Handler handler, Update update = {});
  bool Has(int id) const { return entries_.count(id) != 0; }
  // A command without a handler is disabled, as the menus show it greyed.
  State Query(int id) const;
  // Runs the handler when the command is enabled, then tells the state
  // listeners; false when refused (nothing changed, nobody is told).
  bool Execute(int id);

  // Whatever shows command states (the panels' buttons, the status bar)
  // listens here instead of polling. The table tells its listeners after
  // every command it ran; whoever changes a state that an update predicate
  // reads outside a command (the end of a play, a book window opened or
  // closed, a recording made) calls NotifyStateChanged. A notification
  // asked for while the listeners run is delivered once more after them.
  int AddStateListener(std::function<void()> listener);
  void RemoveStateListener(int token);
  void NotifyStateChanged();

  // Replaces the bar's entries with the menu model; each command entry
  // runs Execute and takes its enabled and checked state when its popup
  // opens (and at once).
  void FillMenuBar(QMenuBar* bar, const plat::ui::Menu& menu);
  // Sets the state of every action built from the model.
  void UpdateActions();
  // The action built for a command id (the first one), or null.
  QAction* ActionFor(int id) const;
  // The command id of an action built from the model; 0 for any other.
  int IdOf(const QAction* action) const;
  // What F1 on a highlighted menu entry does: called with the entry's id.
  void SetMenuHelp(std::function<void(int id)> onHelp) { menuHelp_ = std::move(onHelp); }

  // One QShortcut per accelerator on `window`, replacing earlier ones.
  void InstallShortcuts(QWidget* window, const std::vector<plat::ui::Accelerator>& table);
  const std::vector<QShortcut*>& Shortcuts() const { return shortcuts_; }

 private:
  struct Entry {
    Handler handler;
    Update update;
  };
  void fillMenu(QMenu* menu, const std::vector<plat::ui::MenuItem>& items);

  std::map<int, Entry> entries_;
  std::map<int, std::function<void()>> listeners_;
  int nextListener_ = 1;
  bool notifying_ = false;
  bool notifyAgain_ = false;
  std::vector<std::pair<int, QAction*>> actions_;
  std::vector<QShortcut*> shortcuts_;
  std::function<void(int id)> menuHelp_;
};
