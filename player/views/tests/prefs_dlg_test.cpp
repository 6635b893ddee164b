// The preferences dialog over a recording host: what each set of changed
// settings writes and tells the frame, and in which order; the locks of the
// administration and data-path pages; pages made once; page controls that
// change their settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QSpinBox>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/views/prefs_dlg.h"
#include "player/views/prefs_page.h"
#include "shared/language/language_settings.h"
#include "shared/language/orv_language.h"
#include "shared/skin/orv_skin_frame.h"
#include "shared/buttons/button_host.h"
#include "shared/buttons/orv_button.h"

using namespace orv::views;

namespace {

class RecordingHost : public PrefsHost {
 public:
  std::vector<std::string> calls;
  std::string dataPath = "/data/old";
  std::string user = "anna";
  bool admin = false;
  bool open = false;
  bool markWorks = true;

  int InterfaceLanguage() override { return 0; }
  int HelpLanguage() override { return 0; }
  std::uint32_t Value(int n) override { return n == 16 ? 3 : n == 19 ? 1 : 0; }
  std::string Text(int n) override { return n == 33 ? dataPath : n == 36 ? user : std::string(); }
  void StoreValue(int n, std::uint32_t v) override { log("store " + std::to_string(n) + "=" + std::to_string(v)); }
  void StoreText(int n, const std::string& t) override {
    if (n == 33) dataPath = t;
    log("store " + std::to_string(n) + "=" + t);
  }
  void StoreInterfaceLanguage(int i) override { log("store interface " + std::to_string(i)); }
  void StoreHelpLanguage(int i) override { log("store help " + std::to_string(i)); }
  bool MarkDataPathInUse(bool on) override {
    log(std::string("mark ") + (on ? "on " : "off ") + dataPath);
    return !on || markWorks || dataPath == "/data/old";
  }
  bool HasAdminAccount() override { return admin; }
  std::vector<std::string> alternatives{"/media/books"};
  std::vector<std::string> AltSources() override { return alternatives; }
  bool StoreAltSources(const std::vector<std::string>& folders) override {
    std::string all;
    for (const auto& f : folders) all += (all.empty() ? "" : ",") + f;
    log("store 34=" + all + " beside " + dataPath);
    if (!storeWorks) return false;
    alternatives = folders;
    return true;
  }
  bool storeWorks = true;
  void FrameInterfaceLanguage(int i) override { log("frame interface " + std::to_string(i)); }
  void FrameHelpLanguage(int i) override { log("frame help " + std::to_string(i)); }
  void ApplySetting(int n, const void* v) override {
    if (n == 33) {
      log("apply 33 " + std::string(static_cast<const char*>(v)));
      user = "";  // the log-in after a new data path
    } else {
      log("apply " + std::to_string(n) + " " + std::to_string(*static_cast<const std::uint32_t*>(v)));
      if (n == 35) user = "bert";
    }
  }
  std::string CurrentUser() override { return user; }
  bool IsTalvaneOpen() override { return open; }

