// The saved-state stream of real list windows: round trips, the layout of
// an empty list, refused streams that leave the list as it was, and the
// block wrappers of the messages, the property and the exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "listctl/combo/combo.h"
#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "listctl/props/property_table.h"
#include "listctl/state/saved_state.h"
#include "listctl/state/tests/picture_fixture.h"
#include "listctl/store/store.h"
#include "platform/testing/test_env.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;
namespace st = lindra::state;
namespace props = lindra::props;

namespace {

int anchor;
HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&anchor); }
using Bytes = std::vector<std::uint8_t>;

class SavedStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
  }
  void TearDown() override {
    for (HWND w : made_)
      if (IsWindow(w)) DestroyWindow(w);
    EXPECT_EQ(lx::liveInstances(), 0);
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    test::reset();
  }
  HWND make() {
    HWND w = CreateWindow(lx::kListClass, "", WS_VISIBLE, 0, 0, 200, 120, nullptr, nullptr, nullptr, nullptr);
    if (w) made_.push_back(w);
    return w;
  }
  static LRESULT set(HWND h, int id, LPARAM v) { return SendMessage(h, props::kSetMessage, static_cast<WPARAM>(id), v); }
  static LRESULT setText(HWND h, int id, const char* t) { return set(h, id, reinterpret_cast<LPARAM>(t)); }
  static LRESULT setFloat(HWND h, int id, float f) { return set(h, id, reinterpret_cast<LPARAM>(&f)); }
  static std::int32_t get32(HWND h, int id) {
    std::int32_t v = 0;
    SendMessage(h, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
    return v;
  }
  static std::int16_t get16(HWND h, int id) {
    std::int16_t v = 0;
    SendMessage(h, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
    return v;
  }
  static float getFloat(HWND h, int id) {
    float v = 0;
    SendMessage(h, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&v));
    return v;
  }
  static std::string getText(HWND h, int id) {
    char buf[256] = {};
    props::TextBlock b{buf, sizeof buf};
    SendMessage(h, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&b));
    return buf;
  }
  static Bytes save(HWND h) {
    st::StateWriter w;
    EXPECT_EQ(LB_SaveState(h, &w), 0);
    return Bytes(w.data(), w.data() + w.size());
  }
  static int load(HWND h, const Bytes& b) {
    st::StateReader r(b.data(), b.size());
    return LB_LoadState(h, &r);
  }

  // Two groups, three columns (one in a group, one hidden), four items with
  // cells, own heights, data, selection and a merge mark, and tip settings.
  HWND designed() {
    HWND h = make();
    EXPECT_EQ(set(h, 206, 2), 0);  // Groups
    set(h, 197, 1);
    setText(h, 199, "Totals");
    setText(h, 236, "grpTotals");
    setFloat(h, 200, 150);
    set(h, 234, 77);               // GrpID
    EXPECT_EQ(set(h, 32, 3), 0);   // Columns
    const char* headers[] = {"Name", "Price", "Notes"};
    for (int c = 0; c < 3; ++c) {
      set(h, 28, c);
      setText(h, 65, headers[c]);
      setText(h, 235, (std::string("col") + headers[c]).c_str());
      setFloat(h, 73, 40.0f + static_cast<float>(c) * 15);
      set(h, 233, 100 + c);        // ColID
    }
    set(h, 28, 1);
    set(h, 203, 1);                // ColParentGroup
    setText(h, 64, "0.00");        // ColFormat
    set(h, 28, 2);
    set(h, 72, 1);                 // ColHide
    lx::LbxInstance* inst = lx::instanceOf(h);
    EXPECT_TRUE(lx::lbxAppendEmpty(inst, 4));
    const char* cells[4][3] = {{"pear", "1.20", ""}, {"fig", "", "dried"}, {"", "", ""}, {"plum", "0.80", "ripe"}};
    for (int i = 0; i < 4; ++i)
      for (int c = 0; c < 3; ++c)
        if (*cells[i][c]) lx::lbxSetCellText(inst, i, c, cells[i][c]);
    lx::lbxSetRowHeight(inst, 1, 30);
    lx::lbxSetItemData(inst, 3, 0xBEEF);
    SendMessage(h, lx::LB_SETCURSEL, 3, 0);
    set(h, 29, 0);
    set(h, 210, 2);                // RowMerge restricted on item 0
    set(h, 263, 2);                // TextTip floating
    set(h, 266, 0x00112233);       // TextTipBackColor
    set(h, 28, 0);
    return h;
  }

  // designed() with looks at several levels, a window font, a header font
  // and a picture.
  HWND looked() {
    HWND h = designed();
    set(h, 2, 0x00E0F0D0);             // BackColor, Default(All)
    set(h, 196, 1);                    // ListApplyTo All Rows
    set(h, 3, 0x00203040);             // ForeColor
    set(h, 196, 0);
    set(h, 43, 0x00800000);            // SelBackColor
    set(h, 49, 0x00C0C0FF);            // HeaderBackColor
    set(h, 50, 1);                     // HeaderFontBold
    set(h, 28, 1);
    set(h, 133, 0x000000AA);           // ColBackColor of column 1
    set(h, 29, 2);
    set(h, 135, 0x0000AA00);           // RowBackColor of row 2
    set(h, 196, 12);                   // Single Item: row 3, column 0
    set(h, 29, 3);
    set(h, 28, 0);
    set(h, 3, 0x000000FF);
    set(h, 212, 2);                    // AlignH centre
    set(h, 196, 0);
    props::PictureBlock pic{1, 1, 42, 7, 0};
    set(h, 139, reinterpret_cast<LPARAM>(&pic));  // ColPicture of column 0
    setText(h, 503, "DejaVu Serif");   // FontName
    setFloat(h, 504, 11.0f);           // FontSize
    set(h, 58, 1);                     // HeaderShow
    set(h, 39, 1);                     // LineStyleH solid
    set(h, 195, 2);                    // LineApplyTo Cols
    set(h, 194, 3);                    // LineStyle lowered
    set(h, 195, 0);
    set(h, 86, 2);                     // AutoSearch multiple characters
    return h;
  }

  // Records after the header: tag and length.
  static std::vector<std::pair<int, std::uint32_t>> records(const Bytes& b) {
    std::vector<std::pair<int, std::uint32_t>> recs;
    for (std::size_t p = 10; p + 5 <= b.size();) {
      std::uint32_t n;
      std::memcpy(&n, &b[p + 1], 4);
      recs.push_back({b[p], n});
      p += 5 + n;
    }
    return recs;
  }
  // The offset of the first record with `tag`.
  static std::size_t recordAt(const Bytes& b, int tag) {
    for (std::size_t p = 10; p + 5 <= b.size();) {
      if (b[p] == tag) return p;
      std::uint32_t n;
      std::memcpy(&n, &b[p + 1], 4);
      p += 5 + n;
    }
    return b.size();
  }

  std::vector<HWND> made_;
};

