#pragma once
// COrv_DataPathDlg: the learner's data paths in one list, the standard one
// first and then the named ones of the settings file, with the buttons to
// make a new one, check one, remove one and open one's folder. OK takes
// the selected data path (checked first); the caller stores it.
//
// Every operation goes through COrv_Environment's data-path functions, so
// the list is the store's and a new data path has the structure the
// player needs. What the dialog asks outside itself (a folder, a name, a
// file manager) goes through a DataPathChooser, so tests run without a
// display; messages go through the application's message box.

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class COrv_SkinFrame;

namespace orv::views {

// The outside helpers of the data-path dialog.
class DataPathChooser {
 public:
  virtual ~DataPathChooser() = default;
  // A folder for a new data path (it need not exist yet); empty when the
  // learner cancelled.
  virtual std::string ChooseFolder(QWidget* parent, const std::string& caption, const std::string& start) = 0;
  // The name the new data path is recorded under; none when cancelled.
  virtual std::optional<std::string> AskName(QWidget* parent, const std::string& caption, const std::string& prompt,
                                             const std::string& suggested) = 0;
  // Shows the folder in the desktop's file manager; false when it cannot.
  virtual bool Browse(const std::string& folder) = 0;
};

// The program's: the Qt folder dialog, a text prompt and the desktop's
// handler of folders.
class QtDataPathChooser : public DataPathChooser {
 public:
  std::string ChooseFolder(QWidget* parent, const std::string& caption, const std::string& start) override;
  std::optional<std::string> AskName(QWidget* parent, const std::string& caption, const std::string& prompt,
                                     const std::string& suggested) override;
  bool Browse(const std::string& folder) override;
};

// What keeps a folder from serving as a data path.
struct DataPathCheck {
  enum class Problem { kNone, kMissing, kInUse };
  Problem problem = Problem::kNone;
  std::string missing;  // kMissing: the first missing folder or file
  bool ok() const { return problem == Problem::kNone; }
};
// Checks the folder, its structure (in the order the store checks it) and
// its in-use mark. The data path stored in the settings file carries this
// program's own mark and is not taken as in use.
DataPathCheck CheckDataPath(const std::string& folder);

class COrv_DataPathDlg : public QDialog {
 public:
  struct Row {
    std::string name;  // empty for the standard data path
    std::string folder;
  };

  // `current` is the data path the caller holds now (it is marked in the
  // list and cannot be removed); `chooser` is not owned.
  COrv_DataPathDlg(QWidget* parent, DataPathChooser* chooser, std::string current);
  ~COrv_DataPathDlg() override;

  const std::vector<Row>& Rows() const { return rows_; }
  int SelectedRow() const;
  void SelectRow(int row);
  QListWidget* List() const { return list_; }

  // The buttons' actions; they work on the selected row.
  void OnNew();
  bool OnVerify();
  void OnRemove();
  void OnBrowse();
  // OK: the selected data path, when it can be used. Its structure is made
  // when it lacks one; one in use by another player is refused.
  void accept() override;
  // The data path chosen with OK.
  const std::string& ChosenPath() const { return chosen_; }

 private:
  void reload(const std::string& select);
  void retranslate();
  // Shows why `folder` cannot be used; false then.
  bool reportCheck(const std::string& folder, bool sayWhenSound);
  bool isCurrent(const std::string& folder) const;

  DataPathChooser* chooser_;
  std::string current_;
  std::string chosen_;
  std::vector<Row> rows_;
  std::unique_ptr<COrv_SkinFrame> m_skin;
  QListWidget* list_ = nullptr;
  QPushButton* new_ = nullptr;
  QPushButton* verify_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace orv::views