 private:
  void log(std::string s) { calls.push_back(std::move(s)); }
};

using V = COrv_PrefsDlg::Value;

// A host whose stored interface language is the one the language object
// reads, as the program's store is.
class LanguageHost : public RecordingHost {
 public:
  void StoreInterfaceLanguage(int i) override { tv::language::languageSettings().setLastInterfaceLanguage(i); }
};

// A new interface language applied from the dialog renames the open
// dialog at once: its caption, its buttons and its frame's close button.
TEST(PrefsDlg, ANewInterfaceLanguageRenamesTheOpenDialog) {
  const auto module = tvtest::sandbox().base / "Orv_MLFRE.res";
  tvtest::writeFile(module, "TVRES 1\nstring 20400 Préférences\nstring 20449 Annuler\nstring 20402 Appliquer\n"
                            "string 1 Fermer\n");
  tv::language::setModuleLocator([module](std::string_view name) {
    return name == "Orv_MLFRE.DLL" ? module : std::filesystem::path();
  });
  tv::language::languageSettings().setLastInterfaceLanguage(0);
  LanguageHost host;
  COrv_PrefsDlg dlg(nullptr, &host);
  dlg.show();
  EXPECT_EQ(dlg.CancelButton()->text().toStdString(), "Cancel");
  EXPECT_EQ(dlg.Skin().CloseButton().ToolTipText(), "Close");
  ASSERT_TRUE(dlg.SetSetting(1, V{std::uint32_t{1}}, true));
  dlg.OnApply();
  EXPECT_EQ(dlg.windowTitle().toStdString(), "Préférences");
  EXPECT_EQ(dlg.Skin().Caption().toStdString(), "Préférences");
  EXPECT_EQ(dlg.CancelButton()->text().toStdString(), "Annuler");
  EXPECT_EQ(dlg.ApplyButton()->ToolTipText(), "Appliquer");
  EXPECT_EQ(dlg.Skin().CloseButton().ToolTipText(), "Fermer");
  tv::language::languageSettings().setLastInterfaceLanguage(0);
  tv::language::setModuleLocator({});
}

TEST(PrefsDlg, EachMarkedSetWritesAndTellsTheFrameInKeyOrder) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, V>> changes;
    bool cancel;
    std::vector<std::string> calls;
  } cases[] = {
      {"data path and user: the path only, in order",
       {{35, V{std::uint32_t{4}}}, {33, V{std::string("/data/new")}}},
       false,
       {"mark off /data/old", "store 33=/data/new", "mark on /data/new", "apply 33 /data/new"}},
      {"user", {{35, V{std::uint32_t{4}}}}, false, {"apply 35 4"}},
      {"interface language",
       {{1, V{std::uint32_t{2}}}},
       false,
       {"store interface 2", "frame interface 2"}},
      {"jingle file: the store only", {{5, V{std::string("/s/j.wav")}}}, false, {"store 5=/s/j.wav"}},
      {"32: nothing", {{32, V{std::uint32_t{1}}}}, false, {}},
      {"a numbered setting", {{7, V{std::uint32_t{1}}}}, false, {"store 7=1", "apply 7 1"}},
      {"two numbered settings: ascending", {{25, V{std::uint32_t{0}}}, {3, V{std::uint32_t{1}}}}, false,
       {"store 3=1", "apply 3 1", "store 25=0", "apply 25 0"}},
      {"nothing", {}, false, {}},
      {"cancel", {{7, V{std::uint32_t{1}}}, {33, V{std::string("/x")}}}, true, {}},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    COrv_PrefsDlg dlg(nullptr, &host);
    for (const auto& [n, v] : c.changes) ASSERT_TRUE(dlg.SetSetting(n, v, true)) << c.name << " " << n;
    if (c.cancel) dlg.reject();
    else dlg.accept();
    EXPECT_EQ(host.calls, c.calls) << c.name;
  }
}

TEST(PrefsDlg, TheUserNameFollowsTheFrameAfterASave) {
  RecordingHost host;
  COrv_PrefsDlg dlg(nullptr, &host);
  EXPECT_EQ(dlg.GetText(36), "anna");
  dlg.SetSetting(35, V{std::uint32_t{4}}, true);
  dlg.OnApply();
  EXPECT_EQ(dlg.GetText(36), "bert");
  EXPECT_FALSE(dlg.ApplyButton()->IsEnabled());
  host.calls.clear();
  dlg.OnApply();
  EXPECT_TRUE(host.calls.empty()) << "each handled entry is unmarked";
  EXPECT_TRUE(dlg.SetSetting(36, V{std::string("x")}, true));
  dlg.OnApply();
  EXPECT_TRUE(host.calls.empty()) << "36 is never saved";
}

