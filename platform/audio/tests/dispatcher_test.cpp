#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/audio/dispatcher.h"
#include "platform/audio/done_queue.h"

namespace plat::audio {
namespace {

TEST(ManualDispatcher, RunsCallsAtTheirTimeInPostingOrder) {
  ManualDispatcher d;
  std::vector<std::string> ran;
  d.post([&] { ran.push_back("b@10"); }, 10'000);
  d.post([&] { ran.push_back("a@0"); });
  d.post([&] { ran.push_back("c@10"); }, 10'000);
  const auto cancelled = d.post([&] { ran.push_back("never"); }, 5'000);
  d.cancel(cancelled);
  EXPECT_TRUE(ran.empty()) << "nothing runs inside post";
  d.advanceMs(9);
  EXPECT_EQ(ran, (std::vector<std::string>{"a@0"}));
  d.advanceMs(1);
  EXPECT_EQ(ran, (std::vector<std::string>{"a@0", "b@10", "c@10"}));
  EXPECT_EQ(d.nowUs(), 10'000);
}

TEST(ManualDispatcher, TimerFiresEveryPeriodAndMayCancelItself) {
  ManualDispatcher d;
  std::vector<int64_t> at;
  Dispatcher::Id id = 0;
  id = d.startTimer(50'000, [&] {
    at.push_back(d.nowUs());
    if (at.size() == 3) d.cancel(id);
  });
  d.advanceMs(500);
  EXPECT_EQ(at, (std::vector<int64_t>{50'000, 100'000, 150'000}));
  EXPECT_EQ(d.pending(), 0u);
}

TEST(DoneQueue, DeliversInOrderLaterAndNeverAfterClose) {
  ManualDispatcher d;
  std::vector<WaveHeader*> got;
  WaveHeader a, b, c;
  a.flags = b.flags = c.flags = WHDR_INQUEUE | WHDR_PREPARED;
  {
    DoneQueue q(d, [&](WaveHeader* h) { got.push_back(h); });
    q.finish(&a, 20'000);  // a later delay for the first still comes first
    q.finish(&b);
    EXPECT_TRUE(got.empty());
    d.runDue();
    ASSERT_EQ(got, (std::vector<WaveHeader*>{&a}));
    EXPECT_EQ(a.flags, WHDR_DONE | WHDR_PREPARED);
    d.advanceMs(20);
    EXPECT_EQ(got, (std::vector<WaveHeader*>{&a, &b}));
    q.finish(&c);
    q.close();
    q.finish(&c);
  }
  d.advanceMs(100);
  EXPECT_EQ(got.size(), 2u);
  EXPECT_TRUE(c.flags & WHDR_INQUEUE);
}

TEST(DoneQueue, FinishFromAnotherThreadIsDeliveredOnTheDispatcher) {
  ManualDispatcher d;
  std::vector<WaveHeader*> got;
  std::vector<WaveHeader> headers(100);
  DoneQueue q(d, [&](WaveHeader* h) { got.push_back(h); });
  std::thread t([&] {
    for (auto& h : headers) q.finish(&h);
  });
  t.join();
  EXPECT_TRUE(got.empty());
  d.runDue();
  ASSERT_EQ(got.size(), headers.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], &headers[i]);
}

}  // namespace
}  // namespace plat::audio