TEST_F(SavedStateTest, ADesignedListRoundTripsThroughAFreshList) {
  HWND a = designed();
  const Bytes first = save(a);
  HWND b = make();
  ASSERT_EQ(load(b, first), st::kLoadOk);
  EXPECT_EQ(save(b), first);

  EXPECT_EQ(get16(b, 206), 2);
  set(b, 197, 1);
  EXPECT_EQ(getText(b, 199), "Totals");
  EXPECT_EQ(getText(b, 236), "grpTotals");
  EXPECT_EQ(getFloat(b, 200), 150.0f);
  EXPECT_EQ(get32(b, 234), 77);
  EXPECT_EQ(get16(b, 32), 3);
  for (int c = 0; c < 3; ++c) {
    set(a, 28, c);
    set(b, 28, c);
    SCOPED_TRACE(c);
    for (int id : {65, 64, 235}) EXPECT_EQ(getText(b, id), getText(a, id)) << id;
    EXPECT_EQ(getFloat(b, 73), getFloat(a, 73));
    for (int id : {72, 233}) EXPECT_EQ(get32(b, id), get32(a, id)) << id;
    EXPECT_EQ(get16(b, 203), get16(a, 203));
  }
  lx::LbxInstance* ib = lx::instanceOf(b);
  ASSERT_EQ(ib->itemCount, 4);
  std::string text;
  ASSERT_TRUE(lx::lbxItemText(ib, 3, 2, &text));
  EXPECT_EQ(text, "ripe");
  EXPECT_EQ(lx::lbxCellTextPtr(ib, 2, 0), nullptr);
  EXPECT_EQ(lx::lbxRowHeight(ib, 1), 30);
  EXPECT_EQ(lx::lbxRowHeight(ib, 0), -1);
  const std::uintptr_t data = lx::lbxItem(ib, 3)->itemData;  // a packed field: copied, not bound
  EXPECT_EQ(data, 0xBEEFu);
  EXPECT_TRUE(lx::lbxIsSelected(ib, 3));
  set(b, 29, 0);
  EXPECT_EQ(get32(b, 210), 2);
  EXPECT_EQ(get16(b, 263), 2);
  EXPECT_EQ(static_cast<std::uint32_t>(get32(b, 266)), 0x00112233u);
}

