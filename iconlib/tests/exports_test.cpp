// libglyphary.so as the player loads it: every export by its plain name
// through dlsym, and nothing else exported.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/library_symbols.h"

namespace {

using NoArg = std::int32_t (*)();
using OneArg = std::int32_t (*)(std::int32_t);

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct Call {
  const char* name;
  bool takesArgument;
  std::int32_t argument;
  std::int32_t expected;
};

std::vector<Call> calls() {
  std::vector<Call> out = {
      {"GetFirstValidLevel", false, 0, 1},
      {"GetLastValidLevel", false, 0, 5},
      {"GetFirstValidCategory", false, 0, 1},
      {"GetLastValidCategory", false, 0, 21},
      {"GetFirstValidLanguage", false, 0, 0},
      {"GetLastValidLanguage", false, 0, 5},
      {"GetFirstValidSource", false, 0, 0},
      {"GetLastValidSource", false, 0, 4},
      {"OffsetLevelIcon", false, 0, 134},
      {"OffsetCategoryIcon", false, 0, 141},
      {"OffsetLanguageIcon", false, 0, 183},
      {"OffsetHelpIcon", false, 0, 171},
      {"LogoID", false, 0, 209},
      // Just outside each range, and negative indices, which compare as
      // very large ones.
      {"GetLevelResourceID", true, 0, 0},
      {"GetLevelResourceID", true, 6, 0},
      {"GetLevelResourceID", true, -1, 0},
      {"GetLevelResourceID", true, kMin, 0},
      {"GetLevelResourceID", true, kMax, 0},
      {"GetCategoryResourceID", true, 0, 0},
      {"GetCategoryResourceID", true, 22, 0},
      {"GetCategoryResourceID", true, -1, 0},
      {"GetCategoryResourceID", true, kMin, 0},
      {"GetLanguageResourceID", true, 6, 0},
      {"GetLanguageResourceID", true, -1, 0},
      {"GetLanguageResourceID", true, kMin, 0},
      {"GetSourceResourceID", true, 5, 0},
      {"GetSourceResourceID", true, -1, 0},
      {"GetSourceResourceID", true, kMin, 0},
      // The indices the library settles: languages 4 and 5 continue the
      // language icons, source 4 is the unknown kind.
      {"GetLanguageResourceID", true, 4, 200},
      {"GetLanguageResourceID", true, 5, 201},
      {"GetSourceResourceID", true, 4, 224},
      // Label sets: 0 and 2 have bases, every other set none.
      {"OffSetLevelLabel", true, 0, 134},
      {"OffSetLevelLabel", true, 2, 2101},
      {"OffSetCategoryLabel", true, 0, 141},
      {"OffSetCategoryLabel", true, 2, 2110},
      {"OffSetLanguageLabel", true, 0, 183},
      {"OffSetLanguageLabel", true, 2, 2175},
  };
  for (const char* name : {"OffSetLevelLabel", "OffSetCategoryLabel", "OffSetLanguageLabel"})
    for (std::int32_t set : {1, 3, -1, -2, kMin, kMax}) out.push_back({name, true, set, 0});
  for (std::int32_t level = 1; level <= 5; ++level) out.push_back({"GetLevelResourceID", true, level, 134 + level});
  for (std::int32_t category = 1; category <= 21; ++category)
    out.push_back({"GetCategoryResourceID", true, category, 140 + category});
  for (std::int32_t language = 0; language <= 3; ++language)
    out.push_back({"GetLanguageResourceID", true, language, 196 + language});
  for (std::int32_t source = 0; source <= 3; ++source) out.push_back({"GetSourceResourceID", true, source, 220 + source});
  return out;
}

std::set<std::string> mapNames() { return tvtest::versionScriptNames(GLYPHARY_MAP_PATH); }

std::set<std::string> dynamicSymbols() { return tvtest::definedDynamicSymbols(GLYPHARY_LIBRARY_PATH); }

class GlypharyExports : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = dlopen(GLYPHARY_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (lib_) dlclose(lib_);
  }
  void* lib_ = nullptr;
};

TEST_F(GlypharyExports, EveryExportAnswersItsTable) {
  std::set<std::string> called;
  for (const Call& c : calls()) {
    void* f = dlsym(lib_, c.name);
    ASSERT_NE(f, nullptr) << c.name;
    called.insert(c.name);
    const std::int32_t got =
        c.takesArgument ? reinterpret_cast<OneArg>(f)(c.argument) : reinterpret_cast<NoArg>(f)();
    EXPECT_EQ(got, c.expected) << c.name << "(" << c.argument << ")";
  }
  EXPECT_EQ(called.size(), 20u);
}

TEST_F(GlypharyExports, ExportsExactlyTheLookupsAndTheResourceModule) {
  std::set<std::string> expected;
  for (const Call& c : calls()) expected.insert(c.name);
  expected.insert("TvResourceModule");
  expected.insert("TvResourceModuleSize");
  EXPECT_EQ(mapNames(), expected);
  EXPECT_EQ(dynamicSymbols(), expected);
}

}  // namespace
