// Dictionary order of titles in several languages: the root collation, by
// comparison and by sort keys alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/collation.h"

namespace {

using plat::text::collate;
using plat::text::collationKey;

const std::vector<std::string> kDictionaryOrder = {
    "Ålesund", "Angers", "Avignon", "Ávila",  "Cádiz",  "Česká", "Ceuta", "Córdoba", "éclair",
    "Eclipse", "École",  "Lille",   "Łódź",   "Lyon",   "Ōsaka", "Oslo",  "São Paulo", "Straße",
    "Zug",     "Zürich", "Москва",
};

TEST(Collation, TitlesSortAsADictionaryDoes) {
  std::vector<std::string> v = kDictionaryOrder;
  std::reverse(v.begin(), v.end());
  std::rotate(v.begin(), v.begin() + 7, v.end());
  for (bool withCase : {false, true}) {
    SCOPED_TRACE(withCase ? "with case" : "without case");
    std::vector<std::string> byCompare = v, byKey = v;
    std::sort(byCompare.begin(), byCompare.end(),
              [&](const std::string& a, const std::string& b) { return collate(a, b, withCase) < 0; });
    std::sort(byKey.begin(), byKey.end(), [&](const std::string& a, const std::string& b) {
      return collationKey(a, withCase) < collationKey(b, withCase);
    });
    EXPECT_EQ(byCompare, kDictionaryOrder);
    EXPECT_EQ(byKey, kDictionaryOrder);
  }
}

TEST(Collation, CaseAndAccentsAtTheirStrengths) {
  struct Case {
    const char *a, *b;
    int withoutCase, withCase;
  } cases[] = {
      {"apple", "Apple", 0, -1},    // case only: equal, or lower case first
      {"cote", "côte", -1, -1},     // an accent always counts
      {"Ávila", "avila", 1, 1},
      {"zug", "Zürich", -1, -1},
      {"", "a", -1, -1},
      {"same", "same", 0, 0},
      {"a\xff", "a\xef\xbf\xbd", 0, 0},  // an invalid byte reads as U+FFFD
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " / " << c.b);
    EXPECT_EQ(collate(c.a, c.b, false), c.withoutCase);
    EXPECT_EQ(collate(c.a, c.b, true), c.withCase);
    EXPECT_EQ(collate(c.b, c.a, true), -c.withCase);
    const std::string ka = collationKey(c.a, true), kb = collationKey(c.b, true);
    EXPECT_EQ(ka < kb ? -1 : ka == kb ? 0 : 1, c.withCase);
  }
}

}  // namespace
