// The data-path dialog over the real store in the test's own world: making,
// checking and removing data paths through its buttons with a scripted
// folder chooser and a recording message box; what it refuses; folder names
// kept exactly through the dialog, the preferences and a fresh read; the
// keyboard path from the preferences page to a chosen data path.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/views/data_path_dlg.h"
#include "player/views/prefs_dlg.h"
#include "shared/buttons/orv_button.h"
#include "player/views/prefs_host.h"
#include "player/views/prefs_page.h"

using namespace orv::views;
namespace fs = std::filesystem;

namespace {

class ScriptedChooser : public DataPathChooser {
 public:
  std::deque<std::string> folders;
  std::deque<std::optional<std::string>> names;
  std::vector<std::string> browsed;
  bool browseWorks = true;

  std::string ChooseFolder(QWidget*, const std::string&, const std::string&) override {
    if (folders.empty()) return {};
    std::string f = folders.front();
    folders.pop_front();
    return f;
  }
  std::optional<std::string> AskName(QWidget*, const std::string&, const std::string&,
                                     const std::string& suggested) override {
    suggestions.push_back(suggested);
    if (names.empty()) return suggested;
    auto n = names.front();
    names.pop_front();
    return n;
  }
  bool Browse(const std::string& folder) override {
    browsed.push_back(folder);
    return browseWorks;
  }
  std::vector<std::string> suggestions;
};

bool hasStructure(const fs::path& d) {
  for (const char* item : {"Install", "BackUp", "DownLoad", "Users/Index.usr", "Talvanes/Index.tvk"})
    if (!fs::exists(d / item)) return false;
  return true;
}

std::vector<std::string> namedFolders() {
  orv::COrv_Environment env;
  std::vector<std::string> names, folders;
  env.ReadDataPathHistory(names);
  for (const auto& n : names) folders.push_back(env.GetNamedDataPath(n, false));
  return folders;
}

class DataPathDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = tvtest::sandbox().base / "paths";
    standard = (base / "standard").string();
    fs::create_directories(standard);
    ::setenv("PUBLIC", standard.c_str(), 1);
    orv::COrv_Environment env;
    ASSERT_TRUE(env.CreateDataPath(&standard));
    ASSERT_TRUE(env.SetDataPath(standard, true));
  }
  void TearDown() override {
    ::unsetenv("PUBLIC");
    plat::fs::clearFaults();
  }
  // A named data path made through the dialog.
  std::string makeNamed(const std::string& leaf, const std::string& name) {
    ScriptedChooser chooser;
    const std::string folder = (base / leaf).string();
    chooser.folders = {folder};
    chooser.names = {name};
    COrv_DataPathDlg dlg(nullptr, &chooser, standard);
    dlg.OnNew();
    return folder;
  }
  size_t rowOf(const COrv_DataPathDlg& dlg, const std::string& folder) {
    for (size_t i = 0; i < dlg.Rows().size(); ++i)
      if (dlg.Rows()[i].folder == folder) return i;
    return SIZE_MAX;
  }

  fs::path base;
  std::string standard;
  plat::ui::RecordingSink boxes{std::vector<int>{}};
  plat::ui::ScopedSink sink{boxes};
};

