// make_spot_packet OUT.tpk: writes the packet of a small book that shows a
// picture spot when it opens.

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

#include "tools/demo/spot_book.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_spot_packet OUT.tpk\n");
    return 2;
  }
  // The picture's text needs fonts, not a display.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  std::string error;
  if (!tvtools::demo::writeSpotPacket(argv[1], error)) {
    std::fprintf(stderr, "make_spot_packet: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
