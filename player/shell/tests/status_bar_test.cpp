// The status bar: what each pane shows with and without a book, the icons
// (reloaded for the next book even when its values are the last one's),
// the icon size, the tooltips and the help hit-test.

#include "player/shell/status_bar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "player/shell/frame_state.h"
#include "shared/language/orv_language.h"

namespace {

// An icon library that draws every icon and counts the loads.
class CountingIcons : public tv::language::IconLibrary {
 public:
  explicit CountingIcons(int* loads) : loads_(loads) {}
  std::optional<plat::ui::Image> icon(int id, int, int) override {
    ++*loads_;
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='32'><rect width='32' "
                            "height='32' fill='#" +
                            std::string(id % 2 ? "2040a0" : "a04020") + "'/></svg>";
    return plat::ui::Image{plat::ui::Image::Kind::Svg, "", std::vector<uint8_t>(svg.begin(), svg.end())};
  }
  std::optional<plat::ui::Image> bitmap(int, int, int) override { return std::nullopt; }

 private:
  int* loads_;
};

class StatusBar : public ::testing::Test {
 protected:
  void SetUp() override {
    tv::language::setIconLibraryLoader([this] { return std::make_unique<CountingIcons>(&loads_); });
    bar_ = new COrv_StatusBar(&state_, [this] { return book_; });
    window_.setStatusBar(bar_);
    bar_->SetIconSize(1);
    ASSERT_TRUE(bar_->OnCreate());
    window_.resize(800, 200);
    window_.show();
  }
  void TearDown() override { tv::language::setIconLibraryLoader({}); }
  QString text(int id) const { return bar_->PaneLabel(id)->text(); }
  bool enabled(int id) const { return bar_->PaneLabel(id)->isEnabled(); }
  bool hasIcon(int id) const { return !bar_->PaneLabel(id)->pixmap().isNull(); }