TEST_F(SavedStateTest, LooksFontsPicturesAndTheSelectionRoundTripByteForByte) {
  HWND a = looked();
  const Bytes first = save(a);
  // The tables are there: looks, colours, fonts, pictures and look places.
  const auto recs = records(first);
  for (int tag : {4, 2, 1, 5, 29, 32})
    EXPECT_NE(std::find_if(recs.begin(), recs.end(), [tag](const auto& r) { return r.first == tag; }), recs.end())
        << "tag " << tag;
  HWND b = make();
  ASSERT_EQ(load(b, first), st::kLoadOk);
  EXPECT_EQ(save(b), first);
  EXPECT_EQ(SendMessage(b, lx::LB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(SendMessage(b, lx::LB_GETCURSEL, 0, 0), SendMessage(a, lx::LB_GETCURSEL, 0, 0));

  // Every numeric property reads back the same at every look level, for
  // the current column and row of each.
  for (int level : {0, 1, 2, 4, 7, 12}) {
    for (int row : {-1, 2, 3}) {
      for (int col : {-1, 0, 1}) {
        SCOPED_TRACE(testing::Message() << "level " << level << " row " << row << " col " << col);
        for (HWND h : {a, b}) {
          set(h, 197, 1);
          set(h, 196, level);
          set(h, 29, row);
          set(h, 28, col);
        }
        for (int id = 2; id <= 276; ++id) {
          if (id == 246 || id == 166 || id == 85) continue;  // NextSel walks; the state itself; Action
          if (id == 61 || id == 66 || id == 132 || id == 141) continue;  // these move Row and the level
          const props::PropertyRow* r = props::rowOf(id);
          if (!r) continue;
          const auto type = static_cast<props::Ptype>(r->flags & 0xFF);
          if (type == props::Text || type == props::Picture || type == props::Float) continue;
          EXPECT_EQ(get32(b, id), get32(a, id)) << "property " << id;
        }
      }
    }
  }
  for (HWND h : {a, b}) {
    set(h, 28, 1);
    set(h, 197, 1);
  }
  for (int id : {503, 65, 199}) EXPECT_EQ(getText(b, id), getText(a, id)) << id;
  for (int id : {73, 200}) EXPECT_FLOAT_EQ(getFloat(b, id), getFloat(a, id)) << id;
  EXPECT_FLOAT_EQ(getFloat(b, 504), getFloat(a, 504));
  props::PictureBlock pa{}, pb{};
  set(a, 28, 0);
  set(b, 28, 0);
  SendMessage(a, props::kGetMessage, 139, reinterpret_cast<LPARAM>(&pa));
  SendMessage(b, props::kGetMessage, 139, reinterpret_cast<LPARAM>(&pb));
  EXPECT_EQ(pb.value, 42u);
  EXPECT_EQ(pb.attribute, pa.attribute);
}

// The caret (ListIndex) and the selection come back in every selection
// mode, the caret also where it stands on an unselected item.
TEST_F(SavedStateTest, TheCaretAndSelectionComeBackInEverySelectionMode) {
  struct Case {
    const char* what;
    int multiSelect;  // MultiSelect: 0 none, 1 simple, 2 extended
    std::vector<int> selected;
    int caret;
  } cases[] = {
      {"single", 0, {4}, 4},
      {"simple", 1, {1, 3}, 5},
      {"extended", 2, {0, 2, 3}, 2},
      {"extended, caret on an unselected item", 2, {1, 2}, 6},
      {"extended, no caret", 2, {1}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND a = make();
    set(a, 80, c.multiSelect);
    for (const char* t : {"a", "b", "c", "d", "e", "f", "g"}) lx::lbxAddString(lx::instanceOf(a), t);
    for (int i : c.selected) set(a, 29, i), set(a, 83, 1);  // Row, Selected
    ASSERT_EQ(set(a, 77, c.caret), 0);
    HWND b = make();
    ASSERT_EQ(load(b, save(a)), st::kLoadOk);
    EXPECT_EQ(get32(b, 77), c.caret);
    EXPECT_EQ(SendMessage(b, lx::LB_GETCARETINDEX, 0, 0), SendMessage(a, lx::LB_GETCARETINDEX, 0, 0));
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(lx::lbxIsSelected(lx::instanceOf(b), i), lx::lbxIsSelected(lx::instanceOf(a), i)) << i;
    EXPECT_EQ(save(b), save(a));
  }
}

TEST_F(SavedStateTest, LoadingReplacesWhatTheListHeld) {
  HWND a = make();
  lx::lbxAddString(lx::instanceOf(a), "only");
  const Bytes small = save(a);
  HWND b = designed();
  ASSERT_EQ(load(b, small), st::kLoadOk);
  EXPECT_EQ(save(b), small);
  EXPECT_EQ(get16(b, 32), 0);
  EXPECT_EQ(get16(b, 206), 0);
}

// A list that held more or fewer rows (spread over several record pages,
// with heights and data of their own) becomes the saved list
// exactly, as a fresh list does.
TEST_F(SavedStateTest, LoadingOverLongerAndShorterListsGivesTheSavedRows) {
  auto filled = [&](int rows, int salt) {
    HWND h = looked();
    lx::LbxInstance* inst = lx::instanceOf(h);
    for (int i = 0; i < rows; ++i) {
      const std::string t = "row " + std::to_string(i * salt) + "\tb" + std::to_string(i % 3);
      lx::lbxAddString(inst, t.c_str());
      if (i % (5 + salt) == 0) {
        lx::lbxSetRowHeight(inst, i, 30 + salt);
        lx::lbxSetItemData(inst, i, static_cast<std::uintptr_t>(i * salt));
      }
    }
    return h;
  };
  const struct {
    int saved, before;
  } kCases[] = {{10, 8000}, {4000, 8000}, {9000, 3000}, {7200, 7200}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.saved << " rows over " << c.before);
    const Bytes state = save(filled(c.saved, 1));
    HWND target = filled(c.before, 2);
    ASSERT_EQ(load(target, state), st::kLoadOk);
    EXPECT_EQ(save(target), state);
    HWND fresh = make();
    ASSERT_EQ(load(fresh, state), st::kLoadOk);
    EXPECT_EQ(save(fresh), state);
  }
}

TEST_F(SavedStateTest, AnEmptyListWritesItsCountsTipsAndEnd) {
  HWND h = make();
  const Bytes b = save(h);
  const Bytes head = {0x2B, 0x45, 0x39, 0x31, 103, 0, 0, 0, 0, 0};
  ASSERT_GE(b.size(), head.size());
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 10), head);
  // No tables (nothing uses them); the five look sets; the counts, each with
  // its default record; the tip and list settings; the end.
  auto recs = records(b);
  ASSERT_EQ(recs.size(), 15u);
  EXPECT_EQ(recs[13].first, 33);
  EXPECT_EQ(recs[13].second % 6, 0u);
  recs[13].second = 0;
  const std::vector<std::pair<int, std::uint32_t>> want = {
      {19, 37}, {20, 37}, {21, 37}, {22, 37}, {23, 37}, {7, 4},  {10, 4},  {11, 18},
      {6, 4},   {8, 4},   {13, 30}, {28, 4},  {31, 15}, {33, 0}, {255, 0}};
  EXPECT_EQ(recs, want);
  // The default group and column are index -1.
  const std::size_t g = recordAt(b, 10);
  EXPECT_EQ(Bytes(b.begin() + static_cast<long>(g) + 5, b.begin() + static_cast<long>(g) + 9), Bytes(4, 0xFF));
}

