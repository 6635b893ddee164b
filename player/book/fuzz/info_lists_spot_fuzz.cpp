// Loads arbitrary bytes as a media-spot file, extracts every group into a
// private folder and checks that nothing is left behind: a failed
// extraction and Clear leave the folder empty, and no file appears outside
// it.

#include "player/book/info_lists.h"
#include "platform/testing/fuzz_work_folder.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class NoViewer : public COrv_SpotHost {
 public:
  COrv_SpotDate Today() const override { return {2004, 1, 1}; }
  void ScreenSize(int& w, int& h) const override { w = h = 800; }
  fs::path ViewerProgram(int) const override { return {}; }
  bool Start(const fs::path&, const std::vector<std::string>&, int) override { std::abort(); }
};

const fs::path& workFolder() {
  static const fs::path& folder = [] () -> const fs::path& {
    const fs::path& f = tvfuzz::workFolder("spotfuzz");
    fs::create_directories(f / "out");
    return f;
  }();
  return folder;
}

bool isEmpty(const fs::path& folder) { return fs::directory_iterator(folder) == fs::directory_iterator(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path base = workFolder();
  const fs::path out = base / "out";
  const fs::path spot = base / "spot.mf1";
  {
    std::ofstream f(spot, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  NoViewer host;
  COrv_SpotInfo list(&host);
  list.SetFolder(out);
  list.SetFilePath(spot);
  if (list.Load()) {
    const int groups = list.GetGroupCount();
    for (int g = 0; g <= groups + 1 && g <= 8; ++g) {
      int w = 0, h = 0;
      list.GetMainItemSize(g, w, h);
      (void)list.GetMainItemName(g);
      (void)list.IsExpired(g);
      if (!list.Extract(g) && list.GetExtractedGroup() == 0 && !isEmpty(out)) std::abort();
    }
    (void)list.StartByTrigger(0);
  }
  list.Clear();
  if (!isEmpty(out) || fs::exists(spot)) std::abort();
  // Only the output folder may remain in the work folder.
  for (const auto& e : fs::directory_iterator(base))
    if (e.path() != out) std::abort();
  return 0;
}
