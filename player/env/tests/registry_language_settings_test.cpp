#include "player/env/registry_language_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"
#include "player/env/environment.h"
#include "player/env/file_util.h"
#include "shared/language/orv_language.h"

namespace {

struct RegistryLanguage : ::testing::Test {
  void SetUp() override { orv::InstallRegistryLanguageSettings(); }
  void TearDown() override { tv::language::setLanguageSettings(nullptr); }
};

TEST_F(RegistryLanguage, TheLanguageObjectReadsTheStoredChoiceBeforeTheMainWindow) {
  // A Spanish module in the program folder, where the program looks.
  const std::filesystem::path program = tvtest::sandbox().base / "program";
  tvtest::writeFile(program / "Orv_MLSPA.res", "TVRES 1\nstring 9800 Inglés\n");
  ::setenv(plat::fs::kProgramFolderVariable, program.c_str(), 1);
  ASSERT_EQ(tv::language::frameState(), nullptr);
  EXPECT_EQ(COrv_Language(-1).GetLanguage(), 0) << "nothing stored: English";
  EXPECT_EQ(COrv_Language(-1).LoadString(9800), "English");
  orv::COrv_Environment().SetInterfaceLanguage(3);
  EXPECT_EQ(COrv_Language(-1).GetLanguage(), 3);
  EXPECT_EQ(COrv_Language(-1).LoadString(9800), "Inglés");
  ::unsetenv(plat::fs::kProgramFolderVariable);
  // Changes through the language object land in the store.
  tv::language::languageSettings().setLastHelpLanguage(2);
  EXPECT_EQ(orv::COrv_Environment().GetHelpLanguage(), 2);
  tv::language::languageSettings().setLastInterfaceLanguage(9);
  EXPECT_EQ(COrv_Language(-1).GetLanguage(), 0) << "a stored index past the highest is English";
}

TEST_F(RegistryLanguage, TheSystemCodeComesFromTheWindowsFoldersWinIni) {
  const std::filesystem::path winIni =
      std::filesystem::path(orv::fileUtilServices().windowsFolder()) / "win.ini";
  struct Case {
    const char* stored;  // nullptr: no win.ini
    int index;
  } cases[] = {{"ptb", 6}, {"FRC", 1}, {"DEU", 4}, {"HUNGARIAN", 7}, {"XYZ", 0}};
  for (const Case& c : cases) {
    tvtest::writeFile(winIni, std::string("[Intl]\r\nsLanguage=") + c.stored + "\r\n");
    EXPECT_EQ(COrv_Language::GetWindowsLanguage(), c.index) << c.stored;
  }
  std::filesystem::remove(winIni);
  EXPECT_EQ(tv::language::languageSettings().systemLanguageCode(), "");
}

}  // namespace
