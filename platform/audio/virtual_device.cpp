#include "platform/audio/virtual_device.h"

#include <algorithm>
#include <deque>
#include <map>

#include "platform/audio/done_queue.h"
#include "platform/riff/wav.h"

namespace plat::audio {

namespace {

std::string num(uint64_t v) { return std::to_string(v); }

std::string formatText(const WaveFormat& f) {
  return "tag=" + num(f.formatTag) + " ch=" + num(f.channels) + " rate=" + num(f.samplesPerSec) +
         " bits=" + num(f.bitsPerSample) + " align=" + num(f.blockAlign);
}

// Time spent running, in whole bytes of the format, between two clock
// readings.
uint64_t bytesIn(int64_t us, const WaveFormat& f) {
  if (us <= 0 || f.avgBytesPerSec == 0 || f.blockAlign == 0) return 0;
  const uint64_t bytes = static_cast<uint64_t>(us) * f.avgBytesPerSec / 1000000u;
  return bytes - bytes % f.blockAlign;
}

// The delay until `bytes` more have passed at the format's rate.
int64_t usFor(uint64_t bytes, const WaveFormat& f) {
  if (f.avgBytesPerSec == 0) return 0;
  return static_cast<int64_t>((bytes * 1000000u + f.avgBytesPerSec - 1) / f.avgBytesPerSec);
}

// A byte counter that runs at the format's rate while started.
struct StreamClock {
  Dispatcher* clock = nullptr;
  WaveFormat format;
  uint64_t base = 0;      // bytes counted before the running stretch
  int64_t since = -1;     // start of the running stretch; -1 when stopped

  uint64_t bytes() const { return base + (since < 0 ? 0 : bytesIn(clock->nowUs() - since, format)); }
  bool running() const { return since >= 0; }
  void start() {
    if (since < 0) since = clock->nowUs();
  }
  void stop() {
    base = bytes();
    since = -1;
  }
  // Holds the counter at `value` (stopped).
  void hold(uint64_t value) {
    base = value;
    since = -1;
  }
};

MMRESULT fillTime(MMTime* time, uint64_t bytes, const WaveFormat& f, uint32_t kinds) {
  if (!time) return MMSYSERR_INVALPARAM;
  uint32_t kind = time->type;
  if (!(kinds & kind) || (kind != TIME_MS && kind != TIME_SAMPLES && kind != TIME_BYTES)) {
    kind = (kinds & TIME_BYTES) ? TIME_BYTES : (kinds & TIME_SAMPLES) ? TIME_SAMPLES : TIME_MS;
  }
  time->type = kind;
  if (kind == TIME_BYTES)
    time->value = static_cast<uint32_t>(bytes);
  else if (kind == TIME_SAMPLES)
    time->value = static_cast<uint32_t>(f.blockAlign ? bytes / f.blockAlign : 0);
  else
    time->value = static_cast<uint32_t>(f.avgBytesPerSec ? bytes * 1000u / f.avgBytesPerSec : 0);
  return MMSYSERR_NOERROR;
}

}  // namespace

struct VirtualBackend::Impl {
  Dispatcher* clock = nullptr;
  Options options;
  std::vector<Call> log;
  std::map<std::string, std::pair<MMRESULT, int>> failures;
  std::vector<Write> writes;
  std::vector<size_t> sounds;
  InputSource input = squareWaveInput;
  int openOut = 0;
  int openIn = 0;
  WaveFormat lastOutFormat;
  uint32_t volume = 0xFFFFFFFFu;

