// The item and cell store on an instance record without a window: page
// geometry, insertion and deletion with the selection following, texts and
// cells, the pool's ceiling, sorted insertion, re-sorting and searching.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <string>
#include <vector>

#include "listctl/core/instance.h"
#include "listctl/core/library.h"
#include "listctl/pool/pool_debug.h"
#include "listctl/store/store.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

std::vector<std::pair<HWND, WPARAM>> g_commands;
LRESULT recordProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND) g_commands.push_back({h, w});
  return DefWindowProc(h, m, w, l);
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lx::acquirePool());
    inst = lx::allocRecord();
    ASSERT_NE(inst, nullptr);
    inst->itemsPerPage = lx::kItemsPerPage;
    inst->curSel = inst->anchor = -1;
    inst->store.lastAdded = -1;
  }
  void TearDown() override {
    lx::lbxResetContent(inst);
    EXPECT_EQ(inst->store.pages, nullptr);
    for (auto*& a : inst->attrs) lx::PoolFree(a);
    lx::PoolFree(inst);
    lx::releasePool();
  }
  void add(std::initializer_list<const char*> texts) {
    for (const char* t : texts) ASSERT_GE(lx::lbxAddString(inst, t), 0);
  }
  void add(const std::vector<std::string>& texts) {
    for (const std::string& t : texts) ASSERT_GE(lx::lbxAddString(inst, t.c_str()), 0);
  }
  void addN(int n) {
    for (int i = 0; i < n; ++i) ASSERT_EQ(lx::lbxAddString(inst, std::to_string(i).c_str()), i);
  }
  std::string text(int i, int col = -1) {
    std::string s;
    EXPECT_TRUE(lx::lbxItemText(inst, i, col, &s)) << i;
    return s;
  }
  // Searches of the list's item texts, each with the index it must find.
  struct SearchCase {
    const char* text;
    int method, start;
    bool ignoreCase;
    int found;
  };
  void expectSearches(std::initializer_list<SearchCase> cases) {
    for (const SearchCase& c : cases) {
      SCOPED_TRACE(testing::Message() << c.text << " method " << c.method << " from " << c.start);
      EXPECT_EQ(lx::lbxSearch(inst, c.text, c.method, -1, c.start, c.ignoreCase), c.found);
    }
  }
  std::vector<std::string> all() {
    std::vector<std::string> v;
    for (int i = 0; i < inst->itemCount; ++i) v.push_back(text(i));
    return v;
  }
  static lx::PoolStats poolStats() {
    lx::PoolStats st;
    EXPECT_TRUE(lx::PoolGetStats(lx::libraryPool(), &st));
    return st;
  }
  std::size_t pageBytes(int k) { return static_cast<std::size_t>(lx::PoolSize(inst->store.pages[k])); }
  lx::LbxInstance* inst = nullptr;
};

TEST_F(StoreTest, RecordsKeepTheirFieldsAtPointerWidth) {
  EXPECT_EQ(sizeof(lx::LbxItem), 1 + 4 + 2 + sizeof(void*) + 2 + sizeof(void*) + 1);
  EXPECT_EQ(sizeof(lx::LbxCell), 1 + sizeof(void*) + 2);
}

TEST_F(StoreTest, PageGeometry) {
  const std::size_t rec = sizeof(lx::LbxItem);
  // 3555 records fill exactly one page, which is larger than 64 KB.
  ASSERT_TRUE(lx::lbxAppendEmpty(inst, 3555));
  EXPECT_EQ(inst->store.pageCount, 1);
  EXPECT_EQ(inst->store.capacity, 3555);
  EXPECT_GE(pageBytes(0), 3555 * rec);
  EXPECT_EQ(lx::PoolBlockPageType(inst->store.pages[0]), lx::kPageLarge);
  // Item 3555 opens a second page.
  ASSERT_EQ(lx::lbxAddString(inst, "x"), 3555);
  EXPECT_EQ(inst->store.pageCount, 2);
  EXPECT_EQ(lx::lbxItem(inst, 3555), &inst->store.pages[1][0]);
  EXPECT_EQ(lx::lbxItem(inst, 3556), nullptr);
  EXPECT_EQ(lx::lbxItem(inst, -1), nullptr);
  lx::lbxResetContent(inst);

  // A capacity of 3600 leaves 45 records in page 2.
  ASSERT_TRUE(lx::lbxAppendEmpty(inst, 3600));
  EXPECT_EQ(inst->store.pageCount, 2);
  EXPECT_GE(pageBytes(1), 45 * rec);
  EXPECT_LT(pageBytes(1), 46 * rec);
  EXPECT_EQ(int{lx::lbxItem(inst, 3599)->rowHeight}, -1);  // a packed field: read by value
}

