#pragma once
// How a library of ours carries its resources: the text of a resource
// module (platform/ui/resources/res_reader.h) compiled into the library and
// exported as two data symbols, the bytes and their count. A reader takes
// them with dlsym while the library is open and parses a copy.

#include <cstddef>

namespace glyphary {

inline constexpr const char* kResourceBytesSymbol = "TvResourceModule";
inline constexpr const char* kResourceSizeSymbol = "TvResourceModuleSize";

}  // namespace glyphary

extern "C" {
extern const unsigned char TvResourceModule[];
extern const std::size_t TvResourceModuleSize;
}