  // Answers the injected failure of `name`, if any; logs the call.
  bool failed(const std::string& name, const std::string& args, MMRESULT& result) {
    auto it = failures.find(name);
    if (it != failures.end() && it->second.second != 0) {
      result = it->second.first;
      if (it->second.second > 0 && --it->second.second == 0) failures.erase(it);
      record(name, args + " (failed)", result);
      return true;
    }
    return false;
  }
  MMRESULT record(const std::string& name, const std::string& args, MMRESULT result) {
    if (options.log) log.push_back(Call{name, args, result});
    return result;
  }
  bool formatOk(const WaveFormat& f) const {
    if (!f.isPlayablePcm()) return false;
    if (!options.strictFormats) return true;
    for (int k = 0; k < 12; ++k) {
      WaveFormat c;
      if ((options.formats & (1u << k)) && formatFromCapsFlag(1u << k, c) && c == f) return true;
    }
    return false;
  }
};

namespace {

// What a virtual wave-out and wave-in device share: the backend, the dones
// on their way, the stream clock, whether the device is closed and the
// timer of its next event.
template <class Interface>
class VirtualDevice : public Interface {
 protected:
  VirtualDevice(VirtualBackend::Impl& b, const WaveFormat& format, DoneCallback done)
      : b_(b), done_(*b.clock, std::move(done)) {
    clock_.clock = b.clock;
    clock_.format = format;
  }

  // Whether the call `name` answers at once, with `r`: a failure the test
  // asked for, a closed device, or (with `arg`) a null argument.
  bool refused(const char* name, MMRESULT& r) {
    if (b_.failed(name, "", r)) return true;
    if (!closed_) return false;
    r = b_.record(name, "", MMSYSERR_INVALHANDLE);
    return true;
  }
  bool refused(const char* name, const void* arg, MMRESULT& r) {
    if (refused(name, r)) return true;
    if (arg) return false;
    r = b_.record(name, "", MMSYSERR_INVALPARAM);
    return true;
  }
  // The end of a close: refused while buffers are queued, else the device
  // is shut down.
  MMRESULT closeUnlessBusy(const char* name, bool busy) {
    if (busy) return b_.record(name, "", WAVERR_STILLPLAYING);
    shutDown();
    return b_.record(name, "", MMSYSERR_NOERROR);
  }
  virtual void shutDown() = 0;
  void cancelTimer() {
    if (timer_) b_.clock->cancel(timer_);
    timer_ = 0;
  }

  VirtualBackend::Impl& b_;
  DoneQueue done_;
  StreamClock clock_;
  bool closed_ = false;
  Dispatcher::Id timer_ = 0;
};

class VirtualWaveOut final : public VirtualDevice<WaveOutDevice> {
 public:
  VirtualWaveOut(VirtualBackend::Impl& b, const WaveFormat& format, DoneCallback done)
      : VirtualDevice(b, format, std::move(done)) {}
  ~VirtualWaveOut() override {
    if (!closed_) shutDown();
  }

