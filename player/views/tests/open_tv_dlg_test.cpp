// The catalogue: which books each filter setting lists, the source kind of
// the SourceType bits, and the dialog offscreen with the library's real
// list: fill order and details, the pictures drawn in the cells and on the
// buttons, Open, double click, Remove, text tips and filter rows ticked by
// key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QKeyEvent>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "listctl/core/lbx_instance.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/window.h"
#include "player/views/catalogue_filter.h"
#include "player/views/open_tv_dlg.h"
#include "shared/buttons/button_host.h"
#include "shared/buttons/orv_button.h"

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
  // The pixels of a cell as the list shows it: row `row`, from `left` for
  // `width` pixels of the row.
  static QImage cellPixels(pw::HWND list, int row, int left, int width) {
    settle();
    const QImage window = pw::windowImage(list);
    pw::RECT frame{};
    pw::GetWindowRect(list, &frame);
    pw::POINT origin{0, 0};
    pw::ClientToScreen(list, &origin);
    pw::RECT r{};
    if (send(list, lx::LB_GETITEMRECT, static_cast<pw::WPARAM>(row), reinterpret_cast<pw::LPARAM>(&r)) == -1)
      return {};
    return window.copy(static_cast<int>(origin.x - frame.left + r.left + left),
                       static_cast<int>(origin.y - frame.top + r.top), width, static_cast<int>(r.bottom - r.top));
  }
  // The bitmap a cell shows (null for none).
  static pw::HBITMAP cellPicture(pw::HWND list, int row, int column) {
    LC_SetListApplyTo(list, 12);
    LC_SetRow(list, row);
    LC_SetCol(list, static_cast<std::int16_t>(column));
    std::uint16_t type = 0, kind = 0;
    std::uint32_t value = 0, attribute = 0;
    if (LC_GetPicture(list, &type, &kind, &value, sizeof value, &attribute) != 0 || kind != 0) return nullptr;
    return reinterpret_cast<pw::HBITMAP>(static_cast<std::uintptr_t>(value));
  }
  // How many pixels of `image` are close to `colour`.
  static int pixelsNear(const QImage& image, const char* colour) {
    const QColor want(colour);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) + std::abs(c.blue() - want.blue()) < 40)
          ++n;
      }
    return n;
  }
  FakeCatalogue books_;
  plat::ui::RecordingSink boxes_{{}};
};

// The colours of the small pictures of the four resource lists and of the
// filter tick.
constexpr const char* kCategoryColour = "#3a6ea5";
constexpr const char* kDifficultyColour = "#b5651d";
constexpr const char* kLanguageColour = "#2e8b57";
constexpr const char* kSourceColour = "#6a5acd";
constexpr const char* kTickColour = "#1a7f1a";

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
  struct Case {
    const char* name;
    std::vector<CatalogueBook> books;
    int tickedLevelRow;  // -1: no filter
    std::vector<std::string> left;
  } cases[] = {
      {"the only book", {book("ONLY", 1, 1, 0)}, -1, {}},
      // A filter leaves one title; the other books are not listed.
      {"the only title the filter lists", {book("ONE", 1, 1, 0), book("TWO", 1, 2, 0)}, 1, {}},
  };
  for (const auto& c : cases) {
    books_.books = c.books;
    COrv_OpenTvDlg dlg(nullptr, &books_);
    dlg.show();
    settle();
    if (c.tickedLevelRow >= 0) {
      const pw::HWND levels = dlg.FilterList(F::kDifficulty);
      send(levels, lx::LB_SETCURSEL, static_cast<pw::WPARAM>(c.tickedLevelRow));
      send(levels, pw::WM_KEYDOWN, 32, 0);
    }
    ASSERT_EQ(dlg.ListedCodes().size(), 1u) << c.name;
    EXPECT_FALSE(dlg.DescriptionText().isEmpty()) << c.name;
    boxes_.setScript({plat::ui::IDYES});
    dlg.OnRemove();
    EXPECT_EQ(dlg.ListedCodes(), c.left) << c.name;
    EXPECT_EQ(dlg.DescriptionText(), "") << c.name;
    EXPECT_EQ(dlg.QuoteCountText(), "") << c.name;
  }
}

