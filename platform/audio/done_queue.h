#pragma once
// Delivers a device's finished buffers to its done callback on the UI
// thread: once per buffer, in the order finish() was called, never inside
// finish() and never after close(). A backend thread may call finish();
// close() must be called on the UI thread (a delivery already running
// there cannot race it).

#include <deque>
#include <memory>
#include <mutex>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"

namespace plat::audio {

class DoneQueue {
 public:
  DoneQueue(Dispatcher& ui, DoneCallback done);
  ~DoneQueue();  // close()
  DoneQueue(const DoneQueue&) = delete;
  DoneQueue& operator=(const DoneQueue&) = delete;

  // The device has finished with `header`: queues the callback. At
  // delivery, on the UI thread, WHDR_DONE is set and WHDR_INQUEUE cleared
  // before the callback runs (a device's reset() sets them at once, on the
  // UI thread). `delayUs` defers the delivery; a later delivery still
  // waits for the earlier ones.
  void finish(WaveHeader* header, int64_t delayUs = 0);
  // Drops every delivery not yet made; later finish() calls are ignored.
  void close();
  // Deliveries queued and not yet made.
  size_t pending() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace plat::audio
