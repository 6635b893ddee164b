#pragma once
// COrv_PlayCommands: the main window's audio commands. Play, Pause, Stop,
// Play Fragment, Play All, Play Up To End, loop and sequence repetition,
// the fragment keys, the speeds and the recording commands, with the six
// notification objects through which the wave-out engine reports back.
//
// Every play goes through the frame's one wave-out engine. When a play
// ends, its notification object hands the end to the commands as a queued
// call (never inside the device's own callback); the end rule then stops
// everything and, in loop or sequence mode, arms the single repetition
// timer with the action to run after the pause (setting 16). Any new play
// or stop cancels that timer, so at most one repetition is ever pending.
//
// A sequence plays one model/recording pair per command: its counter is
// set back when a play starts from a command, so a Stop during the pause
// never costs the next Play its recording. A take that is running when
// anything stops everything (a command, a move to another Echomark, a
// speed change, closing the book) is saved as Stop saves it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/dispatcher.h"
#include "player/audio/wave_play.h"
#include "player/book/info_bundle.h"
#include "player/shell/main_frame.h"
#include "player/shell/play_book.h"

class COrv_AudioPanel;
class COrv_CommandTable;
class COrv_FrameState;
class COrv_MCIRecord;
class COrv_SecondaryPanel;
class COrv_WaveOutWnd;
class COrv_PlayCommands;

// Command ids of the audio and recording commands.
namespace play_cmd {
inline constexpr int kPlay = 115, kPause = 116, kPlayFragment = 118, kPlaySequence = 127, kPlayLoop = 140,
                     kStop = 152, kSpeedNormal = 155, kSpeedFast = 156, kSpeedSlow = 157, kPlayAll = 158,
                     kPlayUpToEnd = 159, kRecord = 193, kRecordingPlay = 194, kRecordingStop = 195,
                     kRecordingPause = 196, kRecordingFragment = 199, kFragmentStart = 213,
                     kFragmentEnd = 214, kSpeedButtonNormal = 225, kSpeedButtonFast = 226,
                     kSpeedButtonSlow = 227;
// The view that asks for a play: the so-far pane.
inline constexpr int kSoFarPane = 144;
}  // namespace play_cmd

// The notification objects: one per kind of play, each reporting to the
// commands. The end is queued; positions go to the selector at once.
class COrv_PlayNotifyBase : public COrv_WaveNotifyObj {
 public:
  enum class Kind { Play, PlayFragment, PlayAll, PlayUpToEnd, Record, RecordFragment };
  explicit COrv_PlayNotifyBase(Kind kind) : m_kind(kind) {}
  void SetFrame(COrv_PlayCommands* frame) { m_frame = frame; }
  Kind GetKind() const { return m_kind; }
  void OnWaveEnd(COrv_WavePlay* wave) override;
  void OnWavePosition(double percent) override;

 private:
  Kind m_kind;
  COrv_PlayCommands* m_frame = nullptr;
};

class CPlayNotifyObj : public COrv_PlayNotifyBase {
 public:
  CPlayNotifyObj() : COrv_PlayNotifyBase(Kind::Play) {}
};
class CPlayFragNotifyObj : public COrv_PlayNotifyBase {
 public:
  CPlayFragNotifyObj() : COrv_PlayNotifyBase(Kind::PlayFragment) {}
};
class CPlayAllNotifyObj : public COrv_PlayNotifyBase {
 public:
  CPlayAllNotifyObj() : COrv_PlayNotifyBase(Kind::PlayAll) {}
};
class CPlayUpToEndNotifyObj : public COrv_PlayNotifyBase {
 public:
  CPlayUpToEndNotifyObj() : COrv_PlayNotifyBase(Kind::PlayUpToEnd) {}
};
class CRecNotifyObj : public COrv_PlayNotifyBase {
 public:
  CRecNotifyObj() : COrv_PlayNotifyBase(Kind::Record) {}
};
class CRecFragNotifyObj : public COrv_PlayNotifyBase {
 public:
  CRecFragNotifyObj() : COrv_PlayNotifyBase(Kind::RecordFragment) {}
};

// One entry of the speed popup: its caption and the command it runs.
struct COrv_SpeedMenuItem {
  std::string text;
  int command = 0;
  bool operator==(const COrv_SpeedMenuItem&) const = default;
};

