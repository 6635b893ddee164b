#include <gtest/gtest.h>

#include <QKeyEvent>
#include <filesystem>

#include "platform/ui/help_viewer.h"
#include "player/env/help.h"

#include "player/audio/frag_selector_dlg.h"
#include "player/audio/speech_view_dlg.h"
#include "player/audio/tests/recording_view_host.h"
#include "player/audio/volume_dlg.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"
#include "player/shell/main_frame.h"
#include "player/shell/tv_document_windows.h"

namespace {

FrameServices services(COrv_AudioViewHost* host) {
  FrameServices s;
  s.screen = [] { return QRect(0, 0, 1024, 768); };
  s.createDdeServer = [] { return true; };
  s.audioViews = host;
  return s;
}

TEST(FrameAudioViews, TheFrameMakesTheFiveWindowsHiddenWithTheirIdsAndTitles) {
  RecordingViewHost host;
  host.volumeLeft = 0.4;
  host.volumeRight = 0.6;
  CMainFrame frame(services(&host));
  ASSERT_TRUE(frame.OnCreate());
  struct Row {
    QWidget* window;
    const char* title;
  } rows[] = {
      {frame.FragSelector(189), "Fragment selector"}, {frame.FragSelector(202), "Fragment selector (Rec)"},
      {frame.SpeechView(208), "SpeechView"},          {frame.SpeechView(207), "SpeechView (Rec)"},
      {frame.VolumeWindow(), "Volume"},
  };
  for (const Row& r : rows) {
    ASSERT_NE(r.window, nullptr) << r.title;
    EXPECT_EQ(r.window->windowTitle(), r.title);
    EXPECT_FALSE(r.window->isVisible()) << r.title << ": shown only on command";
    EXPECT_EQ(r.window->parentWidget(), &frame) << r.title << ": floats above the frame";
  }
  EXPECT_EQ(frame.FragSelector(208), nullptr);
  EXPECT_EQ(frame.SpeechView(189), nullptr);
  EXPECT_EQ(frame.SpeechView(207)->CtrlId(), 207);
  EXPECT_DOUBLE_EQ(frame.VolumeWindow()->Level(), 0.6) << "the volume the player plays at";

  // The recording's selector reports with its own id.
  COrv_FragSelectorBar& bar = frame.FragSelector(202)->Bar();
  const int y = bar.TrackRect().center().y();
  viewtest::drag(&bar, {bar.EndX(), y}, {bar.width() / 2, y});
  ASSERT_FALSE(host.calls.empty());
  EXPECT_EQ(host.last().rfind("fragment 202 0.0 ", 0), 0u) << host.last();
}

TEST(FrameAudioViews, WithoutPlayCommandsKeysInAViewStillRunTheFramesShortcuts) {
  CMainFrame frame(services(nullptr));
  ASSERT_TRUE(frame.OnCreate());
  int runs = 0;
  frame.Commands().Add(213, [&runs] { ++runs; });  // F4
  QKeyEvent f4(QEvent::KeyPress, Qt::Key_F4, Qt::NoModifier);
  QApplication::sendEvent(frame.SpeechView(208), &f4);
  EXPECT_EQ(runs, 1);
  QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
  QApplication::sendEvent(frame.VolumeWindow(), &x);
  EXPECT_EQ(runs, 1) << "a key without a shortcut runs nothing";

  RecordingViewHost host;
  frame.SetAudioViewHost(&host);
  QApplication::sendEvent(frame.FragSelector(189), &f4);
  EXPECT_EQ(host.last(), "key F4") << "another host takes the keys over";
  EXPECT_EQ(runs, 1);
}

TEST(FrameAudioViews, TheDocumentShowsAndFillsTheFramesWindows) {
  RecordingViewHost host;
  CMainFrame frame(services(&host));
  ASSERT_TRUE(frame.OnCreate());
  const std::filesystem::path wave = tvtest::sandbox().base / "mark.wav";
  ASSERT_FALSE(plat::riff::writeWavFile(wave, plat::riff::WavFormat::pcm(11025, 16, 1), std::string(4000, '\x20')));
  MainFrameDocumentHost doc(frame, nullptr);

  doc.ShowSpeechView(true, wave, {40, 60}, 40, 100);
  COrv_SpeechViewDlg* view = frame.SpeechView(208);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->Path(), wave);
  EXPECT_EQ(view->SegmentCount(), 2);
  EXPECT_EQ(view->OverviewPane().SelectionStart(), 800);
  doc.ShowFragmentSelector(false, 25, 75);
  EXPECT_FALSE(frame.FragSelector(189)->isVisible());
  float start = 0, end = 0;
  frame.FragSelector(189)->Bar().GetFragmentPercent(&start, &end);
  EXPECT_NEAR(start, 25, 0.5) << "the fragment is taken while hidden";
  EXPECT_NEAR(end, 75, 0.5);
  doc.ShowVolumeWindow(true);
  EXPECT_TRUE(frame.VolumeWindow()->isVisible());

  doc.HideViewWindows();
  for (int id : {189, 202, 207, 208, 218}) EXPECT_FALSE(frame.AudioViewWindow(id)->isVisible()) << id;
  EXPECT_EQ(frame.AudioViewWindow(5), nullptr);
}

TEST(FrameAudioViews, F1InAViewShowsItsPageOfTheEnglishHelp) {
  plat::ui::RecordingHelpViewer viewer;
  plat::ui::ScopedHelpViewer scoped(viewer);
  COrv_HtmlHelp help;
  help.SetHelpFile(TV_TEST_ENGLISH_HELP);
  FrameServices withHelp = services(nullptr);
  withHelp.help = &help;
  CMainFrame frame(withHelp);
  ASSERT_TRUE(frame.OnCreate());
  struct Row {
    QWidget* window;
    const char* page;
  } rows[] = {{frame.FragSelector(202), "fragment.htm"},
              {frame.SpeechView(207), "usingspeechview.htm"},
              {frame.VolumeWindow(), "volume.htm"}};
  for (const Row& r : rows) {
    viewer.clear();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(r.window, &f1);
    ASSERT_EQ(viewer.requests().size(), 1u) << r.page;
    EXPECT_EQ(viewer.requests()[0].command, plat::ui::HelpCommand::Topic);
    EXPECT_EQ(plat::ui::parseHelpAddress(viewer.requests()[0].target).topic, r.page);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(TV_TEST_ENGLISH_HELP) / r.page))
        << r.page << " is missing from the English help";
  }
}

}  // namespace