TEST_F(DataPathDlgTest, NewVerifyAndRemoveGoThroughTheStore) {
  ScriptedChooser chooser;
  const std::string folder = (base / "course b").string();  // not made yet
  chooser.folders = {folder};
  chooser.names = {std::string("  Course B ")};
  COrv_DataPathDlg dlg(nullptr, &chooser, standard);
  ASSERT_EQ(dlg.Rows().size(), 1u) << "the standard data path alone";
  EXPECT_TRUE(dlg.Rows()[0].name.empty());

  dlg.OnNew();
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.last().request.text;
  EXPECT_EQ(chooser.suggestions, std::vector<std::string>{"course b"});
  EXPECT_TRUE(hasStructure(folder));
  ASSERT_EQ(dlg.Rows().size(), 2u);
  EXPECT_EQ(dlg.SelectedRow(), 1) << "the new data path is selected";
  EXPECT_EQ(dlg.Rows()[1].name, "Course B") << "names are trimmed";
  EXPECT_EQ(namedFolders(), std::vector<std::string>{folder}) << "recorded in the settings file";

  EXPECT_TRUE(dlg.OnVerify());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_NE(boxes.last().request.text.find("is complete and free to use"), std::string::npos);

  dlg.OnBrowse();
  EXPECT_EQ(chooser.browsed, std::vector<std::string>{folder});

  // Remove asks first: No keeps everything, Yes deletes the structure and
  // forgets the name; the folder itself stays.
  boxes.clear();
  boxes.setScript({plat::ui::IDNO, plat::ui::IDYES});
  dlg.OnRemove();
  EXPECT_TRUE(hasStructure(folder));
  EXPECT_EQ(dlg.Rows().size(), 2u);
  dlg.SelectRow(1);
  dlg.OnRemove();
  ASSERT_EQ(boxes.boxes().size(), 2u);
  EXPECT_EQ(boxes.boxes()[0].request.buttons, plat::ui::Buttons::YesNo);
  EXPECT_EQ(boxes.boxes()[0].request.defaultButton, 1) << "No is the default";
  EXPECT_NE(boxes.boxes()[0].request.text.find(folder), std::string::npos);
  EXPECT_FALSE(fs::exists(fs::path(folder) / "Users"));
  EXPECT_FALSE(fs::exists(fs::path(folder) / "Talvanes"));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(dlg.Rows().size(), 1u);
  EXPECT_TRUE(namedFolders().empty());
}

// A name written into the settings file by hand may head one of the
// player's own sections: removing that data path takes only its folder.
TEST_F(DataPathDlgTest, RemovingANamedDataPathKeepsTheRestOfItsSection) {
  const std::string folder = (base / "by hand").string();
  fs::create_directories(folder);
  ASSERT_TRUE(orv::COrv_Environment().CreateDataPath(&folder));
  orv::COrv_Environment env;
  env.SetEnabled(1, false);
  const fs::path file = env.GetIndexFilePath(6);
  ASSERT_FALSE(plat::profile::writeString(file, "LRUDatapath", "01", "Settings"));
  ASSERT_FALSE(plat::profile::writeString(file, "Settings", "Path", folder));
  ScriptedChooser chooser;
  boxes.setDefaultAnswer(plat::ui::IDYES);
  COrv_DataPathDlg dlg(nullptr, &chooser, standard);
  ASSERT_EQ(dlg.Rows().size(), 2u);
  dlg.SelectRow(1);
  dlg.OnRemove();
  EXPECT_EQ(dlg.Rows().size(), 1u);
  EXPECT_FALSE(hasStructure(folder));
  EXPECT_FALSE(orv::COrv_Environment().IsEnabled(1)) << "the enablings stay";
  EXPECT_EQ(plat::profile::getString(file, "Settings", "Path", "", 261), "");
}

