#include "player/shell/book_files.h"

#include <system_error>
#include <vector>

#include "player/book/book_info.h"
#include "player/book/catalogue.h"
#include "player/book/packet_file.h"
#include "player/env/environment.h"
#include "player/env/file_util.h"
#include "platform/fs/file_io.h"
#include "shared/language/orv_language.h"

namespace orv::shell {
namespace fs = std::filesystem;
namespace {

constexpr int kStrPacketNotLibrary = 20356;

// The names of the books a content file holds (its catalogue); empty when
// it cannot be read.
std::vector<std::string> catalogueNames(const fs::path& path) {
  COrv_CatalogueRecord catalogue;
  catalogue.Load(path.string());
  return catalogue.GetNames();
}

}  // namespace

fs::path BookFileServices::InstallLibraryCopy(const fs::path& source) {
  const fs::path backup = COrv_Environment().GetBackUpPath(true);
  if (backup.empty()) return {};
  // A different file of that name in the BackUp folder keeps its place (a
  // book may read it); the same file there already is taken as it is.
  std::string bytes, there;
  if (plat::fs::readFile(source, bytes)) return {};
  fs::path target = backup / (source.stem().string() + ".tvl");
  std::error_code ec;
  for (int n = 2; fs::exists(target, ec) && (plat::fs::readFile(target, there) || there != bytes); ++n)
    target = backup / (source.stem().string() + " (" + std::to_string(n) + ").tvl");
  if (!fs::exists(target, ec) && plat::fs::writeFileAtomic(target, bytes)) return {};
  if (m_installer.InstallFile(target) != 0) return target;
  plat::fs::removeFile(target);
  return {};
}

bool BookFileServices::ReadPacketCode(fs::path& path, std::string& code) {
  m_reason.clear();
  COrv_PacketFile packet;
  packet.SetBackupFolder(COrv_Environment().GetBackUpPath(true));
  if (!packet.Validate(path.string(), "", true)) return false;
  if (packet.GetBookFileFlag()) {
    // A book content file is installed as a library; the learner's own
    // file stays where it is, so the library installed is a copy of it in
    // the BackUp folder.
    fs::path installed;
    bool tried = false;
    packet.SetLibraryInstaller([&](const std::string& folder, const std::string& name) {
      tried = true;
      installed = InstallLibraryCopy(fs::path(folder) / name);
    });
    const std::string copy = packet.MakeLibraryCopy(path.string());
    if (copy.empty()) return false;
    if (tried) {
      // The copy beside the learner's file served only to name the code:
      // the installed library is the load file from here on.
      plat::fs::removeFile(copy);
      if (installed.empty()) return false;
      path = installed;
      return ReadLibraryCode(path, code);
    }
    const fs::path target = fs::path(COrv_Environment().GetInstallPath()) / fs::path(copy).filename();
    std::error_code ec;
    if (!fs::equivalent(copy, target, ec)) {
      fs::rename(copy, target, ec);
      if (ec) return false;
    }
    path = target;
    return ReadLibraryCode(path, code);
  }
  std::uint8_t slot[COrv_PacketFile::kSlotSize];
  if (!packet.ReadSlot(path.string(), "", slot, 1)) return false;
  code = packet.GetSlotCode();
  return true;
}

bool BookFileServices::CheckFormat(const fs::path& path) {
  m_reason.clear();
  return COrv_PacketFile().Validate(path.string(), "", true) != 0;
}

bool BookFileServices::ReadLibraryCode(const fs::path& path, std::string& code) {
  m_reason.clear();
  const std::vector<std::string> names = catalogueNames(path);
  if (names.empty() || names.front().empty()) {
    // A packet renamed to a library is told as what it is.
    COrv_PacketFile packet;
    if (packet.Validate(path.string(), "", false) && !packet.GetBookFileFlag())
      m_reason = COrv_Language().LoadString(kStrPacketNotLibrary);
    return false;
  }
  code = names.front();
  return true;
}

bool BookFileServices::CreateShortcuts(const std::string& code) {
  COrv_BookInfo info;
  if (!info.SelectBook(code)) return false;
  const std::string source = info.GetSourceFile(-1, true);
  if (source.empty()) return false;
  const COrv_FileUtil files;
  for (const std::string& name : catalogueNames(source)) {
    COrv_BookInfo book(name);
    if (book.GetSelectedCode().empty()) continue;  // not installed: nothing to start
    // A missing menu folder leaves the book without an entry; not a failure
    // of the load.
    files.CreateBookShortcut(book.GetSelectedCode(), book.GetTitle(-1), book.GetCategory());
  }
  return true;
}

}  // namespace orv::shell