TEST_F(OpenDialog, RemoveAndOpenWithNoRowSelectedAskForATitle) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  // The caret stays on row 2 while no row is selected.
  send(dlg.TitleList(), lx::LB_SETCURSEL, 2);
  send(dlg.TitleList(), lx::LB_SETCURSEL, static_cast<pw::WPARAM>(-1));
  boxes_.setScript({plat::ui::IDYES, plat::ui::IDYES});
  dlg.OnRemove();
  dlg.OnOpen();
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  for (const auto& box : boxes_.boxes()) EXPECT_EQ(box.request.text, "Please select a Talvane title to open.");
  EXPECT_TRUE(books_.removed.empty());
  EXPECT_EQ(dlg.result(), 0);
}

TEST_F(OpenDialog, RemoveIsDisabledWhenTheAdministratorForbidsIt) {
  plat::ui::ScopedSink sink(boxes_);
  books_.removable = false;
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  tv::buttons::COrv_ButtonEx* remove = dlg.RemoveButton();
  EXPECT_FALSE(remove->IsEnabled());
  // The disabled face is shown, and neither the button, nor the command,
  // nor Delete on the title list removes anything.
  EXPECT_GT(pixelsNear(pw::windowImage(remove->GetSafeHwnd()), "#c8c8c8"), 40);
  boxes_.setScript({plat::ui::IDYES});
  dlg.ButtonWidget(COrv_OpenTvDlg::kRemoveCommand)->Click();
  dlg.OnRemove();
  lx::LbxKeyNotify del{46, 0};
  send(pw::GetParent(dlg.TitleList()), lx::kNotifyKeyDown, COrv_OpenTvDlg::kTitles, reinterpret_cast<pw::LPARAM>(&del));
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_TRUE(books_.removed.empty());
  EXPECT_EQ(dlg.ListedCodes().size(), 5u);
}

TEST_F(OpenDialog, ButtonsShowTheirFacesAndRunTheirCommands) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  struct Case {
    int command;
    int faces[5];  // up, down, hover up, hover down, disabled
    const char* tip;
  } cases[] = {
      {COrv_OpenTvDlg::kOpenCommand, {366, 365, 367, 378, 383}, "Open selected Talvane"},
      {COrv_OpenTvDlg::kRemoveCommand, {369, 368, 370, 381, 382}, "Remove selected Talvane"},
  };
  for (const auto& c : cases) {
    tv::buttons::ButtonHost* host = dlg.ButtonWidget(c.command);
    ASSERT_TRUE(host) << c.command;
    auto& b = static_cast<tv::buttons::COrv_ButtonEx&>(host->Button());
    for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(b.BitmapId(slot), c.faces[slot]) << c.command << " slot " << slot;
    EXPECT_EQ(b.ToolTipText(), c.tip);
    EXPECT_EQ(b.GetMode(), tv::buttons::COrv_ButtonEx::kDownWhileHeld);
    EXPECT_EQ(host->size(), QSize(20, 20));
    // The face is drawn: the button window holds the face's own colours,
    // not one flat fill.
    const QImage face = pw::windowImage(b.GetSafeHwnd());
    ASSERT_FALSE(face.isNull());
    EXPECT_GT(pixelsNear(face, "#e8d9a8"), 40) << "the up face";
    EXPECT_GT(pixelsNear(face, "#3a3020"), 10) << "its symbol";
  }
  // Remove on row 1 asks for that title; Open then takes row 3.
  send(dlg.TitleList(), lx::LB_SETCURSEL, 1);
  boxes_.setScript({plat::ui::IDNO});
  dlg.ButtonWidget(COrv_OpenTvDlg::kRemoveCommand)->Click();
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_NE(boxes_.last().request.text.find("'Title of B'"), std::string::npos);
  send(dlg.TitleList(), lx::LB_SETCURSEL, 3);
  dlg.ButtonWidget(COrv_OpenTvDlg::kOpenCommand)->Click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetBookCode(), "D");
}

