#pragma once
// RenderPool: runs a row of jobs whose middle step is pure computation (the
// speed renderings of an installation) on worker threads, and hands every
// job back to the calling thread in the order of the row.
//
// Each job goes through three steps:
//   prepare  on the calling thread: reads the job's input (files, tables);
//   render   on a worker thread: pure work on the prepared input only, in
//            one or more parts that may run at the same time on different
//            workers (the renderings of one recording share its input);
//   finish   on the calling thread, strictly in job order, once every part
//            of the job is rendered: stores the result.
// Only the calling thread touches shared state (files, message boxes, the
// progress window), so the steps need no locks of their own. With one
// thread nothing runs elsewhere: prepare, render and finish follow each
// other job by job (the parts in turn) on the calling thread.
//
// The jobs prepared and not yet finished are bounded by a weight budget
// (their input and results are held in memory meanwhile): a job is started
// only while the weights in flight leave room for it, or when nothing is in
// flight at all. Besides, no more parts are in flight than two per thread.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace orv::install {

class RenderPool {
 public:
  struct Steps {
    // False: the job is the last one prepared (it is still rendered and
    // finished; its finish step decides what the failure means).
    std::function<bool(std::size_t)> prepare;
    // Renders part `part` (from 0) of job `job`.
    std::function<void(std::size_t job, std::size_t part)> render;
    // How many parts job `i` renders in (none: 1 each; at least 1).
    std::function<std::size_t(std::size_t)> parts;
    // False: the run stops; no further job is finished.
    std::function<bool(std::size_t)> finish;
    // What job `i` holds in memory while in flight (none: 1 each).
    std::function<std::uint64_t(std::size_t)> weight;
    // Called on the calling thread about every `kWaitingStep` while it
    // waits for a rendering (keeps a progress window painting).
    std::function<void()> waiting;
  };
  static constexpr int kWaitingStepMs = 100;

  // `threads` 0: one per core of the machine.
  explicit RenderPool(unsigned threads = 0, std::uint64_t budget = std::uint64_t{1} << 30);

  // Runs jobs 0 to `count` - 1. True when every job was finished. An
  // exception thrown by a render step comes out of this call when its job's
  // turn to be finished comes (the first part's first), after the workers
  // have stopped.
  bool run(std::size_t count, const Steps& steps);

  unsigned threads() const { return m_threads; }

 private:
  unsigned m_threads;
  std::uint64_t m_budget;
};

}  // namespace orv::install
