#pragma once
// COrv_PrefsPage: one page of the preferences, built from a list of
// controls, each bound to one setting of the dialog's map: a check box
// (0/1), a number in a range, the playing speed (-1, 0, 1), a sound file
// (kept only when the file exists and its name fits 260 characters), a
// language of the program, a folder (the data path) and the current user
// shown read-only.
//
// The data path is shown read-only beside a button that opens the
// data-path dialog, where it is chosen, made and checked.

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QPushButton;

namespace orv::views {

class COrv_PrefsDlg;

class COrv_PrefsPage : public QWidget {
 public:
  enum class Kind { kCheck, kNumber, kSpeed, kSoundFile, kLanguage, kDataPath, kShowText, kFolderList };
  struct Control {
    Kind kind;
    int key;
    int labelId;
    int min = 0;
    int max = 1;
  };

  COrv_PrefsPage(COrv_PrefsDlg* dlg, int number, std::vector<Control> controls);
  int Number() const { return number_; }
  // Re-reads the controls from the dialog's map (after a save changed it).
  void Refresh();
  void RetranslateUi();
  // The control bound to key n, for tests and shortcuts (for the data
  // path, the field that shows it).
  QWidget* ControlOf(int key) const;
  // The button that opens the data-path dialog, or null on other pages.
  QPushButton* DataPathButton() const { return dataPathButton_; }
  // The folder list as the learner left it: one folder a line, blank
  // lines dropped.
  std::vector<std::string> Folders() const;

 private:
  COrv_PrefsDlg* dlg_;
  int number_;
  std::vector<Control> controls_;
  std::vector<QWidget*> widgets_;
  std::vector<QWidget*> labels_;
  QPushButton* dataPathButton_ = nullptr;
};

// The controls of page `number` (5-13); empty for a number with no page.
std::vector<COrv_PrefsPage::Control> PrefsPageControls(int number);

}  // namespace orv::views