TEST_F(OpenDialog, TitleCellsShowTheBooksPicturesAndNoneForValuesNoListHolds) {
  books_.books.push_back(book("X", 22, 9, 9999, 0));  // no list holds these values
  books_.books.push_back(book("Y", 21, 5, -1, 16));   // the last entries; language unset
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  const char* colours[4] = {kCategoryColour, kDifficultyColour, kLanguageColour, kSourceColour};
  struct Case {
    int row;
    bool shown[4];  // category, difficulty, language, source
  } cases[] = {
      {0, {true, true, true, true}},      // A: local source
      {1, {true, true, true, true}},      // B: language 32 shows language 0
      {3, {false, false, false, true}},   // D: category and difficulty 0, language unset, CD-ROM
      {4, {true, true, true, true}},      // E: remote
      {5, {false, false, false, false}},  // X: category 22, level 9, language 9999, source kind 4
      {6, {true, true, false, false}},    // Y: category 21, level 5, source kind 4
  };
  for (const auto& c : cases) {
    for (int col = 0; col < 4; ++col) {
      const QImage cell = cellPixels(dlg.TitleList(), c.row, col * 21, 21);
      ASSERT_FALSE(cell.isNull());
      const int n = pixelsNear(cell, colours[col]);
      if (c.shown[col]) EXPECT_GT(n, 60) << "row " << c.row << " column " << col;
      else EXPECT_EQ(n, 0) << "row " << c.row << " column " << col;
    }
  }
}

// How many pixels of `image` carry a colour (neither white, black nor a grey
// between them).
int colouredPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y).hsvSaturation() > 60 ? 1 : 0;
  return n;
}

// The selected title is drawn black on white, and a title ends where its
// 200-pixel column does (the four picture columns take 84 pixels).
TEST_F(OpenDialog, TheSelectedTitleIsBlackOnWhiteAndTitlesKeepToTheirColumn) {
  books_.books[0].title = std::string(80, 'W');
  books_.books[1].title = std::string(80, 'W');
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  ASSERT_EQ(send(dlg.TitleList(), lx::LB_GETCURSEL), 0);
  for (int row : {0, 1}) {
    SCOPED_TRACE(row);
    const QImage title = cellPixels(dlg.TitleList(), row, 84, COrv_OpenTvDlg::kTitleWidth);
    ASSERT_FALSE(title.isNull());
    EXPECT_EQ(colouredPixels(title), 0) << "no highlight colour";
    EXPECT_GT(pixelsNear(title, "#ffffff"), title.width() * title.height() / 2);
    EXPECT_GT(pixelsNear(title, "#000000"), 100) << "black text";
    // Past the column's end the row is empty.
    const QImage beyond = cellPixels(dlg.TitleList(), row, 84 + COrv_OpenTvDlg::kTitleWidth + 2, 20);
    ASSERT_FALSE(beyond.isNull());
    EXPECT_EQ(pixelsNear(beyond, "#000000"), 0);
  }
  const QImage shot = dlg.grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) shot.save(QString(dir) + "/open_tv_dlg.png");
}

