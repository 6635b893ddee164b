// The property dispatchers of a real list window, driven through the
// exported functions and through the raw messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/pool/pool_debug.h"
#include "listctl/props/exports.h"
#include "platform/testing/test_env.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

int anchor;
HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&anchor); }

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
    h_ = make(0);
    ASSERT_NE(h_, nullptr);
  }
  void TearDown() override {
    for (HWND w : made_)
      if (IsWindow(w)) DestroyWindow(w);
    EXPECT_EQ(lx::liveInstances(), 0);
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    test::reset();
  }
  HWND make(DWORD style) {
    HWND w = CreateWindow(lx::kListClass, "", WS_VISIBLE | style, 0, 0, 120, 90, nullptr, nullptr, nullptr, nullptr);
    if (w) made_.push_back(w);
    return w;
  }
  HWND h_ = nullptr;
  std::vector<HWND> made_;
};

}  // namespace

#define LINDRA_TEST_LOOKUP(kind, family, id, Name, type, dr) \
  if (name == #family #kind #Name) return reinterpret_cast<void*>(&family##kind##Name);
#define LINDRA_TEST_ROW(id, Name, type, def, en, ex) \
  LINDRA_FOR_EXPORT_ROW(LINDRA_TEST_LOOKUP, id, Name, type, def, en, ex)
static void* lookup(const std::string& name) {
  LINDRA_PROPERTIES(LINDRA_TEST_ROW)
  LINDRA_WINDOW_PROPERTIES(LINDRA_TEST_ROW)
  return nullptr;
}

// The list-control stems that have both a get and a set export.
#define LINDRA_TEST_NAME(kind, family, id, Name, type, dr) names.insert(#family #kind #Name);
#define LINDRA_TEST_NAME_ROW(id, Name, type, def, en, ex) \
  LINDRA_FOR_EXPORT_ROW(LINDRA_TEST_NAME, id, Name, type, def, en, ex)
static std::set<std::string> readWriteStems() {
  std::set<std::string> names;
  LINDRA_PROPERTIES(LINDRA_TEST_NAME_ROW)
  LINDRA_WINDOW_PROPERTIES(LINDRA_TEST_NAME_ROW)
  std::set<std::string> stems;
  for (const std::string& n : names)
    for (const char* family : {"LC_", "Lbx"})
      if (n.rfind(std::string(family) + "Get", 0) == 0 && names.count(std::string(family) + "Set" + n.substr(6)))
        stems.insert(n.substr(6));
  return stems;
}

namespace {

struct StoredRow {
  std::string family, stem;
  char shape;
  std::string def, other;
};

std::vector<StoredRow> readStoredList(std::set<std::string>* notStored) {
  std::ifstream in(LINDRA_STORED_LIST);
  std::vector<StoredRow> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    StoredRow r;
    std::string shape;
    fields >> r.family >> r.stem;
    if (r.family == "-") {
      notStored->insert(r.stem);
      continue;
    }
    fields >> shape >> r.def >> r.other;
    r.shape = shape.empty() ? '?' : shape[0];
    rows.push_back(r);
  }
  return rows;
}

std::int32_t number(const std::string& s) { return static_cast<std::int32_t>(std::stoll(s, nullptr, 0)); }
std::string text(const std::string& s) {
  if (s == "-") return "";
  std::string t = s;
  std::replace(t.begin(), t.end(), '_', ' ');
  return t;
}

// The window every round trip starts from.
void prepare(HWND h) {
  for (const char* t : {"Alpha", "Beta", "Gamma"}) SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  ASSERT_EQ(LC_SetColumns(h, 2), 0);
  ASSERT_EQ(LC_SetGroups(h, 2), 0);
  ASSERT_EQ(LC_SetColumnLevels(h, 3), 0);
  ASSERT_EQ(LC_SetVRowCount(h, 100), 0);
  ASSERT_EQ(LC_SetCol(h, 0), 0);
  ASSERT_EQ(LC_SetRow(h, 0), 0);
  ASSERT_EQ(LC_SetGrp(h, 0), 0);
  ASSERT_EQ(LC_SetListIndex(h, 0), 0);
}

// Sets `value` through the set export and reads it back through the get.
void roundTrip(HWND h, const StoredRow& r, const std::string& value) {
  SCOPED_TRACE(value);
  const std::string prefix = r.family == "Lbx" ? "Lbx" : "LC_";
  void* set = lookup(prefix + "Set" + r.stem);
  void* get = lookup(prefix + "Get" + r.stem);
  ASSERT_TRUE(set && get);
  switch (r.shape) {
    case 's': {
      const auto v = static_cast<std::int16_t>(number(value));
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, std::int16_t)>(set)(h, v), 0);
      std::int16_t back = 99;
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, std::int16_t*)>(get)(h, &back), 0);
      EXPECT_EQ(back, v);
      break;
    }
    case 'l': case 'd': case 'w': {
      const std::int32_t v = number(value);
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, std::int32_t)>(set)(h, v), 0);
      if (r.shape == 'd') {
        EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, LPARAM)>(get)(h, 0), v);
        break;
      }
      std::int32_t back = 99;
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, LPARAM)>(get)(h, reinterpret_cast<LPARAM>(&back)), 0);
      EXPECT_EQ(back, v);
      break;
    }
    case 'f': {
      const float v = std::stof(value);
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, float)>(set)(h, v), 0);
      float back = -7;
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, float*)>(get)(h, &back), 0);
      EXPECT_FLOAT_EQ(back, v);
      break;
    }
    case 't': {
      const std::string v = text(value);
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, const char*)>(set)(h, v.c_str()), 0);
      char buf[64] = "x";
      EXPECT_EQ(reinterpret_cast<LRESULT (*)(HWND, char*, std::int32_t)>(get)(h, buf, sizeof buf),
                static_cast<LRESULT>(v.size()));
      EXPECT_EQ(std::string(buf), v);
      break;
    }
    case 'p': {
      // The default is no picture; the other a resource-number picture.
      const auto v = static_cast<std::uint32_t>(number(value));
      const std::uint16_t type = v ? 1 : 0, kind = v ? 1 : 0;
      using Set = LRESULT (*)(HWND, std::uint16_t, std::uint16_t, std::uint32_t, std::uint32_t);
      using Get = LRESULT (*)(HWND, std::uint16_t*, std::uint16_t*, void*, std::int32_t, std::uint32_t*);
      EXPECT_EQ(reinterpret_cast<Set>(set)(h, type, kind, v, v ? 2u : 0u), 0);
      std::uint16_t t = 9, k = 9;
      std::uint32_t buf = 0xFFFFFFFF, attr = 9;
      EXPECT_EQ(reinterpret_cast<Get>(get)(h, &t, &k, &buf, 4, &attr), 0);
      EXPECT_EQ(t, type);
      EXPECT_EQ(k, kind);
      EXPECT_EQ(attr, v ? 2u : 0u);
      EXPECT_EQ(kind ? (buf & 0xFFFF) : buf, v);
      break;
    }
    default:
      ADD_FAILURE() << "unknown shape " << r.shape;
  }
}

