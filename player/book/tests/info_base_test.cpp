#include "player/book/info_base.h"

#include <gtest/gtest.h>

#include "player/book/tests/info_test_sink.h"

namespace {

TEST(InfoBase, FreshAndClearedAnswerNothing) {
  COrv_InfoBase b;
  EXPECT_EQ(b.FindKey(0), -1);
  EXPECT_EQ(b.FindKeyPair(0, 0), -1);
  EXPECT_EQ(b.GetKeyCount(), 0);
  EXPECT_EQ(b.GetMode(), COrv_InfoBase::kEmpty);

  b.AddKey(4, 7);
  b.AddKeyPair(5, 1, 2);
  b.SetLoaded(1);
  b.Clear();
  EXPECT_EQ(b.FindKey(7), -1);
  EXPECT_EQ(b.FindKeyPair(1, 2), -1);
  EXPECT_EQ(b.GetKeyCount(), 0);
  EXPECT_EQ(b.GetEntryCount(), 0);
  EXPECT_EQ(b.GetMode(), COrv_InfoBase::kEmpty);
  EXPECT_EQ(b.GetLoaded(), 1);  // the loaded mark is not part of the map
}

TEST(InfoBase, SingleKeysReplaceTheirIndex) {
  COrv_InfoBase b;
  b.AddKey(7, 3);
  b.AddKey(9, 3);
  b.AddKey(2, 8);
  EXPECT_EQ(b.GetMode(), COrv_InfoBase::kSingleKeys);
  EXPECT_EQ(b.GetEntryCount(), 2);
  EXPECT_EQ(b.FindKey(3), 9);
  EXPECT_EQ(b.FindKey(8), 2);
  EXPECT_EQ(b.FindKey(4), -1);
  ASSERT_EQ(b.GetKeyCount(), 2);
  EXPECT_EQ(b.GetKeyAt(1), 3);
  EXPECT_EQ(b.GetKeyAt(2), 8);
  EXPECT_EQ(b.GetKeyAt(0), -1);
  EXPECT_EQ(b.GetKeyAt(3), -1);
  EXPECT_EQ(b.GetKeyAt(-1), -1);
}

TEST(InfoBase, PairsAreKeptApartAndTheLastWins) {
  COrv_InfoBase b;
  b.AddKeyPair(0, 1, 2);
  b.AddKeyPair(1, 1, 3);
  EXPECT_EQ(b.GetMode(), COrv_InfoBase::kKeyPairs);
  EXPECT_EQ(b.GetEntryCount(), 2);
  EXPECT_EQ(b.FindKeyPair(1, 2), 0);
  EXPECT_EQ(b.FindKeyPair(1, 3), 1);
  EXPECT_EQ(b.FindKeyPair(2, 1), -1);
  EXPECT_EQ(b.FindKey(1), 1);  // the later entry with that key
  b.AddKeyPair(6, 1, 2);
  EXPECT_EQ(b.GetEntryCount(), 2);
  EXPECT_EQ(b.FindKeyPair(1, 2), 6);
  // Pair mode records no distinct keys.
  EXPECT_EQ(b.GetKeyCount(), 0);
  // Keys use the full 32 bits.
  b.AddKeyPair(3, 0xFFFFFFFFu, 0xFFFFFFFEu);
  EXPECT_EQ(b.FindKeyPair(0xFFFFFFFFu, 0xFFFFFFFEu), 3);
}

TEST(InfoBase, ErrorsGoToTheSinkWhenOneIsSet) {
  COrv_InfoBase b;
  EXPECT_EQ(b.ReportError(12, "Src", 4, 1), 0);
  RecordingSink sink;
  b.SetErrorSink(&sink);
  EXPECT_EQ(b.ReportError(12, "Src", 4, 1), 0);
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0], (RecordedError{12, "Src", 4, 1, {}}));

  // The document's error record is such a sink: it keeps the last error
  // with its earlier text until a text comes with one.
  COrv_ErrorInfo record;
  b.SetErrorSink(&record);
  record.SetErrorText(1, "Old", 2, 3, "kept");
  EXPECT_EQ(b.ReportError(40, "Reader", 16, 2), 0);
  EXPECT_EQ(record.m_nLine, 40);
  EXPECT_EQ(record.m_strSourceFile, "Reader");
  EXPECT_EQ(record.m_nCode, 16);
  EXPECT_EQ(record.m_nKind, 2);
  EXPECT_EQ(record.m_strText, "kept");
}

}  // namespace