  MMRESULT prepare(WaveHeader* h) override {
    MMRESULT r;
    if (refused("waveOutPrepareHeader", h, r)) return r;
    if (h->flags & WHDR_INQUEUE) return b_.record("waveOutPrepareHeader", "", WAVERR_STILLPLAYING);
    h->flags |= WHDR_PREPARED;
    return b_.record("waveOutPrepareHeader", "bytes=" + num(h->bufferLength), MMSYSERR_NOERROR);
  }
  MMRESULT unprepare(WaveHeader* h) override {
    MMRESULT r;
    if (refused("waveOutUnprepareHeader", h, r)) return r;
    if (h->flags & WHDR_INQUEUE) return b_.record("waveOutUnprepareHeader", "", WAVERR_STILLPLAYING);
    h->flags &= ~WHDR_PREPARED;
    return b_.record("waveOutUnprepareHeader", "", MMSYSERR_NOERROR);
  }
  MMRESULT write(WaveHeader* h) override {
    MMRESULT r;
    if (refused("waveOutWrite", h, r)) return r;
    if (!(h->flags & WHDR_PREPARED)) return b_.record("waveOutWrite", "", WAVERR_UNPREPARED);
    if (h->flags & WHDR_INQUEUE) return b_.record("waveOutWrite", "", WAVERR_STILLPLAYING);
    h->flags = (h->flags & ~WHDR_DONE) | WHDR_INQUEUE;
    queued_ += h->bufferLength - h->bufferLength % std::max<uint16_t>(clock_.format.blockAlign, 1);
    queue_.push_back({h, queued_});
    b_.writes.push_back({h->data, h->bufferLength});
    if (!paused_) clock_.start();
    schedule();
    return b_.record("waveOutWrite", "bytes=" + num(h->bufferLength), MMSYSERR_NOERROR);
  }
  MMRESULT pause() override {
    MMRESULT r;
    if (refused("waveOutPause", r)) return r;
    settle();
    paused_ = true;
    clock_.stop();
    schedule();
    return b_.record("waveOutPause", "", MMSYSERR_NOERROR);
  }
  MMRESULT restart() override {
    MMRESULT r;
    if (refused("waveOutRestart", r)) return r;
    paused_ = false;
    if (!queue_.empty()) clock_.start();
    schedule();
    return b_.record("waveOutRestart", "", MMSYSERR_NOERROR);
  }
  MMRESULT reset() override {
    MMRESULT r;
    if (refused("waveOutReset", r)) return r;
    cancelTimer();
    for (auto& q : queue_) {
      q.header->flags = (q.header->flags | WHDR_DONE) & ~WHDR_INQUEUE;
      done_.finish(q.header);
    }
    queue_.clear();
    queued_ = 0;
    paused_ = false;
    clock_.hold(0);
    return b_.record("waveOutReset", "", MMSYSERR_NOERROR);
  }
  MMRESULT getPosition(MMTime* t) override {
    MMRESULT r;
    if (refused("waveOutGetPosition", r)) return r;
    const uint64_t played = std::min(clock_.bytes(), queued_);
    r = fillTime(t, played, clock_.format, b_.options.positionKinds);
    return b_.record("waveOutGetPosition", t ? "type=" + num(t->type) + " value=" + num(t->value) : "", r);
  }
  MMRESULT getVolume(uint32_t* v) override {
    MMRESULT r;
    if (refused("waveOutGetVolume", v, r)) return r;
    if (!(b_.options.support & WAVECAPS_VOLUME)) return b_.record("waveOutGetVolume", "", MMSYSERR_NOTSUPPORTED);
    *v = b_.volume;
    return b_.record("waveOutGetVolume", "volume=" + num(*v), MMSYSERR_NOERROR);
  }
  MMRESULT setVolume(uint32_t v) override {
    MMRESULT r;
    if (refused("waveOutSetVolume", r)) return r;
    if (!(b_.options.support & WAVECAPS_VOLUME)) return b_.record("waveOutSetVolume", "", MMSYSERR_NOTSUPPORTED);
    if (!(b_.options.support & WAVECAPS_LRVOLUME)) v = (v & 0xFFFFu) | (v << 16);
    b_.volume = v;
    return b_.record("waveOutSetVolume", "volume=" + num(v), MMSYSERR_NOERROR);
  }
  MMRESULT getCaps(WaveOutCaps* caps) override {
    MMRESULT r;
    if (refused("waveOutGetDevCaps", caps, r)) return r;
    *caps = WaveOutCaps{b_.options.name, b_.options.formats, 2, b_.options.support};
    return b_.record("waveOutGetDevCaps", "", MMSYSERR_NOERROR);
  }
  MMRESULT close() override {
    MMRESULT r;
    if (refused("waveOutClose", r)) return r;
    settle();
    return closeUnlessBusy("waveOutClose", !queue_.empty());
  }

 private:
  struct Queued {
    WaveHeader* header;
    uint64_t end;  // byte count at which it has played
  };

  void shutDown() override {
    cancelTimer();
    done_.close();
    for (auto& q : queue_) q.header->flags &= ~WHDR_INQUEUE;
    queue_.clear();
    closed_ = true;
    --b_.openOut;
  }
  // Hands back every buffer played to its end; stops the clock when the
  // queue has run dry (a later write starts it where it stopped).
  void settle() {
    const uint64_t now = clock_.bytes();
    while (!queue_.empty() && queue_.front().end <= now) {
      done_.finish(queue_.front().header);
      queue_.pop_front();
    }
    if (queue_.empty() && clock_.running()) clock_.hold(queued_);
  }
  void schedule() {
    cancelTimer();
    settle();
    if (queue_.empty() || !clock_.running()) return;
    const int64_t delay = usFor(queue_.front().end - clock_.bytes(), clock_.format);
    timer_ = b_.clock->post(
        [this] {
          timer_ = 0;
          schedule();
        },
        delay);
  }

