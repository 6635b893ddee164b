// The main window's buttons tell the truth: every panel button shows its
// command's state (disabled, up, or down while checked) in every situation
// of a session, a refused click leaves nothing pressed, every button but the
// two group titles that ignore clicks runs its command, and settings 22, 24
// and 25 show and hide the bars at once. Over the real main frame, with a
// book window of stand-in panes and stand-in commands whose states follow a
// small model of the session.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/testing/test_env.h"
#include "platform/win/window.h"
#include "player/shell/main_frame.h"
#include "player/shell/tests/stand_ins.h"
#include "player/shell/three_way_splitter_frame.h"
#include "shared/language/orv_language.h"

using tv::buttons::COrv_ButtonEx;

namespace {

struct Session {
  bool book = false, playing = false, recording = false, recordingPresent = false;
};

enum Need { kAlways, kBook, kPlaying, kRecording, kRecordingPresent };
struct CommandModel {
  int id;
  Need enabledBy;
  Need checkedBy;  // kAlways here means never checked
};
// How the audio and Echomark commands' states follow the session.
const CommandModel kModel[] = {
    {220, kAlways, kAlways},           {152, kPlaying, kAlways},   {115, kBook, kPlaying},
    {116, kPlaying, kAlways},          {118, kBook, kAlways},      {225, kBook, kAlways},
    {120, kBook, kAlways},             {119, kBook, kAlways},      {221, kAlways, kAlways},
    {195, kRecording, kAlways},        {193, kBook, kRecording},   {194, kRecordingPresent, kAlways},
    {196, kRecordingPresent, kAlways}, {199, kRecordingPresent, kAlways}, {198, kRecordingPresent, kAlways},
    {197, kRecordingPresent, kAlways}, {219, kAlways, kAlways},    {125, kBook, kAlways},
    {124, kBook, kAlways},             {127, kRecordingPresent, kAlways}, {140, kBook, kAlways},
    {158, kBook, kAlways},             {159, kBook, kAlways},      {126, kBook, kAlways},
};

bool holds(Need need, const Session& s) {
  switch (need) {
    case kAlways: return true;
    case kBook: return s.book;
    case kPlaying: return s.book && s.playing;
    case kRecording: return s.book && s.recording;
    case kRecordingPresent: return s.book && s.recordingPresent;
  }
  return false;
}

class ButtonStates : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::win::test::reset();
    FrameServices s;
    s.screen = [] { return QRect(0, 0, 1024, 768); };
    s.createDdeServer = [] { return true; };
    s.documents = &books_;
    s.statusFacts = [this]() -> std::optional<COrv_StatusFacts> {
      if (!session_.book) return std::nullopt;
      return COrv_StatusFacts{"The Lighthouse", 0, 2, 9, 12, 1};
    };
    frame_ = new CMainFrame(s);
    const int32_t on = 1;
    for (int setting : {22, 23, 24, 25}) frame_->FrameState().SetValue(setting, &on);
    for (const CommandModel& m : kModel) {
      const int id = m.id;
      frame_->Commands().Add(
          id, [this, id] { ran_.push_back(id); onCommand(id); },
          [this, m] {
            const bool enabled = holds(m.enabledBy, session_);
            return COrv_CommandTable::State{enabled, m.checkedBy != kAlways && holds(m.checkedBy, session_)};
          });
    }
    ASSERT_TRUE(frame_->OnCreate());
    frame_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    delete frame_;
    plat::win::test::reset();
  }
  void onCommand(int id) {
    if (id == 115) session_.playing = true;
    if (id == 152) session_.playing = false;
    if (id == 193) session_.recording = true;
    if (id == 195) {
      session_.recording = false;
      session_.recordingPresent = true;
    }
  }
  void openBook() {
    session_.book = true;
    ASSERT_TRUE(frame_->OpenTalvane("LIGHTHOUSE"));
    QApplication::processEvents();
  }
  // Something outside a command changed the session (a play ended).
  void changed() { frame_->Commands().NotifyStateChanged(); }

  std::vector<std::pair<COrv_Panel*, int>> buttons() {
    std::vector<std::pair<COrv_Panel*, int>> out;
    for (COrv_Panel* p : {static_cast<COrv_Panel*>(&frame_->AudioPanel()), static_cast<COrv_Panel*>(&frame_->SecondaryPanel())})
      for (int i = 0; i < static_cast<int>(p->Rows().size()); ++i)
        if (p->Control(i)) out.emplace_back(p, i);
    return out;
  }
  static void click(COrv_ButtonEx* b) {
    plat::win::SendMessage(b->GetSafeHwnd(), plat::win::WM_LBUTTONDOWN, 1, plat::win::MAKELPARAM(5, 5));
    plat::win::SendMessage(b->GetSafeHwnd(), plat::win::WM_LBUTTONUP, 0, plat::win::MAKELPARAM(5, 5));
  }
  // Every button looks as its command's state says.
  void expectTruth(const char* when) {
    SCOPED_TRACE(when);
    for (const auto& [panel, i] : buttons()) {
      const COrv_PanelRow& row = panel->Rows()[static_cast<std::size_t>(i)];
      const COrv_ButtonEx* b = panel->Control(i);
      const COrv_CommandTable::State state = frame_->Commands().Query(row.id);
      SCOPED_TRACE(row.id);
      if (!state.enabled && row.disabled != 0) {
        EXPECT_FALSE(b->IsEnabled());
      } else if (state.checked) {
        EXPECT_TRUE(b->IsDown());
      } else {
        EXPECT_TRUE(b->IsUp());
      }
    }
  }
  const COrv_ButtonEx* button(int id) {
    for (const auto& [panel, i] : buttons())
      if (panel->Rows()[static_cast<std::size_t>(i)].id == id) return panel->Control(i);
    return nullptr;
  }

  Session session_;
  std::vector<int> ran_;
  standin::Factory factory_;
  CMainFrame* frame_ = nullptr;
  standin::BookWindows books_{frame_, factory_, 12, 1};
};

