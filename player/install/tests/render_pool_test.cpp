#include "player/install/render_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using orv::install::RenderPool;

// What a run did, as its steps saw it.
struct Trace {
  std::mutex mutex;
  std::vector<std::size_t> prepared, finished;
  std::vector<std::thread::id> renderThreads;
  std::uint64_t inFlight = 0, mostInFlight = 0;
  bool touchedOffThread = false;  // prepare or finish away from the caller
};

struct Plan {
  std::size_t count = 12;
  std::size_t lastPrepared = SIZE_MAX;  // prepare answers false here
  std::size_t stopAt = SIZE_MAX;        // finish answers false here
  std::uint64_t weight = 1;
  std::size_t throwAt = SIZE_MAX;  // render throws here
};

bool runPlan(RenderPool& pool, const Plan& plan, Trace& t) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<int> results(plan.count, 0);
  RenderPool::Steps steps;
  steps.prepare = [&](std::size_t i) {
    t.touchedOffThread |= std::this_thread::get_id() != caller;
    t.prepared.push_back(i);
    t.inFlight += plan.weight;
    t.mostInFlight = std::max(t.mostInFlight, t.inFlight);
    return i != plan.lastPrepared;
  };
  steps.render = [&](std::size_t i, std::size_t) {
    {
      std::lock_guard<std::mutex> lock(t.mutex);
      t.renderThreads.push_back(std::this_thread::get_id());
    }
    if (i == plan.throwAt) throw std::runtime_error("render " + std::to_string(i));
    // Later jobs are quicker, so that they come back out of order.
    std::this_thread::sleep_for(std::chrono::milliseconds((plan.count - i) % 8));
    results[i] = static_cast<int>(i) * 10;
  };
  steps.finish = [&](std::size_t i) {
    t.touchedOffThread |= std::this_thread::get_id() != caller;
    EXPECT_EQ(results[i], static_cast<int>(i) * 10) << "finished before it was rendered: " << i;
    t.finished.push_back(i);
    t.inFlight -= plan.weight;
    return i != plan.stopAt;
  };
  steps.weight = [&](std::size_t) { return plan.weight; };
  return pool.run(plan.count, steps);
}

std::vector<std::size_t> upTo(std::size_t n) {
  std::vector<std::size_t> v;
  for (std::size_t i = 0; i < n; ++i) v.push_back(i);
  return v;
}

// Whatever the thread count, every job is finished in order on the calling
// thread; a stop in prepare or finish ends the run there.
TEST(RenderPool, JobsAreFinishedInOrderOnTheCallingThread) {
  struct Case {
    const char* what;
    Plan plan;
    bool ok;
    std::size_t finished;  // how many, from job 0
  };
  const Case cases[] = {
      {"all jobs", {}, true, 12},
      {"one job", {.count = 1}, true, 1},
      {"no job", {.count = 0}, true, 0},
      {"finish refuses job 4", {.stopAt = 4}, false, 5},
      {"job 6 is the last prepared", {.lastPrepared = 6}, false, 7},
      {"the last job is the last prepared", {.lastPrepared = 11}, true, 12},
  };
  for (const unsigned threads : {1u, 2u, 8u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(threads) + " threads");
      RenderPool pool(threads);
      Trace t;
      EXPECT_EQ(runPlan(pool, c.plan, t), c.ok);
      EXPECT_EQ(t.finished, upTo(c.finished));
      EXPECT_FALSE(t.touchedOffThread);
      // Nothing is prepared past a job that said it was the last.
      if (c.plan.lastPrepared != SIZE_MAX) {
        EXPECT_EQ(t.prepared.back(), c.plan.lastPrepared);
      }
      EXPECT_TRUE(std::is_sorted(t.prepared.begin(), t.prepared.end()));
    }
  }
}

TEST(RenderPool, RendersOnWorkersWithManyThreadsAndInLineWithOne) {
  for (const unsigned threads : {1u, 4u}) {
    SCOPED_TRACE(threads);
    RenderPool pool(threads);
    Trace t;
    ASSERT_TRUE(runPlan(pool, {}, t));
    std::vector<std::thread::id> ids = t.renderThreads;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (threads == 1) {
      EXPECT_EQ(ids, std::vector<std::thread::id>{std::this_thread::get_id()});
    } else {
      EXPECT_GT(ids.size(), 1u);
      EXPECT_LE(ids.size(), threads);
      EXPECT_EQ(std::count(ids.begin(), ids.end(), std::this_thread::get_id()), 0);
    }
  }
  EXPECT_GE(RenderPool().threads(), 1u);  // one per core
}

