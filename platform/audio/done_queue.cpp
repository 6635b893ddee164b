#include "platform/audio/done_queue.h"

namespace plat::audio {

// Deliveries wait in one queue; each posted call delivers the oldest one,
// so the order is the order of finish() whatever the delays.
struct DoneQueue::State {
  Dispatcher* ui = nullptr;
  DoneCallback done;
  std::mutex mutex;
  std::deque<WaveHeader*> queue;
  bool closed = false;
};

DoneQueue::DoneQueue(Dispatcher& ui, DoneCallback done) : state_(std::make_shared<State>()) {
  state_->ui = &ui;
  state_->done = std::move(done);
}

DoneQueue::~DoneQueue() { close(); }

void DoneQueue::finish(WaveHeader* header, int64_t delayUs) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->closed) return;
    state_->queue.push_back(header);
  }
  std::weak_ptr<State> weak = state_;
  state_->ui->post(
      [weak] {
        auto state = weak.lock();
        if (!state) return;
        WaveHeader* h = nullptr;
        DoneCallback done;
        {
          std::lock_guard lock(state->mutex);
          if (state->closed || state->queue.empty()) return;
          h = state->queue.front();
          state->queue.pop_front();
          done = state->done;
        }
        h->flags = (h->flags | WHDR_DONE) & ~WHDR_INQUEUE;
        if (done) done(h);
      },
      delayUs);
}

void DoneQueue::close() {
  if (!state_) return;
  std::lock_guard lock(state_->mutex);
  state_->closed = true;
  state_->queue.clear();
}

size_t DoneQueue::pending() const {
  std::lock_guard lock(state_->mutex);
  return state_->queue.size();
}

}  // namespace plat::audio
