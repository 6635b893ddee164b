// A library whose resource module a reader must refuse: a text that is no
// module, or a size far beyond the bytes (and beyond any module's bound).
#include "iconlib/resource_section.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT const unsigned char TvResourceModule[] = {'T', 'V', 'R', 'E', 'S', ' ', '9', '\n'};
#if defined(FIXTURE_OVERSIZED)
EXPORT const std::size_t TvResourceModuleSize = std::size_t{1} << 40;
#else
EXPORT const std::size_t TvResourceModuleSize = sizeof TvResourceModule;
#endif
