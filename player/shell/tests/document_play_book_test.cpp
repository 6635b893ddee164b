// The document as the play commands see it, over a document with the same
// calls as the program's: segments become the fragment of both the
// document and its player, and moves go through the frame when it asks.

#include "player/shell/document_play_book.h"

#include <gtest/gtest.h>

#include "player/shell/tests/play_fixture.h"

namespace {

struct FakeTalvane {
  int LoadQuoteInfo(COrv_InfoBundle& bundle, int n, int language, int mask) {
    calls.push_back({n, language, mask});
    bundle.SetQuoteNumber(n);
    return n <= 3;
  }
  std::vector<std::array<int, 3>> calls;
};

struct FakeDocument {
  bool IsOpen() const { return open; }
  unsigned GetCurrentQuote() const { return current; }
  unsigned GetQuoteCount() const { return 3; }
  uint32_t GetQuoteStatus(unsigned) const { return 0x41; }
  COrv_QuotePlayer& GetQuotePlayer() { return player; }
  COrv_RecordedVoice& GetRecordedVoice() { return voice; }
  FakeTalvane& GetTalvane() { return talvane; }
  void GetQuoteFragment(float& s, float& e) const { s = start, e = end; }
  bool SetQuoteFragment(float s, float e) {
    if (!(s >= 0 && s <= e && e <= 100)) return false;
    start = s, end = e;
    return true;
  }
  bool SetRecordFragment(float s, float e) { return voice.SetFragment(s, e); }
  bool GoToQuote(unsigned n, bool, bool) {
    if (n < 1 || n > 3) return false;
    current = n;
    return true;
  }
  bool open = true;
  unsigned current = 1;
  float start = 0, end = 100;
  COrv_InfoBundle bundle;
  COrv_QuotePlayer player;
  COrv_RecordedVoice voice;
  FakeTalvane talvane;
};

TEST(DocumentPlayBook, SegmentsFragmentsWavesAndMoves) {
  FakeDocument doc;
  doc.bundle.Waves().SetWaveFile(0, playtest::writeWave("doc.wav"));
  for (float share : {20.f, 30.f, 50.f}) doc.bundle.Waves().SetSegmentShare(doc.bundle.Waves().GetSegmentCount() + 1, share);
  doc.player.SetBook(&doc.bundle);
  ASSERT_TRUE(doc.player.LoadWave());
  FakeDocument* active = nullptr;
  COrv_DocumentPlayBook<FakeDocument> book([&] { return active; });
  EXPECT_FALSE(book.HasBook());
  active = &doc;
  ASSERT_TRUE(book.HasBook());

  ASSERT_TRUE(book.SelectQuoteAudio(2));
  float s = 0, e = 0;
  book.GetQuoteFragment(&s, &e);
  EXPECT_EQ(s, 20.f);
  EXPECT_EQ(e, 50.f);
  EXPECT_EQ(doc.player.GetFragmentStart(), 20.f) << "the player plays the same fragment";
  EXPECT_EQ(doc.player.GetFragmentEnd(), 50.f);
  EXPECT_FALSE(book.SelectQuoteAudio(4));
  EXPECT_FALSE(book.SetQuoteFragment(60, 40));
  EXPECT_EQ(doc.player.GetFragmentStart(), 20.f) << "a refused fragment leaves the player's";

  COrv_InfoBundle run;
  EXPECT_TRUE(book.LoadQuoteWaves(run, 3));
  EXPECT_FALSE(book.LoadQuoteWaves(run, 4));
  EXPECT_EQ(doc.talvane.calls[0], (std::array<int, 3>{3, -1, COrv_InfoBundle::kWaves}));

  EXPECT_TRUE(book.GoToQuote(3));
  EXPECT_EQ(book.CurrentQuote(), 3);
  EXPECT_FALSE(book.GoToQuote(0));
  std::vector<int> frameMoves;
  COrv_DocumentPlayBook<FakeDocument> framed([&] { return &doc; }, [&](int n) {
    frameMoves.push_back(n);
    return true;
  });
  EXPECT_TRUE(framed.GoToQuote(2));
  EXPECT_EQ(frameMoves, std::vector<int>{2});
  EXPECT_EQ(doc.current, 3u) << "the frame's move is the only one";
}

}  // namespace