// A reset that keeps room for a refill keeps the record pages that hold
// it, cleared: the refilled items are the fresh items an empty list would
// get, the blocks freed with the old items are back in the pool, and the
// pages past the room go.
TEST_F(StoreTest, ResetKeepingRoomRefillsWithFreshItems) {
  const struct {
    int before, keep, after, keptPages;
  } kCases[] = {
      {8000, 8000, 8000, 3},  // every page kept and reused
      {8000, 4000, 4000, 2},  // the third page goes
      {8000, 3555, 3600, 1},  // exactly one page's room; the refill grows a second
      {3000, 9000, 9000, 1},  // more room asked than the pages hold
      {8000, 0, 10, 0},       // nothing kept: a plain reset
  };
  const std::size_t baseBlocks = poolStats().blocksInUse;
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.before << " " << c.keep << " " << c.after);
    std::vector<std::string> texts;
    for (int i = 0; i < c.before; ++i) texts.push_back("row " + std::to_string(i) + (i % 2 ? "\tcell" : ""));
    add(texts);
    for (int i = 0; i < c.before; i += 7) {
      lx::lbxSetItemData(inst, i, 0xABCD);
      lx::lbxSetRowHeight(inst, i, 40);
      lx::lbxItem(inst, i)->extra = 9;
    }
    std::vector<lx::LbxItem*> pages(inst->store.pages, inst->store.pages + inst->store.pageCount);
    lx::lbxResetContent(inst, c.keep);
    EXPECT_EQ(inst->itemCount, 0);
    ASSERT_EQ(inst->store.pageCount, c.keptPages);
    for (int k = 0; k < c.keptPages; ++k) EXPECT_EQ(inst->store.pages[k], pages[static_cast<size_t>(k)]) << k;
    // No record past the count names a freed text.
    const lx::LbxItem zero{};
    for (int i = 0; i < inst->store.capacity; ++i)
      ASSERT_EQ(std::memcmp(&inst->store.pages[i / lx::kItemsPerPage][i % lx::kItemsPerPage], &zero, sizeof zero), 0) << i;
    // The kept pages and their table are all the pool still holds.
    EXPECT_EQ(poolStats().blocksInUse, baseBlocks + static_cast<std::size_t>(c.keptPages + (c.keptPages > 0)));

    ASSERT_TRUE(lx::lbxAppendEmpty(inst, c.after));
    for (int i = 0; i < c.after; ++i) {
      const lx::LbxItem* r = lx::lbxItem(inst, i);
      ASSERT_NE(r, nullptr);
      const lx::LbxItem fresh{0, -1, 0, 0, 0, 0, 0};
      ASSERT_EQ(std::memcmp(r, &fresh, sizeof fresh), 0) << i;
    }
    lx::lbxResetContent(inst);
    EXPECT_EQ(inst->store.pages, nullptr);
    EXPECT_EQ(poolStats().blocksInUse, baseBlocks);
  }
}

