// make_page <page.cht> <page.htm>: packs an HTML page as a grammar page file.
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>

#include "tools/pages/page_file_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_page <page.cht> <page.htm>\n");
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  std::ostringstream html;
  html << in.rdbuf();
  try {
    tvtools::writePageFile(argv[1], html.str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
