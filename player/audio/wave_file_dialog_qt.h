#pragma once
// The program's wave file dialog: a modal QFileDialog over the active
// window, in open mode for an existing file.

#include "player/audio/wave_file_dialog.h"

class COrv_QtWaveFileDialog : public COrv_WaveFileDialog {
 public:
  // Empty when there is no QApplication or the learner cancels.
  std::filesystem::path ChooseFile(const std::vector<Filter>& filters) override;

  // Installs the process's one Qt dialog as the current wave file dialog
  // (the player does so at start-up).
  static void InstallForProgram();
};
