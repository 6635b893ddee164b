#include "player/book/info_bundle.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/testing/test_env.h"
#include "player/book/tests/info_test_sink.h"

namespace {

using B = COrv_InfoBundle;

TEST(InfoBundle, HasInfoForEveryKind) {
  B b;
  const int kinds[] = {B::kWordText, B::kComment, B::kIntroduction, B::kFixedWords, B::kKeywords,
                       B::kDictionary, B::kSegmentStarts, B::kWaves, B::kLinks};
  for (int kind : kinds) EXPECT_FALSE(b.HasInfo(kind, 1)) << kind;

  const auto wave = tvtest::sandbox().base / "w0.wav";
  tvtest::writeFile(wave, "x");
  b.Words().SetText("Le chat", 1);
  b.Comments().SetText("Un commentaire", 1);
  b.Introductions().SetText("", 1);  // an empty text is no text
  b.Words().AddList8(2);
  b.Words().AddList16(3);
  b.Dictionary().Add(2, "chat", "cat", "def", 7);
  b.Words().AddSorted(1);
  b.Waves().SetWaveFile(-1, wave);
  b.Links().Add("12", 2);

  struct Case {
    int kind;
    std::uint32_t language;
    bool has;
  };
  const Case cases[] = {
      {B::kWordText, 1, true},     {B::kWordText, 2, false},   {B::kComment, 1, true},
      {B::kComment, 2, false},     {B::kIntroduction, 1, false}, {B::kFixedWords, 9, true},
      {B::kKeywords, 9, true},     {B::kDictionary, 1, true},  {B::kSegmentStarts, 9, true},
      {B::kWaves, 101, true},      {B::kWaves, 0, false},      {B::kWaves, 1, false},
      {B::kLinks, 9, true},        {256, 1, false},            {0, 1, false},
      {3, 1, false},
  };
  for (const Case& c : cases) EXPECT_EQ(b.HasInfo(c.kind, c.language), c.has) << c.kind << "/" << c.language;

  b.ClearAll();
  for (int kind : kinds) EXPECT_FALSE(b.HasInfo(kind, 1)) << kind;
  EXPECT_FALSE(b.HasInfo(B::kWaves, 101));
  EXPECT_FALSE(std::filesystem::exists(wave));  // the wave list's file went with it
}

TEST(InfoBundle, ErrorSinkReachesEveryList) {
  B b;
  EXPECT_EQ(b.ReportError(101, "text", "Src", 9), 0);
  RecordingSink sink;
  b.SetErrorSink(&sink);
  EXPECT_EQ(b.GetErrorSink(), &sink);
  const COrv_InfoBase* lists[] = {&b.Links(), &b.Waves(), &b.Dictionary(), &b.Comments(),
                                  &b.Introductions(), &b.Words()};
  for (const COrv_InfoBase* l : lists) EXPECT_EQ(l->GetErrorSink(), &sink);
  EXPECT_EQ(b.ReportError(101, "text", "Src", 9), 0);
  b.Waves().ReportError(3, "QlWaves", 4, 0);
  ASSERT_EQ(sink.errors.size(), 2u);
  EXPECT_EQ(sink.errors[0], (RecordedError{9, "Src", 101, 0, "text"}));
  EXPECT_EQ(sink.errors[1].source, "QlWaves");
}

TEST(InfoBundle, DestructionDeletesTheWaveFiles) {
  const auto wave = tvtest::sandbox().base / "w.wav";
  tvtest::writeFile(wave, "x");
  {
    B b;
    b.Waves().SetWaveFile(0, wave);
  }
  EXPECT_FALSE(std::filesystem::exists(wave));
}

}  // namespace
