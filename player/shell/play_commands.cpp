#include "player/shell/play_commands.h"

#include <algorithm>

#include "platform/audio/mci_wave.h"
#include "platform/fs/file_io.h"
#include "platform/ui/message_box.h"
#include "player/audio/mci_record.h"
#include "player/audio/quote_player.h"
#include "player/audio/recorded_voice.h"
#include "player/audio/wave_out_wnd.h"
#include "player/shell/command_table.h"
#include "player/shell/frame_state.h"
#include "player/shell/panels.h"
#include "shared/language/orv_language.h"

using namespace play_cmd;

namespace {

constexpr int kStrPlayUpToEndError = 20006, kStrPlayUpToEndNoFile = 20007, kStrPlayUpToEndNoLoad = 20008;
constexpr int kStrLoadPlayedQuote = 20009;
constexpr int kStrNoSpeeds = 20010;
constexpr int kStrNoAudioDevice = 20058;
constexpr int kStrErrorCaption = 9002, kStrWarningCaption = 9003;
constexpr int kStrNormal = 9991, kStrSlow = 9992, kStrFast = 9993;

// The first "%d" of a text from a language module, filled in by hand: such
// texts are never handed to printf.
std::string fillNumber(std::string text, int number) {
  const auto at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(number));
  return text;
}

bool isPercentRange(float start, float end) { return start >= 0.0f && start <= end && end <= 100.0f; }

}  // namespace

void COrv_PlayNotifyBase::OnWaveEnd(COrv_WavePlay*) {
  if (m_frame) m_frame->queueEnd(m_kind);
}

void COrv_PlayNotifyBase::OnWavePosition(double percent) {
  if (!m_frame) return;
  switch (m_kind) {
    case Kind::Play:
    case Kind::PlayFragment:
      m_frame->OnPlayPosition(percent);
      break;
    case Kind::Record:
    case Kind::RecordFragment:
      m_frame->OnRecordPosition(percent);
      break;
    case Kind::PlayAll:
    case Kind::PlayUpToEnd:
      break;  // a run shows no position: its Echomark is not the one shown
  }
}

COrv_PlayCommands::COrv_PlayCommands(COrv_WaveOutWnd& engine, COrv_MCIRecord& recorder,
                                     COrv_AudioPanel& audioPanel, COrv_SecondaryPanel& secondaryPanel,
                                     COrv_FrameState& state)
    : m_engine(engine),
      m_recorder(recorder),
      m_audioPanel(audioPanel),
      m_secondaryPanel(secondaryPanel),
      m_state(state) {
  m_delayMs = m_state.GetInt(kSettingPlayWait, 2) * 1000;
  const std::initializer_list<COrv_PlayNotifyBase*> objects = {&m_playNotify, &m_playFragNotify, &m_playAllNotify,
                                                                &m_playUpToEndNotify, &m_recNotify, &m_recFragNotify};
  for (COrv_PlayNotifyBase* n : objects) n->SetFrame(this);
}

COrv_PlayCommands::~COrv_PlayCommands() {
  *m_alive = false;
  if (m_timer) plat::audio::uiDispatcher().cancel(m_timer);
  unwatch();
  // No play may report to objects that are going.
  m_engine.Forget(&m_playAllWave);
  if (m_engine.IsOpen()) {
    m_engine.Reset();
    m_engine.UnprepareHeader();
    m_engine.Close();
  }
}

// --- Registration ------------------------------------------------------------

