#pragma once
// The UI thread's clock, timers and queued calls, behind an interface so
// that the audio engine's position timer and the device notifications run
// on a manual clock in tests.
//
// post() may be called from any thread; the call runs later on the UI
// thread, never inside post(). Calls posted with the same due time run in
// the order they were posted. Timers fire on the UI thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace plat::audio {

class Dispatcher {
 public:
  using Task = std::function<void()>;
  using Id = uint64_t;  // never 0

  virtual ~Dispatcher() = default;
  // A monotonic clock in microseconds.
  virtual int64_t nowUs() const = 0;
  // Runs `task` on the UI thread once `delayUs` have passed (0: at the next
  // turn of the loop). Thread-safe.
  virtual Id post(Task task, int64_t delayUs = 0) = 0;
  // Forgets a posted call or a timer that has not run; unknown ids are
  // ignored. UI thread only.
  virtual void cancel(Id id) = 0;
  // A periodic timer: `task` runs every `periodUs` until cancelled.
  virtual Id startTimer(int64_t periodUs, Task task) = 0;
};

// A manual clock: nothing runs until the test advances time or runs what is
// due. Calls posted from other threads are queued under a lock.
class ManualDispatcher : public Dispatcher {
 public:
  int64_t nowUs() const override;
  Id post(Task task, int64_t delayUs = 0) override;
  void cancel(Id id) override;
  Id startTimer(int64_t periodUs, Task task) override;

  // Runs every call due now, including those the calls post for now.
  // Answers how many ran.
  int runDue();
  // Moves the clock forward in steps, running each call at its due time
  // (timers fire at every period passed), then runs what is due at the end.
  void advanceUs(int64_t us);
  void advanceMs(int64_t ms) { advanceUs(ms * 1000); }
  // Calls and timers waiting.
  size_t pending() const;

 private:
  struct Entry {
    Task task;
    int64_t periodUs = 0;  // 0: a single call
  };
  bool runNext(int64_t until);

  mutable std::recursive_mutex mutex_;
  int64_t now_ = 0;
  Id nextId_ = 1;
  uint64_t nextSeq_ = 0;
  // (due time, sequence) -> id; entries by id.
  std::map<std::pair<int64_t, uint64_t>, Id> queue_;
  std::map<Id, Entry> entries_;
  std::map<Id, std::pair<int64_t, uint64_t>> keyOf_;
};

// The dispatcher of the program's UI thread: Qt's event loop of the
// QCoreApplication and a steady clock. Made at first use; post() before a
// QCoreApplication exists queues until one does.
Dispatcher& uiDispatcher();
// Replaces the dispatcher uiDispatcher() answers (not owned); nullptr goes
// back to the Qt one. Answers the previous one set this way.
Dispatcher* setUiDispatcher(Dispatcher* dispatcher);

class ScopedDispatcher {
 public:
  explicit ScopedDispatcher(Dispatcher& d) : previous_(setUiDispatcher(&d)) {}
  ~ScopedDispatcher() { setUiDispatcher(previous_); }
  ScopedDispatcher(const ScopedDispatcher&) = delete;
  ScopedDispatcher& operator=(const ScopedDispatcher&) = delete;

 private:
  Dispatcher* previous_;
};

}  // namespace plat::audio
