// The property handlers as they stand before they exist: every request is
// refused with LB_ERR.
#include "listctl/core/dispatch.h"

namespace lindra {

LRESULT propertySet(LbxInstance*, HWND, WPARAM, LPARAM) { return LB_ERR; }
LRESULT propertyGet(LbxInstance*, HWND, WPARAM, LPARAM) { return LB_ERR; }

}  // namespace lindra
