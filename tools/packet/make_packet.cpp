// make_packet OUT [options] : writes a packet file for the demo and tests.
//   --stored              store the tail instead of gzip
//   --version N           content format version (default 3)
//   --audio N             audio flag byte
//   --book CODE TITLE     starts a new book
//   --member NAME FILE    adds a member to the current book
//   --entry NAME FILE     adds an entry (append ":gz" and/or ":scrambled" to NAME)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/packet/packet_writer.h"

namespace {

bool slurp(const char* path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return true;
}

int usage() {
  std::fprintf(stderr,
               "usage: make_packet OUT [--stored] [--version N] [--audio N]\n"
               "       [--book CODE TITLE [--member NAME FILE]...]... [--entry NAME[:gz][:scrambled] FILE]...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  tvtools::PacketSpec spec;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto need = [&](int n) { return i + n < argc; };
    if (a == "--stored") {
      spec.compression = 0;
    } else if (a == "--version" && need(1)) {
      spec.contentVersion = static_cast<std::uint8_t>(std::atoi(argv[++i]));
    } else if (a == "--audio" && need(1)) {
      spec.audioFlag = static_cast<std::uint8_t>(std::atoi(argv[++i]));
    } else if (a == "--book" && need(2)) {
      tvtools::PacketBook b;
      b.code = argv[++i];
      b.title = argv[++i];
      spec.books.push_back(b);
    } else if (a == "--member" && need(2) && !spec.books.empty()) {
      tvtools::PacketMember m;
      m.name = argv[++i];
      if (!slurp(argv[++i], m.data)) return std::fprintf(stderr, "cannot read %s\n", argv[i]), 1;
      spec.books.back().members.push_back(m);
    } else if (a == "--entry" && need(2)) {
      tvtools::PacketEntry e;
      std::string name = argv[++i];
      for (std::string suffix : {":scrambled", ":gz", ":scrambled"}) {
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
          (suffix == ":gz" ? e.gzip : e.scrambleName) = true;
          name.resize(name.size() - suffix.size());
        }
      }
      e.name = name;
      if (!slurp(argv[++i], e.data)) return std::fprintf(stderr, "cannot read %s\n", argv[i]), 1;
      spec.entries.push_back(e);
    } else {
      return usage();
    }
  }
  try {
    if (!tvtools::writePacket(argv[1], spec)) return std::fprintf(stderr, "cannot write %s\n", argv[1]), 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_packet: %s\n", e.what());
    return 1;
  }
  return 0;
}