TEST_F(SavedStateTest, ARefusedStreamLeavesTheListAsItWas) {
  HWND src = designed();
  const Bytes good = save(src);
  HWND target = make();
  lx::lbxAddString(lx::instanceOf(target), "keep me");
  set(target, 32, 0);
  const Bytes before = save(target);

  auto patched = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
    Bytes b = good;
    std::memcpy(&b[at], bytes.data(), bytes.size());
    return b;
  };
  // Offsets in the good stream from its group count record (tag 7, u32 2).
  const std::size_t at = recordAt(good, 7);
  struct Case {
    const char* what;
    Bytes stream;
    int result;
  };
  Bytes endWithData = good;
  endWithData[endWithData.size() - 4] = 1;
  endWithData.push_back(0);
  const std::vector<Case> cases = {
      {"empty", {}, st::kLoadTruncated},
      {"wrong magic", patched(0, {'X'}), st::kLoadBadMagic},
      {"record longer than the data", patched(at + 1, {0xFF, 0xFF, 0xFF, 0x7F}), st::kLoadTruncated},
      {"group count above the limit", patched(at + 5, {0x01, 0x01, 0, 0}), st::kLoadMalformed},
      {"group count record of the wrong size", patched(at + 1, {3, 0, 0, 0}), st::kLoadMalformed},
      {"group index past the count", patched(at + 14, {9, 0, 0, 0}), st::kLoadMalformed},
      {"entry before any group", patched(at + 9, {11}), st::kLoadMalformed},
      {"a look slot past the attribute table", patched(recordAt(good, 11) + 5, {0x7F, 0}), st::kLoadMalformed},
      {"end record with data", endWithData, st::kLoadMalformed},
      {"no end record", Bytes(good.begin(), good.end() - 5), st::kLoadTruncated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(load(target, c.stream), c.result);
    EXPECT_EQ(save(target), before);
  }
  // Every proper prefix of a good stream is refused as cut short, and
  // leaves the list as it was.
  for (std::size_t n = 0; n < good.size(); ++n) {
    ASSERT_EQ(load(target, Bytes(good.begin(), good.begin() + static_cast<long>(n))), st::kLoadTruncated) << n;
    if (n % 97 == 0) {
      ASSERT_EQ(save(target), before) << n;
    }
  }
  EXPECT_EQ(save(target), before);
}

