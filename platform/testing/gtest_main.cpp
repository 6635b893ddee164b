#include <gtest/gtest.h>

#include "platform/testing/test_env.h"

int main(int argc, char** argv) {
  tvtest::installTestEnvironment(&argc, argv);
  return RUN_ALL_TESTS();
}