void COrv_PlayCommands::Register(COrv_CommandTable& table) {
  using State = COrv_CommandTable::State;
  // A button's look follows its command's checked state: down while its
  // play runs, while paused, in loop or sequence mode, while recording.
  auto look = [this](int id, bool enabled) { return State{enabled, enabled && IsDown(id)}; };
  auto withBook = [this, look](int id) { return [this, look, id] { return look(id, HasBook()); }; };
  auto withRecording = [this, look](int id) { return [this, look, id] { return look(id, RecordingAvailable()); }; };
  table.Add(kPlay, [this] { OnPlay(); }, withBook(kPlay));
  table.Add(kPause, [this] { OnPause(); }, [this, look] { return look(kPause, HasBook() && m_playing); });
  table.Add(kPlayFragment, [this] { OnPlayFragment(); }, withBook(kPlayFragment));
  table.Add(kPlayAll, [this] { OnPlayAll(); }, withBook(kPlayAll));
  table.Add(kPlayUpToEnd, [this] { OnPlayUpToEnd(); }, withBook(kPlayUpToEnd));
  table.Add(kPlayLoop, [this] { OnPlayLoop(); }, withBook(kPlayLoop));
  table.Add(kPlaySequence, [this] { OnPlaySequence(); }, withRecording(kPlaySequence));
  // The fragment keys take the position of the Echomark shown, never that
  // of a Play All run.
  auto whilePlayingShown = [this] { return State{HasBook() && m_playing && !m_playAllRunning, false}; };
  table.Add(kFragmentStart, [this] { OnSetFragmentStart(); }, whilePlayingShown);
  table.Add(kFragmentEnd, [this] { OnSetFragmentEnd(); }, whilePlayingShown);
  table.Add(kSpeedNormal, [this] { OnSpeedNormal(); }, withBook(kSpeedNormal));
  table.Add(kSpeedFast, [this] { OnSpeedFast(); }, withBook(kSpeedFast));
  table.Add(kSpeedSlow, [this] { OnSpeedSlow(); }, withBook(kSpeedSlow));
  for (int id : {kSpeedButtonNormal, kSpeedButtonFast, kSpeedButtonSlow})
    table.Add(id, [this] { OnSpeedButton(); }, withBook(id));

  table.Add(kRecord, [this] { OnRecord(); }, withBook(kRecord));
  table.Add(kRecordingPlay, [this] { OnRecordingPlay(); }, withRecording(kRecordingPlay));
  table.Add(kRecordingFragment, [this] { OnRecordingFragment(); }, withRecording(kRecordingFragment));
  table.Add(kRecordingStop, [this] { OnStop(); }, withBook(kRecordingStop));
  table.Add(kStop, [this] { OnStop(); }, withBook(kStop));
  table.Add(kRecordingPause, [this] { OnRecordingPause(); },
            [this, look] { return look(kRecordingPause, HasBook() && (m_recording || m_recordingPlaying)); });
}

// --- Helpers ----------------------------------------------------------------------

std::string COrv_PlayCommands::text(int id) const {
  return COrv_Language(m_state.GetInterfaceLanguage()).LoadString(id);
}

void COrv_PlayCommands::showError(int stringId) {
  plat::ui::MessageBox(text(stringId), text(kStrErrorCaption), plat::ui::MB_ICONHAND);
}

bool COrv_PlayCommands::IsDown(int id) const {
  switch (id) {
    case kPlay:
    case kPlayFragment:
    case kPlayAll:
    case kPlayUpToEnd:
    case kRecordingPlay:
    case kRecordingFragment:
      return m_activeButton == id;
    case kPause: return m_playbackPaused;
    case kPlayLoop: return m_loop;
    case kPlaySequence: return m_sequence;
    case kRecord: return m_recording;
    case kRecordingPause: return m_recordingPaused || m_recordingPlaybackPaused;
    default: return false;
  }
}

void COrv_PlayCommands::changed() {
  // Each id stands on one panel only; the other panel ignores it.
  for (int id : {kPlay, kPause, kPlayFragment, kPlayAll, kPlayUpToEnd, kPlayLoop, kPlaySequence, kRecord,
                 kRecordingPlay, kRecordingFragment, kRecordingPause}) {
    m_audioPanel.SetButtonState(id, IsDown(id));
    m_secondaryPanel.SetButtonState(id, IsDown(id));
  }
  if (m_listener) m_listener();
}

