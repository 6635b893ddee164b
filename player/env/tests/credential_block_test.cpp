#include <gtest/gtest.h>

#include <string>

#include "player/env/credential_block.h"
#include "shared/scrambler/scrambler.h"
#include "player/env/tests/env_test_support.h"

namespace {

using orvtest::EnvTest;

using CredentialBlockTest = EnvTest;

TEST_F(CredentialBlockTest, RoundTripsThroughEightyDigits) {
  struct Case {
    std::string name, password, expectedName, expectedPassword;
  };
  const Case cases[] = {
      {"Bob", "pw", "Bob", "pw"},
      {std::string(30, 'N'), std::string(10, 'p'), std::string(30, 'N'), std::string(10, 'p')},
      {std::string(31, 'N'), std::string(11, 'p'), std::string(30, 'N'), std::string(10, 'p')},
      {std::string(29, 'N') + "é", "pässwörter", std::string(29, 'N'), "pässwört"},  // é would straddle byte 30
      {std::string(28, 'N') + "é", "123456789é", std::string(28, 'N') + "é", "123456789"},  // é ends at byte 30
      {"Ann  ", "pw \t", "Ann", "pw"},
      {"Default", "", "Default", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + "/" + c.password);
    const std::string digits = orv::encodeCredentialBlock(c.name, c.password);
    EXPECT_EQ(digits.size(), 80u);
    EXPECT_EQ(digits.find_first_not_of("0123456789abcdef"), std::string::npos);
    std::string name, password;
    ASSERT_TRUE(orv::decodeCredentialBlock(digits, name, password));
    EXPECT_EQ(name, c.expectedName);
    EXPECT_EQ(password, c.expectedPassword);
    EXPECT_EQ(orv::credentialName(c.name), c.expectedName);
    EXPECT_EQ(orv::credentialPassword(c.password), c.expectedPassword);
  }
}

TEST_F(CredentialBlockTest, RefusesAnythingButEightyHexDigits) {
  const std::string good = orv::encodeCredentialBlock("Bob", "pw");
  std::string upper = good;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string name, password;
  EXPECT_TRUE(orv::decodeCredentialBlock(upper, name, password));
  EXPECT_EQ(name, "Bob");

  for (const std::string& bad : {good.substr(0, 78), good.substr(0, 79), good + "00", good + "0", std::string(),
                                 " " + good.substr(1), good.substr(0, 40) + "+f" + good.substr(42)}) {
    SCOPED_TRACE(bad);
    name = "keep";
    EXPECT_FALSE(orv::decodeCredentialBlock(bad, name, password));
    EXPECT_EQ(name, "keep");
  }
}


}  // namespace

namespace {

// The block on disk is the blank-padded record under the shared mod-255
// walk with the default table, so every program that reads user files
// with the data scrambler reads the same names.
TEST(CredentialBlockFormat, IsTheRecordUnderTheSharedScrambler) {
  const std::string digits = orv::encodeCredentialBlock("Bob", "pw");
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  COrv_Scrambler().ScrambleMod255(bytes.data(), bytes.size(), 0, 0);
  EXPECT_EQ(bytes, "Bob" + std::string(27, ' ') + "pw" + std::string(8, ' '));
}

}  // namespace
