// The item store and property handlers as they stand before those parts
// exist: every request is refused with LB_ERR. (The property handlers are
// in props/.)
#include "listctl/core/dispatch.h"

namespace lindra {

LRESULT storeMessage(LbxInstance*, HWND, UINT, WPARAM, LPARAM) { return LB_ERR; }
bool storeItemText(LbxInstance*, int, int, std::string*) { return false; }
int storeItemHeight(LbxInstance*, int) { return -1; }

}  // namespace lindra
