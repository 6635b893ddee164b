// Shared fixture of the pool tests: a handler that records every error and
// answers from a script, and a pool that is checked and destroyed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "listctl/pool/pool.h"
#include "listctl/pool/pool_debug.h"

namespace pooltest {

struct HandlerLog {
  std::vector<int> codes;
  std::deque<int> answers;  // answered in turn; 0 once used up
  void (*during)(const lindra::PoolErrorRecord*) = nullptr;
};

inline HandlerLog& log() {
  static HandlerLog l;
  return l;
}

inline int recordingHandler(const lindra::PoolErrorRecord* e) {
  HandlerLog& l = log();
  l.codes.push_back(e->code);
  if (l.during) l.during(e);
  if (l.answers.empty()) return 0;
  const int a = l.answers.front();
  l.answers.pop_front();
  return a;
}

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log() = HandlerLog{};
    previous_ = lindra::PoolSetErrorHandler(recordingHandler);
    ASSERT_NE(previous_, nullptr);
    pool_ = lindra::PoolCreate(lindra::kPoolLibrary);
    ASSERT_NE(pool_, nullptr);
  }
  void TearDown() override {
    if (pool_) {
      std::string fault;
      EXPECT_TRUE(lindra::PoolCheck(pool_, &fault)) << fault;
      EXPECT_EQ(stats().blocksInUse, 0u) << "blocks left in the pool";
      EXPECT_EQ(lindra::PoolDestroy(pool_), 1);
    }
    lindra::PoolFailNextRegions(0);
    lindra::PoolSetErrorHandler(previous_);
  }
  lindra::PoolStats stats() {
    lindra::PoolStats s;
    EXPECT_TRUE(lindra::PoolGetStats(pool_, &s));
    return s;
  }
  void expectSound() {
    std::string fault;
    EXPECT_TRUE(lindra::PoolCheck(pool_, &fault)) << fault;
  }
  std::vector<int>& errors() { return log().codes; }

  lindra::MemPool* pool_ = nullptr;
  lindra::PoolErrorHandler previous_ = nullptr;
};

}  // namespace pooltest
