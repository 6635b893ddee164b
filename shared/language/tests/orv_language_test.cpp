#include "shared/language/orv_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "shared/language/english_module.h"
#include "shared/language/language_settings.h"

#include "platform/fs/program_folder.h"

namespace tv::language {
namespace {

namespace fs = std::filesystem;

class FakeFrame : public FrameState {
 public:
  explicit FakeFrame(int language) : language_(language) {}
  int interfaceLanguage() const override { return language_; }

 private:
  int language_;
};

// Language objects over a program folder in the test's sandbox, holding
// the French test module.
class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = tvtest::sandbox().base / "program";
    fs::create_directories(folder_);
    fs::copy_file(fs::path(TV_LANGUAGE_TEST_MODULES) / "Orv_MLFRE.res", folder_ / "Orv_MLFRE.res");
    setLanguageSettings(&settings_);
    setModuleLocator([this](std::string_view name) -> fs::path {
      ++lookups_;
      const std::string n(name);
      if (n.rfind("Orv_ML", 0) == 0 && n.size() > 10) return folder_ / (n.substr(0, n.size() - 4) + ".res");
      if (n.rfind("Orv_HL", 0) == 0 && n.size() > 10) return folder_ / n.substr(0, n.size() - 4);
      return {};
    });
  }
  void TearDown() override {
    setModuleLocator({});
    setLanguageSettings(nullptr);
    setFrameState(nullptr);
    setIconLibraryLoader({});
  }

  fs::path folder_;
  InMemoryLanguageSettings settings_;
  int lookups_ = 0;
};