TEST_F(DataPathDlgTest, VerifySaysWhatIsWrong) {
  const std::string sound = makeNamed("sound", "Sound");
  const std::string noIndex = makeNamed("noindex", "No index");
  fs::remove(fs::path(noIndex) / "Users" / "Index.usr");
  const std::string gone = makeNamed("gone", "Gone");
  fs::remove_all(gone);
  const std::string busy = makeNamed("busy", "Busy");
  tvtest::writeFile(fs::path(busy) / "active.log", "");
  struct Case {
    std::string folder;
    bool sound;
    std::string says;
  } cases[] = {
      {sound, true, "is complete and free to use"},
      {noIndex, false, "cannot be used: " + (fs::path(noIndex) / "Users" / "Index.usr").string() + " is missing"},
      {gone, false, "cannot be used: " + gone + " is missing"},
      {busy, false, "is in use by another Talvane Player"},
      // This program's own mark is not another player's.
      {standard, true, "is complete and free to use"},
  };
  tvtest::writeFile(fs::path(standard) / "active.log", "");
  ScriptedChooser chooser;
  COrv_DataPathDlg dlg(nullptr, &chooser, standard);
  for (const Case& c : cases) {
    boxes.clear();
    dlg.SelectRow(static_cast<int>(rowOf(dlg, c.folder)));
    EXPECT_EQ(dlg.OnVerify(), c.sound) << c.folder;
    ASSERT_EQ(boxes.boxes().size(), 1u) << c.folder;
    EXPECT_NE(boxes.last().request.text.find(c.says), std::string::npos) << boxes.last().request.text;
  }
  // The list marks the current data path and the one another player uses.
  EXPECT_TRUE(dlg.List()->item(0)->text().contains("(current)"));
  EXPECT_TRUE(dlg.List()->item(static_cast<int>(rowOf(dlg, busy)))->text().contains("(in use)"));
}

TEST_F(DataPathDlgTest, RemoveRefusesTheStandardTheCurrentAndTheBusyDataPath) {
  const std::string pending = makeNamed("pending", "Pending");
  const std::string stored = makeNamed("stored", "Stored");
  const std::string busy = makeNamed("busy", "Busy");
  ASSERT_TRUE(orv::COrv_Environment().SetDataPath(stored, true));
  tvtest::writeFile(fs::path(busy) / "active.log", "");
  struct Case {
    std::string folder;
    std::string says;
  } cases[] = {
      {standard, "cannot be removed"},
      {pending, "cannot be removed"},  // the one the preferences hold now
      {stored, "cannot be removed"},   // the one this program runs on
      {busy, "is in use by another Talvane Player"},
  };
  ScriptedChooser chooser;
  boxes.setDefaultAnswer(plat::ui::IDYES);
  COrv_DataPathDlg dlg(nullptr, &chooser, pending);
  for (const Case& c : cases) {
    boxes.clear();
    boxes.setDefaultAnswer(plat::ui::IDYES);
    dlg.SelectRow(static_cast<int>(rowOf(dlg, c.folder)));
    dlg.OnRemove();
    ASSERT_EQ(boxes.boxes().size(), 1u) << c.folder << ": refused without asking";
    EXPECT_NE(boxes.last().request.text.find(c.says), std::string::npos) << boxes.last().request.text;
    EXPECT_TRUE(hasStructure(c.folder)) << c.folder;
  }
  EXPECT_EQ(dlg.Rows().size(), 4u);
}

TEST_F(DataPathDlgTest, NewRefusesListedFoldersAndNamesThatWouldNotReadBack) {
  const std::string first = makeNamed("first", "First");
  struct Case {
    std::string folder;
    std::optional<std::string> name;
    std::string says;  // empty: no box (cancelled)
  } cases[] = {
      {standard, "Again", "is listed already as \"Standard data path\""},
      {first + "/", "Again", "is listed already as \"First\""},
      {(base / "other").string(), "first", "cannot name a data path"},  // names match without case
      {(base / "other").string(), "", "cannot name a data path"},
      {(base / "other").string(), "a]b", "cannot name a data path"},
      {(base / "other").string(), "\"quoted\"", "cannot name a data path"},
      {(base / "other").string(), "settings", "cannot name a data path"},  // a section of the player's own
      {(base / "other").string(), std::nullopt, ""},
      {"", "Never asked", ""},
  };
  for (const Case& c : cases) {
    ScriptedChooser chooser;
    chooser.folders = {c.folder};
    chooser.names = {c.name};
    boxes.clear();
    COrv_DataPathDlg dlg(nullptr, &chooser, standard);
    dlg.OnNew();
    if (c.says.empty()) {
      EXPECT_TRUE(boxes.boxes().empty()) << c.folder;
    } else {
      ASSERT_EQ(boxes.boxes().size(), 1u) << c.folder;
      EXPECT_NE(boxes.last().request.text.find(c.says), std::string::npos) << boxes.last().request.text;
    }
    EXPECT_EQ(namedFolders(), std::vector<std::string>{first}) << c.folder;
  }
  EXPECT_FALSE(fs::exists(base / "other")) << "nothing is made for a refused name";
}

