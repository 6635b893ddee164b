#include "player/audio/quote_state_list.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::uint32_t>;

TEST(QuoteStateList, EveryAccessorKeepsToOneThroughN) {
  COrv_QuoteStateList list;
  list.Init(3);
  for (int n : {1, 3}) {
    list.SetText(n, "typed " + std::to_string(n));
    list.SetFlags(n, 0x100u + static_cast<unsigned>(n));
    EXPECT_TRUE(list.SetWordFlags(n, {0, 7, 8}));
  }
  for (int n : {0, 4, -1}) {
    list.SetText(n, "outside");
    list.SetFlags(n, 0xFFFFFFFF);
    EXPECT_FALSE(list.SetWordFlags(n, {0, 1, 2})) << n;
    EXPECT_EQ(list.GetText(n), "") << n;
    EXPECT_EQ(list.GetFlags(n), 0u) << n;
    Words out = {5};
    EXPECT_FALSE(list.GetWordFlags(n, out)) << n;
    EXPECT_EQ(out, Words{5}) << n;
    EXPECT_FALSE(list.ResetQuote(n)) << n;
  }
  // The valid entries next to the bounds are untouched by the refused calls.
  EXPECT_EQ(list.GetText(1), "typed 1");
  EXPECT_EQ(list.GetText(3), "typed 3");
  EXPECT_EQ(list.GetFlags(3), 0x103u);
  EXPECT_EQ(list.GetText(2), "");
  EXPECT_FALSE(list.AnyWordsMissing());
}

TEST(QuoteStateList, WordFlagCopies) {
  COrv_QuoteStateList list;
  list.Init(2);
  Words out = {9, 9};
  EXPECT_FALSE(list.GetWordFlags(1, out)) << "never stored";
  EXPECT_EQ(out, (Words{9, 9}));

  Words flags = {0xAA, 1, 2, 3};
  ASSERT_TRUE(list.SetWordFlags(1, flags));
  flags[1] = 100;  // the store holds a copy
  ASSERT_TRUE(list.SetWordFlags(1, {0, 0x10, 0x20}));  // the second replaces the first

  out = {42};
  ASSERT_TRUE(list.GetWordFlags(1, out));
  EXPECT_EQ(out, (Words{42, 0x10, 0x20})) << "element 0 keeps what it had";
  Words fresh;
  ASSERT_TRUE(list.GetWordFlags(1, fresh));
  EXPECT_EQ(fresh, (Words{0, 0x10, 0x20}));

  // Storing a copy without word elements drops it: never TRUE with nothing in it.
  for (const Words& empty : {Words{}, Words{0xFFFF}}) {
    ASSERT_TRUE(list.SetWordFlags(2, {0, 1}));
    ASSERT_TRUE(list.SetWordFlags(2, empty));
    out = {3};
    EXPECT_FALSE(list.GetWordFlags(2, out)) << empty.size();
    EXPECT_EQ(out, Words{3});
  }
}

TEST(QuoteStateList, ResetQuoteAndResetAll) {
  COrv_QuoteStateList list;
  list.Init(3);
  for (int n = 1; n <= 3; ++n) {
    list.SetText(n, "text");
    list.SetFlags(n, 0xFFFFFFFF);
  }
  ASSERT_TRUE(list.SetWordFlags(1, {0xFFFFFFFF, 0xFFFFFFFF, 0x00120034}));
  EXPECT_TRUE(list.AnyWordsMissing());

  ASSERT_TRUE(list.ResetQuote(1));
  EXPECT_EQ(list.GetText(1), "");
  EXPECT_EQ(list.GetFlags(1), 0xFFFF2FF9u);
  Words out;
  ASSERT_TRUE(list.GetWordFlags(1, out));
  EXPECT_EQ(out, (Words{0, 0x0000FFFF, 0x00000034}));
  EXPECT_EQ(list.GetText(2), "text") << "only the one Echomark";

  // Resetting an Echomark without a word-flag copy makes none.
  ASSERT_TRUE(list.ResetQuote(2));
  EXPECT_FALSE(list.GetWordFlags(2, out));

  ASSERT_TRUE(list.ResetAll());
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(list.GetText(n), "") << n;
    EXPECT_EQ(list.GetFlags(n), 0xFFFF2FF8u) << n;
  }
  EXPECT_FALSE(list.AnyWordsMissing());
  EXPECT_FALSE(list.GetWordFlags(3, out));
}

TEST(QuoteStateList, SizingAndWordsMissing) {
  COrv_QuoteStateList never;
  EXPECT_FALSE(never.ResetAll());
  EXPECT_FALSE(never.AnyWordsMissing());
  EXPECT_EQ(never.GetText(1), "");

  COrv_QuoteStateList list;
  list.Init(0);
  EXPECT_TRUE(list.ResetAll()) << "sized, for a book without Echomarks";

  list.Init(4);
  list.SetFlags(4, COrv_QuoteStateList::kWordsMissing);
  EXPECT_TRUE(list.AnyWordsMissing()) << "the last Echomark counts";
  list.SetFlags(4, ~COrv_QuoteStateList::kWordsMissing);
  EXPECT_FALSE(list.AnyWordsMissing());

  // A new book starts empty.
  list.SetText(2, "old");
  ASSERT_TRUE(list.SetWordFlags(2, {0, 1}));
  list.Init(2);
  Words out;
  EXPECT_EQ(list.GetText(2), "");
  EXPECT_FALSE(list.GetWordFlags(2, out));
  EXPECT_EQ(list.GetFlags(4), 0u);
}

}  // namespace
