// The HTML view offscreen: the index shown first, links followed through
// the page store, and the view's own history.
#include <gtest/gtest.h>

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <filesystem>

#include "grammar/brindle_browse.h"
#include "grammar/tests/page_fixture.h"
#include "platform/ui/recording_sink.h"

namespace fs = std::filesystem;
using brindletest::PageFolder;

namespace {

struct ViewFixture {
  explicit ViewFixture(const std::map<std::string, std::string>& pages) : folder(pages) { make(); }
  ViewFixture() { make(); }
  void make() {
    auto store = std::make_unique<CBrindlePageStore>(folder.work, folder.program);
    EXPECT_EQ(store->SetUp(), std::nullopt);
    view = std::make_unique<CBrindleBrowse>(std::move(store));
    view->resize(500, 400);
    view->show();
  }
  // Clicks the link whose text is `text`.
  void click(const QString& text) {
    const QTextCursor found = view->document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor at(view->document());
    at.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    const QPoint point = view->cursorRect(at).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
  }
  bool shows(const char* text) const { return view->toPlainText().contains(QString::fromUtf8(text)); }

  PageFolder folder;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  std::unique_ptr<CBrindleBrowse> view;
};

TEST(BrowseTest, ShowsTheIndexFollowsLinksAndGoesBackAndForward) {
  ViewFixture f;
  f.view->OnInitialUpdate();
  EXPECT_TRUE(f.shows("Grammar index"));
  EXPECT_FALSE(f.view->CanGoBack());

  f.click("Verbs");
  ASSERT_TRUE(f.shows("Verbs")) << f.view->toPlainText().toStdString();
  EXPECT_FALSE(f.shows("Grammar index"));
  EXPECT_EQ(f.view->source().toLocalFile().toStdString(), (f.folder.work / "0012.htm").string());
  // Shown, the page's working copy is gone; the index and the pictures stay.
  EXPECT_FALSE(fs::exists(f.folder.work / "0012.htm"));
  EXPECT_TRUE(fs::exists(f.folder.work / "0000.htm"));
  EXPECT_TRUE(fs::exists(f.folder.work / "Images" / "0012a.png"));

  EXPECT_TRUE(f.view->OnCommand(CBrindleBrowse::ID_GO_BACK));
  EXPECT_TRUE(f.shows("Grammar index"));
  EXPECT_TRUE(f.view->CanGoForward());
  EXPECT_TRUE(f.view->OnCommand(CBrindleBrowse::ID_GO_FORWARD));
  EXPECT_TRUE(f.shows("Verbs"));
  EXPECT_FALSE(fs::exists(f.folder.work / "0012.htm"));

  // Refresh unpacks the current page again; home shows the index.
  EXPECT_TRUE(f.view->OnCommand(CBrindleBrowse::ID_REFRESH));
  EXPECT_TRUE(f.shows("Verbs"));
  EXPECT_TRUE(f.view->OnCommand(CBrindleBrowse::ID_GO_HOME));
  EXPECT_TRUE(f.shows("Grammar index"));
  EXPECT_FALSE(f.view->CanGoForward());
  EXPECT_FALSE(f.view->OnCommand(57601));
  EXPECT_TRUE(f.sink.boxes().empty());
}

TEST(BrowseTest, ARefusedNavigationLeavesThePageAndTheHistory) {
  ViewFixture f({{"0000", "<html><body><p><a href=\"../../victim.htm\">Away</a> "
                          "<a href=\"0012.htm\">Verbs</a></p></body></html>"},
                 {"0012", "<html><body><p>Verbs page</p></body></html>"}});
  const fs::path victim = f.folder.temp.parent_path() / "victim.htm";
  tvtest::writeFile(victim, "mine");
  f.view->OnInitialUpdate();
  f.click("Away");
  ASSERT_EQ(f.sink.boxes().size(), 1u);
  EXPECT_EQ(f.sink.last().request.text, "Error loading a grammar page");
  EXPECT_TRUE(f.shows("Away"));
  EXPECT_FALSE(f.view->CanGoBack());
  EXPECT_EQ(tvtest::readFile(victim), "mine");

  // A page that fails to unpack (no page, no "missing page" page) is not
  // entered in the history either.
  f.sink.clear();
  fs::remove(f.folder.gramm / "0012.cht");
  f.click("Verbs");
  EXPECT_EQ(f.sink.last().request.text, "Error loading a grammar page");
  EXPECT_TRUE(f.shows("Away"));
  EXPECT_FALSE(f.view->CanGoBack());
}

TEST(BrowseTest, NavigateTakesPathsAndUrlsWithAnchors) {
  ViewFixture f;
  f.view->Navigate((f.folder.work / "0012.htm").string() + "#part2");
  EXPECT_TRUE(f.shows("Verbs"));
  EXPECT_EQ(f.view->source().fragment().toStdString(), "part2");
  f.view->Navigate("file://" + (f.folder.work / "0000.htm").string());
  EXPECT_TRUE(f.shows("Grammar index"));
  EXPECT_TRUE(f.view->CanGoBack());
  EXPECT_TRUE(f.sink.boxes().empty());
}

}  // namespace

namespace {

TEST(BrowseTest, TextSizeCommandsScaleTheText) {
  ViewFixture f;
  f.view->OnInitialUpdate();
  const qreal normal = f.view->font().pointSizeF();
  const std::vector<std::pair<int, int>> cases = {
      {CBrindleBrowse::ID_TEXT_LARGEST, 4}, {CBrindleBrowse::ID_TEXT_SMALLEST, 0}, {CBrindleBrowse::ID_TEXT_LARGER, 3},
      {CBrindleBrowse::ID_TEXT_SMALLER, 1}, {CBrindleBrowse::ID_TEXT_MEDIUM, 2},
  };
  qreal previous = normal;
  for (const auto& [command, level] : cases) {
    EXPECT_TRUE(f.view->OnCommand(command));
    EXPECT_EQ(f.view->TextSize(), level);
    EXPECT_NE(f.view->font().pointSizeF(), previous) << command;
    previous = f.view->font().pointSizeF();
  }
  EXPECT_DOUBLE_EQ(f.view->font().pointSizeF(), normal);
  EXPECT_TRUE(f.shows("Grammar index"));
}

}  // namespace
