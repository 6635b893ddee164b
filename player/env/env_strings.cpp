#include "player/env/env_strings.h"

namespace orv {

std::string envString(int id) {
  switch (id) {
    case kStrPublicDataPathOnly:
      return "Warning: the only datapath which the Talvane Player can access in Windows Vista is the "
             "Users\\Public folder (generally c:\\Users\\Public).\n These default parameters cannot be changed.";
    default:
      return {};
  }
}

}  // namespace orv
