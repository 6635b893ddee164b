#pragma once
// Text rules of ini names and values: UTF-8 decoding that tolerates bytes
// which are not UTF-8 (each such byte is one character of its own and is
// kept as it is), cutting at a character boundary, and caseless comparison.
//
// Caseless matching folds ASCII letters and applies Unicode simple case
// folding to the scripts our names are written in: Latin-1, Latin
// Extended-A, the regular pairs of Latin Extended-B and Latin Extended
// Additional, Greek, Cyrillic, Armenian and fullwidth Latin, plus the
// Kelvin, Angstrom and Ohm signs. Other characters match only themselves.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text/utf8.h"

namespace plat::profile::text {

// The white space trimmed around names and values.
bool isBlank(char c);
std::string_view trim(std::string_view s);

// Decoding, counting and cutting follow the suite's one UTF-8 rule.
using plat::text::countChars;
using plat::text::cutChars;
using plat::text::kRawByte;
inline char32_t next(std::string_view s, size_t& i) { return plat::text::decodeNext(s, i); }

// The simple case folding of one code point (identity outside the
// covered blocks and for raw bytes).
char32_t fold(char32_t c);

// Whether two names are equal without regard to case.
bool equalNoCase(std::string_view a, std::string_view b);

// A key for hashing names without regard to case: equal keys exactly for
// names that equalNoCase() matches.
std::string foldKey(std::string_view s);

}  // namespace plat::profile::text
