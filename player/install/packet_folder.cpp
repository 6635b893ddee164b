#include "player/install/packet_folder.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "player/book/book_info.h"
#include "player/book/packet_file.h"
#include "player/env/file_util.h"
#include "player/install/packet_installer.h"

namespace orv::install {
namespace fs = std::filesystem;
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The regular files of `folder` with extension `ext` (any case), sorted.
std::vector<fs::path> filesWith(const fs::path& folder, const std::string& ext) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (lower(e.path().extension().string()) == ext && e.is_regular_file(ec)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

bool COrv_PacketFolder::CheckSpaceForPacket(const std::string& destinationFolder, const std::string& packetFolder,
                                            const std::string& packetName, int slot,
                                            const orv::COrv_FileUtil::SpaceProbe& probe) {
  COrv_PacketFile packet;
  std::uint8_t record[COrv_PacketFile::kSlotSize];
  // An empty packet folder means the name is a full path.
  const bool read = packetFolder.empty() ? packet.ReadSlot(packetName, {}, record, slot)
                                         : packet.ReadSlot(packetFolder, packetName, record, slot);
  if (slot < 1 || !read) return false;
  const std::int32_t size = packet.GetSlotSize();
  return orv::COrv_FileUtil().CheckSpaceForPart(destinationFolder, packetFolder,
                                                static_cast<std::uint32_t>(std::max<std::int32_t>(size, 0)), probe);
}

std::vector<fs::path> COrv_PacketFolder::ScanLibraries(const fs::path& folder) {
  std::vector<std::string> codes;
  orv::COrv_BookInfo().GetInstalledBooks(codes);
  std::vector<std::string> sources;
  for (const std::string& code : codes)
    if (const std::string s = orv::COrv_BookInfo(code).GetSourceFile(-1, false); !s.empty()) sources.push_back(lower(s));
  std::vector<fs::path> unnamed;
  for (const fs::path& lib : filesWith(folder, ".tvl"))
    if (std::find(sources.begin(), sources.end(), lower(lib.string())) == sources.end()) unnamed.push_back(lib);
  return unnamed;
}

int COrv_PacketFolder::InstallPacketsInFolder(const fs::path& packetFolder, const fs::path& destinationFolder,
                                              PacketInstaller& installer, bool ask) {
  int installed = 0;
  installer.SetDestinationFolder(destinationFolder);
  for (const fs::path& packet : filesWith(packetFolder, ".tpk")) {
    const std::string name = packet.filename().string(), folder = packet.parent_path().string();
    COrv_PacketFile file;
    if (!file.Validate(folder, name, true) || !file.ScanEntries(folder, name)) continue;
    const int slots = file.GetSlotCount(folder, name);
    int done = 0;
    // A Talvane that is installed already is installed again only when the
    // learner says so (without asking, it is kept).
    COrv_PacketFile confirm;
    confirm.SetInstalledCheck([](const std::string& code) { return orv::COrv_BookInfo().IsInstalled(code); });
    for (int slot = 1; slot <= slots; ++slot) {
      if (!confirm.ConfirmReinstall(folder, name, slot, ask)) continue;
      if (!CheckSpaceForPacket(destinationFolder.string(), folder, name, slot)) continue;
      std::string content;
      if (installer.InstallSlot(packet, slot, content) == 1) ++done;
    }
    installed += done;
    if (slots > 0 && done == slots) orv::COrv_FileUtil().MoveToBackUp(packet.string());
  }
  return installed;
}

}  // namespace orv::install
