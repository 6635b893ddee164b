// The catalogue: which books each filter setting lists, the source kind of
// the SourceType bits, and the dialog offscreen with the library's real
// list: fill order and details, Open, double click, Remove, text tips and
// filter rows ticked by key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <cstring>
#include <string>
#include <vector>

#include "listctl/core/lbx_instance.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/win/window.h"
#include "player/views/catalogue_filter.h"
#include "player/views/open_tv_dlg.h"

using namespace orv::views;
namespace pw = plat::win;
namespace lx = lindra;

namespace {

using F = COrv_CatalogueFilter;

CatalogueBook book(std::string code, int category, int difficulty, int language, int sourceType = 1) {
  CatalogueBook b;
  b.code = code;
  b.title = "Title of " + code;
  b.description = "About " + code;
  b.category = category;
  b.difficulty = difficulty;
  b.language = language;
  b.sourceType = sourceType;
  b.quotes = static_cast<int>(code.size()) * 10;
  return b;
}

// Five books: A cat 1/diff 1/lang 0, B cat 2/diff 1/lang 32, C cat 1/diff 3/
// lang 2, D cat 0/diff 0/lang -1 on a medium, E cat 3/diff 5/lang 7 remote.
std::vector<CatalogueBook> shelf() {
  return {book("A", 1, 1, 0), book("B", 2, 1, 32), book("C", 1, 3, 2), book("D", 0, 0, -1, 8),
          book("E", 3, 5, 7, 2)};
}

std::vector<std::string> codesOf(const std::vector<CatalogueBook>& books, const std::vector<int>& idx) {
  std::vector<std::string> out;
  for (int i : idx) out.push_back(books[static_cast<size_t>(i)].code);
  return out;
}

TEST(CatalogueFilter, TicksNarrowTheListOrWithinAndAcrossFilters) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> ticks;  // kind, row
    std::vector<std::string> listed;
  } cases[] = {
      {"no ticks: all in index order", {}, {"A", "B", "C", "D", "E"}},
      {"category row 0 = category 1", {{F::kCategory, 0}}, {"A", "C"}},
      {"two rows of one filter: either", {{F::kCategory, 0}, {F::kCategory, 2}}, {"A", "C", "E"}},
      {"two filters: both", {{F::kCategory, 0}, {F::kDifficulty, 0}}, {"A"}},
      {"language row 0 lists 0 and 32", {{F::kLanguage, 0}}, {"A", "B"}},
      {"language row 7", {{F::kLanguage, 7}}, {"E"}},
      {"source row 3 = CD-ROM", {{F::kSource, 3}}, {"D"}},
      {"ticked twice is unticked", {{F::kCategory, 0}, {F::kCategory, 0}}, {"A", "B", "C", "D", "E"}},
      {"a row no book has", {{F::kDifficulty, 3}}, {}},
  };
  for (const auto& c : cases) {
    F f;
    for (auto [kind, row] : c.ticks) f.Toggle(kind, row);
    EXPECT_EQ(codesOf(shelf(), f.Apply(shelf())), c.listed) << c.name;
  }
}

TEST(CatalogueFilter, ClearUnticksOneFilterOnly) {
  F f;
  f.Toggle(F::kCategory, 0);
  f.Toggle(F::kCategory, 1);
  f.Toggle(F::kDifficulty, 0);
  f.Clear(F::kCategory);
  EXPECT_TRUE(f.IsEmpty(F::kCategory));
  EXPECT_EQ(codesOf(shelf(), f.Apply(shelf())), (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(f.Toggle(9, 0)) << "no such filter";
  EXPECT_FALSE(f.Toggle(F::kCategory, -1));
}

TEST(CatalogueFilter, SourceKindOfTheBits) {
  const std::pair<int, int> cases[] = {{4 | 8, 2}, {4, 2}, {8 | 1, 3}, {1, 0}, {1 | 2, 0}, {2, 1}, {0, 4}, {16, 4}};
  for (auto [bits, kind] : cases) EXPECT_EQ(F::SourceKind(bits), kind) << bits;
}

class FakeCatalogue : public CatalogueSource {
 public:
  std::vector<CatalogueBook> books = shelf();
  bool removable = true;
  bool removeWorks = true;
  std::vector<std::string> removed;
  std::vector<CatalogueBook> ReadBooks() override { return books; }
  bool RemoveBook(const std::string& code) override {
    removed.push_back(code);
    if (!removeWorks) return false;
    std::erase_if(books, [&](const CatalogueBook& b) { return b.code == code; });
    return true;
  }
  bool CanRemove() override { return removable; }
};

int g_module;

class OpenDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    pw::test::reset();
    ASSERT_EQ(lx::LibraryEntry(reinterpret_cast<pw::HINSTANCE>(&g_module), lx::DLL_PROCESS_ATTACH), 1);
  }
  void TearDown() override {
    lx::LibraryEntry(reinterpret_cast<pw::HINSTANCE>(&g_module), lx::DLL_PROCESS_DETACH);
    pw::test::reset();
  }
  static void settle() {
    QApplication::processEvents();
    pw::pumpMessages();
    QApplication::processEvents();
  }
  static pw::LRESULT send(pw::HWND h, pw::UINT m, pw::WPARAM w = 0, pw::LPARAM l = 0) {
    return pw::SendMessage(h, m, w, l);
  }
  // The text tip the dialog gives for a cell: the result flag and the text.
  static std::pair<int, std::string> tip(COrv_OpenTvDlg& dlg, pw::HWND list, int id, int row, int column) {
    lx::LbxTipRequest req{};
    req.result = 7;
    req.row = row;
    req.column = static_cast<std::int16_t>(column);
    std::strcpy(req.text, "cell");
    send(pw::GetParent(list), lx::kNotifyTipText, static_cast<pw::WPARAM>(id), reinterpret_cast<pw::LPARAM>(&req));
    (void)dlg;
    return {req.result, req.text};
  }
  FakeCatalogue books_;
  plat::ui::RecordingSink boxes_{{}};
};

