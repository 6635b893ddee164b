#pragma once
// DocumentCommands: the frame's questions about the active book answered
// from the active Talvane document. The book windows (open, close, which
// one is active) stay with the TalvaneDocuments it wraps; every Echomark
// query and Text-menu operation goes to the document that `active`
// answers, or is refused when there is none.
//
// A template over the document's type, so that the shell's commands take
// the document's operations by their names (GetCurrentQuote,
// GetQuoteStatus, SetQuoteStatusBits, GetQuoteInfo().HasWrongWords(), ...)
// and tests can drive them with a small stand-in of the same shape.

#include <cstdint>
#include <functional>
#include <string>

#include "player/shell/main_frame.h"

template <class Document>
class DocumentCommands : public TalvaneDocuments {
 public:
  // The word mark of a word revealed by a click.
  static constexpr std::uint32_t kLazyMark = 0x10000;

  DocumentCommands(TalvaneDocuments& windows, std::function<Document*()> active)
      : windows_(windows), active_(std::move(active)) {}

  bool OpenDocumentFile(const std::string& code) override { return windows_.OpenDocumentFile(code); }
  bool HasActiveDocument() const override { return windows_.HasActiveDocument() && doc() != nullptr; }
  void CloseActiveDocument() override { windows_.CloseActiveDocument(); }

  unsigned GetCurrentQuote() const override { return doc() ? doc()->GetCurrentQuote() : 0; }
  unsigned GetQuoteCount() const override { return doc() ? doc()->GetQuoteCount() : 0; }
  bool GoToQuote(unsigned n, bool showIntroduction, bool full) override {
    return doc() && doc()->GoToQuote(n, showIntroduction, full);
  }
  bool IsQuoteUnloadable(unsigned n) const override { return doc() && doc()->IsQuoteUnloadable(n); }
  std::uint32_t GetQuoteStatus(unsigned n) const override { return doc() ? doc()->GetQuoteStatus(n) : 0; }
  bool SetQuoteStatus(std::uint32_t status, unsigned n) override { return doc() && doc()->SetQuoteStatus(status, n); }
  bool SetQuoteStatusBits(std::uint32_t bits, bool all) override { return doc() && doc()->SetQuoteStatusBits(bits, all); }
  bool ClearQuoteStatusBits(std::uint32_t bits, bool all) override {
    return doc() && doc()->ClearQuoteStatusBits(bits, all);
  }
  bool CheckAllQuotes() override { return doc() && doc()->CheckAllQuotes(); }
  bool RefreshViews(unsigned flags) override { return doc() && doc()->RefreshViews(flags); }
  bool ResetQuote(bool all) override { return doc() && doc()->ResetQuote(all); }
  bool HasWrongWords() const override { return doc() && doc()->GetQuoteInfo().HasWrongWords(); }
  bool HasCorrectWords() const override { return doc() && doc()->GetQuoteInfo().HasCorrectWords(); }
  bool AnyWordHasFlag(std::uint32_t bits) const override {
    return doc() && doc()->GetQuoteInfo().AnyWordHasFlag(bits);
  }
  bool CorrectWrongWords() override { return doc() && doc()->CorrectWrongWords(); }
  bool ClearLazyMarks() override {
    Document* d = doc();
    if (d == nullptr) return false;
    auto& info = d->GetQuoteInfo();
    // The revealed words are no longer given: the learner's own text is
    // compared again as it stands.
    info.ApplyLazyMarks(false);
    return info.CompareUserText(d->GetUserText(), false);
  }

  bool HasActiveChild() const override { return windows_.HasActiveChild(); }
  bool IsQuoteIndexShown() const override { return windows_.IsQuoteIndexShown(); }
  void ShowQuoteIndex(bool show) override { windows_.ShowQuoteIndex(show); }
  void SelectInQuoteIndex(unsigned n) override {
    if (Document* d = doc(); d != nullptr && d->GetSplitterFrame() != nullptr) d->GetSplitterFrame()->SelectQuote(n);
  }

 private:
  Document* doc() const { return active_ ? active_() : nullptr; }

  TalvaneDocuments& windows_;
  std::function<Document*()> active_;
};