// Little-endian bytes of `v`.
Bytes le(std::uint32_t v, int width) {
  Bytes b;
  for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
// One record: tag, length, data.
Bytes rec(int tag, const Bytes& data) { return cat({{static_cast<std::uint8_t>(tag)}, le(static_cast<std::uint32_t>(data.size()), 4), data}); }
// A list (33) or combo (34) settings record with one entry.
Bytes settingRec(int tag, int id, std::uint32_t value) { return rec(tag, cat({le(static_cast<std::uint32_t>(id), 2), le(value, 4)})); }
// A bitmap picture record: its head and `pixelBytes` bytes of pixels.
Bytes bitmapRecord(std::uint32_t w, std::uint32_t h, std::uint32_t bpp, std::size_t pixelBytes) {
  return cat({le(1, 2), le(0, 2), le(0, 4), le(w, 4), le(h, 4), le(bpp, 4), Bytes(pixelBytes, 0x5A)});
}
const Bytes kHeader = {0x2B, 0x45, 0x39, 0x31, 103, 0, 0, 0, 0, 0};
const Bytes kEnd = {255, 0, 0, 0, 0};

// Hostile records, each put into a good stream just before its end (after
// every record the list would apply) and into a bare one: every stream is
// refused whole, and neither a list nor a combo changes.
TEST_F(SavedStateTest, HostileRecordsAreRefusedWholeAndTheListIsUnchanged) {
  const Bytes good = save(looked());
  const Bytes goodBody(good.begin(), good.end() - static_cast<long>(kEnd.size()));
  constexpr std::uint32_t kWild = 0x41414141;
  struct Case {
    const char* what;
    Bytes records;
    int result;
  };
  const std::vector<Case> cases = {
      // Pointer-valued ids in the list and combo settings, with wild values.
      {"SearchText as a number", settingRec(33, 89, 1), st::kLoadMalformed},
      {"FontName as a number", settingRec(33, 503, kWild), st::kLoadMalformed},
      {"HeaderFontName as a number", settingRec(33, 52, kWild), st::kLoadMalformed},
      {"ColWidth as a number", settingRec(33, 73, kWild), st::kLoadMalformed},
      {"FontSize as a number", settingRec(33, 504, kWild), st::kLoadMalformed},
      {"ColPicture as a number", settingRec(33, 139, kWild), st::kLoadMalformed},
      {"Text as a number", settingRec(33, 30, kWild), st::kLoadMalformed},
      {"InsertRow as a number", settingRec(33, 138, kWild), st::kLoadMalformed},
      {"the saved state inside itself", settingRec(33, 166, kWild), st::kLoadMalformed},
      {"an action (Clear)", settingRec(33, 85, 3), st::kLoadMalformed},
      {"an id no property has", settingRec(33, 600, 1), st::kLoadMalformed},
      {"combo SelText as a number", settingRec(34, 177, kWild), st::kLoadMalformed},
      {"combo ColWidth as a number", settingRec(34, 73, kWild), st::kLoadMalformed},
      {"a list setting in the combo record", settingRec(34, 86, 2), st::kLoadMalformed},
      {"a good setting beside a bad one", cat({settingRec(33, 86, 2), settingRec(33, 89, 1)}), st::kLoadMalformed},
      // Lengths, counts and offsets.
      {"settings of a broken size", rec(33, Bytes(7, 0)), st::kLoadMalformed},
      {"settings longer than the data", cat({{33}, le(0x7FFFFFF0, 4), Bytes(12, 0)}), st::kLoadTruncated},
      {"two item counts", cat({rec(28, le(1, 4)), rec(28, le(1, 4))}), st::kLoadMalformed},
      {"colour table counting more than it holds", rec(2, cat({le(3, 2), le(3, 2), le(0xFF, 4)})), st::kLoadMalformed},
      {"attribute table using more than its slots", rec(4, cat({le(1, 2), le(2, 2), Bytes(74, 0)})), st::kLoadMalformed},
      {"font table counting more than it holds", rec(1, cat({le(2, 2), le(2, 2), Bytes(56, 0)})), st::kLoadMalformed},
      {"tip record of a broken size", rec(31, Bytes(14, 0)), st::kLoadMalformed},
      {"combo record of a broken size", rec(30, Bytes(101, 0)), st::kLoadMalformed},
  };
  // Records that only make sense at the start of a stream.
  const std::vector<Case> bare = {
      {"item index past the count", cat({rec(28, le(2, 4)), rec(9, le(5, 4))}), st::kLoadMalformed},
      {"item count past the limit", rec(28, le(0xFFFFFFFF, 4)), st::kLoadMalformed},
      {"a cell text before any item", cat({rec(6, le(1, 4)), rec(8, le(0, 4)), rec(27, {'x'})}), st::kLoadMalformed},
      {"a cell of a column past the count",
       cat({rec(6, le(1, 4)), rec(28, le(1, 4)), rec(9, le(0, 4)), rec(8, le(4, 4))}), st::kLoadMalformed},
      // Pictures: the table's count, the two forms and their fields.
      {"a picture without its table", rec(29, Bytes(12, 0)), st::kLoadMalformed},
      {"more pictures than the table counts", cat({rec(5, {1, 0, 1, 0}), rec(29, {}), rec(29, {})}), st::kLoadMalformed},
      {"fewer pictures than the table counts", cat({rec(5, {2, 0, 2, 0}), rec(29, {})}), st::kLoadMalformed},
      {"a picture of neither form", cat({rec(5, {1, 0, 1, 0}), rec(29, Bytes(5, 0))}), st::kLoadMalformed},
      {"a bitmap of width 0", cat({rec(5, {1, 0, 1, 0}), rec(29, bitmapRecord(0, 1, 32, 0))}), st::kLoadMalformed},
      {"a bitmap wider than any", cat({rec(5, {1, 0, 1, 0}), rec(29, bitmapRecord(16385, 1, 1, 2050))}),
       st::kLoadMalformed},
      {"a bitmap of 8 bits a pixel", cat({rec(5, {1, 0, 1, 0}), rec(29, bitmapRecord(2, 2, 8, 4))}), st::kLoadMalformed},
      {"a bitmap short of its rows", cat({rec(5, {1, 0, 1, 0}), rec(29, bitmapRecord(3, 2, 32, 23))}),
       st::kLoadMalformed},
      {"a bitmap longer than its rows", cat({rec(5, {1, 0, 1, 0}), rec(29, bitmapRecord(3, 2, 32, 25))}),
       st::kLoadMalformed},
      {"a bitmap far larger than its record", cat({rec(5, {1, 0, 1, 0}), rec(29, bitmapRecord(16384, 16384, 32, 0))}),
       st::kLoadMalformed},
      {"pixels of a storage kind other than a bitmap",
       cat({rec(5, {1, 0, 1, 0}), rec(29, [] { Bytes b = bitmapRecord(1, 1, 32, 4); b[2] = 1; return b; }())}),
       st::kLoadMalformed},
      {"a look naming a colour past its table",
       cat({rec(2, cat({le(1, 2), le(1, 2), le(0xFF, 4)})), rec(19, cat({le(0xFFFFFFFF, 4), le(9, 2), Bytes(31, 0)}))}),
       st::kLoadMalformed},
  };

  HWND list = looked();
  WNDCLASS wc;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); };
  wc.lpszClassName = "HostileStateParent";
  RegisterClass(&wc);
  HWND parent = CreateWindow("HostileStateParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                             nullptr);
  made_.push_back(parent);
  HWND combo = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE, 10, 10, 150, 24, parent, nullptr, nullptr,
                            nullptr);
  ASSERT_NE(combo, nullptr);
  made_.push_back(combo);
  ASSERT_EQ(load(combo, good), st::kLoadOk);
  for (HWND target : {list, combo}) {
    const Bytes before = save(target);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      EXPECT_EQ(load(target, cat({goodBody, c.records, kEnd})), c.result);
      EXPECT_EQ(load(target, cat({kHeader, c.records, kEnd})), c.result);
      ASSERT_EQ(save(target), before);
    }
    for (const Case& c : bare) {
      SCOPED_TRACE(c.what);
      EXPECT_EQ(load(target, cat({kHeader, c.records, kEnd})), c.result);
      ASSERT_EQ(save(target), before);
    }
  }
}