TEST_F(OpenDialog, ListsEveryBookWithRowZeroSelectedAndItsDetails) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  EXPECT_EQ(dlg.ListedCodes(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  EXPECT_EQ(send(dlg.TitleList(), lx::LB_GETCURSEL), 0);
  EXPECT_EQ(dlg.DescriptionText(), "About A");
  EXPECT_EQ(dlg.QuoteCountText(), "10");
  char row[64] = {};
  send(dlg.TitleList(), lx::LB_GETTEXT, 2, reinterpret_cast<pw::LPARAM>(row));
  EXPECT_STREQ(row, "\t\t\t\tTitle of C") << "the title stands in column 4";
  EXPECT_EQ(send(dlg.FilterList(F::kCategory), lx::LB_GETCOUNT), 21);
  EXPECT_EQ(send(dlg.FilterList(F::kDifficulty), lx::LB_GETCOUNT), 5);
  EXPECT_EQ(send(dlg.FilterList(F::kLanguage), lx::LB_GETCOUNT), 8);

  // Moving the selection shows that book's details.
  send(dlg.TitleList(), lx::LB_SETCURSEL, 4);
  send(pw::GetParent(dlg.TitleList()), pw::WM_COMMAND, pw::MAKEWPARAM(COrv_OpenTvDlg::kTitles, lx::LBN_SELCHANGE),
       reinterpret_cast<pw::LPARAM>(dlg.TitleList()));
  EXPECT_EQ(dlg.DescriptionText(), "About E");
}

TEST_F(OpenDialog, OpenWithNothingSelectedAsksForATitle) {
  plat::ui::ScopedSink sink(boxes_);
  books_.books.clear();
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  EXPECT_TRUE(dlg.ListedCodes().empty());
  EXPECT_EQ(dlg.DescriptionText(), "");
  dlg.OnOpen();
  dlg.OnRemove();
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  for (const auto& box : boxes_.boxes()) EXPECT_EQ(box.request.text, "Please select a Talvane title to open.");
  EXPECT_EQ(dlg.result(), 0);
  EXPECT_TRUE(dlg.isVisible()) << "the dialog stays";
  EXPECT_TRUE(books_.removed.empty());
}

TEST_F(OpenDialog, DoubleClickOnATitleAnswersOkWithItsCode) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  pw::RECT r{};
  ASSERT_NE(send(dlg.TitleList(), lx::LB_GETITEMRECT, 2, reinterpret_cast<pw::LPARAM>(&r)), -1);
  const pw::LPARAM at = pw::MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  send(dlg.TitleList(), pw::WM_LBUTTONDOWN, pw::MK_LBUTTON, at);
  send(dlg.TitleList(), pw::WM_LBUTTONUP, 0, at);
  send(dlg.TitleList(), pw::WM_LBUTTONDBLCLK, pw::MK_LBUTTON, at);
  send(dlg.TitleList(), pw::WM_LBUTTONUP, 0, at);
  settle();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetBookCode(), "C");
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(OpenDialog, RemoveAsksThenRemovesTheSelectedBookAndRelists) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  send(dlg.TitleList(), lx::LB_SETCURSEL, 1);
  boxes_.setScript({plat::ui::IDNO, plat::ui::IDYES});
  dlg.OnRemove();
  EXPECT_TRUE(books_.removed.empty()) << "No keeps the book";
  dlg.OnRemove();
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  EXPECT_EQ(boxes_.last().request.text,
            "The Talvane\n\n'Title of B'\n\nis about to be removed. Please confirm your choice.");
  EXPECT_EQ(books_.removed, (std::vector<std::string>{"B"}));
  EXPECT_EQ(dlg.ListedCodes(), (std::vector<std::string>{"A", "C", "D", "E"}));
  EXPECT_EQ(dlg.DescriptionText(), "About A");

  // A removal that fails keeps the list and says so.
  books_.removeWorks = false;
  boxes_.setScript({plat::ui::IDYES});
  dlg.OnRemove();
  EXPECT_EQ(boxes_.last().request.text, "Problems encountered while removing Talvane.");
  EXPECT_EQ(dlg.ListedCodes().size(), 4u);
}