  std::deque<Queued> queue_;
  uint64_t queued_ = 0;
  bool paused_ = false;
};

class VirtualWaveIn final : public VirtualDevice<WaveInDevice> {
 public:
  VirtualWaveIn(VirtualBackend::Impl& b, const WaveFormat& format, DoneCallback done)
      : VirtualDevice(b, format, std::move(done)) {}
  ~VirtualWaveIn() override {
    if (!closed_) shutDown();
  }

  MMRESULT prepare(WaveHeader* h) override {
    MMRESULT r;
    if (refused("waveInPrepareHeader", h, r)) return r;
    h->flags |= WHDR_PREPARED;
    return b_.record("waveInPrepareHeader", "", MMSYSERR_NOERROR);
  }
  MMRESULT unprepare(WaveHeader* h) override {
    MMRESULT r;
    if (refused("waveInUnprepareHeader", h, r)) return r;
    if (h->flags & WHDR_INQUEUE) return b_.record("waveInUnprepareHeader", "", WAVERR_STILLPLAYING);
    h->flags &= ~WHDR_PREPARED;
    return b_.record("waveInUnprepareHeader", "", MMSYSERR_NOERROR);
  }
  MMRESULT addBuffer(WaveHeader* h) override {
    MMRESULT r;
    if (refused("waveInAddBuffer", h, r)) return r;
    if (!(h->flags & WHDR_PREPARED)) return b_.record("waveInAddBuffer", "", WAVERR_UNPREPARED);
    capture();
    h->bytesRecorded = 0;
    h->flags = (h->flags & ~WHDR_DONE) | WHDR_INQUEUE;
    queue_.push_back(h);
    schedule();
    return b_.record("waveInAddBuffer", "bytes=" + num(h->bufferLength), MMSYSERR_NOERROR);
  }
  MMRESULT start() override {
    MMRESULT r;
    if (refused("waveInStart", r)) return r;
    capture();
    clock_.start();
    schedule();
    return b_.record("waveInStart", "", MMSYSERR_NOERROR);
  }
  MMRESULT stop() override {
    MMRESULT r;
    if (refused("waveInStop", r)) return r;
    capture();
    clock_.stop();
    cancelTimer();
    if (!queue_.empty() && queue_.front()->bytesRecorded > 0) {
      done_.finish(queue_.front());
      queue_.pop_front();
    }
    return b_.record("waveInStop", "", MMSYSERR_NOERROR);
  }
  MMRESULT reset() override {
    MMRESULT r;
    if (refused("waveInReset", r)) return r;
    capture();
    cancelTimer();
    for (WaveHeader* h : queue_) {
      h->flags = (h->flags | WHDR_DONE) & ~WHDR_INQUEUE;
      done_.finish(h);
    }
    queue_.clear();
    clock_.hold(0);
    consumed_ = 0;
    return b_.record("waveInReset", "", MMSYSERR_NOERROR);
  }
  MMRESULT getPosition(MMTime* t) override {
    MMRESULT r;
    if (refused("waveInGetPosition", r)) return r;
    return b_.record("waveInGetPosition", "", fillTime(t, clock_.bytes(), clock_.format, b_.options.positionKinds));
  }
  MMRESULT getCaps(WaveInCaps* caps) override {
    MMRESULT r;
    if (refused("waveInGetDevCaps", caps, r)) return r;
    *caps = WaveInCaps{b_.options.name, b_.options.formats, 2};
    return b_.record("waveInGetDevCaps", "", MMSYSERR_NOERROR);
  }
  MMRESULT close() override {
    MMRESULT r;
    if (refused("waveInClose", r)) return r;
    capture();
    return closeUnlessBusy("waveInClose", !queue_.empty());
  }