TEST_F(StoreTest, DeletingShrinksThePages) {
  ASSERT_TRUE(lx::lbxAppendEmpty(inst, 4000));
  lx::lbxRemoveRecords(inst, 1, 3999);
  EXPECT_EQ(inst->itemCount, 1);
  EXPECT_EQ(inst->store.capacity, 100);
  EXPECT_EQ(inst->store.pageCount, 1);
  lx::lbxRemoveRecords(inst, 0, 1);
  EXPECT_EQ(inst->store.capacity, 0);
  EXPECT_EQ(inst->store.pageCount, 0);
  EXPECT_EQ(inst->store.pages, nullptr);
  // The same through the list-box operation.
  addN(250);
  while (inst->itemCount > 0) ASSERT_EQ(lx::lbxDeleteString(inst, 0), inst->itemCount);
  EXPECT_EQ(inst->store.pages, nullptr);
  EXPECT_EQ(lx::lbxDeleteString(inst, 0), lx::LB_ERR);
}

TEST_F(StoreTest, MoveItemDownAcrossAPageBoundary) {
  addN(3560);
  lx::lbxMoveItemDown(inst, 3557, 3553);
  EXPECT_EQ(text(3553), "3557");
  EXPECT_EQ(text(3554), "3553");
  EXPECT_EQ(text(3555), "3554");  // the last record of page 1 went to slot 0 of page 2
  EXPECT_EQ(text(3556), "3555");
  EXPECT_EQ(text(3557), "3556");
  EXPECT_EQ(text(3558), "3558");
  // Inserting at 0 of a two-page list shifts every record across the boundary.
  ASSERT_EQ(lx::lbxInsertString(inst, 0, "first"), 0);
  EXPECT_EQ(text(3555), "3553");
  EXPECT_EQ(text(3556), "3554");
}

