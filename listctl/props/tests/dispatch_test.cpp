// The property dispatchers of a real list window, driven through the
// exported functions and through the raw messages.
#include <gtest/gtest.h>

#include <cstring>
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

// Written from the property list and its defaults: export stem, shape,
// default, another value.
struct RoundTrip {
  const char* stem;
  char shape;  // 's' 16-bit, 'l' 32-bit, 'f' float, 't' text
  std::int32_t def, other;
};
const RoundTrip kStored[] = {
    {"BackColor", 'l', static_cast<std::int32_t>(0x80000005), 0x00123456},
    {"ForeColor", 'l', static_cast<std::int32_t>(0x80000008), 0x000000FF},
    {"ScrollBars", 's', 2, 3},
    {"Sorted", 's', 0, 2},
    {"FieldType", 's', 10, 4},
    {"TopIndex", 'l', 0, 5},
    {"LineStyleH", 's', 0, 3},
    {"LineStyleV", 's', 0, 1},
    {"LineWidth", 'l', 1, 4},
    {"Sel3DStyle", 's', 0, 2},
    {"SelBackColor", 'l', static_cast<std::int32_t>(0x8000000D), 0x00FF0000},
    {"SelForeColor", 'l', static_cast<std::int32_t>(0x8000000E), 0x0000FF00},
    {"Sel3DWidth", 'l', 1, 2},
    {"SelDrawFocusRect", 'l', -1, 0},
    {"HeaderBackColor", 'l', static_cast<std::int32_t>(0x8000000F), 0x00ABCDEF},
    {"HeaderFontBold", 'l', 0, 1},
    {"HeaderHeight", 'l', -1, 20},
    {"Header3DStyle", 's', 0, 2},
    {"ColumnSeparatorChar", 's', 9, 59},
    {"ColumnSearch", 's', -1, 2},
    {"ColumnWidthScale", 's', 2, 1},
    {"RowHeight", 'l', -1, 18},
    {"WrapList", 'l', 0, 1},
    {"AutoSearch", 's', 1, 2},
    {"SearchMethod", 's', 0, 2},
    {"List3DText", 's', 0, 5},
    {"List3DTextOffset", 's', 1, 3},
    {"Header3DText", 's', 0, 4},
    {"ThreeDInsideStyle", 's', 1, 2},
    {"ThreeDOutsideStyle", 's', 1, 0},
    {"ThreeDInsideWidth", 'l', 1, 2},
    {"BorderStyle", 's', 0, 6},
    {"DropShadowWidth", 'l', 3, 5},
    {"Appearance", 's', 2, 1},
    {"BorderDropShadow", 's', 0, 2},
    {"ScrollHScale", 's', 2, 6},
    {"ScrollBarV", 's', 1, 3},
    {"ScrollBarH", 's', 1, 0},
    {"HighestPrecedence", 's', 0, 2},
    {"AllowColResize", 's', 0, 2},
    {"AllowColDragDrop", 's', 0, 1},
    {"ReadOnly", 'l', 0, 1},
    {"EnableKeyEvents", 'l', 1, 0},
    {"EnableMouseEvents", 'l', 1, 0},
    {"SortState", 's', 0, 2},
    {"SearchIgnoreCase", 'l', 1, 0},
    {"ExtendCol", 's', 0, 2},
    {"LineStyle", 's', 0, 6},
    {"LineApplyTo", 's', 0, 3},
    {"ListApplyTo", 's', 0, 11},
    {"ColumnLevels", 's', 1, 3},
    {"ListGrayAreaColor", 'l', static_cast<std::int32_t>(0x8000000B), 0x00010203},
    {"MultiLine", 's', 0, 2},
    {"AlignH", 's', 0, 3},
    {"AlignV", 's', 0, 3},
    {"PictureAlignH", 's', 0, 5},
    {"PictureAlignV", 's', 0, 5},
    {"TextOrientation", 's', 0, 6},
    {"TextEllipsis", 's', 0, 2},
    {"Redraw", 'l', -1, 0},
    {"ResizeRowToFont", 'l', -1, 0},
    {"TextTip", 's', 0, 4},
    {"TextTipDelay", 'l', 500, 800},
    {"TextTipMultiLine", 's', 0, 2},
    {"TextTipBackColor", 'l', static_cast<std::int32_t>(0x80000018), 0x00FFFFE0},
    {"SearchText", 't', 0, 0},
    {"HeaderFontName", 't', 0, 0},
    {"FontName", 't', 0, 0},
    {"HeaderFontSize", 'f', 0, 0},
    {"FontSize", 'f', 0, 0},
};

template <typename F>
F exportOf(const std::string& name);

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

namespace {

TEST_F(DispatchTest, EveryStoredPropertyRoundTripsThroughItsExports) {
  for (const RoundTrip& r : kStored) {
    SCOPED_TRACE(r.stem);
    void* set = lookup(std::string("LC_Set") + r.stem);
    void* get = lookup(std::string("LC_Get") + r.stem);
    ASSERT_TRUE(set && get);
    if (r.shape == 's') {
      auto s = reinterpret_cast<LRESULT (*)(HWND, std::int16_t)>(set);
      auto g = reinterpret_cast<LRESULT (*)(HWND, std::int16_t*)>(get);
      for (std::int32_t v : {r.def, r.other}) {
        EXPECT_EQ(s(h_, static_cast<std::int16_t>(v)), 0);
        std::int16_t back = 99;
        EXPECT_EQ(g(h_, &back), 0);
        EXPECT_EQ(back, v);
      }
    } else if (r.shape == 'l') {
      auto s = reinterpret_cast<LRESULT (*)(HWND, std::int32_t)>(set);
      auto g = reinterpret_cast<LRESULT (*)(HWND, std::int32_t*)>(get);
      for (std::int32_t v : {r.def, r.other}) {
        EXPECT_EQ(s(h_, v), 0);
        std::int32_t back = 99;
        EXPECT_EQ(g(h_, &back), 0);
        EXPECT_EQ(back, v);
      }
    } else if (r.shape == 'f') {
      auto s = reinterpret_cast<LRESULT (*)(HWND, float)>(set);
      auto g = reinterpret_cast<LRESULT (*)(HWND, float*)>(get);
      for (float v : {8.0f, 10.5f}) {
        EXPECT_EQ(s(h_, v), 0);
        float back = 0;
        EXPECT_EQ(g(h_, &back), 0);
        EXPECT_EQ(back, v);
      }
    } else {
      auto s = reinterpret_cast<LRESULT (*)(HWND, const char*)>(set);
      auto g = reinterpret_cast<LRESULT (*)(HWND, char*, std::int32_t)>(get);
      for (const char* v : {"", "Éléphant ÅÄÖ"}) {
        EXPECT_EQ(s(h_, v), 0);
        char buf[64] = "x";
        EXPECT_EQ(g(h_, buf, sizeof buf), static_cast<LRESULT>(std::strlen(v)));
        EXPECT_STREQ(buf, v);
      }
    }
  }
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