TEST(PrefsDlg, ADataPathThatCannotBeUsedKeepsTheOldOne) {
  RecordingHost host;
  host.markWorks = false;
  plat::ui::RecordingSink boxes{std::vector<int>{}};
  plat::ui::ScopedSink sink(boxes);
  COrv_PrefsDlg dlg(nullptr, &host);
  dlg.SetSetting(33, V{std::string("/data/new")}, true);
  dlg.OnApply();
  EXPECT_EQ(host.dataPath, "/data/old");
  EXPECT_EQ(dlg.GetText(33), "/data/old");
  EXPECT_EQ(boxes.boxes().size(), 1u);
  for (const auto& call : host.calls) EXPECT_EQ(call.find("apply 33"), std::string::npos) << call;
}

TEST(PrefsDlg, SettingsOutsideTheMapOrOfTheWrongKindAreRefused) {
  RecordingHost host;
  COrv_PrefsDlg dlg(nullptr, &host);
  EXPECT_FALSE(dlg.SetSetting(0, V{std::uint32_t{1}}, true));
  EXPECT_FALSE(dlg.SetSetting(37, V{std::uint32_t{1}}, true));
  EXPECT_FALSE(dlg.SetSetting(33, V{std::uint32_t{1}}, true));
  EXPECT_FALSE(dlg.SetSetting(7, V{std::string("1")}, true));
  EXPECT_FALSE(dlg.ApplyButton()->IsEnabled());
  // A setting the store never held is loaded with its default and kept.
  ASSERT_NE(dlg.GetSetting(30), nullptr);
  EXPECT_TRUE(dlg.SetSetting(30, V{std::uint32_t{1}}, true));
  EXPECT_TRUE(dlg.ApplyButton()->IsEnabled());
}

TEST(PrefsDlg, LockedGroupsShowWhyAndStayClosed) {
  struct Case {
    bool admin, open;
    int page;
    bool shown;
    std::string message;
  } cases[] = {
      {true, false, 11, false, "This Player is currently under the control"},
      {true, false, 13, false, "This Player is currently under the control"},
      {false, true, 11, false, "This settings group cannot be modified while a Talvane is still open"},
      {false, true, 12, false, "This settings group cannot be modified while a Talvane is still open"},
      {false, true, 13, true, ""},
      {true, true, 5, true, ""},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.admin = c.admin;
    host.open = c.open;
    plat::ui::RecordingSink boxes{std::vector<int>{}};
    plat::ui::ScopedSink sink(boxes);
    COrv_PrefsDlg dlg(nullptr, &host);
    EXPECT_EQ(dlg.SelectPage(c.page), c.shown) << c.page;
    if (c.message.empty()) {
      EXPECT_TRUE(boxes.boxes().empty()) << c.page;
    } else {
      ASSERT_EQ(boxes.boxes().size(), 1u) << c.page;
      EXPECT_EQ(boxes.last().request.text.rfind(c.message, 0), 0u) << boxes.last().request.text;
    }
  }
}

TEST(PrefsDlg, APageIsMadeOnceAndItsControlsChangeTheirSettings) {
  RecordingHost host;
  COrv_PrefsDlg dlg(nullptr, &host);
  EXPECT_EQ(dlg.PagesMade(), 0);
  ASSERT_TRUE(dlg.SelectPage(5));
  ASSERT_TRUE(dlg.SelectPage(6));
  ASSERT_TRUE(dlg.SelectPage(5));
  EXPECT_EQ(dlg.PagesMade(), 2);
  EXPECT_FALSE(dlg.SelectPage(0)) << "a group has no page";
  EXPECT_FALSE(dlg.Page(5)->isVisibleTo(&dlg));
  // Back from a group to the page shown before it.
  ASSERT_TRUE(dlg.SelectPage(5));
  EXPECT_TRUE(dlg.Page(5)->isVisibleTo(&dlg));

  COrv_PrefsPage* general = dlg.Page(5);
  auto* pause = qobject_cast<QSpinBox*>(general->ControlOf(16));
  auto* speech = qobject_cast<QCheckBox*>(general->ControlOf(19));
  ASSERT_TRUE(pause && speech);
  EXPECT_EQ(pause->value(), 3);
  EXPECT_TRUE(speech->isChecked());
  pause->setValue(75);  // beyond the range: held at 60
  speech->setChecked(false);
  auto* speed = qobject_cast<QComboBox*>(dlg.Page(6)->ControlOf(8));
  ASSERT_TRUE(speed);
  speed->setCurrentIndex(0);
  emit speed->activated(0);
  dlg.accept();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"store 8=4294967295", "apply 8 4294967295", "store 16=60",
                                                   "apply 16 60", "store 19=0", "apply 19 0"}));
}