TEST_F(DispatchTest, EveryStoredPropertyRoundTripsThroughItsExports) {
  std::set<std::string> notStored;
  const std::vector<StoredRow> rows = readStoredList(&notStored);
  ASSERT_GT(rows.size(), 150u);
  std::set<std::string> listed = notStored;
  for (const StoredRow& r : rows) {
    SCOPED_TRACE(r.stem);
    listed.insert(r.stem);
    HWND h = make(lx::LBS_MULTIPLESEL);
    ASSERT_NE(h, nullptr);
    prepare(h);
    roundTrip(h, r, r.def);
    roundTrip(h, r, r.other);
    DestroyWindow(h);
  }
  // Every list-control property with both exports is in the list.
  for (const std::string& stem : readWriteStems()) EXPECT_TRUE(listed.count(stem)) << stem << " is not listed";
}

TEST_F(DispatchTest, CreationStyleBitsSetTheInsideFrameStyle) {
  struct Case {
    DWORD style;
    std::int16_t expected;
  } cases[] = {{0, 1}, {0x2000, 16}, {0x4000, 32}};
  for (const Case& c : cases) {
    HWND w = make(c.style);
    ASSERT_NE(w, nullptr);
    std::int16_t v = 0;
    EXPECT_EQ(LC_GetThreeDInsideStyle(w, &v), 0);
    EXPECT_EQ(v, c.expected) << std::hex << c.style;
  }
}

