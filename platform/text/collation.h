#pragma once
// Dictionary order of texts: the Unicode root collation (ICU), in which
// accented letters sort beside their base letters (Ávila next to Avignon,
// Łódź among the L's) whatever the script, never by code point. Texts are
// UTF-8; invalid bytes compare as U+FFFD.
#include <string>
#include <string_view>

namespace plat::text {

// <0, 0 or >0. Without `withCase` letters that differ only in case are
// equal (accents still count); with it, lower case sorts first on a tie.
int collate(std::string_view a, std::string_view b, bool withCase);

// A key whose byte order (std::string's <) is collate()'s order: for sorting
// many texts, each text's key is made once.
std::string collationKey(std::string_view s, bool withCase);

}  // namespace plat::text
