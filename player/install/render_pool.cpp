#include "player/install/render_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orv::install {

namespace {

// The queue between the calling thread and the workers.
struct Queue {
  std::mutex mutex;
  std::condition_variable work;  // a job was queued, or the run stops
  std::condition_variable done;  // a job was rendered
  std::deque<std::size_t> jobs;
  std::vector<char> rendered;
  std::vector<std::exception_ptr> errors;
  bool stop = false;
};

// The workers of one run; they are stopped and joined on every way out of
// it, an exception included. Jobs still queued then are not rendered.
class Workers {
 public:
  Workers(Queue& q, const std::function<void(std::size_t)>& render, unsigned count) : m_q(q) {
    m_threads.reserve(count);
    for (unsigned n = 0; n < count; ++n) m_threads.emplace_back([this, &render] { loop(render); });
  }
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(m_q.mutex);
      m_q.stop = true;
    }
    m_q.work.notify_all();
    for (std::thread& t : m_threads) t.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

 private:
  void loop(const std::function<void(std::size_t)>& render) {
    for (;;) {
      std::size_t job = 0;
      {
        std::unique_lock<std::mutex> lock(m_q.mutex);
        m_q.work.wait(lock, [this] { return m_q.stop || !m_q.jobs.empty(); });
        if (m_q.stop) return;
        job = m_q.jobs.front();
        m_q.jobs.pop_front();
      }
      std::exception_ptr error;
      try {
        render(job);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock(m_q.mutex);
        m_q.rendered[job] = 1;
        m_q.errors[job] = error;
      }
      m_q.done.notify_all();
    }
  }

  Queue& m_q;
  std::vector<std::thread> m_threads;
};

}  // namespace

RenderPool::RenderPool(unsigned threads, std::uint64_t budget)
    : m_threads(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())), m_budget(budget) {}

bool RenderPool::run(std::size_t count, const Steps& steps) {
  if (m_threads <= 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i) {
      const bool more = steps.prepare(i);
      steps.render(i);
      if (!steps.finish(i)) return false;
      if (!more) return i + 1 == count;
    }
    return true;
  }

  Queue q;
  q.rendered.assign(count, 0);
  q.errors.assign(count, nullptr);
  std::vector<std::uint64_t> weights(count, 1);
  // Enough jobs ahead to keep every worker busy while the calling thread
  // stores a result, and no more: each holds its input and results.
  const std::size_t ahead = 2 * static_cast<std::size_t>(m_threads);
  Workers workers(q, steps.render, static_cast<unsigned>(std::min<std::size_t>(m_threads, count)));

  std::size_t next = 0;  // the next job to prepare
  std::uint64_t inFlight = 0;
  bool last = false;
  for (std::size_t head = 0; head < count; ++head) {
    while (!last && next < count && next - head < ahead) {
      const std::uint64_t w = steps.weight ? std::max<std::uint64_t>(1, steps.weight(next)) : 1;
      if (next != head && inFlight + w > m_budget) break;
      last = !steps.prepare(next);
      weights[next] = w;
      inFlight += w;
      {
        std::lock_guard<std::mutex> lock(q.mutex);
        q.jobs.push_back(next);
      }
      q.work.notify_one();
      ++next;
    }
    if (head == next) return false;  // the job before was the last one prepared
    std::exception_ptr error;
    {
      std::unique_lock<std::mutex> lock(q.mutex);
      while (!q.done.wait_for(lock, std::chrono::milliseconds(kWaitingStepMs), [&] { return q.rendered[head] != 0; })) {
        if (steps.waiting) {
          lock.unlock();
          steps.waiting();
          lock.lock();
        }
      }
      error = q.errors[head];
    }
    if (error) std::rethrow_exception(error);
    inFlight -= weights[head];
    if (!steps.finish(head)) return false;
  }
  return true;
}

}  // namespace orv::install
