#pragma once
// plat::audio: wave-out and wave-in devices shaped like the classic
// waveform-audio calls, behind interfaces that several backends implement.
//
// A device is opened with a PCM format; buffers (WaveHeader) are prepared,
// written (wave-out) or added (wave-in), and handed back through the done
// callback given at open. The rules every backend keeps:
//   - done is called on the UI thread (through the Dispatcher the backend
//     was made with), once per buffer, in the order the buffers were
//     written, never from inside a call of this interface and never after
//     the device was closed (close cancels the dones still on their way);
//   - reset returns every queued buffer (each still gets its done, later);
//   - no call blocks the UI thread longer than the operation itself;
//   - results are the classic MMRESULT codes below;
//   - a device whose sound server has gone away answers MMSYSERR_NODRIVER
//     (a write or start that cannot reach it; a wave-in stop after the
//     loss, which still hands back what was captured), and so does opening
//     while there is no device at all. Devices opened after the server is
//     back work again.
//
// Backends and how one plugs in
// -----------------------------
// A backend is a Backend subclass made by a factory registered under a
// name:
//
//     static const bool registered = plat::audio::registerBackend(
//         "qt", [](plat::audio::Dispatcher& ui) -> std::unique_ptr<plat::audio::Backend> {
//           return std::make_unique<QtAudioBackend>(ui);
//         });
//
// in a source file of tvplatform (a shared library, so the registrar always
// runs). The registrar only stores the factory: nothing touches a device or
// Qt until the program asks for the backend. Built in:
//   "virtual"  the logging device on the dispatcher's clock (virtual_device.h);
//   "silent"   the same device on the real clock of the UI dispatcher: it
//              plays nothing, in real time (machines without a sound server);
//   "none"     no devices at all.
//
// Which backend the program gets (currentBackend(), made at first use):
//   - TALVANE_TEST_MODE set and naming a registered backend: that one;
//   - TALVANE_TEST_MODE set to any other value: "silent";
//   - otherwise "qt" when registered, else "none".
// Tests install their own with ScopedBackend.
//
// A backend delivers dones with DoneQueue (done_queue.h), which keeps the
// ordering and never-after-close rules in one place.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::audio {

class Dispatcher;

// --- Result codes ------------------------------------------------------------
using MMRESULT = uint32_t;
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

// The device id that picks the system's default device.
inline constexpr uint32_t WAVE_MAPPER = 0xFFFFFFFFu;

// --- Formats -------------------------------------------------------------------
inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

// The 18 bytes of a WAVEFORMATEX, as fields.
struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;

  // PCM with block align and byte rate derived from the others.
  static WaveFormat pcm(uint32_t rate, uint16_t bits, uint16_t channels);
  // PCM of 8 or 16 bits, 1 or 2 channels, a rate in 1..192000 and block
  // align and byte rate that agree: what every backend must play.
  bool isPlayablePcm() const;
  bool operator==(const WaveFormat&) const = default;
};

// Capability format bits (WAVE_FORMAT_1M08 .. WAVE_FORMAT_4S16): bit k is
// rate {11025, 22050, 44100}[k / 4], bits 8 or 16 ((k / 2) % 2), mono or
// stereo (k % 2).
inline constexpr uint32_t WAVE_FORMAT_1M08 = 0x1, WAVE_FORMAT_1S08 = 0x2, WAVE_FORMAT_1M16 = 0x4,
                          WAVE_FORMAT_1S16 = 0x8, WAVE_FORMAT_2M08 = 0x10, WAVE_FORMAT_2S08 = 0x20,
                          WAVE_FORMAT_2M16 = 0x40, WAVE_FORMAT_2S16 = 0x80, WAVE_FORMAT_4M08 = 0x100,
                          WAVE_FORMAT_4S08 = 0x200, WAVE_FORMAT_4M16 = 0x400, WAVE_FORMAT_4S16 = 0x800;
inline constexpr uint32_t kAllCapsFormats = 0xFFF;
// The format of one capability bit; false (out untouched) for anything
// that is not exactly one of the twelve bits.
bool formatFromCapsFlag(uint32_t flag, WaveFormat& out);

// Capability support bits.
inline constexpr uint32_t WAVECAPS_PITCH = 0x1;
inline constexpr uint32_t WAVECAPS_PLAYBACKRATE = 0x2;
inline constexpr uint32_t WAVECAPS_VOLUME = 0x4;
inline constexpr uint32_t WAVECAPS_LRVOLUME = 0x8;
inline constexpr uint32_t WAVECAPS_SYNC = 0x10;
inline constexpr uint32_t WAVECAPS_SAMPLEACCURATE = 0x20;

