// What the player wires for itself before its start-up, exercised as the
// program wires it: the real program reading its stored language for the
// first box it shows, and, in this process after the same wiring call, the
// icon library's pictures, the stored language and the Qt wave file dialog.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QProcess>
#include <QTimer>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/program_folder.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "platform/ui/test_mode.h"
#include "player/audio/wave_file_dialog.h"
#include "player/env/environment.h"
#include "player/shell/program_services.h"
#include "shared/language/orv_language.h"

namespace {

namespace fs = std::filesystem;

constexpr int kGerman = 4;

// A program folder holding the suite's files and a German module.
fs::path germanProgramFolder() {
  const fs::path program = tvtest::sandbox().base / "program";
  const fs::path bin = fs::path(TV_ORVEX).parent_path();
  fs::create_directories(program);
  for (const auto& entry : fs::directory_iterator(bin))
    fs::create_symlink(entry.path(), program / entry.path().filename());
  tvtest::writeFile(program / "Orv_MLGER.res",
                    "TVRES 1\nstring 20058 Kein Audiogerät verfügbar\nstring 9002 Talvane Player: Fehlerfenster\n");
  return program;
}

// Started with no audio device and German stored as the interface
// language, the program's first box is in German: the stored language
// reaches it through what the program itself installs.
TEST(ProgramServices, TheProgramsFirstBoxComesInTheStoredLanguage) {
  const fs::path log = tvtest::sandbox().base / "events.log";
  QProcessEnvironment env = tvtest::testModeEnvironment(log.string());
  env.insert(plat::fs::kProgramFolderVariable, QString::fromStdString(germanProgramFolder().string()));
  env.insert(plat::ui::kTestModeVariable, "none");  // the audio backend without devices
  orv::COrv_Environment().SetInterfaceLanguage(kGerman);

  tvtest::ChildProcess orvex(TV_ORVEX, {}, QProcess::ForwardedChannels, env);
  ASSERT_NE(orvex.exitCode(60000), -1) << "still running";
  std::vector<plat::ui::LoggedEvent> boxes;
  for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log)))
    if (!e.isHelp && !e.isBeep && !e.text.empty()) boxes.push_back(e);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Kein Audiogerät verfügbar");
  EXPECT_EQ(boxes[0].caption, "Talvane Player: Fehlerfenster");
}

class WiredProcess : public ::testing::Test {
 protected:
  void SetUp() override { orv::shell::InstallProgramServices(); }
};

TEST_F(WiredProcess, PicturesComeFromTheIconLibraryBesideTheProgram) {
  const COrv_Language lang;
  ASSERT_TRUE(lang.IsIconLibraryAvailable());
  // The picture of a category, a level and a language, from the library.
  for (int list : {1, 2, 3}) {
    SCOPED_TRACE(list);
    const auto picture = lang.LoadTableIcon(list, 1, 16, 16);
    ASSERT_TRUE(picture.has_value());
    EXPECT_GT(picture->width, 0);
  }
}

TEST_F(WiredProcess, TheStoredInterfaceLanguageIsTheLanguageObjects) {
  orv::COrv_Environment().SetInterfaceLanguage(kGerman);
  EXPECT_EQ(COrv_Language().GetLanguage(), kGerman);
  orv::COrv_Environment().SetInterfaceLanguage(1);
  EXPECT_EQ(COrv_Language().GetLanguage(), 1);
}

TEST_F(WiredProcess, AWaveLoadWithoutAFileOpensTheFileDialog) {
  COrv_WaveFileDialog* dialog = COrv_WaveFileDialog::Current();
  ASSERT_NE(dialog, nullptr);
  QString shownFilter;
  bool seen = false;
  // The dialog is modal: look at it once it shows, then cancel it.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* files = qobject_cast<QFileDialog*>(w);
      if (files == nullptr || !files->isVisible()) continue;
      seen = true;
      shownFilter = files->nameFilters().join("|");
      files->reject();
    }
  });
  poll.start(20);
  const fs::path chosen = dialog->ChooseFile({{"Wave files", "*.WAV"}});
  poll.stop();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(chosen.empty());
  EXPECT_NE(shownFilter.indexOf("*.WAV"), -1) << shownFilter.toStdString();
}

}  // namespace
