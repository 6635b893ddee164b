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
  struct Part {
    std::size_t job, part;
  };
  std::mutex mutex;
  std::condition_variable work;  // a part was queued, or the run stops
  std::condition_variable done;  // a part was rendered
  std::deque<Part> parts;
  std::vector<std::size_t> partsLeft;  // per job, the parts not yet rendered
  std::vector<std::vector<std::exception_ptr>> errors;  // per job and part
  bool stop = false;
};

// The workers of one run; they are stopped and joined on every way out of
// it, an exception included. Jobs still queued then are not rendered.
class Workers {
 public:
  using Render = std::function<void(std::size_t, std::size_t)>;
  Workers(Queue& q, const Render& render, unsigned count) : m_q(q) {
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
  void loop(const Render& render) {
    for (;;) {
      Queue::Part p{};
      {
        std::unique_lock<std::mutex> lock(m_q.mutex);
        m_q.work.wait(lock, [this] { return m_q.stop || !m_q.parts.empty(); });
        if (m_q.stop) return;
        p = m_q.parts.front();
        m_q.parts.pop_front();
      }
      std::exception_ptr error;
      try {
        render(p.job, p.part);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock(m_q.mutex);
        --m_q.partsLeft[p.job];
        m_q.errors[p.job][p.part] = error;
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
  const auto partsOf = [&](std::size_t i) { return steps.parts ? std::max<std::size_t>(1, steps.parts(i)) : 1; };
  if (m_threads <= 1 || count == 0 || (count == 1 && partsOf(0) == 1)) {
    for (std::size_t i = 0; i < count; ++i) {
      const bool more = steps.prepare(i);
      for (std::size_t part = 0, n = partsOf(i); part < n; ++part) steps.render(i, part);
      if (!steps.finish(i)) return false;
      if (!more) return i + 1 == count;
    }
    return true;
  }

  Queue q;
  q.partsLeft.assign(count, 0);
  q.errors.resize(count);
  std::vector<std::uint64_t> weights(count, 1);
  std::vector<std::size_t> parts(count, 0);
  // Enough parts ahead to keep every worker busy while the calling thread
  // stores a result, and no more: each holds its input and results.
  const std::size_t ahead = 2 * static_cast<std::size_t>(m_threads);
  std::size_t allParts = 0;
  for (std::size_t i = 0; i < count; ++i) allParts += partsOf(i);
  Workers workers(q, steps.render, static_cast<unsigned>(std::min<std::size_t>(m_threads, allParts)));

  std::size_t next = 0;  // the next job to prepare
  std::size_t partsInFlight = 0;
  std::uint64_t inFlight = 0;
  bool last = false;
  for (std::size_t head = 0; head < count; ++head) {
    while (!last && next < count) {
      const std::size_t n = partsOf(next);
      if (next != head && partsInFlight + n > ahead) break;
      const std::uint64_t w = steps.weight ? std::max<std::uint64_t>(1, steps.weight(next)) : 1;
      if (next != head && inFlight + w > m_budget) break;
      last = !steps.prepare(next);
      weights[next] = w;
      parts[next] = n;
      inFlight += w;
      partsInFlight += n;
      {
        std::lock_guard<std::mutex> lock(q.mutex);
        q.partsLeft[next] = n;
        q.errors[next].assign(n, nullptr);
        for (std::size_t part = 0; part < n; ++part) q.parts.push_back({next, part});
      }
      q.work.notify_all();
      ++next;
    }
    if (head == next) return false;  // the job before was the last one prepared
    std::exception_ptr error;
    {
      std::unique_lock<std::mutex> lock(q.mutex);
      while (!q.done.wait_for(lock, std::chrono::milliseconds(kWaitingStepMs), [&] { return q.partsLeft[head] == 0; })) {
        if (steps.waiting) {
          lock.unlock();
          steps.waiting();
          lock.lock();
        }
      }
      for (const std::exception_ptr& e : q.errors[head])
        if (e && !error) error = e;
    }
    if (error) std::rethrow_exception(error);
    inFlight -= weights[head];
    partsInFlight -= parts[head];
    if (!steps.finish(head)) return false;
  }
  return true;
}

}  // namespace orv::install
