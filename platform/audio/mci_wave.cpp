#include "platform/audio/mci_wave.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/riff/wav.h"

namespace plat::audio {

namespace {

// Recording runs through buffers of a quarter second, a few queued at a
// time, so that a long maximum never asks for one huge block up front and a
// pause never loses input while a handed-back buffer is on its way.
constexpr uint32_t kBuffersPerSecond = 4;
constexpr size_t kQueuedBuffers = 3;

MCIERROR fromWaveIn(MMRESULT r) {
  switch (r) {
    case MMSYSERR_NOERROR: return 0;
    case MMSYSERR_ALLOCATED:
    case MMSYSERR_HANDLEBUSY: return MCIERR_WAVE_INPUTSINUSE;
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_NODRIVER:
    case WAVERR_BADFORMAT: return MCIERR_WAVE_INPUTSUNSUITABLE;
    case MMSYSERR_NOMEM: return MCIERR_OUT_OF_MEMORY;
    default: return MCIERR_HARDWARE;
  }
}

bool sameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

class WaveAudioDevice {
 public:
  WaveAudioDevice(MCIDEVICEID id, Backend& backend, Dispatcher& ui)
      : id_(id), backend_(backend), ui_(ui), format_(WaveFormat::pcm(11025, 8, 1)) {}
  ~WaveAudioDevice() {
    releaseInput();
    for (Dispatcher::Id posted : posted_) ui_.cancel(posted);
  }
  WaveAudioDevice(const WaveAudioDevice&) = delete;
  WaveAudioDevice& operator=(const WaveAudioDevice&) = delete;

  // Commands given with MCI_NOTIFY replace a notification still pending.
  void takeNotify(uint32_t flags, MciNotifyTarget* target) {
    if (!(flags & MCI_NOTIFY) || !target) return;
    endPending(MCI_NOTIFY_SUPERSEDED);
  }
  void succeeded(uint32_t flags, MciNotifyTarget* target) {
    if ((flags & MCI_NOTIFY) && target) post(target, MCI_NOTIFY_SUCCESSFUL);
  }

  MCIERROR set(uint32_t flags, const MCI_WAVE_SET_PARMS& p) {
    if (flags & MCI_SET_TIME_FORMAT) {
      if (p.timeFormat != MCI_FORMAT_MILLISECONDS && p.timeFormat != MCI_FORMAT_SAMPLES &&
          p.timeFormat != MCI_FORMAT_BYTES)
        return MCIERR_BAD_TIME_FORMAT;
    }
    WaveFormat f = format_;
    if (flags & MCI_WAVE_SET_FORMATTAG) f.formatTag = p.formatTag;
    if (flags & MCI_WAVE_SET_CHANNELS) f.channels = p.channels;
    if (flags & MCI_WAVE_SET_SAMPLESPERSEC) f.samplesPerSec = p.samplesPerSec;
    if (flags & MCI_WAVE_SET_AVGBYTESPERSEC) f.avgBytesPerSec = p.avgBytesPerSec;
    if (flags & MCI_WAVE_SET_BLOCKALIGN) f.blockAlign = p.blockAlign;
    if (flags & MCI_WAVE_SET_BITSPERSAMPLE) f.bitsPerSample = p.bitsPerSample;
    if (!f.isPlayablePcm()) return MCIERR_OUTOFRANGE;
    if (!(f == format_)) {
      if (mode_ != Mode::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
      releaseInput();  // the take and the device were for the old format
      format_ = f;
    }
    if (flags & MCI_SET_TIME_FORMAT) timeFormat_ = p.timeFormat;
    return 0;
  }

  MCIERROR cue() {
    if (mode_ != Mode::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
    if (!buffers_.empty()) releaseInput();  // a cue prepares a new take
    return openInput();
  }

  MCIERROR record(uint32_t flags, const MCI_RECORD_PARMS& p) {
    if (flags & MCI_WAIT) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (!(flags & MCI_TO)) return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_FROM) && p.from != 0) return MCIERR_OUTOFRANGE;
    const uint64_t frames = toFrames(p.to);
    const uint64_t bytes = frames * format_.blockAlign;
    if (frames == 0 || bytes > UINT32_MAX - plat::riff::kCanonicalHeaderSize) return MCIERR_OUTOFRANGE;

    endPending(MCI_NOTIFY_ABORTED);  // the take under way, if any
    if (!buffers_.empty() || mode_ != Mode::Stopped) releaseInput();
    lost_ = false;
    if (MCIERROR e = openInput()) return e;
    maxBytes_ = static_cast<uint32_t>(bytes);
    if (MCIERROR e = topUp()) {
      releaseInput();
      return e;
    }
    if (MCIERROR e = fromWaveIn(input_->start())) {
      releaseInput();
      return e;
    }
    mode_ = Mode::Recording;
    if ((flags & MCI_NOTIFY) && p.callback) pending_ = p.callback;
    return 0;
  }

