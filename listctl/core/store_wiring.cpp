// The dispatcher's seams into the item store.
#include "listctl/core/dispatch.h"
#include "listctl/store/store.h"

namespace lindra {

LRESULT storeMessage(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return lbxStoreMessage(inst, hwnd, msg, wParam, lParam);
}

bool storeItemText(LbxInstance* inst, int index, int column, std::string* text) {
  return lbxItemText(inst, index, column, text);
}

int storeItemHeight(LbxInstance* inst, int index) { return lbxRowHeight(inst, index); }

}  // namespace lindra
