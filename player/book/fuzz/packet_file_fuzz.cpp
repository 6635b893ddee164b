// Feeds arbitrary bytes to the container reader as a file: validation, the
// slot and entry walks, entry reads and the unpacking of the tail with the
// part and member records of the result, and an update that rewrites the
// records it read.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/packet_file.h"
#include "platform/testing/fuzz_work_folder.h"
#include "platform/ui/recording_sink.h"

namespace {

const std::filesystem::path& folder() { return tvfuzz::workFolder("packet_fuzz"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static plat::ui::RecordingSink sink;
  static plat::ui::ScopedSink scoped(sink);
  sink.clear();
  const std::filesystem::path file = tvfuzz::writeInput("packet_fuzz", "input.tpk", data, size);
  const std::string path = file.string();

  COrv_PacketFile packet;
  packet.SetWorkFolder(folder() / "work");
  packet.SetTailLimit(1 << 20);
  packet.SetEntryLimit(1 << 20);
  packet.Validate(path, "", false);
  int slots = packet.GetSlotCount(path, "");
  std::uint8_t slot[COrv_PacketFile::kSlotSize];
  packet.ReadSlot(path, "", slot, slots);
  packet.ReadSlot(path, "", slot, slots + 1);
  packet.ScanEntries(path, "");
  for (const char* name : {"MF1ADDON", "A"}) {
    if (!packet.HasEntry(path, "", name)) continue;
    std::size_t n = 0;
    if (packet.ReadEntry(path, "", name, nullptr, n) && n <= (1 << 20)) {
      std::vector<std::uint8_t> buf(n + 1);
      std::size_t in = buf.size();
      packet.ReadEntry(path, "", name, buf.data(), in);
    }
  }

  if (packet.Open(path, "") && packet.ExtractContent()) {
    std::uint64_t partStart = 0;
    for (int s = 0; s < 3 && packet.ReadPartHeader(partStart); ++s) {
      for (int i = 1; i <= packet.GetMemberCount() && i <= 300; ++i) {
        if (!packet.ReadMemberRecord(partStart, i)) break;
        std::vector<std::uint8_t> buf(std::min<std::int32_t>(packet.GetMemberLength(), 4096));
        packet.ReadContentAt(partStart + packet.GetMemberOffset() - 1, buf.size(), buf.data());
      }
      std::uint64_t next = partStart + 16 + 12ull * packet.GetMemberCount();
      if (next <= partStart) break;
      partStart = next;
    }
    packet.RemoveContent();
  }
  packet.Close();

  // Rewriting the records of the same bytes through an update: every write
  // stays inside the file, whatever its sizes say.
  if (packet.BeginUpdate(path, "")) {
    packet.WriteHeader();
    packet.WriteTrailer();
    for (int n = 1; n <= 3 && packet.ReadNextSlot(); ++n) packet.WriteSlot(n);
    packet.WriteSlot(packet.GetTrailerSlotCount());
    packet.SetEntryAreaSize(packet.GetEntryAreaSize());
    packet.CommitUpdate();
  }
  return 0;
}
