#pragma once
// COrv_PrefsDlg: the preferences in one dialog. A tree of groups and pages
// on the left, the selected page on the right. Every page reads its
// controls from the dialog's settings map (GetSetting) and reports each
// change at once (SetSetting with mark); OK and Apply write the changed
// settings to the store in ascending setting order and tell the main frame
// one at a time (PrefsHost). Cancel drops the changes.
//
// Pages are made when first selected and kept. The administration pages
// (11, 12, 13) stay closed while an administrator account exists; the data
// path pages (11, 12) while a Talvane is open. The data path is chosen in
// the data-path dialog that page 11 opens.

#include <QDialog>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "player/views/prefs_host.h"

class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class COrv_SkinFrame;
namespace tv::buttons {
class ButtonHost;
class COrv_ButtonEx;
}  // namespace tv::buttons

namespace orv::views {

class COrv_PrefsPage;
class DataPathChooser;

class COrv_PrefsDlg : public QDialog {
 public:
  // Setting numbers with a meaning of their own.
  enum : int {
    kInterfaceLanguage = 1,
    kHelpLanguage = 2,
    kJingleFile = 5,
    kDataPath = 33,
    kAltPaths = 34,
    kUser = 35,
    kUserName = 36,
    kLastSetting = 36
  };
  using Value = std::variant<std::uint32_t, std::string>;

  // `host` is not owned and outlives the dialog.
  COrv_PrefsDlg(QWidget* parent, PrefsHost* host);
  ~COrv_PrefsDlg() override;

  // Replaces the value of key n (1-36); with mark the key is saved on OK or
  // Apply (36 never is). False for any other key.
  bool SetSetting(int n, const Value& value, bool mark);
  // The value of key n, or null.
  const Value* GetSetting(int n) const;
  std::uint32_t GetValue(int n) const;
  std::string GetText(int n) const;

  // Selects the page (as a click on its tree item does); false when it is
  // locked or has no page.
  bool SelectPage(int page);
  COrv_PrefsPage* Page(int page) const;
  int PagesMade() const { return pagesMade_; }
  int CurrentPage() const { return current_; }
  // The two bitmap buttons, and the widgets that hold them.
  tv::buttons::COrv_ButtonEx* OkButton() const { return ok_.get(); }
  tv::buttons::COrv_ButtonEx* ApplyButton() const { return apply_.get(); }
  tv::buttons::ButtonHost* ButtonWidget(int id) const;
  QPushButton* CancelButton() const { return cancel_; }
  COrv_SkinFrame& Skin() const { return *m_skin; }
  std::vector<std::string> AltSources() const { return host_->AltSources(); }

  // Runs the data-path dialog (from page 11); the data path chosen there
  // becomes key 33. False when the learner cancelled.
  bool ChooseDataPath();
  // What the data-path dialog asks outside itself; not owned. Null (the
  // default) uses the program's file dialog and file manager.
  void SetDataPathChooser(DataPathChooser* chooser);

  void OnApply();
  void accept() override;

  // The buttons' ids, which are their commands.
  static constexpr int kOkId = 1, kApplyId = 1012;
  static constexpr int kOkFaces[5] = {384, 385, 386, 387, 388};
  static constexpr int kApplyFaces[5] = {394, 395, 396, 397, 398};

 protected:
  // The first page of the tree is selected when the dialog first shows.
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // Stores the alternative Talvane paths as typed; a folder that does not
  // exist is named in a warning (and still kept), a list that cannot be
  // stored is told.
  void storeAltSources(const std::vector<std::string>& folders);
  struct Entry {
    Value value;
    bool changed = false;
  };
  void load();
  void save();
  void retranslate();
  void buildTree();
  bool locked(int page);
  void onButton(int id);
  COrv_PrefsPage* makePage(int page);

  PrefsHost* host_;
  DataPathChooser* chooser_ = nullptr;
  std::unique_ptr<COrv_SkinFrame> m_skin;
  std::map<int, Entry> settings_;  // ordered: saved in ascending key order
  std::map<int, COrv_PrefsPage*> pages_;
  std::map<int, QTreeWidgetItem*> items_;
  bool adminLocked_ = false;
  bool talvaneOpen_ = false;
  int pagesMade_ = 0;
  int current_ = -1;
  QTreeWidget* tree_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  std::unique_ptr<tv::buttons::COrv_ButtonEx> ok_, apply_;
  tv::buttons::ButtonHost* okHost_ = nullptr;
  tv::buttons::ButtonHost* applyHost_ = nullptr;
  bool shown_ = false;
  QPushButton* cancel_ = nullptr;
};

}  // namespace orv::views