bool COrv_PlayCommands::RecordingAvailable() const {
  if (!HasBook()) return false;
  return !m_book->Voice().GetSlotFile(m_book->CurrentQuote()).empty();
}

// --- Plays ------------------------------------------------------------------------

bool COrv_PlayCommands::startPlay(int button, bool fragment) {
  if (!HasBook()) return false;
  StopAll();
  COrv_QuotePlayer& player = m_book->QuotePlayer();
  COrv_WaveNotifyObj* notify = fragment ? static_cast<COrv_WaveNotifyObj*>(&m_playFragNotify) : &m_playNotify;
  const bool ok = fragment ? player.PlayFragment(&m_engine, notify) : player.PlayRange(0.0f, 100.0f, &m_engine, notify);
  if (ok) {
    m_playing = true;
    m_activeButton = button;
    watch(player.Wave().GetDurationSeconds());
  }
  changed();
  return ok;
}

bool COrv_PlayCommands::startRecordingPlay(int button, bool fragment) {
  if (!HasBook()) return false;
  StopAll();
  COrv_RecordedVoice& voice = m_book->Voice();
  const int n = m_book->CurrentQuote();
  // The wave holds the take of the slot selected last: make it this
  // Echomark's before playing.
  const std::string file = voice.GetSlotFile(n);
  bool ok = !file.empty();
  if (ok && (voice.GetCurrentSlot() != n || !voice.GetWave().IsLoaded() || voice.GetWave().GetPath() != file))
    ok = voice.SelectSlot(n);
  if (ok) {
    COrv_WaveNotifyObj* notify = fragment ? static_cast<COrv_WaveNotifyObj*>(&m_recFragNotify) : &m_recNotify;
    ok = fragment ? voice.PlayFragment(&m_engine, notify) : voice.PlayRange(0.0f, 100.0f, &m_engine, notify);
  }
  if (ok) {
    m_recordingPlaying = true;
    m_activeButton = button;
    watch(voice.GetWave().GetDurationSeconds());
  }
  changed();
  return ok;
}

void COrv_PlayCommands::OnPlay() {
  m_sequenceCounter = 1;
  startPlay(kPlay, false);
}

void COrv_PlayCommands::OnPlayFragment() {
  m_sequenceCounter = 1;
  startPlay(kPlayFragment, true);
}

void COrv_PlayCommands::OnRecordingPlay() {
  m_sequenceCounter = 1;
  startRecordingPlay(kRecordingPlay, false);
}

void COrv_PlayCommands::OnRecordingFragment() {
  m_sequenceCounter = 1;
  startRecordingPlay(kRecordingFragment, true);
}

void COrv_PlayCommands::RestartPlay() {
  if (IsDelayedPlayPending()) return;
  OnPlay();
}

void COrv_PlayCommands::OnPause() {
  if (!m_engine.IsOpen()) return;
  if (m_playbackPaused) {
    m_playbackPaused = false;
    m_engine.Restart();
    watch(m_watchSeconds);
  } else {
    m_playbackPaused = true;
    m_engine.Pause();
    unwatch();
  }
  changed();
}

void COrv_PlayCommands::OnPlayLoop() { SetLoopMode(!m_loop); }

void COrv_PlayCommands::SetLoopMode(bool on) {
  m_loop = on;
  changed();
}

void COrv_PlayCommands::OnPlaySequence() {
  if (!RecordingAvailable()) return;
  m_sequence = !m_sequence;
  changed();
}

void COrv_PlayCommands::SetSequenceMode(bool on) {
  m_sequence = on && RecordingAvailable();
  changed();
}

void COrv_PlayCommands::RefreshSpeechViews() {
  m_views->RefreshSpeechView(COrv_PlayViews::kAudioSpeechView);
  m_views->RefreshSpeechView(COrv_PlayViews::kRecordSpeechView);
}

void COrv_PlayCommands::OnQuoteChanged() {
  if (!RecordingAvailable()) m_sequence = false;
  changed();
}

// --- The end of a play and the repetition timer -----------------------------------

