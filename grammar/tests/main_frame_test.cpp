// The main frame offscreen: its place and the always-on-top toggle, and its
// DDE topics driven from a second process as the player drives them.
#include <gtest/gtest.h>

#include "platform/win/window.h"
#include "shared/buttons/orv_button.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFocusEvent>
#include <cstdlib>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QScreen>
#include <QTest>
#include <filesystem>

#include "grammar/brindle_browse.h"
#include "grammar/main_frame.h"
#include "grammar/tests/page_fixture.h"
#include "platform/testing/child_process.h"
#include "platform/ui/qt_message_box.h"
#include "platform/ui/recording_sink.h"
#include "shared/language/orv_language.h"

namespace fs = std::filesystem;
using brindletest::PageFolder;

namespace {

// The tooltip ids of the bar, in row order.
const std::vector<int> kTooltipIds = {20101, 20103, 20104, 20102, 20105};
const std::vector<int> kCommands = {CBrindleBrowse::ID_GO_BACK, CBrindleBrowse::ID_GO_FORWARD,
                                    CBrindleBrowse::ID_REFRESH, CBrindleBrowse::ID_GO_HOME,
                                    CMainFrame::ID_ALWAYS_ON_TOP};

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A Spanish module with the title and the bar's texts.
    tvtest::writeFile(folder.program / "Orv_MLSPA.res",
                      "TVRES 1\n"
                      "string 20101 Atrás\n"
                      "string 20102 Ir a la página de inicio\n"
                      "string 20103 Adelante\n"
                      "string 20104 Actualizar\n"
                      "string 20105 Siempre visible\n"
                      "string 20106 Gramática\n");
    const fs::path program = folder.program;
    tv::language::setModuleLocator([program](std::string_view name) -> fs::path {
      const std::string n(name);
      if (n.rfind("Orv_ML", 0) == 0 && n.size() > 10) return program / (n.substr(0, n.size() - 4) + ".res");
      return {};
    });
    auto store = std::make_unique<CBrindlePageStore>(folder.work, folder.program);
    ASSERT_EQ(store->SetUp(), std::nullopt);
    view = new CBrindleBrowse(std::move(store));
    frame = std::make_unique<CMainFrame>(view);
    ASSERT_TRUE(frame->OnCreate(service.c_str()));
    frame->SetLanguage(0);
    view->OnInitialUpdate();
    frame->show();
  }
  void TearDown() override { tv::language::setModuleLocator({}); }

  // Runs the client program with `commands` on `topic`; its answers.
  std::vector<std::string> exec(const char* topic, const QStringList& commands) {
    QStringList args = {QString::fromStdString(service), topic};
    args += commands;
    tvtest::ChildProcess client(TV_BRINDLE_DDE_CLIENT, args);
    std::vector<std::string> answers;
    for (int i = 0; i < commands.size(); ++i) answers.push_back(client.line());
    EXPECT_EQ(client.exitCode(), 0);
    return answers;
  }
  std::vector<std::string> tooltips() const {
    std::vector<std::string> out;
    for (int command : kCommands) out.push_back(frame->Bar()->Button(command)->ToolTipText());
    return out;
  }
  void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  PageFolder folder;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  std::string service = "BrindleFrameTest";
  CBrindleBrowse* view = nullptr;
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameTest, OpensAtItsPlaceOnTopAndTheToggleDropsTopmost) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QRect expected(static_cast<int>(0.05 * screen.width()), static_cast<int>(0.1 * screen.height()),
                       static_cast<int>(0.4 * screen.width()), static_cast<int>(0.7 * screen.height()));
  EXPECT_EQ(frame->geometry(), expected);
  EXPECT_EQ(frame->windowTitle().toStdString(), "Grammar");
  EXPECT_TRUE(frame->IsTopmost());
  EXPECT_EQ(frame->Bar()->GetCheck(CMainFrame::ID_ALWAYS_ON_TOP), 1);
  EXPECT_EQ(frame->Bar()->GetCheck(CBrindleBrowse::ID_GO_BACK), 0);
  EXPECT_EQ(frame->Bar()->GetCheck(4242), -1);
  EXPECT_EQ(frame->Bar()->SetCheck(4242, true), 0);
  EXPECT_EQ(tooltips(), (std::vector<std::string>{"Go back", "Go forward", "Refresh", "Go to Home Page", "Always on top"}));
  EXPECT_TRUE(sink.boxes().empty());

  tv::buttons::ButtonHost* toggle = frame->Bar()->ButtonWidget(CMainFrame::ID_ALWAYS_ON_TOP);
  toggle->Click();
  EXPECT_EQ(frame->Bar()->GetCheck(CMainFrame::ID_ALWAYS_ON_TOP), 0);
  EXPECT_FALSE(frame->IsTopmost());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->geometry(), expected);
  toggle->Click();
  EXPECT_TRUE(frame->IsTopmost());
  EXPECT_EQ(frame->geometry(), expected);
}

