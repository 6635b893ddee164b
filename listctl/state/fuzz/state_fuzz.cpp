// Feeds arbitrary bytes to the saved-state parser and, when they parse, a
// second time through a list window, then saves that list and parses the
// result again: a stream this library writes must always read back.

#include <cstdint>
#include <cstdlib>

#include "listctl/core/library.h"
#include "listctl/state/saved_state.h"
#include "platform/win/window.h"

namespace {
int anchor;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace st = lindra::state;
  st::StateModel model;
  st::StateReader probe(data, size);
  const int r = st::parseState(probe, &model);
  if (r != st::kLoadOk) return 0;
  // Streams that announce many items are parsed, not built, to keep runs fast.
  if (model.itemCount.value_or(0) > 4096) return 0;

  auto* module = reinterpret_cast<plat::win::HINSTANCE>(&anchor);
  if (lindra::LibraryEntry(module, lindra::DLL_PROCESS_ATTACH) != 1) std::abort();
  plat::win::HWND h = plat::win::CreateWindow(lindra::kListClass, "", plat::win::WS_VISIBLE, 0, 0, 120, 90, nullptr,
                                              nullptr, nullptr, nullptr);
  if (!h) std::abort();
  st::StateReader in(data, size);
  if (LB_LoadState(h, &in) != st::kLoadOk) std::abort();
  st::StateWriter out;
  if (LB_SaveState(h, &out) != 0) std::abort();
  st::StateReader again(out.data(), out.size());
  st::StateModel back;
  if (st::parseState(again, &back) != st::kLoadOk) std::abort();
  plat::win::DestroyWindow(h);
  lindra::LibraryEntry(module, lindra::DLL_PROCESS_DETACH);
  return 0;
}