void COrv_PlayCommands::queueEnd(Kind kind) {
  // The device's own callback is still on the stack: the end runs later,
  // when stopping closes nothing under it.
  std::weak_ptr<bool> alive = m_alive;
  const uint64_t play = m_play;
  plat::audio::uiDispatcher().post([this, alive, kind, play] {
    if (alive.lock()) OnPlayEnded(kind, play);
  });
}

void COrv_PlayCommands::OnPlayEnded(Kind kind, uint64_t play) {
  // A stop or a new play since the end was queued has replaced that play.
  if (play != m_play) return;
  if (kind == Kind::PlayAll || kind == Kind::PlayUpToEnd) {
    StopAll();
    arm(kind == Kind::PlayAll ? Pending::PlayAllStep : Pending::PlayUpToEndStep);
    changed();
    return;
  }
  Pending same = Pending::Play, other = Pending::RecordingPlay;
  switch (kind) {
    case Kind::PlayFragment:
      same = Pending::PlayFragment;
      other = Pending::RecordingFragment;
      break;
    case Kind::Record:
      same = Pending::RecordingPlay;
      other = Pending::Play;
      break;
    case Kind::RecordFragment:
      same = Pending::RecordingFragment;
      other = Pending::PlayFragment;
      break;
    default:
      break;
  }
  // A sequence needs a recording of the Echomark shown.
  const bool sequence = m_sequence && RecordingAvailable();
  StopAll();
  if (m_loop) {
    arm(sequence ? other : same);
  } else if (sequence) {
    if (m_sequenceCounter == 1) {
      arm(other);
      m_sequenceCounter = 2;
    } else {
      --m_sequenceCounter;
    }
  }
  changed();
}

void COrv_PlayCommands::arm(Pending action) {
  plat::audio::Dispatcher& ui = plat::audio::uiDispatcher();
  if (m_timer) ui.cancel(m_timer);
  m_pending = action;
  std::weak_ptr<bool> alive = m_alive;
  m_timer = ui.post(
      [this, alive] {
        if (alive.lock()) onTimer();
      },
      static_cast<int64_t>(std::max(0, m_delayMs)) * 1000);
}

void COrv_PlayCommands::onTimer() {
  m_timer = 0;
  const Pending action = m_pending;
  m_pending = Pending::None;
  switch (action) {
    case Pending::Play:
      startPlay(kPlay, false);
      break;
    case Pending::PlayFragment:
      startPlay(kPlayFragment, true);
      break;
    case Pending::RecordingPlay:
      startRecordingPlay(kRecordingPlay, false);
      break;
    case Pending::RecordingFragment:
      startRecordingPlay(kRecordingFragment, true);
      break;
    case Pending::PlayAllStep:
      playAllStep(kPlayAll, 0);
      break;
    case Pending::PlayUpToEndStep:
      playAllStep(kPlayUpToEnd, 0);
      break;
    case Pending::None:
      break;
  }
  changed();
}

void COrv_PlayCommands::watch(double seconds) {
  unwatch();
  m_watchSeconds = seconds;
  std::weak_ptr<bool> alive = m_alive;
  const uint64_t play = m_play;
  const int64_t us = static_cast<int64_t>(std::max(0.0, seconds) * 1e6) + int64_t{kStallMarginMs} * 1000;
  m_watchdog = plat::audio::uiDispatcher().post(
      [this, alive, play] {
        if (alive.lock()) onStalled(play);
      },
      us);
}

void COrv_PlayCommands::unwatch() {
  if (m_watchdog) plat::audio::uiDispatcher().cancel(m_watchdog);
  m_watchdog = 0;
}

void COrv_PlayCommands::onStalled(uint64_t play) {
  m_watchdog = 0;
  if (play != m_play) return;
  // The device took the play and never handed it back: whatever it was,
  // nothing would end it, and every command must be usable again.
  StopAll();
  plat::ui::MessageBox(text(kStrNoAudioDevice), text(kStrErrorCaption), plat::ui::MB_ICONHAND);
}