// Every control of every page, changed as the learner changes it, reaches
// its own setting: stored and applied by the frame on Apply.
TEST(PrefsDlg, EveryControlOfEveryPageChangesItsOwnSetting) {
  const auto jingle = std::filesystem::temp_directory_path() / "prefs_every_jingle.wav";
  std::fclose(std::fopen(jingle.c_str(), "w"));
  using K = COrv_PrefsPage::Kind;
  int changed = 0;
  for (int page : {5, 6, 7, 8, 9, 4, 3, 11, 12, 13}) {
    for (const COrv_PrefsPage::Control& c : PrefsPageControls(page)) {
      if (c.kind == K::kShowText || c.kind == K::kDataPath) continue;  // read-only; the data-path dialog's own
      SCOPED_TRACE(::testing::Message() << "page " << page << " key " << c.key);
      RecordingHost host;
      COrv_PrefsDlg dlg(nullptr, &host);
      ASSERT_TRUE(dlg.SelectPage(page));
      QWidget* w = dlg.Page(page)->ControlOf(c.key);
      ASSERT_NE(w, nullptr);
      const std::uint32_t before = dlg.GetValue(c.key);
      std::string value;  // the new value as the host logs it
      switch (c.kind) {
        case K::kCheck:
          qobject_cast<QCheckBox*>(w)->click();
          value = before ? "0" : "1";
          break;
        case K::kNumber:
          qobject_cast<QSpinBox*>(w)->stepUp();
          value = std::to_string(before + 1);
          break;
        case K::kSpeed:
        case K::kLanguage: {
          auto* combo = qobject_cast<QComboBox*>(w);
          ASSERT_GE(combo->count(), 2);
          const int i = (combo->currentIndex() + 1) % combo->count();
          combo->setCurrentIndex(i);
          emit combo->activated(i);
          value = std::to_string(static_cast<std::uint32_t>(combo->itemData(i).toInt()));
          break;
        }
        case K::kSoundFile: {
          auto* edit = qobject_cast<QLineEdit*>(w);
          edit->setText(QString::fromStdString(jingle.string()));
          emit edit->editingFinished();
          value = jingle.string();
          break;
        }
        case K::kFolderList:
          qobject_cast<QPlainTextEdit*>(w)->setPlainText("/srv/more");
          value = "/srv/more";
          break;
        default:
          break;
      }
      EXPECT_TRUE(dlg.ApplyButton()->IsEnabled());
      dlg.OnApply();
      const std::string n = std::to_string(c.key);
      std::vector<std::string> expected;
      if (c.key == 1) expected = {"store interface " + value, "frame interface " + value};
      else if (c.key == 2) expected = {"store help " + value, "frame help " + value};
      else if (c.key == 5) expected = {"store 5=" + value};
      else if (c.key == 34) expected = {"store 34=" + value + " beside /data/old"};
      else if (c.key == 35) expected = {"apply 35 1"};
      else expected = {"store " + n + "=" + value, "apply " + n + " " + value};
      EXPECT_EQ(host.calls, expected);
      ++changed;
    }
  }
  EXPECT_EQ(changed, 33) << "every editable control was reached";
  std::filesystem::remove(jingle);
}

