#include "platform/audio/dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace plat::audio {

// --- ManualDispatcher ---------------------------------------------------------

int64_t ManualDispatcher::nowUs() const {
  std::lock_guard lock(mutex_);
  return now_;
}

Dispatcher::Id ManualDispatcher::post(Task task, int64_t delayUs) {
  std::lock_guard lock(mutex_);
  const Id id = nextId_++;
  const auto key = std::make_pair(now_ + std::max<int64_t>(delayUs, 0), nextSeq_++);
  entries_[id] = Entry{std::move(task), 0};
  queue_[key] = id;
  keyOf_[id] = key;
  return id;
}

Dispatcher::Id ManualDispatcher::startTimer(int64_t periodUs, Task task) {
  std::lock_guard lock(mutex_);
  const Id id = nextId_++;
  const int64_t period = std::max<int64_t>(periodUs, 1);
  const auto key = std::make_pair(now_ + period, nextSeq_++);
  entries_[id] = Entry{std::move(task), period};
  queue_[key] = id;
  keyOf_[id] = key;
  return id;
}

void ManualDispatcher::cancel(Id id) {
  std::lock_guard lock(mutex_);
  auto it = keyOf_.find(id);
  if (it == keyOf_.end()) {
    entries_.erase(id);
    return;
  }
  queue_.erase(it->second);
  keyOf_.erase(it);
  entries_.erase(id);
}

bool ManualDispatcher::runNext(int64_t until) {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty() || queue_.begin()->first.first > until) return false;
    const auto [key, id] = *queue_.begin();
    queue_.erase(queue_.begin());
    keyOf_.erase(id);
    now_ = std::max(now_, key.first);
    Entry& entry = entries_[id];
    if (entry.periodUs > 0) {
      // Requeue before running, so that the task may cancel its own timer.
      task = entry.task;
      const auto next = std::make_pair(key.first + entry.periodUs, nextSeq_++);
      queue_[next] = id;
      keyOf_[id] = next;
    } else {
      task = std::move(entry.task);
      entries_.erase(id);
    }
  }
  if (task) task();
  return true;
}

int ManualDispatcher::runDue() {
  int n = 0;
  while (runNext(nowUs())) ++n;
  return n;
}

void ManualDispatcher::advanceUs(int64_t us) {
  const int64_t target = nowUs() + std::max<int64_t>(us, 0);
  while (runNext(target)) {
  }
  {
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, target);
  }
  runDue();
}

size_t ManualDispatcher::pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

// --- The Qt event loop's dispatcher -----------------------------------------------

namespace {

class QtDispatcher final : public Dispatcher {
 public:
  int64_t nowUs() const override {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
  }

  Id post(Task task, int64_t delayUs) override { return add(std::move(task), delayUs, false); }
  Id startTimer(int64_t periodUs, Task task) override { return add(std::move(task), periodUs, true); }

  void cancel(Id id) override {
    QTimer* timer = nullptr;
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(id);
      if (it == entries_.end()) return;
      timer = it->second.timer;
      entries_.erase(it);
    }
    delete timer;
  }

 private:
  struct Entry {
    Task task;
    int64_t us = 0;
    bool periodic = false;
    QTimer* timer = nullptr;
  };

  Id add(Task task, int64_t us, bool periodic) {
    std::vector<Id> toArm;
    Id id;
    {
      std::lock_guard lock(mutex_);
      id = nextId_++;
      entries_[id] = Entry{std::move(task), std::max<int64_t>(us, 0), periodic, nullptr};
      unarmed_.push_back(id);
      if (!QCoreApplication::instance()) return id;  // armed by a later call
      if (!context_) {
        context_ = new QObject;
        context_->moveToThread(QCoreApplication::instance()->thread());
      }
      toArm.swap(unarmed_);
    }
    for (Id each : toArm)
      QMetaObject::invokeMethod(context_, [this, each] { arm(each); }, Qt::QueuedConnection);
    return id;
  }

  // On the UI thread.
  void arm(Id id) {
    int64_t us;
    bool periodic;
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(id);
      if (it == entries_.end()) return;
      us = it->second.us;
      periodic = it->second.periodic;
    }
    if (!periodic && us == 0) {
      run(id);
      return;
    }
    auto* timer = new QTimer(context_);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!periodic);
    timer->setInterval(static_cast<int>(std::max<int64_t>(periodic ? 1 : 0, (us + 999) / 1000)));
    QObject::connect(timer, &QTimer::timeout, context_, [this, id] { run(id); });
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(id);
      if (it == entries_.end()) {
        delete timer;
        return;
      }
      it->second.timer = timer;
    }
    timer->start();
  }

  void run(Id id) {
    Task task;
    QTimer* timer = nullptr;
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(id);
      if (it == entries_.end()) return;
      if (it->second.periodic) {
        task = it->second.task;
      } else {
        task = std::move(it->second.task);
        timer = it->second.timer;
        entries_.erase(it);
      }
    }
    if (timer) timer->deleteLater();
    if (task) task();
  }

  std::mutex mutex_;
  Id nextId_ = 1;
  std::map<Id, Entry> entries_;
  std::vector<Id> unarmed_;
  QObject* context_ = nullptr;
};

std::mutex g_dispatcherMutex;
Dispatcher* g_dispatcher = nullptr;

}  // namespace

Dispatcher& uiDispatcher() {
  std::lock_guard lock(g_dispatcherMutex);
  if (g_dispatcher) return *g_dispatcher;
  static QtDispatcher* qt = new QtDispatcher;  // lives as long as the process
  return *qt;
}

Dispatcher* setUiDispatcher(Dispatcher* dispatcher) {
  std::lock_guard lock(g_dispatcherMutex);
  Dispatcher* previous = g_dispatcher;
  g_dispatcher = dispatcher;
  return previous;
}

}  // namespace plat::audio
