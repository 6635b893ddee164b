// The frame's book queries over a document of the Talvane document's shape.
#include "player/shell/document_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

struct Words {
  bool wrong = false;
  bool HasWrongWords() const { return wrong; }
  bool HasCorrectWords() const { return true; }
  bool AnyWordHasFlag(std::uint32_t bits) const { return bits == 0x10000; }
  bool ApplyLazyMarks(bool set) {
    g_calls.push_back(set ? "lazy on" : "lazy off");
    return true;
  }
  bool CompareUserText(const std::string& text, bool store) {
    g_calls.push_back("compare " + text + (store ? " store" : ""));
    return true;
  }
};

struct Index {
  void SelectQuote(unsigned n) { g_calls.push_back("select " + std::to_string(n)); }
};

struct Document {
  Words words;
  Index index;
  Index* frame = nullptr;
  unsigned GetCurrentQuote() const { return 2; }
  unsigned GetQuoteCount() const { return 5; }
  bool GoToQuote(unsigned n, bool intro, bool full) {
    g_calls.push_back("go " + std::to_string(n) + " " + std::to_string(intro) + std::to_string(full));
    return true;
  }
  std::uint32_t GetQuoteStatus(unsigned n) const { return 0x400 + n; }
  bool IsQuoteUnloadable(unsigned n) const { return n == 5; }
  bool SetQuoteStatus(std::uint32_t, unsigned) { return true; }
  bool SetQuoteStatusBits(std::uint32_t bits, bool all) {
    g_calls.push_back("set " + std::to_string(bits) + (all ? " all" : ""));
    return true;
  }
  bool ClearQuoteStatusBits(std::uint32_t, bool) { return true; }
  bool CheckAllQuotes() { return true; }
  bool RefreshViews(unsigned) { return true; }
  bool ResetQuote(bool) { return true; }
  bool CorrectWrongWords() { return true; }
  std::string GetUserText() const { return "the cat"; }
  Words& GetQuoteInfo() { return words; }
  const Words& GetQuoteInfo() const { return words; }
  Index* GetSplitterFrame() const { return frame; }
};

struct Windows : TalvaneDocuments {
  bool open = true;
  bool OpenDocumentFile(const std::string&) override { return true; }
  bool HasActiveDocument() const override { return open; }
  void CloseActiveDocument() override { open = false; }
};

TEST(DocumentCommands, AnswersFromTheActiveDocumentOrRefuses) {
  Windows windows;
  Document doc;
  Document* active = nullptr;
  DocumentCommands<Document> commands(windows, [&active] { return active; });
  EXPECT_FALSE(commands.HasActiveDocument());
  EXPECT_EQ(commands.GetQuoteCount(), 0u);
  EXPECT_FALSE(commands.GoToQuote(1, true, true));
  EXPECT_FALSE(commands.IsQuoteUnloadable(5));
  EXPECT_FALSE(commands.ClearLazyMarks());
  EXPECT_FALSE(commands.AnyWordHasFlag(0x10000));

  active = &doc;
  g_calls.clear();
  EXPECT_TRUE(commands.HasActiveDocument());
  EXPECT_EQ(commands.GetCurrentQuote(), 2u);
  EXPECT_EQ(commands.GetQuoteCount(), 5u);
  EXPECT_EQ(commands.GetQuoteStatus(3), 0x403u);
  EXPECT_TRUE(commands.IsQuoteUnloadable(5));
  EXPECT_FALSE(commands.IsQuoteUnloadable(4));
  EXPECT_TRUE(commands.GoToQuote(4, true, true));
  EXPECT_TRUE(commands.SetQuoteStatusBits(0x1000, true));
  EXPECT_TRUE(commands.AnyWordHasFlag(0x10000));
  EXPECT_FALSE(commands.HasWrongWords());
  // Clearing the revealed words compares the learner's text again, unstored.
  EXPECT_TRUE(commands.ClearLazyMarks());
  commands.SelectInQuoteIndex(4);  // no child frame: nothing
  doc.frame = &doc.index;
  commands.SelectInQuoteIndex(4);
  EXPECT_EQ(g_calls,
            (std::vector<std::string>{"go 4 11", "set 4096 all", "lazy off", "compare the cat", "select 4"}));

  // A closed window wins over a document left behind.
  windows.open = false;
  EXPECT_FALSE(commands.HasActiveDocument());
}

}  // namespace