// Page 11's request to log in as another user is served once: the frame
// logs in, the page shows the new user and the box is clear again.
TEST(PrefsDlg, LoggingInAgainFromTheDataPathPage) {
  RecordingHost host;
  COrv_PrefsDlg dlg(nullptr, &host);
  ASSERT_TRUE(dlg.SelectPage(11));
  auto* again = qobject_cast<QCheckBox*>(dlg.Page(11)->ControlOf(35));
  auto* user = qobject_cast<QLabel*>(dlg.Page(11)->ControlOf(36));
  ASSERT_TRUE(again && user);
  EXPECT_EQ(user->text(), "anna");
  again->click();
  dlg.OnApply();
  EXPECT_EQ(host.calls, std::vector<std::string>{"apply 35 1"});
  EXPECT_EQ(user->text(), "bert");
  EXPECT_FALSE(again->isChecked());
  host.calls.clear();
  dlg.OnApply();
  EXPECT_TRUE(host.calls.empty());
}

TEST(PrefsDlg, TheJingleFileMustExistAndFit) {
  RecordingHost host;
  COrv_PrefsDlg dlg(nullptr, &host);
  ASSERT_TRUE(dlg.SelectPage(7));
  auto* edit = qobject_cast<QLineEdit*>(dlg.Page(7)->ControlOf(5));
  ASSERT_TRUE(edit);
  edit->setText("/no/such/file.wav");
  emit edit->editingFinished();
  EXPECT_EQ(dlg.GetText(5), "");
  EXPECT_FALSE(dlg.ApplyButton()->IsEnabled());
  const auto file = std::filesystem::temp_directory_path() / "prefs_jingle.wav";
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_TRUE(f);
  std::fclose(f);
  edit->setText(QString::fromStdString(file.string()));
  emit edit->editingFinished();
  EXPECT_EQ(dlg.GetText(5), file.string());
  EXPECT_TRUE(dlg.ApplyButton()->IsEnabled());
  std::filesystem::remove(file);
}

TEST(PrefsDlg, TheAlternativePathsPageSavesItsListAfterTheNewDataPath) {
  const std::string real = tvtest::sandbox().base.string();
  struct Case {
    const char* name;
    std::string typed;
    bool storeWorks;
    std::string stored;
    std::string box;  // empty: none
  };
  const Case cases[] = {
      {"folders that exist; empty lines dropped", real + "\n\n" + real + "\n", true,
       "store 34=" + real + "," + real + " beside /data/new", ""},
      {"a folder that does not exist is kept and named", real + "\n  /no/such/folder\n", true,
       "store 34=" + real + ",  /no/such/folder beside /data/new",
       "These alternative Talvane paths are not folders that exist; they are kept as typed:\n\n  /no/such/folder"},
      {"a list that cannot be stored is told", real + "\n", false, "store 34=" + real + " beside /data/new",
       "The alternative Talvane paths could not be saved: an entry is too long or holds characters a setting "
       "cannot keep."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plat::ui::RecordingSink boxes;
    plat::ui::ScopedSink scope(boxes);
    RecordingHost host;
    host.storeWorks = c.storeWorks;
    COrv_PrefsDlg dlg(nullptr, &host);
    ASSERT_TRUE(dlg.SelectPage(12));
    auto* list = qobject_cast<QPlainTextEdit*>(dlg.Page(12)->ControlOf(34));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->toPlainText(), "/media/books");
    list->setPlainText(QString::fromStdString(c.typed));
    dlg.SetSetting(33, V{std::string("/data/new")}, true);
    dlg.accept();
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(host.calls.back(), c.stored);
    if (c.box.empty()) {
      EXPECT_TRUE(boxes.boxes().empty());
    } else {
      ASSERT_EQ(boxes.boxes().size(), 1u);
      EXPECT_EQ(boxes.last().request.text, c.box);
    }
  }
}

}  // namespace