TEST_F(LanguageTest, SetLanguageTable) {
  struct Case {
    const char* name;
    int index;
    int stored;
    int frame;  // -100: no main window
    int expected;
  };
  const Case cases[] = {
      {"current, no main window", -1, 3, -100, 3},
      {"current, from the main window", -1, 3, 5, 5},
      {"current, stored value out of range", -1, 9, -100, 0},
      {"current, main window out of range", -1, 3, -4, 0},
      {"English", 0, 3, -100, 0},
      {"French", 1, 0, -100, 1},
      {"Hungarian", 7, 0, -100, 7},
      {"above the highest", 8, 2, -100, 0},
      {"nine", 9, 2, -100, 0},
      {"below -1", -2, 2, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.setLastInterfaceLanguage(c.stored);
    FakeFrame frame(c.frame);
    setFrameState(c.frame == -100 ? nullptr : &frame);
    COrv_Language lang(c.index);
    EXPECT_EQ(lang.GetLanguage(), c.expected);
    EXPECT_TRUE(lang.SetLanguage(c.index));
    EXPECT_EQ(lang.GetLanguage(), c.expected);
    setFrameState(nullptr);
  }
}

TEST_F(LanguageTest, CurrentLanguageIsReadWhenTheObjectIsMade) {
  settings_.setLastInterfaceLanguage(2);
  COrv_Language before;
  settings_.setLastInterfaceLanguage(4);
  COrv_Language after;
  EXPECT_EQ(before.GetLanguage(), 2);
  EXPECT_EQ(after.GetLanguage(), 4);
  EXPECT_EQ(before.NormalizeIndex(-1), 2);
}

TEST_F(LanguageTest, GrammarBrowserKnowsSevenLanguages) {
  settings_.setLastInterfaceLanguage(7);
  COrv_Language browser(-1, COrv_Language::kBrowserHighestIndex);
  EXPECT_EQ(browser.GetLanguage(), 0);
  EXPECT_EQ(browser.NormalizeIndex(7), 0);
  EXPECT_EQ(browser.NormalizeIndex(6), 6);
  EXPECT_FALSE(browser.HelpFileExists(7));
}

TEST_F(LanguageTest, NamesAndCodes) {
  settings_.setLastInterfaceLanguage(4);
  COrv_Language lang;
  struct Case {
    int index;
    const char* code;
    const char* name;
    const char* library;
  };
  const Case cases[] = {
      {0, "ENG", "English", ""},
      {1, "FRE", "Français", "Orv_MLFRE.DLL"},
      {3, "SPA", "Español", "Orv_MLSPA.DLL"},
      {5, "PTG", "Português", "Orv_MLPTG.DLL"},
      {6, "PTB", "Port.-Bras.", "Orv_MLPTB.DLL"},
      {7, "HUN", "Magyar", "Orv_MLHUN.DLL"},
      {-1, "GER", "Deutsch", "Orv_MLGER.DLL"},
      {8, "ENG", "English", ""},
      {-7, "ENG", "English", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(lang.GetLanguageCode(c.index), c.code);
    EXPECT_EQ(lang.GetLanguageSuffix(c.index), c.code);
    EXPECT_EQ(lang.GetLanguageName(c.index), c.name);
    EXPECT_EQ(lang.GetResourceLibraryName(c.index), c.library);
  }
}

TEST_F(LanguageTest, StringsFallBackToEnglish) {
  COrv_Language french(1);
  // Held by the module.
  EXPECT_EQ(french.LoadString(9002), "Talvane Player : fenêtre d'erreur");
  EXPECT_EQ(french.LoadString(9007), "Code d'erreur : ");
  EXPECT_EQ(french.LoadString(20004),
            "Erreur du lecteur !\n\nJe ne trouve pas le chemin du navigateur de grammaire");
  // Held empty, and not held: English.
  EXPECT_EQ(french.LoadString(20005), "Player Error !\n\nI can't find the Grammar Browser");
  EXPECT_EQ(french.LoadString(9003), "Talvane Player: Warning Window");
  // Held by nobody.
  EXPECT_EQ(french.LoadString(31999), "");
  // Another language asked of a French object; English asked explicitly.
  EXPECT_EQ(french.LoadString(9002, 0), "Talvane Player: Error Window");
  EXPECT_EQ(french.LoadString(9002, 9), "Talvane Player: Error Window");

  // A language whose module is missing, and one whose module is damaged.
  tvtest::writeFile(folder_ / "Orv_MLSPA.res", "TVRES 1\nstring 9002 Ventana\nstring 9002 otra\n");
  for (const int index : {2, 3}) {
    COrv_Language lang(index);
    EXPECT_FALSE(lang.IsResourceLibraryAvailable(-1)) << index;
    EXPECT_EQ(lang.LoadString(9002), "Talvane Player: Error Window") << index;
  }
  EXPECT_TRUE(french.IsResourceLibraryAvailable(1));
  EXPECT_TRUE(french.IsResourceLibraryAvailable(0));
}

TEST_F(LanguageTest, ModuleIsReadForEachRequest) {
  COrv_Language german(4);
  EXPECT_EQ(german.LoadString(9002), "Talvane Player: Error Window");
  tvtest::writeFile(folder_ / "Orv_MLGER.res", "TVRES 1\nstring 9002 Fehlerfenster\n");
  EXPECT_EQ(german.LoadString(9002), "Fehlerfenster");
  fs::remove(folder_ / "Orv_MLGER.res");
  EXPECT_EQ(german.LoadString(9002), "Talvane Player: Error Window");
}

TEST_F(LanguageTest, LongStringsAreCutAtACharacterBoundary) {
  std::string text = "a";
  for (int i = 0; i < 1100; ++i) text += "é";
  tvtest::writeFile(folder_ / "Orv_MLHUN.res", "TVRES 1\nstring 5 " + text + "\n");
  const std::string got = COrv_Language(7).LoadString(5);
  EXPECT_EQ(got, "a" + text.substr(1, 2 * 1022));
}

TEST_F(LanguageTest, MenusFallBackToEnglish) {
  COrv_Language french(1);
  plat::ui::Menu menu;
  ASSERT_TRUE(french.LoadMenu(kMenuNoBook, menu));
  EXPECT_EQ(menu.items.at(0).caption, "&Fichier");
  EXPECT_EQ(menu.findCommand(57664)->caption, "À &propos...");

  ASSERT_TRUE(french.LoadMenu(kMenuBook, menu));
  EXPECT_EQ(menu, *englishModule().menu(kMenuBook));

  plat::ui::Menu untouched;
  untouched.items.push_back(plat::ui::MenuItem::separator());
  EXPECT_FALSE(french.LoadMenu(999, untouched));
  EXPECT_EQ(untouched.items.size(), 1u);

  ASSERT_TRUE(COrv_Language(2).LoadMenu(kMenuNoBook, menu));  // no Italian module
  EXPECT_EQ(menu, *englishModule().menu(kMenuNoBook));
}

TEST_F(LanguageTest, PicturesFallBackToEnglish) {
  COrv_Language french(1);
  const auto own = french.LoadBitmap(8267, 16, 16);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->image.kind, plat::ui::Image::Kind::File);
  EXPECT_EQ(own->file, folder_ / "economie.png");
  EXPECT_EQ(own->width, 16);

  const auto english = french.LoadBitmap(8268, 20, 18);
  ASSERT_TRUE(english);
  EXPECT_EQ(english->image, *englishModule().image(8268));
  EXPECT_EQ(english->height, 18);
  EXPECT_FALSE(french.LoadBitmap(1, 16, 16));
}

TEST_F(LanguageTest, ListStringsAndBounds) {
  COrv_Language english(0);
  COrv_Language french(1);
  struct Case {
    int list, entry;
    const char* english;
    const char* french;
  };
  const Case cases[] = {
      {1, 0, "", ""},
      {1, 1, "Economics", "Économie"},
      {1, 21, "Mind & Body", "Mind & Body"},
      {1, 22, "", ""},
      {2, 0, "", ""},
      {2, 5, "Expert", "Expert"},
      {3, -1, "", ""},
      {3, 0, "English", "Anglais"},
      {3, 8, "", ""},
      {4, 3, "CD-ROM drive", "CD-ROM drive"},
      {4, 4, "", ""},
      {0, 1, "", ""},
      {5, 1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.list << "," << c.entry);
    EXPECT_EQ(english.LoadTableString(c.list, c.entry, -1), c.english);
    EXPECT_EQ(french.LoadTableString(c.list, c.entry, -1), c.french);
  }
}

TEST(LanguageTables, CountsAndResourceIds) {
  const int counts[] = {21, 5, 8, 4};
  for (int kind = 1; kind <= 16; ++kind) EXPECT_EQ(COrv_Language::GetTableCount(kind), counts[(kind - 1) % 4]);
  for (const int kind : {0, 17, -1}) EXPECT_EQ(COrv_Language::GetTableCount(kind), 0);

  struct Case {
    int kind, entry, id;
  };
  const Case cases[] = {
      {1, 1, 9900},  {1, 21, 9920}, {5, 1, 141},    {9, 21, 287},   {13, 1, 8267},  {2, 5, 9954},
      {6, 1, 135},   {10, 5, 292},  {14, 3, 8290},  {3, 0, 9800},   {7, 7, 203},    {11, 0, 298},
      {15, 7, 8305}, {4, 0, 9980},  {8, 3, 223},    {12, 0, 295},   {12, 1, 296},   {12, 2, 294},
      {12, 3, 293},  {16, 0, 8295}, {16, 3, 8293},
      // Entries outside the list's numbering and unknown kinds.
      {1, 0, -1},    {1, 22, -1},   {2, 6, -1},     {3, 8, -1},     {3, -1, -1},    {4, 4, -1},
      {16, 4, -1},   {0, 1, -1},    {17, 1, -1},    {-3, 0, -1},    {1, 1 << 30, -1}, {1, -(1 << 30), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(COrv_Language::GetTableResourceId(c.kind, c.entry), c.id) << c.kind << "," << c.entry;
  }
}

TEST_F(LanguageTest, DefaultLocatorFindsModulesInTheProgramFolder) {
  setModuleLocator({});
  setenv(plat::fs::kProgramFolderVariable, folder_.c_str(), 1);
  EXPECT_EQ(COrv_Language(1).LoadString(9002), "Talvane Player : fenêtre d'erreur");
  fs::create_directories(folder_ / "Orv_HLFRE");
  EXPECT_TRUE(COrv_Language(1).HelpFileExists(1));
  unsetenv(plat::fs::kProgramFolderVariable);
}

TEST_F(LanguageTest, HelpFolders) {
  COrv_Language lang(0);
  EXPECT_EQ(lang.GetHelpFilePath(0), folder_ / "Orv_HLENG");
  EXPECT_EQ(lang.GetHelpFilePath(7), folder_ / "Orv_HLHUN");
  EXPECT_FALSE(lang.HelpFileExists(0));
  fs::create_directories(folder_ / "Orv_HLENG");
  EXPECT_TRUE(lang.HelpFileExists(0));
  EXPECT_TRUE(lang.HelpFileExists(-1));
  EXPECT_FALSE(lang.HelpFileExists(1));

  // Out of range: answered without a look for the folder.
  const int before = lookups_;
  EXPECT_FALSE(lang.HelpFileExists(8));
  EXPECT_FALSE(lang.HelpFileExists(-2));
  EXPECT_EQ(lookups_, before);
}

TEST(LanguageLocale, LocaleNames) {
  struct Case {
    const char* locale;
    int index;
  };
  const Case cases[] = {
      {"fr_FR.UTF-8", 1}, {"fr_CA", 1},       {"fr", 1},           {"it_IT.UTF-8", 2}, {"es_ES@euro", 3},
      {"es_MX.UTF-8", 3}, {"de_DE.UTF-8", 4}, {"de_AT", 4},        {"pt_PT.UTF-8", 5}, {"pt", 5},
      {"pt_BR.UTF-8", 6}, {"PT_br", 6},       {"hu_HU.UTF-8", 7},  {"en_US.UTF-8", 0}, {"C.UTF-8", 0},
      {"C", 0},           {"POSIX", 0},       {"", 0},             {"fra", 0},         {"frx_FR", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(languageIndexFromLocale(c.locale), c.index) << c.locale;
}

TEST(LanguageLocale, SystemCodes) {
  struct Case {
    const char* code;
    int index;
  };
  const Case cases[] = {
      {"FRA", 1}, {"frc", 1}, {"ITS", 2}, {"ESP", 3}, {"ese", 3}, {"ESN", 3}, {"DEU", 4}, {"PTG", 5},
      {"ptg", 5}, {"PTB", 6}, {"pTb", 6}, {"HUN", 7}, {"ENG", 0}, {"ENU", 0}, {"FR", 0},  {"FRAN", 0},
      {"", 0},    {"ES ", 0}, {" ES", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(languageIndexFromSystemCode(c.code), c.index) << c.code;
}

TEST(LanguageLocale, SystemLanguageFromTheEnvironment) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    int index;
  };
  const Case cases[] = {
      {nullptr, nullptr, "de_DE.UTF-8", 4},
      {nullptr, "pt_BR.UTF-8", "de_DE.UTF-8", 6},
      {"hu_HU.UTF-8", "pt_BR.UTF-8", "de_DE.UTF-8", 7},
      {"", "", "it_IT", 2},
      {nullptr, nullptr, "C.UTF-8", 0},
      {nullptr, nullptr, nullptr, 0},
  };
  auto set = [](const char* name, const char* value) {
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  };
  for (const Case& c : cases) {
    set("LC_ALL", c.lcAll);
    set("LC_MESSAGES", c.lcMessages);
    set("LANG", c.lang);
    EXPECT_EQ(COrv_Language::GetWindowsLanguage(), c.index) << (c.lang ? c.lang : "-");
  }
}

TEST_F(LanguageTest, ConfiguredSystemCodeStandsInForTheLocale) {
  setenv("LANG", "de_DE.UTF-8", 1);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(COrv_Language::GetWindowsLanguage(), 4);
  const std::pair<const char*, int> cases[] = {{"PTG", 5}, {"ptg", 5}, {"PtB", 6}, {"ENG", 0}, {"XYZ", 0}};
  for (const auto& [code, index] : cases) {
    settings_.setSystemLanguageCode(code);
    EXPECT_EQ(COrv_Language::GetWindowsLanguage(), index) << code;
  }
}

class FakeIconLibrary : public IconLibrary {
 public:
  explicit FakeIconLibrary(std::vector<int>* asked) : asked_(asked) {}
  std::optional<plat::ui::Image> icon(int id, int, int) override {
    asked_->push_back(id);
    return plat::ui::Image{plat::ui::Image::Kind::Svg, "", {'i'}};
  }
  std::optional<plat::ui::Image> bitmap(int id, int, int) override {
    asked_->push_back(-id);
    return plat::ui::Image{plat::ui::Image::Kind::Png, "", {'b'}};
  }

 private:
  std::vector<int>* asked_;
};

TEST_F(LanguageTest, IconLibraryPictures) {
  COrv_Language lang(0);
  EXPECT_FALSE(lang.IsIconLibraryAvailable());
  EXPECT_FALSE(lang.LoadTableIcon(1, 1, 32, 32));
  EXPECT_FALSE(lang.LoadLibraryBitmap(267, 32, 32));

  std::vector<int> asked;
  int opened = 0;
  setIconLibraryLoader([&]() -> std::unique_ptr<IconLibrary> {
    ++opened;
    return std::make_unique<FakeIconLibrary>(&asked);
  });
  EXPECT_TRUE(lang.IsIconLibraryAvailable());
  const auto icon = lang.LoadTableIcon(4, 0, 32, 24);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->width, 32);
  EXPECT_EQ(icon->height, 24);
  EXPECT_TRUE(lang.LoadTableBitmap(4, 0, 32, 32));
  EXPECT_TRUE(lang.LoadTableIcon(1, 21, 32, 32));
  EXPECT_TRUE(lang.LoadTableBitmap(3, 7, 32, 32));
  EXPECT_FALSE(lang.LoadTableIcon(1, 0, 32, 32));
  EXPECT_FALSE(lang.LoadTableBitmap(3, 8, 32, 32));
  EXPECT_FALSE(lang.LoadTableIcon(0, 1, 32, 32));
  EXPECT_EQ(asked, (std::vector<int>{220, -295, 161, -305}));
  EXPECT_EQ(opened, 5);  // once for the availability check, once per request that reached it

  setIconLibraryLoader([]() -> std::unique_ptr<IconLibrary> { return nullptr; });
  EXPECT_FALSE(lang.IsIconLibraryAvailable());
  EXPECT_FALSE(lang.LoadLibraryIcon(141, 32, 32));
}

TEST(LanguageSettingsStore, InMemoryDefaultAndInstalledObject) {
  InMemoryLanguageSettings mine;
  mine.setLastInterfaceLanguage(6);
  mine.setLastHelpLanguage(2);
  setLanguageSettings(&mine);
  EXPECT_EQ(&languageSettings(), &mine);
  EXPECT_EQ(COrv_Language().GetLanguage(), 6);
  EXPECT_EQ(languageSettings().lastHelpLanguage(), 2);
  setLanguageSettings(nullptr);
  EXPECT_NE(&languageSettings(), &mine);
  EXPECT_EQ(COrv_Language().GetLanguage(), 0) << "the in-memory default stores English";

  FakeFrame frame(1);
  setFrameState(&frame);
  EXPECT_EQ(COrv_Language().GetLanguage(), 1);  // the window's language, not the stored one
  setFrameState(nullptr);
  EXPECT_EQ(frameState(), nullptr);
}

}  // namespace
}  // namespace tv::language