// --- Play All and Play Up To End ----------------------------------------------

void COrv_PlayCommands::OnPlayAll() {
  if (!HasBook()) return;
  StopAll();
  playAllStep(kPlayAll, 1);
  changed();
}

void COrv_PlayCommands::OnPlayUpToEnd() {
  if (!HasBook()) return;
  StopAll();
  playAllStep(kPlayUpToEnd, m_book->CurrentQuote());
  changed();
}

bool COrv_PlayCommands::playAllStep(int command, int startNumber) {
  if (!HasBook()) return false;
  const bool all = command == kPlayAll;
  const int count = m_book->QuoteCount();
  if (startNumber != 0) {
    m_playAllRunning = true;
    m_playAllNumber = m_playAllFirst = startNumber;
    const int speedId = m_audioPanel.GetSpeedButtonId();
    m_playAllSpeed = speedId == kSpeedButtonFast ? 1 : speedId == kSpeedButtonSlow ? -1 : 0;
  } else if (++m_playAllNumber > count) {
    if (!m_loop) {
      StopAll();
      return false;
    }
    m_playAllNumber = m_playAllFirst;
  }
  auto fail = [&](int playAllText, int upToEndText) {
    StopAll();
    plat::ui::AppMessageBox(text(all ? playAllText : upToEndText), plat::ui::MB_ICONHAND);
    return false;
  };
  m_playAllBundle.ClearAll();
  if (!m_book->LoadQuoteWaves(m_playAllBundle, m_playAllNumber))
    return fail(kStrPlayAllError, kStrPlayUpToEndError);
  std::filesystem::path path = m_playAllBundle.Waves().GetWaveFile(m_playAllSpeed);
  if (path.empty()) path = m_playAllBundle.Waves().GetWaveFile(0);
  if (path.empty()) return fail(kStrPlayAllNoFile, kStrPlayUpToEndNoFile);
  if (!m_playAllWave.LoadFile(path, false, true)) return fail(kStrPlayAllNoLoad, kStrPlayUpToEndNoLoad);
  COrv_WaveNotifyObj* notify = all ? static_cast<COrv_WaveNotifyObj*>(&m_playAllNotify) : &m_playUpToEndNotify;
  if (!m_playAllWave.PlayAll(&m_engine, notify, true)) {
    StopAll();
    return false;
  }
  m_playing = true;
  m_playAllRunning = true;
  m_activeButton = command;
  watch(m_playAllWave.GetDurationSeconds());
  return true;
}

void COrv_PlayCommands::endPlayAll(bool askToLoad) {
  m_playAllWave.Clear();
  m_playAllBundle.ClearAll();
  m_playAllRunning = false;
  if (!askToLoad || !HasBook() || m_book->CurrentQuote() == m_playAllNumber) return;
  const int n = m_playAllNumber;
  if (plat::ui::MessageBox(fillNumber(text(kStrLoadPlayedQuote), n), text(kStrWarningCaption),
                           plat::ui::MB_YESNO | plat::ui::MB_ICONQUESTION) == plat::ui::IDYES)
    m_book->GoToQuote(n);
}

// --- Stopping ---------------------------------------------------------------------

void COrv_PlayCommands::StopAll(bool askToLoad) {
  StopPlayback(askToLoad);
  StopRecording();
}

void COrv_PlayCommands::StopPlayback(bool askToLoad) {
  if (m_engine.IsOpen()) {
    m_engine.Reset();
    m_engine.UnprepareHeader();
    m_engine.Close();
  }
  ++m_play;
  unwatch();
  m_playing = false;
  m_recordingPlaying = false;
  if (m_timer) plat::audio::uiDispatcher().cancel(m_timer);
  m_timer = 0;
  m_pending = Pending::None;
  releasePlayButtons();
  if (m_playAllRunning) {
    // The buttons show the stop before the learner is asked whether to
    // load the Echomark that was playing.
    changed();
    endPlayAll(askToLoad);
  }
  m_views->ResetPlayMarkers();
  changed();
}

