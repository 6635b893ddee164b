#include "platform/audio/qt_audio.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaMethod>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/audio/done_queue.h"
#include "platform/riff/wav.h"

namespace plat::audio {

namespace {

constexpr int kPollMs = 2;

QAudioFormat toQt(const WaveFormat& f) {
  QAudioFormat q;
  q.setSampleRate(static_cast<int>(f.samplesPerSec));
  q.setChannelCount(f.channels);
  q.setSampleFormat(f.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
  return q;
}

// The device of an id: WAVE_MAPPER and ids past the list pick nothing
// but the default; a null device when there is none.
QAudioDevice pick(const QList<QAudioDevice>& list, const QAudioDevice& def, uint32_t id) {
  if (id == WAVE_MAPPER) return list.isEmpty() ? QAudioDevice() : def;
  if (id >= static_cast<uint32_t>(list.size())) return QAudioDevice();
  // Id 0 is the default device, the others follow in Qt's order.
  if (id == 0) return def.isNull() ? list.front() : def;
  QList<QAudioDevice> rest;
  for (const QAudioDevice& d : list)
    if (d != def) rest.push_back(d);
  return id - 1 < static_cast<uint32_t>(rest.size()) ? rest[static_cast<int>(id - 1)] : QAudioDevice();
}

// The device of an id among the outputs or the inputs, as listed now.
QAudioDevice deviceOf(bool outputs, uint32_t id) {
  return outputs ? pick(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput(), id)
                 : pick(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput(), id);
}

// The capabilities every device of this backend has: all the capability
// formats on two channels, and for wave-out both kinds of volume.
template <class Caps>
MMRESULT fillCaps(const QAudioDevice& d, Caps* caps) {
  if (caps == nullptr) return MMSYSERR_INVALPARAM;
  if (d.isNull()) return MMSYSERR_BADDEVICEID;
  caps->name = d.description().toStdString();
  caps->formats = kAllCapsFormats;
  caps->channels = 2;
  if constexpr (std::is_same_v<Caps, WaveOutCaps>) caps->support = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
  return MMSYSERR_NOERROR;
}

// Scales the samples of `out` (whole frames starting at a frame boundary)
// by the left and right gains.
void applyGain(char* out, size_t n, const WaveFormat& f, double left, double right) {
  if (left >= 1.0 && right >= 1.0) return;
  const size_t bytes = f.bitsPerSample / 8u;
  const size_t samples = n / bytes;
  for (size_t i = 0; i < samples; ++i) {
    const double g = (f.channels == 2 && i % 2 == 1) ? right : (f.channels == 2 ? left : std::max(left, right));
    if (bytes == 1) {
      auto* p = reinterpret_cast<unsigned char*>(out) + i;
      const double v = (static_cast<int>(*p) - 128) * g + 128.0;
      *p = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
    } else {
      int16_t s;
      std::memcpy(&s, out + 2 * i, 2);
      s = static_cast<int16_t>(s * g);
      std::memcpy(out + 2 * i, &s, 2);
    }
  }
}

}  // namespace

// --- The worker thread -------------------------------------------------------
struct QtAudioBackend::Impl {
  explicit Impl(Dispatcher& d) : ui(d) {
    thread.setObjectName("talvane-audio");
    thread.start();
    context.moveToThread(&thread);
  }
  ~Impl() {
    run([&] {
      if (!retired.empty()) QThread::msleep(kRetireMs);
      for (const Retired& r : retired) {
        delete r.sink;
        delete r.feeder;
      }
      retired.clear();
    });
    thread.quit();
    thread.wait();
  }
  // Runs `fn` on the worker and returns when it has run.
  void run(const std::function<void()>& fn) {
    if (QThread::currentThread() == &thread) {
      fn();
      return;
    }
    QMetaObject::invokeMethod(&context, fn, Qt::BlockingQueuedConnection);
  }