// The setters the stream reaches take the value itself and refuse every id
// of another kind, whatever the number.
TEST_F(SavedStateTest, TheStreamsSettersNeverTakeANumberForAPointer) {
  HWND h = designed();
  lx::LbxInstance* inst = lx::instanceOf(h);
  set(h, 28, 0);
  set(h, 197, 0);
  const Bytes before = save(h);
  for (int id : {30, 31, 52, 53, 62, 65, 67, 73, 89, 138, 139, 147, 166, 199, 200, 214, 239, 503, 504}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(lx::propertySetNumber(inst, id, 0x41414141), 30503);
    EXPECT_EQ(lx::propertySetNumber(inst, id, 1), 30503);
  }
  EXPECT_EQ(lx::propertySetFloat(inst, 89, 1.0f), 30503);  // a text
  EXPECT_EQ(lx::propertySetFloat(inst, 86, 1.0f), 30503);  // a number
  EXPECT_EQ(lx::propertySetText(inst, 73, "12"), 30503);   // a float
  EXPECT_EQ(lx::propertySetText(inst, 166, "+E91"), 30503);
  EXPECT_EQ(save(h), before);
  // Each kind through its own setter.
  EXPECT_EQ(lx::propertySetText(inst, 89, "fig"), 0);
  EXPECT_EQ(getText(h, 89), "fig");
  EXPECT_EQ(lx::propertySetFloat(inst, 73, 33.0f), 0);
  EXPECT_FLOAT_EQ(getFloat(h, 73), 33.0f);
  EXPECT_EQ(lx::propertySetNumber(inst, 86, 3), 0);
  EXPECT_EQ(get16(h, 86), 3);
}

// The stream with the first record of `tag` replaced by one with `data`.
Bytes replaced(const Bytes& stream, int tag, const Bytes& data) {
  for (std::size_t p = 10; p + 5 <= stream.size();) {
    std::uint32_t n;
    std::memcpy(&n, &stream[p + 1], 4);
    if (stream[p] == tag)
      return cat({Bytes(stream.begin(), stream.begin() + static_cast<long>(p)), rec(tag, data),
                  Bytes(stream.begin() + static_cast<long>(p + 5 + n), stream.end())});
    p += 5 + n;
  }
  ADD_FAILURE() << "no record " << tag;
  return stream;
}

// A list with pictures saved by another process and loaded here draws the
// same pixels, and its pictures are the same bitmaps.
TEST_F(SavedStateTest, PicturesSavedInOneProcessDrawTheSameInAnother) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string stateFile = (dir / "pictures.state").string(), pixelFile = (dir / "pictures.pixels").string();
  const std::string command = std::string("'") + TV_STATE_PEER + "' '" + stateFile + "' '" + pixelFile + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string stream = tvtest::readFile(stateFile), theirPixels = tvtest::readFile(pixelFile);
  ASSERT_FALSE(stream.empty());
  HWND h = CreateWindow(lx::kListClass, "", WS_VISIBLE, 0, 0, statefixture::kListW, statefixture::kListH, nullptr,
                        nullptr, nullptr, nullptr);
  ASSERT_TRUE(h);
  made_.push_back(h);
  ASSERT_EQ(load(h, Bytes(stream.begin(), stream.end())), st::kLoadOk);
  const std::string ourPixels = statefixture::paint(h);
  ASSERT_EQ(ourPixels.size(), theirPixels.size());
  EXPECT_TRUE(ourPixels == theirPixels) << "the loaded list paints differently";
  // The pictures drew: the colour bitmap's first pixel is in the painting.
  const std::uint32_t first = statefixture::colourPixels()[0];
  std::size_t seen = 0;
  for (std::size_t i = 0; i + 4 <= ourPixels.size(); i += 4) {
    std::uint32_t px;
    std::memcpy(&px, &ourPixels[i], 4);
    seen += (px & 0xFFFFFF) == first;
  }
  EXPECT_GT(seen, 0u);
  // Each picture is a bitmap with the pixels it was saved with.
  auto picturePixels = [&](int id) {
    props::PictureBlock pic{};
    SendMessage(h, props::kGetMessage, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&pic));
    EXPECT_EQ(pic.kind, 0);
    const auto bm = reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(pic.value));
    std::string px(static_cast<std::size_t>(GetBitmapBits(bm, 0, nullptr)), '\0');
    GetBitmapBits(bm, static_cast<LONG>(px.size()), px.data());
    return px;
  };
  set(h, 28, 0);
  const std::vector<std::uint32_t> colour = statefixture::colourPixels();
  EXPECT_EQ(picturePixels(139), std::string(reinterpret_cast<const char*>(colour.data()), colour.size() * 4));
  set(h, 29, 1);
  const std::vector<std::uint8_t> mono = statefixture::monoPixels();
  EXPECT_EQ(picturePixels(147), std::string(mono.begin(), mono.end()));
  // Saved again here, the stream is the one the other process wrote.
  EXPECT_EQ(save(h), Bytes(stream.begin(), stream.end()));
}

