#include "player/env/env_strings.h"

#include "shared/language/orv_language.h"

namespace orv {

std::string envString(int id) { return COrv_Language().LoadString(id); }

}  // namespace orv