  // A stopped sink still gets callbacks from PulseAudio's thread for a
  // while (a late state change on a deleted sink crashes): stopped sinks
  // and their feeders are kept that long before they are deleted.
  // Worker thread only. Sinks stopped more than kRetireMs ago are deleted
  // when the next one retires, the rest when the backend goes.
  void retire(QObject* sink, QObject* feeder) {
    const auto now = std::chrono::steady_clock::now();
    while (!retired.empty() && now - retired.front().at > std::chrono::milliseconds(kRetireMs)) {
      delete retired.front().sink;
      delete retired.front().feeder;
      retired.pop_front();
    }
    retired.push_back({sink, feeder, now});
  }
  static constexpr int kRetireMs = 1000;
  struct Retired {
    QObject* sink;
    QObject* feeder;
    std::chrono::steady_clock::time_point at;
  };
  std::deque<Retired> retired;

  Dispatcher& ui;
  QThread thread;
  QObject context;
  uint32_t volume = 0xFFFFFFFFu;  // the word devices open with
  std::unique_ptr<WaveOutDevice> sound;
  WaveHeader soundHeader;
  std::string soundData;
};

namespace {

// What a Qt wave-out and wave-in device share: the backend's worker, the
// device and format they were opened with, the dones on their way, the
// header calls and closing.
template <class Interface>
class QtDevice : public Interface {
 public:
  MMRESULT prepare(WaveHeader* h) override { return mark(h, true); }
  MMRESULT unprepare(WaveHeader* h) override { return mark(h, false); }

 protected:
  QtDevice(std::shared_ptr<QtAudioBackend::Impl> impl, QAudioDevice device, const WaveFormat& f, DoneCallback done)
      : impl_(std::move(impl)), device_(std::move(device)), format_(f), done_(impl_->ui, std::move(done)) {}

  // Closes unless buffers are still queued: `busy` answers that and, when
  // there are none, stops the stream (on the worker).
  MMRESULT closeUnlessBusy(const std::function<bool()>& busy) {
    bool queued = false;
    impl_->run([&] { queued = busy(); });
    if (queued) return WAVERR_STILLPLAYING;
    done_.close();
    return MMSYSERR_NOERROR;
  }
  std::shared_ptr<QtAudioBackend::Impl> impl_;
  QAudioDevice device_;
  WaveFormat format_;
  DoneQueue done_;

 private:
  // A header in the queue is still in use.
  static MMRESULT mark(WaveHeader* h, bool prepared) {
    if (h == nullptr) return MMSYSERR_INVALPARAM;
    if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    h->flags = prepared ? (h->flags | WHDR_PREPARED) : (h->flags & ~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
  }
};

// Wave-out: the buffers written and not yet heard, fed to the sink.
class QtWaveOut;

class Feeder : public QIODevice {
 public:
  explicit Feeder(QtWaveOut& out) : out_(out) { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QtWaveOut& out_;
};

class QtWaveOut : public QtDevice<WaveOutDevice> {
 public:
  QtWaveOut(std::shared_ptr<QtAudioBackend::Impl> impl, QAudioDevice device, const WaveFormat& f,
            DoneCallback done)
      : QtDevice(std::move(impl), std::move(device), f, std::move(done)) {
    setGains(impl_->volume);
  }
  ~QtWaveOut() override {
    impl_->run([&] {
      stopSink();
      timer_.reset();
      queue_.clear();
    });
    done_.close();
  }

