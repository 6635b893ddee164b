#include "player/audio/wave_file_dialog_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <functional>
#include <string>

#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "player/audio/wave_play.h"

namespace {

namespace fs = std::filesystem;

// Runs `act` on the file dialog once it is up (the dialog runs its own
// modal loop, so the test acts from a timer inside it).
void whenTheDialogIsUp(std::function<void(QFileDialog&)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer->stop();
    timer->deleteLater();
    act(*dialog);
  });
  timer->start();
}

// The dialog the player installs at start-up is the one a browsing load
// shows: wave files first, only existing files, and its choice is loaded.
TEST(QtWaveFileDialog, TheProgramsDialogChoosesTheFileABrowsingLoadPlays) {
  const fs::path file = tvtest::sandbox().tmp / "take one.wav";
  std::string bytes;
  ASSERT_FALSE(plat::riff::writeWav(plat::riff::WavFormat::pcm(11025, 16, 1), std::string(400, '\1'), bytes));
  tvtest::writeFile(file, bytes);
  COrv_QtWaveFileDialog::InstallForProgram();
  ASSERT_NE(dynamic_cast<COrv_QtWaveFileDialog*>(COrv_WaveFileDialog::Current()), nullptr);

  QStringList filters;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  whenTheDialogIsUp([&](QFileDialog& dialog) {
    filters = dialog.nameFilters();
    mode = dialog.fileMode();
    dialog.selectFile(QString::fromStdString(file.string()));
    QMetaObject::invokeMethod(&dialog, "accept", Qt::QueuedConnection);
  });
  COrv_WavePlay wave;
  ASSERT_TRUE(wave.LoadFile("", true));
  EXPECT_EQ(wave.GetPath(), file);
  EXPECT_EQ(wave.GetBlock().Bytes(), 400u);
  EXPECT_EQ(filters, (QStringList{"Wave files (*.WAV)", "All files (*)"}));
  EXPECT_EQ(mode, QFileDialog::ExistingFile);

  whenTheDialogIsUp([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(wave.LoadFile("", true));
  EXPECT_FALSE(wave.IsLoaded());
  COrv_WaveFileDialog::Install(nullptr);
}

}  // namespace