namespace {

// OK and Apply are the program's bitmap buttons: their faces and tooltips,
// Apply disabled until a change and again after it is applied, clicks by
// the mouse; the first page of the tree is shown selected when the dialog
// opens; Enter is OK.
TEST(PrefsDlg, BitmapButtonsAndTheFirstPageAtOpening) {
  using tv::buttons::COrv_ButtonEx;
  RecordingHost host;
  auto* dlg = new COrv_PrefsDlg(nullptr, &host);
  struct Button {
    const char* name;
    COrv_ButtonEx* button;
    int id;
    const int* faces;
    const char* tip;
  };
  const Button buttons[] = {
      {"OK", dlg->OkButton(), COrv_PrefsDlg::kOkId, COrv_PrefsDlg::kOkFaces, "Apply changes and close window"},
      {"Apply", dlg->ApplyButton(), COrv_PrefsDlg::kApplyId, COrv_PrefsDlg::kApplyFaces, "Apply changes"},
  };
  for (const Button& b : buttons) {
    SCOPED_TRACE(b.name);
    ASSERT_NE(b.button, nullptr);
    ASSERT_NE(dlg->ButtonWidget(b.id), nullptr);
    EXPECT_EQ(b.button->ToolTipText(), b.tip);
    // Faces in the button's slot order: up, down, hover up, hover down,
    // disabled; every one of them is a picture the program has.
    const int slotsOf[5] = {b.faces[0], b.faces[2], b.faces[1], b.faces[3], b.faces[4]};
    for (int slot = 0; slot < 5; ++slot) {
      EXPECT_EQ(b.button->BitmapId(slot), slotsOf[slot]);
      EXPECT_FALSE(tv::buttons::LoadResourceImage(slotsOf[slot], true).isNull()) << slotsOf[slot];
    }
    int w = 0, h = 0;
    EXPECT_TRUE(b.button->GetBitmapSize(&w, &h));
    EXPECT_EQ(QSize(w, h), QSize(30, 30));
  }
  EXPECT_TRUE(dlg->OkButton()->IsEnabled());
  EXPECT_FALSE(dlg->ApplyButton()->IsEnabled());

  EXPECT_EQ(dlg->CurrentPage(), -1);
  dlg->show();
  QApplication::processEvents();
  EXPECT_EQ(dlg->CurrentPage(), 5);
  auto* tree = dlg->findChild<QTreeWidget*>();
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(tree->currentItem(), nullptr);
  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
  EXPECT_TRUE(tree->currentItem()->isSelected());
  EXPECT_TRUE(dlg->Page(5)->isVisible());
  // TV_TEST_SHOTS names a folder for a picture of the dialog, to look at.
  if (const char* shots = std::getenv("TV_TEST_SHOTS")) dlg->grab().save(QString(shots) + "/preferences.png");

  // A disabled Apply ignores its click; a change enables it, its click
  // applies and disables it again.
  dlg->ButtonWidget(COrv_PrefsDlg::kApplyId)->Click();
  EXPECT_TRUE(host.calls.empty());
  ASSERT_TRUE(dlg->SetSetting(7, COrv_PrefsDlg::Value{std::uint32_t{1}}, true));
  EXPECT_TRUE(dlg->ApplyButton()->IsEnabled());
  dlg->ButtonWidget(COrv_PrefsDlg::kApplyId)->Click();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"store 7=1", "apply 7 1"}));
  EXPECT_FALSE(dlg->ApplyButton()->IsEnabled());
  EXPECT_TRUE(dlg->isVisible());

  // OK by the mouse saves and closes.
  ASSERT_TRUE(dlg->SetSetting(7, COrv_PrefsDlg::Value{std::uint32_t{0}}, true));
  dlg->ButtonWidget(COrv_PrefsDlg::kOkId)->Click();
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(host.calls.back(), "apply 7 0");
  delete dlg;

  // Enter is OK too.
  RecordingHost again;
  COrv_PrefsDlg keyed(nullptr, &again);
  keyed.show();
  QApplication::processEvents();
  ASSERT_TRUE(keyed.SetSetting(7, COrv_PrefsDlg::Value{std::uint32_t{1}}, true));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&keyed, &enter);
  EXPECT_EQ(keyed.result(), QDialog::Accepted);
  EXPECT_EQ(again.calls, (std::vector<std::string>{"store 7=1", "apply 7 1"}));
}

}  // namespace