struct WaveOutCaps {
  std::string name;
  uint32_t formats = 0;  // WAVE_FORMAT_* bits
  uint16_t channels = 0;
  uint32_t support = 0;  // WAVECAPS_* bits
};

struct WaveInCaps {
  std::string name;
  uint32_t formats = 0;
  uint16_t channels = 0;
};

// --- Time -----------------------------------------------------------------------
inline constexpr uint32_t TIME_MS = 0x1;
inline constexpr uint32_t TIME_SAMPLES = 0x2;
inline constexpr uint32_t TIME_BYTES = 0x4;
inline constexpr uint32_t TIME_SMPTE = 0x8;
inline constexpr uint32_t TIME_MIDI = 0x10;
inline constexpr uint32_t TIME_TICKS = 0x20;

// A position: the caller names the kind it would like in `type`; the device
// answers in a kind of its own choice and says which in `type`. Samples
// count frames (one per channel group); bytes count data bytes; both from
// the start of the first buffer written since open or reset.
struct MMTime {
  uint32_t type = TIME_MS;
  uint32_t value = 0;
};

// --- Buffers ----------------------------------------------------------------------
inline constexpr uint32_t WHDR_DONE = 0x1;
inline constexpr uint32_t WHDR_PREPARED = 0x2;
inline constexpr uint32_t WHDR_INQUEUE = 0x10;

// One buffer. The caller owns it and its data and keeps both alive until
// its done has been delivered (or the device is closed). Wave-out reads
// `data`; wave-in writes into it and sets bytesRecorded.
struct WaveHeader {
  char* data = nullptr;
  uint32_t bufferLength = 0;
  uint32_t bytesRecorded = 0;
  uintptr_t user = 0;
  uint32_t flags = 0;  // WHDR_* bits, kept by the device
};

// Called on the UI thread with a buffer the device has finished with.
using DoneCallback = std::function<void(WaveHeader*)>;

// --- Devices -------------------------------------------------------------------------
// What an open wave-out and wave-in device both answer. Destroying a device
// closes it.
class WaveDevice {
 public:
  virtual ~WaveDevice() = default;
  // Marks a header prepared (WHDR_PREPARED). A header already in the queue
  // answers WAVERR_STILLPLAYING.
  virtual MMRESULT prepare(WaveHeader* header) = 0;
  // Clears WHDR_PREPARED; a header still queued answers WAVERR_STILLPLAYING.
  virtual MMRESULT unprepare(WaveHeader* header) = 0;
  // Stops at once and hands back every queued buffer (WHDR_DONE, dones
  // follow); the position returns to 0 (a wave-out device is left
  // unpaused).
  virtual MMRESULT reset() = 0;
  // Wave-out: the position heard; wave-in: bytes or samples recorded since
  // open or reset (time in recording only).
  virtual MMRESULT getPosition(MMTime* time) = 0;
  // Stops, drops every pending done and releases the device. Buffers still
  // queued answer WAVERR_STILLPLAYING and leave the device open, as the
  // classic call does; reset first.
  virtual MMRESULT close() = 0;
};

// An open wave-out device.
class WaveOutDevice : public WaveDevice {
 public:
  // Queues a prepared header (else WAVERR_UNPREPARED) behind the others;
  // clears WHDR_DONE and sets WHDR_INQUEUE. Playing starts at once unless
  // the device is paused.
  virtual MMRESULT write(WaveHeader* header) = 0;
  virtual MMRESULT pause() = 0;
  virtual MMRESULT restart() = 0;
  // Left in the low 16 bits, right in the high 16 bits; 0xFFFF is full.
  // A device without separate volumes uses the low half for both.
  virtual MMRESULT getVolume(uint32_t* volume) = 0;
  virtual MMRESULT setVolume(uint32_t volume) = 0;
  virtual MMRESULT getCaps(WaveOutCaps* caps) = 0;
};

