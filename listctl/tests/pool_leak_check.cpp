// Linked into every test program of the list library: after each test the
// library pool must be gone (every list window destroyed) and must have
// held no block when it went, so a record that an instance forgets to free
// fails the test that leaked it.
#include <gtest/gtest.h>

#include "listctl/core/library.h"

namespace {

class PoolLeakCheck : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { before_ = lindra::libraryPool() != nullptr; }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (before_) return;  // a pool kept across tests is not this test's
    if (lindra::libraryPool() != nullptr)
      ADD_FAILURE() << info.name() << ": the library pool outlives the test (a list window was not destroyed)";
    else if (lindra::blocksLeftInLastPool() != 0)
      ADD_FAILURE() << info.name() << ": " << lindra::blocksLeftInLastPool()
                    << " blocks were still in use when the library pool went";
  }
  bool before_ = false;
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new PoolLeakCheck);
  return true;
}();

}  // namespace