class COrv_PlayCommands : public StartPlay {
 public:
  // What the repetition timer runs when it fires; also the timer ids the
  // actions had as window timers.
  enum class Pending {
    None = 0,
    Play = 190,
    PlayFragment = 191,
    PlayAllStep = 192,
    RecordingPlay = 203,
    RecordingFragment = 206,
    PlayUpToEndStep = 224,
  };
  // Shows the speed popup and answers the chosen command (0: none).
  using SpeedPopup = std::function<int(const std::vector<COrv_SpeedMenuItem>& items)>;

  static constexpr uint32_t kStatusHasSpeeds = 0x40;
  // A play still running this long after its wave should have ended has
  // lost its device (a sound server that went away): it is stopped.
  static constexpr int kStallMarginMs = 3000;
  static constexpr int kSettingInitPlayRecSequence = 15;
  static constexpr int kSettingPlayWait = 16;
  // Texts of a failed Play All step (those of Play Up To End are 20006 to
  // 20008).
  static constexpr int kStrPlayAllError = 20011, kStrPlayAllNoFile = 20012, kStrPlayAllNoLoad = 20013;

  COrv_PlayCommands(COrv_WaveOutWnd& engine, COrv_MCIRecord& recorder, COrv_AudioPanel& audioPanel,
                    COrv_SecondaryPanel& secondaryPanel, COrv_FrameState& state);
  ~COrv_PlayCommands() override;
  COrv_PlayCommands(const COrv_PlayCommands&) = delete;
  COrv_PlayCommands& operator=(const COrv_PlayCommands&) = delete;

  // Not owned; null: no book (every command is disabled).
  void SetBook(COrv_PlayBook* book) { m_book = book; }
  COrv_PlayBook* Book() const { return m_book; }
  // Not owned; null: no views.
  void SetViews(COrv_PlayViews* views) { m_views = views ? views : &m_noViews; }
  void SetSpeedPopup(SpeedPopup popup) { m_popup = std::move(popup); }
  // Called whenever what the update predicates read has changed, also
  // outside a command (the end of a play, the repetition timer), so that
  // menus and buttons can follow.
  void SetStateListener(std::function<void()> listener) { m_listener = std::move(listener); }
  // The pause before a repetition.
  void SetDelayMs(int ms) { m_delayMs = ms; }
  int DelayMs() const { return m_delayMs; }
  // Set when a book has been opened; the first take saved afterwards may
  // turn sequence mode on (setting 15).
  void SetBookJustOpened(bool on) { m_bookJustOpened = on; }

  // Registers every audio and recording command with its update predicate.
  void Register(COrv_CommandTable& table);

  // --- Commands ---
  void OnPlay();
  void OnPause();
  void OnPlayFragment();
  void OnPlayAll();
  void OnPlayUpToEnd();
  void OnPlayLoop();
  void OnPlaySequence();
  void OnSetFragmentStart();
  void OnSetFragmentEnd();
  void OnSpeedNormal() { selectSpeed(0); }
  void OnSpeedFast() { selectSpeed(1); }
  void OnSpeedSlow() { selectSpeed(-1); }
  void OnSpeedButton();
  void OnRecord();
  void OnRecordingPlay();
  void OnStop();
  void OnRecordingPause();
  void OnRecordingFragment();

  // --- StartPlay (a freshly opened book) ---
  void SetLoopMode(bool on) override;
  void SetPlaySpeed(int speed) override;
  void PlayAll() override { OnPlayAll(); }
  void RestartPlay() override;
  bool IsRecordingAvailable() const override { return RecordingAvailable(); }
  // Sequence mode goes on only with a recording of the Echomark shown.
  void SetSequenceMode(bool on) override;
  void RefreshSpeechViews() override;

  // --- Stopping ---
  // Stops the book audio and the recording playback, then the recorder
  // (saving a running take). With askToLoad a Play All run that stopped on
  // another Echomark than the current one offers to go there.
  void StopAll(bool askToLoad);
  void StopAll() override { StopAll(false); }
  void StopPlayback(bool askToLoad = false);
  void StopRecording();

  // After a move to another Echomark: sequence mode needs a recording of
  // the Echomark shown, and goes off without one.
  void OnQuoteChanged();

  // --- Requests of the views (their window id) ---
  bool RequestPlay(int id);
  bool RequestPlayFrom(int segment, int id);
  bool RequestPlayFragment(int id);
  bool SetFragmentFromView(float start, float end, int id);
  bool SetPositionFromView(int segment, int id);
  bool PlayRecordingFromView();
  bool PlayRecordingFragmentFromView();

  // --- Reports of the engine ---
  void OnPlayPosition(double percent);
  void OnRecordPosition(double percent);
  // The end of a play, as the notification object queued it.
  void OnPlayEnded(COrv_PlayNotifyBase::Kind kind, uint64_t play);
  bool SetVolume(double left, double right);
  void GetVolume(double* left, double* right) const;