TEST_F(DataPathDlgTest, AFolderThatCannotBeMadeIsReported) {
  ScriptedChooser chooser;
  const std::string folder = (base / "locked").string();
  fs::create_directories(folder);
  chooser.folders = {folder};
  plat::fs::injectFault(plat::fs::FaultOp::MakeFolder, folder + "/Install", EACCES);
  COrv_DataPathDlg dlg(nullptr, &chooser, standard);
  dlg.OnNew();
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_NE(boxes.last().request.text.find("could not be made in\n" + folder), std::string::npos);
  EXPECT_TRUE(namedFolders().empty());
  EXPECT_EQ(dlg.Rows().size(), 1u);
}

TEST_F(DataPathDlgTest, OkTakesOnlyADataPathThatCanBeUsed) {
  const std::string busy = makeNamed("busy", "Busy");
  tvtest::writeFile(fs::path(busy) / "active.log", "");
  const std::string broken = makeNamed("broken", "Broken");
  fs::remove_all(fs::path(broken) / "Talvanes");
  ScriptedChooser chooser;
  COrv_DataPathDlg dlg(nullptr, &chooser, standard);

  dlg.SelectRow(static_cast<int>(rowOf(dlg, busy)));
  dlg.accept();
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(dlg.ChosenPath().empty());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_NE(boxes.last().request.text.find("in use by another"), std::string::npos);

  // A data path that lost part of its structure gets it again.
  dlg.SelectRow(static_cast<int>(rowOf(dlg, broken)));
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.ChosenPath(), broken);
  EXPECT_TRUE(hasStructure(broken));
}

// Folder names that the settings file would trim or unquote: through the
// dialog, a fresh list, the preferences' save and a fresh read of the store.
TEST_F(DataPathDlgTest, FolderNamesAreKeptExactlyUpToTheStoredDataPath) {
  const std::string leaves[] = {" leading blank", "trailing blank ", "say \"hi\"", "\"quoted\"", "50%2 of %1"};
  for (const std::string& leaf : leaves) {
    SCOPED_TRACE(leaf);
    const std::string folder = makeNamed(leaf, "Path " + std::to_string(&leaf - leaves));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.last().request.text;
    ASSERT_TRUE(hasStructure(folder));

    ScriptedChooser chooser;
    orv::COrv_Environment().SetDataPath(standard, true);
    COrv_DataPathDlg fresh(nullptr, &chooser, standard);
    const size_t row = rowOf(fresh, folder);
    ASSERT_NE(row, SIZE_MAX) << "the list reads the folder back whole";
    fresh.SelectRow(static_cast<int>(row));
    EXPECT_TRUE(fresh.OnVerify());
    EXPECT_NE(boxes.last().request.text.find(folder), std::string::npos) << boxes.last().request.text;
    fresh.accept();
    ASSERT_EQ(fresh.ChosenPath(), folder);

    EnvironmentPrefsHost host(PrefsFrame{});
    COrv_PrefsDlg prefs(nullptr, &host);
    ASSERT_TRUE(prefs.SetSetting(COrv_PrefsDlg::kDataPath, fresh.ChosenPath(), true));
    prefs.OnApply();
    EXPECT_EQ(orv::COrv_Environment().ReadDataPath(true), folder);
    EXPECT_TRUE(fs::exists(fs::path(folder) / "active.log")) << "the new data path is marked in use";
    EXPECT_FALSE(fs::exists(fs::path(standard) / "active.log")) << "and the old one no longer";
    boxes.clear();
  }
}