TEST_F(DispatchTest, TextGetWithoutABlockAnswersAGlobalCopyTheCallerFrees) {
  ASSERT_EQ(LC_SetSearchText(h_, "Über"), 0);
  const int before = test::liveGlobalCount();
  auto mem = reinterpret_cast<HGLOBAL>(SendMessage(h_, lx::kMsgGetProperty, 89, 0));
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(test::liveGlobalCount(), before + 1);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(mem)), "Über");
  GlobalUnlock(mem);
  EXPECT_EQ(GlobalFree(mem), nullptr);
  EXPECT_EQ(test::liveGlobalCount(), before);
  // The item texts answer the same way.
  SendMessage(h_, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Kärnten"));
  ASSERT_EQ(LC_SetListIndex(h_, 0), 0);
  mem = reinterpret_cast<HGLOBAL>(SendMessage(h_, lx::kMsgGetProperty, 30, 0));
  ASSERT_NE(mem, nullptr);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(mem)), "Kärnten");
  GlobalUnlock(mem);
  EXPECT_EQ(GlobalFree(mem), nullptr);
  EXPECT_EQ(test::liveGlobalCount(), before);
  // A short buffer gets a cut copy and the full length; size 0 writes nothing.
  char five[5] = "----";
  EXPECT_EQ(LC_GetSearchText(h_, five, 5), 5);
  EXPECT_EQ(std::string(five), std::string("\xC3\x9C" "be"));
  char none[2] = "z";
  EXPECT_EQ(LC_GetSearchText(h_, none, 0), 5);
  EXPECT_STREQ(none, "z");
}

TEST_F(DispatchTest, SelectorsAndRangesAreChecked) {
  // On an empty window, then on one with three items, two columns and two groups.
  struct Case {
    const char* what;
    WPARAM id;
    LPARAM value;
    LRESULT expected;
    bool prepared = false;
  } cases[] = {
      {"Row at the count (3)", 29, 3, 0, true},
      {"Row one past the count (4)", 29, 4, 30501, true},
      {"Col at the last column", 28, 1, 0, true},
      {"Col at the column count (2)", 28, 2, 30500, true},
      {"Grp at the last group", 197, 1, 0, true},
      {"Grp at the group count (2)", 197, 2, 30502, true},
      {"ListIndex at the count", 77, 3, 30501, true},
      {"ColParentGroup past the groups", 203, 2, 30502, true},
      {"ColLevel at ColumnLevels", 204, 3, 30503, true},
      {"VRowPos past VRowCount", 254, 101, 30503, true},
      {"RowPictureCol past the columns", 149, 2, 30500, true},
      {"Text without a ListIndex item", 30, reinterpret_cast<LPARAM>("x"), 30501},
      {"ColText without a current column", 67, reinterpret_cast<LPARAM>("x"), 30500},
      {"ColWidth without a current column", 73, 0, 30500},
      {"ColAlignH without a current column", 61, 1, 30500},
      {"RowBackColor without an item changes nothing", 135, 0xFF, 0},
      {"GrpName without a current group", 236, reinterpret_cast<LPARAM>("x"), 30502},
      {"ListCount beyond what the store may hold", 76, 0x7FFFFFFF, 30503},
      {"ListCount below 0", 76, -1, 30503},
      {"Row at the count (0)", 29, 0, 0},
      {"Row one past the count", 29, 1, 30501},
      {"Row -1", 29, -1, 0},
      {"Col -1", 28, -1, 0},
      {"Col at the column count", 28, 0, 30500},
      {"Grp at the group count", 197, 0, 30502},
      {"ColumnLevels 0", 207, 0, 30503},
      {"ColumnLevels 257", 207, 257, 30503},
      {"ColumnLevels 256", 207, 256, 0},
      {"LineWidth 32768", 41, 32768, 30503},
      {"LineWidth 32767", 41, 32767, 0},
      {"LineWidth -1", 41, -1, 0},
      {"enumeration above its highest", 196, 13, 30503},
      {"unknown id", 277, 1, 30503},
      {"id above the window range", 600, 1, 30503},
      {"a get-only value", 103, 1, 30503},
      {"Action 13 does nothing", 85, 13, 0},
  };
  HWND prepared = make(0);
  prepare(prepared);
  for (const Case& c : cases)
    EXPECT_EQ(SendMessage(c.prepared ? prepared : h_, lx::kMsgSetProperty, c.id, c.value), c.expected) << c.what;
  EXPECT_EQ(SendMessage(prepared, lx::LB_GETCOUNT, 0, 0), 3);
  std::int16_t levels = 0;
  LC_GetColumnLevels(h_, &levels);
  EXPECT_EQ(levels, 256);
}