  // The entries of the speed popup for the speed button shown.
  std::vector<COrv_SpeedMenuItem> BuildSpeedMenu() const;

  // --- State ---
  bool IsPlaying() const { return m_playing; }
  bool IsRecording() const { return m_recording; }
  bool IsRecordingPlaying() const { return m_recordingPlaying; }
  bool IsLoop() const { return m_loop; }
  bool IsSequence() const { return m_sequence; }
  bool IsPlayAllRunning() const { return m_playAllRunning; }
  bool IsPlaybackPaused() const { return m_playbackPaused; }
  bool IsRecordingPaused() const { return m_recordingPaused; }
  bool IsRecordingPlaybackPaused() const { return m_recordingPlaybackPaused; }
  Pending PendingAction() const { return m_pending; }
  bool IsDelayedPlayPending() const { return m_pending != Pending::None; }
  int SequenceCounter() const { return m_sequenceCounter; }
  int PlayAllNumber() const { return m_playAllNumber; }
  // Whether the button of a command shows as down: its play runs, the play
  // is paused, loop or sequence mode is on, the voice is recording.
  bool IsDown(int id) const;
  // Whether the current Echomark has a recording of the learner's voice.
  bool RecordingAvailable() const;
  bool HasBook() const { return m_book != nullptr && m_book->HasBook(); }

 private:
  using Kind = COrv_PlayNotifyBase::Kind;
  bool startPlay(int button, bool fragment);
  bool startRecordingPlay(int button, bool fragment);
  bool playAllStep(int command, int startNumber);
  void endPlayAll(bool askToLoad);
  void releasePlayButtons();
  void releaseRecordButtons();
  void arm(Pending action);
  void onTimer();
  // Watches the play that just started (`seconds` long, at most) for a
  // device that stops answering; unwatch() while it is paused or stopped.
  void watch(double seconds);
  void unwatch();
  void onStalled(uint64_t play);
  void saveTake();
  // Stores the stopped take in the slot of its Echomark; the message to
  // show (0: none). An empty take is told only with `tellEmpty`.
  int storeTake(bool tellEmpty);
  void selectSpeed(int speed);
  void setFragmentPosition(bool start);
  void showError(int stringId);
  void changed();
  std::string text(int id) const;

  COrv_WaveOutWnd& m_engine;
  COrv_MCIRecord& m_recorder;
  COrv_AudioPanel& m_audioPanel;
  COrv_SecondaryPanel& m_secondaryPanel;
  COrv_FrameState& m_state;
  COrv_PlayBook* m_book = nullptr;
  COrv_PlayViews m_noViews;
  COrv_PlayViews* m_views = &m_noViews;
  SpeedPopup m_popup;
  std::function<void()> m_listener;
  // The button of the play that runs (0: none).
  int m_activeButton = 0;

  bool m_playing = false;
  bool m_recording = false;
  bool m_recordingPlaying = false;
  bool m_loop = false;
  bool m_sequence = false;
  bool m_playAllRunning = false;
  bool m_playbackPaused = false;
  bool m_recordingPaused = false;
  bool m_recordingPlaybackPaused = false;
  bool m_bookJustOpened = false;
  int m_delayMs = 2000;
  int m_sequenceCounter = 1;

  Pending m_pending = Pending::None;
  plat::audio::Dispatcher::Id m_timer = 0;
  plat::audio::Dispatcher::Id m_watchdog = 0;
  double m_watchSeconds = 0.0;
  // Numbers every play started, so an end queued for an earlier play (one
  // that a stop or a new play has replaced) is dropped.
  uint64_t m_play = 0;

  // The Play All / Play Up To End run: its numbers, speed, wave and the
  // bundle each step loads its Echomark's waves into.
  int m_playAllNumber = 0;
  int m_playAllFirst = 0;
  int m_playAllSpeed = 0;
  COrv_WavePlay m_playAllWave;
  COrv_InfoBundle m_playAllBundle;

  CPlayNotifyObj m_playNotify;
  CPlayFragNotifyObj m_playFragNotify;
  CPlayAllNotifyObj m_playAllNotify;
  CPlayUpToEndNotifyObj m_playUpToEndNotify;
  CRecNotifyObj m_recNotify;
  CRecFragNotifyObj m_recFragNotify;

  // Gone with the object: calls queued or armed for it check it first.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  int m_takeQuote = 0;

  friend class COrv_PlayNotifyBase;
  void queueEnd(Kind kind);
};
