#pragma once
// COrv_OpenTvDlg: the catalogue of installed Talvanes. Four Lindra lists
// embedded through host widgets: the titles (with category, difficulty,
// language and source columns) and three filter lists whose ticked rows
// narrow the titles (see COrv_CatalogueFilter). The selected title's
// description and number of Echomarks are shown below. Open (or a double
// click, or Return) ends the dialog with QDialog::Accepted and the chosen
// book code; Remove asks, removes the book and lists the rest.
//
// The title rows show the book's category, difficulty, language and source
// as small pictures of the interface language's resource lists; a filter
// row shows a tick box and its entry's picture. Open and Remove are bitmap
// buttons.
//
// Keyboard: Tab moves between the lists; Space ticks or unticks the current
// row of a filter list, Shift+Delete unticks them all; Return opens the
// selected title.

#include <QDialog>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/win_types.h"
#include "player/views/catalogue_filter.h"
#include "player/views/nw_controls.h"
#include "shared/language/orv_language.h"

class QLabel;
class QPlainTextEdit;
class COrv_SkinFrame;

namespace tv::buttons {
class ButtonHost;
class COrv_ButtonEx;
}  // namespace tv::buttons

namespace plat::win {
class HostWidget;
}

namespace orv::views {

// Where the catalogue's books come from and how one is removed.
class CatalogueSource {
 public:
  virtual ~CatalogueSource() = default;
  // The installed books in the installed-book index's order.
  virtual std::vector<CatalogueBook> ReadBooks() = 0;
  // Removes the installed book; false when that failed.
  virtual bool RemoveBook(const std::string& code) = 0;
  // Whether the administrator lets the learner remove books (enabling 1).
  virtual bool CanRemove() = 0;
};

// The installed-book information of the data path.
class InstalledCatalogue : public CatalogueSource {
 public:
  std::vector<CatalogueBook> ReadBooks() override;
  // Deletes the book's content file when it lies in the book's own folder
  // or the data path (a source on a medium or a share stays), then takes
  // the book out of the index with its information and status files, and
  // deletes its menu entry.
  bool RemoveBook(const std::string& code) override;
  bool CanRemove() override;
};

class COrv_OpenTvDlg : public QDialog {
 public:
  // Control ids of the lists (their notifications carry them).
  enum : int { kTitles = 1062, kCategoryList = 1078, kLanguageList = 1079, kDifficultyList = 1080 };
  enum : int { kPictureTicked = 391, kPictureUnticked = 392 };
  enum : int { kOpenCommand = 249, kRemoveCommand = 250 };
  // The width of the title column, in pixels.
  static constexpr int kTitleWidth = 200;

  // `source` is not owned; none: the installed books of the data path.
  explicit COrv_OpenTvDlg(QWidget* parent = nullptr, CatalogueSource* source = nullptr);
  ~COrv_OpenTvDlg() override;

  // The chosen book code after the dialog was accepted.
  const std::string& GetBookCode() const { return m_bookCode; }

  // Runs Open and Remove (the buttons call these).
  void OnOpen();
  void OnRemove();

  // The list windows, for tests and for the keyboard focus.
  plat::win::HWND TitleList() const { return titles_.GetSafeHwnd(); }
  plat::win::HWND FilterList(int kind) const;
  // The codes listed now, in list order.
  std::vector<std::string> ListedCodes() const;
  QString DescriptionText() const;
  QString QuoteCountText() const;
  tv::buttons::COrv_ButtonEx* OpenButton() const { return open_.get(); }
  tv::buttons::COrv_ButtonEx* RemoveButton() const { return remove_.get(); }
  tv::buttons::ButtonHost* ButtonWidget(int command) const;
  // Writes a text tip into the list's tip record (LbxTipRequest) and sets
  // its result flag.
  static void WriteTipText(void* record, std::string_view tip);
  // The picture (a bitmap of the window layer) shown for a resource id,
  // loaded once per dialog; null when the id has no picture.
  plat::win::HBITMAP PictureOf(int id);

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void buildLists();
  void setUpList(const CnwListBox& list, int frozen, const std::vector<std::pair<int, int>>& columns);
  void fillTitles();
  void fillFilterList(int kind);
  // Shows picture `id` in cell (row, column) of `list`; no picture for an
  // id that has none.
  void setCellPicture(const CnwListBox& list, int row, int column, int id);
  // The same for the cells of a row from `firstColumn` on.
  void setRowPictures(const CnwListBox& list, int row, int firstColumn, std::initializer_list<int> ids);
  void showDetails(int index);
  void toggleRow(int kind);
  void clearFilter(int kind);
  int selectedIndex() const;  // the item data of the first selected row, -1 for none
  void onButton(int command);
  QString text(int id) const;
  bool onHostMessage(unsigned msg, plat::win::WPARAM wParam, plat::win::LPARAM lParam, plat::win::LRESULT* result);
  void answerTip(int controlId, void* request);
  static int kindOfList(int controlId);

  CatalogueSource* source_;
  std::unique_ptr<CatalogueSource> ownSource_;
  std::unique_ptr<COrv_SkinFrame> m_skin;
  // The interface language, read once: it does not change while the
  // dialog is open.
  COrv_Language lang_;
  std::string m_bookCode;
  COrv_CatalogueFilter filter_;
  std::vector<CatalogueBook> books_;
  std::vector<int> filtered_;  // indices into books_ of the listed titles
  std::vector<plat::win::HostWidget*> hosts_;
  CnwListBox titles_;
  CnwListBox filters_[4];
  QPlainTextEdit* description_ = nullptr;
  QLabel* count_ = nullptr;
  std::unique_ptr<tv::buttons::COrv_ButtonEx> open_, remove_;
  tv::buttons::ButtonHost* openHost_ = nullptr;
  tv::buttons::ButtonHost* removeHost_ = nullptr;
  bool canRemove_ = false;
  std::map<int, plat::win::HBITMAP> pictures_;  // those shown, by resource id (not owned)
};

// Runs the catalogue modally over the installed books (the list controls
// are registered in this program at first use) and answers the chosen book
// code, or an empty string when the learner chose none.
std::string RunOpenTvDlg(QWidget* parent);

}  // namespace orv::views
