#pragma once
// The file-open dialog through which a wave file is chosen when a load
// names none. The program installs the Qt dialog at start-up; tests install
// a fake. With none installed the choice counts as cancelled.

#include <filesystem>
#include <string>
#include <vector>

class COrv_WaveFileDialog {
 public:
  // One entry of the dialog's file-type list: its name and the name
  // patterns it shows, separated by ';' ("*.WAV").
  struct Filter {
    std::string name;
    std::string patterns;
    bool operator==(const Filter&) const = default;
  };

  virtual ~COrv_WaveFileDialog() = default;
  // Shows the dialog in open mode, offering only files that exist, and
  // answers the chosen file; an empty path when the learner cancels.
  virtual std::filesystem::path ChooseFile(const std::vector<Filter>& filters) = 0;

  // The dialog in use (not owned); null when none is installed.
  static COrv_WaveFileDialog* Current();
  // Installs `dialog` (null: none) and answers the one it replaces.
  static COrv_WaveFileDialog* Install(COrv_WaveFileDialog* dialog);
};