// The jobs in flight stay within the budget, except a single job heavier
// than the whole budget, which still runs on its own.
TEST(RenderPool, JobsInFlightStayWithinTheBudget) {
  struct Case {
    std::uint64_t weight, budget, most;
  };
  const Case cases[] = {{10, 30, 30}, {10, 25, 20}, {100, 30, 100}, {1, 1000, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.weight) + " of " + std::to_string(c.budget));
    RenderPool pool(8, c.budget);
    Trace t;
    Plan plan;
    plan.count = 40;
    plan.weight = c.weight;
    ASSERT_TRUE(runPlan(pool, plan, t));
    EXPECT_EQ(t.finished, upTo(40));
    // At most two jobs per thread are ahead of the one being stored.
    EXPECT_LE(t.mostInFlight, c.most);
  }
}

// While the calling thread waits for a long rendering it is called back
// now and then (a progress window keeps painting), on its own thread.
TEST(RenderPool, TheWaitingThreadIsCalledBackWhileARenderingTakesLong) {
  RenderPool pool(4);
  const std::thread::id caller = std::this_thread::get_id();
  int calls = 0;
  bool elsewhere = false;
  RenderPool::Steps steps;
  steps.prepare = [](std::size_t) { return true; };
  steps.render = [](std::size_t i, std::size_t) {
    if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5 * RenderPool::kWaitingStepMs));
  };
  steps.finish = [](std::size_t) { return true; };
  steps.waiting = [&] {
    ++calls;
    elsewhere |= std::this_thread::get_id() != caller;
  };
  ASSERT_TRUE(pool.run(3, steps));
  EXPECT_GE(calls, 2);
  EXPECT_FALSE(elsewhere);
}

// A job of several parts (the renderings of one recording) is finished
// once every part is rendered, each part once; with workers the parts of a
// job run side by side.
TEST(RenderPool, ThePartsOfAJobAreAllRenderedBeforeItIsFinished) {
  for (const unsigned threads : {1u, 8u}) {
    SCOPED_TRACE(threads);
    constexpr std::size_t kJobs = 9;
    const auto partsOf = [](std::size_t i) { return i % 3 + 1; };
    std::mutex mutex;
    std::condition_variable started;
    std::vector<std::vector<int>> rendered(kJobs);
    for (std::size_t i = 0; i < kJobs; ++i) rendered[i].assign(partsOf(i), 0);
    bool sideBySide = false;
    std::vector<std::size_t> finished;
    RenderPool::Steps steps;
    steps.prepare = [](std::size_t) { return true; };
    steps.parts = partsOf;
    steps.render = [&](std::size_t i, std::size_t part) {
      std::unique_lock<std::mutex> lock(mutex);
      ++rendered[i][part];
      started.notify_all();
      // The first part of job 2 waits (boundedly) for its last part to start.
      if (threads > 1 && i == 2 && part == 0)
        sideBySide = started.wait_for(lock, std::chrono::seconds(30), [&] { return rendered[2][2] != 0; });
    };
    steps.finish = [&](std::size_t i) {
      std::lock_guard<std::mutex> lock(mutex);
      EXPECT_EQ(rendered[i], std::vector<int>(partsOf(i), 1)) << "job " << i;
      finished.push_back(i);
      return true;
    };
    ASSERT_TRUE(RenderPool(threads).run(kJobs, steps));
    EXPECT_EQ(finished, upTo(kJobs));
    EXPECT_EQ(sideBySide, threads > 1);
  }
}

TEST(RenderPool, ARenderingsExceptionComesOutOnTheCallingThreadInItsTurn) {
  for (const unsigned threads : {1u, 8u}) {
    SCOPED_TRACE(threads);
    RenderPool pool(threads);
    Trace t;
    Plan plan;
    plan.throwAt = 5;
    EXPECT_THROW(runPlan(pool, plan, t), std::runtime_error);
    EXPECT_EQ(t.finished, upTo(5));
  }
}

}  // namespace