// A picture written empty, and a 12-byte handle entry (as older streams
// hold them: a handle means nothing in another process, even when it names a
// live bitmap here), load as no picture; a resource number keeps.
TEST_F(SavedStateTest, EmptyPicturesAndHandleEntriesLoadAsNoPicture) {
  HWND a = make();
  const statefixture::Bitmaps bitmaps = statefixture::fillPictureList(a);
  const Bytes good = save(a);
  struct Case {
    const char* what;
    Bytes picture;  // the first picture record's data
    std::uint16_t kind;
    std::uint32_t value;
  } cases[] = {
      {"empty", {}, 0, 0},
      {"handle of a live bitmap", cat({le(1, 2), le(0, 2), le(statefixture::handleValue(bitmaps.mono), 4), le(0, 4)}), 0,
       0},
      {"resource number", cat({le(1, 2), le(1, 2), le(77, 4), le(5, 4)}), 1, 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND b = make();
    ASSERT_EQ(load(b, replaced(good, 29, c.picture)), st::kLoadOk);
    set(b, 28, 0);
    props::PictureBlock pic{9, 9, 9, 9, 9};
    SendMessage(b, props::kGetMessage, 139, reinterpret_cast<LPARAM>(&pic));
    EXPECT_EQ(pic.kind, c.kind);
    EXPECT_EQ(pic.value, c.value);
    // The rest of the stream is applied: the row picture is there.
    set(b, 29, 1);
    SendMessage(b, props::kGetMessage, 147, reinterpret_cast<LPARAM>(&pic));
    EXPECT_NE(pic.value, 0u);
  }
  // A picture whose bitmap is gone is written empty.
  DeleteObject(bitmaps.colour);
  const Bytes gone = save(a);
  const std::size_t at = recordAt(gone, 29);
  ASSERT_LT(at, gone.size());
  EXPECT_EQ(Bytes(gone.begin() + static_cast<long>(at) + 1, gone.begin() + static_cast<long>(at) + 5), le(0, 4));
  DestroyWindow(a);
  DeleteObject(bitmaps.mono);
}

TEST_F(SavedStateTest, UnknownRecordsAreSkippedByTheirLength) {
  HWND a = designed();
  Bytes b = save(a);
  const Bytes unknown = {200, 3, 0, 0, 0, 1, 2, 3, 3 /* sub-attribute pool */, 0, 0, 0, 0};
  b.insert(b.begin() + 10, unknown.begin(), unknown.end());
  HWND c = make();
  ASSERT_EQ(load(c, b), st::kLoadOk);
  EXPECT_EQ(save(c), save(a));
}

TEST_F(SavedStateTest, AnOldStreamSetsItsColumnCountAndStopsAtItsFirstOtherTag) {
  HWND h = make();
  const Bytes old = {0x2B, 0x45, 0x39, 0x31, 101, 0, 1, 3, 0, 9, 0xEE};
  EXPECT_EQ(load(h, old), st::kLoadOk);
  EXPECT_EQ(get16(h, 32), 3);
}

TEST_F(SavedStateTest, TheBlockWrappersCarryTheStream) {
  HWND a = designed();
  const Bytes stream = save(a);

  EXPECT_EQ(LB_GetStateBlob(a, 165), nullptr);
  HGLOBAL blob = LB_GetStateBlob(a, st::kStateProperty);
  ASSERT_NE(blob, nullptr);
  {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(blob));
    std::uint32_t n;
    std::memcpy(&n, p, 4);
    EXPECT_EQ(n, stream.size());
    EXPECT_EQ(Bytes(p + 4, p + 4 + n), stream);
    GlobalUnlock(blob);
  }
  // Through the export, the messages and the property.
  HWND b = make(), c = make(), d = make();
  EXPECT_EQ(LB_SetStateBlob(b, st::kStateProperty, blob), st::kLoadOk);
  EXPECT_EQ(SendMessage(c, lx::kMsgLoadState, 0, reinterpret_cast<LPARAM>(blob)), st::kLoadOk);
  EXPECT_EQ(set(d, st::kStateProperty, reinterpret_cast<LPARAM>(blob)), 0);
  for (HWND w : {b, c, d}) EXPECT_EQ(save(w), stream);
  GlobalFree(blob);

  auto viaMessage = reinterpret_cast<HGLOBAL>(SendMessage(a, lx::kMsgSaveState, 0, 0));
  auto viaProperty = reinterpret_cast<HGLOBAL>(SendMessage(a, props::kGetMessage, st::kStateProperty, 0));
  for (HGLOBAL g : std::vector<HGLOBAL>{viaMessage, viaProperty}) {
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(GlobalSize(g), stream.size() + 4);
    GlobalFree(g);
  }

  // A length larger than its block, a wrong id, no block: refused.
  HGLOBAL lying = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8);
  auto* p = static_cast<std::uint8_t*>(GlobalLock(lying));
  const std::uint32_t big = 1000;
  std::memcpy(p, &big, 4);
  GlobalUnlock(lying);
  const Bytes before = save(b);
  EXPECT_NE(LB_SetStateBlob(b, st::kStateProperty, lying), st::kLoadOk);
  EXPECT_NE(LB_SetStateBlob(b, 1, lying), st::kLoadOk);
  EXPECT_NE(LB_SetStateBlob(b, st::kStateProperty, nullptr), st::kLoadOk);
  EXPECT_EQ(set(b, st::kStateProperty, reinterpret_cast<LPARAM>(lying)), 30503);
  EXPECT_EQ(save(b), before);
  GlobalFree(lying);
}

