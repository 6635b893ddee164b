// Installs arbitrary bytes as a packet: every slot the file claims, into a
// folder of its own, with the recordings stretched and stored.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "player/book/packet_file.h"
#include "player/install/book_installer.h"
#include "platform/testing/fuzz_work_folder.h"
#include "platform/ui/recording_sink.h"

namespace {

const std::filesystem::path& folder() { return tvfuzz::workFolder("install_fuzz"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static plat::ui::RecordingSink sink;
  static plat::ui::ScopedSink scoped(sink);
  sink.clear();
  const std::filesystem::path file = tvfuzz::writeInput("install_fuzz", "input.tpk", data, size);
  const std::filesystem::path books = folder() / "books";
  std::error_code ec;
  std::filesystem::create_directories(books, ec);

  orv::install::COrv_BookInstaller installer;
  installer.SetWorkFolder(folder() / "work");
  installer.SetTailLimit(1 << 20);
  // Renderings on worker threads, as the player makes them, but few.
  installer.SetRenderThreads(2);
  orv::install::NoProgress progress;
  const int slots = COrv_PacketFile().GetSlotCount(file.string(), "");
  for (int slot = 1; slot <= slots && slot <= 3; ++slot) {
    std::string content;
    installer.Install(file.string(), "", books.string(), content, slot, progress);
  }
  std::filesystem::remove_all(books, ec);
  return 0;
}