TEST_F(DispatchTest, ColumnsComeFromTheInsertActionUpToTwoHundredFiftySix) {
  for (int i = 0; i < 256; ++i) ASSERT_EQ(LC_SetAction(h_, 7), 0);
  EXPECT_EQ(LC_SetAction(h_, 7), 1);
  std::int16_t n = 0;
  LC_GetColumns(h_, &n);
  EXPECT_EQ(n, 256);
  EXPECT_EQ(LC_SetCol(h_, 255), 0);
  EXPECT_EQ(LC_SetCol(h_, 256), 30500);
  std::int16_t col = 0;
  LC_GetCol(h_, &col);
  EXPECT_EQ(col, 255);
}

TEST_F(DispatchTest, UnsetColoursReadAsTheGrayAreaCodeAndSel3DStyleIsMapped) {
  std::uint32_t c = 0;
  EXPECT_EQ(LC_GetLineColor(h_, &c), 0);
  EXPECT_EQ(c, 0x8000000Bu);
  // At the default level, setting the unset code leaves the colour alone.
  EXPECT_EQ(LC_SetBackColor(h_, 0x00112233), 0);
  EXPECT_EQ(LC_SetBackColor(h_, 0x8000000B), 0);
  LC_GetBackColor(h_, &c);
  EXPECT_EQ(c, 0x00112233u);
  // Sel3DStyle is kept as 1, 3, 4 and read back as 0, 1, 2.
  for (std::int16_t v : {0, 1, 2}) {
    ASSERT_EQ(LC_SetSel3DStyle(h_, v), 0);
    std::int16_t back = -5;
    LC_GetSel3DStyle(h_, &back);
    EXPECT_EQ(back, v);
  }
  // The message answers the value itself when no pointer comes with it.
  EXPECT_EQ(SendMessage(h_, lx::kMsgGetProperty, 42, 0), 2);
}

TEST_F(DispatchTest, HelpContextIsWrittenThroughItsPointerAndANullOneIsRefused) {
  EXPECT_EQ(LC_SetHelpContextID(h_, 4711), 0);
  std::int32_t v = 0;
  EXPECT_EQ(LC_GetHelpContextID(h_, reinterpret_cast<LPARAM>(&v)), 0);
  EXPECT_EQ(v, 4711);
  EXPECT_EQ(LC_GetHelpContextID(h_, 0), -1);
  EXPECT_EQ(SendMessage(h_, lx::kMsgGetProperty, 507, 0), -1);
}

TEST_F(DispatchTest, EveryApplyToLevelStartsUnsetAndKeepsItsOwnColour) {
  HWND h = make(0);
  prepare(h);
  // Level 12 with both Row and Col -1 is the level 0 record; every other
  // level names a place of its own.
  for (std::int16_t level = 0; level <= 12; ++level) {
    SCOPED_TRACE(level);
    ASSERT_EQ(LC_SetListApplyTo(h, level), 0);
    std::uint32_t back = 0, fore = 0;
    EXPECT_EQ(LC_GetBackColor(h, &back), 0);
    EXPECT_EQ(LC_GetForeColor(h, &fore), 0);
    EXPECT_EQ(back, 0x8000000Bu);
    EXPECT_EQ(fore, 0x8000000Bu);
    ASSERT_EQ(LC_SetBackColor(h, 0x00010100u + static_cast<std::uint32_t>(level)), 0);
  }
  for (std::int16_t level = 0; level <= 12; ++level) {
    LC_SetListApplyTo(h, level);
    std::uint32_t back = 0;
    LC_GetBackColor(h, &back);
    EXPECT_EQ(back, 0x00010100u + static_cast<std::uint32_t>(level)) << level;
  }
  // At level 12 the item, the column and the cell are three places.
  LC_SetListApplyTo(h, 12);
  struct Place {
    std::int32_t row;
    std::int16_t col;
    std::uint32_t colour;
  } places[] = {{0, -1, 0x00AA0000}, {-1, 0, 0x0000AA00}, {0, 0, 0x000000AA}};
  for (const Place& p : places) {
    LC_SetRow(h, p.row);
    LC_SetCol(h, p.col);
    ASSERT_EQ(LC_SetBackColor(h, p.colour), 0);
  }
  for (const Place& p : places) {
    LC_SetRow(h, p.row);
    LC_SetCol(h, p.col);
    std::uint32_t back = 0;
    LC_GetBackColor(h, &back);
    EXPECT_EQ(back, p.colour) << p.row << "," << p.col;
  }
  // The row and column shortcuts reach the same records.
  LC_SetRow(h, 0);
  LC_SetCol(h, 0);
  std::uint32_t row = 0, col = 0;
  LC_GetRowBackColor(h, &row);
  LC_GetColBackColor(h, &col);
  EXPECT_EQ(row, 0x00AA0000u);
  EXPECT_EQ(col, 0x0000AA00u);
}

