// CnwComboBox on a real combo box of the list library: the wrapper's
// argument widths and result forms meet the combo's own property handling.
#include <gtest/gtest.h>

#include <string>

#include "listctl/combo/combo.h"
#include "listctl/core/library.h"
#include "platform/win/window.h"
#include "player/views/nw_controls.h"

using namespace plat::win;
using orv::views::CnwComboBox;
namespace lx = lindra;

namespace {

int g_module;

class LiveCombo : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    ASSERT_EQ(lx::LibraryEntry(reinterpret_cast<HINSTANCE>(&g_module), lx::DLL_PROCESS_ATTACH), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "LiveComboParent";
    ASSERT_NE(RegisterClass(&wc), 0);
    parent_ = CreateWindow("LiveComboParent", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    combo_ = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE | lx::CBS_DROPDOWN, 0, 0, 150, 24, parent_,
                          reinterpret_cast<HMENU>(9), nullptr, nullptr);
    ASSERT_TRUE(parent_ && combo_);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    lx::LibraryEntry(reinterpret_cast<HINSTANCE>(&g_module), lx::DLL_PROCESS_DETACH);
    test::reset();
  }
  HWND parent_ = nullptr, combo_ = nullptr;
};

TEST_F(LiveCombo, NumericPropertiesKeepTheirRangesThroughTheWrapper) {
  CnwComboBox cb(combo_);
  EXPECT_EQ(cb.GetMaxDrop(), 8);
  EXPECT_EQ(cb.SetMaxDrop(101), 0);  // ignored
  EXPECT_EQ(cb.GetMaxDrop(), 8);
  EXPECT_EQ(cb.SetComboGap(640), 0);
  EXPECT_EQ(cb.GetComboGap(), -2);
  EXPECT_EQ(cb.SetListWidth(0), 0);
  EXPECT_EQ(cb.GetListWidth(), -1);
  EXPECT_EQ(cb.GetStyle(), 0);
  EXPECT_EQ(cb.GetListDown(), 0);
}

TEST_F(LiveCombo, TextAndSelectionGoThroughTheEdit) {
  CnwComboBox cb(combo_);
  EXPECT_EQ(cb.SetText("window"), 0);
  char buf[16];
  EXPECT_STREQ(cb.GetText(buf, sizeof buf), "window");
  cb.SetSelStart(3);
  cb.SetSelLength(2);
  EXPECT_EQ(cb.GetSelStart(), 3);
  EXPECT_EQ(cb.GetSelLength(), 2);
  EXPECT_STREQ(cb.GetSelText(buf, sizeof buf), "do");
  cb.SetSelText("");
  EXPECT_STREQ(cb.GetText(buf, sizeof buf), "winw");
}

}  // namespace
