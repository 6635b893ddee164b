#include "player/shell/command_table.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

#include <algorithm>
#include <iterator>
#include <functional>
#include <map>

#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace {

struct Counter {
  int runs = 0;
  bool enabled = true;
};

// One table with a command that can be switched off, and the window's
// "no book" menu and accelerators wired to it.
struct TableFixture : ::testing::Test {
  COrv_CommandTable table;
  Counter open;  // 57601
  Counter play;  // 115, F8
  QMainWindow window;

  void SetUp() override {
    table.Add(57601, [this] { ++open.runs; }, [this] { return COrv_CommandTable::State{open.enabled, false}; });
    table.Add(115, [this] { ++play.runs; }, [this] { return COrv_CommandTable::State{play.enabled, true}; });
    plat::ui::Menu menu;
    ASSERT_TRUE(COrv_Language(0).LoadMenu(tv::language::kMenuNoBook, menu));
    table.FillMenuBar(window.menuBar(), menu);
    table.InstallShortcuts(&window, *COrv_Language::GetAccelerators(tv::language::kAcceleratorTable));
  }

  QShortcut* shortcutFor(const char* key) {
    for (QShortcut* s : table.Shortcuts()) {
      if (s->key() == QKeySequence(QString::fromLatin1(key))) return s;
    }
    return nullptr;
  }
};

TEST_F(TableFixture, DisabledCommandIsRefusedFromEveryPath) {
  QAction* openAction = table.ActionFor(57601);
  ASSERT_NE(openAction, nullptr);
  QShortcut* f8 = shortcutFor("F8");
  ASSERT_NE(f8, nullptr);

  // Enabled: the menu entry, the key and a direct call all run it.
  openAction->trigger();
  EXPECT_TRUE(table.Execute(57601));
  emit f8->activated();
  EXPECT_EQ(open.runs, 2);
  EXPECT_EQ(play.runs, 1);

  open.enabled = false;
  play.enabled = false;
  table.UpdateActions();
  EXPECT_FALSE(openAction->isEnabled());
  EXPECT_FALSE(table.Execute(57601));
  emit openAction->triggered(false);  // a stale menu entry still cannot run it
  emit f8->activated();
  EXPECT_EQ(open.runs, 2);
  EXPECT_EQ(play.runs, 1);
}

TEST_F(TableFixture, CommandsWithoutHandlerAreDisabled) {
  EXPECT_FALSE(table.Query(32814).enabled);
  EXPECT_FALSE(table.Execute(32814));
  QAction* install = table.ActionFor(32814);
  ASSERT_NE(install, nullptr);
  EXPECT_FALSE(install->isEnabled());
}

TEST_F(TableFixture, MenuBarCarriesTheLanguageCaptions) {
  const QList<QAction*> tops = window.menuBar()->actions();
  ASSERT_EQ(tops.size(), 2);
  EXPECT_EQ(tops[0]->text(), "&File");
  EXPECT_EQ(tops[1]->text(), "&Help");
  QStringList file;
  for (QAction* a : tops[0]->menu()->actions()) file << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(file, (QStringList{"&Open...", "&Install...", "Preferences...", "-", "E&xit"}));
  EXPECT_EQ(table.ActionFor(57664)->text(), "&About...");
}

TEST_F(TableFixture, EveryAcceleratorRunsItsCommand) {
  struct Key {
    const char* key;
    int command;
  };
  // The whole table, the paging keys in their portable names. F9 stands in
  // the caption of Pause, so it is a key of Pause as well.
  const Key keys[] = {
      {"F1", 57670},  {"Shift+F1", 57669}, {"F2", 32780},  {"Ctrl+F2", 229},      {"Shift+F2", 228},
      {"F3", 32790},  {"F4", 213},         {"F5", 214},    {"F6", 140},           {"F7", 118},
      {"F8", 115},    {"F9", 116},         {"F10", 152},   {"F11", 193},          {"PgDown", 125},
      {"Ctrl+PgDown", 230}, {"PgUp", 124}, {"Ctrl+PgUp", 231},
  };
  EXPECT_EQ(table.Shortcuts().size(), std::size(keys));
  std::map<int, int> ran;
  for (const Key& k : keys) table.Add(k.command, [&ran, id = k.command] { ++ran[id]; });
  for (const Key& k : keys) {
    QShortcut* s = shortcutFor(k.key);
    ASSERT_NE(s, nullptr) << k.key;
    emit s->activated();
    EXPECT_EQ(ran[k.command], 1) << k.key;
  }
  EXPECT_EQ(ran.size(), std::size(keys));
}

