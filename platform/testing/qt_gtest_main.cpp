// The main of test programs that need widgets: an offscreen QApplication
// lives for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/testing/test_env.h"

int main(int argc, char** argv) {
  tvtest::installTestEnvironment(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