 private:
  void shutDown() override {
    cancelTimer();
    done_.close();
    for (WaveHeader* h : queue_) h->flags &= ~WHDR_INQUEUE;
    queue_.clear();
    closed_ = true;
    --b_.openIn;
  }
  // Moves the input counted since the last capture into the buffers; input
  // with no buffer to take it is lost.
  void capture() {
    const uint64_t now = clock_.bytes();
    while (consumed_ < now) {
      if (queue_.empty()) {
        consumed_ = now;
        break;
      }
      WaveHeader* h = queue_.front();
      const uint64_t room = h->bufferLength - h->bytesRecorded;
      const uint64_t n = std::min<uint64_t>(room, now - consumed_);
      if (n > 0 && h->data) b_.input(consumed_, h->data + h->bytesRecorded, n);
      h->bytesRecorded += static_cast<uint32_t>(n);
      consumed_ += n;
      if (h->bytesRecorded >= h->bufferLength) {
        done_.finish(h);
        queue_.pop_front();
      }
    }
  }
  void schedule() {
    cancelTimer();
    capture();
    if (queue_.empty() || !clock_.running()) return;
    WaveHeader* h = queue_.front();
    const int64_t delay = usFor(h->bufferLength - h->bytesRecorded, clock_.format);
    timer_ = b_.clock->post(
        [this] {
          timer_ = 0;
          schedule();
        },
        delay);
  }

