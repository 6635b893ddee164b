// The reading and editing rules of ini text, on text in memory.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/profile/ini_text.h"
#include "platform/profile/profile.h"
#include "platform/testing/test_env.h"

using plat::profile::Batch;
using plat::profile::Snapshot;

namespace {

std::string bytes(const char* s, size_t n) { return std::string(s, n); }

struct ReadCase {
  const char* what;
  std::string text;
  std::string section, key, def;
  size_t size;
  std::string expected;
};

TEST(IniRead, ValuesDefaultsAndTruncation) {
  const std::string plain = "[S]\r\nk=value\r\n";
  const std::string multi = "[S]\nk=h\xC3\xA9llo\nj=\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\n";  // "héllo", three CJK
  const std::vector<ReadCase> cases = {
      {"plain value", plain, "S", "k", "d", 100, "value"},
      {"size 0 gives nothing", plain, "S", "k", "d", 0, ""},
      {"size 1 gives nothing", plain, "S", "k", "d", 1, ""},
      {"size 2 gives one character", plain, "S", "k", "d", 2, "v"},
      {"size equal to the length cuts one", plain, "S", "k", "d", 5, "valu"},
      {"size one past the length is whole", plain, "S", "k", "d", 6, "value"},
      {"multi-byte at size 2", multi, "S", "k", "d", 2, "h"},
      {"multi-byte never cut inside", multi, "S", "k", "d", 3, "h\xC3\xA9"},
      {"multi-byte at its length", multi, "S", "k", "d", 5, "h\xC3\xA9ll"},
      {"multi-byte whole", multi, "S", "k", "d", 6, "h\xC3\xA9llo"},
      {"three-byte characters at size 2", multi, "S", "j", "d", 2, "\xE6\x97\xA5"},
      {"three-byte characters at their length", multi, "S", "j", "d", 3, "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"missing key gives the default", plain, "S", "x", "dflt", 100, "dflt"},
      {"missing section gives the default", plain, "T", "k", "dflt", 100, "dflt"},
      {"default loses trailing blanks", plain, "T", "k", "dflt  \t", 100, "dflt"},
      {"default is cut too", plain, "T", "k", "dflt", 3, "df"},
      {"size 0 gives no default", plain, "T", "k", "dflt", 0, ""},
      {"present empty value is not the default", "[S]\nk=\n", "S", "k", "dflt", 100, ""},
      {"a line without '=' is no key", "[S]\nflag\n", "S", "flag", "dflt", 100, "dflt"},
      {"a line without '=' hides no key after it", "[S]\nstray text\nk=v\n", "S", "k", "d", 100, "v"},
      {"first of the same key twice", "[S]\nk=1\nK=2\n", "S", "k", "d", 100, "1"},
      {"first of a duplicate section", "[S]\na=1\n[T]\n[s]\na=3\nc=4\n", "S", "a", "d", 100, "1"},
      {"keys of a hidden duplicate section are not seen", "[S]\na=1\n[T]\n[s]\na=3\nc=4\n", "S", "c", "d", 100, "d"},
      {"double quotes stripped", "[S]\nk=\"  quoted  \"\n", "S", "k", "d", 100, "  quoted  "},
      {"single quotes stripped", "[S]\nk='q'\n", "S", "k", "d", 100, "q"},
      {"only one pair stripped", "[S]\nk=\"\"q\"\"\n", "S", "k", "d", 100, "\"q\""},
      {"unmatched quotes kept", "[S]\nk=\"q'\n", "S", "k", "d", 100, "\"q'"},
      {"a lone quote kept", "[S]\nk=\"\n", "S", "k", "d", 100, "\""},
      {"empty quotes give empty", "[S]\nk=\"\"\n", "S", "k", "d", 100, ""},
      {"a byte-order mark before the first header", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "d", 100, "v"},
      {"a byte-order mark before blanks and a header", "\xEF\xBB\xBF  [S]\nk=v\n", "S", "k", "d", 100, "v"},
      {"a mark anywhere else is text", "[S]\n\xEF\xBB\xBFk=v\n", "S", "k", "d", 100, "d"},
      {"names and values trimmed", "  [ S ]  \n  k \t=  v v \t\n", "S", "k", "d", 100, "v v"},
      {"CRLF file", "[S]\r\na=1\r\nb=2\r\n", "S", "a", "d", 100, "1"},
      {"LF file", "[S]\na=1\nb=2", "S", "b", "d", 100, "2"},
      {"CR-only file", "[S]\ra=1\rb=2\r[T]\rc=3\r", "S", "b", "d", 100, "2"},
      {"CR-only file, a later section", "[S]\ra=1\rb=2\r[T]\rc=3\r", "T", "c", "d", 100, "3"},
      {"mixed line ends", "[S]\ra=1\r\nb=2\nc=3\r", "S", "c", "d", 100, "3"},
      {"value holds '=' after the first", "[S]\nk=a=b\n", "S", "k", "d", 100, "a=b"},
      {"sections match without regard to case", "[SeTTings]\nDataPath=x\n", "settings", "DATAPATH", "d", 100, "x"},
      {"Latin-1 names fold", "[Zo\xC3\xAB]\npwd=1\n", "ZO\xC3\x8B", "PWD", "d", 100, "1"},
      {"Cyrillic names fold", "[\xD0\x9E\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0]\nk=1\n",
       "\xD0\x9E\xD0\x9B\xD0\xAC\xD0\x93\xD0\x90", "k", "d", 100, "1"},
      {"final sigma folds to sigma", "[\xCE\xA3]\nk=1\n", "\xCF\x82", "k", "d", 100, "1"},
      {"different letters do not match", "[Zo\xC3\xAB]\npwd=1\n", "Zoe", "pwd", "d", 100, "d"},
      {"comment lines are no keys", "[S]\n;k=c\n  ; j=1\nk=v\n", "S", "j", "d", 100, "d"},
      {"a comment line hides no key after it", "[S]\n;k=c\nk=v\n", "S", "k", "d", 100, "v"},
      {"a commented header opens nothing", "[S]\n; [T]\nk=v\n", "T", "k", "d", 100, "d"},
      {"text after the header is ignored", "[S] ; note\nk=v\n", "S", "k", "d", 100, "v"},
      {"keys before any header belong to nothing", "k=v\n[S]\n", "S", "k", "d", 100, "d"},
      {"bytes that are not UTF-8 are kept", "[S]\nk=\xE9t\xE9\n", "S", "k", "d", 100, "\xE9t\xE9"},
      {"a byte that is not UTF-8 is one character", "[S]\nk=\xE9t\xE9\n", "S", "k", "d", 2, "\xE9"},
      {"NUL bytes inside a value are kept", bytes("[S]\nk=a\0b\n", 10), "S", "k", "d", 100, bytes("a\0b", 3)},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(Snapshot(c.text).getString(c.section, c.key, c.def, c.size), c.expected) << c.what;
  }
}

TEST(IniRead, Integers) {
  struct Case {
    const char* value;  // nullptr: no such key
    int def;
    int expected;
  };
  const std::vector<Case> cases = {
      {"42", 7, 42},          {"-7", 1, -7},       {"+3", 1, 3},           {"12abc", 1, 12},
      {"abc", 5, 0},          {"", 5, 5},          {nullptr, 5, 5},         {"\"5\"", 1, 5},
      {" 8 ", 1, 8},          {"- 3", 1, 0},       {"99999999999", 1, INT_MAX}, {"-99999999999", 1, INT_MIN},
      {"9999", 0, 9999},
  };
  for (const Case& c : cases) {
    const std::string text = c.value ? std::string("[S]\nn=") + c.value + "\n" : "[S]\n";
    EXPECT_EQ(Snapshot(text).getInt("S", "n", c.def), c.expected) << (c.value ? c.value : "(missing)");
  }
}

TEST(IniRead, SectionAndKeyListsInFileOrder) {
  const Snapshot s("k0=outside\n[b]\nx=1\n[A]\n; c=0\nz=1\nflag\nZ=2\n=nameless\ny=3\n[c]\n[B]\nw=1\n[]\n");
  EXPECT_EQ(s.sectionNames(), (std::vector<std::string>{"b", "A", "c"}));
  EXPECT_EQ(s.keyNames("a"), (std::vector<std::string>{"z", "y"}));  // "flag" has no '='
  EXPECT_EQ(Snapshot("[S]\rk=1\rj=2\r").keyNames("S"), (std::vector<std::string>{"k", "j"}));
  EXPECT_EQ(s.keyNames("B"), (std::vector<std::string>{"x"}));  // the first [b] only
  EXPECT_TRUE(s.keyNames("c").empty());
  EXPECT_TRUE(s.keyNames("missing").empty());
  EXPECT_TRUE(s.hasSection("C"));
  EXPECT_FALSE(s.hasSection("d"));
}

TEST(IniRead, ListsCutToABufferLeaveOutWholeNames) {
  const std::filesystem::path file = tvtest::sandbox().tmp / "lists.ini";
  ASSERT_FALSE(plat::profile::Batch()
                   .writeString("ab", "k1", "1")
                   .writeString("ab", "k\xC3\xA9", "2")
                   .writeString("cd", "k", "3")
                   .apply(file));
  using plat::profile::keyNames;
  using plat::profile::sectionNames;
  // "ab\0cd\0\0" needs 7 characters.
  EXPECT_EQ(sectionNames(file, 7), (std::vector<std::string>{"ab", "cd"}));
  EXPECT_EQ(sectionNames(file, 6), (std::vector<std::string>{"ab"}));
  EXPECT_TRUE(sectionNames(file, 1).empty());
  EXPECT_TRUE(sectionNames(file, 0).empty());
  // "ké" is two characters although it takes three bytes.
  EXPECT_EQ(keyNames(file, "ab", 7), (std::vector<std::string>{"k1", "k\xC3\xA9"}));
  EXPECT_EQ(keyNames(file, "ab", 6), (std::vector<std::string>{"k1"}));
}

struct EditCase {
  const char* what;
  std::string before;
  std::function<void(Batch&)> edit;
  std::string after;
};

TEST(IniEdit, WritesKeepEveryUnrelatedLine) {
  const std::vector<EditCase> cases = {
      {"a changed value keeps the other lines and their line ends", "; top\n[S]\nk = old\nother=1\n",
       [](Batch& b) { b.writeString("S", "k", "new"); }, "; top\n[S]\nk=new\r\nother=1\n"},
      {"a changed key keeps its spelling", "[Datapath]\nDataPath=a\n",
       [](Batch& b) { b.writeString("DATAPATH", "datapath", "b"); }, "[Datapath]\nDataPath=b\r\n"},
      {"a new key goes after the section's last key", "[S]\na=1\n\n; about T\n[T]\nb=2\n",
       [](Batch& b) { b.writeString("S", "c", "3"); }, "[S]\na=1\nc=3\r\n\n; about T\n[T]\nb=2\n"},
      {"a new key in an empty section follows its header", "[S]\n[T]\n",
       [](Batch& b) { b.writeString("S", "c", "3"); }, "[S]\nc=3\r\n[T]\n"},
      {"a new key after a last line without line end", "[S]\na=1",
       [](Batch& b) { b.writeString("s", "b", "2"); }, "[S]\na=1\r\nb=2\r\n"},
      {"a new section goes at the end", "[S]\na=1",
       [](Batch& b) { b.writeString("T", "x", "y"); }, "[S]\na=1\r\n[T]\r\nx=y\r\n"},
      {"an empty file gets CRLF lines", "",
       [](Batch& b) { b.writeString(" S ", " k ", "v"); }, "[S]\r\nk=v\r\n"},
      {"a value is written as given", "",
       [](Batch& b) { b.writeString("S", "k", " \"q\" "); }, "[S]\r\nk= \"q\" \r\n"},
      {"the first of a duplicate section is written", "[S]\na=1\n[T]\n[s]\nb=2\n",
       [](Batch& b) { b.writeString("S", "b", "3"); }, "[S]\na=1\nb=3\r\n[T]\n[s]\nb=2\n"},
      {"the first of a duplicate key is written", "[S]\nk=1\nK=2\n",
       [](Batch& b) { b.writeString("S", "k", "3"); }, "[S]\nk=3\r\nK=2\n"},
      {"deleting a key removes every copy in its section", "[S]\nk=1\nj=0\nK=2\n[T]\nk=9\n",
       [](Batch& b) { b.deleteKey("S", "k"); }, "[S]\nj=0\n[T]\nk=9\n"},
      {"deleting the last key keeps the header", "[S]\nk=1\n",
       [](Batch& b) { b.deleteKey("S", "k"); }, "[S]\n"},
      {"deleting what is missing changes nothing", "[S]\nk=1",
       [](Batch& b) { b.deleteKey("S", "x").deleteKey("X", "k").deleteSection("X"); }, "[S]\nk=1"},
      {"deleting a section leaves the rest byte for byte",
       "; head\r\n[A]\r\na=1\r\n\r\n[S]\nx=1\n; in S\n\n[B]\tb=\"2\"\nb=2\n[s]\ny=2\n[C]\nc=\xff\n",
       [](Batch& b) { b.deleteSection("S"); }, "; head\r\n[A]\r\na=1\r\n\r\n[B]\tb=\"2\"\nb=2\n[C]\nc=\xff\n"},
      {"a deleted section written again comes back at the end", "[S]\na=1\n[T]\nb=2\n",
       [](Batch& b) { b.deleteSection("S").writeString("S", "c", "3"); }, "[T]\nb=2\n[S]\r\nc=3\r\n"},
      {"a write and a delete of the same key in one batch", "[S]\na=1\n",
       [](Batch& b) { b.writeString("S", "n", "1").writeString("S", "n", "2").deleteKey("S", "a"); },
       "[S]\nn=2\r\n"},
      {"a key added then deleted leaves no trace", "[S]\na=1\n",
       [](Batch& b) { b.writeString("S", "n", "1").deleteKey("S", "N"); }, "[S]\na=1\n"},
      {"Unicode names match without regard to case", "[Zo\xC3\xAB]\npwd=1\n",
       [](Batch& b) { b.writeString("ZO\xC3\x8B", "PWD", "2"); }, "[Zo\xC3\xAB]\npwd=2\r\n"},
      {"keys before the first header stay", "k=v\n[S]\n",
       [](Batch& b) { b.writeString("S", "k", "w"); }, "k=v\n[S]\nk=w\r\n"},
      {"a line without '=' stays and a key of its name is added", "[S]\nflag\n",
       [](Batch& b) { b.writeString("S", "flag", "1"); }, "[S]\nflag=1\r\nflag\n"},
      {"a CR-only file keeps its line ends", "[S]\ra=1\rb=2\r",
       [](Batch& b) { b.writeString("S", "a", "3"); }, "[S]\ra=3\r\nb=2\r"},
      {"a byte-order mark stays and its section is found", "\xEF\xBB\xBF[Default]\r\nCount=1\r\n",
       [](Batch& b) { b.writeString("Default", "Count", "2"); }, "\xEF\xBB\xBF[Default]\r\nCount=2\r\n"},
      {"a new section after a CR-only last line", "[S]\ra=1\r",
       [](Batch& b) { b.writeString("T", "x", "y"); }, "[S]\ra=1\r[T]\r\nx=y\r\n"},
  };
  for (const EditCase& c : cases) {
    Batch b;
    c.edit(b);
    std::string text = c.before;
    ASSERT_FALSE(b.applyTo(text)) << c.what;
    EXPECT_EQ(text, c.after) << c.what;
    EXPECT_EQ(Batch().applyTo(text), std::error_code()) << c.what;
  }
}

TEST(IniEdit, WrittenValuesReadBack) {
  std::string text = "[S]\nk=1\n";
  Batch b;
  for (int i = 0; i < 200; ++i) b.writeString("EMStatus", "EM" + std::to_string(i), std::to_string(i * 3));
  b.writeString("S", "k", "'quoted'");
  ASSERT_FALSE(b.applyTo(text));
  const Snapshot s(text);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(s.getInt("emstatus", "em" + std::to_string(i), -1), i * 3);
  EXPECT_EQ(s.getString("S", "k", "", 100), "quoted");
}

TEST(IniEdit, RefusedNamesAndValuesChangeNothing) {
  struct Case {
    const char* what;
    std::string section, key, value;
  };
  const std::vector<Case> cases = {
      {"section with LF", "a\nb", "k", "v"},
      {"section with CR", "a\rb", "k", "v"},
      {"section with a trailing CR", "a\r", "k", "v"},
      {"section with NUL", bytes("a\0b", 3), "k", "v"},
      {"section with ']'", "a]b", "k", "v"},
      {"a name that would add a section", "x]\r\n[Default", "Count", "99"},
      {"blank section", "  ", "k", "v"},
      {"key with '='", "S", "a=b", "v"},
      {"key with LF", "S", "a\nb", "v"},
      {"key with NUL", "S", bytes("a\0", 2), "v"},
      {"key that would read as a header", "S", "[Default]", "v"},
      {"key that would read as a comment", "S", " ;k", "v"},
      {"blank key", "S", "", "v"},
      {"value with LF", "S", "k", "v\n[Default]\nCount=0"},
      {"value with CR", "S", "k", "v\r"},
      {"value with NUL", "S", "k", bytes("v\0", 2)},
  };
  const std::string before = "[S]\nk=old\n";
  for (const Case& c : cases) {
    std::string text = before;
    // The whole batch is refused, the good write included.
    Batch b;
    b.writeString("S", "good", "1").writeString(c.section, c.key, c.value);
    EXPECT_EQ(b.applyTo(text), std::errc::invalid_argument) << c.what;
    EXPECT_EQ(text, before) << c.what;
  }
  std::string text = before;
  EXPECT_EQ(Batch().deleteSection("a]b").applyTo(text), std::errc::invalid_argument);
  EXPECT_EQ(Batch().deleteKey("S", "a=b").applyTo(text), std::errc::invalid_argument);
  EXPECT_EQ(text, before);
}

TEST(IniText, CutsAndCaseFolding) {
  using namespace plat::profile::text;
  // A truncated sequence and stray continuation bytes count one each.
  EXPECT_EQ(countChars("a\xC3"), 2u);
  EXPECT_EQ(countChars("\x80\x80"), 2u);
  EXPECT_EQ(countChars("\xF0\x9F\x98\x80"), 1u);       // U+1F600
  EXPECT_EQ(countChars("\xED\xA0\x80"), 3u);           // a surrogate is not UTF-8
  EXPECT_EQ(countChars("\xC0\xAF"), 2u);               // nor an overlong form
  EXPECT_EQ(cutChars("\xF0\x9F\x98\x80z", 1), "\xF0\x9F\x98\x80");
  struct Pair {
    const char* a;
    const char* b;
    bool equal;
  };
  const std::vector<Pair> pairs = {
      {"Talvanes", "TALVANES", true},
      {"\xC5\x81ukasz", "\xC5\x82UKASZ", true},        // Ł ł (Latin Extended-A)
      {"\xE1\xBA\xA0", "\xE1\xBA\xA1", true},          // Ạ ạ (Latin Extended Additional)
      {"\xD4\xB1", "\xD5\xA1", true},                  // Armenian Ա ա
      {"\xE2\x84\xAA", "k", true},                     // Kelvin sign
      {"\xC3\x9F", "ss", false},                       // simple folding only
      {"\xC4\xB0", "i", false},                        // dotted capital I has no simple folding
      {"\xE9", "\xC9", false},                         // raw bytes are not folded
      {"\xE9", "\xC3\xA9", false},                     // a raw byte is not the character
      {"ab", "abc", false},
  };
  for (const Pair& p : pairs) {
    EXPECT_EQ(equalNoCase(p.a, p.b), p.equal) << p.a << " / " << p.b;
    EXPECT_EQ(foldKey(p.a) == foldKey(p.b), p.equal) << p.a << " / " << p.b;
  }
}

}  // namespace