  // A take whose input device went away under way is stopped and kept like
  // any other; the stop then answers MCIERR_HARDWARE, so that the caller
  // can tell the learner the device is gone.
  MCIERROR stop(uint32_t flags, MciNotifyTarget* target) {
    endPending(MCI_NOTIFY_ABORTED);
    if (mode_ == Mode::Recording) freeze();
    mode_ = Mode::Stopped;
    if (lost_) return MCIERR_HARDWARE;
    succeeded(flags, target);
    return 0;
  }

  MCIERROR pause() {
    if (mode_ == Mode::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
    if (mode_ == Mode::Recording) {
      freeze();
      mode_ = Mode::Paused;
      // The last buffer may have filled just as the pause came.
      if (captured() >= maxBytes_) finish(MCI_NOTIFY_SUCCESSFUL);
    }
    return 0;
  }

  MCIERROR resume() {
    if (mode_ == Mode::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
    if (mode_ == Mode::Recording) return 0;
    if (MCIERROR e = topUp()) return e;
    if (MCIERROR e = fromWaveIn(input_->start())) return e;
    mode_ = Mode::Recording;
    return 0;
  }

  MCIERROR save(const std::filesystem::path& path) {
    if (mode_ == Mode::Recording) return MCIERR_NONAPPLICABLE_FUNCTION;
    std::string samples;
    samples.reserve(captured());
    for (const auto& b : buffers_) samples.append(b->data.get(), kept(*b));
    if (samples.empty() || path.empty()) return MCIERR_FILE_NOT_SAVED;
    const plat::riff::WavFormat f =
        plat::riff::WavFormat::pcm(format_.samplesPerSec, format_.bitsPerSample, format_.channels);
    return plat::riff::writeWavFile(path, f, samples) ? MCIERR_FILE_NOT_SAVED : 0;
  }

  // Releases the wave-in device; answers the failure it reported, if any.
  MCIERROR close() {
    pending_ = nullptr;
    return releaseInput();
  }

 private:
  enum class Mode { Stopped, Recording, Paused };
  struct Buffer {
    std::unique_ptr<char[]> data;
    WaveHeader header;
    bool delivered = false;  // its done has come
    bool cut = false;        // handed back by a stop, holding `keptBytes`
    uint32_t keptBytes = 0;
  };

  uint64_t toFrames(uint32_t value) const {
    switch (timeFormat_) {
      case MCI_FORMAT_SAMPLES: return value;
      case MCI_FORMAT_BYTES: return value / format_.blockAlign;
      default: return uint64_t{value} * format_.samplesPerSec / 1000u;
    }
  }

  // What a buffer holds or will hold of the take.
  static uint32_t kept(const Buffer& b) {
    if (b.delivered) return b.header.bytesRecorded;
    if (b.cut) return b.keptBytes;
    return 0;
  }
  // Bytes the take holds for certain (a stopped capture: all of it).
  uint64_t captured() const {
    uint64_t n = 0;
    for (const auto& b : buffers_) n += kept(*b);
    return n;
  }
  // Bytes the take will hold once the queued buffers are full.
  uint64_t committed() const {
    uint64_t n = 0;
    for (const auto& b : buffers_) n += (b->delivered || b->cut) ? kept(*b) : b->header.bufferLength;
    return n;
  }

  MCIERROR openInput() {
    if (input_) return 0;
    std::unique_ptr<WaveInDevice> in;
    const MMRESULT r = backend_.openWaveIn(WAVE_MAPPER, format_, [this](WaveHeader* h) { onDone(h); }, in);
    if (r != MMSYSERR_NOERROR || !in) return r ? fromWaveIn(r) : MCIERR_HARDWARE;
    input_ = std::move(in);
    return 0;
  }

  // Queues buffers until the take's end is covered or enough are queued.
  MCIERROR topUp() {
    const uint32_t chunk =
        std::max<uint32_t>(format_.blockAlign, format_.avgBytesPerSec / kBuffersPerSecond / format_.blockAlign *
                                                   format_.blockAlign);
    uint64_t total = committed();
    size_t queued = static_cast<size_t>(std::count_if(
        buffers_.begin(), buffers_.end(), [](const auto& b) { return !b->delivered && !b->cut; }));
    while (total < maxBytes_ && queued < kQueuedBuffers) {
      const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(chunk, maxBytes_ - total));
      auto b = std::make_unique<Buffer>();
      b->data.reset(new (std::nothrow) char[length]);
      if (!b->data) return MCIERR_OUT_OF_MEMORY;
      b->header.data = b->data.get();
      b->header.bufferLength = length;
      if (MCIERROR e = fromWaveIn(input_->prepare(&b->header))) return e;
      if (MCIERROR e = fromWaveIn(input_->addBuffer(&b->header))) return e;
      buffers_.push_back(std::move(b));
      total += length;
      ++queued;
    }
    return 0;
  }

  // Stops the capture: afterwards every buffer's content is known (the one
  // being filled is handed back with what it holds, and the device writes
  // no more), so the ones that hold something count as cut.
  void freeze() {
    if (input_->stop() == MMSYSERR_NODRIVER) lost_ = true;
    for (auto& b : buffers_) {
      if (!b->delivered && !b->cut && b->header.bytesRecorded > 0) {
        b->cut = true;
        b->keptBytes = b->header.bytesRecorded;
      }
    }
  }

  void onDone(WaveHeader* h) {
    auto it = std::find_if(buffers_.begin(), buffers_.end(), [h](const auto& b) { return &b->header == h; });
    if (it == buffers_.end()) return;
    (*it)->delivered = true;
    if (mode_ != Mode::Recording) return;
    if (captured() >= maxBytes_) {
      freeze();
      finish(MCI_NOTIFY_SUCCESSFUL);
      return;
    }
    if (topUp()) {
      // The device failed under way: the take keeps what it has.
      freeze();
      finish(MCI_NOTIFY_FAILURE);
    }
  }

  void finish(uint32_t code) {
    mode_ = Mode::Stopped;
    endPending(code);
  }

  MCIERROR releaseInput() {
    MCIERROR e = 0;
    if (input_) {
      input_->reset();
      e = fromWaveIn(input_->close());
      input_.reset();  // dropped even when it refused: its dones are cancelled
    }
    buffers_.clear();
    maxBytes_ = 0;
    mode_ = Mode::Stopped;
    return e;
  }

  void endPending(uint32_t code) {
    if (MciNotifyTarget* t = pending_) {
      pending_ = nullptr;
      post(t, code);
    }
  }

  void post(MciNotifyTarget* target, uint32_t code) {
    auto id = std::make_shared<Dispatcher::Id>(0);
    *id = ui_.post([this, target, code, id] {
      posted_.erase(*id);
      target->OnMciNotify(id_, code);
    });
    posted_.insert(*id);
  }

  MCIDEVICEID id_;
  Backend& backend_;
  Dispatcher& ui_;
  WaveFormat format_;
  uint32_t timeFormat_ = MCI_FORMAT_MILLISECONDS;
  Mode mode_ = Mode::Stopped;
  std::unique_ptr<WaveInDevice> input_;
  std::vector<std::unique_ptr<Buffer>> buffers_;
  uint32_t maxBytes_ = 0;
  MciNotifyTarget* pending_ = nullptr;
  std::set<Dispatcher::Id> posted_;
  bool lost_ = false;  // the input device went away during the take
};

struct Devices {
  std::map<MCIDEVICEID, std::unique_ptr<WaveAudioDevice>> open;
  MCIDEVICEID next = 1;
};

Devices& devices() {
  static Devices* d = new Devices;
  return *d;
}

WaveAudioDevice* find(MCIDEVICEID id) {
  auto& open = devices().open;
  auto it = open.find(id);
  return it == open.end() ? nullptr : it->second.get();
}

// Runs a command on an open device with the notification rules above.
template <typename F>
MCIERROR command(MCIDEVICEID id, uint32_t flags, MciNotifyTarget* target, F&& f) {
  WaveAudioDevice* d = find(id);
  if (!d) return MCIERR_INVALID_DEVICE_ID;
  d->takeNotify(flags, target);
  const MCIERROR e = f(*d);
  if (!e) d->succeeded(flags, target);
  return e;
}

}  // namespace

MCIERROR mciOpen(uint32_t flags, MCI_OPEN_PARMS& p) {
  if (!(flags & MCI_OPEN_TYPE) || !sameText(p.deviceType, "waveaudio")) return MCIERR_INVALID_DEVICE_NAME;
  if ((flags & MCI_OPEN_ELEMENT) && !p.elementName.empty()) return MCIERR_UNSUPPORTED_FUNCTION;
  Devices& d = devices();
  const MCIDEVICEID id = d.next++;
  if (d.next == 0 || d.next == MCI_ALL_DEVICE_ID) d.next = 1;
  auto device = std::make_unique<WaveAudioDevice>(id, currentBackend(), uiDispatcher());
  device->succeeded(flags, p.callback);
  d.open[id] = std::move(device);
  p.deviceId = id;
  return 0;
}

MCIERROR mciSet(MCIDEVICEID id, uint32_t flags, const MCI_WAVE_SET_PARMS& p) {
  return command(id, flags, p.callback, [&](WaveAudioDevice& d) { return d.set(flags, p); });
}

MCIERROR mciCue(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& p) {
  if (flags & MCI_WAVE_OUTPUT) return MCIERR_UNSUPPORTED_FUNCTION;
  return command(id, flags, p.callback, [&](WaveAudioDevice& d) { return d.cue(); });
}

MCIERROR mciRecord(MCIDEVICEID id, uint32_t flags, const MCI_RECORD_PARMS& p) {
  WaveAudioDevice* d = find(id);
  if (!d) return MCIERR_INVALID_DEVICE_ID;
  return d->record(flags, p);
}

MCIERROR mciStop(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& p) {
  WaveAudioDevice* d = find(id);
  if (!d) return MCIERR_INVALID_DEVICE_ID;
  return d->stop(flags, p.callback);
}

MCIERROR mciPause(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& p) {
  return command(id, flags, p.callback, [](WaveAudioDevice& d) { return d.pause(); });
}

MCIERROR mciResume(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& p) {
  return command(id, flags, p.callback, [](WaveAudioDevice& d) { return d.resume(); });
}

MCIERROR mciSave(MCIDEVICEID id, uint32_t flags, const MCI_SAVE_PARMS& p) {
  if (!(flags & MCI_SAVE_FILE)) return MCIERR_MISSING_PARAMETER;
  return command(id, flags, p.callback, [&](WaveAudioDevice& d) { return d.save(p.fileName); });
}

MCIERROR mciClose(MCIDEVICEID id, uint32_t /*flags*/, const MCI_GENERIC_PARMS& /*p*/) {
  auto& open = devices().open;
  if (id == MCI_ALL_DEVICE_ID) {
    MCIERROR first = 0;
    while (!open.empty()) {
      auto device = std::move(open.begin()->second);
      open.erase(open.begin());
      const MCIERROR e = device->close();
      if (!first) first = e;
    }
    return first;
  }
  auto it = open.find(id);
  if (it == open.end()) return MCIERR_INVALID_DEVICE_ID;
  auto device = std::move(it->second);
  open.erase(it);
  return device->close();
}

bool mciGetErrorString(MCIERROR code, std::string& text) {
  static const std::map<MCIERROR, const char*> texts = {
      {MCIERR_INVALID_DEVICE_ID, "The device identifier is not that of an open device"},
      {MCIERR_HARDWARE, "The audio device reported a failure"},
      {MCIERR_INVALID_DEVICE_NAME, "The device type is not known"},
      {MCIERR_OUT_OF_MEMORY, "There is not enough memory for the recording"},
      {MCIERR_MISSING_PARAMETER, "The command lacks a value it needs"},
      {MCIERR_UNSUPPORTED_FUNCTION, "The device does not support this command"},
      {MCIERR_OUTOFRANGE, "A value of the command is out of range"},
      {MCIERR_FLAGS_NOT_COMPATIBLE, "The flags of the command cannot be used together"},
      {MCIERR_FILE_NOT_SAVED, "The recording could not be saved"},
      {MCIERR_BAD_TIME_FORMAT, "The time format is not supported"},
      {MCIERR_NONAPPLICABLE_FUNCTION, "The command does not apply in the device's present state"},
      {MCIERR_WAVE_INPUTSINUSE, "Every audio input is in use"},
      {MCIERR_WAVE_INPUTSUNSUITABLE, "No audio input can record in the format set"},
  };
  auto it = texts.find(code);
  if (it == texts.end()) {
    text.clear();
    return false;
  }
  text = it->second;
  return true;
}

}  // namespace plat::audio