void COrv_PlayCommands::releasePlayButtons() {
  m_activeButton = 0;
  m_playbackPaused = false;
}

void COrv_PlayCommands::StopRecording() {
  if (m_recording) saveTake();
  if (m_recorder.IsOpen()) m_recorder.Close();
  m_recording = false;
  releaseRecordButtons();
  if (m_bookJustOpened && m_state.GetInt(kSettingInitPlayRecSequence) == 1 && RecordingAvailable()) {
    m_sequence = true;
    m_bookJustOpened = false;
  }
  changed();
}

void COrv_PlayCommands::releaseRecordButtons() {
  if (m_activeButton == kRecordingPlay || m_activeButton == kRecordingFragment) m_activeButton = 0;
  m_recordingPaused = m_recordingPlaybackPaused = false;
}

// --- Recording ----------------------------------------------------------------------

void COrv_PlayCommands::OnRecord() {
  if (!HasBook()) return;
  StopAll();
  if (!m_recorder.Open(0)) {
    // No input device (or none that records this format): say so, and
    // leave every command usable.
    m_recorder.ShowMCIError(plat::audio::MCIERR_HARDWARE, "MCI_OPEN");
    StopAll();
    return;
  }
  // A failing record shows its own message.
  if (!m_recorder.Record()) {
    StopAll();
    return;
  }
  m_recording = true;
  m_takeQuote = m_book->CurrentQuote();
  changed();
}

void COrv_PlayCommands::saveTake() {
  // A recorder whose input went away under way still holds what it
  // captured before: that take is stored first, then the loss is told once.
  const bool deviceLost = !m_recorder.Stop();
  m_recording = false;
  m_recordingPaused = false;
  const int message = storeTake(!deviceLost);
  if (deviceLost) showError(kStrNoAudioDevice);
  if (message) showError(message);
}

int COrv_PlayCommands::storeTake(bool tellEmpty) {
  const std::string path = m_recorder.SaveToTempFile();
  if (path.empty()) return tellEmpty ? kStrTakeNotSaved : 0;
  if (!HasBook()) {
    plat::fs::removeFile(path);
    return 0;
  }
  // The take belongs to the Echomark it was recorded on.
  const COrv_RecordedVoice::TakeResult result = m_book->Voice().ReplaceTake(path, m_takeQuote);
  if (result == COrv_RecordedVoice::TakeResult::Kept || result == COrv_RecordedVoice::TakeResult::Restored)
    m_views->RefreshSpeechView(COrv_PlayViews::kRecordSpeechView);
  return COrv_RecordedVoice::MessageFor(result);
}

void COrv_PlayCommands::OnStop() {
  // A running take is saved by the stop itself; only a stop of the book
  // audio may offer to go to the Echomark a run was playing.
  StopAll(!m_recording);
}

void COrv_PlayCommands::OnRecordingPause() {
  if (m_recording) {
    if (m_recordingPaused) {
      m_recordingPaused = false;
      m_recorder.Resume();
    } else {
      m_recordingPaused = true;
      m_recorder.Pause();
    }
  } else if (m_recordingPlaying) {
    if (m_recordingPlaybackPaused) {
      m_recordingPlaybackPaused = false;
      m_engine.Restart();
      watch(m_watchSeconds);
    } else {
      m_recordingPlaybackPaused = true;
      m_engine.Pause();
      unwatch();
    }
  }
  changed();
}

// --- Fragment keys ------------------------------------------------------------------

void COrv_PlayCommands::OnSetFragmentStart() { setFragmentPosition(true); }
void COrv_PlayCommands::OnSetFragmentEnd() { setFragmentPosition(false); }

