#include <gtest/gtest.h>

#include <string>

#include "platform/ipc/atoms.h"

using namespace plat::ipc;

namespace {

TEST(RegisteredMessage, SameValueForTheSameNameWhateverItsCase) {
  const UINT a = RegisterWindowMessage("Orvex_PRIVATEMSG_INTERAPP");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(a, RegisterWindowMessage("orvex_privatemsg_interapp"));
  EXPECT_NE(a, RegisterWindowMessage("Orvex_PRIVATEMSG_OTHER"));
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
  EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

TEST(GlobalAtoms, CountedCaseBlindNames) {
  const ATOM a = GlobalAddAtom("Book One");
  ASSERT_GE(a, 0xC000);
  EXPECT_EQ(GlobalAddAtom("BOOK ONE"), a);
  EXPECT_EQ(GlobalFindAtom("book one"), a);
  char buf[32];
  EXPECT_EQ(GlobalGetAtomName(a, buf, sizeof buf), 8u);
  EXPECT_STREQ(buf, "Book One");  // the first spelling stays
  EXPECT_EQ(GlobalDeleteAtom(a), 0);
  EXPECT_EQ(GlobalFindAtom("Book One"), a);  // one reference left
  EXPECT_EQ(GlobalDeleteAtom(a), 0);
  EXPECT_EQ(GlobalFindAtom("Book One"), 0);
  EXPECT_EQ(GlobalDeleteAtom(a), a);  // unknown now
  EXPECT_EQ(GlobalGetAtomName(a, buf, sizeof buf), 0u);
}

TEST(GlobalAtoms, NamesAreBoundedAndCutAtCharacters) {
  EXPECT_EQ(GlobalAddAtom(""), 0);
  EXPECT_EQ(GlobalAddAtom(std::string(256, 'x').c_str()), 0);
  const ATOM longest = GlobalAddAtom(std::string(255, 'x').c_str());
  EXPECT_NE(longest, 0);
  GlobalDeleteAtom(longest);

  const ATOM a = GlobalAddAtom("ab\xC3\xA9");  // "abé": the last character takes two bytes
  char buf[8];
  EXPECT_EQ(GlobalGetAtomName(a, buf, 4), 2u);  // room for 3 bytes: "é" does not fit
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(GlobalGetAtomName(a, buf, 0), 0u);
  GlobalDeleteAtom(a);
}

}  // namespace