TEST_F(OpenDialog, FilterRowsShowATickBoxAndTheEntrysPicture) {
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  const struct {
    int kind;
    const char* colour;
  } lists[] = {{F::kCategory, kCategoryColour}, {F::kDifficulty, kDifficultyColour}, {F::kLanguage, kLanguageColour}};
  for (const auto& l : lists) {
    const pw::HWND list = dlg.FilterList(l.kind);
    EXPECT_GT(pixelsNear(cellPixels(list, 0, 17, 21), l.colour), 60) << l.kind;
    EXPECT_GT(pixelsNear(cellPixels(list, 0, 0, 17), "#404040"), 20) << "a box: " << l.kind;
    EXPECT_EQ(pixelsNear(cellPixels(list, 0, 0, 17), kTickColour), 0) << "unticked: " << l.kind;
  }
  // Space ticks row 1 of the difficulty list: its box gets the tick, the
  // other rows keep theirs empty; Space again unticks it.
  const pw::HWND diff = dlg.FilterList(F::kDifficulty);
  send(diff, lx::LB_SETCURSEL, 1);
  send(diff, pw::WM_KEYDOWN, 32, 0);
  EXPECT_GT(pixelsNear(cellPixels(diff, 1, 0, 17), kTickColour), 10);
  EXPECT_EQ(pixelsNear(cellPixels(diff, 0, 0, 17), kTickColour), 0);
  EXPECT_EQ(pixelsNear(cellPixels(diff, 2, 0, 17), kTickColour), 0);
  send(diff, pw::WM_KEYDOWN, 32, 0);
  EXPECT_EQ(pixelsNear(cellPixels(diff, 1, 0, 17), kTickColour), 0);
  EXPECT_GT(pixelsNear(cellPixels(diff, 1, 0, 17), "#404040"), 20) << "the empty box is back";
}

TEST_F(OpenDialog, DeleteOnTheTitleListRemovesNothingAndReturnOpens) {
  plat::ui::ScopedSink sink(boxes_);
  COrv_OpenTvDlg dlg(nullptr, &books_);
  dlg.show();
  settle();
  send(dlg.TitleList(), lx::LB_SETCURSEL, 2);
  boxes_.setScript({plat::ui::IDYES});
  // Only the Remove button removes a book: Delete asks nothing.
  lx::LbxKeyNotify del{46, 0};
  send(pw::GetParent(dlg.TitleList()), lx::kNotifyKeyDown, COrv_OpenTvDlg::kTitles, reinterpret_cast<pw::LPARAM>(&del));
  EXPECT_TRUE(books_.removed.empty());
  EXPECT_TRUE(boxes_.boxes().empty());
  send(dlg.TitleList(), lx::LB_SETCURSEL, 1);
  QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &ret);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetBookCode(), "B");
}

TEST(CatalogueTips, TheTextIsCutToTheRecordAtACharacterBoundary) {
  const std::string e = "\xc3\xa9";  // one two-byte character
  struct Case {
    std::string tip;
    size_t length;
  } cases[] = {
      {"Category filter", 15},
      {std::string(lx::kTipTextSize - 1, 'a'), lx::kTipTextSize - 1},
      {std::string(5000, 'a'), lx::kTipTextSize - 1},
      {[&] { std::string s; for (int i = 0; i < 1023; ++i) s += e; return s; }(), lx::kTipTextSize - 2},
  };
  for (const auto& c : cases) {
    lx::LbxTipRequest req{};
    std::memset(req.text, 'z', sizeof req.text);
    COrv_OpenTvDlg::WriteTipText(&req, c.tip);
    EXPECT_EQ(req.result, 1);
    const size_t n = strnlen(req.text, sizeof req.text);
    EXPECT_EQ(n, c.length) << c.tip.size();
    EXPECT_EQ(std::string(req.text, n), c.tip.substr(0, n));
  }
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
      {1, 2, 1, "English"},  // language 32 is named as language 0
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
  EXPECT_EQ(cellPicture(cat, 0, 0), dlg.PictureOf(COrv_OpenTvDlg::kPictureTicked));
  EXPECT_EQ(cellPicture(cat, 1, 0), dlg.PictureOf(COrv_OpenTvDlg::kPictureUnticked));
  char row[80] = {};
  send(cat, lx::LB_GETTEXT, 0, reinterpret_cast<pw::LPARAM>(row));
  EXPECT_STREQ(row, "\t\tEconomics") << "the name stands in column 2";
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
  EXPECT_EQ(cellPicture(lang, 2, 0), dlg.PictureOf(COrv_OpenTvDlg::kPictureUnticked));
}

}  // namespace
