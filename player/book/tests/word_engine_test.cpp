#include "player/book/word_engine.h"

#include <gtest/gtest.h>

namespace {

TEST(WordEngine, EmptyPlaceholder) { COrv_WordEngine e; EXPECT_FALSE(e.Run()); }

}  // namespace
