// The other process of the saved-state tests: makes the picture list,
// writes its saved state to the first file and its painted pixels to the
// second, and exits (0 when both were written).
#include <cstdio>
#include <fstream>
#include <string>

#include "listctl/state/saved_state.h"
#include "listctl/state/tests/picture_fixture.h"

namespace {
int anchor;

bool writeAll(const char* path, const void* data, std::size_t n) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  return static_cast<bool>(out);
}
}  // namespace

int main(int argc, char** argv) {
  namespace pw = plat::win;
  if (argc != 3) return 2;
  auto* module = reinterpret_cast<pw::HINSTANCE>(&anchor);
  if (lindra::LibraryEntry(module, lindra::DLL_PROCESS_ATTACH) != 1) return 3;
  pw::HWND h = pw::CreateWindow(lindra::kListClass, "", pw::WS_VISIBLE, 0, 0, statefixture::kListW,
                                statefixture::kListH, nullptr, nullptr, nullptr, nullptr);
  if (!h) return 4;
  const statefixture::Bitmaps b = statefixture::fillPictureList(h);
  lindra::state::StateWriter w;
  const std::string pixels = statefixture::paint(h);
  const bool ok = LB_SaveState(h, &w) == 0 && writeAll(argv[1], w.data(), w.size()) &&
                  writeAll(argv[2], pixels.data(), pixels.size());
  pw::DestroyWindow(h);
  pw::DeleteObject(b.colour);
  pw::DeleteObject(b.mono);
  lindra::LibraryEntry(module, lindra::DLL_PROCESS_DETACH);
  return ok ? 0 : 1;
}
