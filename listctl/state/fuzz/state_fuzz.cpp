// Feeds arbitrary bytes to the saved-state parser and, when they parse, a
// second time through a list window and through a combo (whose list also
// takes the combo records), then saves each and parses the result again: a
// stream this library writes must always read back.

#include <cstdint>
#include <cstdlib>

#include "listctl/combo/combo.h"
#include "listctl/core/library.h"
#include "listctl/state/saved_state.h"
#include "platform/win/window.h"

namespace {

int anchor;
namespace pw = plat::win;
namespace st = lindra::state;

pw::LRESULT parentProc(pw::HWND h, pw::UINT m, pw::WPARAM w, pw::LPARAM l) { return pw::DefWindowProc(h, m, w, l); }

void loadSaveReload(pw::HWND h, const std::uint8_t* data, std::size_t size) {
  if (!h) std::abort();
  st::StateReader in(data, size);
  if (LB_LoadState(h, &in) != st::kLoadOk) std::abort();
  st::StateWriter out;
  if (LB_SaveState(h, &out) != 0) std::abort();
  st::StateReader again(out.data(), out.size());
  st::StateModel back;
  if (st::parseState(again, &back) != st::kLoadOk) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  st::StateModel model;
  st::StateReader probe(data, size);
  const int r = st::parseState(probe, &model);
  if (r != st::kLoadOk) return 0;
  // Streams that announce many items are parsed, not built, to keep runs fast.
  if (model.itemCount.value_or(0) > 4096) return 0;

  auto* module = reinterpret_cast<pw::HINSTANCE>(&anchor);
  if (lindra::LibraryEntry(module, lindra::DLL_PROCESS_ATTACH) != 1) std::abort();
  pw::HWND list = pw::CreateWindow(lindra::kListClass, "", pw::WS_VISIBLE, 0, 0, 120, 90, nullptr, nullptr, nullptr,
                                   nullptr);
  loadSaveReload(list, data, size);
  pw::DestroyWindow(list);

  static const bool registered = [] {
    pw::WNDCLASS wc;
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = "StateFuzzParent";
    return pw::RegisterClass(&wc) != 0;
  }();
  if (!registered) std::abort();
  pw::HWND parent = pw::CreateWindow("StateFuzzParent", "", pw::WS_POPUP | pw::WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                     nullptr, nullptr, nullptr);
  pw::HWND combo = pw::CreateWindow(lindra::kComboClass, "", pw::WS_CHILD | pw::WS_VISIBLE, 10, 10, 150, 24, parent,
                                    nullptr, nullptr, nullptr);
  loadSaveReload(combo, data, size);
  pw::DestroyWindow(parent);
  lindra::LibraryEntry(module, lindra::DLL_PROCESS_DETACH);
  return 0;
}