TEST_F(DispatchTest, ASharedRecordIsCopiedBeforeItIsWritten) {
  HWND h = make(0);
  prepare(h);
  // Single Grp (11) takes its first record from All Groups (3).
  LC_SetListApplyTo(h, 3);
  ASSERT_EQ(LC_SetBackColor(h, 0x00112233), 0);
  LC_SetListApplyTo(h, 11);
  ASSERT_EQ(LC_SetForeColor(h, 0x00445566), 0);
  std::uint32_t c = 0;
  LC_GetBackColor(h, &c);
  EXPECT_EQ(c, 0x00112233u) << "the copy keeps what the shared record had";
  LC_SetListApplyTo(h, 3);
  LC_GetForeColor(h, &c);
  EXPECT_EQ(c, 0x8000000Bu) << "the write stayed in the group's own record";
  ASSERT_EQ(LC_SetBackColor(h, 0x00778899), 0);
  LC_SetListApplyTo(h, 11);
  LC_GetBackColor(h, &c);
  EXPECT_EQ(c, 0x00112233u) << "a later change of the shared record leaves the copy";
  LC_SetGrp(h, 1);
  LC_GetBackColor(h, &c);
  EXPECT_EQ(c, 0x8000000Bu) << "the other group has no record of its own";

  // A cloned column shares its source's record until one of them changes.
  LC_SetCol(h, 0);
  ASSERT_EQ(LC_SetColBackColor(h, 0x00ABCDEF), 0);
  ASSERT_EQ(LC_SetAction(h, 12), 0);
  std::int16_t n = 0;
  LC_GetColumns(h, &n);
  ASSERT_EQ(n, 3);
  LC_SetCol(h, 1);
  LC_GetColBackColor(h, &c);
  EXPECT_EQ(c, 0x00ABCDEFu);
  ASSERT_EQ(LC_SetColBackColor(h, 0x00FEDCBA), 0);
  LC_SetCol(h, 0);
  LC_GetColBackColor(h, &c);
  EXPECT_EQ(c, 0x00ABCDEFu);
}

