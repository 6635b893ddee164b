#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/hive.h"

using namespace plat::registry::hive;

namespace {

// The bytes of a literal, embedded NULs included.
template <std::size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

TEST(HiveFile, WritesTheDocumentedForm) {
  Key root;
  root.setValue("", 1, B("root\0"));
  Key* k = root.addSubkey("Software")->addSubkey("Quillon")->addSubkey("Kestrelle");
  k->setValue("AppPath", 1, B("/opt/t\0"));
  k->setValue("LastInterfaceLanguage", 4, B("\x07\0\0\0"));
  k->setValue("a=b", 3, B("\x00\xff"));
  k->setValue("Odd", 4, "\x01");
  k->setValue("Q", 11, "");
  k->setValue("Multi", 7, B("x\0y\0\0"));
  root.addSubkey("[Empty]");
  EXPECT_EQ(serialize(root),
            "talvane-registry-hive 1\n"
            "=sz:root%00\n"
            "[Software]\n"
            "[Software\\Quillon]\n"
            "[Software\\Quillon\\Kestrelle]\n"
            "AppPath=sz:/opt/t%00\n"
            "LastInterfaceLanguage=dword:00000007\n"
            "a%3db=binary:00ff\n"
            "Odd=hex(4):01\n"
            "Q=hex(11):\n"
            "Multi=multi_sz:x%00y%00%00\n"
            "[%5bEmpty%5d]\n");  // '[' sorts after the letters
  Key back;
  ASSERT_TRUE(parse(serialize(root), back).sound);
  EXPECT_TRUE(sameTree(root, back));
}

TEST(HiveFile, EscapingKeepsEveryByteAndValidUtf8) {
  struct Case {
    std::string raw, escaped;
  };
  const std::vector<Case> cases{
      {"plain text/with\\slash", "plain text/with\\slash"},
      {B("\r\n\0\t\x7f"), "%0d%0a%00%09%7f"},
      {"%=[]", "%25%3d%5b%5d"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5"},
      {"\xe9\xff\xc3(", "%e9%ff%c3("},               // stray and cut sequences
      {"\xc0\xaf\xed\xa0\x80", "%c0%af%ed%a0%80"},   // overlong and surrogate
      {"\xf4\x90\x80\x80", "%f4%90%80%80"},          // beyond U+10FFFF
  };
  for (const Case& c : cases) {
    EXPECT_EQ(escape(c.raw), c.escaped);
    std::string back;
    ASSERT_TRUE(unescape(c.escaped, back));
    EXPECT_EQ(back, c.raw);
  }
  std::string out;
  for (const char* bad : {"%", "%4", "%zz", "a%0"}) EXPECT_FALSE(unescape(bad, out)) << bad;
}

TEST(HiveFile, NamesFoldWithoutRegardToCase) {
  EXPECT_EQ(fold("Software"), fold("SOFTWARE"));
  EXPECT_EQ(fold("\xc3\xa4rger"), fold("\xc3\x84RGER"));  // ärger, ÄRGER
  EXPECT_NE(fold("\xc3\xa4rger"), fold("arger"));
  EXPECT_EQ(fold("\xff"), "\xff");  // stray bytes stay themselves
  EXPECT_NE(fold("\xe4"), fold("\xc4"));
  Key k;
  k.addSubkey("Kestrelle");
  bool created = true;
  EXPECT_EQ(k.addSubkey("KESTRELLE", &created)->name, "Kestrelle");
  EXPECT_FALSE(created);
  EXPECT_EQ(charCount("a\xc3\xa4\xff"), 3u);
}

TEST(HiveFile, UnsoundLinesAreReportedAndNothingAfterThemIsLost) {
  const std::string head = "talvane-registry-hive 1\n[A]\nGood=dword:00000001\n";
  struct Case {
    const char* what;
    std::string text;
    std::size_t line;  // 0: sound
    bool goodKept;
  };
  const std::string deep = [] {
    std::string p = "[k";
    for (std::size_t i = 0; i < kMaxDepth; ++i) p += "\\k";
    return p + "]\n";
  }();
  const std::vector<Case> cases{
      {"sound, CRLF and blank lines", "talvane-registry-hive 1\r\n\r\n[A]\r\nGood=dword:00000001\r\n", 0, true},
      {"no final line end", head + "X=sz:x", 0, true},
      {"empty file", "", 0, false},
      {"no header", "[A]\nGood=dword:00000001\n", 1, true},
      {"other version", "talvane-registry-hive 2\n", 1, false},
      {"unclosed key", head + "[B\n", 4, true},
      {"empty component", head + "[B\\\\C]\n", 4, true},
      {"trailing backslash", head + "[B\\]\n", 4, true},
      {"escaped backslash in a name", head + "[B%5cC]\n", 4, true},
      {"key name too long", head + "[" + std::string(256, 'k') + "]\n", 4, true},
      {"too deep", head + deep, 4, true},
      {"neither key nor value", head + "garbage\n", 4, true},
      {"no type", head + "X=plain\n", 4, true},
      {"unknown kind", head + "X=word:1\n", 4, true},
      {"short dword", head + "X=dword:0001\n", 4, true},
      {"odd hex", head + "X=binary:abc\n", 4, true},
      {"bad hex", head + "X=binary:zz\n", 4, true},
      {"type too big", head + "X=hex(4294967296):00\n", 4, true},
      {"bad escape", head + "X=sz:%g0\n", 4, true},
      {"bad escape in a name", head + "%=sz:x\n", 4, true},
  };
  for (const Case& c : cases) {
    Key root;
    const ParseReport r = parse(c.text, root);
    EXPECT_EQ(r.sound, c.line == 0) << c.what;
    EXPECT_EQ(r.line, c.line) << c.what;
    const Key* a = root.findSubkey("a");
    EXPECT_EQ(a != nullptr && a->findValue("GOOD") != nullptr, c.goodKept) << c.what;
    // Every line comes back through the writer: the bad one as it stood.
    Key again;
    parse(serialize(root), again);
    EXPECT_TRUE(sameTree(root, again)) << c.what;
    EXPECT_EQ(r.keptLines.empty(), c.line == 0 || (c.line == 1 && c.goodKept)) << c.what;
  }
}

// A bad line keeps its place with its key; a key line that cannot be read
// keeps the lines under it, so they are given to no other key; sound lines
// after both are read as usual.
TEST(HiveFile, KeptLinesStayWithTheirKeyThroughTheWriter) {
  const std::string text =
      "talvane-registry-hive 1\n"
      "[A]\n"
      "One=dword:00000001\n"
      "Broken=dword:12\n"
      "Two=dword:00000002\n"
      "[A\\\\B]\n"
      "Orphan=dword:00000003\n"
      "[C]\n"
      "Three=dword:00000003\n";
  Key root;
  const ParseReport r = parse(text, root);
  EXPECT_FALSE(r.sound);
  EXPECT_EQ(r.line, 4u);
  EXPECT_EQ(r.keptLines, (std::vector<std::string>{"Broken=dword:12", "[A\\\\B]", "Orphan=dword:00000003"}));
  const Key* a = root.findSubkey("A");
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a->findValue("Two"), nullptr);
  EXPECT_EQ(a->findValue("Orphan"), nullptr);
  EXPECT_EQ(a->keptLines, r.keptLines);
  ASSERT_NE(root.findSubkey("C"), nullptr);
  EXPECT_NE(root.findSubkey("C")->findValue("Three"), nullptr);

  const std::string written = serialize(root);
  for (const std::string& line : r.keptLines) EXPECT_NE(written.find(line + "\n"), std::string::npos) << line;
  Key again;
  EXPECT_EQ(parse(written, again).keptLines, r.keptLines);
  EXPECT_TRUE(sameTree(root, again));
  EXPECT_EQ(serialize(again), written);
}

TEST(HiveFile, DuplicatesMergeAndTheFirstValueCounts) {
  Key root;
  ASSERT_TRUE(parse("talvane-registry-hive 1\n[A]\nx=dword:00000001\n[B]\n[a]\nX=dword:00000002\ny=sz:\n", root).sound);
  ASSERT_EQ(root.subkeys.size(), 2u);
  const Key* a = root.findSubkey("A");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->values.size(), 2u);
  EXPECT_EQ(a->values[0].data, B("\1\0\0\0"));
  EXPECT_EQ(a->values[1].name, "y");
}

}  // namespace
