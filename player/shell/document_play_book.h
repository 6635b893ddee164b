#pragma once
// The active Talvane document as the play commands see it.
//
// A template over the document class so that it carries no link-time
// dependency of its own: the program instantiates it with COrv_TvDocument,
// tests with a small document of their own that has the same calls.
// Moving to another Echomark goes through the frame's GoToQuote when one
// is given (it also updates the index and the views), else straight to the
// document.

#include <functional>

#include "player/audio/quote_player.h"
#include "player/audio/recorded_voice.h"
#include "player/book/info_bundle.h"
#include "player/shell/play_book.h"

template <class Document>
class COrv_DocumentPlayBook : public COrv_PlayBook {
 public:
  using ActiveDocument = std::function<Document*()>;
  using GoTo = std::function<bool(int n)>;

  explicit COrv_DocumentPlayBook(ActiveDocument active, GoTo goTo = {})
      : m_active(std::move(active)), m_goTo(std::move(goTo)) {}

  bool HasBook() const override {
    const Document* doc = m_active ? m_active() : nullptr;
    return doc != nullptr && doc->IsOpen() && doc->GetCurrentQuote() >= 1;
  }
  int CurrentQuote() const override { return static_cast<int>(doc().GetCurrentQuote()); }
  int QuoteCount() const override { return static_cast<int>(doc().GetQuoteCount()); }
  uint32_t QuoteStatus() const override { return doc().GetQuoteStatus(0); }
  COrv_QuotePlayer& QuotePlayer() override { return doc().GetQuotePlayer(); }
  COrv_RecordedVoice& Voice() override { return doc().GetRecordedVoice(); }
  void GetQuoteFragment(float* start, float* end) const override { doc().GetQuoteFragment(*start, *end); }
  bool SetQuoteFragment(float start, float end) override {
    if (!doc().SetQuoteFragment(start, end)) return false;
    // The player plays its own copy of the fragment.
    doc().GetQuotePlayer().SetFragment(start, end);
    return true;
  }
  bool SetRecordFragment(float start, float end) override {
    if (!doc().SetRecordFragment(start, end)) return false;
    doc().GetRecordedVoice().SetFragment(start, end);
    return true;
  }
  bool SelectQuoteAudio(int segment) override {
    float start = 0.0f, end = 100.0f;
    if (!doc().GetQuotePlayer().GetSegmentRange(segment, &start, &end)) return false;
    return SetQuoteFragment(start, end);
  }
  bool LoadQuoteWaves(COrv_InfoBundle& bundle, int n) override {
    // The wave list in the book's own language.
    return doc().GetTalvane().LoadQuoteInfo(bundle, n, -1, COrv_InfoBundle::kWaves) != 0;
  }
  bool GoToQuote(int n) override {
    if (m_goTo) return m_goTo(n);
    if (n < 1) return false;
    return doc().GoToQuote(static_cast<unsigned>(n), true, true);
  }

 private:
  Document& doc() const { return *m_active(); }

  ActiveDocument m_active;
  GoTo m_goTo;
};