TEST_F(MainFrameTest, TheBarsBackgroundFallsBackToGreyWithoutItsPattern) {
  CBrindleButtonBar* bar = frame->Bar();
  const auto colourAt = [bar] { return bar->grab().toImage().pixelColor(1, 1).rgb() & 0xFFFFFFu; };
  EXPECT_EQ(colourAt(), 0xC0C0C0u);
  bar->SetBackground(0, 0x336699);
  EXPECT_EQ(bar->BackgroundMode(), 0);
  EXPECT_EQ(colourAt(), 0x336699u);
  // No picture 0x4242 anywhere: the default grey.
  bar->SetBackground(1, 0x70004242);
  EXPECT_EQ(bar->BackgroundMode(), 0);
  EXPECT_EQ(bar->BackgroundValue(), 0xC0C0C0u);
  EXPECT_EQ(colourAt(), 0xC0C0C0u);
}

TEST_F(MainFrameTest, TheBarsButtonsDriveTheView) {
  view->Navigate((folder.work / "0012.htm").string());
  ASSERT_TRUE(view->toPlainText().contains("Verbs"));
  frame->Bar()->ButtonWidget(CBrindleBrowse::ID_GO_BACK)->Click();
  EXPECT_TRUE(view->toPlainText().contains("Grammar index"));
  frame->Bar()->ButtonWidget(CBrindleBrowse::ID_GO_FORWARD)->Click();
  EXPECT_TRUE(view->toPlainText().contains("Verbs"));
  frame->Bar()->ButtonWidget(CBrindleBrowse::ID_GO_HOME)->Click();
  EXPECT_TRUE(view->toPlainText().contains("Grammar index"));
}

TEST_F(MainFrameTest, TheBarShowsTheProgramsPicturesOnBitmapButtons) {
  struct Case {
    int command;
    int mode;
    int up, down, hoverUp, hoverDown;
  };
  const Case cases[] = {
      {CBrindleBrowse::ID_GO_BACK, 4, 146, 147, 0, 0},
      {CBrindleBrowse::ID_GO_FORWARD, 4, 150, 151, 0, 0},
      {CBrindleBrowse::ID_REFRESH, 4, 152, 153, 0, 0},
      {CBrindleBrowse::ID_GO_HOME, 4, 148, 149, 0, 0},
      {CMainFrame::ID_ALWAYS_ON_TOP, 2, 157, 155, 158, 156},
  };
  settle();
  const QImage bar = frame->Bar()->grab().toImage();
  int lastLeft = -1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    tv::buttons::COrv_ButtonEx* b = frame->Bar()->Button(c.command);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetMode(), c.mode);
    EXPECT_EQ(b->BitmapId(tv::buttons::COrv_ButtonEx::kUp), c.up);
    EXPECT_EQ(b->BitmapId(tv::buttons::COrv_ButtonEx::kDown), c.down);
    EXPECT_EQ(b->BitmapId(tv::buttons::COrv_ButtonEx::kHoverUp), c.hoverUp);
    EXPECT_EQ(b->BitmapId(tv::buttons::COrv_ButtonEx::kHoverDown), c.hoverDown);
    // Every picture is drawn by this program.
    for (int id : {c.up, c.down, c.hoverUp, c.hoverDown}) {
      if (id != 0) {
        EXPECT_FALSE(tv::buttons::LoadResourceImage(id, false).isNull()) << id;
      }
    }
    // The bar shows the button's current face where the button stands.
    tv::buttons::ButtonHost* host = frame->Bar()->ButtonWidget(c.command);
    EXPECT_EQ(host->size(), QSize(30, 30));
    EXPECT_GT(host->x(), lastLeft);
    lastLeft = host->x();
    const QImage face = tv::buttons::LoadResourceImage(b->IsDown() ? c.down : c.up, false);
    const QPoint centre = host->geometry().center();
    EXPECT_EQ(bar.pixel(centre) & 0xFFFFFFu, face.pixel(15, 15) & 0xFFFFFFu);
  }
  // The toggle starts down (on top); a push button is down only while held.
  EXPECT_TRUE(frame->Bar()->Button(CMainFrame::ID_ALWAYS_ON_TOP)->IsDown());
  tv::buttons::COrv_ButtonEx* back = frame->Bar()->Button(CBrindleBrowse::ID_GO_BACK);
  plat::win::SendMessage(back->GetSafeHwnd(), plat::win::WM_LBUTTONDOWN, 1, plat::win::MAKELPARAM(5, 5));
  EXPECT_TRUE(back->IsDown());
  plat::win::SendMessage(back->GetSafeHwnd(), plat::win::WM_LBUTTONUP, 0, plat::win::MAKELPARAM(5, 5));
  EXPECT_TRUE(back->IsUp());
  if (const char* dir = std::getenv("TV_SHOT_DIR")) frame->grab().save(QString(dir) + "/brindle.png");
}

