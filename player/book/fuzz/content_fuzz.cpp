// Opens arbitrary bytes as a book content file through the dispatcher, of
// either version, then asks every information kind of the first Echomarks
// and reads the catalogue.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/content_dispatch.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "platform/testing/fuzz_work_folder.h"

namespace {

class NullSink : public orv::InfoErrorSink {
 public:
  int SetError(int, const std::string&, int, int) override { return 0; }
  int SetErrorText(int, const std::string&, int, int, const std::string&) override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullSink sink;
  const std::filesystem::path file = tvfuzz::writeInput("content_fuzz", "input.tvb", data, size);
  COrv_Talvane book;
  book.SetBookErrorSink(&sink);
  book.SetCode("DEMO");
  book.SetSourceFile(file.string(), -1);
  COrv_TvlCoreIO& io = book.ContentReader();
  std::vector<int> versions, numbers;
  std::vector<std::string> names;
  io.ReadCatalogue(book, versions, numbers, names);
  if (io.Open(book)) {
    const int last = book.GetNumQuotes() < 3 ? book.GetNumQuotes() : 3;
    for (int n = 1; n <= last; ++n) {
      COrv_InfoBundle bundle;
      for (int kind : {1, 8, 16, 64, 4, 2, 32, 512}) io.ReadInfo(kind, n, bundle, -1, 0);
      io.ReadInfo(128, n, bundle, -1, 0x1FF);
    }
    io.Close();
  }
  return 0;
}