TEST_F(OpenDialog, RemovingTheLastListedTitleClearsItsDetails) {
  plat::ui::ScopedSink sink(boxes_);
  books_.books = {book("ONLY", 1, 1, 0)};
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  EXPECT_EQ(dlg.DescriptionText(), "About ONLY");
  boxes_.setScript({plat::ui::IDYES});
  dlg.OnRemove();
  EXPECT_TRUE(dlg.ListedCodes().empty());
  EXPECT_EQ(dlg.DescriptionText(), "");
  EXPECT_EQ(dlg.QuoteCountText(), "");
}

TEST_F(OpenDialog, RemoveIsDisabledWhenTheAdministratorForbidsIt) {
  books_.removable = false;
  COrv_OpenTvDlg dlg(nullptr, &books_);
  EXPECT_FALSE(dlg.RemoveButton()->isEnabled());
}

TEST_F(OpenDialog, TextTipsNameTheCellsValueOrNone) {
  books_.books.push_back(book("X", 22, 9, 9999, 0));  // values no list holds
  COrv_OpenTvDlg dlg(nullptr, &books_);
  const pw::HWND t = dlg.TitleList();
  const int id = COrv_OpenTvDlg::kTitles;
  struct Case {
    int row, column, result;
    std::string text;
  } cases[] = {
      {0, 4, 1, "List of Talvanes available"},
      {3, 0, 0, "cell"},   // category 0: no tip
      {3, 1, 0, "cell"},   // difficulty 0
      {3, 2, 0, "cell"},   // language unset
      {3, 3, 1, ""},       // CD-ROM: a name (checked below as not empty)
      {5, 0, 0, "cell"},   // category 22 is no entry
      {5, 2, 0, "cell"},   // language 9999
      {5, 3, 0, "cell"},   // source kind 4 names nothing
      {-1, 0, 7, "cell"},  // outside the rows: untouched
      {0, 5, 7, "cell"},   // no such column: untouched
  };
  for (const auto& c : cases) {
    const auto [result, text] = tip(dlg, t, id, c.row, c.column);
    EXPECT_EQ(result, c.result) << c.row << "/" << c.column;
    if (c.text.empty()) EXPECT_FALSE(text.empty()) << c.row << "/" << c.column;
    else EXPECT_EQ(text, c.text) << c.row << "/" << c.column;
  }
  const auto [r, text] = tip(dlg, dlg.FilterList(F::kLanguage), COrv_OpenTvDlg::kLanguageList, 3, 2);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(text, "Language filter");
}

TEST_F(OpenDialog, SpaceTicksFilterRowsAndShiftDeleteUnticksThemAll) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  const pw::HWND cat = dlg.FilterList(F::kCategory);
  send(cat, lx::LB_SETCURSEL, 0);
  send(cat, pw::WM_KEYDOWN, 32, 0);
  EXPECT_EQ(dlg.ListedCodes(), (std::vector<std::string>{"A", "C"}));
  char row[80] = {};
  send(cat, lx::LB_GETTEXT, 0, reinterpret_cast<pw::LPARAM>(row));
  EXPECT_EQ(std::string(row).substr(0, 3), "[x]");
  const pw::HWND lang = dlg.FilterList(F::kLanguage);
  send(lang, lx::LB_SETCURSEL, 2);
  send(lang, pw::WM_KEYDOWN, 32, 0);
  EXPECT_EQ(dlg.ListedCodes(), (std::vector<std::string>{"C"}));

  lx::LbxKeyNotify del{46, 1};
  send(pw::GetParent(cat), lx::kNotifyKeyDown, COrv_OpenTvDlg::kCategoryList, reinterpret_cast<pw::LPARAM>(&del));
  EXPECT_EQ(dlg.ListedCodes(), (std::vector<std::string>{"C"})) << "the language filter still holds";
  send(pw::GetParent(lang), lx::kNotifyKeyDown, COrv_OpenTvDlg::kLanguageList, reinterpret_cast<pw::LPARAM>(&del));
  EXPECT_EQ(dlg.ListedCodes(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  EXPECT_EQ(send(lang, lx::LB_GETCURSEL), 0);
}

}  // namespace