TEST_F(MainFrameTest, TakingTheFocusRepaintsThePageAtOnce) {
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  settle();
  view->viewport()->installEventFilter(&counter);
  QFocusEvent focusIn(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(frame.get(), &focusIn);
  // Painted before the event returned, not at some later paint.
  EXPECT_GE(counter.paints, 1);
  view->viewport()->removeEventFilter(&counter);
}

TEST_F(MainFrameTest, ChangeGUILangSetsTheTitleAndTheTooltips) {
  EXPECT_EQ(exec("ChangeGUILang", {"3"}), std::vector<std::string>{"exec ok"});
  EXPECT_EQ(frame->Language(), 3u);
  EXPECT_EQ(frame->windowTitle().toStdString(), "Gramática");
  EXPECT_EQ(tooltips(), (std::vector<std::string>{"Atrás", "Adelante", "Actualizar", "Ir a la página de inicio",
                                                  "Siempre visible"}));

  // Not a number: refused, nothing changes. A language the browser does
  // not know (7 and beyond) is English.
  EXPECT_EQ(exec("ChangeGUILang", {"three", "", "-1", "99999999999"}),
            (std::vector<std::string>{"exec refused", "exec refused", "exec refused", "exec refused"}));
  EXPECT_EQ(frame->Language(), 3u);
  EXPECT_EQ(exec("ChangeGUILang", {"7"}), std::vector<std::string>{"exec ok"});
  EXPECT_EQ(frame->windowTitle().toStdString(), "Grammar");
  EXPECT_EQ(tooltips()[0], "Go back");
  EXPECT_EQ(exec("ChangeGUILang", {" 3 "}), std::vector<std::string>{"exec ok"});
  EXPECT_EQ(frame->windowTitle().toStdString(), "Gramática");
}

TEST_F(MainFrameTest, GrammarPageShowsTheRequestedPage) {
  const std::string verbs = (folder.work / "0012.htm").string();
  EXPECT_EQ(exec("GrammarPage", {QString::fromStdString(verbs)}), std::vector<std::string>{"exec ok"});
  settle();
  EXPECT_TRUE(view->toPlainText().contains("Verbs"));
  EXPECT_FALSE(fs::exists(verbs));

  // A page that does not exist shows the "missing page" page; a request
  // outside the working folder is told and leaves the page.
  EXPECT_EQ(exec("GrammarPage", {QString::fromStdString((folder.work / "0077.htm").string())}),
            std::vector<std::string>{"exec ok"});
  settle();
  EXPECT_TRUE(view->toPlainText().contains("not available"));
  const fs::path victim = folder.program / "victim.htm";
  tvtest::writeFile(victim, "mine");
  EXPECT_EQ(exec("GrammarPage", {QString::fromStdString(victim.string())}), std::vector<std::string>{"exec ok"});
  settle();
  EXPECT_EQ(sink.last().request.text, "Error loading a grammar page");
  EXPECT_TRUE(view->toPlainText().contains("not available"));
  EXPECT_EQ(tvtest::readFile(victim), "mine");

  // An unknown topic is no conversation.
  EXPECT_EQ(exec("Pages", {"x"}), std::vector<std::string>{"connect failed"});
}

// Through the real message box: the browser's box belongs to its frame and
// stays above it, and while the learner has not answered it, bad requests
// from the player are refused without stacking more boxes.
TEST_F(MainFrameTest, WhileItsBoxIsOpenBadRequestsAreRefusedWithoutAnotherBox) {
  plat::ui::QtMessageSink qtSink;
  plat::ui::ScopedSink realBoxes{qtSink};
  const fs::path victim = folder.program / "victim.htm";
  tvtest::writeFile(victim, "mine");
  const QString bad = QString::fromStdString(victim.string());
  const QString outside = QString::fromStdString((folder.temp / "0012.htm").string());
  const QString good = QString::fromStdString((folder.work / "0012.htm").string());
  settle();
  // The player's window is the active one: none of the browser's is.
  QApplication::setActiveWindow(nullptr);
  ASSERT_EQ(QApplication::activeWindow(), nullptr);

  struct Seen {
    QString text;
    QWidget* owner = nullptr;
    bool onTop = false;
    Qt::WindowModality modality = Qt::NonModal;
  };
  std::vector<Seen> seen;
  std::vector<std::string> answersDuringBox;
  int boxesOpenAtOnce = 0;
  bool busy = false;
  const auto openBoxes = [] {
    std::vector<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) boxes.push_back(box);
    return boxes;
  };
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (busy) return;
    const std::vector<QMessageBox*> boxes = openBoxes();
    if (boxes.empty()) return;
    busy = true;
    QMessageBox* box = boxes.front();
    seen.push_back({box->text(), box->parentWidget(), box->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                    box->windowModality()});
    if (seen.size() == 1) {
      // Two more bad requests while the learner has not answered.
      answersDuringBox = exec("GrammarPage", {bad, outside});
      settle();
    }
    boxesOpenAtOnce = std::max(boxesOpenAtOnce, static_cast<int>(openBoxes().size()));
    // The learner dismisses it with Escape.
    QTest::keyClick(box, Qt::Key_Escape);
    busy = false;
  });
  poll.start();

  EXPECT_EQ(exec("GrammarPage", {bad}), std::vector<std::string>{"exec ok"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.empty() && !busy && openBoxes().empty(); }, 30000));
  settle();
  EXPECT_EQ(answersDuringBox, (std::vector<std::string>{"exec refused", "exec refused"}));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(boxesOpenAtOnce, 1);
  EXPECT_EQ(seen[0].text.toStdString(), "Error loading a grammar page");
  EXPECT_EQ(seen[0].owner, frame.get());
  EXPECT_TRUE(seen[0].onTop);
  EXPECT_EQ(seen[0].modality, Qt::WindowModal);
  EXPECT_TRUE(view->toPlainText().contains("Grammar index"));
  EXPECT_EQ(tvtest::readFile(victim), "mine");

  // Two requests taken before the first box opens still give one box: the
  // second finds the box open when its turn comes.
  EXPECT_TRUE(frame->ShowPage(bad.toStdString()));
  EXPECT_TRUE(frame->ShowPage(outside.toStdString()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2 && !busy && openBoxes().empty(); }, 30000));
  settle();
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(boxesOpenAtOnce, 1);

  // Once it is answered, requests are taken again.
  EXPECT_EQ(exec("GrammarPage", {good}), std::vector<std::string>{"exec ok"});
  settle();
  EXPECT_TRUE(view->toPlainText().contains("Verbs"));
  EXPECT_EQ(seen.size(), 2u);
  poll.stop();
}

TEST_F(MainFrameTest, AServerThatCannotStartIsToldAndTheFrameRuns) {
  // This process's server is the first frame's: a second cannot start.
  auto store = std::make_unique<CBrindlePageStore>(folder.work, folder.program);
  auto* second = new CBrindleBrowse(std::move(store));
  CMainFrame other(second);
  EXPECT_TRUE(other.OnCreate("BrindleFrameTestTwo"));
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text.rfind("Service failed to start. Error: ", 0), 0u);
  EXPECT_NE(other.Bar(), nullptr);
  EXPECT_TRUE(other.IsTopmost());
}

}  // namespace