// An open wave-in device.
class WaveInDevice : public WaveDevice {
 public:
  // Queues an empty buffer to be filled (bytesRecorded set to 0).
  virtual MMRESULT addBuffer(WaveHeader* header) = 0;
  // Starts or resumes recording into the queued buffers; a full buffer is
  // handed back and recording goes on in the next one. With no buffer
  // queued the input is dropped.
  virtual MMRESULT start() = 0;
  // Stops recording; the buffer being filled is handed back with what it
  // holds (its done follows); nothing is captured until the next start.
  // The handed-back buffer's bytesRecorded is final when stop() returns (it
  // is set there, not at the done), and no buffer is written to until the
  // next start, so the caller may read every queued buffer's bytesRecorded
  // right after the call. A buffer still empty stays queued.
  virtual MMRESULT stop() = 0;
  virtual MMRESULT getCaps(WaveInCaps* caps) = 0;
};

// --- Backends ----------------------------------------------------------------------------
// PlaySound flags.
inline constexpr uint32_t SND_SYNC = 0x0;
inline constexpr uint32_t SND_ASYNC = 0x1;
inline constexpr uint32_t SND_NODEFAULT = 0x2;
inline constexpr uint32_t SND_MEMORY = 0x4;
inline constexpr uint32_t SND_LOOP = 0x8;
inline constexpr uint32_t SND_NOSTOP = 0x10;
inline constexpr uint32_t SND_FILENAME = 0x20000;
inline constexpr uint32_t SND_RESOURCE = 0x40004;

class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::string name() const = 0;

  // Device counts; ids run from 0; WAVE_MAPPER also opens (when count > 0).
  virtual uint32_t waveOutCount() = 0;
  virtual MMRESULT waveOutCaps(uint32_t id, WaveOutCaps* caps) = 0;
  // Opens a device for `format`; `done` receives every finished buffer.
  // A format the device cannot play answers WAVERR_BADFORMAT.
  virtual MMRESULT openWaveOut(uint32_t id, const WaveFormat& format, DoneCallback done,
                               std::unique_ptr<WaveOutDevice>& out) = 0;
  // Whether openWaveOut would accept the format (WAVE_FORMAT_QUERY): opens
  // nothing.
  virtual MMRESULT queryWaveOut(uint32_t id, const WaveFormat& format) = 0;

  virtual uint32_t waveInCount() = 0;
  virtual MMRESULT waveInCaps(uint32_t id, WaveInCaps* caps) = 0;
  virtual MMRESULT openWaveIn(uint32_t id, const WaveFormat& format, DoneCallback done,
                              std::unique_ptr<WaveInDevice>& out) = 0;

  // Plays a whole WAV file held in memory on the default device, apart
  // from any open device; a new sound replaces the one playing. Answers
  // false when the data is no playable WAV or there is no device. Async
  // returns at once; sync returns when the sound has ended.
  virtual bool playSound(std::string_view wavBytes, bool async) = 0;
  // Stops the sound playSound started, if any.
  virtual void stopSound() = 0;
};

using BackendFactory = std::function<std::unique_ptr<Backend>(Dispatcher& ui)>;

// Registers a factory under a name (a later one of the same name replaces
// it). Answers true, for use in a static initialiser.
bool registerBackend(const std::string& name, BackendFactory factory);
std::vector<std::string> backendNames();
// Makes a backend by name; nullptr when no such name is registered.
std::unique_ptr<Backend> createBackend(const std::string& name, Dispatcher& ui);
// The name the rules at the top choose for this process's environment.
std::string selectedBackendName();

// The process's backend, made at first use by the rules at the top on the
// UI dispatcher (uiDispatcher()).
Backend& currentBackend();
// Replaces the current backend (not owned); nullptr goes back to the
// default choice. Answers the previous one set this way.
Backend* setCurrentBackend(Backend* backend);

class ScopedBackend {
 public:
  explicit ScopedBackend(Backend& backend) : previous_(setCurrentBackend(&backend)) {}
  ~ScopedBackend() { setCurrentBackend(previous_); }
  ScopedBackend(const ScopedBackend&) = delete;
  ScopedBackend& operator=(const ScopedBackend&) = delete;

 private:
  Backend* previous_;
};

// --- System sounds -------------------------------------------------------------------------
// Names of built-in sounds for PlaySound with SND_RESOURCE; a program adds
// its own wave resources here.
void registerSoundResource(const std::string& name, std::string wavBytes);

// PlaySound: `sound` is a file path (SND_FILENAME), a registered resource
// name (SND_RESOURCE) or, with neither, either of them (file first). An
// empty sound stops the one playing. Answers false when the sound cannot be
// found, read or played (SND_NODEFAULT is implied: no fallback sound).
bool PlaySound(const std::string& sound, uint32_t flags);

// Beeps go through plat::ui::MessageBeep (message_box.h), so that the test
// sinks record them with the boxes.

}  // namespace plat::audio
