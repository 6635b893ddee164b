// make_demo_book CODE TITLE [SENTENCE WAV]... : writes a small book content
// file into the Install folder of the current data path (made when missing)
// and registers it as an installed Talvane, for the demo. Each SENTENCE
// becomes one Echomark whose speech is the WAV file beside it ("-" or a
// file that cannot be read: a short tone). The data path is the one the
// environment names (TALVANE_CONFIG_ROOT, HOME and the documents folder), so
// the caller chooses a folder of its own.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/fs/file_io.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"
#include "tools/book/book_fixture.h"

int main(int argc, char** argv) {
  if (argc < 3 || (argc - 3) % 2 != 0) {
    std::fprintf(stderr, "usage: make_demo_book CODE TITLE [SENTENCE WAV]...\n");
    return 2;
  }
  orv::COrv_Environment env;
  if (!env.VerifyDataPath() && !env.CreateDataPath()) {
    std::fprintf(stderr, "make_demo_book: cannot make the data path %s\n", env.GetDataPath().c_str());
    return 1;
  }
  tvtools::book::Book book;
  book.version = 3;
  book.code = orv::COrv_BookInfo::CanonicalBookCode(argv[1]);
  book.title = argv[2];
  book.description = "A short demonstration book.";
  if (book.code.empty()) {
    std::fprintf(stderr, "make_demo_book: %s is no book code\n", argv[1]);
    return 2;
  }
  for (int i = 3; i + 1 < argc; i += 2) {
    tvtools::book::Echomark mark;
    mark.wordText = argv[i];
    std::string wav;
    if (std::string(argv[i + 1]) == "-" || plat::fs::readFile(argv[i + 1], wav) || wav.empty())
      wav = tvtools::book::makeWav(11025, {});
    mark.normalWav = wav;
    book.echomarks.push_back(mark);
  }

  const std::filesystem::path target = std::filesystem::path(env.GetInstallPath()) / (book.code + ".tvl");
  std::string error;
  if (!tvtools::book::writeBookFile(target, book, error)) {
    std::fprintf(stderr, "make_demo_book: %s\n", error.c_str());
    return 1;
  }
  orv::COrv_BookInfo info;
  if (!info.Register(book.code, target.string(), 0, true) || !info.SetTitle(book.title, -1) ||
      !info.SetNumQuotes(static_cast<int>(book.echomarks.size()))) {
    std::fprintf(stderr, "make_demo_book: cannot register %s\n", book.code.c_str());
    return 1;
  }
  std::printf("%s\n", target.c_str());
  return 0;
}
