#pragma once
// COrv_AboutDlg: the About box with the program's name and its version line
// (control 1032), empty when the build carries no version.

#include <QDialog>
#include <string>

class QLabel;

namespace orv::shell {

class COrv_AboutDlg : public QDialog {
 public:
  static constexpr int kVersionControl = 1032;
  // `version`: the build's version line (ProgramVersionLine()).
  explicit COrv_AboutDlg(const std::string& version, QWidget* parent = nullptr);
  QLabel* versionLabel() const { return m_version; }

 private:
  QLabel* m_version;
};

}  // namespace orv::shell