  COrv_FrameState state_;
  std::optional<COrv_StatusFacts> book_;
  int loads_ = 0;
  QMainWindow window_;
  COrv_StatusBar* bar_ = nullptr;
};

TEST_F(StatusBar, PanesWithAndWithoutABook) {
  // Display order.
  const int order[] = {107, 105, 108, 104, 111, 106, 103, 114};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(COrv_StatusBar::PaneAt(i), order[i]);
  EXPECT_EQ(COrv_StatusBar::PaneAt(8), -1);

  bar_->UpdatePanes();
  for (int id : {103, 104, 105, 106, 108, 114}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(enabled(id));
    EXPECT_TRUE(text(id).isEmpty());
  }
  book_ = COrv_StatusFacts{"The Lighthouse", 1, 3, 5, 1234, 7};
  bar_->UpdatePanes();
  struct Case {
    int id;
    const char* shown;
  };
  const Case cases[] = {{114, "1234"}, {103, " 7"}, {108, "The Lighthouse"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_TRUE(enabled(c.id));
    EXPECT_EQ(text(c.id), c.shown);
  }
  for (int id : {104, 105, 106}) EXPECT_TRUE(enabled(id)) << id;
  book_->count = 12;
  bar_->UpdatePanes();
  EXPECT_EQ(text(114), " 12");
  // Four digits fit their pane: it is never narrower than its text.
  book_->count = 1234;
  bar_->UpdatePanes();
  QApplication::processEvents();
  QLabel* count = bar_->PaneLabel(114);
  EXPECT_GE(count->width(), count->fontMetrics().horizontalAdvance("1234"));
  EXPECT_GE(count->width(), bar_->IconPixels());

  // The user pane: only while logged in, whatever name is stored.
  state_.SetUserName("Ada");
  bar_->UpdatePanes();
  EXPECT_FALSE(enabled(107));
  EXPECT_TRUE(text(107).isEmpty());
  state_.SetLoggedIn(1);
  bar_->UpdatePanes();
  EXPECT_TRUE(enabled(107));
  EXPECT_EQ(text(107), "Ada");
  // The anonymous user is shown as the preferences name it.
  state_.SetUserName("");
  bar_->UpdatePanes();
  EXPECT_TRUE(enabled(107));
  EXPECT_EQ(text(107), "Default");
}

TEST_F(StatusBar, IconsChangeWithTheValueAndComeBackForTheNextBook) {
  book_ = COrv_StatusFacts{"A", 2, 3, 4, 10, 1};
  bar_->UpdatePanes();
  EXPECT_EQ(bar_->ShownValue(105), 4);
  EXPECT_EQ(bar_->ShownValue(104), 3);
  EXPECT_EQ(bar_->ShownValue(106), 2);
  for (int id : {104, 105, 106}) EXPECT_TRUE(hasIcon(id)) << id;
  const int afterFirst = loads_;
  EXPECT_EQ(afterFirst, 3);
  // The same values again: no reload.
  bar_->UpdatePanes();
  EXPECT_EQ(loads_, afterFirst);
  // A different difficulty: that icon only.
  book_->difficulty = 1;
  bar_->UpdatePanes();
  EXPECT_EQ(loads_, afterFirst + 1);

  // The last book closes: disabled, no icons, nothing remembered.
  book_.reset();
  bar_->UpdatePanes();
  for (int id : {104, 105, 106}) {
    EXPECT_FALSE(hasIcon(id)) << id;
    EXPECT_EQ(bar_->ShownValue(id), -1);
  }
  // The next book has the same values: its icons appear at once.
  book_ = COrv_StatusFacts{"B", 2, 1, 4, 10, 1};
  bar_->UpdatePanes();
  for (int id : {104, 105, 106}) EXPECT_TRUE(hasIcon(id)) << id;

  // A value beyond its list gives no icon.
  book_->category = 99;
  bar_->UpdatePanes();
  EXPECT_FALSE(hasIcon(105));
  EXPECT_EQ(bar_->ShownValue(105), 99);

  // Set and cleared by the frame, the remembered values stay.
  bar_->SetPaneIcons(1, 2, 3);
  EXPECT_TRUE(hasIcon(105));
  EXPECT_EQ(bar_->ShownValue(105), 99);
  bar_->ClearPaneIcons();
  for (int id : {104, 105, 106}) EXPECT_FALSE(hasIcon(id)) << id;
}

TEST_F(StatusBar, IconSizes) {
  struct Case {
    unsigned asked, stored;
    int pixels, height;
  };
  const Case cases[] = {{0, 0, 16, 24}, {1, 1, 24, 32}, {2, 2, 32, 40}, {7, 2, 32, 40}, {0xFFFFFFFFu, 2, 32, 40}};
  for (const Case& c : cases) {
    COrv_StatusBar bar(&state_);
    bar.SetIconSize(c.asked);
    EXPECT_EQ(bar.IconSizeIndex(), c.stored);
    EXPECT_EQ(bar.IconPixels(), c.pixels);
    EXPECT_EQ(bar.MinimumBarHeight(), c.height);
  }
  EXPECT_GE(bar_->minimumHeight(), 32);
  EXPECT_EQ(bar_->PaneLabel(105)->width(), 24);
}

TEST_F(StatusBar, ToolTips) {
  for (int id : COrv_StatusBar::kPanes) EXPECT_EQ(bar_->ToolTipText(id), "") << id;
  // Difficulty 3, category 6, text in French (lists number difficulties and
  // categories from 1, languages from 0).
  book_ = COrv_StatusFacts{"A", 1, 3, 6, 10, 1};
  struct Case {
    int id;
    const char* tip;
  };
  const Case cases[] = {
      {103, "Current Echomark"},
      {104, "Difficulty level: Intermediate"},
      {105, "Talvane category: Science & Technology"},
      {106, "Talvane language: French"},
      {107, ""},
      {108, "Talvane title"},
      {111, ""},
      {114, "Number of Echomarks in Talvane"},
  };
  bar_->UpdatePanes();
  for (const Case& c : cases) {
    EXPECT_EQ(bar_->ToolTipText(c.id), c.tip) << c.id;
    EXPECT_EQ(bar_->PaneLabel(c.id)->toolTip().toStdString(), c.tip) << c.id;
  }
}

TEST_F(StatusBar, HelpHitTest) {
  QApplication::processEvents();
  const QPoint category = bar_->PaneLabel(105)->geometry().center();
  const QPoint difficulty = bar_->PaneLabel(104)->geometry().center();
  const QPoint title = bar_->PaneLabel(108)->geometry().center();
  EXPECT_EQ(bar_->HelpHitTest(category), 0x10000 + 105);
  EXPECT_EQ(bar_->HelpHitTest(difficulty), 0x10000 + 104);
  EXPECT_EQ(bar_->HelpHitTest(title), 0x10000 + 400);
  EXPECT_EQ(bar_->HelpHitTest(QPoint(-5, -5)), 0);
}

}  // namespace