void COrv_PlayCommands::setFragmentPosition(bool start) {
  if (!HasBook() || !m_playing || m_playAllRunning) return;
  const double played = m_engine.GetPositionPercent();
  if (played < 0.0) return;
  // The engine counts from the start of the range it plays.
  const float p = static_cast<float>(std::min(100.0, m_engine.GetStartPercent() + played));
  float s = 0.0f, e = 100.0f;
  m_book->GetQuoteFragment(&s, &e);
  if (start) {
    if (e <= p) e = 100.0f;
    SetFragmentFromView(p, e, kFragmentStart);
  } else {
    if (p <= s) s = 0.0f;
    SetFragmentFromView(s, p, kFragmentEnd);
  }
}

// --- Speeds ----------------------------------------------------------------------

void COrv_PlayCommands::selectSpeed(int speed) {
  if (!HasBook()) return;
  if (speed > 0)
    m_audioPanel.SetFastSpeedButton();
  else if (speed < 0)
    m_audioPanel.SetSlowSpeedButton();
  else
    m_audioPanel.ResetSpeedButton();
  COrv_QuotePlayer& player = m_book->QuotePlayer();
  if (m_playAllRunning) {
    // The run keeps its own speed; the Echomark shown takes the new one
    // when it loads next.
    player.SetSpeedIndex(speed);
    return;
  }
  if (m_playing) StopAll(true);
  player.SelectSpeed(speed);
  m_views->RefreshSpeechView(COrv_PlayViews::kAudioSpeechView);
  changed();
}

void COrv_PlayCommands::SetPlaySpeed(int speed) {
  if (!HasBook()) return;
  const uint32_t status = m_book->QuoteStatus();
  if (status == 0) return;
  selectSpeed((status & kStatusHasSpeeds) == 0 ? 0 : std::clamp(speed, -1, 1));
}

std::vector<COrv_SpeedMenuItem> COrv_PlayCommands::BuildSpeedMenu() const {
  const int shown = m_audioPanel.GetSpeedButtonId();
  std::vector<COrv_SpeedMenuItem> items;
  if (shown != kSpeedButtonFast) items.push_back({text(kStrFast), kSpeedFast});
  if (shown != kSpeedButtonNormal) items.push_back({text(kStrNormal), kSpeedNormal});
  if (shown != kSpeedButtonSlow) items.push_back({text(kStrSlow), kSpeedSlow});
  return items;
}