TEST_F(DispatchTest, NextSelWalksFromTheStartAndStartsOverOnClearAndListIndex) {
  struct Case {
    const char* what;
    DWORD style;
    std::vector<int> selected;  // multi-selection lists: LB_SETSEL; others: ListIndex
    std::vector<std::int32_t> walk;
  } cases[] = {
      {"single selection, row 0", 0, {0}, {0, -1, 0}},
      {"single selection, none", 0, {}, {-1}},
      {"multiple selection, rows 0 and 2", lx::LBS_MULTIPLESEL, {0, 2}, {0, 2, -1, 0}},
      {"extended selection, last row", lx::LBS_EXTENDEDSEL, {2}, {2, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND h = make(c.style);
    for (const char* t : {"a", "b", "c"}) SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    for (int i : c.selected) {
      if (c.style) SendMessage(h, lx::LB_SETSEL, 1, i);
      else LC_SetListIndex(h, i);
    }
    for (std::int32_t expected : c.walk) {
      std::int32_t v = 99;
      EXPECT_EQ(LC_GetNextSel(h, &v), 0);
      EXPECT_EQ(v, expected);
    }
  }
  // A change of ListIndex and a Clear start the walk over.
  HWND h = make(lx::LBS_MULTIPLESEL);
  for (const char* t : {"a", "b", "c"}) SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  SendMessage(h, lx::LB_SETSEL, 1, 0);
  std::int32_t v = 0;
  LC_GetNextSel(h, &v);
  ASSERT_EQ(v, 0);
  LC_SetListIndex(h, 1);
  LC_GetNextSel(h, &v);
  EXPECT_EQ(v, 0);
  LC_SetAction(h, 3);
  for (const char* t : {"a", "b"}) SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  SendMessage(h, lx::LB_SETSEL, 1, 0);
  LC_GetNextSel(h, &v);
  EXPECT_EQ(v, 0);
}

TEST_F(DispatchTest, TheActionCommands) {
  HWND h = make(lx::LBS_MULTIPLESEL);
  prepare(h);
  std::int32_t n = 0;
  auto count = [&] {
    std::int32_t c = -1;
    LC_GetListCount(h, &c);
    return c;
  };
  ASSERT_EQ(LC_SetAction(h, 1), 0);  // Select All
  EXPECT_EQ(LbxGetSelCount(h, &n), 0);
  EXPECT_EQ(n, 3);
  ASSERT_EQ(LC_SetAction(h, 2), 0);  // Deselect All
  LbxGetSelCount(h, &n);
  EXPECT_EQ(n, 0);

  LC_SetRow(h, 1);
  ASSERT_EQ(LC_SetAction(h, 4), 0);  // Delete Row
  EXPECT_EQ(count(), 2);
  char buf[16] = "";
  LC_GetList(h, buf, sizeof buf);
  EXPECT_STREQ(buf, "Gamma");
  LC_SetRow(h, 2);
  EXPECT_EQ(LC_SetAction(h, 4), 30501) << "Row at the count names no item";

  // Search: SearchText with SearchMethod from SearchIndex, answered there.
  LC_SetSearchText(h, "gam");
  LC_SetSearchMethod(h, 2);
  LC_SetSearchIndex(h, -1);
  ASSERT_EQ(LC_SetAction(h, 0), 0);
  LC_GetSearchIndex(h, &n);
  EXPECT_EQ(n, 1);

  // Clone Col copies the column with its cells, after it.
  LC_SetCol(h, 0);
  LC_SetRow(h, 0);
  LC_SetColName(h, "Titel");
  ASSERT_EQ(LC_SetColList(h, "Äpfel"), 0);
  ASSERT_EQ(LC_SetAction(h, 12), 0);
  LC_SetCol(h, 1);
  LC_GetColList(h, buf, sizeof buf);
  EXPECT_STREQ(buf, "Äpfel");
  LC_GetColName(h, buf, sizeof buf);
  EXPECT_STREQ(buf, "Titel");
  ASSERT_EQ(LC_SetAction(h, 8), 0);  // Delete Col
  std::int16_t cols = 0;
  LC_GetColumns(h, &cols);
  EXPECT_EQ(cols, 2);

  // Insert Col and Insert Grp stop at 256.
  for (int i = cols; i < 256; ++i) ASSERT_EQ(LC_SetAction(h, 7), 0);
  EXPECT_EQ(LC_SetAction(h, 7), 1);
  LC_GetColumns(h, &cols);
  EXPECT_EQ(cols, 256);
  std::int16_t groups = 0;
  for (int i = 2; i < 256; ++i) ASSERT_EQ(LC_SetAction(h, 10), 0);
  EXPECT_EQ(LC_SetAction(h, 10), 1);
  LC_GetGroups(h, &groups);
  EXPECT_EQ(groups, 256);
  ASSERT_EQ(LC_SetAction(h, 11), 0);  // Delete Grp
  LC_GetGroups(h, &groups);
  EXPECT_EQ(groups, 255);

  ASSERT_EQ(LC_SetAction(h, 3), 0);  // Clear
  EXPECT_EQ(count(), 0);
  std::int32_t row = 0;
  LC_GetRow(h, &row);
  EXPECT_LE(row, 0);
  EXPECT_EQ(LC_SetAction(h, 13), 0);
  EXPECT_EQ(count(), 0);
}

TEST_F(DispatchTest, ListCountAppendsAndCutsAndKeepsRowInRange) {
  HWND h = make(0);
  prepare(h);
  ASSERT_EQ(LC_SetRow(h, 3), 0);
  ASSERT_EQ(LC_SetListCount(h, 100), 0);
  EXPECT_EQ(SendMessage(h, lx::LB_GETCOUNT, 0, 0), 100);
  LC_SetRow(h, 100);
  ASSERT_EQ(LC_SetListCount(h, 2), 0);
  std::int32_t row = 0, index = 0;
  LC_GetRow(h, &row);
  LC_GetListIndex(h, &index);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(index, 0);
  char buf[16] = "";
  LC_SetRow(h, 1);
  LC_GetList(h, buf, sizeof buf);
  EXPECT_STREQ(buf, "Beta");
  EXPECT_EQ(LC_SetListCount(h, 0x7FFFFFFF), 30503);
  EXPECT_EQ(SendMessage(h, lx::LB_GETCOUNT, 0, 0), 2);
  // A count the pool cannot hold fails as an item operation, with nothing added.
  lx::PoolStats stats;
  ASSERT_TRUE(lx::PoolGetStats(lx::libraryPool(), &stats));
  ASSERT_NE(lx::PoolSetCeiling(lx::libraryPool(), stats.bytesInUse + 64 * 1024), lx::kPoolFailed);
  EXPECT_EQ(LC_SetListCount(h, 1 << 20), 30501);
  EXPECT_EQ(SendMessage(h, lx::LB_GETCOUNT, 0, 0), 2);
  lx::PoolSetCeiling(lx::libraryPool(), lx::kPoolNoCeiling);
  EXPECT_EQ(LC_SetListCount(h, 4000), 0);
  EXPECT_EQ(SendMessage(h, lx::LB_GETCOUNT, 0, 0), 4000);
}

TEST_F(DispatchTest, FontSizesFollowTheScreenResolution) {
  struct Case {
    int dpi;
    float points;
    LONG height;  // the logical height of the font made
    float readBack;
  } cases[] = {
      {96, 12.0f, -16, 12.0f},
      {96, 10.0f, -13, 9.75f},
      {120, 12.0f, -20, 12.0f},
      {120, 10.0f, -17, 10.2f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    // The resolution is read with the first instance.
    for (HWND w : made_)
      if (IsWindow(w)) DestroyWindow(w);
    ASSERT_EQ(lx::liveInstances(), 0);
    test::setScreen(1024, 768, c.dpi);
    HWND h = make(0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(LC_SetHeaderFontSize(h, c.points), 0);
    LOGFONT lf;
    ASSERT_NE(GetObject(lx::propertyHeaderFont(lx::instanceOf(h)), sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, c.height);
    float back = 0;
    EXPECT_EQ(LC_GetHeaderFontSize(h, &back), 0);
    EXPECT_FLOAT_EQ(back, c.readBack);
    // The window's own font converts the same way.
    ASSERT_EQ(LC_SetFontSize(h, c.points), 0);
    EXPECT_EQ(GetObject(reinterpret_cast<HFONT>(SendMessage(h, WM_GETFONT, 0, 0)), sizeof lf, &lf), sizeof lf);
    EXPECT_EQ(lf.lfHeight, c.height);
  }
}

TEST_F(DispatchTest, SelItemRangeTakesTheFirstAndLastItemFromTheHalvesOfLParam) {
  HWND h = make(lx::LBS_EXTENDEDSEL);
  for (int i = 0; i < 10; ++i) SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("x"));
  struct Case {
    WPARAM select;
    WORD first, last;
    std::vector<int> selected;
  } cases[] = {
      {1, 2, 5, {2, 3, 4, 5}},
      {0, 3, 4, {2, 5}},
      {1, 8, 7, {2, 5, 7, 8}},  // the halves in either order
      {1, 9, 40, {2, 5, 7, 8, 9}},  // the range ends at the last item
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SendMessage(h, lx::LB_SELITEMRANGE, c.select, MAKELPARAM(c.first, c.last)), 0);
    std::vector<int> got;
    for (int i = 0; i < 10; ++i)
      if (SendMessage(h, lx::LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) got.push_back(i);
    EXPECT_EQ(got, c.selected) << c.first << ".." << c.last;
  }
}

TEST_F(DispatchTest, PictureGetsCopyTheValueOnlyWhenTheBufferHoldsIt) {
  HWND h = make(0);
  prepare(h);
  struct Case {
    std::uint16_t kind;  // 0 a handle, 1 a resource number
    std::int32_t size;
    LRESULT expected;
  } cases[] = {{0, 2, -1}, {0, 3, -1}, {0, 4, 0}, {1, 2, 0}, {1, 3, 0}, {1, 4, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " size " << c.size);
    const std::uint32_t value = c.kind ? 0x2329u : 0x12345678u;
    ASSERT_EQ(LC_SetPicture(h, 1, c.kind, value, 3), 0);
    unsigned char buf[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    std::uint16_t type = 0, kind = 9;
    std::uint32_t attr = 0;
    EXPECT_EQ(LC_GetPicture(h, &type, &kind, buf, c.size, &attr), c.expected);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(attr, 3u);
    if (c.expected == 0) {
      std::uint32_t got = 0;
      std::memcpy(&got, buf, c.kind ? 2 : 4);
      EXPECT_EQ(got, value);
      if (c.kind) {
        EXPECT_EQ(buf[2], 0xEE) << "a resource number writes two bytes";
      }
    } else {
      EXPECT_EQ(buf[0], 0xEE) << "nothing written";
    }
  }
}

TEST_F(DispatchTest, WidthsFollowTheScaleAndLookUpsFindByIdAndName) {
  HWND h = make(0);
  prepare(h);
  const int avg = lx::instanceOf(h)->columnWidth;
  ASSERT_GT(avg, 0);
  ASSERT_EQ(LC_SetColWidth(h, 3.0f), 0);  // average character widths
  ASSERT_EQ(LC_SetGrpWidth(h, 2.0f), 0);
  struct Scale {
    std::int16_t unit;
    float col, grp;
  } scales[] = {
      {1, 3.0f * avg, 2.0f * avg},
      {0, 3.0f * avg * 1440 / 96, 2.0f * avg * 1440 / 96},
      {2, 3.0f, 2.0f},
  };
  for (const Scale& s : scales) {
    ASSERT_EQ(LC_SetColumnWidthScale(h, s.unit), 0);
    float col = 0, grp = 0;
    LC_GetColWidth(h, &col);
    LC_GetGrpWidth(h, &grp);
    EXPECT_FLOAT_EQ(col, s.col) << s.unit;
    EXPECT_FLOAT_EQ(grp, s.grp) << s.unit;
  }

  LC_SetCol(h, 1);
  LC_SetColName(h, "Äpfel");
  LC_SetColID(h, 42);
  LC_SetGrp(h, 1);
  LC_SetGrpName(h, "Öl");
  LC_SetGrpID(h, 7);
  LC_SetCol(h, 0);
  LC_SetGrp(h, 0);
  // The column or group found becomes current; a failed look-up leaves both.
  struct LookUp {
    const char* what;
    LRESULT (*find)(HWND);
    LRESULT expected;
    std::int16_t col, grp;
  } lookUps[] = {
      {"column by id", [](HWND w) { return LC_SetColFromID(w, 42); }, 0, 1, 0},
      {"column by name in other case", [](HWND w) { return LC_SetColFromName(w, "äPFEL"); }, 0, 1, 0},
      {"group by id", [](HWND w) { return LC_SetGrpFromID(w, 7); }, 0, 0, 1},
      {"group by name in other case", [](HWND w) { return LC_SetGrpFromName(w, "öL"); }, 0, 0, 1},
      {"missing id", [](HWND w) { return LC_SetColFromID(w, 43); }, 1, 0, 0},
      {"empty name", [](HWND w) { return LC_SetColFromName(w, ""); }, 1, 0, 0},
      {"missing name", [](HWND w) { return LC_SetGrpFromName(w, "Wasser"); }, 1, 0, 0},
  };
  for (const LookUp& l : lookUps) {
    LC_SetCol(h, 0);
    LC_SetGrp(h, 0);
    EXPECT_EQ(l.find(h), l.expected) << l.what;
    std::int16_t col = -5, grp = -5;
    LC_GetCol(h, &col);
    LC_GetGrp(h, &grp);
    EXPECT_EQ(col, l.col) << l.what;
    EXPECT_EQ(grp, l.grp) << l.what;
  }
}

}  // namespace
