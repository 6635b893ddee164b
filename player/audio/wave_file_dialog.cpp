#include "player/audio/wave_file_dialog.h"

namespace {
COrv_WaveFileDialog* installed = nullptr;
}  // namespace

COrv_WaveFileDialog* COrv_WaveFileDialog::Current() { return installed; }

COrv_WaveFileDialog* COrv_WaveFileDialog::Install(COrv_WaveFileDialog* dialog) {
  COrv_WaveFileDialog* previous = installed;
  installed = dialog;
  return previous;
}