// The new data path is taken only when the store keeps it and it takes
// the in-use mark; otherwise the learner is told and the old one stays,
// marked again, and the frame hears of nothing.
TEST_F(DataPathDlgTest, ANewDataPathTheStoreRefusesOrThatCannotBeMarkedIsNotTaken) {
  const std::string unmarkable = makeNamed("unmarkable", "Unmarkable");
  struct Case {
    const char* why;
    std::string folder;
    bool failMark;
  } cases[] = {
      {"the mark cannot be made", unmarkable, true},
      {"the settings file cannot hold the name", (base / "two\nlines").string(), false},
      {"too long for the settings file", (base / std::string(300, 'x')).string(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    boxes.clear();
    std::vector<int> applied;
    EnvironmentPrefsHost host(PrefsFrame{{}, {}, [&](int n, const void*) { applied.push_back(n); }, {}, {}});
    ASSERT_TRUE(host.MarkDataPathInUse(true));
    COrv_PrefsDlg prefs(nullptr, &host);
    if (c.failMark) plat::fs::injectFault(plat::fs::FaultOp::Open, c.folder + "/active.log", EACCES);
    prefs.SetSetting(COrv_PrefsDlg::kDataPath, c.folder, true);
    prefs.OnApply();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.last().request.text.find("could not be taken into use"), std::string::npos);
    EXPECT_EQ(orv::COrv_Environment().ReadDataPath(true), standard);
    EXPECT_EQ(prefs.GetText(COrv_PrefsDlg::kDataPath), standard);
    EXPECT_TRUE(fs::exists(fs::path(standard) / "active.log")) << "the old data path is marked again";
    EXPECT_TRUE(applied.empty());
    plat::fs::clearFaults();
  }
}

// From page 11 to a new data path by keyboard alone: the page's button,
// Alt+N in the dialog, Enter to take it.
TEST_F(DataPathDlgTest, ThePreferencesPageReachesTheDialogByKeyboard) {
  ScriptedChooser chooser;
  const std::string folder = (base / "by keys").string();
  chooser.folders = {folder};
  EnvironmentPrefsHost host(PrefsFrame{});
  COrv_PrefsDlg prefs(nullptr, &host);
  prefs.SetDataPathChooser(&chooser);
  ASSERT_TRUE(prefs.SelectPage(11));
  COrv_PrefsPage* page = prefs.Page(11);
  auto* field = qobject_cast<QLineEdit*>(page->ControlOf(COrv_PrefsDlg::kDataPath));
  ASSERT_TRUE(field && page->DataPathButton());
  EXPECT_TRUE(field->isReadOnly());
  EXPECT_EQ(field->text().toStdString(), standard);

  bool sawDialog = false;
  QTimer::singleShot(0, [&] {
    auto* dlg = dynamic_cast<COrv_DataPathDlg*>(QApplication::activeModalWidget());
    if (dlg == nullptr) return;
    sawDialog = true;
    dlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
    EXPECT_EQ(QApplication::focusWidget(), dlg->List());
    QTest::keyClick(dlg->windowHandle(), Qt::Key_N, Qt::AltModifier);  // through the shortcut map
    // A mnemonic presses its button as a click does, a moment later.
    for (int i = 0; i < 100 && dlg->Rows().size() < 2; ++i) QTest::qWait(10);
    EXPECT_EQ(dlg->Rows().size(), 2u);
    QTest::keyClick(dlg->List(), Qt::Key_Return);
    if (dlg->isVisible()) dlg->reject();  // never left open
  });
  prefs.show();
  page->DataPathButton()->setFocus();
  QTest::keyClick(page->DataPathButton(), Qt::Key_Space);
  EXPECT_TRUE(sawDialog);
  EXPECT_EQ(prefs.GetText(COrv_PrefsDlg::kDataPath), folder);
  EXPECT_EQ(field->text().toStdString(), folder);
  EXPECT_TRUE(prefs.ApplyButton()->IsEnabled());
}

}  // namespace
