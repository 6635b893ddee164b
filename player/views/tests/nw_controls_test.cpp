// The wrapper methods against a recording set of exports (defined here in
// place of the library's): how each argument form is passed on and how each
// result is formed, a failing export, and handles that are no control.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win/window.h"
#include "player/views/nw_controls.h"

using namespace plat::win;
using orv::views::CnwComboBox;
using orv::views::CnwListBox;

namespace {
struct Call {
  int calls = 0;
  std::string name;
  HWND hwnd = nullptr;
  long long i = 0;
  float f = 0;
  const void* p = nullptr;
  std::int32_t size = 0;
  LRESULT result = 0;  // what the export answers
} rec;

void note(const char* name, HWND h) {
  ++rec.calls;
  rec.name = name;
  rec.hwnd = h;
}
}  // namespace

// The recording export set.
LINDRA_API LRESULT LC_SetCol(HWND h, std::int16_t v) { note("LC_SetCol", h); rec.i = v; return rec.result; }
LINDRA_API LRESULT LC_SetRow(HWND h, std::int32_t v) { note("LC_SetRow", h); rec.i = v; return rec.result; }
LINDRA_API LRESULT LC_SetColWidth(HWND h, float v) { note("LC_SetColWidth", h); rec.f = v; return rec.result; }
LINDRA_API LRESULT LC_SetInsertRow(HWND h, const char* v) { note("LC_SetInsertRow", h); rec.p = v; return rec.result; }
LINDRA_API LRESULT LC_SetPicture(HWND h, std::uint16_t t, std::uint16_t k, std::uint32_t v, std::uint32_t a) {
  note("LC_SetPicture", h);
  rec.i = (static_cast<long long>(t) << 48) | (static_cast<long long>(k) << 32) | v;
  rec.size = static_cast<std::int32_t>(a);
  return rec.result;
}
LINDRA_API LRESULT LC_GetNextSel(HWND h, std::int32_t* out) {
  note("LC_GetNextSel", h);
  *out = 7;
  return rec.result;
}
LINDRA_API LRESULT LC_GetListApplyTo(HWND h, std::int16_t* out) {
  note("LC_GetListApplyTo", h);
  *out = 11;
  return rec.result;
}
LINDRA_API LRESULT LC_GetColWidth(HWND h, float* out) {
  note("LC_GetColWidth", h);
  *out = 3.5f;
  return rec.result;
}
LINDRA_API LRESULT LC_GetColName(HWND h, char* buffer, std::int32_t size) {
  note("LC_GetColName", h);
  rec.p = buffer;
  rec.size = size;
  if (buffer && size > 0) std::strncpy(buffer, "Title", static_cast<std::size_t>(size) - 1);
  return rec.result ? rec.result : 5;
}
LINDRA_API LRESULT LC_GetSearchText(HWND h, char* buffer, std::int32_t size) {
  note("LC_GetSearchText", h);
  rec.p = buffer;
  if (buffer && size > 0) std::strncpy(buffer, "Zug", static_cast<std::size_t>(size) - 1);
  return rec.result;
}
LINDRA_API LRESULT LC_GetPicture(HWND h, std::uint16_t* t, std::uint16_t* k, void* v, std::int32_t size,
                                 std::uint32_t* a) {
  note("LC_GetPicture", h);
  rec.p = v;
  rec.size = size;
  if (t) *t = 1;
  if (k) *k = 0;
  if (a) *a = 0;
  return rec.result;
}
LINDRA_API LRESULT LC_GetIsHScrollVisible(HWND h, LPARAM l) { note("LC_GetIsHScrollVisible", h); rec.i = l; return 1; }
LINDRA_API LRESULT LbxGetSelCount(HWND h, std::int32_t* out) { note("LbxGetSelCount", h); *out = 3; return rec.result; }
LINDRA_API LRESULT CbxSetText(HWND h, const char* v) { note("CbxSetText", h); rec.p = v; return rec.result; }
LINDRA_API LRESULT CbxSetButtonThreeDAppearance(HWND h, std::int16_t v) {
  note("CbxSetButtonThreeDAppearance", h);
  rec.i = v;
  return rec.result;
}

