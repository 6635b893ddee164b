#include "player/audio/wave_file_dialog_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace {

// "Wave files (*.WAV)" from {"Wave files", "*.WAV"}. On this system "*.*"
// would miss names without a dot, so it becomes "*".
QString qtFilter(const COrv_WaveFileDialog::Filter& filter) {
  QStringList patterns;
  for (const QString& p : QString::fromStdString(filter.patterns).split(';', Qt::SkipEmptyParts))
    patterns << (p.trimmed() == "*.*" ? QStringLiteral("*") : p.trimmed());
  return QString::fromStdString(filter.name) + " (" + patterns.join(' ') + ")";
}

}  // namespace

std::filesystem::path COrv_QtWaveFileDialog::ChooseFile(const std::vector<Filter>& filters) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
  QStringList names;
  for (const Filter& f : filters) names << qtFilter(f);
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // The same dialog on every desktop, and one that tests can drive.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(names);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  return std::filesystem::path(chosen.front().toStdString());
}

void COrv_QtWaveFileDialog::InstallForProgram() {
  static COrv_QtWaveFileDialog dialog;
  Install(&dialog);
}
