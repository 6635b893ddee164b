#include "player/shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Slots {
  std::string user, password, book, path, load;
  int number = -1, idL = -1;
  bool operator==(const Slots&) const = default;
};

Slots slotsOf(const COrv_CommandLineInfo& c) {
  return {c.m_strUser, c.m_strPassword, c.m_strBook, c.m_strPath, c.m_strLoadFile, c.m_nNumber, c.m_nIdL};
}

struct Case {
  const char* name;
  std::vector<std::string> args;
  Slots expected;
};

TEST(CommandLine, ValuesFillTheFirstOpenSlot) {
  const Case cases[] = {
      {"switches then values", {"-us", "-pwd", "-tv", "a", "b", "c"}, {"a", "b", "c", "", "", -1, -1}},
      {"switch value pairs", {"-us", "a", "-pwd", "b", "-tv", "c"}, {"a", "b", "c", "", "", -1, -1}},
      {"second value ignored", {"-us", "a", "b", "-tv", "c", "d"}, {"a", "", "c", "", "", -1, -1}},
      {"unreadable number retried", {"-nq", "x", "5"}, {"", "", "", "", "", 5, -1}},
      {"number then idL", {"-nq", "-idL", "7", "8"}, {"", "", "", "", "", 7, 8}},
      {"case ignored", {"-US", "Ann", "-Tv", "BOOK", "-IDL", "3"}, {"Ann", "", "BOOK", "", "", -1, 3}},
      {"unknown switch ignored", {"-xyz", "-us", "a", "-bogus", "b"}, {"a", "", "", "", "", -1, -1}},
      {"absolute path is a value", {"-load", "/home/u/TPKABC.tpk"}, {"", "", "", "", "/home/u/TPKABC.tpk", -1, -1}},
      {"slash is no switch", {"/us", "-us", "b"}, {"b", "", "", "", "", -1, -1}},
      {"value with no slot", {"stray", "-path", "p"}, {"", "", "", "p", "", -1, -1}},
      {"negative number", {"-nq", "-3"}, {"", "", "", "", "", -1, -1}},
  };
  for (const Case& c : cases) {
    COrv_CommandLineInfo info;
    info.Parse(c.args);
    EXPECT_EQ(slotsOf(info), c.expected) << c.name;
  }
}

TEST(CommandLine, FlagSwitches) {
  COrv_CommandLineInfo defaults;
  EXPECT_EQ(defaults.m_bNfp, 1);
  EXPECT_EQ(defaults.m_bLoad + defaults.m_bNoOpen + defaults.m_bNoStart + defaults.m_bUsfc, 0);

  COrv_CommandLineInfo info;
  info.Parse({"-NFP", "-usfc", "-nopen", "-NoStart", "-instal", "-uninstal", "-load", "f.tpk"});
  EXPECT_EQ(info.m_bNfp, 0);
  EXPECT_EQ(info.m_bUsfc, 1);
  EXPECT_EQ(info.m_bNoOpen, 1);
  EXPECT_EQ(info.m_bNoStart, 1);
  EXPECT_EQ(info.m_bInstal, 1);
  EXPECT_EQ(info.m_bUninstal, 1);
  EXPECT_EQ(info.m_bLoad, 1);
  EXPECT_EQ(info.m_strLoadFile, "f.tpk");
  // nopen is a plain switch: it leaves no book name.
  EXPECT_EQ(info.m_bBook, 0);
  EXPECT_TRUE(info.m_strBook.empty());
}

}  // namespace