namespace {

class WrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    for (const char* cls : {"nwListBox3230", "nwComboBox3230", "SomethingElse"}) {
      WNDCLASS wc;
      wc.lpfnWndProc = DefWindowProc;
      wc.lpszClassName = cls;
      ASSERT_NE(RegisterClass(&wc), 0);
    }
    list_ = CreateWindow("nwListBox3230", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    combo_ = CreateWindow("nwComboBox3230", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    other_ = CreateWindow("SomethingElse", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    rec = Call{};
  }
  void TearDown() override { test::reset(); }
  HWND list_ = nullptr, combo_ = nullptr, other_ = nullptr;
};

TEST_F(WrapperTest, SettersPassTheValueAtTheExportsWidthAndAnswerItsResult) {
  CnwListBox lb(list_);
  rec.result = 30503;
  EXPECT_EQ(lb.SetCol(-1), 30503);
  EXPECT_EQ(rec.name, "LC_SetCol");
  EXPECT_EQ(rec.hwnd, list_);
  EXPECT_EQ(rec.i, -1);
  rec.result = 0;
  EXPECT_EQ(lb.SetRow(70000), 0);
  EXPECT_EQ(rec.i, 70000);
  EXPECT_EQ(lb.SetColWidth(12.25f), 0);
  EXPECT_EQ(rec.f, 12.25f);
  const char* text = "row\ttext";
  EXPECT_EQ(lb.SetInsertRow(text), 0);
  EXPECT_EQ(rec.p, text);
  EXPECT_EQ(lb.SetPicture(2, 1, 9001, 4), 0);
  EXPECT_EQ(rec.i, (2LL << 48) | (1LL << 32) | 9001);
  EXPECT_EQ(rec.size, 4);
}

TEST_F(WrapperTest, NumericGettersAnswerTheValueOrMinusOneWhenTheExportFails) {
  CnwListBox lb(list_);
  EXPECT_EQ(lb.GetNextSel(), 7);
  EXPECT_EQ(lb.GetListApplyTo(), 11);
  EXPECT_EQ(lb.GetColWidth(), 3.5f);
  EXPECT_EQ(lb.GetSelCount(), 3);
  EXPECT_EQ(lb.GetIsHScrollVisible(), 1);  // a direct get answers the export's result
  EXPECT_EQ(rec.i, 0);
  rec.result = 30500;
  EXPECT_EQ(lb.GetNextSel(), -1);
  EXPECT_EQ(lb.GetListApplyTo(), -1);
  EXPECT_EQ(lb.GetColWidth(), -1.0f);
}

TEST_F(WrapperTest, TextGettersClearTheBufferAndLenAsksWithoutOne) {
  CnwListBox lb(list_);
  char buf[16] = "old contents";
  EXPECT_EQ(lb.GetColName(buf, sizeof buf), buf);
  EXPECT_STREQ(buf, "Title");
  EXPECT_EQ(rec.size, 16);
  EXPECT_EQ(lb.GetColNameLen(), 5);
  EXPECT_EQ(rec.p, nullptr);
  EXPECT_EQ(rec.size, 0);
  // A failing export leaves the cleared buffer.
  rec.result = -1;
  std::strcpy(buf, "stale");
  rec.calls = 0;
  EXPECT_EQ(lb.GetColName(buf, 0), buf);  // size 0: nothing may be written
  EXPECT_STREQ(buf, "stale");
  EXPECT_EQ(rec.calls, 1);
}

TEST_F(WrapperTest, TheComboSearchTextComesBackOnlyWhenTheExportAnswersZero) {
  struct Case {
    LRESULT exportAnswer;
    bool comboGetsBuffer;
  } cases[] = {{0, true}, {3, false}, {-1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exportAnswer);
    char buf[8] = "stale";
    rec = Call{};
    rec.result = c.exportAnswer;
    EXPECT_EQ(CnwComboBox(combo_).GetSearchText(buf, sizeof buf), c.comboGetsBuffer ? buf : nullptr);
    EXPECT_EQ(rec.name, "LC_GetSearchText");
    EXPECT_EQ(rec.p, buf);
    // The list's getter answers its buffer whatever the export says.
    EXPECT_EQ(CnwListBox(list_).GetSearchText(buf, sizeof buf), buf);
  }
  EXPECT_EQ(CnwComboBox(other_).GetSearchText(nullptr, 0), nullptr);
}

TEST_F(WrapperTest, PictureGetterAnswersTheValueBuffer) {
  CnwListBox lb(list_);
  std::uint16_t type = 0, kind = 0;
  std::uint32_t value = 0, attr = 0;
  EXPECT_EQ(lb.GetPicture(&type, &kind, &value, 4, &attr), &value);
  EXPECT_EQ(rec.p, &value);
  EXPECT_EQ(rec.size, 4);
  EXPECT_EQ(type, 1);
}

TEST_F(WrapperTest, ComboUsesItsOwnTextSetterAndTheButtonLookSpelling) {
  CnwComboBox cb(combo_);
  EXPECT_EQ(cb.SetText("abc"), 0);
  EXPECT_EQ(rec.name, "CbxSetText");
  EXPECT_EQ(cb.SetButtonThreeDAppearance(2), 0);
  EXPECT_EQ(rec.name, "CbxSetButtonThreeDAppearance");
  EXPECT_EQ(rec.i, 2);
}

TEST_F(WrapperTest, HandlesThatAreNoControlOfTheClassAreRefused) {
  struct Case {
    const char* what;
    HWND hwnd;
  } cases[] = {{"another class", other_}, {"a combo under the list wrapper", combo_}, {"no window", nullptr}};
  for (const Case& c : cases) {
    CnwListBox lb(c.hwnd);
    rec.calls = 0;
    EXPECT_EQ(lb.SetRow(1), -1) << c.what;
    EXPECT_EQ(lb.GetNextSel(), -1) << c.what;
    char buf[8] = "stale";
    EXPECT_EQ(lb.GetColName(buf, sizeof buf), buf) << c.what;
    EXPECT_STREQ(buf, "") << c.what;
    EXPECT_EQ(lb.GetColNameLen(), -1) << c.what;
    EXPECT_EQ(rec.calls, 0) << c.what;
  }
  EXPECT_EQ(CnwComboBox(list_).SetText("x"), -1);
}

}  // namespace