TEST_F(SavedStateTest, AWriterThatCannotGrowReportsTheFailure) {
  HWND a = designed();
  st::StateWriter w(16);
  test::failGlobalAlloc(1);
  EXPECT_FALSE(w.append("abc", 3));
  EXPECT_TRUE(w.failed());
  EXPECT_FALSE(w.append("d", 1));  // nothing is written after a failure
  EXPECT_EQ(w.size(), 0u);

  test::failGlobalAlloc(1);
  EXPECT_EQ(LB_GetStateBlob(a, st::kStateProperty), nullptr);
  st::StateWriter grown(4);  // many small growths: the second one fails
  ASSERT_TRUE(grown.append("abcd", 4));
  test::failGlobalAlloc(1);
  EXPECT_FALSE(grown.append("efgh", 4));
  EXPECT_EQ(grown.size(), 4u);
  EXPECT_EQ(std::memcmp(grown.data(), "abcd", 4), 0);
}

TEST_F(SavedStateTest, TheExportsRefuseWindowsThatAreNoList) {
  st::StateWriter w;
  Bytes none = {1};
  st::StateReader r(none.data(), none.size());
  EXPECT_EQ(LB_SaveState(nullptr, &w), -1);
  EXPECT_EQ(LB_LoadState(nullptr, &r), -1);
  EXPECT_EQ(LB_GetStateBlob(nullptr, st::kStateProperty), nullptr);
  EXPECT_EQ(LB_SetStateBlob(nullptr, st::kStateProperty, nullptr), -1);
}

}  // namespace

namespace {

LRESULT parentProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); }

TEST_F(SavedStateTest, AComboCarriesTheStateOfItsList) {
  HWND a = designed();
  const Bytes stream = save(a);
  WNDCLASS wc;
  wc.lpfnWndProc = parentProc;
  wc.lpszClassName = "StateTestParent";
  ASSERT_NE(RegisterClass(&wc), 0);
  HWND parent = CreateWindow("StateTestParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                             nullptr);
  ASSERT_NE(parent, nullptr);
  made_.push_back(parent);
  auto makeCombo = [&] {
    HWND c = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE, 10, 10, 150, 24, parent, nullptr, nullptr,
                          nullptr);
    made_.push_back(c);
    return c;
  };
  HWND combo = makeCombo();
  ASSERT_NE(combo, nullptr);

  HGLOBAL blob = LB_GetStateBlob(a, st::kStateProperty);
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(SendMessage(combo, lx::kMsgLoadState, 0, reinterpret_cast<LPARAM>(blob)), st::kLoadOk);
  GlobalFree(blob);
  // The combo's settings travel with its list's: tags 30 and 34.
  const struct {
    int id;
    std::int32_t value;
  } settings[] = {{173, 5}, {174, 300}, {183, 4}, {258, 3}, {252, 1}, {256, -1}, {257, 250}, {185, 40}};
  for (const auto& c : settings) ASSERT_EQ(set(combo, c.id, c.value), 0) << c.id;
  const Bytes comboStream = save(combo);
  const auto recs = records(comboStream);
  for (int tag : {30, 34})
    EXPECT_NE(std::find_if(recs.begin(), recs.end(), [tag](const auto& r) { return r.first == tag; }), recs.end());
  HWND other = makeCombo();
  ASSERT_EQ(load(other, comboStream), st::kLoadOk);
  EXPECT_EQ(save(other), comboStream);
  for (const auto& c : settings) EXPECT_EQ(get32(other, c.id) & 0xFFFF, c.value & 0xFFFF) << c.id;
  EXPECT_EQ(SendMessage(other, lx::CB_GETCOUNT, 0, 0), 4);
  auto back = reinterpret_cast<HGLOBAL>(SendMessage(other, lx::kMsgSaveState, 0, 0));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(GlobalSize(back), comboStream.size() + 4);
  GlobalFree(back);
  // A window of another class is refused, whatever its window long holds.
  EXPECT_EQ(LB_SaveState(parent, nullptr), -1);
  st::StateWriter w;
  EXPECT_EQ(LB_SaveState(parent, &w), -1);
  EXPECT_EQ(LB_GetStateBlob(parent, st::kStateProperty), nullptr);
}

}  // namespace