// The book window's menus as the learner sees them: every item with a key
// shows it beside its caption, that key runs the item's command, and no
// other item shows a key.
TEST_F(TableFixture, EveryMenuItemWithAKeyShowsIt) {
  struct Row {
    int command;
    const char* key;
  };
  const Row rows[] = {
      {32780, "F2"}, {32790, "F3"}, {115, "F8"}, {116, "F9"}, {152, "F10"},
      {118, "F7"},   {213, "F4"},   {214, "F5"}, {140, "F6"}, {193, "F11"},
  };
  plat::ui::Menu menu;
  ASSERT_TRUE(COrv_Language(0).LoadMenu(tv::language::kMenuBook, menu));
  table.FillMenuBar(window.menuBar(), menu);
  std::map<int, QString> shown;  // command: the key text beside its caption
  std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
    for (QAction* a : actions) {
      if (a->menu() != nullptr) {
        walk(a->menu()->actions());
      } else if (!a->isSeparator()) {
        const QString key = a->text().section('\t', 1);
        if (!key.isEmpty()) shown[table.IdOf(a)] = key;
      }
    }
  };
  walk(window.menuBar()->actions());
  std::map<int, QString> expected;
  for (const Row& r : rows) expected[r.command] = QString::fromLatin1(r.key);
  EXPECT_EQ(shown, expected);
  const auto* keys = COrv_Language::GetAccelerators(tv::language::kAcceleratorTable);
  ASSERT_NE(keys, nullptr);
  for (const Row& r : rows) {
    const auto runs = std::find_if(keys->begin(), keys->end(), [&](const auto& a) { return a.key == r.key; });
    ASSERT_NE(runs, keys->end()) << r.key;
    EXPECT_EQ(runs->command, r.command) << r.key;
  }
}

TEST(CommandTable, CheckedStateReachesTheAction) {
  COrv_CommandTable table;
  bool loop = false;
  table.Add(140, [&loop] { loop = !loop; }, [&loop] { return COrv_CommandTable::State{true, loop}; });
  QMenuBar bar;
  plat::ui::Menu menu{{plat::ui::MenuItem::popup("&Audio", {plat::ui::MenuItem::command(140, "Play &Loop")})}};
  table.FillMenuBar(&bar, menu);
  QAction* action = table.ActionFor(140);
  EXPECT_FALSE(action->isChecked());
  action->trigger();
  table.UpdateActions();
  EXPECT_TRUE(action->isChecked());
}

}  // namespace

TEST(CommandTableListeners, ToldAfterCommandsAndOnRequestOnly) {
  COrv_CommandTable table;
  bool enabled = true;
  table.Add(1, [] {}, [&] { return COrv_CommandTable::State{enabled, false}; });
  int told = 0;
  int nested = 0;
  const int token = table.AddStateListener([&] { ++told; });
  // A listener that asks for a notification while the listeners run gets
  // one more round, not a recursion.
  const int asking = table.AddStateListener([&] {
    if (nested++ == 0) table.NotifyStateChanged();
  });
  EXPECT_TRUE(table.Execute(1));
  EXPECT_EQ(told, 2);
  EXPECT_EQ(nested, 2);
  table.RemoveStateListener(asking);

  // A refused command changes nothing and tells nobody.
  enabled = false;
  told = 0;
  EXPECT_FALSE(table.Execute(1));
  EXPECT_FALSE(table.Execute(99));
  EXPECT_EQ(told, 0);
  // Registering a command changes what there is to show.
  table.Add(2, [] {});
  EXPECT_EQ(told, 1);
  table.NotifyStateChanged();
  EXPECT_EQ(told, 2);

  // A listener removed by another while they run is not called.
  int late = 0;
  int lateToken = 0;
  const int remover = table.AddStateListener([&] { table.RemoveStateListener(lateToken); });
  lateToken = table.AddStateListener([&] { ++late; });
  table.NotifyStateChanged();
  EXPECT_EQ(late, 0);
  table.RemoveStateListener(remover);
  table.RemoveStateListener(token);
  table.NotifyStateChanged();
  EXPECT_EQ(told, 3);
}

// Every menu item whose command has a key shows that key beside it, as the
// menus are filled in the window; no item shows a key its command lacks.
TEST(CommandTableMenus, EveryItemWithAKeyShowsIt) {
  struct Row {
    int command;
    const char* key;
  };
  // The items of the book window's menu that have a key.
  const Row expected[] = {
      {32780, "F2"}, {32790, "F3"}, {213, "F4"}, {214, "F5"},   {140, "F6"},
      {118, "F7"},   {115, "F8"},   {116, "F9"}, {152, "F10"}, {193, "F11"},
  };
  const auto* keys = COrv_Language::GetAccelerators(tv::language::kAcceleratorTable);
  ASSERT_NE(keys, nullptr);
  const auto keyOf = [keys](int command) {
    for (const plat::ui::Accelerator& a : *keys)
      if (a.command == command) return QKeySequence(QString::fromStdString(a.key)).toString();
    return QString();
  };
  for (int menuId : {tv::language::kMenuNoBook, tv::language::kMenuBook}) {
    SCOPED_TRACE(menuId);
    plat::ui::Menu menu;
    ASSERT_TRUE(COrv_Language().LoadMenu(menuId, menu));
    COrv_CommandTable table;
    QMenuBar bar;
    table.FillMenuBar(&bar, menu);
    std::map<int, QString> shown;  // command -> the text after the tab
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
      for (QAction* a : actions) {
        if (a->menu() != nullptr) walk(a->menu()->actions());
        const int id = table.IdOf(a);
        if (id == 0) continue;
        const QStringList parts = a->text().split(u'\t');
        shown[id] = parts.size() > 1 ? parts[1] : QString();
      }
    };
    walk(bar.actions());
    ASSERT_FALSE(shown.empty());
    for (const auto& [id, text] : shown) {
      SCOPED_TRACE(id);
      EXPECT_EQ(text, keyOf(id));
    }
    if (menuId == tv::language::kMenuBook) {
      for (const Row& r : expected) {
        SCOPED_TRACE(r.command);
        ASSERT_TRUE(shown.count(r.command));
        EXPECT_EQ(shown[r.command], r.key);
      }
    }
  }
}
