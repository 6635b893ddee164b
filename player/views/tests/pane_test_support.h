#pragma once
// A recording stand-in of the document the text panes talk to, and a
// compact way to write down a so-far state.

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "player/views/text_pane_document.h"

namespace orv::test {

// A so-far state from its shown text and one letter per position for its
// kind: '.' plain, 's' struck, '_' slot, 'w' wrong, 'x' no counterpart.
// Words are the runs between blanks; a word with an editable position has
// state 0, the others 1 (done). `wordFlags` are ORed into every word.
inline SoFarState MakeState(const std::u32string& shown, const std::string& kinds,
                            const std::u32string& reference, std::uint32_t flags = 0x80,
                            std::uint32_t wordFlags = 0, unsigned quote = 1) {
  SoFarState s;
  s.shown = shown;
  s.reference = reference;
  s.flags = flags;
  s.quote = quote;
  EXPECT_EQ(kinds.size(), shown.size()) << "one kind per shown character";
  for (char k : kinds)
    s.kinds.push_back(k == 's' ? 18 : k == '_' ? 20 : k == 'w' ? 24 : k == 'x' ? -1 : 0);
  s.status.push_back(0);
  s.first.push_back(0);
  s.length.push_back(0);
  std::size_t p = 0;
  while (p < shown.size()) {
    while (p < shown.size() && shown[p] == U' ') ++p;
    if (p >= shown.size()) break;
    std::size_t e = p;
    bool editable = false;
    while (e < shown.size() && shown[e] != U' ') {
      editable |= s.kinds[e] == 18 || s.kinds[e] == 20 || s.kinds[e] == 24;
      ++e;
    }
    s.first.push_back(static_cast<int>(p));
    s.length.push_back(static_cast<int>(e - p));
    s.status.push_back((editable ? 0u : 1u) | wordFlags);
    p = e;
  }
  return s;
}

inline std::string Utf8(const std::u32string& s) { return QString::fromStdU32String(s).toStdString(); }

class RecordingDocument : public TextPaneDocument {
 public:
  std::vector<std::string> calls;
  SoFarState soFar;
  BookTextState book;
  unsigned current = 1;
  std::string userText;
  int goToState = 0;
  std::vector<std::string> grammarTitles;
  // Run inside SetWordMark, RecheckUserText or CheckUserText, as the real
  // document refreshes its views from inside them.
  std::function<void()> onChange;

  SoFarState GetSoFarState() const override { return soFar; }
  std::uint32_t GetCurrentStatus() const override { return soFar.flags; }
  bool SetWordMark(int n, std::uint32_t mark, int flags) override {
    calls.push_back("SetWordMark(" + std::to_string(n) + ",0x" + hex(mark) + "," +
                    std::to_string(flags) + ")");
    if (onChange) onChange();
    return true;
  }
  bool RecheckUserText(bool feedback) override {
    calls.push_back(std::string("Recheck(") + (feedback ? "1" : "0") + ")");
    if (onChange) onChange();
    return true;
  }
  bool ShowDictionaryDefinition(int n) override {
    calls.push_back("Dictionary(" + std::to_string(n) + ")");
    return true;
  }
  bool ShowIntroduction() override {
    calls.push_back("Introduction");
    return true;
  }
  bool ShowComment() override {
    calls.push_back("Comment");
    return true;
  }
  int GetGrammarTitles(int, std::vector<std::string>& titles) const override {
    titles = grammarTitles;
    return static_cast<int>(titles.size());
  }
  bool ShowGrammarPage(int n, int k) override {
    calls.push_back("GrammarPage(" + std::to_string(n) + "," + std::to_string(k) + ")");
    return true;
  }
  int GoToMenuState() const override { return goToState; }
  bool GoToGrammar(int entry) override {
    calls.push_back("GoToGrammar(" + std::to_string(entry) + ")");
    return true;
  }
  BookTextState GetBookText() const override { return book; }
  unsigned GetCurrentQuote() const override { return current; }
  std::string GetUserText() const override { return userText; }
  bool CheckUserText(const std::string& text, bool feedback) override {
    calls.push_back("Check(" + text + "," + (feedback ? "1" : "0") + ")");
    userText = text;
    if (onChange) onChange();
    return true;
  }
  // Blue introductions, italic texts, red comments, as the document's.
  COrv_TextFormat GetTextFormat(int record) const override {
    COrv_TextFormat f;
    f.chars.mask = COrv_CharFormat::kColour | COrv_CharFormat::kItalic | COrv_CharFormat::kBold;
    if (record == kIntroductionFormat) f.chars.colour = COrv_CharFormat::Rgb(0, 0, 255);
    if (record == kTextFormat) f.chars.effects = COrv_CharFormat::kEffectItalic;
    if (record == kCommentFormat) f.chars.colour = COrv_CharFormat::Rgb(255, 0, 0);
    return f;
  }

 private:
  static std::string hex(std::uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%X", v);
    return b;
  }
};

}  // namespace orv::test
