// The lookup functions of libglyphary.so. Each takes and gives a 32-bit
// integer; the index lookups compare without sign, so a negative index
// counts as a very large one and gives 0 like any index past the last.
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "iconlib/glyphary_ids.h"

namespace {

using glyphary::kFirstCategory;
using glyphary::kFirstLanguage;
using glyphary::kFirstLevel;
using glyphary::kFirstSource;
using glyphary::kLastCategory;
using glyphary::kLastLanguage;
using glyphary::kLastLevel;
using glyphary::kLastSource;

// Entry `index - first` of `table` when first <= index <= last, else 0.
template <std::size_t N>
std::int32_t lookup(const std::int32_t (&table)[N], std::int32_t first, std::int32_t last, std::int32_t index) {
  static_assert(N > 0);
  const auto i = static_cast<std::uint32_t>(index);
  if (i < static_cast<std::uint32_t>(first) || i > static_cast<std::uint32_t>(last)) return 0;
  const std::uint32_t k = i - static_cast<std::uint32_t>(first);
  return k < N ? table[k] : 0;
}

// The base id of a label set of one kind: set 0 keys labels by icon id,
// set 2 holds the titles; other sets hold nothing.
std::int32_t labelOffset(std::int32_t set, std::int32_t shortOffset, std::int32_t titleOffset) {
  if (set == glyphary::kLabelSetShort) return shortOffset;
  if (set == glyphary::kLabelSetTitles) return titleOffset;
  return 0;
}

// Every valid index of a kind has its table entry.
static_assert(std::size(glyphary::kLevelIds) == static_cast<std::size_t>(kLastLevel - kFirstLevel + 1));
static_assert(std::size(glyphary::kCategoryIds) == static_cast<std::size_t>(kLastCategory - kFirstCategory + 1));
static_assert(std::size(glyphary::kLanguageIds) == static_cast<std::size_t>(kLastLanguage - kFirstLanguage + 1));
static_assert(std::size(glyphary::kSourceIds) == static_cast<std::size_t>(kLastSource - kFirstSource + 1));

}  // namespace

#define GLYPHARY_EXPORT extern "C" __attribute__((visibility("default")))

GLYPHARY_EXPORT std::int32_t GetFirstValidLevel() { return kFirstLevel; }
GLYPHARY_EXPORT std::int32_t GetLastValidLevel() { return kLastLevel; }
GLYPHARY_EXPORT std::int32_t GetLevelResourceID(std::int32_t level) {
  return lookup(glyphary::kLevelIds, kFirstLevel, kLastLevel, level);
}

GLYPHARY_EXPORT std::int32_t GetFirstValidCategory() { return kFirstCategory; }
GLYPHARY_EXPORT std::int32_t GetLastValidCategory() { return kLastCategory; }
GLYPHARY_EXPORT std::int32_t GetCategoryResourceID(std::int32_t category) {
  return lookup(glyphary::kCategoryIds, kFirstCategory, kLastCategory, category);
}

GLYPHARY_EXPORT std::int32_t GetFirstValidLanguage() { return kFirstLanguage; }
GLYPHARY_EXPORT std::int32_t GetLastValidLanguage() { return kLastLanguage; }
GLYPHARY_EXPORT std::int32_t GetLanguageResourceID(std::int32_t language) {
  return lookup(glyphary::kLanguageIds, kFirstLanguage, kLastLanguage, language);
}

GLYPHARY_EXPORT std::int32_t GetFirstValidSource() { return kFirstSource; }
GLYPHARY_EXPORT std::int32_t GetLastValidSource() { return kLastSource; }
GLYPHARY_EXPORT std::int32_t GetSourceResourceID(std::int32_t source) {
  return lookup(glyphary::kSourceIds, kFirstSource, kLastSource, source);
}

GLYPHARY_EXPORT std::int32_t OffsetLevelIcon() { return glyphary::kLevelIconOffset; }
GLYPHARY_EXPORT std::int32_t OffsetCategoryIcon() { return glyphary::kCategoryIconOffset; }
GLYPHARY_EXPORT std::int32_t OffsetLanguageIcon() { return glyphary::kLanguageIconOffset; }
GLYPHARY_EXPORT std::int32_t OffsetHelpIcon() { return glyphary::kHelpIcon; }
GLYPHARY_EXPORT std::int32_t LogoID() { return glyphary::kLogo; }

GLYPHARY_EXPORT std::int32_t OffSetLevelLabel(std::int32_t set) {
  return labelOffset(set, glyphary::kLevelIconOffset, glyphary::kLevelTitleOffset);
}
GLYPHARY_EXPORT std::int32_t OffSetCategoryLabel(std::int32_t set) {
  return labelOffset(set, glyphary::kCategoryIconOffset, glyphary::kCategoryTitleOffset);
}
GLYPHARY_EXPORT std::int32_t OffSetLanguageLabel(std::int32_t set) {
  return labelOffset(set, glyphary::kLanguageIconOffset, glyphary::kLanguageTitleOffset);
}
