#include "grammar/boxes.h"

#include "platform/ui/message_box.h"

namespace brindle {

namespace {
// Boxes run on the UI thread only.
bool g_open = false;
}  // namespace

int tell(const char* text) {
  if (g_open) return 0;
  g_open = true;
  const int answer = plat::ui::AppMessageBox(text, plat::ui::MB_OK);
  g_open = false;
  return answer;
}

bool boxOpen() { return g_open; }

}  // namespace brindle
