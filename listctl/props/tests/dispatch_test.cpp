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

#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "platform/testing/test_env.h"
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
  // A short buffer gets a cut copy and the full length; size 0 writes nothing.
  char five[5] = "----";
  EXPECT_EQ(LC_GetSearchText(h_, five, 5), 5);
  EXPECT_EQ(std::string(five), std::string("\xC3\x9C" "be"));
  char none[2] = "z";
  EXPECT_EQ(LC_GetSearchText(h_, none, 0), 5);
  EXPECT_STREQ(none, "z");
}

TEST_F(DispatchTest, SelectorsAndRangesAreChecked) {
  struct Case {
    const char* what;
    WPARAM id;
    LPARAM value;
    LRESULT expected;
  } cases[] = {
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
  for (const Case& c : cases) EXPECT_EQ(SendMessage(h_, lx::kMsgSetProperty, c.id, c.value), c.expected) << c.what;
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

}  // namespace