TEST_F(ButtonStates, EveryButtonShowsItsCommandThroughASession) {
  expectTruth("no book");
  EXPECT_FALSE(button(115)->IsEnabled());
  EXPECT_FALSE(button(152)->IsEnabled());
  EXPECT_FALSE(button(125)->IsEnabled());
  openBook();
  expectTruth("with a book");
  EXPECT_TRUE(button(115)->IsUp());
  EXPECT_FALSE(button(194)->IsEnabled());
  click(const_cast<COrv_ButtonEx*>(button(115)));
  EXPECT_TRUE(session_.playing);
  expectTruth("while playing");
  EXPECT_TRUE(button(115)->IsDown());
  EXPECT_TRUE(button(152)->IsUp());
  // The play ends by itself.
  session_.playing = false;
  changed();
  expectTruth("after the play");
  EXPECT_TRUE(button(115)->IsUp());
  click(const_cast<COrv_ButtonEx*>(button(193)));
  expectTruth("while recording");
  EXPECT_TRUE(button(193)->IsDown());
  EXPECT_TRUE(button(195)->IsUp());
  click(const_cast<COrv_ButtonEx*>(button(195)));
  expectTruth("with a recording present");
  EXPECT_TRUE(button(194)->IsUp());
  EXPECT_TRUE(button(193)->IsUp());
  // The book closes: everything that needs one goes disabled again.
  session_ = Session{};
  frame_->GetActiveChildFrame()->close();
  delete frame_->GetActiveChildFrame();
  changed();
  expectTruth("book closed");
  // The status bar went with it.
  EXPECT_FALSE(frame_->StatusBar()->PaneLabel(COrv_StatusBar::kTitle)->isEnabled());
}

TEST_F(ButtonStates, ARefusedClickLeavesNothingPressed) {
  openBook();
  // The book went away without anyone telling the buttons: Play still looks
  // enabled, its press toggles it down, and the command is refused.
  session_.book = false;
  click(const_cast<COrv_ButtonEx*>(button(115)));
  EXPECT_TRUE(ran_.empty());
  EXPECT_FALSE(button(115)->IsDown());
  EXPECT_FALSE(button(115)->IsEnabled());
  expectTruth("after a refused click");
}

TEST_F(ButtonStates, EveryButtonClicksButTheTwoTitlesThatIgnoreClicks) {
  openBook();
  session_.playing = session_.recording = session_.recordingPresent = true;
  changed();
  std::set<int> silent;
  for (const auto& [panel, i] : buttons()) {
    const int id = panel->Rows()[static_cast<std::size_t>(i)].id;
    ran_.clear();
    // Keep every command enabled whatever the click before did.
    session_.playing = session_.recording = session_.recordingPresent = true;
    changed();
    click(panel->Control(i));
    if (ran_ != std::vector<int>{id}) silent.insert(id);
  }
  EXPECT_EQ(silent, (std::set<int>{219, 221}));
}