  MMRESULT write(WaveHeader* h) override {
    if (h == nullptr || (h->data == nullptr && h->bufferLength > 0)) return MMSYSERR_INVALPARAM;
    if (!(h->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    h->flags = (h->flags & ~WHDR_DONE) | WHDR_INQUEUE;
    MMRESULT r = MMSYSERR_NOERROR;
    impl_->run([&] {
      queuedEnd_ += h->bufferLength;
      queue_.push_back({h, queuedEnd_});
      if (!paused_) r = ensureSink();
    });
    return r;
  }
  MMRESULT pause() override {
    impl_->run([&] {
      paused_ = true;
      if (sink_) {
        sink_->suspend();
        poll();
      }
    });
    return MMSYSERR_NOERROR;
  }
  MMRESULT restart() override {
    MMRESULT r = MMSYSERR_NOERROR;
    impl_->run([&] {
      if (!paused_) return;
      paused_ = false;
      if (sink_)
        sink_->resume();
      else
        r = ensureSink();
    });
    return r;
  }
  MMRESULT reset() override {
    impl_->run([&] {
      stopSink();
      for (const Queued& q : queue_) {
        q.header->flags = (q.header->flags & ~WHDR_INQUEUE) | WHDR_DONE;
        done_.finish(q.header);
      }
      queue_.clear();
      queuedEnd_ = fed_ = heard_ = runStart_ = 0;
      paused_ = false;
    });
    return MMSYSERR_NOERROR;
  }
  MMRESULT getPosition(MMTime* t) override {
    if (t == nullptr) return MMSYSERR_INVALPARAM;
    uint64_t heard = 0;
    impl_->run([&] {
      poll();
      heard = heard_;
    });
    if (t->type == TIME_BYTES) {
      t->value = static_cast<uint32_t>(heard);
    } else if (t->type == TIME_SAMPLES) {
      t->value = static_cast<uint32_t>(heard / format_.blockAlign);
    } else {
      t->type = TIME_MS;
      t->value = static_cast<uint32_t>(heard * 1000 / format_.avgBytesPerSec);
    }
    return MMSYSERR_NOERROR;
  }
  MMRESULT getVolume(uint32_t* v) override {
    if (v == nullptr) return MMSYSERR_INVALPARAM;
    impl_->run([&] { *v = word_; });
    return MMSYSERR_NOERROR;
  }
  MMRESULT setVolume(uint32_t v) override {
    impl_->run([&] {
      setGains(v);
      impl_->volume = v;
    });
    return MMSYSERR_NOERROR;
  }
  MMRESULT getCaps(WaveOutCaps* caps) override { return fillCaps(device_, caps); }
  MMRESULT close() override {
    return closeUnlessBusy([&] {
      if (!queue_.empty()) return true;
      stopSink();
      return false;
    });
  }

  // Whether every buffer written has been heard.
  bool idle() {
    bool r = false;
    impl_->run([&] {
      poll();
      r = queue_.empty();
    });
    return r;
  }

  // Worker thread only, from here on.
  qint64 available() const { return static_cast<qint64>(queuedEnd_ - fed_); }

  qint64 feed(char* out, qint64 max) {
    const uint64_t align = format_.blockAlign;
    uint64_t want = static_cast<uint64_t>(max) / align * align;
    uint64_t given = 0;
    uint64_t start = 0;
    for (const Queued& q : queue_) {
      start = q.end - q.header->bufferLength;
      if (fed_ >= q.end) continue;
      const uint64_t from = fed_ - start;
      const uint64_t n = std::min<uint64_t>(q.end - fed_, want - given);
      std::memcpy(out + given, q.header->data + from, n);
      given += n;
      fed_ += n;
      if (given == want) break;
    }
    applyGain(out, given, format_, gainL_, gainR_);
    return static_cast<qint64>(given);
  }

 private:
  struct Queued {
    WaveHeader* header;
    uint64_t end;  // byte offset, since open or reset, just past its data
  };

  void setGains(uint32_t v) {
    word_ = v;
    gainL_ = (v & 0xFFFFu) / 65535.0;
    gainR_ = (v >> 16) / 65535.0;
  }

  MMRESULT ensureSink() {
    if (sink_ || fed_ >= queuedEnd_) return MMSYSERR_NOERROR;
    sink_ = std::make_unique<QAudioSink>(device_, toQt(format_));
    feeder_ = std::make_unique<Feeder>(*this);
    runStart_ = fed_;
    sink_->start(feeder_.get());
    if (sink_->error() != QAudio::NoError) {
      // The sink cannot reach the server: the device has gone away.
      stopSink();
      return MMSYSERR_NODRIVER;
    }
    if (!timer_) {
      timer_ = std::make_unique<QTimer>();
      timer_->setTimerType(Qt::PreciseTimer);
      timer_->setInterval(kPollMs);
      QObject::connect(timer_.get(), &QTimer::timeout, [this] { poll(); });
    }
    timer_->start();
    return MMSYSERR_NOERROR;
  }

  void stopSink() {
    if (timer_) timer_->stop();
    if (sink_) {
      sink_->stop();
      impl_->retire(sink_.release(), feeder_.release());
    }
    // Bytes fed and not heard are dropped.
    fed_ = heard_;
  }

  // Moves the heard position on from the sink's clock and hands back the
  // buffers heard to the end; stops the sink once all has been heard.
  void poll() {
    if (!sink_) return;
    const int64_t us = sink_->processedUSecs() - kQtSinkPositionLeadUs;
    // The sink counts whole frames and truncates them to microseconds:
    // round back to the nearest frame, or the last one is never reached.
    const uint64_t frames =
        us <= 0 ? 0 : (static_cast<uint64_t>(us) * format_.samplesPerSec + 500000u) / 1000000u;
    const uint64_t bytes = frames * format_.blockAlign;
    heard_ = std::max(heard_, std::min(runStart_ + bytes, fed_));
    while (!queue_.empty() && queue_.front().end <= heard_) {
      WaveHeader* h = queue_.front().header;
      queue_.pop_front();
      done_.finish(h);
    }
    if (queue_.empty() && heard_ >= fed_) {
      stopSink();
      runStart_ = fed_;
    }
  }

  uint32_t word_ = 0xFFFFFFFFu;
  double gainL_ = 1.0, gainR_ = 1.0;
  std::deque<Queued> queue_;
  uint64_t queuedEnd_ = 0, fed_ = 0, heard_ = 0, runStart_ = 0;
  bool paused_ = false;
  std::unique_ptr<QAudioSink> sink_;
  std::unique_ptr<Feeder> feeder_;
  std::unique_ptr<QTimer> timer_;
};

qint64 Feeder::bytesAvailable() const { return out_.available() + QIODevice::bytesAvailable(); }
qint64 Feeder::readData(char* data, qint64 maxSize) { return out_.feed(data, maxSize); }

// Wave-in: the source records while started; what it delivers fills the
// queued buffers in order.
class QtWaveIn : public QtDevice<WaveInDevice> {
 public:
  QtWaveIn(std::shared_ptr<QtAudioBackend::Impl> impl, QAudioDevice device, const WaveFormat& f,
           DoneCallback done)
      : QtDevice(std::move(impl), std::move(device), f, std::move(done)) {}
  ~QtWaveIn() override {
    impl_->run([&] {
      stopSource();
      queue_.clear();
    });
    done_.close();
  }

  MMRESULT addBuffer(WaveHeader* h) override {
    if (h == nullptr || h->data == nullptr) return MMSYSERR_INVALPARAM;
    if (!(h->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    h->flags = (h->flags & ~WHDR_DONE) | WHDR_INQUEUE;
    h->bytesRecorded = 0;
    impl_->run([&] { queue_.push_back(h); });
    return MMSYSERR_NOERROR;
  }
  MMRESULT start() override {
    MMRESULT r = MMSYSERR_NOERROR;
    impl_->run([&] {
      if (lost_) {
        r = MMSYSERR_NODRIVER;
        return;
      }
      if (source_) return;
      source_ = std::make_unique<QAudioSource>(device_, toQt(format_));
      io_ = source_->start();
      if (io_ == nullptr || source_->error() != QAudio::NoError) {
        source_.reset();
        io_ = nullptr;
        r = MMSYSERR_NODRIVER;
        return;
      }
      QObject::connect(io_, &QIODevice::readyRead, [this] { drain(); });
      // A source whose server goes away stops with an error, and Qt
      // deletes the device it was read through.
      QObject::connect(source_.get(), &QAudioSource::stateChanged, [this](QAudio::State) { checkLost(); });
    });
    return r;
  }
  // A source that failed under way answers MMSYSERR_NODRIVER here; what it
  // captured before is handed back all the same.
  MMRESULT stop() override {
    bool lost = false;
    impl_->run([&] {
      checkLost();
      stopSource();
      if (!queue_.empty() && queue_.front()->bytesRecorded > 0) handBack();
      lost = lost_;
    });
    return lost ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
  }
  MMRESULT reset() override {
    impl_->run([&] {
      stopSource();
      for (WaveHeader* h : queue_) {
        h->flags = (h->flags & ~WHDR_INQUEUE) | WHDR_DONE;
        done_.finish(h);
      }
      queue_.clear();
      recorded_ = 0;
    });
    return MMSYSERR_NOERROR;
  }
  MMRESULT getPosition(MMTime* t) override {
    if (t == nullptr) return MMSYSERR_INVALPARAM;
    uint64_t n = 0;
    impl_->run([&] {
      drain();
      n = recorded_;
    });
    if (t->type == TIME_SAMPLES) {
      t->value = static_cast<uint32_t>(n / format_.blockAlign);
    } else {
      t->type = TIME_BYTES;
      t->value = static_cast<uint32_t>(n);
    }
    return MMSYSERR_NOERROR;
  }
  MMRESULT getCaps(WaveInCaps* caps) override { return fillCaps(device_, caps); }
  MMRESULT close() override {
    return closeUnlessBusy([&] {
      if (!queue_.empty()) return true;
      stopSource();
      return false;
    });
  }

 private:
  // Marks the device lost once its source has failed (the server went
  // away): it records nothing more, and a later start is refused.
  void checkLost() {
    if (!source_ || lost_) return;
    const QAudio::Error e = source_->error();
    if (e == QAudio::NoError || e == QAudio::UnderrunError) return;
    drain();
    lost_ = true;
  }
  void stopSource() {
    if (!source_) return;
    drain();
    source_->stop();
    impl_->retire(source_.release(), nullptr);
    io_ = nullptr;
  }
  void handBack() {
    WaveHeader* h = queue_.front();
    queue_.pop_front();
    done_.finish(h);
  }
  // Moves what the source has captured into the queued buffers; input with
  // no buffer to take it is dropped.
  void drain() {
    if (io_ == nullptr || !io_->isOpen()) return;
    char scratch[4096];
    for (;;) {
      if (queue_.empty()) {
        if (io_->read(scratch, sizeof scratch) <= 0) return;
        continue;
      }
      WaveHeader* h = queue_.front();
      const qint64 room = h->bufferLength - h->bytesRecorded;
      const qint64 n = io_->read(h->data + h->bytesRecorded, room);
      if (n <= 0) return;
      h->bytesRecorded += static_cast<uint32_t>(n);
      recorded_ += static_cast<uint64_t>(n);
      if (h->bytesRecorded == h->bufferLength) handBack();
    }
  }

  std::deque<WaveHeader*> queue_;
  uint64_t recorded_ = 0;
  std::unique_ptr<QAudioSource> source_;
  // Qt owns the device and deletes it when the source fails.
  QPointer<QIODevice> io_;
  bool lost_ = false;
};

}  // namespace

// --- A sound server that comes back ---------------------------------------------
// Qt's PulseAudio engine, once it has lost its server, tries to connect
// again a single time, 3 s later, and then never: a server that is back
// after that is not seen until the program restarts. There may be more than
// one engine object in a process (the one that lists the devices and the
// one the sinks and sources stream through), and each loses the server on
// its own. The backend therefore watches every engine's signals (through
// Qt's signal spy hook, which sees every emission with its sender) to learn
// which objects the engines are and when each lost the server, and asks
// each that has not found it since to connect again (its "prepare" slot,
// the one its own retry runs) when a device is wanted and that retry is
// over.
}  // namespace plat::audio

struct QSignalSpyCallbackSet {
  void (*signalBegin)(QObject* caller, int signalIndex, void** argv);
  void (*slotBegin)(QObject* caller, int methodIndex, void** argv);
  void (*signalEnd)(QObject* caller, int signalIndex);
  void (*slotEnd)(QObject* caller, int methodIndex);
};
void qt_register_signal_spy_callbacks(QSignalSpyCallbackSet* callbacks);

namespace plat::audio {
namespace {

class PulseReconnect {
 public:
  static PulseReconnect& instance() {
    static PulseReconnect* r = new PulseReconnect;  // the hook may fire until the very end
    return *r;
  }

  // Connects again every engine that lost its server and has not found it
  // since, once its own retry is over (it would run beside this one);
  // answers how many it asked.
  int reconnect() {
    std::vector<QObject*> due;
    {
      std::lock_guard lock(mutex_);
      const auto now = std::chrono::steady_clock::now();
      for (int i = 0; i < known_.load(std::memory_order_acquire); ++i)
        if (state_[i].failed && now - state_[i].failedAt >= kRetryGap) due.push_back(engines_[i].load());
    }
    int asked = 0;
    for (QObject* engine : due) {
      // An engine lives on the thread that first needed it (the UI thread
      // or the backend's worker), which never waits for this one.
      QThread* home = engine->thread();
      if (home == QThread::currentThread()) {
        QMetaObject::invokeMethod(engine, "prepare", Qt::DirectConnection);
      } else {
        if (home == nullptr || !home->isRunning()) continue;
        QMetaObject::invokeMethod(engine, "prepare", Qt::BlockingQueuedConnection);
      }
      ++asked;
    }
    return asked;
  }

 private:
  // Qt's own retry runs 3 s after the loss.
  static constexpr auto kRetryGap = std::chrono::milliseconds(3500);
  static constexpr int kMaxEngines = 4;

  PulseReconnect() {
    static QSignalSpyCallbackSet callbacks{&PulseReconnect::onSignal, nullptr, nullptr, nullptr};
    qt_register_signal_spy_callbacks(&callbacks);
  }

  // Runs at every signal of the process, on whatever thread emits it.
  static void onSignal(QObject* caller, int signalIndex, void**) {
    PulseReconnect& self = instance();
    int i = self.find(caller);
    if (i < 0) {
      if (std::strcmp(caller->metaObject()->className(), "QPulseAudioEngine") != 0) return;
      i = self.learn(caller);
      if (i < 0) return;
    }
    std::lock_guard lock(self.mutex_);
    State& st = self.state_[i];
    if (signalIndex == st.failedSignal) {
      // A failure of a connection attempt (Qt's or ours) schedules Qt's
      // next retry: the gap counts from here.
      st.failed = true;
      st.failedAt = std::chrono::steady_clock::now();
    } else if (signalIndex > st.failedSignal) {
      // The engine lists devices again: it found its server.
      st.failed = false;
    }
  }

  int find(QObject* caller) const {
    const int n = known_.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i)
      if (engines_[i].load(std::memory_order_relaxed) == caller) return i;
    return -1;
  }

  // Adds an engine with the index of its "contextFailed" signal, as the
  // hook counts signals: over the whole class chain, in method order.
  // -1 when no more engines are followed.
  int learn(QObject* engine) {
    std::lock_guard lock(mutex_);
    const int n = known_.load(std::memory_order_relaxed);
    for (int i = 0; i < n; ++i)
      if (engines_[i].load(std::memory_order_relaxed) == engine) return i;
    if (n == kMaxEngines) return -1;
    const QMetaObject* mo = engine->metaObject();
    int signal = 0;
    for (int m = 0; m < mo->methodCount(); ++m) {
      const QMetaMethod method = mo->method(m);
      if (method.methodType() != QMetaMethod::Signal) continue;
      if (method.methodSignature() == "contextFailed()") state_[n].failedSignal = signal;
      ++signal;
    }
    engines_[n].store(engine, std::memory_order_relaxed);
    known_.store(n + 1, std::memory_order_release);
    return n;
  }

  struct State {
    int failedSignal = -1;
    bool failed = false;
    std::chrono::steady_clock::time_point failedAt;
  };
  std::atomic<QObject*> engines_[kMaxEngines] = {};
  std::atomic<int> known_{0};
  std::mutex mutex_;  // guards state_ and the learning of engines
  State state_[kMaxEngines];
};

// The devices of a kind, after connecting again to a server that came
// back (while the engine has lost it, it still lists the devices it had).
QList<QAudioDevice> listed(bool outputs) {
  PulseReconnect::instance().reconnect();
  return outputs ? QMediaDevices::audioOutputs() : QMediaDevices::audioInputs();
}

// Opens a `Device` on the output (or input) of `id`; no device at all is a
// missing driver, as the classic calls answer.
template <class Device, class Interface>
MMRESULT openDevice(const std::shared_ptr<QtAudioBackend::Impl>& impl, bool outputs, uint32_t id,
                    const WaveFormat& format, DoneCallback done, std::unique_ptr<Interface>& out) {
  const QList<QAudioDevice> list = listed(outputs);
  const QAudioDevice d =
      pick(list, outputs ? QMediaDevices::defaultAudioOutput() : QMediaDevices::defaultAudioInput(), id);
  if (d.isNull()) return id == WAVE_MAPPER ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
  if (!format.isPlayablePcm()) return WAVERR_BADFORMAT;
  out = std::make_unique<Device>(impl, d, format, std::move(done));
  return MMSYSERR_NOERROR;
}

}  // namespace

// --- The backend -------------------------------------------------------------
QtAudioBackend::QtAudioBackend(Dispatcher& ui) : impl_(std::make_shared<Impl>(ui)) { PulseReconnect::instance(); }

QtAudioBackend::~QtAudioBackend() { stopSound(); }

std::string QtAudioBackend::name() const { return "qt"; }

uint32_t QtAudioBackend::waveOutCount() {
  return static_cast<uint32_t>(QMediaDevices::audioOutputs().size());
}

MMRESULT QtAudioBackend::waveOutCaps(uint32_t id, WaveOutCaps* caps) { return fillCaps(deviceOf(true, id), caps); }

MMRESULT QtAudioBackend::queryWaveOut(uint32_t id, const WaveFormat& format) {
  if (deviceOf(true, id).isNull()) return MMSYSERR_BADDEVICEID;
  if (!format.isPlayablePcm()) return WAVERR_BADFORMAT;
  return MMSYSERR_NOERROR;
}

MMRESULT QtAudioBackend::openWaveOut(uint32_t id, const WaveFormat& format, DoneCallback done,
                                     std::unique_ptr<WaveOutDevice>& out) {
  return openDevice<QtWaveOut>(impl_, true, id, format, std::move(done), out);
}

uint32_t QtAudioBackend::waveInCount() {
  return static_cast<uint32_t>(QMediaDevices::audioInputs().size());
}

MMRESULT QtAudioBackend::waveInCaps(uint32_t id, WaveInCaps* caps) { return fillCaps(deviceOf(false, id), caps); }

MMRESULT QtAudioBackend::openWaveIn(uint32_t id, const WaveFormat& format, DoneCallback done,
                                    std::unique_ptr<WaveInDevice>& out) {
  return openDevice<QtWaveIn>(impl_, false, id, format, std::move(done), out);
}

bool QtAudioBackend::playSound(std::string_view wavBytes, bool async) {
  stopSound();
  riff::Wav wav;
  if (riff::readWav(wavBytes, wav)) return false;
  const WaveFormat f = WaveFormat::pcm(wav.format.sampleRate, wav.format.bitsPerSample, wav.format.channels);
  if (openWaveOut(WAVE_MAPPER, f, [](WaveHeader*) {}, impl_->sound) != MMSYSERR_NOERROR) return false;
  impl_->soundData = std::move(wav.samples);
  impl_->soundHeader = WaveHeader{};
  impl_->soundHeader.data = impl_->soundData.data();
  impl_->soundHeader.bufferLength = static_cast<uint32_t>(impl_->soundData.size());
  impl_->sound->prepare(&impl_->soundHeader);
  if (impl_->sound->write(&impl_->soundHeader) != MMSYSERR_NOERROR) {
    stopSound();
    return false;
  }
  if (!async) {
    auto* out = static_cast<QtWaveOut*>(impl_->sound.get());
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(uint64_t{impl_->soundHeader.bufferLength} * 1000 /
                                                     f.avgBytesPerSec + 3000);
    while (!out->idle() && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stopSound();
  }
  return true;
}

void QtAudioBackend::stopSound() {
  if (!impl_->sound) return;
  impl_->sound->reset();
  impl_->sound->close();
  impl_->sound.reset();
}

namespace {
const bool registered = registerBackend("qt", [](Dispatcher& ui) -> std::unique_ptr<Backend> {
  return std::make_unique<QtAudioBackend>(ui);
});
}  // namespace

}  // namespace plat::audio