  std::deque<WaveHeader*> queue_;
  uint64_t consumed_ = 0;
};

}  // namespace

VirtualBackend::VirtualBackend(Dispatcher& clock) : VirtualBackend(clock, Options{}) {}

VirtualBackend::VirtualBackend(Dispatcher& clock, Options options) : impl_(std::make_unique<Impl>()) {
  impl_->clock = &clock;
  impl_->options = std::move(options);
  impl_->volume = impl_->options.volume;
}

VirtualBackend::~VirtualBackend() = default;

std::string VirtualBackend::name() const { return impl_->options.name; }

uint32_t VirtualBackend::waveOutCount() {
  MMRESULT r;
  if (impl_->failed("waveOutGetNumDevs", "", r)) return 0;
  impl_->record("waveOutGetNumDevs", "", impl_->options.outCount);
  return impl_->options.outCount;
}

MMRESULT VirtualBackend::waveOutCaps(uint32_t id, WaveOutCaps* caps) {
  MMRESULT r;
  if (impl_->failed("waveOutGetDevCaps", "", r)) return r;
  if (!caps) return impl_->record("waveOutGetDevCaps", "", MMSYSERR_INVALPARAM);
  if (impl_->options.outCount == 0 || (id != WAVE_MAPPER && id >= impl_->options.outCount))
    return impl_->record("waveOutGetDevCaps", "id=" + num(id), MMSYSERR_BADDEVICEID);
  *caps = WaveOutCaps{impl_->options.name, impl_->options.formats, 2, impl_->options.support};
  return impl_->record("waveOutGetDevCaps", "id=" + num(id), MMSYSERR_NOERROR);
}

MMRESULT VirtualBackend::openWaveOut(uint32_t id, const WaveFormat& format, DoneCallback done,
                                     std::unique_ptr<WaveOutDevice>& out) {
  MMRESULT r;
  const std::string args = formatText(format);
  if (impl_->failed("waveOutOpen", args, r)) return r;
  if (impl_->options.outCount == 0 || (id != WAVE_MAPPER && id >= impl_->options.outCount))
    return impl_->record("waveOutOpen", args, MMSYSERR_BADDEVICEID);
  if (!impl_->formatOk(format)) return impl_->record("waveOutOpen", args, WAVERR_BADFORMAT);
  out = std::make_unique<VirtualWaveOut>(*impl_, format, std::move(done));
  ++impl_->openOut;
  impl_->lastOutFormat = format;
  return impl_->record("waveOutOpen", args, MMSYSERR_NOERROR);
}

MMRESULT VirtualBackend::queryWaveOut(uint32_t id, const WaveFormat& format) {
  MMRESULT r;
  const std::string args = formatText(format);
  if (impl_->failed("waveOutQuery", args, r)) return r;
  if (impl_->options.outCount == 0 || (id != WAVE_MAPPER && id >= impl_->options.outCount))
    return impl_->record("waveOutQuery", args, MMSYSERR_BADDEVICEID);
  return impl_->record("waveOutQuery", args, impl_->formatOk(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT);
}

uint32_t VirtualBackend::waveInCount() {
  impl_->record("waveInGetNumDevs", "", impl_->options.inCount);
  return impl_->options.inCount;
}

MMRESULT VirtualBackend::waveInCaps(uint32_t id, WaveInCaps* caps) {
  MMRESULT r;
  if (impl_->failed("waveInGetDevCaps", "", r)) return r;
  if (!caps) return MMSYSERR_INVALPARAM;
  if (impl_->options.inCount == 0 || (id != WAVE_MAPPER && id >= impl_->options.inCount))
    return impl_->record("waveInGetDevCaps", "", MMSYSERR_BADDEVICEID);
  *caps = WaveInCaps{impl_->options.name, impl_->options.formats, 2};
  return impl_->record("waveInGetDevCaps", "", MMSYSERR_NOERROR);
}

MMRESULT VirtualBackend::openWaveIn(uint32_t id, const WaveFormat& format, DoneCallback done,
                                    std::unique_ptr<WaveInDevice>& out) {
  MMRESULT r;
  const std::string args = formatText(format);
  if (impl_->failed("waveInOpen", args, r)) return r;
  if (impl_->options.inCount == 0 || (id != WAVE_MAPPER && id >= impl_->options.inCount))
    return impl_->record("waveInOpen", args, MMSYSERR_BADDEVICEID);
  if (!impl_->formatOk(format)) return impl_->record("waveInOpen", args, WAVERR_BADFORMAT);
  out = std::make_unique<VirtualWaveIn>(*impl_, format, std::move(done));
  ++impl_->openIn;
  return impl_->record("waveInOpen", args, MMSYSERR_NOERROR);
}

bool VirtualBackend::playSound(std::string_view wavBytes, bool async) {
  MMRESULT r;
  if (impl_->failed("PlaySound", "", r)) return false;
  plat::riff::Wav wav;
  const bool ok = impl_->options.outCount > 0 && !plat::riff::readWav(wavBytes, wav);
  impl_->record("PlaySound", "bytes=" + num(wavBytes.size()) + (async ? " async" : " sync"), ok ? 0 : 1);
  if (ok) impl_->sounds.push_back(wavBytes.size());
  return ok;
}

void VirtualBackend::stopSound() { impl_->record("StopSound", "", 0); }

void VirtualBackend::failCall(const std::string& name, MMRESULT code, int times) {
  impl_->failures[name] = {code, times};
}
void VirtualBackend::clearFailures() { impl_->failures.clear(); }
const std::vector<VirtualBackend::Call>& VirtualBackend::calls() const { return impl_->log; }
std::vector<VirtualBackend::Call> VirtualBackend::calls(std::string_view name) const {
  std::vector<Call> out;
  for (const Call& c : impl_->log)
    if (c.name == name) out.push_back(c);
  return out;
}
size_t VirtualBackend::count(std::string_view name) const {
  return static_cast<size_t>(
      std::count_if(impl_->log.begin(), impl_->log.end(), [&](const Call& c) { return c.name == name; }));
}
void VirtualBackend::clearLog() {
  impl_->log.clear();
  impl_->writes.clear();
}
const std::vector<VirtualBackend::Write>& VirtualBackend::writes() const { return impl_->writes; }
int VirtualBackend::openOutputs() const { return impl_->openOut; }
int VirtualBackend::openInputs() const { return impl_->openIn; }
WaveFormat VirtualBackend::lastOutputFormat() const { return impl_->lastOutFormat; }
uint32_t VirtualBackend::volume() const { return impl_->volume; }
void VirtualBackend::setVolumeWord(uint32_t volume) { impl_->volume = volume; }
void VirtualBackend::setPositionKinds(uint32_t kinds) { impl_->options.positionKinds = kinds; }
void VirtualBackend::setInputSource(InputSource source) { impl_->input = std::move(source); }
const std::vector<size_t>& VirtualBackend::sounds() const { return impl_->sounds; }

void squareWaveInput(uint64_t offset, char* out, size_t n) {
  // 16-bit little-endian samples, +-8000, a period of 40 samples.
  for (size_t i = 0; i < n; ++i) {
    const uint64_t byte = offset + i;
    const uint64_t sample = byte / 2;
    const int16_t v = (sample / 20) % 2 ? int16_t{8000} : int16_t{-8000};
    const uint16_t u = static_cast<uint16_t>(v);
    out[i] = static_cast<char>(byte % 2 ? (u >> 8) : (u & 0xFF));
  }
}

}  // namespace plat::audio