TEST_F(StoreTest, InsertAndDeleteKeepSelectionAndAnchorOnTheirItems) {
  struct Case {
    const char* name;
    int index;
    LRESULT result;
    std::vector<std::string> after;
    int sel, anchor;  // selection on "c", anchor on "b" before
  } cases[] = {
      {"at 0", 0, 0, {"n", "a", "b", "c", "d"}, 3, 2},
      {"middle", 2, 2, {"a", "b", "n", "c", "d"}, 3, 1},
      {"at count", 4, 4, {"a", "b", "c", "d", "n"}, 2, 1},
      {"count + 1", 5, lx::LB_ERR, {"a", "b", "c", "d"}, 2, 1},
      {"below -1", -2, lx::LB_ERR, {"a", "b", "c", "d"}, 2, 1},
      {"-1 appends", -1, 4, {"a", "b", "c", "d", "n"}, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lx::lbxResetContent(inst);
    add({"a", "b", "c", "d"});
    inst->curSel = 2;
    inst->anchor = 1;
    EXPECT_EQ(lx::lbxInsertString(inst, c.index, "n"), c.result);
    EXPECT_EQ(all(), c.after);
    EXPECT_EQ(inst->curSel, c.sel);
    EXPECT_EQ(inst->anchor, c.anchor);
  }

  struct Del {
    const char* name;
    int index;
    std::uint32_t style;
    int sel, anchor;  // selection on "c" (2), anchor on "b" (1) before
  } dels[] = {
      {"below both", 0, 0, 1, 0},
      {"the anchor", 1, 0, 1, -1},
      {"the selection, single", 2, 0, -1, 1},
      {"the caret, multiple", 2, lx::LBS_MULTIPLESEL, 2, 1},
      {"above both", 3, 0, 2, 1},
  };
  for (const Del& d : dels) {
    SCOPED_TRACE(d.name);
    lx::lbxResetContent(inst);
    inst->style = d.style;
    add({"a", "b", "c", "d"});
    inst->curSel = 2;
    inst->anchor = 1;
    lx::lbxSetSelected(inst, 2, true);
    EXPECT_EQ(lx::lbxDeleteString(inst, d.index), 3);
    EXPECT_EQ(inst->curSel, d.sel);
    EXPECT_EQ(inst->anchor, d.anchor);
    if (d.index != 2) {
      EXPECT_TRUE(lx::lbxIsSelected(inst, d.index < 2 ? 1 : 2));
    }
  }
  inst->style = 0;
}

// Texts are stored with their length: every way in and out keeps it, for
// the empty text, the short, the long (a large pool block) and the accented.
TEST_F(StoreTest, TextsKeepTheirLengthThroughEveryChange) {
  const std::string longText(5000, 'x');
  const std::vector<std::string> texts = {"", "a", "Ærøskøbing ωμέγα", longText};
  for (const std::string& t : texts) {
    SCOPED_TRACE(t.size());
    lx::lbxResetContent(inst);
    lx::lbxSetColumns(inst, 0, nullptr);
    add({"first", t.c_str()});
    EXPECT_EQ(text(1), t);
    // Replaced by a longer and by a shorter text.
    ASSERT_EQ(lx::lbxSetItemText(inst, 1, (t + "+" + t).c_str(), false), 1);
    EXPECT_EQ(text(1), t + "+" + t);
    ASSERT_EQ(lx::lbxSetCellText(inst, 1, 0, t.c_str()), 1);
    EXPECT_EQ(text(1), t);
    EXPECT_EQ(lx::lbxFindString(inst, 0, t.c_str(), true), 1);
    // Moved into cell 0 when the list gets columns, beside a copied cell and a caller's one.
    lx::lbxSetColumns(inst, 3, nullptr);
    ASSERT_EQ(lx::lbxSetCellText(inst, 1, 1, "copy"), 1);
    ASSERT_EQ(lx::lbxSetCellText(inst, 1, 2, texts[2].c_str(), true), 1);
    EXPECT_EQ(text(1), t + "\tcopy\t" + texts[2]);
    EXPECT_EQ(text(1, 0), t);
    // Sorting and searching read the same lengths.
    const lx::LbxSortKey byCell2{2, 2, 1};
    lx::lbxSetSortKeys(inst, &byCell2, 1);
    ASSERT_TRUE(lx::lbxResort(inst));
    EXPECT_EQ(text(0, 0), t);
    lx::lbxSetSortKeys(inst, nullptr, 0);
    EXPECT_EQ(lx::lbxSearch(inst, texts[2].c_str(), 0, 2, -1, false), 0);
  }
  std::string fault;
  EXPECT_TRUE(lx::PoolCheck(lx::libraryPool(), &fault)) << fault;

  // Reading every item of a list whose last page is cut to its items: the
  // read-ahead stays inside the page and the list.
  lx::lbxResetContent(inst);
  lx::lbxSetColumns(inst, 0, nullptr);
  ASSERT_TRUE(lx::lbxAppendEmpty(inst, 3600));
  for (int i = 3540; i < 3600; ++i) ASSERT_EQ(lx::lbxSetItemText(inst, i, std::to_string(i).c_str(), false), i);
  for (int i = 0; i < 3600; ++i) EXPECT_EQ(text(i), i < 3540 ? "" : std::to_string(i));
}

TEST_F(StoreTest, SeparatorSplitting) {
  const std::uint16_t dataIndex[] = {2, 0, 1};  // display position -> data index
  lx::lbxSetColumns(inst, 3, dataIndex);
  struct Case {
    const char* text;
    std::vector<std::string> cells;
  } cases[] = {
      {"a\tb\tc\td\te", {"a", "b", "c"}},  // more pieces than columns: the rest is dropped
      {"a\tb", {"a", "b", ""}},            // fewer: the last cells stay empty
      {"abc", {"abc", "", ""}},            // none
      {"", {"", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const int i = static_cast<int>(lx::lbxAddString(inst, c.text));
    ASSERT_GE(i, 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(text(i, k), c.cells[k]);
    EXPECT_EQ(text(i), c.cells[0] + "\t" + c.cells[1] + "\t" + c.cells[2]);
    EXPECT_FALSE(lx::lbxItemText(inst, i, 3, nullptr));
  }
  // Cells lie at the data index of their column.
  const auto* cells = reinterpret_cast<const lx::LbxCell*>(lx::lbxItem(inst, 0)->content);
  EXPECT_STREQ(cells[2].text, "a");
  EXPECT_STREQ(cells[0].text, "b");
  // Another separator character.
  inst->store.separator = ';';
  ASSERT_EQ(lx::lbxAddString(inst, "x;y"), 4);
  EXPECT_EQ(text(4, 1), "y");
}

TEST_F(StoreTest, CellTexts) {
  lx::lbxSetColumns(inst, 2, nullptr);
  add({"one\ttwo"});
  const char* before = lx::lbxCellTextPtr(inst, 0, 1);
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 1, "two"), 0);  // same text keeps its block
  EXPECT_EQ(lx::lbxCellTextPtr(inst, 0, 1), before);
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 1, "Two"), 1);  // compared with case
  EXPECT_EQ(text(0, 1), "Two");
  // A missing item or column is reported, not taken as stored.
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 2, "x"), -1);
  EXPECT_EQ(lx::lbxSetCellText(inst, 1, 0, "x"), -1);
  // Caller-owned text is kept by pointer and never freed by the list.
  static char owned[] = "mine";
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 0, owned, true), 1);
  EXPECT_EQ(lx::lbxCellTextPtr(inst, 0, 0), owned);
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 0, "again"), 1);
  EXPECT_STREQ(owned, "mine");
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 0, owned, true), 1);
  // The caller's text reads back as it stands, in the cell and in the item text.
  EXPECT_EQ(text(0, 0), "mine");
  EXPECT_EQ(text(0), "mine\tTwo");
  lx::lbxDeleteString(inst, 0);  // freeing the item leaves the caller's text alone
  EXPECT_STREQ(owned, "mine");
  std::string fault;
  EXPECT_TRUE(lx::PoolCheck(lx::libraryPool(), &fault)) << fault;

  // A plain-text item becomes cell 0 when a cell is set.
  lx::lbxSetColumns(inst, 0, nullptr);
  add({"plain"});
  lx::lbxSetColumns(inst, 2, nullptr);
  EXPECT_EQ(lx::lbxSetCellText(inst, 0, 1, "second"), 1);
  EXPECT_EQ(text(0), "plain\tsecond");
}