void COrv_PlayCommands::OnSpeedButton() {
  if (!HasBook()) return;
  if ((m_book->QuoteStatus() & kStatusHasSpeeds) == 0) {
    OnSpeedNormal();
    plat::ui::AppMessageBox(text(kStrNoSpeeds), plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  if (m_playAllRunning || IsDelayedPlayPending()) {
    plat::ui::MessageBeep(plat::ui::MB_ICONEXCLAMATION);
    return;
  }
  const int chosen = m_popup ? m_popup(BuildSpeedMenu()) : 0;
  if (chosen == kSpeedFast) OnSpeedFast();
  else if (chosen == kSpeedNormal) OnSpeedNormal();
  else if (chosen == kSpeedSlow) OnSpeedSlow();
}

// --- Requests of the views ----------------------------------------------------------

bool COrv_PlayCommands::RequestPlay(int id) {
  switch (id) {
    case kSoFarPane:
    case COrv_PlayViews::kAudioSelector:
    case COrv_PlayViews::kAudioSpeechView:
      if (IsDelayedPlayPending()) return false;
      OnPlay();
      return true;
    case COrv_PlayViews::kRecordSelector:
    case COrv_PlayViews::kRecordSpeechView:
      return true;
    default:
      return false;
  }
}

bool COrv_PlayCommands::RequestPlayFrom(int segment, int id) {
  switch (id) {
    case kSoFarPane:
    case COrv_PlayViews::kAudioSelector:
    case COrv_PlayViews::kAudioSpeechView:
      break;
    case COrv_PlayViews::kRecordSelector:
    case COrv_PlayViews::kRecordSpeechView:
      return true;
    default:
      return false;
  }
  if (IsDelayedPlayPending()) return true;
  if (!HasBook()) return false;
  // Whatever plays, the book audio or the learner's recording, stops.
  StopAll();
  m_sequenceCounter = 1;
  if (m_book->SelectQuoteAudio(segment)) {
    float s = 0.0f, e = 100.0f;
    m_book->GetQuoteFragment(&s, &e);
    for (int view : {COrv_PlayViews::kAudioSelector, COrv_PlayViews::kAudioSpeechView})
      if (view != id) m_views->SetFragment(view, s, e);
  }
  if (m_book->QuotePlayer().PlaySegment(segment, &m_engine, &m_playFragNotify)) {
    m_playing = true;
    m_activeButton = kPlayFragment;
    watch(m_book->QuotePlayer().Wave().GetDurationSeconds());
  }
  changed();
  return true;
}

bool COrv_PlayCommands::RequestPlayFragment(int id) {
  switch (id) {
    case COrv_PlayViews::kAudioSelector:
    case COrv_PlayViews::kAudioSpeechView:
      if (!IsDelayedPlayPending()) OnPlayFragment();
      return true;
    case COrv_PlayViews::kRecordSelector:
    case COrv_PlayViews::kRecordSpeechView:
      PlayRecordingFragmentFromView();
      return true;
    default:
      return false;
  }
}

bool COrv_PlayCommands::PlayRecordingFromView() {
  if (IsDelayedPlayPending()) return false;
  OnRecordingPlay();
  return true;
}

bool COrv_PlayCommands::PlayRecordingFragmentFromView() {
  if (IsDelayedPlayPending()) return false;
  OnRecordingFragment();
  return true;
}

bool COrv_PlayCommands::SetFragmentFromView(float start, float end, int id) {
  bool audio = false;
  switch (id) {
    case COrv_PlayViews::kAudioSelector:
    case COrv_PlayViews::kAudioSpeechView:
    case kFragmentStart:
    case kFragmentEnd:
      audio = true;
      break;
    case COrv_PlayViews::kRecordSelector:
    case COrv_PlayViews::kRecordSpeechView:
      break;
    default:
      return false;
  }
  if (!HasBook() || !isPercentRange(start, end)) return false;
  const int selector = audio ? COrv_PlayViews::kAudioSelector : COrv_PlayViews::kRecordSelector;
  const int speechView = audio ? COrv_PlayViews::kAudioSpeechView : COrv_PlayViews::kRecordSpeechView;
  const bool stored = audio ? m_book->SetQuoteFragment(start, end) : m_book->SetRecordFragment(start, end);
  if (!stored) return false;
  if (id != selector) m_views->SetFragment(selector, start, end);
  if (id != speechView) m_views->SetFragment(speechView, start, end);
  return true;
}

bool COrv_PlayCommands::SetPositionFromView(int segment, int id) {
  if (id != COrv_PlayViews::kAudioSelector && id != COrv_PlayViews::kAudioSpeechView) return false;
  if (!HasBook()) return false;
  if (m_book->SelectQuoteAudio(segment)) {
    float s = 0.0f, e = 100.0f;
    m_book->GetQuoteFragment(&s, &e);
    for (int view : {COrv_PlayViews::kAudioSelector, COrv_PlayViews::kAudioSpeechView})
      if (view != id) m_views->SetFragment(view, s, e);
  }
  return true;
}

// --- Reports ----------------------------------------------------------------------

void COrv_PlayCommands::OnPlayPosition(double percent) { m_views->SetPlayMarker(COrv_PlayViews::kAudioSelector, percent); }

void COrv_PlayCommands::OnRecordPosition(double percent) {
  m_views->SetPlayMarker(COrv_PlayViews::kRecordSelector, percent);
}

bool COrv_PlayCommands::SetVolume(double left, double right) {
  if (!(left >= 0.0 && left <= 1.0 && right >= 0.0 && right <= 1.0)) return false;
  return m_engine.SetVolume(left, right);
}

void COrv_PlayCommands::GetVolume(double* left, double* right) const { m_engine.GetVolume(left, right); }