TEST_F(ButtonStates, BarSettingsShowAndHideAtOnce) {
  openBook();
  C3WaySplitterFrame* child = frame_->GetActiveChildFrame();
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(child->IsIndexPanelShown());
  const int32_t off = 0, on = 1;
  struct Case {
    int setting;
    std::function<bool()> shown;
  };
  const Case cases[] = {
      {22, [child] { return child->IsIndexPanelShown(); }},
      {24, [this] { return frame_->AudioDock()->isVisible(); }},
      {25, [this] { return frame_->SecondaryDock()->isVisible(); }},
      {23, [this] { return frame_->StatusBar()->isVisible(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    EXPECT_TRUE(c.shown());
    frame_->ApplySetting(c.setting, &off);
    EXPECT_FALSE(c.shown());
    EXPECT_EQ(frame_->FrameState().GetInt(c.setting, 9), 0);
    frame_->ApplySetting(c.setting, &on);
    EXPECT_TRUE(c.shown());
  }
  // Without a book window, 22 is stored and nothing else happens.
  delete child;
  frame_->ApplySetting(22, &off);
  EXPECT_EQ(frame_->FrameState().GetInt(22, 9), 0);
}

TEST_F(ButtonStates, ALanguageChangeReachesTheBookWindowsIndexPanel) {
  const auto module = tvtest::sandbox().base / "Orv_MLFRE.res";
  tvtest::writeFile(module, "TVRES 1\nstring 25 Avancer\nstring 3 Lecture\n");
  tv::language::setModuleLocator([module](std::string_view name) {
    return name == "Orv_MLFRE.DLL" ? module : std::filesystem::path();
  });
  openBook();
  const auto forward = [this]() -> std::string {
    COrv_QuoteIndexPanel& panel = frame_->GetActiveChildFrame()->IndexPanel();
    for (int i = 0; i < static_cast<int>(panel.Rows().size()); ++i)
      if (panel.Rows()[static_cast<std::size_t>(i)].id == 1014) return panel.Control(i)->ToolTipText();
    return {};
  };
  EXPECT_EQ(forward(), "Scroll forward");
  frame_->SetInterfaceLanguage(1);
  EXPECT_EQ(forward(), "Avancer");
  EXPECT_EQ(button(115)->ToolTipText(), "Lecture");
  frame_->SetInterfaceLanguage(0);
  EXPECT_EQ(forward(), "Scroll forward");
  tv::language::setModuleLocator({});
}

TEST_F(ButtonStates, MainWindowWithABookOpen) {
  frame_->FrameState().SetUserName("Ada");
  frame_->FrameState().SetLoggedIn(1);
  openBook();
  frame_->resize(1024, 700);
  QApplication::processEvents();
  const QImage shot = frame_->grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) shot.save(QString(dir) + "/main_window_book.png");
  C3WaySplitterFrame* child = frame_->GetActiveChildFrame();
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(child->isMaximized());
  // The status bar tells the book.
  EXPECT_EQ(frame_->StatusBar()->PaneLabel(COrv_StatusBar::kTitle)->text(), "The Lighthouse");
  EXPECT_EQ(frame_->StatusBar()->PaneLabel(COrv_StatusBar::kCount)->text(), " 12");
  EXPECT_EQ(frame_->StatusBar()->PaneLabel(COrv_StatusBar::kUser)->text(), "Ada");
  // The bar between the upper panes is painted with the window pattern,
  // not a grey bar.
  QWidget* bar = child->InnerSplitter()->handle(1);
  ASSERT_NE(bar, nullptr);
  const QPoint inShot = bar->mapTo(frame_, QPoint(bar->width() / 2, bar->height() / 2));
  const QRgb p = shot.pixel(inShot);
  EXPECT_GT(qRed(p), 230);
  EXPECT_GT(qGreen(p), 180);
  EXPECT_LT(qBlue(p), 60);
  // Below its buttons the audio panel's bar goes on in its colour.
  QWidget* dock = frame_->AudioDock()->widget();
  ASSERT_GT(dock->height(), frame_->AudioPanel().RowsHeight() + 10);
  const QRgb below = shot.pixel(dock->mapTo(frame_, QPoint(dock->width() / 2, dock->height() - 5)));
  EXPECT_EQ(below & 0xFFFFFFu, 0xFCCC24u);
  // The index panel's strip sits in the frame's bottom bar.
  EXPECT_TRUE(child->IsIndexPanelShown());
  EXPECT_EQ(child->IndexHost()->height(), COrv_QuoteIndexPanel::kHeight);
}

}  // namespace
