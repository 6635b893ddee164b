// The audio commands as the main frame wires them: the accelerator and the
// menu reach the same handler, the frame's own panels show what plays, the
// pause setting reaches the repetition timer, and a book opened with the
// start-up settings starts its play.

#include <gtest/gtest.h>

#include <QKeySequence>
#include <QMdiSubWindow>
#include <QShortcut>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/ui/recording_sink.h"
#include "player/shell/main_frame.h"
#include "player/shell/play_commands.h"
#include "player/shell/tests/play_fixture.h"

using namespace plat::audio;

namespace {

class OneBook : public TalvaneDocuments {
 public:
  bool OpenDocumentFile(const std::string&) override { return open = true; }
  bool HasActiveDocument() const override { return open; }
  void CloseActiveDocument() override { open = false; }
  bool open = false;
};

struct PlayFrame : ::testing::Test, playtest::AudioRig {
  playtest::StandInBook book;
  OneBook documents;

  FrameServices services() {
    FrameServices f;
    f.screen = [] { return QRect(0, 0, 1024, 768); };
    f.createDdeServer = [] { return true; };
    f.documents = &documents;
    f.playBook = &book;
    return f;
  }
  static void press(CMainFrame& frame, const char* key) {
    for (QShortcut* s : frame.Commands().Shortcuts())
      if (s->key() == QKeySequence(key)) {
        emit s->activated();
        return;
      }
    ADD_FAILURE() << "no shortcut " << key;
  }
  static bool down(const COrv_Panel& panel, int id) { return playtest::buttonDown(panel, id); }
};

TEST_F(PlayFrame, KeysAndCommandsPlayThroughTheFramesEngineAndPanels) {
  CMainFrame frame(services());
  ASSERT_TRUE(frame.OnCreate());
  // A book window: the menu bar shows the book menu, with the Audio popup.
  QMdiSubWindow* window = frame.Client()->addSubWindow(new QWidget);
  window->show();
  frame.Client()->setActiveSubWindow(window);
  ASSERT_TRUE(frame.OpenTalvane("BOOK"));
  COrv_PlayCommands& play = frame.PlayCommands();

  press(frame, "F8");
  EXPECT_TRUE(play.IsPlaying());
  ASSERT_NE(frame.Commands().ActionFor(play_cmd::kPause), nullptr);
  EXPECT_TRUE(frame.Commands().ActionFor(play_cmd::kPause)->isEnabled());
  EXPECT_TRUE(frame.WaveOut().IsOpen());
  EXPECT_TRUE(down(frame.AudioPanel(), play_cmd::kPlay));
  press(frame, "F8");
  clock.advanceMs(2500);
  EXPECT_FALSE(play.IsPlaying());
  EXPECT_FALSE(frame.Commands().ActionFor(play_cmd::kPause)->isEnabled()) << "the menu follows the end of a play";
  press(frame, "F8");
  press(frame, "F10");
  EXPECT_FALSE(play.IsPlaying());
  EXPECT_FALSE(down(frame.AudioPanel(), play_cmd::kPlay));

  // F6 is the loop; the pause comes from setting 16.
  const int32_t none = 0;
  frame.ApplySetting(COrv_PlayCommands::kSettingPlayWait, &none);
  press(frame, "F6");
  EXPECT_TRUE(down(frame.SecondaryPanel(), play_cmd::kPlayLoop));
  const size_t before = backend.count("waveOutWrite");
  ASSERT_TRUE(frame.Commands().Execute(play_cmd::kPlayFragment));
  EXPECT_TRUE(down(frame.AudioPanel(), play_cmd::kPlayFragment));
  clock.advanceMs(1000);
  EXPECT_TRUE(play.IsPlaying()) << "a pause of 0 seconds replays at once";
  EXPECT_EQ(backend.count("waveOutWrite"), before + 2);

  frame.StopAll();
  EXPECT_FALSE(frame.WaveOut().IsOpen());
  EXPECT_FALSE(frame.SetVolume(1.5, 0.5));
  EXPECT_TRUE(frame.SetVolume(0.25, 0.5));

  // Without a book every audio command is refused.
  book.open = false;
  EXPECT_FALSE(frame.Commands().Execute(play_cmd::kPlay));
  EXPECT_FALSE(frame.Commands().Query(play_cmd::kRecord).enabled);
}

TEST_F(PlayFrame, ABookOpenedWithItsStartSettingsStartsPlaying) {
  CMainFrame frame(services());
  ASSERT_TRUE(frame.OnCreate());
  const int32_t on = 1, slow = -1;
  frame.ApplySetting(7, &on);    // play the first Echomark
  frame.ApplySetting(8, &slow);  // at slow speed
  frame.ApplySetting(14, &on);   // in loop mode
  ASSERT_TRUE(frame.OpenTalvane("BOOK"));
  EXPECT_TRUE(frame.PlayCommands().IsLoop());
  EXPECT_TRUE(frame.PlayCommands().IsPlaying());
  EXPECT_EQ(frame.AudioPanel().GetSpeedButtonId(), COrv_AudioPanel::kSpeedSlow);

  frame.StopAll();
  frame.ApplySetting(9, &on);  // Play All, at normal speed whatever setting 8 says
  ASSERT_TRUE(frame.OpenTalvane("BOOK"));
  EXPECT_TRUE(frame.PlayCommands().IsPlayAllRunning());
  EXPECT_EQ(frame.AudioPanel().GetSpeedButtonId(), COrv_AudioPanel::kSpeedNormal);
  EXPECT_EQ(book.loaded, std::vector<int>{1});
}

}  // namespace