TEST_F(StoreTest, PoolCeilingGivesErrSpaceToTheNotifyTarget) {
  WNDCLASS wc;
  wc.lpfnWndProc = recordProc;
  wc.lpszClassName = "StoreTestTarget";
  RegisterClass(&wc);
  HWND parent = CreateWindow("StoreTestTarget", "p", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND target = CreateWindow("StoreTestTarget", "t", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(parent && target);
  inst->parent = parent;
  inst->notifyTarget = target;
  inst->style = lx::LBS_NOTIFY;
  inst->controlId = 7;
  g_commands.clear();

  lx::PoolStats st;
  ASSERT_TRUE(lx::PoolGetStats(lx::libraryPool(), &st));
  ASSERT_NE(lx::PoolSetCeiling(lx::libraryPool(), st.bytesInUse + 256 * 1024), lx::kPoolFailed);
  LRESULT r = 0;
  int before = 0;
  for (int i = 0; i < 200000 && r >= 0; ++i) {
    before = inst->itemCount;
    r = lx::lbxAddString(inst, "a title that takes some room");
  }
  EXPECT_EQ(r, lx::LB_ERRSPACE);
  EXPECT_EQ(inst->itemCount, before);
  ASSERT_FALSE(g_commands.empty());
  // Only the notify target hears of it, never the parent.
  for (const auto& [to, w] : g_commands) {
    EXPECT_EQ(to, target);
    EXPECT_EQ(w, MAKEWPARAM(7, -2));
  }
  // Inserting at an index fails the same way.
  EXPECT_EQ(lx::lbxInsertString(inst, 0, "a title that takes some room"), lx::LB_ERRSPACE);
  EXPECT_EQ(inst->itemCount, before);
  std::string fault;
  EXPECT_TRUE(lx::PoolCheck(lx::libraryPool(), &fault)) << fault;
  lx::lbxResetContent(inst);
  lx::PoolSetCeiling(lx::libraryPool(), lx::kPoolNoCeiling);
  DestroyWindow(parent);
  DestroyWindow(target);
  UnregisterClass("StoreTestTarget", nullptr);
}

TEST_F(StoreTest, SortedInsertsOverAccentedTitles) {
  inst->style = lx::LBS_SORT;
  add({"Zauberberg", "émile", "Ärger", "apfel", "Été", "Ökologie", "Ωmega", "ωmega2", "eins", "Straße"});
  // Dictionary order: accented letters beside their base letters, Greek after Latin.
  EXPECT_EQ(all(), (std::vector<std::string>{"apfel", "Ärger", "eins", "émile", "Été", "Ökologie", "Straße",
                                             "Zauberberg", "Ωmega", "ωmega2"}));
  // Equal but for case: a new item goes after those already there.
  ASSERT_EQ(lx::lbxAddString(inst, "ÉMILE"), 4);
  // Searches ignore case by folding, in any script.
  EXPECT_EQ(lx::lbxFindString(inst, -1, "ÉT", false), 5);
  EXPECT_EQ(lx::lbxFindString(inst, -1, "été", true), 5);
  EXPECT_EQ(lx::lbxFindString(inst, -1, "ét", true), lx::LB_ERR);
  EXPECT_EQ(lx::lbxFindString(inst, -1, "ΩMEGA", true), 9);
  EXPECT_EQ(lx::lbxFindString(inst, -1, "ärg", false), 1);
  // From a start: the items after it, then round from the top.
  EXPECT_EQ(lx::lbxFindString(inst, 3, "émile", true), 4);
  EXPECT_EQ(lx::lbxFindString(inst, 4, "émile", true), 3);
  EXPECT_EQ(lx::lbxFindString(inst, 99, "apfel", true), 0);  // out of range: whole list
  EXPECT_EQ(lx::lbxFindString(inst, -1, "", false), 0);
  EXPECT_EQ(lx::lbxSelectString(inst, 2, "e"), 2);  // "é" is no "e": round to "eins"
  EXPECT_EQ(lx::lbxSelectString(inst, 2, "É"), 3);
  EXPECT_EQ(inst->curSel, 3);
  EXPECT_TRUE(lx::lbxIsSelected(inst, 3));
  EXPECT_EQ(lx::lbxSelectString(inst, -1, "q"), lx::LB_ERR);
  // Inserting at an index does not sort.
  EXPECT_EQ(lx::lbxInsertString(inst, 0, "zzz"), 0);
  EXPECT_EQ(inst->curSel, 4);
}

TEST_F(StoreTest, CollationOrdersTitlesInBothDirections) {
  const std::vector<std::string> ascending = {"Ålesund", "avignon", "Ávila", "Cádiz", "Česká", "Ceuta", "École",
                                              "Lille", "Łódź", "Lyon", "Zug", "Zürich"};
  std::vector<std::string> shuffled = ascending;
  std::rotate(shuffled.begin(), shuffled.begin() + 5, shuffled.end());
  std::swap(shuffled[0], shuffled[7]);
  struct Case {
    int order;  // Sorted
    bool resort;  // set after the items (a re-sort) or before (sorted insertion)
  } cases[] = {{1, false}, {1, true}, {2, false}, {2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "order " << c.order << (c.resort ? " re-sorted" : " inserted"));
    lx::lbxResetContent(inst);
    inst->style = 0;
    lx::lbxSetSorted(inst, 0);
    if (!c.resort) lx::lbxSetSorted(inst, c.order);
    add(shuffled);
    if (c.resort) lx::lbxSetSorted(inst, c.order);
    std::vector<std::string> want = ascending;
    if (c.order == 2) std::reverse(want.begin(), want.end());
    EXPECT_EQ(all(), want);
  }
}

TEST_F(StoreTest, ReSortsAsStoreOperations) {
  lx::lbxSetColumns(inst, 2, nullptr);
  add({"b\t10", "a\t9", "c\t100", "B\t1,000", "d\tx"});
  inst->curSel = 0;  // "b"
  lx::lbxSetSelected(inst, 0, true);
  struct Case {
    const char* name;
    lx::LbxSortKey key;
    std::vector<std::string> firstColumn;
  } cases[] = {
      {"text no case", {0, 1, 0}, {"a", "b", "B", "c", "d"}},
      {"text case", {0, 1, 1}, {"a", "b", "B", "c", "d"}},  // lower case first on a tie
      {"text descending", {0, 2, 0}, {"d", "c", "b", "B", "a"}},  // equal keys keep their order
      {"integer", {1, 1, 2}, {"d", "a", "b", "c", "B"}},  // "x" reads as no number: first
      {"float descending", {1, 2, 3}, {"B", "c", "b", "a", "d"}},
  };
  inst->thousandSep = U',';
  inst->decimalSep = U'.';
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lx::lbxSetSortKeys(inst, &c.key, 1);
    ASSERT_TRUE(lx::lbxResort(inst));
    std::vector<std::string> got;
    for (int i = 0; i < inst->itemCount; ++i) got.push_back(text(i, 0));
    EXPECT_EQ(got, c.firstColumn);
    // The selection follows its item.
    EXPECT_EQ(text(inst->curSel), "b\t10");
    EXPECT_TRUE(lx::lbxIsSelected(inst, inst->curSel));
  }
  // Suspended sorting keeps new items at the end.
  inst->store.sortState = 2;
  EXPECT_EQ(lx::lbxAddString(inst, "0\t0"), 5);
  inst->store.sortState = 0;
  ASSERT_TRUE(lx::lbxResort(inst));
  EXPECT_EQ(text(4), "0\t0");
  // Equal keys: the new item goes after the one already there, before "x".
  EXPECT_EQ(lx::lbxAddString(inst, "1\t0"), 5);
}

TEST_F(StoreTest, DatesAndTheSearchAction) {
  const lx::LbxSortKey date{-1, 1, 4};
  lx::lbxSetSortKeys(inst, &date, 1);
  add({"2024-03-01", "01.02.2024", "12/31/2023", "2024-01-15"});
  EXPECT_EQ(all(), (std::vector<std::string>{"12/31/2023", "2024-01-15", "01.02.2024", "2024-03-01"}));
  lx::lbxSetSortKeys(inst, nullptr, 0);
  expectSearches({
      {"2024-01-15", 0, -1, true, 1},
      {"2024-01", 0, -1, true, -1},
      {"2024-01", 2, -1, true, 1},
      {"2", 1, 1, true, 3},  // first item from the start that is not below the text
      {"1", 1, -1, true, 0},
  });
}

// The three search methods over accented titles in a sorted list: greater
// or equal follows the list's own (collation) order, so its answer is where
// the text would be sorted in; exact and prefix matching fold case only.
TEST_F(StoreTest, SearchMethodsOverAccentedTitlesFollowTheSortOrder) {
  inst->style = lx::LBS_SORT;
  add({"Zürich", "Oslo", "élan", "Apfel", "Ölkanne", "Zug", "Ärger", "Évora", "Ober"});
  ASSERT_EQ(all(), (std::vector<std::string>{"Apfel", "Ärger", "élan", "Évora", "Ober", "Ölkanne", "Oslo", "Zug",
                                             "Zürich"}));
  expectSearches({
      {"p", 1, -1, true, 7},       // not "Ärger", whose code points lie above "p"
      {"b", 1, -1, true, 2},       // "élan": accents sort beside their base letters
      {"Ö", 1, -1, true, 4},       // "Ober": an accent counts only after the letters
      {"ob", 1, -1, false, 4},     // with case too
      {"zz", 1, -1, true, -1},     // nothing at or above
      {"p", 1, 7, true, 8},        // from a start: the next item at or above
      {"p", 1, 8, true, 7},        // round from the top
      {"ärger", 0, -1, true, 1},   // exact: case folded ...
      {"arger", 0, -1, true, -1},  // ... accents kept
      {"ÉVORA", 0, -1, true, 3},
      {"É", 2, -1, true, 2},       // prefix
      {"öl", 2, -1, true, 5},
      {"o", 2, 4, true, 6},        // "Ölkanne" does not begin with "o"
  });
}

}  // namespace
